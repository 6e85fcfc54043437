#pragma once

#include "pjlinklogin.h"
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
// A login refused, answered by a closed connection, or not tried because
// the projector wants a password and none is given, is not tried again for
// the same address and password until forgetRejectedLogins(): projectors may
// lock out after repeated failures. Where the MD5 login is refused the
// SHA-256 one is tried once, on a new connection; which one a projector
// took is kept for the program's life, and one that takes MD5 is never sent
// the other.
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

protected:
    void beginSession() override;
    void received(const QByteArray &wire) override;
    void sessionTimedOut() override;
    void connectionClosed(PortStatus::Problem problem, const QString &detail) override;

private:
    void loginRefused();
    void reject(PortStatus::Problem problem, const QString &detail = QString());
    void reconnectSoon();
    void answered(const QByteArray &data);
    QString loginKey() const;

    QString projector; // host and port: what the login that worked is kept for
    QByteArray loginPassword;
    PJLinkLogin login; // this connection's
    bool md5Refused = false; // the SHA-256 login is being tried
    QByteArray waiting; // written while the connection was being made again
    QByteArray unanswered; // sent on this connection, its answer not in yet
    bool awaiting = false; // a command went out and its answer has not ended
    bool partial = false; // part of an answer came, not its end
    bool answeredHere = false; // this connection carried an answer
    bool resent = false; // what waits went out once already, on a closed connection
};
