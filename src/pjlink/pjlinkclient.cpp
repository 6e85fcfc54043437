#include "pjlinkclient.h"

#include "projectortext.h"

#include <utility>

namespace {

PJLinkClient::Notice notice(PJLinkClient::Notice::Kind kind,
                            const PJLink::Command &command = PJLink::Command(),
                            const QString &text = QString())
{
    return { kind, command, PJLink::Error::None, text, PJLink::Reply() };
}

} // namespace

PJLinkClient::PJLinkClient(qint64 replyTimeoutMs)
    : session(replyTimeoutMs)
{ }

void PJLinkClient::opened(qint64 now)
{
    session.opened(now);
    if (!greetedOnce)
        refresh.connected(now);
    greetedOnce = true;
    // The power before anything else, as with every poll.
    queue(refresh.poll(now));
}

QList<PJLinkClient::Notice> PJLinkClient::disconnected()
{
    QList<Notice> notices;
    for (const PJLinkSession::Event &event : session.disconnected())
        handle(event, 0, notices);
    return notices;
}

void PJLinkClient::poll(qint64 now)
{
    // While the refresh's queries are answered, each answer shows the
    // projector is there: a power query between them would only make a
    // slow projector's page fill slower. It is owed, and goes first once one
    // of them is not answered, so that a silent query does not make the
    // projector look lost.
    if (filling()) {
        pollOwed = true;
        return;
    }
    pollOwed = false;
    queue(refresh.poll(now));
}

bool PJLinkClient::filling() const
{
    const std::optional<PJLink::Command> &asked = session.awaiting();
    return !queries.isEmpty() || (asked && asked->origin == PJLink::Command::Origin::Refresh);
}

void PJLinkClient::inputDropped()
{
    session.dropLine();
}

bool PJLinkClient::send(PJLink::Command command)
{
    command.origin = PJLink::Command::Origin::User;
    return session.enqueue(command);
}

QList<PJLinkClient::Notice> PJLinkClient::receive(const QByteArray &bytes, qint64 now)
{
    QList<Notice> notices;
    for (const PJLinkSession::Event &event : session.receive(bytes, now))
        handle(event, now, notices);
    return notices;
}

QList<PJLinkClient::Notice> PJLinkClient::advance(qint64 now)
{
    QList<Notice> notices;
    for (const PJLinkSession::Event &event : session.advance(now))
        handle(event, now, notices);
    for (const PJLink::Command &command : deferral.expire(now))
        notices.append(notice(Notice::Kind::NotSent, command,
                              QStringLiteral("not sent: the projector did not come on within "
                                             "a minute")));
    return notices;
}

// A query goes to the session only when nothing waits there: the user's
// commands go straight in and so come before the queries not yet sent.
QByteArray PJLinkClient::takeOutput(qint64 now)
{
    if (!session.waiting() && session.queued() == 0 && !queries.isEmpty())
        session.enqueue(queries.takeFirst());
    return session.takeOutput(now);
}

void PJLinkClient::finishing()
{
    closing = true;
    queries.clear();
}

void PJLinkClient::askOnly()
{
    finishing();
    asking = true;
}

void PJLinkClient::queue(const QList<PJLink::Command> &commands, bool first)
{
    if (closing)
        return;
    int ahead = 0;
    for (const PJLink::Command &command : commands) {
        // The power goes before the page's queries: a projector slow to
        // answer them must not look lost. So does what a command changed.
        const int at = int(queries.indexOf(command));
        if (at >= 0 && !first)
            continue;
        if (at >= 0)
            queries.removeAt(at);
        if (first || command.origin == PJLink::Command::Origin::Poll)
            queries.insert(ahead++, command);
        else
            queries.append(command);
    }
}

void PJLinkClient::handle(const PJLinkSession::Event &event, qint64 now, QList<Notice> &notices)
{
    using Kind = PJLinkSession::Event::Kind;
    switch (event.kind) {
    case Kind::Answered:
        answered(event.command, event.reply, now, notices);
        queue(refresh.take());
        return;
    case Kind::GaveUp:
        notices.append(notice(Notice::Kind::NoAnswer, event.command, QStringLiteral("no answer")));
        // What the page shows must not stay unknown for one lost answer.
        if (event.command.origin == PJLink::Command::Origin::Refresh) {
            unreadable(event.command, QStringLiteral("no answer"), notices);
            queue(refresh.take());
        }
        if (std::exchange(pollOwed, false))
            queue(refresh.poll(now));
        return;
    case Kind::LineDropped:
        notices.append(
            notice(Notice::Kind::LineDropped, PJLink::Command(),
                   QStringLiteral("a line longer than %1 bytes was dropped").arg(PJLink::MaxLine)));
        return;
    case Kind::Unmatched:
        notices.append(notice(
            Notice::Kind::Stray, PJLink::Command(),
            ProjectorText::plain(QString::fromLatin1(event.line.constData(), event.line.size()),
                                 PJLink::MaxPacket)));
        return;
    }
}

void PJLinkClient::answered(const PJLink::Command &command, const PJLink::Reply &reply, qint64 now,
                            QList<Notice> &notices)
{
    if (current.apply(command, reply))
        notices.append(notice(Notice::Kind::StateChanged, command));
    if (asking && command.origin == PJLink::Command::Origin::User) {
        Notice replied = notice(Notice::Kind::Replied, command);
        replied.error = reply.error;
        replied.reply = reply;
        notices.append(replied);
        return;
    }
    const bool refreshed = command.origin == PJLink::Command::Origin::Refresh;

    if (reply.error != PJLink::Error::None) {
        if (refreshed)
            refresh.refused(command, reply.error);
        // No lamp and no filter are answers, not failures.
        const bool absent = reply.error == PJLink::Error::Undefined && command.isQuery()
            && (command.name == "LAMP" || command.name == "FILT");
        if (absent)
            return;
        if (reply.error == PJLink::Error::Unavailable && deferral.hold(command, now)) {
            notices.append(notice(Notice::Kind::Held, command,
                                  QStringLiteral("will be sent when the projector is on")));
            return;
        }
        Notice refused = notice(Notice::Kind::Refused, command, PJLink::errorText(reply.error));
        refused.error = reply.error;
        notices.append(refused);
        return;
    }

    if (command.isQuery()) {
        if (refreshed && !PJLinkState::readable(command, reply)) {
            unreadable(command, QStringLiteral("an answer of no sense"), notices);
            return;
        }
        if (refreshed) {
            refresh.answered(command);
            if (current.unreadable.remove(command.name))
                notices.append(notice(Notice::Kind::StateChanged, command));
        }
        if (command.name == "POWR" && current.power) {
            for (const PJLink::Command &again : deferral.powerReported(*current.power, now))
                session.enqueue(again);
        } else if (command.name == "CLSS" && current.pjClass) {
            refresh.classReported(*current.pjClass);
        } else if (command.name == "INST" && current.inputs) {
            refresh.inputsReported(*current.inputs);
        }
        return;
    }
    if (!reply.accepted())
        return;
    refresh.accepted(command);
    queue(refresh.take(), true);
    if (command.name == "POWR" && command.parameter == "1")
        deferral.powerOnAccepted();
    if (command.origin == PJLink::Command::Origin::User)
        notices.append(notice(Notice::Kind::Done, command));
}

void PJLinkClient::unreadable(const PJLink::Command &command, const QString &why,
                              QList<Notice> &notices)
{
    if (!refresh.unreadable(command))
        return;
    current.unreadable.insert(command.name);
    notices.append(notice(Notice::Kind::StateChanged, command));
    notices.append(notice(
        Notice::Kind::Unreadable, command,
        QStringLiteral("unreadable (%1, asked %2 times)").arg(why).arg(PJLinkRefresh::MaxTries)));
}
