#include "pjlinkclient.h"

namespace {

// How many polls may wait behind the one under way before the next are left out.
const int maxQueuedPolls = 2;

PJLinkClient::Notice notice(PJLinkClient::Notice::Kind kind,
                            const PJLink::Command &command = PJLink::Command(),
                            const QString &text = QString())
{
    return { kind, command, PJLink::Error::None, text };
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
    if (session.queued() > maxQueuedPolls)
        return;
    for (const PJLink::Command &command : refresh.poll(now))
        session.enqueue(command);
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

qint64 PJLinkClient::nextDueMs() const
{
    const qint64 a = session.nextDueMs();
    const qint64 b = deferral.nextDueMs();
    return a < 0 ? b : b < 0 ? a : qMin(a, b);
}

void PJLinkClient::handle(const PJLinkSession::Event &event, qint64 now, QList<Notice> &notices)
{
    using Kind = PJLinkSession::Event::Kind;
    switch (event.kind) {
    case Kind::Answered:
        answered(event.command, event.reply, now, notices);
        return;
    case Kind::GaveUp:
        // What the page shows once must not stay unknown for one lost answer.
        if (event.command.origin == PJLink::Command::Origin::Refresh)
            refresh.retry(event.command);
        notices.append(notice(Notice::Kind::NoAnswer, event.command, QStringLiteral("no answer")));
        return;
    case Kind::LineDropped:
        notices.append(
            notice(Notice::Kind::LineDropped, PJLink::Command(),
                   QStringLiteral("a line longer than %1 bytes was dropped").arg(PJLink::MaxLine)));
        return;
    case Kind::Unmatched:
        notices.append(notice(Notice::Kind::Stray, PJLink::Command(),
                              QString::fromLatin1(event.line.constData(), event.line.size())));
        return;
    }
}

void PJLinkClient::answered(const PJLink::Command &command, const PJLink::Reply &reply, qint64 now,
                            QList<Notice> &notices)
{
    if (current.apply(command, reply))
        notices.append(notice(Notice::Kind::StateChanged, command));

    if (reply.error != PJLink::Error::None) {
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
    if (command.name == "POWR" && command.parameter == "1")
        deferral.powerOnAccepted();
    if (command.origin == PJLink::Command::Origin::User)
        notices.append(notice(Notice::Kind::Done, command));
}
