#pragma once

#include "pjlink.h"
#include "pjlinkdeferral.h"
#include "pjlinkrefresh.h"
#include "pjlinksession.h"
#include "pjlinkstate.h"

#include <QList>
#include <QString>

// Everything a front end needs of a PJLink projector but the socket and the
// login (the link's): the session of the connection, the state read from the
// answers, which queries go out when, and the rule for commands refused while
// the projector warms up. The queries go to the session one at a time, so that a command of the
// user's waits at most for the answer under way. Bytes from the socket go in
// through receive(), bytes for it come out of takeOutput(); what happened
// comes back as notices. Time is the caller's clock in milliseconds, so all
// of it runs on a test's clock too.
class PJLinkClient
{
public:
    struct Notice
    {
        enum class Kind {
            StateChanged, // state() has news
            Done, // command (the user's) was accepted
            Refused, // command got error; text is its wording
            Held, // command refused while warming up: it goes out when the projector is on
            NotSent, // command was held, but the projector did not come on within a minute
            NoAnswer, // command was given up: no answer in time, or the connection went
            LineDropped, // a line longer than PJLink::MaxLine
            Stray, // text: a line that answers no command waiting
            Unreadable, // the value command asks for is given up: no answer, or none of sense
            Replied, // asking only: command (the user's) has its reply, whatever it says
        };
        Kind kind;
        PJLink::Command command;
        PJLink::Error error = PJLink::Error::None;
        QString text; // for the status bar and the log, where the kind has one
        PJLink::Reply reply; // Replied
    };

    explicit PJLinkClient(qint64 replyTimeoutMs = PJLink::ReplyTimeoutMs);

    // The link has greeted and logged in: the projector is ready. The state
    // is read after the first opening; one made again after an idle close
    // carries on where the last one stopped.
    void opened(qint64 now);
    QList<Notice> disconnected();

    // The queries of a poll: the power, and the state when it is due. A
    // query still waiting to go out is not added again, so a slow projector
    // is not buried; none while the refresh's queries are answered.
    void poll(qint64 now);
    // Input was dropped unread (a flood): the line under way lost its
    // middle, and is not read. The link drops the rest of it.
    void inputDropped();
    // Only the user's commands go out from now on: the front end closes.
    void finishing();
    // Only the user's commands go out, and each is told as Replied with its
    // reply, or as NoAnswer: for a caller that reads the replies itself (one
    // run of the command line). Nothing is held for later or asked on its own.
    void askOnly();
    // A command of the user's; false if it cannot be sent at all.
    bool send(PJLink::Command command);

    QList<Notice> receive(const QByteArray &bytes, qint64 now);
    QByteArray takeOutput(qint64 now);
    QList<Notice> advance(qint64 now);

    const PJLinkState &state() const { return current; }
    // A command is out and its answer not in yet.
    bool waiting() const { return session.waiting(); }
    // Commands in line behind it, and queries the refresh still has to ask.
    int queued() const { return session.queued(); }
    int refreshing() const { return int(queries.size()) + refresh.pending(); }
    // When the answer under way is overdue, on the caller's clock, or -1.
    qint64 nextDueMs() const { return session.nextDueMs(); }
    // The link has been open at least once, so the state is being read.
    bool everOpened() const { return greetedOnce; }

private:
    void handle(const PJLinkSession::Event &event, qint64 now, QList<Notice> &notices);
    void answered(const PJLink::Command &command, const PJLink::Reply &reply, qint64 now,
                  QList<Notice> &notices);
    void unreadable(const PJLink::Command &command, const QString &why, QList<Notice> &notices);
    // first: ahead of the queries in line, a command's own read-back.
    void queue(const QList<PJLink::Command> &commands, bool first = false);
    // The refresh's queries are in line or under way.
    bool filling() const;

    PJLinkSession session;
    PJLinkState current;
    PJLinkRefresh refresh;
    PJLinkDeferral deferral;
    // The refresh's queries not yet handed to the session.
    QList<PJLink::Command> queries;
    bool pollOwed = false; // a poll came while the refresh's queries were answered
    bool greetedOnce = false;
    bool closing = false;
    bool asking = false;
};
