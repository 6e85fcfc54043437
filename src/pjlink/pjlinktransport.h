#pragma once

#include "pjlinklogin.h"
#include "pjlinklogins.h"
#include "sockettransport.h"

#include <QByteArray>
#include <QString>

// A PJLink projector's own TCP port. The link opens once the projector has
// greeted; with a password the login goes in front of the first command of
// each connection. Data bytes are the commands and answers, greeting and
// login taken out.
//
// A projector closes a connection that has been idle a while. That is not a
// loss: the next command written opens a new connection, waits for its
// greeting and logs in again, unseen by the owner. A command whose
// connection closed before any of its answer came goes out once more on a
// new one, and only when the closed connection had answered before (an idle
// close just as it went out); a projector that drops every connection is
// therefore told as lost at once, and nothing storms it.
//
// With a password the SHA-256 login is asked for first ("PJLINK 2"), as
// the standard orders it; where the projector refuses that question, closes
// on it or answers something else, MD5 goes on a new connection. Which
// login a projector took is kept across runs for every front end
// (PJLinkLogins), and it is never sent the other one again for that
// password.
//
// "PJLINK ERRA" to a login is a wrong password: it is kept there too, and no
// front end offers that password to that address again; the link then only
// reads the greeting (the projector is there, or it is not) and says
// "password rejected". A connection closed right after the login is
// ambiguous, since busy projectors do that: it counts as a refusal for this
// link and the next ones of this program until a back-off of 1, 5, then 15
// minutes has passed. A projector that wants a password when none is given
// is not tried again for the same address until forgetRejectedLogins().
class PJLinkTransport : public SocketTransport
{
    Q_OBJECT

public:
    // For connecting, and again for the greeting.
    static constexpr int TimeoutMs = 5000;

    explicit PJLinkTransport(QObject *parent = nullptr);

    void start(const LinkAddress &address, int modelIndex) override;
    void stop() override;
    qint64 send(const char *data, qint64 size) override;
    qint64 unsent() const override { return SocketTransport::unsent() + waiting.size(); }
    bool push() override;
    void setPassword(const QByteArray &password) override { loginPassword = password; }
    PortStatus::Problem overdue() const override;

    static void forgetRejectedLogins();
    // The wait after the n-th connection in a row closed right after the login.
    static qint64 retryDelayMs(int closes);
    // What the logins of a projector are remembered by.
    static QString projectorKey(const LinkAddress &address);

protected:
    void beginSession() override;
    void received(const QByteArray &wire) override;
    void sessionTimedOut() override;
    void connectionClosed(PortStatus::Problem problem, const QString &detail) override;

private:
    void loginRefused();
    void newerLoginRefused(bool answered);
    void closedAfterLogin(const QString &detail);
    void reject(PortStatus::Problem problem, const QString &detail = QString());
    void reconnectSoon();
    void answered(const QByteArray &data);
    QString loginKey() const;

    QString projector; // host and port: what the login that worked is kept for
    QByteArray loginPassword;
    PJLinkLogin login; // this connection's
    PJLinkLogins::Memory remembered; // of this projector and password, at start()
    QString withheld; // why no login is sent: only the greeting is read
    bool md5Fallback = false; // the newer login was refused: MD5 from now on
    bool kindKept = false; // the login taken is remembered
    QByteArray waiting; // written while the connection was being made again
    QByteArray unanswered; // sent on this connection, its answer not in yet
    bool awaiting = false; // a command went out and its answer has not ended
    bool partial = false; // part of an answer came, not its end
    bool answeredHere = false; // this connection carried an answer
    bool resent = false; // what waits went out once already, on a closed connection
};
