#include "serialrun.h"

#include "catalogue.h"
#include "family.h"
#include "infocus.h"
#include "power.h"
#include "replies.h"

#include <QJsonArray>

#include <utility>

using Command = Invocation::Command;

SerialRun::SerialRun(const Invocation &invocation, Report &report)
    : CommandRun(invocation, report)
{ }

SerialRun::~SerialRun() = default;

void SerialRun::start()
{
    report.set(QStringLiteral("family"), Family::key(invocation.model));
    report.set(QStringLiteral("command"), invocation.commandName);
    if (invocation.command == Command::List)
        return list();

    report.set(QStringLiteral("port"), invocation.port);
    session = std::make_unique<ProjectorSession>(ProjectorList::Projector {
        QString(), invocation.model, invocation.port, QString(), QString() });
    connect(session.get(), &ProjectorSession::exchangeOpened, this, &SerialRun::onOpened);
    connect(session.get(), &ProjectorSession::exchangeFailed, this, [this](const QString &reason) {
        noteProblem(session->linkProblem(), session->linkProblemDetail());
        end(report.finish(ExitCode::Unavailable, invocation.port + QLatin1String(": ") + reason));
    });
    connect(session.get(), &ProjectorSession::exchangeAnswered, this, &SerialRun::onAnswered);
    connect(session.get(), &ProjectorSession::exchangeHeard, this, &SerialRun::onHeard);
    session->openForExchange(invocation.timeoutMs);
}

void SerialRun::onOpened()
{
    if (!session->owedRecordProblem().isEmpty())
        report.warn(session->owedRecordProblem());
    if (session->speedRefused())
        report.warn(QStringLiteral("%1: the line refused %2 baud")
                        .arg(invocation.port, QString::number(Family::baudRate(invocation.model))));
    carryOut();
}

void SerialRun::finish(int exitCode)
{
    // Reported already; what the projector still owes is kept before the
    // line is let go, so the next run does not take it for its own.
    if (session)
        session->settle();
    end(exitCode);
}

void SerialRun::carryOut()
{
    switch (invocation.command) {
    case Command::On:
        return power(true);
    case Command::Off:
        return power(false);
    case Command::Status:
        return status();
    case Command::Press:
        return press();
    case Command::Set:
        return set();
    case Command::Query:
        return query();
    case Command::Send:
        return send();
    case Command::List:
    case Command::Projector:
    case Command::Search:
    case Command::Metrics:
    case Command::Detect:
    case Command::Exporter:
        break;
    }
    list();
}

void SerialRun::list()
{
    const int model = invocation.model;
    const QStringList buttons = Catalogue::pressNames(model);
    report.set(QStringLiteral("press"), QJsonArray::fromStringList(buttons));
    report.print(QStringLiteral("press:"));
    for (const QString &name : buttons)
        report.print(QLatin1String("  ") + name);

    QJsonObject lists;
    for (Vivitek::List list : Catalogue::settableLists(model)) {
        const QStringList entries = Catalogue::entryNames(list);
        lists.insert(Vivitek::listName(list), QJsonArray::fromStringList(entries));
        report.print(QLatin1String("set ") + Vivitek::listName(list) + QLatin1Char(':'));
        for (const QString &name : entries)
            report.print(QLatin1String("  ") + name);
    }
    report.set(QStringLiteral("set"), lists);
    finish(report.finish(ExitCode::Done));
}

void SerialRun::power(bool on)
{
    const int model = invocation.model;
    ask(on ? Power::onCommand(model) : Power::offCommand(model),
        [this](const QString &) { finish(report.finish(ExitCode::Done)); });
}

void SerialRun::status()
{
    const QByteArray poll = Power::pollCommand(invocation.model);
    ask(poll, [this, poll](const QString &reply) {
        if (invocation.model == InFocus::ModelIndex) {
            report.print(Report::shown(reply));
            return finish(report.finish(ExitCode::Done));
        }
        const QString lamp = Replies::lamp(invocation.model, reply);
        if (lamp.isEmpty())
            return finish(
                report.finish(ExitCode::Refused,
                              QStringLiteral("the projector answered \"%1\" to \"%2\", which is "
                                             "not a lamp state")
                                  .arg(Report::shown(reply), QLatin1String(poll))));
        report.set(QStringLiteral("lamp"), lamp);
        report.print(QLatin1String("lamp ") + lamp);
        finish(report.finish(ExitCode::Done));
    });
}

void SerialRun::press()
{
    if (invocation.vivitekButton)
        return pressVivitek();
    ask(invocation.acerButton->command, [this](const QString &reply) {
        // The information keys answer with what the window logs.
        const QString text
            = invocation.model == Acer::ModelIndex ? Replies::acerText(reply) : QString();
        if (!text.isEmpty()) {
            report.set(QStringLiteral("value"), text);
            report.print(Report::shown(text));
        }
        finish(report.finish(ExitCode::Done));
    });
}

void SerialRun::pressVivitek()
{
    const Vivitek::ButtonCommand &button = *invocation.vivitekButton;
    if (button.command) {
        ask(button.command, [this, &button](const QString &reply) {
            const QString value
                = Replies::vivitekValue(Vivitek::meaningOf(QLatin1String(button.command)), reply);
            if (!value.isEmpty()) {
                report.set(QStringLiteral("value"), value);
                report.print(Report::shown(value));
            }
            finish(report.finish(ExitCode::Done));
        });
        return;
    }
    // The window steps the keystone from the value it last heard of; here
    // that is asked for first.
    ask(Vivitek::KeystoneQuery, [this, &button](const QString &reply) {
        const std::int8_t current = Vivitek::keystoneOf(Vivitek::parseReply(reply).value);
        const std::int8_t next = button.button == Vivitek::Button::KeystoneUp
            ? Vivitek::keystoneUp(current)
            : Vivitek::keystoneDown(current);
        ask(Vivitek::valueCommand(Vivitek::KeystonePrefix, next), [this, next](const QString &) {
            report.set(QStringLiteral("keystone"), next);
            finish(report.finish(ExitCode::Done));
        });
    });
}

void SerialRun::set()
{
    const auto setEntry = [this] {
        ask(Vivitek::listCommand(invocation.list, invocation.entry),
            [this](const QString &) { finish(report.finish(ExitCode::Done)); });
    };
    if (invocation.list != Vivitek::List::LampMode)
        return setEntry();
    // As in the window: the lamp mode is taken only while the lamp burns.
    ask(Power::pollCommand(invocation.model), [this, setEntry](const QString &reply) {
        if (!Vivitek::lampOn(reply))
            return finish(report.finish(ExitCode::Refused,
                                        QStringLiteral("the lamp is off; the lamp mode can only be "
                                                       "set while it is on")));
        setEntry();
    });
}

QList<SerialRun::Query> SerialRun::queriesOf(int modelIndex)
{
    const auto vivitek = [](int, const QByteArray &command, const QString &reply) {
        return Replies::vivitekValue(Vivitek::meaningOf(QLatin1String(command)), reply);
    };
    const auto lamp = [](int model, const QByteArray &, const QString &reply) {
        const QString state = Replies::lamp(model, reply);
        return state.isEmpty() ? reply : state;
    };
    const auto acerText
        = [](int, const QByteArray &, const QString &reply) { return Replies::acerText(reply); };
    const auto resolution = [](int, const QByteArray &, const QString &reply) {
        return reply.startsWith(QLatin1String("Res")) ? Replies::acerText(reply) : QString();
    };
    const auto raw = [](int, const QByteArray &, const QString &reply) { return reply; };

    QList<Query> queries;
    switch (modelIndex) {
    case Vivitek::ModelIndex: {
        // What the window's state query asks, in the order a reader wants it.
        QStringList commands
            = { QLatin1String(Vivitek::StatusPoll), QLatin1String(Vivitek::LampHours),
                QLatin1String(Vivitek::Firmware) };
        commands += Vivitek::stateQueries();
        using Vivitek::Meaning;
        const struct
        {
            Meaning meaning;
            QString name;
        } fields[] = {
            { Meaning::LampState, QStringLiteral("lamp") },
            { Meaning::LampHours, QStringLiteral("lamp-hours") },
            { Meaning::Firmware, QStringLiteral("firmware") },
            { Meaning::VideoSourceList, Vivitek::listName(Vivitek::List::VideoSource) },
            { Meaning::DisplayModeList, Vivitek::listName(Vivitek::List::DisplayMode) },
            { Meaning::LogoList, Vivitek::listName(Vivitek::List::Logo) },
            { Meaning::LampModeList, Vivitek::listName(Vivitek::List::LampMode) },
            { Meaning::ColorTempList, Vivitek::listName(Vivitek::List::ColorTemp) },
            { Meaning::Brightness, QStringLiteral("brightness") },
            { Meaning::Keystone, QStringLiteral("keystone") },
        };
        for (const auto &field : fields) {
            for (const QString &command : commands) {
                if (Vivitek::meaningOf(command) == field.meaning)
                    queries.append({ field.name, command.toLatin1(), vivitek, false });
            }
        }
        break;
    }
    case Acer::ModelIndex:
        queries = {
            { QStringLiteral("lamp"), Acer::StatusPoll, lamp, false },
            { QStringLiteral("lamp-hours"),
              Acer::buttonCommand(Acer::Button::QueryLampTime).command, acerText, false },
            { QStringLiteral("resolution"), Acer::buttonCommand(Acer::Button::Resolution).command,
              resolution, true },
        };
        break;
    default:
        queries = { { QStringLiteral("status"), InFocus::StatusPoll, raw, false } };
        break;
    }
    return queries;
}

void SerialRun::query()
{
    queries = queriesOf(invocation.model);
    queryAt = 0;
    askNextQuery();
}

void SerialRun::askNextQuery()
{
    if (queryAt < queries.size() && silentAt.isEmpty()) {
        session->ask(queries.at(queryAt).command);
        return;
    }
    report.set(QStringLiteral("values"), values);
    report.set(QStringLiteral("answered"), unanswered == 0);
    if (!silentAt.isEmpty())
        return finish(report.finish(
            ExitCode::NoAnswer,
            QStringLiteral("%1: no answer to \"%2\" within %3 s; nothing more "
                           "was asked")
                .arg(invocation.port, QLatin1String(silentAt), invocation.timeoutText)));
    if (unanswered > 0)
        return finish(report.finish(
            ExitCode::NoAnswer,
            QStringLiteral("%1: no answer to %2 of the queries within %3 s")
                .arg(invocation.port, QString::number(unanswered), invocation.timeoutText)));
    finish(report.finish(ExitCode::Done));
}

void SerialRun::queryAnswered(ProjectorSession::Answer answer, const QString &reply)
{
    const Query &query = queries.at(queryAt++);
    QString value;
    switch (answer) {
    case ProjectorSession::Answer::Lost:
        return lost();
    case ProjectorSession::Answer::NoAnswer:
        // A projector that leaves a question unanswered gets no more:
        // --timeout bounds the whole run, not each of its questions. Some
        // models ignore an optional query, which is no sign of silence.
        if (!query.optional)
            silentAt = query.command;
        if (query.optional && silentAt.isEmpty())
            return askNextQuery();
        ++unanswered;
        value = QStringLiteral("no answer");
        break;
    case ProjectorSession::Answer::Replied:
        if (Replies::refused(invocation.model, reply)) {
            if (query.optional)
                return askNextQuery();
            value = QStringLiteral("refused");
        } else {
            value = query.value(invocation.model, query.command, reply);
            if (value.isEmpty() && query.optional)
                return askNextQuery();
        }
        break;
    }
    values.insert(query.name, value);
    report.print(query.name + QLatin1Char('=') + Report::shown(value));
    askNextQuery();
}

void SerialRun::send()
{
    session->listen(invocation.text);
}

void SerialRun::onHeard(const QStringList &replies, bool lostLine, bool cut)
{
    for (const QString &reply : replies)
        report.print(Report::shown(reply));
    report.set(QStringLiteral("replies"), QJsonArray::fromStringList(replies));
    report.set(QStringLiteral("answered"), !replies.isEmpty());
    if (cut)
        report.warn(QStringLiteral("%1: more than %2 bytes of replies came; the rest was not read")
                        .arg(invocation.port, QString::number(ProjectorSession::MaxHeard)));
    if (lostLine)
        return lost();
    if (replies.isEmpty())
        return finish(report.finish(ExitCode::NoAnswer,
                                    QStringLiteral("%1: no reply within %2 s")
                                        .arg(invocation.port, invocation.timeoutText)));
    // The first reply answers the text; what follows is only heard.
    for (const QString &reply : replies) {
        if (reply.isEmpty())
            continue;
        if (Replies::refused(invocation.model, reply))
            return finish(
                report.finish(ExitCode::Refused,
                              QStringLiteral("the projector refused \"%1\": %2")
                                  .arg(QLatin1String(invocation.text), Report::shown(reply))));
        break;
    }
    finish(report.finish(ExitCode::Done));
}

void SerialRun::ask(const QByteArray &command, Then then)
{
    asked = command;
    next = std::move(then);
    session->ask(command);
}

void SerialRun::onAnswered(ProjectorSession::Answer answer, const QString &reply)
{
    if (isFinished())
        return;
    if (!queries.isEmpty())
        return queryAnswered(answer, reply);
    if (answer == ProjectorSession::Answer::Lost)
        return lost();
    report.set(QStringLiteral("answered"), answer == ProjectorSession::Answer::Replied);
    if (answer == ProjectorSession::Answer::NoAnswer)
        return finish(
            report.finish(ExitCode::NoAnswer,
                          QStringLiteral("%1: no answer to \"%2\" within %3 s")
                              .arg(invocation.port, QLatin1String(asked), invocation.timeoutText)));
    report.set(QStringLiteral("reply"), reply);
    if (Replies::refused(invocation.model, reply))
        return finish(report.finish(ExitCode::Refused,
                                    QStringLiteral("the projector refused \"%1\": %2")
                                        .arg(QLatin1String(asked), Report::shown(reply))));
    // The continuation may ask again, which sets the next one.
    const Then then = std::exchange(next, Then());
    then(reply);
}

void SerialRun::lost()
{
    const PortStatus::Problem problem = session->linkProblem();
    noteProblem(problem == PortStatus::Problem::None ? PortStatus::Problem::Lost : problem,
                session->linkProblemDetail());
    finish(report.finish(ExitCode::Unavailable,
                         invocation.port + QLatin1String(": ") + session->lossReason()));
}
