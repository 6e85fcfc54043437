#pragma once

#include "pjlink.h"
#include "pjlinkdeferral.h"
#include "pjlinkrefresh.h"
#include "pjlinksession.h"
#include "pjlinkstate.h"

#include <QList>
#include <QString>

// Everything a front end needs of a PJLink projector but the socket: the
// session of the connection, the state read from the answers, which queries
// each poll carries, and the rule for commands refused while the projector
// warms up. Bytes from the socket go in through receive(), bytes for it come
// out of takeOutput(); what happened comes back as notices. Time is the
// caller's clock in milliseconds, so all of it runs on a test's clock too.
class PJLinkClient
{
public:
    struct Notice
    {
        enum class Kind {
            Ready, // greeted: commands go out
            StateChanged, // state() has news
            Done, // command (the user's) was accepted
            Refused, // command got error; text is its wording
            Held, // command refused while warming up: it goes out when the projector is on
            NotSent, // command was held, but the projector did not come on within a minute
            NoAnswer, // command was given up: no answer in time, or the connection went
            Rejected, // the login failed; text is "password rejected" or "needs a password"
            ConnectionFault, // no greeting, or not one; text says which
            LineDropped, // a line longer than a packet may be
            Stray, // text: a line that answers no command waiting
        };
        Kind kind;
        PJLink::Command command;
        PJLink::Error error = PJLink::Error::None;
        QString text; // for the status bar and the log, where the kind has one
    };

    explicit PJLinkClient(qint64 replyTimeoutMs = PJLink::ReplyTimeoutMs);

    void setPassword(const QByteArray &password) { session.setPassword(password); }
    // A connection is made: its greeting is awaited. The state is read
    // after the first; a connection made again after an idle close carries
    // on where the last one stopped.
    void connected(qint64 now);
    // The same for a link that greets and logs in itself (ProjectorLink
    // with the PJLink family): the projector is ready at once.
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
    // Commands in line behind it, and queries the refresh still has to ask.
    int queued() const { return session.queued(); }
    int refreshing() const { return refresh.waiting(); }
    bool everGreeted() const { return greetedOnce; }
    // After a failed login nothing is tried again: projectors may lock out
    // after repeated failures. A new client comes with new settings.
    bool rejected() const { return loginRejected; }

private:
    void handle(const PJLinkSession::Event &event, qint64 now, QList<Notice> &notices);
    void answered(const PJLink::Command &command, const PJLink::Reply &reply, qint64 now,
                  QList<Notice> &notices);

    PJLinkSession session;
    PJLinkState current;
    PJLinkRefresh refresh;
    PJLinkDeferral deferral;
    bool greetedOnce = false;
    bool loginRejected = false;
};
