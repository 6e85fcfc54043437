#include "sockettransport.h"

#include "linkaddress.h"

#include <algorithm>

SocketTransport::SocketTransport(QObject *parent)
    : LinkTransport(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &SocketTransport::onTimeout);
    connect(&socket, &QTcpSocket::connected, this, [this] {
        if (phase != Phase::Connecting)
            return;
        // Commands are a few bytes; each should leave when written.
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        phase = Phase::Session;
        timer.start(timeoutMs);
        beginSession();
    });
    connect(&socket, &QTcpSocket::readyRead, this, &SocketTransport::pull);
    connect(&socket, &QTcpSocket::bytesWritten, this, &LinkTransport::dataSent);
    connect(&socket, &QTcpSocket::errorOccurred, this, &SocketTransport::onSocketError);
    connect(&socket, &QTcpSocket::disconnected, this,
            [this] { onSocketError(QAbstractSocket::RemoteHostClosedError); });
}

SocketTransport::~SocketTransport()
{
    // The socket goes before the object that would hear its last signals.
    socket.disconnect(this);
}

void SocketTransport::start(const LinkAddress &address, int modelIndex)
{
    stop();
    model = modelIndex;
    host = address.host();
    port = address.port();
    if (address.hostNeverResolves())
        return failSoon(PortStatus::Problem::HostNotFound);
    phase = Phase::Connecting;
    timer.start(timeoutMs);
    socket.connectToHost(host, port);
}

void SocketTransport::failSoon(PortStatus::Problem problem, const QString &detail)
{
    stop();
    phase = Phase::Connecting;
    foreknown = problem;
    foreknownDetail = detail;
    timer.start(0);
}

void SocketTransport::stop()
{
    phase = Phase::Idle;
    established = false;
    settling = false;
    foreknown = PortStatus::Problem::None;
    timer.stop();
    socket.abort();
    inbox.clear();
}

void SocketTransport::dropConnection()
{
    // Before the first opening, only a session under way: a protocol whose
    // opening needs a new connection.
    if (phase == Phase::Idle || (!established && phase != Phase::Session))
        return;
    phase = Phase::Down;
    settling = false;
    timer.stop();
    socket.abort();
}

void SocketTransport::reconnect()
{
    if (phase != Phase::Down)
        return;
    socket.abort();
    phase = Phase::Connecting;
    timer.start(timeoutMs);
    socket.connectToHost(host, port);
}

void SocketTransport::onTimeout()
{
    switch (phase) {
    case Phase::Connecting:
        if (foreknown != PortStatus::Problem::None)
            return sessionFailed(foreknown, foreknownDetail);
        return sessionFailed(PortStatus::Problem::TimedOut, QString());
    case Phase::Session:
        if (settling)
            return sessionReady();
        return sessionTimedOut();
    case Phase::Idle:
    case Phase::Open:
    case Phase::Down:
        break;
    }
}

void SocketTransport::onSocketError(QAbstractSocket::SocketError error)
{
    switch (phase) {
    case Phase::Idle:
    case Phase::Down:
        return;
    case Phase::Connecting:
        return sessionFailed(PortStatus::problemOf(error), socket.errorString());
    case Phase::Session:
        return connectionClosed(PortStatus::problemOf(error), socket.errorString());
    case Phase::Open:
        phase = Phase::Down; // told once
        timer.stop();
        return connectionClosed(PortStatus::Problem::ConnectionLost, socket.errorString());
    }
}

void SocketTransport::beginSession()
{
    settling = true;
    timer.start(SettleMs);
}

void SocketTransport::received(const QByteArray &wire)
{
    deliver(wire);
}

QByteArray SocketTransport::encode(const char *data, qint64 size)
{
    return QByteArray(data, int(size));
}

void SocketTransport::sessionTimedOut()
{
    sessionFailed(PortStatus::Problem::TimedOut, QString());
}

void SocketTransport::connectionClosed(PortStatus::Problem problem, const QString &detail)
{
    fail(problem, detail);
}

bool SocketTransport::sendRaw(const QByteArray &bytes)
{
    return socket.write(bytes) >= 0;
}

void SocketTransport::sessionReady()
{
    if (phase != Phase::Session)
        return;
    phase = Phase::Open;
    settling = false;
    timer.stop();
    if (!established) {
        established = true;
        emit ready();
    }
}

void SocketTransport::sessionFailed(PortStatus::Problem problem, const QString &detail)
{
    if (phase == Phase::Connecting || phase == Phase::Session)
        fail(problem, detail);
}

void SocketTransport::fail(PortStatus::Problem problem, const QString &detail)
{
    if (phase == Phase::Idle)
        return;
    if (!established) {
        stop();
        emit failed(problem, detail);
        return;
    }
    phase = Phase::Idle;
    established = false;
    settling = false;
    timer.stop();
    socket.abort();
    emit gone(problem, detail);
}

void SocketTransport::pull()
{
    const qint64 before = inbox.size();
    while (socket.bytesAvailable() > 0 && (limit <= 0 || inbox.size() < limit)) {
        const qint64 room = limit > 0 ? limit - inbox.size() : socket.bytesAvailable();
        received(socket.read(qMin(room, socket.bytesAvailable())));
        if (phase == Phase::Idle)
            return; // the session failed on what came
    }
    if (established && inbox.size() > before)
        emit dataArrived();
}

qint64 SocketTransport::take(char *data, qint64 maxSize)
{
    const qint64 count = qMin<qint64>(maxSize, inbox.size());
    std::copy_n(inbox.constData(), count, data);
    inbox.remove(0, int(count));
    // What the socket held back while the inbox was full.
    if (limit > 0 && socket.bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &SocketTransport::pull, Qt::QueuedConnection);
    return count;
}

qint64 SocketTransport::send(const char *data, qint64 size)
{
    if (phase != Phase::Open)
        return -1;
    return sendRaw(encode(data, size)) ? size : -1;
}

void SocketTransport::setReadLimit(qint64 bytes)
{
    limit = bytes;
    socket.setReadBufferSize(bytes);
}
