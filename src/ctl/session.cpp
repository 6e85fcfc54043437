#include "session.h"

#include "catalogue.h"
#include "family.h"
#include "infocus.h"
#include "portstatus.h"
#include "power.h"
#include "replies.h"

#include <QJsonArray>
#include <QJsonObject>

using Command = Invocation::Command;

Session::Session(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
    , exchange(invocation.model, invocation.timeoutMs)
{ }

int Session::run()
{
    report.set(QStringLiteral("family"), Family::key(invocation.model));
    report.set(QStringLiteral("command"), invocation.commandName);
    if (invocation.command == Command::List)
        return list();

    report.set(QStringLiteral("port"), invocation.port);
    const QString problem = exchange.open(invocation.port);
    if (!problem.isEmpty())
        return report.finish(ExitCode::Unavailable,
                             invocation.port + QLatin1String(": ") + problem);
    if (!exchange.warning().isEmpty())
        report.warn(exchange.warning());

    const int exitCode = carryOut();
    // Reported already; what the projector still owes is taken before the
    // line is let go, so the next run does not take it for its own.
    exchange.settle();
    return exitCode;
}

int Session::carryOut()
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
    return list();
}

int Session::list()
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
    return report.finish(ExitCode::Done);
}

int Session::power(bool on)
{
    const int model = invocation.model;
    QString reply;
    const int end = ask(on ? Power::onCommand(model) : Power::offCommand(model), &reply);
    return end >= 0 ? end : report.finish(ExitCode::Done);
}

int Session::status()
{
    const QByteArray poll = Power::pollCommand(invocation.model);
    QString reply;
    if (const int end = ask(poll, &reply); end >= 0)
        return end;
    if (invocation.model == InFocus::ModelIndex) {
        report.print(Report::shown(reply));
        return report.finish(ExitCode::Done);
    }
    const QString lamp = Replies::lamp(invocation.model, reply);
    if (lamp.isEmpty())
        return report.finish(ExitCode::Refused,
                             QStringLiteral("the projector answered \"%1\" to \"%2\", which is "
                                            "not a lamp state")
                                 .arg(Report::shown(reply), QLatin1String(poll)));
    report.set(QStringLiteral("lamp"), lamp);
    report.print(QLatin1String("lamp ") + lamp);
    return report.finish(ExitCode::Done);
}

int Session::press()
{
    if (invocation.vivitekButton)
        return pressVivitek();
    QString reply;
    if (const int end = ask(invocation.acerButton->command, &reply); end >= 0)
        return end;
    // The information keys answer with what the window logs.
    const QString text
        = invocation.model == Acer::ModelIndex ? Replies::acerText(reply) : QString();
    if (!text.isEmpty()) {
        report.set(QStringLiteral("value"), text);
        report.print(Report::shown(text));
    }
    return report.finish(ExitCode::Done);
}

int Session::pressVivitek()
{
    const Vivitek::ButtonCommand &button = *invocation.vivitekButton;
    QString reply;
    if (button.command) {
        if (const int end = ask(button.command, &reply); end >= 0)
            return end;
        const QString value
            = Replies::vivitekValue(Vivitek::meaningOf(QLatin1String(button.command)), reply);
        if (!value.isEmpty()) {
            report.set(QStringLiteral("value"), value);
            report.print(Report::shown(value));
        }
        return report.finish(ExitCode::Done);
    }
    // The window steps the keystone from the value it last heard of; here
    // that is asked for first.
    if (const int end = ask(Vivitek::KeystoneQuery, &reply); end >= 0)
        return end;
    const std::int8_t current = Vivitek::keystoneOf(Vivitek::parseReply(reply).value);
    const std::int8_t next = button.button == Vivitek::Button::KeystoneUp
        ? Vivitek::keystoneUp(current)
        : Vivitek::keystoneDown(current);
    if (const int end = ask(Vivitek::valueCommand(Vivitek::KeystonePrefix, next), &reply); end >= 0)
        return end;
    report.set(QStringLiteral("keystone"), next);
    return report.finish(ExitCode::Done);
}

int Session::set()
{
    QString reply;
    if (invocation.list == Vivitek::List::LampMode) {
        // As in the window: the lamp mode is taken only while the lamp burns.
        if (const int end = ask(Power::pollCommand(invocation.model), &reply); end >= 0)
            return end;
        if (!Vivitek::lampOn(reply))
            return report.finish(ExitCode::Refused,
                                 QStringLiteral("the lamp is off; the lamp mode can only be "
                                                "set while it is on"));
    }
    const int end = ask(Vivitek::listCommand(invocation.list, invocation.entry), &reply);
    return end >= 0 ? end : report.finish(ExitCode::Done);
}

QList<Session::Query> Session::queriesOf(int modelIndex)
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

int Session::query()
{
    const QList<Query> queries = queriesOf(invocation.model);
    QJsonObject values;
    int unanswered = 0;
    bool answeredAny = false;
    QByteArray silentAt; // the first question, when the projector answered none
    for (const Query &query : queries) {
        const Exchange::Answer answer = exchange.ask(query.command);
        QString value;
        switch (answer.outcome) {
        case Exchange::Answer::Lost:
            return lost();
        case Exchange::Answer::NoAnswer:
            // A projector that answers nothing gets one question: --timeout
            // bounds the whole run, not each of its questions.
            if (!answeredAny)
                silentAt = query.command;
            if (query.optional && silentAt.isEmpty())
                continue;
            ++unanswered;
            value = QStringLiteral("no answer");
            break;
        case Exchange::Answer::Replied:
            answeredAny = true;
            if (Replies::refused(invocation.model, answer.reply)) {
                if (query.optional)
                    continue;
                value = QStringLiteral("refused");
            } else {
                value = query.value(invocation.model, query.command, answer.reply);
                if (value.isEmpty() && query.optional)
                    continue;
            }
            break;
        }
        values.insert(query.name, value);
        report.print(query.name + QLatin1Char('=') + Report::shown(value));
        if (!silentAt.isEmpty())
            break;
    }
    report.set(QStringLiteral("values"), values);
    report.set(QStringLiteral("answered"), unanswered == 0);
    if (!silentAt.isEmpty())
        return report.finish(
            ExitCode::NoAnswer,
            QStringLiteral("%1: no answer to \"%2\" within %3 s; nothing more "
                           "was asked")
                .arg(invocation.port, QLatin1String(silentAt), invocation.timeoutText));
    if (unanswered > 0)
        return report.finish(
            ExitCode::NoAnswer,
            QStringLiteral("%1: no answer to %2 of the queries within %3 s")
                .arg(invocation.port, QString::number(unanswered), invocation.timeoutText));
    return report.finish(ExitCode::Done);
}

int Session::send()
{
    const Exchange::Heard heard = exchange.listen(invocation.text);
    for (const QString &reply : heard.replies)
        report.print(Report::shown(reply));
    report.set(QStringLiteral("replies"), QJsonArray::fromStringList(heard.replies));
    report.set(QStringLiteral("answered"), !heard.replies.isEmpty());
    if (heard.cut)
        report.warn(QStringLiteral("%1: more than %2 bytes of replies came; the rest was not read")
                        .arg(invocation.port, QString::number(Exchange::MaxHeard)));
    if (heard.lost)
        return lost();
    if (heard.replies.isEmpty())
        return report.finish(ExitCode::NoAnswer,
                             QStringLiteral("%1: no reply within %2 s")
                                 .arg(invocation.port, invocation.timeoutText));
    // The first reply answers the text; what follows is only heard.
    for (const QString &reply : heard.replies) {
        if (reply.isEmpty())
            continue;
        if (Replies::refused(invocation.model, reply))
            return report.finish(ExitCode::Refused,
                                 QStringLiteral("the projector refused \"%1\": %2")
                                     .arg(QLatin1String(invocation.text), Report::shown(reply)));
        break;
    }
    return report.finish(ExitCode::Done);
}

int Session::ask(const QByteArray &command, QString *reply)
{
    const Exchange::Answer answer = exchange.ask(command);
    if (answer.outcome == Exchange::Answer::Lost)
        return lost();
    report.set(QStringLiteral("answered"), answer.outcome == Exchange::Answer::Replied);
    if (answer.outcome == Exchange::Answer::NoAnswer)
        return report.finish(
            ExitCode::NoAnswer,
            QStringLiteral("%1: no answer to \"%2\" within %3 s")
                .arg(invocation.port, QLatin1String(command), invocation.timeoutText));
    report.set(QStringLiteral("reply"), answer.reply);
    if (Replies::refused(invocation.model, answer.reply))
        return report.finish(ExitCode::Refused,
                             QStringLiteral("the projector refused \"%1\": %2")
                                 .arg(QLatin1String(command), Report::shown(answer.reply)));
    *reply = answer.reply;
    return -1;
}

int Session::lost()
{
    return report.finish(ExitCode::Unavailable,
                         invocation.port + QLatin1String(": ") + exchange.lossReason());
}
