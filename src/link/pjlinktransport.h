#pragma once

#include "linktransport.h"

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// A PJLink projector's own TCP port. The link opens once the projector has
// greeted; with a password the login digest goes in front of the first
// command of each connection. Data bytes are the commands and answers,
// greeting and login taken out.
//
// A projector closes a connection that has been idle a while. That is not a
// loss: the next command written opens a new connection, waits for its
// greeting and logs in again, unseen by the owner. Only when that fails does
// gone() tell why. A login refused, or not tried because the projector wants
// a password and none is given, is not tried again for the same address and
// password until forgetRejectedLogins(): projectors may lock out after
// repeated failures.
class PJLinkTransport : public LinkTransport
{
    Q_OBJECT

public:
    // For connecting, and again for the greeting.
    static constexpr int TimeoutMs = 5000;

    explicit PJLinkTransport(QObject *parent = nullptr);
    ~PJLinkTransport() override;

    void start(const LinkAddress &address, int modelIndex) override;
    void stop() override;
    qint64 available() const override { return inbox.size(); }
    qint64 take(char *data, qint64 maxSize) override;
    qint64 send(const char *data, qint64 size) override;
    qint64 unsent() const override { return socket.bytesToWrite() + waiting.size(); }
    bool push() override;
    void setReadLimit(qint64 bytes) override;
    Speed speed() const override { return Speed::ServersOwn; }
    void setPassword(const QByteArray &password) override { loginPassword = password; }

    static void forgetRejectedLogins();

private:
    enum class Phase {
        Idle,
        Connecting,
        Greeting,
        Open,
        Closed, // the projector closed an open connection; the next command reopens it
    };

    void connectNow();
    void pull();
    void greeted(const QByteArray &line);
    void scan(const QByteArray &data);
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();
    void fail(PortStatus::Problem problem, const QString &detail);
    void reject(PortStatus::Problem problem);
    QString loginKey() const;

    QTcpSocket socket;
    QTimer timer;
    QString host;
    quint16 port = 0;
    bool neverResolves = false;
    QByteArray loginPassword;
    QByteArray token; // the login still owed by this connection
    Phase phase = Phase::Idle;
    bool reopening = false; // the owner already has the link open
    QByteArray line; // the greeting, then the answer line under way, for the login check
    QByteArray inbox; // data bytes not taken yet
    QByteArray waiting; // written while the connection was being made again
    QByteArray unanswered; // sent on this connection, its answer not in yet
    bool awaiting = false; // a command went out and its answer has not ended
    qint64 limit = 0;
};
