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
// answers, which queries each poll carries, and the rule for commands refused
// while the projector warms up. Bytes from the socket go in through
// receive(), bytes for it come out of takeOutput(); what happened comes back
// as notices. Time is the caller's clock in milliseconds, so all of it runs on
// a test's clock too.
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
            LineDropped, // a line longer than a packet may be
            Stray, // text: a line that answers no command waiting
        };
        Kind kind;
        PJLink::Command command;
        PJLink::Error error = PJLink::Error::None;
        QString text; // for the status bar and the log, where the kind has one
    };

    explicit PJLinkClient(qint64 replyTimeoutMs = PJLink::ReplyTimeoutMs);

    // The link (ProjectorLink with the PJLink family, which greets and logs
    // in itself) is open: commands go out. The state is read after the
    // first; a link opened again carries on where the last one stopped.
    void opened(qint64 now);
    QList<Notice> disconnected();

    // The queries of a poll: the power, and at most one more. Nothing is
    // added while earlier ones still wait, so a slow projector is not buried.
    void poll(qint64 now);
    // A command of the user's; false if it cannot be sent at all.
    bool send(PJLink::Command command);

    QList<Notice> receive(const QByteArray &bytes, qint64 now);
    QByteArray takeOutput(qint64 now) { return session.takeOutput(now); }
    QList<Notice> advance(qint64 now);
    qint64 nextDueMs() const;

    const PJLinkState &state() const { return current; }
    PJLinkSession::State sessionState() const { return session.state(); }
    // A command is out and its answer not in yet.
    bool waiting() const { return session.waiting(); }
    bool everGreeted() const { return greetedOnce; }

private:
    void handle(const PJLinkSession::Event &event, qint64 now, QList<Notice> &notices);
    void answered(const PJLink::Command &command, const PJLink::Reply &reply, qint64 now,
                  QList<Notice> &notices);

    PJLinkSession session;
    PJLinkState current;
    PJLinkRefresh refresh;
    PJLinkDeferral deferral;
    bool greetedOnce = false;
};
