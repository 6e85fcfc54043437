#include "pjlinkrun.h"

#include "catalogue.h"
#include "linkaddress.h"
#include "pjlinklogins.h"
#include "pjlinktransport.h"
#include "projectortext.h"
#include "trafficlog.h"

#include <QJsonArray>
#include <QJsonValue>

#include <algorithm>
#include <utility>

using Command = Invocation::Command;

namespace {

QString shownCommand(const PJLink::Command &command)
{
    return QString::fromLatin1(PJLink::frame(command).trimmed());
}

QJsonArray inputsJson(const PJLinkState &state)
{
    QJsonArray inputs;
    const QMap<QByteArray, QString> names = state.inputCommandNames();
    for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
        inputs.append(QJsonObject { { QStringLiteral("code"), QString::fromLatin1(input) },
                                    { QStringLiteral("name"), names.value(input) },
                                    { QStringLiteral("caption"), state.inputCaption(input) } });
    }
    return inputs;
}

QStringList inputNames(const PJLinkState &state)
{
    QStringList names;
    for (const QJsonValue &input : inputsJson(state))
        names.append(input.toObject().value(QStringLiteral("name")).toString());
    return names;
}

// "the projector does not know this command", or the answer as it came.
QString refusalText(const PJLink::Reply &reply)
{
    return reply.error != PJLink::Error::None ? PJLink::errorText(reply.error)
                                              : Report::shown(QString::fromLatin1(reply.text));
}

// A refusal that tells what the projector lacks rather than refusing: no
// lamp, no filter. The state takes those as values.
bool tellsAbsence(const PJLink::Command &command, const PJLink::Reply &reply)
{
    return reply.error == PJLink::Error::Undefined
        && (command.name == "LAMP" || command.name == "FILT");
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

bool validUtf8(const QByteArray &bytes)
{
    // What does not decode comes back as replacement characters, which
    // encode to other bytes.
    return QString::fromUtf8(bytes.constData(), int(bytes.size())).toUtf8() == bytes;
}

} // namespace

// What query has read so far, and how each value is printed.
struct PJLinkRun::Query
{
    enum class Outcome { Value, Refused, Unreadable, NoAnswer };

    // Each value in the order it is printed: its key, its query, whether the
    // state took the answer, and how it is printed.
    struct Item
    {
        const char *key;
        PJLink::Command command;
        std::function<bool()> known;
        std::function<void()> print;
    };

    // The state's texts are plain already (no controls, no direction
    // marks): printed as text, unless the bytes that came were not UTF-8.
    void text(const QString &name, const QString &value)
    {
        if (value.isEmpty())
            return;
        values.insert(name, value);
        const auto raw = notUtf8.constFind(name);
        if (raw == notUtf8.cend()) {
            lines.append(name + QLatin1Char('=') + value);
            return;
        }
        const QByteArray bytes = raw->left(ProjectorText::MaxLength);
        lines.append(name + QLatin1String("=(not UTF-8) ")
                     + TrafficLog::bytesText(bytes, false).trimmed()
                     + (raw->size() > bytes.size() ? QStringLiteral(" \u2026") : QString()));
    }

    Item classItem;
    QList<Item> items;
    std::pair<Outcome, QString> classOutcome;
    QList<std::pair<Outcome, QString>> outcomes;
    QJsonObject values;
    QStringList lines;
    QMap<QString, QByteArray> notUtf8; // by key: the bytes of a text that did not decode
    QString asking; // the key of the question under way
    int given = 0;
    bool silence = false; // a question went unanswered
};

PJLinkRun::PJLinkRun(const Invocation &invocation, Report &report)
    : CommandRun(invocation, report)
{
    sendTimer.setSingleShot(true);
    sendTimer.setTimerType(Qt::PreciseTimer);
    connect(&sendTimer, &QTimer::timeout, this, [this] { sendFinished(std::nullopt); });
}

PJLinkRun::~PJLinkRun() = default;

void PJLinkRun::start()
{
    // From the event loop, so that finished() never comes from within.
    QTimer::singleShot(0, this, &PJLinkRun::begin);
}

void PJLinkRun::begin()
{
    report.set(QStringLiteral("family"), QStringLiteral("pjlink"));
    report.set(QStringLiteral("command"), invocation.commandName);
    if (invocation.command == Command::List && invocation.port.isEmpty()) {
        list();
        return;
    }
    report.set(QStringLiteral("port"), invocation.port);

    ProjectorList::Projector projector;
    projector.model = PJLink::ModelIndex;
    projector.port = invocation.port;
    projector.password = invocation.password;
    session = std::make_unique<ProjectorSession>(projector);
    connect(session.get(), &ProjectorSession::pjlinkOpened, this, &PJLinkRun::opened);
    connect(session.get(), &ProjectorSession::pjlinkDown, this, &PJLinkRun::down);
    connect(session.get(), &ProjectorSession::pjlinkAnswered, this, &PJLinkRun::answered);
    connect(session.get(), &ProjectorSession::pjlinkReceived, this, &PJLinkRun::heard);
    connect(session.get(), &ProjectorSession::pjlinkLineDropped, this, [this] {
        if (!isFinished())
            report.warn(QStringLiteral("%1: a line longer than %2 bytes was dropped")
                            .arg(invocation.port)
                            .arg(PJLink::MaxLine));
    });
    session->openPJLink(invocation.timeoutMs);
}

void PJLinkRun::opened()
{
    if (isFinished())
        return;
    linkOpen = true;
    switch (invocation.command) {
    case Command::On:
        change(PJLink::power(true));
        return;
    case Command::Off:
        change(PJLink::power(false));
        return;
    case Command::Status:
        status();
        return;
    case Command::Press:
        change(PJLink::buttonCommand(*invocation.pjlinkButton));
        return;
    case Command::Set:
        setInput();
        return;
    case Command::Query:
        query();
        return;
    case Command::Send:
        send();
        return;
    case Command::List:
        list();
        return;
    case Command::Projector:
    case Command::Search:
    case Command::Metrics:
    case Command::Detect:
    case Command::Exporter:
        break;
    }
    finish(ExitCode::Usage, QStringLiteral("not a PJLink command"));
}

void PJLinkRun::down(PortStatus::Problem problem, const QString &detail)
{
    if (isFinished())
        return;
    linkOpen = false;
    if (invocation.command == Command::Send && sendTimer.isActive()) {
        sendFinished(std::make_pair(problem, detail));
        return;
    }
    lost(problem, detail);
}

void PJLinkRun::finish(int exitCode, const QString &error)
{
    if (isFinished())
        return;
    sendTimer.stop();
    next = nullptr;
    end(report.finish(exitCode, error));
}

void PJLinkRun::lost(PortStatus::Problem problem, const QString &detail)
{
    QString message = invocation.port + QLatin1String(": ") + PortStatus::reason(problem, detail);
    const bool login = problem == PortStatus::Problem::PasswordRejected
        || problem == PortStatus::Problem::PasswordMissing;
    noteProblem(problem, detail);
    // A refused password is not offered again, by any front end: say how
    // the stop is cleared.
    const QString clear = QStringLiteral(". To try again: store the right password, give "
                                         "another, or delete %1")
                              .arg(PJLinkLogins::location());
    if (detail == QLatin1String(PJLinkLogins::NotTriedAgain))
        message = invocation.port + QLatin1String(": password rejected earlier; not tried again")
            + clear;
    else if (problem == PortStatus::Problem::PasswordRejected
             && PJLinkLogins::recall(
                    PJLinkTransport::projectorKey(LinkAddress::parsePJLink(invocation.port)),
                    invocation.password.toUtf8())
                    .refused)
        message += clear;
    finish(login ? ExitCode::NoPermission : ExitCode::Unavailable, message);
}

void PJLinkRun::ask(const PJLink::Command &command, Then then)
{
    waitingAsk = session->askPJLink(command);
    if (waitingAsk < 0) {
        // Not framed (a class or name out of the rules) or the link gone
        // meanwhile: told as unanswered, from the event loop.
        Answer answer;
        answer.command = command;
        QTimer::singleShot(0, this, [this, answer, command, then] {
            if (!isFinished())
                then(answer, command);
        });
        return;
    }
    next
        = [command, then](const Answer &answer, const PJLink::Command &) { then(answer, command); };
}

void PJLinkRun::answered(int number, const Answer &answer)
{
    // A lost link ends the run in down(), which follows.
    if (isFinished() || number != waitingAsk || answer.outcome == Answer::Outcome::Lost)
        return;
    waitingAsk = -1;
    const Then then = std::exchange(next, nullptr);
    if (then)
        then(answer, answer.command);
}

void PJLinkRun::askEitherClass(const PJLink::Command &command, Then then)
{
    ask(command, [this, then](const Answer &answer, const PJLink::Command &asked) {
        if (asked.pjClass == 2 && answer.outcome == Answer::Outcome::Replied
            && answer.reply.error != PJLink::Error::None) {
            PJLink::Command classOne = asked;
            classOne.pjClass = 1;
            ask(classOne, then);
            return;
        }
        then(answer, asked);
    });
}

void PJLinkRun::noAnswer(const PJLink::Command &command)
{
    report.set(QStringLiteral("answered"), false);
    finish(ExitCode::NoAnswer,
           QStringLiteral("%1: no answer to \"%2\" within %3 s")
               .arg(invocation.port, shownCommand(command), invocation.timeoutText));
}

void PJLinkRun::finishMissing()
{
    report.set(QStringLiteral("answered"), unanswered.isEmpty());
    report.set(QStringLiteral("unanswered"), QJsonArray::fromStringList(unanswered));
    for (const QString &refusal : std::as_const(refusals))
        report.warn(QStringLiteral("%1: the projector refused %2").arg(invocation.port, refusal));
    if (unanswered.isEmpty()) {
        finish(ExitCode::Done);
        return;
    }
    finish(ExitCode::NoAnswer,
           QStringLiteral("%1: no answer to \"%2\" within %3 s")
               .arg(invocation.port, unanswered.join(QLatin1String("\", \"")),
                    invocation.timeoutText));
}

void PJLinkRun::change(const PJLink::Command &command)
{
    ask(command, [this](const Answer &answer, const PJLink::Command &asked) {
        if (answer.outcome != Answer::Outcome::Replied) {
            noAnswer(asked);
            return;
        }
        report.set(QStringLiteral("answered"), true);
        report.set(QStringLiteral("reply"), QString::fromLatin1(answer.reply.value));
        if (answer.reply.accepted()) {
            finish(ExitCode::Done);
            return;
        }
        finish(ExitCode::Refused,
               QStringLiteral("the projector refused \"%1\": %2")
                   .arg(shownCommand(asked), refusalText(answer.reply)));
    });
}

void PJLinkRun::status()
{
    ask(PJLink::query(1, "POWR"), [this](const Answer &answer, const PJLink::Command &asked) {
        if (answer.outcome != Answer::Outcome::Replied) {
            noAnswer(asked);
            return;
        }
        report.set(QStringLiteral("answered"), true);
        const std::optional<int> power = PJLink::parsePower(answer.reply.value);
        if (!power) {
            finish(ExitCode::Refused,
                   QStringLiteral("the projector answered \"%1\" to \"%2\", which is "
                                  "not a power state")
                       .arg(Report::shown(QString::fromLatin1(answer.reply.text)),
                            shownCommand(asked)));
            return;
        }
        const QString text = PJLink::powerStateName(*power);
        QString lamp = text;
        lamp.remove(QStringLiteral("lamp "));
        report.set(QStringLiteral("lamp"), lamp);
        report.set(QStringLiteral("power"), *power);
        report.print(text);
        finish(ExitCode::Done);
    });
}

void PJLinkRun::readInputs(std::function<void()> then)
{
    // What was asked is taken into the state, whatever came back.
    const auto taken = [this](bool required) {
        return [this, required](const Answer &answer, const PJLink::Command &asked) {
            if (answer.outcome != Answer::Outcome::Replied && required)
                unanswered.append(shownCommand(asked));
            if (answer.outcome == Answer::Outcome::Replied
                && answer.reply.error != PJLink::Error::None && required)
                refusals.append(QStringLiteral("\"%1\": %2")
                                    .arg(shownCommand(asked), refusalText(answer.reply)));
            state.apply(asked, answer.reply);
        };
    };
    ask(PJLink::query(1, "CLSS"),
        [this, taken, then](const Answer &answer, const PJLink::Command &asked) {
            // Silent: asked nothing more, within --timeout.
            if (answer.outcome != Answer::Outcome::Replied) {
                unanswered.append(shownCommand(asked));
                then();
                return;
            }
            taken(false)(answer, asked);
            const int pjClass = state.pjClass.value_or(1) >= 2 ? 2 : 1;
            askEitherClass(
                PJLink::query(pjClass, "INST"),
                [this, taken, then, pjClass](const Answer &answer, const PJLink::Command &asked) {
                    taken(true)(answer, asked);
                    if (pjClass == 2)
                        readInputNames(0, then);
                    else
                        then();
                });
        });
}

void PJLinkRun::readInputNames(int index, std::function<void()> then)
{
    const QList<QByteArray> inputs = state.inputs.value_or(QList<QByteArray>());
    if (index >= inputs.size()) {
        then();
        return;
    }
    ask(PJLink::query(2, "INNM", inputs.at(index)),
        [this, index, then](const Answer &answer, const PJLink::Command &asked) {
            if (answer.outcome != Answer::Outcome::Replied) {
                unanswered.append(shownCommand(asked));
                then();
                return;
            }
            state.apply(asked, answer.reply);
            readInputNames(index + 1, then);
        });
}

void PJLinkRun::list()
{
    const QStringList buttons = Catalogue::pressNames(PJLink::ModelIndex);
    report.set(QStringLiteral("press"), QJsonArray::fromStringList(buttons));
    report.print(QStringLiteral("press:"));
    for (const QString &name : buttons)
        report.print(QLatin1String("  ") + name);
    if (linkOpen)
        readInputs([this] { listInputs(); });
    else
        listInputs();
}

void PJLinkRun::listInputs()
{
    const QStringList names = inputNames(state);
    report.print(QStringLiteral("set input:"));
    for (const QString &name : names)
        report.print(QLatin1String("  ") + name);
    report.set(QStringLiteral("set"),
               QJsonObject { { QStringLiteral("input"), QJsonArray::fromStringList(names) } });
    if (!linkOpen) {
        finish(ExitCode::Done);
        return;
    }
    finishMissing();
}

void PJLinkRun::setInput()
{
    const QByteArray input = PJLink::inputFromName(invocation.inputName);
    if (input.isEmpty()) {
        // A name the projector gave its input: it is asked for them.
        readInputs([this] { selectNamedInput(); });
        return;
    }
    report.set(QStringLiteral("input"), QString::fromLatin1(input));
    change(PJLink::selectInput(input));
}

void PJLinkRun::selectNamedInput()
{
    const QByteArray input = state.inputNamed(invocation.inputName);
    if (input.isEmpty() && !unanswered.isEmpty()) {
        finishMissing();
        return;
    }
    if (input.isEmpty()) {
        finish(ExitCode::Usage,
               QStringLiteral("unknown input \"%1\"; the inputs are %2")
                   .arg(invocation.inputName, inputNames(state).join(QLatin1String(", "))));
        return;
    }
    report.set(QStringLiteral("input"), QString::fromLatin1(input));
    change(PJLink::selectInput(input));
}

void PJLinkRun::query()
{
    using PJLink::query;
    reading = std::make_unique<Query>();
    Query &q = *reading;
    q.classItem
        = { "class", query(1, "CLSS"), [this] { return state.pjClass.has_value(); },
            [this] { reading->text(QStringLiteral("class"), QString::number(*state.pjClass)); } };
    // The class first: it chooses the other queries. queryItem(-1) reads it.
    queryItem(-1);
}

void PJLinkRun::queryItem(int index)
{
    using PJLink::query;
    Query &q = *reading;
    if (index == 0) {
        const bool two = state.pjClass.value_or(1) >= 2;
        const auto always = [] { return true; };
        const auto text = [this](const char *key, const QString &value) {
            reading->text(QLatin1String(key), value);
        };
        q.items = {
            { "lamp", query(1, "POWR"), [this] { return state.power.has_value(); },
              [this, text] {
                  QString lamp = PJLink::powerStateName(*state.power);
                  text("lamp", lamp.remove(QStringLiteral("lamp ")));
              } },
            { "input", query(two ? 2 : 1, "INPT"), [this] { return !state.input.isEmpty(); },
              [this, text] {
                  text("input", state.inputCaption(state.input));
                  reading->values.insert(QStringLiteral("input-code"),
                                         QString::fromLatin1(state.input));
              } },
            { "mute", query(1, "AVMT"), [this] { return state.mutes.has_value(); },
              [this, text] {
                  text("picture-mute", onOff(state.mutes->picture));
                  text("sound-mute", onOff(state.mutes->sound));
              } },
            { "health", query(1, "ERST"), [this] { return state.health.has_value(); },
              [this] {
                  QJsonObject health;
                  for (int part = 0; part < PJLink::HealthParts; ++part) {
                      const QString level
                          = PJLink::healthLevelName((*state.health)[std::size_t(part)]);
                      health.insert(PJLink::healthPartName(part), level);
                      reading->lines.append(
                          QStringLiteral("health-%1=%2").arg(PJLink::healthPartName(part), level));
                  }
                  reading->values.insert(QStringLiteral("health"), health);
              } },
            { "lamps", query(1, "LAMP"), [this] { return state.lamps.has_value(); },
              [this] {
                  QJsonArray lamps;
                  int number = 0;
                  for (const PJLink::Lamp &lamp : *state.lamps) {
                      ++number;
                      lamps.append(QJsonObject { { QStringLiteral("hours"), lamp.hours },
                                                 { QStringLiteral("on"), lamp.lit } });
                      reading->lines.append(
                          QStringLiteral("lamp-%1-hours=%2").arg(number).arg(lamp.hours));
                      reading->lines.append(
                          QStringLiteral("lamp-%1=%2").arg(number).arg(onOff(lamp.lit)));
                  }
                  reading->values.insert(QStringLiteral("lamps"), lamps);
              } },
            { "inputs", query(two ? 2 : 1, "INST"), [this] { return state.inputs.has_value(); },
              [this] {
                  reading->values.insert(QStringLiteral("inputs"), inputsJson(state));
                  reading->lines.append(QStringLiteral("inputs=")
                                        + inputNames(state).join(QLatin1Char(' ')));
              } },
            { "name", query(1, "NAME"), always, [this, text] { text("name", state.name); } },
            { "make", query(1, "INF1"), always, [this, text] { text("make", state.maker); } },
            { "model", query(1, "INF2"), always, [this, text] { text("model", state.model); } },
            { "info", query(1, "INFO"), always, [this, text] { text("info", state.info); } },
        };
        if (two) {
            q.items += QList<Query::Item> {
                { "freeze", query(2, "FREZ"), [this] { return state.frozen.has_value(); },
                  [this, text] { text("freeze", onOff(*state.frozen)); } },
                { "filter-hours", query(2, "FILT"),
                  [this] { return state.filterHours.has_value(); },
                  [this, text] {
                      // -1: the projector has no filter, which is not a refusal.
                      if (*state.filterHours >= 0)
                          text("filter-hours", QString::number(*state.filterHours));
                  } },
                { "input-resolution", query(2, "IRES"), always,
                  [this, text] { text("input-resolution", state.inputResolution); } },
                { "serial-number", query(2, "SNUM"), always,
                  [this, text] { text("serial-number", state.serialNumber); } },
                { "software-version", query(2, "SVER"), always,
                  [this, text] { text("software-version", state.softwareVersion); } },
                { "lamp-part", query(2, "RLMP"), always,
                  [this, text] { text("lamp-part", state.lampPart); } },
                { "filter-part", query(2, "RFIL"), always,
                  [this, text] { text("filter-part", state.filterPart); } },
            };
        }
    }
    if (index >= q.items.size()) {
        queryNames(0);
        return;
    }
    const Query::Item &item = index < 0 ? q.classItem : q.items.at(index);
    const auto outcome = [this, index](Query::Outcome outcome, const QString &why) {
        if (index < 0)
            reading->classOutcome = { outcome, why };
        else
            reading->outcomes.append({ outcome, why });
        queryItem(index + 1);
    };
    // A projector that leaves one question unanswered (silent, or flooding
    // with what answers nothing) is asked nothing more: the run ends within
    // about twice --timeout, the connection's and the one question's.
    if (q.silence) {
        unanswered.append(shownCommand(item.command));
        outcome(Query::Outcome::NoAnswer, QString());
        return;
    }
    const std::function<bool()> known = item.known;
    q.asking = QLatin1String(item.key);
    const Then read = [this, known, outcome](const Answer &answer, const PJLink::Command &asked) {
        Query &q = *reading;
        if (answer.outcome != Answer::Outcome::Replied) {
            q.silence = true;
            unanswered.append(shownCommand(asked));
            outcome(Query::Outcome::NoAnswer, QString());
            return;
        }
        state.apply(asked, answer.reply);
        if (!validUtf8(answer.reply.text))
            q.notUtf8.insert(q.asking, answer.reply.text);
        if (answer.reply.error != PJLink::Error::None && !tellsAbsence(asked, answer.reply)) {
            outcome(Query::Outcome::Refused, refusalText(answer.reply));
            return;
        }
        if (!known()) {
            outcome(Query::Outcome::Unreadable,
                    Report::shown(QString::fromLatin1(answer.reply.text)));
            return;
        }
        ++q.given;
        outcome(Query::Outcome::Value, QString());
    };
    if (item.command.name == "INST" || item.command.name == "INPT")
        askEitherClass(item.command, read);
    else
        ask(item.command, read);
}

void PJLinkRun::queryNames(int index)
{
    // The names are extras: without them the inputs keep their captions.
    const QList<QByteArray> inputs = state.inputs.value_or(QList<QByteArray>());
    if (state.pjClass.value_or(1) < 2 || index >= inputs.size() || reading->silence) {
        queryPrint();
        return;
    }
    ask(PJLink::query(2, "INNM", inputs.at(index)),
        [this, index](const Answer &answer, const PJLink::Command &asked) {
            if (answer.outcome != Answer::Outcome::Replied) {
                reading->silence = true;
                unanswered.append(shownCommand(asked));
            }
            state.apply(asked, answer.reply);
            queryNames(index + 1);
        });
}

void PJLinkRun::queryPrint()
{
    Query &q = *reading;
    // The class, asked first, is printed after the model, as ever.
    const int afterModel
        = int(std::find_if(q.items.cbegin(), q.items.cend(),
                           [](const Query::Item &item) { return qstrcmp(item.key, "model") == 0; })
              - q.items.cbegin())
        + 1;
    q.items.insert(afterModel, q.classItem);
    q.outcomes.insert(afterModel, q.classOutcome);

    for (int i = 0; i < q.items.size(); ++i) {
        const QString key = QLatin1String(q.items.at(i).key);
        const QString why = q.outcomes.at(i).second;
        switch (q.outcomes.at(i).first) {
        case Query::Outcome::Value:
            q.items.at(i).print();
            break;
        case Query::Outcome::Refused:
            q.text(key, QStringLiteral("refused: %1").arg(why));
            break;
        case Query::Outcome::Unreadable:
            q.text(key, QStringLiteral("unreadable: \"%1\"").arg(why));
            break;
        case Query::Outcome::NoAnswer:
            q.text(key, QStringLiteral("no answer"));
            break;
        }
    }

    for (const QString &line : std::as_const(q.lines))
        report.print(line);
    report.set(QStringLiteral("values"), q.values);
    if (q.given == 0 && unanswered.isEmpty()) {
        report.set(QStringLiteral("answered"), true);
        finish(
            ExitCode::Refused,
            QStringLiteral("%1: the projector gave none of the values asked").arg(invocation.port));
        return;
    }
    finishMissing();
}

void PJLinkRun::send()
{
    // Whatever comes within the time is kept, up to the cap.
    sendTimer.start(invocation.timeoutMs);
    session->sendPJLinkText(invocation.text);
}

void PJLinkRun::heard(const QByteArray &bytes)
{
    if (isFinished() || !sendTimer.isActive())
        return;
    // No more than the cap is ever held, whatever the projector sends.
    partial += bytes.left(int(qMax<qint64>(0, MaxHeard + 1 - kept - partial.size())));
    for (int end = partial.indexOf('\r'); end >= 0; end = partial.indexOf('\r')) {
        const QByteArray line = partial.left(end).trimmed();
        partial.remove(0, end + 1);
        kept += end + 1;
        if (!line.isEmpty())
            replies.append(QString::fromLatin1(line));
    }
    cut = kept + partial.size() > MaxHeard;
    if (cut)
        sendFinished(std::nullopt);
}

void PJLinkRun::sendFinished(std::optional<std::pair<PortStatus::Problem, QString>> lostWhy)
{
    if (isFinished())
        return;
    sendTimer.stop();
    for (const QString &reply : std::as_const(replies))
        report.print(Report::shown(reply));
    report.set(QStringLiteral("replies"), QJsonArray::fromStringList(replies));
    report.set(QStringLiteral("answered"), !replies.isEmpty());
    if (cut)
        report.warn(QStringLiteral("%1: more than %2 bytes of replies came; the rest was not read")
                        .arg(invocation.port)
                        .arg(MaxHeard));
    if (lostWhy) {
        lost(lostWhy->first, lostWhy->second);
        return;
    }
    if (replies.isEmpty()) {
        finish(ExitCode::NoAnswer,
               cut ? QStringLiteral("%1: no whole reply in the first %2 bytes")
                         .arg(invocation.port)
                         .arg(MaxHeard)
                   : QStringLiteral("%1: no reply within %2 s")
                         .arg(invocation.port, invocation.timeoutText));
        return;
    }
    finish(ExitCode::Done);
}
