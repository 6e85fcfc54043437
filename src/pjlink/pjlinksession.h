#pragma once

#include "pjlink.h"

#include <QByteArray>
#include <QList>

#include <optional>

// One PJLink connection as the client sees it, free of any I/O, once the
// link has greeted and logged in (PJLinkLogin, in the link): bytes from the
// socket go in through receive(), bytes for it come out of takeOutput(). It
// sends one command at a time (the others wait in order), matches each
// answer by its command's name and gives a command up when its answer has
// not come within the timeout. Time is the caller's clock in milliseconds,
// passed in as now.
class PJLinkSession
{
public:
    struct Event
    {
        enum class Kind {
            Answered, // command has its reply
            GaveUp, // no answer to command in time, or the connection went
            LineDropped, // a line longer than a packet may be
            Unmatched, // line: answers no command that is waiting
        };
        Kind kind;
        PJLink::Command command;
        PJLink::Reply reply;
        QByteArray line;
    };

    enum class State { Closed, Ready };

    explicit PJLinkSession(qint64 replyTimeoutMs = PJLink::ReplyTimeoutMs);

    // The link is open: commands go out; the queue stays.
    void opened(qint64 now);
    // The connection is gone: a command waiting for its answer is given up.
    QList<Event> disconnected();

    // False, and nothing queued, for a command that cannot be framed.
    bool enqueue(const PJLink::Command &command);
    // Drops everything that waits, and what waits for its answer.
    void clearQueue();
    QList<Event> receive(const QByteArray &bytes, qint64 now);
    // The next command's bytes, when the session may send one now.
    QByteArray takeOutput(qint64 now);
    // Gives up on an answer that is overdue.
    QList<Event> advance(qint64 now);
    // When advance() has something to do, or -1.
    qint64 nextDueMs() const;

    // Input was dropped before it was read: the line under way is dropped
    // with it, so no answer is made of its two ends.
    void dropLine();

    State state() const { return current; }
    bool waiting() const { return inFlight.has_value(); }
    const std::optional<PJLink::Command> &awaiting() const { return inFlight; }
    int queued() const { return queue.size(); }

private:
    void handleLine(const QByteArray &text, QList<Event> &events);
    Event event(Event::Kind kind) const;

    qint64 timeoutMs;
    State current = State::Closed;
    qint64 since = 0; // when the answer began to be awaited
    QByteArray line;
    bool discarding = false;
    QList<PJLink::Command> queue;
    std::optional<PJLink::Command> inFlight;
};
