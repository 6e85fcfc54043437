#pragma once

#include "linktransport.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

// A serial server's raw TCP port: bytes pass unchanged and the server's own
// line settings apply. Also the base of every link over TCP (telnet with
// RFC 2217, PJLink): connecting, socket errors, the unresolvable host and
// reading are written here once. A subclass talks its protocol in
// beginSession() and received(), and calls sessionReady() or
// sessionFailed().
//
// Connecting and the session each get sessionTimeout(). A server that
// accepts and then closes at once (another client holds its port) never
// counts as open: a raw session starts only once the connection has stood
// for SettleMs.
//
// A subclass whose link can outlive its connection (a PJLink projector
// closes idle ones) keeps the link open in connectionClosed() and calls
// reconnect() when it has something to send; that session's end is
// sessionReady() again, or a failure that ends the link with gone().
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
    void setOpenTimeout(int ms) override { timeoutMs = ms; }
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
    // The connection closed or broke after it was made, in the session or
    // once open. By default that ends the link.
    virtual void connectionClosed(PortStatus::Problem problem, const QString &detail);

    void deliver(const QByteArray &data) { inbox += data; }
    bool sendRaw(const QByteArray &bytes);
    void sessionReady();
    void sessionFailed(PortStatus::Problem problem, const QString &detail);
    // Ends the link, opening or open: failed() before ready(), gone() after.
    // What was received stays to be taken.
    void fail(PortStatus::Problem problem, const QString &detail);
    // For what is known before connecting: the link fails from the event
    // loop, as a lookup would.
    void failSoon(PortStatus::Problem problem, const QString &detail = QString());
    // Closes the connection of an open link, which stays open, or of the
    // first session under way, which goes on with reconnect().
    void dropConnection();
    // A link without a connection connects again to the same address.
    void reconnect();
    void setSessionTimeout(int ms) { timeoutMs = ms; }

    bool inSession() const { return phase == Phase::Session; }
    bool isConnected() const { return phase == Phase::Open; }
    bool isDown() const { return phase == Phase::Down; }
    // ready() was told and no loss since.
    bool isEstablished() const { return established; }
    int modelIndex() const { return model; }

private:
    enum class Phase {
        Idle,
        Connecting,
        Session,
        Open,
        Down, // the link is open but has no connection
    };

    void pull();
    void onSocketError(QAbstractSocket::SocketError error);
    void onTimeout();

    QTcpSocket socket;
    QTimer timer; // the connect and session deadline; the settling of a raw session
    QByteArray inbox; // data bytes not taken yet
    QString host;
    quint16 port = 0;
    qint64 limit = 0;
    int timeoutMs = SessionTimeoutMs;
    Phase phase = Phase::Idle;
    int model = 0;
    bool established = false;
    bool settling = false;
    // Known before connecting: fails as the connection would have.
    PortStatus::Problem foreknown = PortStatus::Problem::None;
    QString foreknownDetail;
};
