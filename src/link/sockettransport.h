#pragma once

#include "linktransport.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

// A serial server's raw TCP port: bytes pass unchanged and the server's own
// line settings apply. Also the base of every link over TCP: a subclass
// talks its protocol in beginSession() and received(), and calls
// sessionReady() or sessionFailed().
//
// Connecting and the session each get SessionTimeoutMs unless told otherwise. A server that
// accepts and then closes at once (another client holds its port) never
// counts as open: a raw session starts only once the connection has stood
// for SettleMs.
class SocketTransport : public LinkTransport
{
    Q_OBJECT

public:
    static constexpr int SessionTimeoutMs = 3000;
    static constexpr int SettleMs = 200;

    explicit SocketTransport(QObject *parent = nullptr);
    ~SocketTransport() override;

    void start(const LinkAddress &address, int modelIndex) override;
    void stop() override;
    qint64 available() const override { return inbox.size(); }
    qint64 take(char *data, qint64 maxSize) override;
    qint64 send(const char *data, qint64 size) override;
    qint64 unsent() const override { return socket.bytesToWrite(); }
    bool push() override { return socket.flush(); }
    void setReadLimit(qint64 bytes) override;
    void setOpenTimeout(int ms) override { openTimeoutMs = ms; }
    Speed speed() const override { return Speed::ServersOwn; }

protected:
    // Connected: the protocol's opening moves.
    virtual void beginSession();
    // Bytes as they came off the wire; deliver() the data among them.
    virtual void received(const QByteArray &wire);
    // What goes on the wire for data bytes.
    virtual QByteArray encode(const char *data, qint64 size);
    // The session did not come about in time.
    virtual void sessionTimedOut();

    void deliver(const QByteArray &data) { inbox += data; }
    void sendRaw(const QByteArray &bytes);
    void sessionReady();
    void sessionFailed(PortStatus::Problem problem, const QString &detail);
    // Ends the connection because of what the peer did: failed() while the
    // session is being set up, gone() once it is open.
    void dropPeer(PortStatus::Problem problem, const QString &detail);
    bool inSession() const { return phase == Phase::Session; }
    int modelIndex() const { return model; }

private:
    enum class Phase { Idle, Connecting, Session, Open };

    void pull();
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();

    QTcpSocket socket;
    QTimer timer; // the connect and session deadline; the settling of a raw session
    QByteArray inbox; // data bytes not taken yet
    qint64 limit = 0;
    int openTimeoutMs = SessionTimeoutMs;
    Phase phase = Phase::Idle;
    int model = 0;
    bool settling = false;
    bool neverResolves = false;
};
