#include "pjlinksession.h"

PJLinkSession::PJLinkSession(qint64 replyTimeoutMs)
    : timeoutMs(replyTimeoutMs)
{ }

void PJLinkSession::opened(qint64 now)
{
    current = State::Ready;
    since = now;
    line.clear();
    discarding = false;
    inFlight.reset();
}

QList<PJLinkSession::Event> PJLinkSession::disconnected()
{
    QList<Event> events;
    if (inFlight)
        events.append(event(Event::Kind::GaveUp));
    inFlight.reset();
    current = State::Closed;
    line.clear();
    discarding = false;
    return events;
}

bool PJLinkSession::enqueue(const PJLink::Command &command)
{
    if (PJLink::frame(command).isEmpty())
        return false;
    queue.append(command);
    return true;
}

void PJLinkSession::clearQueue()
{
    queue.clear();
    inFlight.reset();
}

QList<PJLinkSession::Event> PJLinkSession::receive(const QByteArray &bytes, qint64 now)
{
    Q_UNUSED(now)
    QList<Event> events;
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!discarding && !line.isEmpty())
                handleLine(line, events);
            discarding = false;
            line.clear();
        } else if (!discarding) {
            line.append(c);
            // Room is left for the carriage return that ends the line.
            if (line.size() > PJLink::MaxLine - 1) {
                Event dropped = event(Event::Kind::LineDropped);
                dropped.line = line;
                events.append(dropped);
                line.clear();
                discarding = true;
            }
        }
    }
    return events;
}

void PJLinkSession::dropLine()
{
    line.clear();
    // What comes next begins a line: the link drops the rest of the cut one.
    discarding = false;
}

void PJLinkSession::handleLine(const QByteArray &text, QList<Event> &events)
{
    if (current != State::Ready)
        return;

    const PJLink::Reply reply = PJLink::parseReply(text);
    if (reply.valid && inFlight && reply.name == inFlight->name) {
        Event answered = event(Event::Kind::Answered);
        answered.reply = reply;
        answered.line = text;
        events.append(answered);
        inFlight.reset();
        return;
    }
    Event unmatched = event(Event::Kind::Unmatched);
    unmatched.reply = reply;
    unmatched.line = text;
    events.append(unmatched);
}

QByteArray PJLinkSession::takeOutput(qint64 now)
{
    if (current != State::Ready || inFlight || queue.isEmpty())
        return QByteArray();
    inFlight = queue.takeFirst();
    since = now;
    return PJLink::frame(*inFlight);
}

QList<PJLinkSession::Event> PJLinkSession::advance(qint64 now)
{
    QList<Event> events;
    if (inFlight && now - since >= timeoutMs) {
        events.append(event(Event::Kind::GaveUp));
        inFlight.reset();
    }
    return events;
}

qint64 PJLinkSession::nextDueMs() const
{
    return inFlight ? since + timeoutMs : -1;
}

PJLinkSession::Event PJLinkSession::event(Event::Kind kind) const
{
    Event made { kind, inFlight.value_or(PJLink::Command()), PJLink::Reply(), QByteArray() };
    return made;
}
