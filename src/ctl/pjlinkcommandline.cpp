#include "pjlinkcommandline.h"

#include "catalogue.h"
#include "portstatus.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>

using Command = Invocation::Command;

namespace {

QString shownCommand(const PJLink::Command &command)
{
    return QString::fromLatin1(PJLink::frame(command).trimmed());
}

QJsonArray inputsJson(const PJLinkState &state)
{
    QJsonArray inputs;
    for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
        const QString caption = state.inputCaption(input);
        inputs.append(QJsonObject { { QStringLiteral("code"), QString::fromLatin1(input) },
                                    { QStringLiteral("name"), PJLink::nameOf(caption) },
                                    { QStringLiteral("caption"), caption } });
    }
    return inputs;
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

int PJLinkCommandLine::unanswered(const PJLink::Command &command)
{
    report.set(QStringLiteral("answered"), false);
    return report.finish(ExitCode::NoAnswer,
                         QStringLiteral("%1: no answer to \"%2\" within %3 s")
                             .arg(invocation.port, shownCommand(command), invocation.timeoutText));
}

int PJLinkCommandLine::change(const PJLink::Command &command)
{
    const Answer answer = ask(command);
    if (answer.outcome == Answer::Lost)
        return lost();
    if (answer.outcome == Answer::NoAnswer)
        return unanswered(command);
    report.set(QStringLiteral("answered"), true);
    report.set(QStringLiteral("reply"), QString::fromLatin1(answer.reply.value));
    if (answer.reply.accepted())
        return report.finish(ExitCode::Done);
    const QString why = answer.reply.error != PJLink::Error::None
        ? PJLink::errorText(answer.reply.error)
        : Report::shown(QString::fromLatin1(answer.reply.text));
    return report.finish(
        ExitCode::Refused,
        QStringLiteral("the projector refused \"%1\": %2").arg(shownCommand(command), why));
}

int PJLinkCommandLine::status()
{
    const PJLink::Command command = PJLink::query(1, "POWR");
    const Answer answer = ask(command);
    if (answer.outcome == Answer::Lost)
        return lost();
    if (answer.outcome == Answer::NoAnswer)
        return unanswered(command);
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
    const auto read = [this](const PJLink::Command &command, bool required) {
        const Answer answer = ask(command);
        if (answer.outcome == Answer::Lost)
            return lost();
        if (answer.outcome == Answer::NoAnswer && required)
            return unanswered(command);
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
    return report.finish(ExitCode::Done);
}

int PJLinkCommandLine::setInput()
{
    QByteArray input = PJLink::inputFromName(invocation.inputName);
    if (input.isEmpty()) {
        // A name the projector gave its input: it is asked for them.
        if (const int end = readInputs(); end >= 0)
            return end;
        input = state.inputNamed(invocation.inputName);
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
    int missing = 0;
    bool answeredAny = false;
    const auto read = [&](const PJLink::Command &command, bool optional) {
        // A projector that answers nothing gets one question: --timeout
        // bounds the whole run.
        if (missing > 0 && !answeredAny)
            return true;
        const Answer answer = ask(command);
        if (answer.outcome == Answer::Lost)
            return false;
        if (answer.outcome == Answer::NoAnswer && !optional)
            ++missing;
        answeredAny = answeredAny || answer.outcome != Answer::NoAnswer;
        state.apply(command, answer.reply);
        return true;
    };
    const auto text = [&](const QString &name, const QString &value) {
        if (value.isEmpty())
            return;
        values.insert(name, value);
        lines.append(name + QLatin1Char('=') + Report::shownUtf8(value));
    };
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };

    if (!read(query(1, "CLSS"), false))
        return lost();
    const bool two = state.pjClass.value_or(1) >= 2;
    QList<PJLink::Command> commands
        = { query(1, "POWR"), query(1, "INPT"), query(1, "AVMT"),
            query(1, "ERST"), query(1, "LAMP"), query(two ? 2 : 1, "INST"),
            query(1, "NAME"), query(1, "INF1"), query(1, "INF2") };
    if (two) {
        for (const char *name : { "FREZ", "FILT", "IRES", "SNUM", "SVER", "RLMP", "RFIL" })
            commands.append(query(2, name));
    }
    for (const PJLink::Command &command : commands) {
        if (!read(command, false))
            return lost();
    }
    if (two) {
        for (const QByteArray &input : state.inputs.value_or(QList<QByteArray>())) {
            if (!read(query(2, "INNM", input), true))
                return lost();
        }
    }

    if (state.power) {
        QString lamp = PJLink::powerStateName(*state.power);
        text(QStringLiteral("lamp"), lamp.remove(QStringLiteral("lamp ")));
    }
    if (!state.input.isEmpty()) {
        text(QStringLiteral("input"), state.inputCaption(state.input));
        values.insert(QStringLiteral("input-code"), QString::fromLatin1(state.input));
    }
    if (state.mutes) {
        text(QStringLiteral("picture-mute"), onOff(state.mutes->picture));
        text(QStringLiteral("sound-mute"), onOff(state.mutes->sound));
    }
    if (state.health) {
        QJsonObject health;
        for (int part = 0; part < PJLink::HealthParts; ++part) {
            const QString level = PJLink::healthLevelName((*state.health)[std::size_t(part)]);
            health.insert(PJLink::healthPartName(part), level);
            lines.append(QStringLiteral("health-%1=%2").arg(PJLink::healthPartName(part), level));
        }
        values.insert(QStringLiteral("health"), health);
    }
    if (state.lamps) {
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
    }
    if (state.inputs) {
        const QJsonArray inputs = inputsJson(state);
        QStringList names;
        for (const QJsonValue &input : inputs)
            names.append(input.toObject().value(QStringLiteral("name")).toString());
        values.insert(QStringLiteral("inputs"), inputs);
        lines.append(QStringLiteral("inputs=") + names.join(QLatin1Char(' ')));
    }
    text(QStringLiteral("name"), state.name);
    text(QStringLiteral("make"), state.maker);
    text(QStringLiteral("model"), state.model);
    if (state.pjClass)
        text(QStringLiteral("class"), QString::number(*state.pjClass));
    if (state.frozen)
        text(QStringLiteral("freeze"), onOff(*state.frozen));
    if (state.filterHours && *state.filterHours >= 0)
        text(QStringLiteral("filter-hours"), QString::number(*state.filterHours));
    text(QStringLiteral("input-resolution"), state.inputResolution);
    text(QStringLiteral("serial-number"), state.serialNumber);
    text(QStringLiteral("software-version"), state.softwareVersion);
    text(QStringLiteral("lamp-part"), state.lampPart);
    text(QStringLiteral("filter-part"), state.filterPart);

    for (const QString &line : lines)
        report.print(line);
    report.set(QStringLiteral("values"), values);
    report.set(QStringLiteral("answered"), missing == 0);
    if (missing > 0)
        return report.finish(ExitCode::NoAnswer,
                             QStringLiteral("%1: no answer to %2 of the queries within %3 s")
                                 .arg(invocation.port)
                                 .arg(missing)
                                 .arg(invocation.timeoutText));
    return report.finish(ExitCode::Done);
}

int PJLinkCommandLine::send()
{
    link.write(invocation.text + '\r');
    QStringList replies;
    QByteArray partial;
    const QDeadlineTimer deadline(invocation.timeoutMs);
    while (link.isOpen() && !deadline.hasExpired()) {
        link.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        partial += link.readAll();
        for (int end = partial.indexOf('\r'); end >= 0; end = partial.indexOf('\r')) {
            const QByteArray line = partial.left(end).trimmed();
            partial.remove(0, end + 1);
            if (!line.isEmpty())
                replies.append(QString::fromLatin1(line));
        }
    }
    for (const QString &reply : replies)
        report.print(Report::shown(reply));
    report.set(QStringLiteral("replies"), QJsonArray::fromStringList(replies));
    report.set(QStringLiteral("answered"), !replies.isEmpty());
    if (!link.isOpen())
        return lost();
    if (replies.isEmpty())
        return report.finish(ExitCode::NoAnswer,
                             QStringLiteral("%1: no reply within %2 s")
                                 .arg(invocation.port, invocation.timeoutText));
    return report.finish(ExitCode::Done);
}
