#include "pjlinkcommandline.h"

#include "catalogue.h"
#include "portstatus.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <functional>

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

} // namespace

PJLinkCommandLine::PJLinkCommandLine(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
{
    clock.start();
}

int PJLinkCommandLine::run()
{
    report.set(QStringLiteral("family"), QStringLiteral("pjlink"));
    report.set(QStringLiteral("command"), invocation.commandName);
    if (invocation.command == Command::List && invocation.port.isEmpty())
        return list();
    report.set(QStringLiteral("port"), invocation.port);
    if (const int end = open(); end >= 0)
        return end;

    switch (invocation.command) {
    case Command::On:
        return change(PJLink::power(true));
    case Command::Off:
        return change(PJLink::power(false));
    case Command::Status:
        return status();
    case Command::Press:
        return change(PJLink::buttonCommand(*invocation.pjlinkButton));
    case Command::Set:
        return setInput();
    case Command::Query:
        return query();
    case Command::Send:
        return send();
    case Command::List:
        return list();
    case Command::Projector:
    case Command::Search:
    case Command::Metrics:
    case Command::Detect:
    case Command::Exporter:
        break;
    }
    return report.finish(ExitCode::Usage, QStringLiteral("not a PJLink command"));
}

int PJLinkCommandLine::open()
{
    link.setPassword(invocation.password);
    link.connectTo(invocation.port, PJLink::ModelIndex);
    if (link.waitForOpened(invocation.timeoutMs)) {
        session.opened(clock.elapsed());
        return -1;
    }
    return lost();
}

int PJLinkCommandLine::lost()
{
    const PortStatus::Problem problem = link.problem();
    const QString message
        = invocation.port + QLatin1String(": ") + PortStatus::reason(problem, link.problemDetail());
    const bool login = problem == PortStatus::Problem::PasswordRejected
        || problem == PortStatus::Problem::PasswordMissing;
    return report.finish(login ? ExitCode::NoPermission : ExitCode::Unavailable, message);
}

PJLinkCommandLine::Answer PJLinkCommandLine::ask(const PJLink::Command &command)
{
    Answer answer;
    session.clearQueue();
    session.enqueue(command);
    link.write(session.takeOutput(clock.elapsed()));
    const QDeadlineTimer deadline(invocation.timeoutMs);
    while (link.isOpen()) {
        for (const PJLinkSession::Event &event : session.receive(link.readAll(), clock.elapsed())) {
            if (event.kind == PJLinkSession::Event::Kind::LineDropped)
                report.warn(QStringLiteral("%1: a line longer than %2 bytes was dropped")
                                .arg(invocation.port)
                                .arg(PJLink::MaxLine));
            if (event.kind == PJLinkSession::Event::Kind::Answered) {
                answer.outcome = Answer::Replied;
                answer.reply = event.reply;
                return answer;
            }
        }
        if (deadline.hasExpired())
            return answer;
        link.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    answer.outcome = Answer::Lost;
    return answer;
}

PJLinkCommandLine::Answer PJLinkCommandLine::askEitherClass(PJLink::Command command,
                                                            PJLink::Command *asked)
{
    Answer answer = ask(command);
    if (command.pjClass == 2 && answer.outcome == Answer::Replied
        && answer.reply.error != PJLink::Error::None) {
        command.pjClass = 1;
        answer = ask(command);
    }
    *asked = command;
    return answer;
}

int PJLinkCommandLine::noAnswer(const PJLink::Command &command)
{
    report.set(QStringLiteral("answered"), false);
    return report.finish(ExitCode::NoAnswer,
                         QStringLiteral("%1: no answer to \"%2\" within %3 s")
                             .arg(invocation.port, shownCommand(command), invocation.timeoutText));
}

int PJLinkCommandLine::finishMissing()
{
    report.set(QStringLiteral("answered"), unanswered.isEmpty());
    report.set(QStringLiteral("unanswered"), QJsonArray::fromStringList(unanswered));
    for (const QString &refusal : refusals)
        report.warn(QStringLiteral("%1: the projector refused %2").arg(invocation.port, refusal));
    if (unanswered.isEmpty())
        return report.finish(ExitCode::Done);
    return report.finish(ExitCode::NoAnswer,
                         QStringLiteral("%1: no answer to \"%2\" within %3 s")
                             .arg(invocation.port, unanswered.join(QLatin1String("\", \"")),
                                  invocation.timeoutText));
}

int PJLinkCommandLine::change(const PJLink::Command &command)
{
    const Answer answer = ask(command);
    if (answer.outcome == Answer::Lost)
        return lost();
    if (answer.outcome == Answer::NoAnswer)
        return noAnswer(command);
    report.set(QStringLiteral("answered"), true);
    report.set(QStringLiteral("reply"), QString::fromLatin1(answer.reply.value));
    if (answer.reply.accepted())
        return report.finish(ExitCode::Done);
    return report.finish(ExitCode::Refused,
                         QStringLiteral("the projector refused \"%1\": %2")
                             .arg(shownCommand(command), refusalText(answer.reply)));
}

int PJLinkCommandLine::status()
{
    const PJLink::Command command = PJLink::query(1, "POWR");
    const Answer answer = ask(command);
    if (answer.outcome == Answer::Lost)
        return lost();
    if (answer.outcome == Answer::NoAnswer)
        return noAnswer(command);
    report.set(QStringLiteral("answered"), true);
    const std::optional<int> power = PJLink::parsePower(answer.reply.value);
    if (!power)
        return report.finish(
            ExitCode::Refused,
            QStringLiteral("the projector answered \"%1\" to \"%2\", which is "
                           "not a power state")
                .arg(Report::shown(QString::fromLatin1(answer.reply.text)), shownCommand(command)));
    const QString text = PJLink::powerStateName(*power);
    QString lamp = text;
    lamp.remove(QStringLiteral("lamp "));
    report.set(QStringLiteral("lamp"), lamp);
    report.set(QStringLiteral("power"), *power);
    report.print(text);
    return report.finish(ExitCode::Done);
}

int PJLinkCommandLine::readInputs()
{
    const auto read = [this](const PJLink::Command &wanted, bool required) {
        PJLink::Command command = wanted;
        const Answer answer
            = wanted.name == "INST" ? askEitherClass(wanted, &command) : ask(wanted);
        if (answer.outcome == Answer::Lost)
            return lost();
        if (answer.outcome == Answer::NoAnswer && required)
            unanswered.append(shownCommand(command));
        if (answer.outcome == Answer::Replied && answer.reply.error != PJLink::Error::None
            && required)
            refusals.append(
                QStringLiteral("\"%1\": %2").arg(shownCommand(command), refusalText(answer.reply)));
        state.apply(command, answer.reply);
        return -1;
    };
    if (const int end = read(PJLink::query(1, "CLSS"), false); end >= 0)
        return end;
    const int pjClass = state.pjClass.value_or(1) >= 2 ? 2 : 1;
    if (const int end = read(PJLink::query(pjClass, "INST"), true); end >= 0)
        return end;
    if (pjClass == 2) {
        for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
            if (const int end = read(PJLink::query(2, "INNM", input), false); end >= 0)
                return end;
        }
    }
    return -1;
}

int PJLinkCommandLine::list()
{
    const QStringList buttons = Catalogue::pressNames(PJLink::ModelIndex);
    report.set(QStringLiteral("press"), QJsonArray::fromStringList(buttons));
    report.print(QStringLiteral("press:"));
    for (const QString &name : buttons)
        report.print(QLatin1String("  ") + name);
    if (link.isOpen()) {
        if (const int end = readInputs(); end >= 0)
            return end;
    }
    const QJsonArray inputs = inputsJson(state);
    QJsonArray names;
    report.print(QStringLiteral("set input:"));
    for (const QJsonValue &input : inputs) {
        const QString name = input.toObject().value(QStringLiteral("name")).toString();
        names.append(name);
        report.print(QLatin1String("  ") + name);
    }
    report.set(QStringLiteral("set"), QJsonObject { { QStringLiteral("input"), names } });
    if (!link.isOpen())
        return report.finish(ExitCode::Done);
    return finishMissing();
}

int PJLinkCommandLine::setInput()
{
    QByteArray input = PJLink::inputFromName(invocation.inputName);
    if (input.isEmpty()) {
        // A name the projector gave its input: it is asked for them.
        if (const int end = readInputs(); end >= 0)
            return end;
        input = state.inputNamed(invocation.inputName);
        if (input.isEmpty() && !unanswered.isEmpty())
            return finishMissing();
        if (input.isEmpty()) {
            QStringList names;
            for (const QJsonValue &known : inputsJson(state))
                names.append(known.toObject().value(QStringLiteral("name")).toString());
            return report.finish(ExitCode::Usage,
                                 QStringLiteral("unknown input \"%1\"; the inputs are %2")
                                     .arg(invocation.inputName, names.join(QLatin1String(", "))));
        }
    }
    report.set(QStringLiteral("input"), QString::fromLatin1(input));
    return change(PJLink::selectInput(input));
}

int PJLinkCommandLine::query()
{
    using PJLink::query;
    QJsonObject values;
    QStringList lines;
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    const auto text = [&](const QString &name, const QString &value) {
        if (value.isEmpty())
            return;
        values.insert(name, value);
        lines.append(name + QLatin1Char('=') + Report::shownUtf8(value));
    };

    // Each value in the order it is printed: its key, its query, whether the
    // state took the answer, and how it is printed.
    struct Item
    {
        const char *key;
        PJLink::Command command;
        std::function<bool()> known;
        std::function<void()> print;
    };
    const auto always = [] { return true; };
    const Item classItem { "class", query(1, "CLSS"), [&] { return state.pjClass.has_value(); },
                           [&] {
                               text(QStringLiteral("class"), QString::number(*state.pjClass));
                           } };

    enum class Outcome { Value, Refused, Unreadable, NoAnswer };
    int given = 0;
    bool answeredAny = false;
    bool silence = false;
    const auto read = [&](const Item &item, QString *why) {
        PJLink::Command command = item.command;
        // A projector that answers nothing gets one question: --timeout
        // bounds the whole run.
        if (silence && !answeredAny) {
            unanswered.append(shownCommand(command));
            return std::optional<Outcome>(Outcome::NoAnswer);
        }
        const Answer answer = command.name == "INST" || command.name == "INPT"
            ? askEitherClass(command, &command)
            : ask(command);
        if (answer.outcome == Answer::Lost)
            return std::optional<Outcome>();
        if (answer.outcome == Answer::NoAnswer) {
            silence = true;
            unanswered.append(shownCommand(command));
            return std::optional<Outcome>(Outcome::NoAnswer);
        }
        answeredAny = true;
        state.apply(command, answer.reply);
        if (answer.reply.error != PJLink::Error::None && !tellsAbsence(command, answer.reply)) {
            *why = refusalText(answer.reply);
            return std::optional<Outcome>(Outcome::Refused);
        }
        if (!item.known()) {
            *why = Report::shown(QString::fromLatin1(answer.reply.text));
            return std::optional<Outcome>(Outcome::Unreadable);
        }
        ++given;
        return std::optional<Outcome>(Outcome::Value);
    };

    QString classWhy;
    const std::optional<Outcome> classOutcome = read(classItem, &classWhy);
    if (!classOutcome)
        return lost();
    const bool two = state.pjClass.value_or(1) >= 2;
    QList<Item> items = {
        { "lamp", query(1, "POWR"), [&] { return state.power.has_value(); },
          [&] {
              QString lamp = PJLink::powerStateName(*state.power);
              text(QStringLiteral("lamp"), lamp.remove(QStringLiteral("lamp ")));
          } },
        { "input", query(two ? 2 : 1, "INPT"), [&] { return !state.input.isEmpty(); },
          [&] {
              text(QStringLiteral("input"), state.inputCaption(state.input));
              values.insert(QStringLiteral("input-code"), QString::fromLatin1(state.input));
          } },
        { "mute", query(1, "AVMT"), [&] { return state.mutes.has_value(); },
          [&] {
              text(QStringLiteral("picture-mute"), onOff(state.mutes->picture));
              text(QStringLiteral("sound-mute"), onOff(state.mutes->sound));
          } },
        { "health", query(1, "ERST"), [&] { return state.health.has_value(); },
          [&] {
              QJsonObject health;
              for (int part = 0; part < PJLink::HealthParts; ++part) {
                  const QString level = PJLink::healthLevelName((*state.health)[std::size_t(part)]);
                  health.insert(PJLink::healthPartName(part), level);
                  lines.append(
                      QStringLiteral("health-%1=%2").arg(PJLink::healthPartName(part), level));
              }
              values.insert(QStringLiteral("health"), health);
          } },
        { "lamps", query(1, "LAMP"), [&] { return state.lamps.has_value(); },
          [&] {
              QJsonArray lamps;
              int number = 0;
              for (const PJLink::Lamp &lamp : *state.lamps) {
                  ++number;
                  lamps.append(QJsonObject { { QStringLiteral("hours"), lamp.hours },
                                             { QStringLiteral("on"), lamp.lit } });
                  lines.append(QStringLiteral("lamp-%1-hours=%2").arg(number).arg(lamp.hours));
                  lines.append(QStringLiteral("lamp-%1=%2").arg(number).arg(onOff(lamp.lit)));
              }
              values.insert(QStringLiteral("lamps"), lamps);
          } },
        { "inputs", query(two ? 2 : 1, "INST"), [&] { return state.inputs.has_value(); },
          [&] {
              const QJsonArray inputs = inputsJson(state);
              QStringList names;
              for (const QJsonValue &input : inputs)
                  names.append(input.toObject().value(QStringLiteral("name")).toString());
              values.insert(QStringLiteral("inputs"), inputs);
              lines.append(QStringLiteral("inputs=") + names.join(QLatin1Char(' ')));
          } },
        { "name", query(1, "NAME"), always, [&] { text(QStringLiteral("name"), state.name); } },
        { "make", query(1, "INF1"), always, [&] { text(QStringLiteral("make"), state.maker); } },
        { "model", query(1, "INF2"), always, [&] { text(QStringLiteral("model"), state.model); } },
    };
    if (two) {
        items += QList<Item> {
            { "freeze", query(2, "FREZ"), [&] { return state.frozen.has_value(); },
              [&] { text(QStringLiteral("freeze"), onOff(*state.frozen)); } },
            { "filter-hours", query(2, "FILT"), [&] { return state.filterHours.has_value(); },
              [&] {
                  // -1: the projector has no filter, which is not a refusal.
                  if (*state.filterHours >= 0)
                      text(QStringLiteral("filter-hours"), QString::number(*state.filterHours));
              } },
            { "input-resolution", query(2, "IRES"), always,
              [&] { text(QStringLiteral("input-resolution"), state.inputResolution); } },
            { "serial-number", query(2, "SNUM"), always,
              [&] { text(QStringLiteral("serial-number"), state.serialNumber); } },
            { "software-version", query(2, "SVER"), always,
              [&] { text(QStringLiteral("software-version"), state.softwareVersion); } },
            { "lamp-part", query(2, "RLMP"), always,
              [&] { text(QStringLiteral("lamp-part"), state.lampPart); } },
            { "filter-part", query(2, "RFIL"), always,
              [&] { text(QStringLiteral("filter-part"), state.filterPart); } },
        };
    }
    QList<std::pair<Outcome, QString>> outcomes;
    for (const Item &item : items) {
        QString why;
        const std::optional<Outcome> outcome = read(item, &why);
        if (!outcome)
            return lost();
        outcomes.append({ *outcome, why });
    }
    if (two) {
        // The names are extras: without them the inputs keep their captions.
        for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
            const Answer answer = ask(query(2, "INNM", input));
            if (answer.outcome == Answer::Lost)
                return lost();
            state.apply(query(2, "INNM", input), answer.reply);
        }
    }
    // The class, asked first, is printed after the model, as ever.
    const int afterModel
        = int(std::find_if(items.cbegin(), items.cend(),
                           [](const Item &item) { return qstrcmp(item.key, "model") == 0; })
              - items.cbegin())
        + 1;
    items.insert(afterModel, classItem);
    outcomes.insert(afterModel, { *classOutcome, classWhy });

    for (int i = 0; i < items.size(); ++i) {
        const QString key = QLatin1String(items.at(i).key);
        const QString why = outcomes.at(i).second;
        switch (outcomes.at(i).first) {
        case Outcome::Value:
            items.at(i).print();
            break;
        case Outcome::Refused:
            text(key, QStringLiteral("refused: %1").arg(why));
            break;
        case Outcome::Unreadable:
            text(key, QStringLiteral("unreadable: \"%1\"").arg(why));
            break;
        case Outcome::NoAnswer:
            text(key, QStringLiteral("no answer"));
            break;
        }
    }

    for (const QString &line : lines)
        report.print(line);
    report.set(QStringLiteral("values"), values);
    if (given == 0 && unanswered.isEmpty()) {
        report.set(QStringLiteral("answered"), true);
        return report.finish(
            ExitCode::Refused,
            QStringLiteral("%1: the projector gave none of the values asked").arg(invocation.port));
    }
    return finishMissing();
}

int PJLinkCommandLine::send()
{
    link.write(invocation.text + '\r');
    QStringList replies;
    QByteArray partial;
    qint64 kept = 0;
    bool cut = false;
    const QDeadlineTimer deadline(invocation.timeoutMs);
    while (link.isOpen() && !deadline.hasExpired() && !cut) {
        link.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        // No more than the cap is ever held, whatever the projector sends.
        partial += link.read(qMax<qint64>(0, MaxHeard + 1 - kept - partial.size()));
        for (int end = partial.indexOf('\r'); end >= 0; end = partial.indexOf('\r')) {
            const QByteArray line = partial.left(end).trimmed();
            partial.remove(0, end + 1);
            kept += end + 1;
            if (!line.isEmpty())
                replies.append(QString::fromLatin1(line));
        }
        cut = kept + partial.size() > MaxHeard;
    }
    for (const QString &reply : replies)
        report.print(Report::shown(reply));
    report.set(QStringLiteral("replies"), QJsonArray::fromStringList(replies));
    report.set(QStringLiteral("answered"), !replies.isEmpty());
    if (cut)
        report.warn(QStringLiteral("%1: more than %2 bytes of replies came; the rest was not read")
                        .arg(invocation.port)
                        .arg(MaxHeard));
    if (!link.isOpen())
        return lost();
    if (replies.isEmpty())
        return report.finish(ExitCode::NoAnswer,
                             cut ? QStringLiteral("%1: no whole reply in the first %2 bytes")
                                       .arg(invocation.port)
                                       .arg(MaxHeard)
                                 : QStringLiteral("%1: no reply within %2 s")
                                       .arg(invocation.port, invocation.timeoutText));
    return report.finish(ExitCode::Done);
}
