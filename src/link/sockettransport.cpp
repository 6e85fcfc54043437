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
        timer.start(openTimeoutMs);
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
    phase = Phase::Connecting;
    neverResolves = address.hostNeverResolves();
    if (neverResolves) {
        // As a resolver would answer, but from the event loop like any lookup.
        timer.start(0);
        return;
    }
    timer.start(openTimeoutMs);
    socket.connectToHost(address.host(), address.port());
}

void SocketTransport::stop()
{
    phase = Phase::Idle;
    settling = false;
    timer.stop();
    socket.abort();
    inbox.clear();
}

void SocketTransport::onTimeout()
{
    switch (phase) {
    case Phase::Connecting:
        if (neverResolves)
            return sessionFailed(PortStatus::Problem::HostNotFound, QString());
        return sessionFailed(PortStatus::Problem::TimedOut, QString());
    case Phase::Session:
        if (settling)
            return sessionReady();
        return sessionTimedOut();
    case Phase::Idle:
    case Phase::Open:
        break;
    }
}

void SocketTransport::onSocketError(QAbstractSocket::SocketError error)
{
    if (phase == Phase::Idle)
        return;
    if (phase == Phase::Open) {
        phase = Phase::Idle; // told once
        timer.stop();
        emit gone(PortStatus::Problem::ConnectionLost, socket.errorString());
        return;
    }
    sessionFailed(PortStatus::problemOf(error), socket.errorString());
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

void SocketTransport::sendRaw(const QByteArray &bytes)
{
    socket.write(bytes);
}

void SocketTransport::sessionReady()
{
    if (phase != Phase::Session)
        return;
    phase = Phase::Open;
    settling = false;
    timer.stop();
    emit ready();
}

void SocketTransport::sessionFailed(PortStatus::Problem problem, const QString &detail)
{
    if (phase == Phase::Idle || phase == Phase::Open)
        return;
    stop();
    emit failed(problem, detail);
}

void SocketTransport::dropPeer(PortStatus::Problem problem, const QString &detail)
{
    if (phase != Phase::Open)
        return sessionFailed(problem, detail);
    phase = Phase::Idle; // told once
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
    if (phase == Phase::Open && inbox.size() > before)
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
    return socket.write(encode(data, size)) < 0 ? -1 : size;
}

void SocketTransport::setReadLimit(qint64 bytes)
{
    limit = bytes;
    socket.setReadBufferSize(bytes);
}
