#include "pjlinktransport.h"

#include "linkaddress.h"
#include "pjlink.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>

namespace {

// Address and password (hashed) of each login that was refused, and why.
QHash<QString, PortStatus::Problem> &rejectedLogins()
{
    static QHash<QString, PortStatus::Problem> rejected;
    return rejected;
}

} // namespace

PJLinkTransport::PJLinkTransport(QObject *parent)
    : LinkTransport(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &PJLinkTransport::onTimeout);
    connect(&socket, &QTcpSocket::connected, this, [this] {
        if (phase != Phase::Connecting)
            return;
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        phase = Phase::Greeting;
        line.clear();
        timer.start(TimeoutMs);
    });
    connect(&socket, &QTcpSocket::readyRead, this, &PJLinkTransport::pull);
    connect(&socket, &QTcpSocket::bytesWritten, this, &LinkTransport::dataSent);
    connect(&socket, &QTcpSocket::errorOccurred, this, &PJLinkTransport::onSocketError);
    connect(&socket, &QTcpSocket::disconnected, this,
            [this] { onSocketError(QAbstractSocket::RemoteHostClosedError); });
}

PJLinkTransport::~PJLinkTransport()
{
    socket.disconnect(this);
}

void PJLinkTransport::forgetRejectedLogins()
{
    rejectedLogins().clear();
}

QString PJLinkTransport::loginKey() const
{
    return host + QLatin1Char(' ') + QString::number(port) + QLatin1Char(' ')
        + QString::fromLatin1(
               QCryptographicHash::hash(loginPassword, QCryptographicHash::Sha256).toHex());
}

void PJLinkTransport::start(const LinkAddress &address, int modelIndex)
{
    Q_UNUSED(modelIndex)
    stop();
    host = address.host();
    port = address.port();
    neverResolves = address.hostNeverResolves();
    reopening = false;
    connectNow();
}

void PJLinkTransport::connectNow()
{
    phase = Phase::Connecting;
    token.clear();
    line.clear();
    // From the event loop, as every other way this can end.
    if (neverResolves || rejectedLogins().contains(loginKey())) {
        timer.start(0);
        return;
    }
    timer.start(TimeoutMs);
    socket.abort();
    socket.connectToHost(host, port);
}

void PJLinkTransport::stop()
{
    phase = Phase::Idle;
    reopening = false;
    timer.stop();
    socket.abort();
    inbox.clear();
    waiting.clear();
    unanswered.clear();
    token.clear();
    line.clear();
    awaiting = false;
}

void PJLinkTransport::onTimeout()
{
    if (phase == Phase::Connecting) {
        if (rejectedLogins().contains(loginKey()))
            return fail(rejectedLogins().value(loginKey()), QString());
        if (neverResolves)
            return fail(PortStatus::Problem::HostNotFound, QString());
        return fail(PortStatus::Problem::TimedOut, QString());
    }
    if (phase == Phase::Greeting)
        fail(PortStatus::Problem::TimedOut, QStringLiteral("no greeting"));
}

void PJLinkTransport::onSocketError(QAbstractSocket::SocketError error)
{
    switch (phase) {
    case Phase::Idle:
    case Phase::Closed:
        return;
    case Phase::Open:
        // Most projectors close a connection that has been idle; the next
        // command opens another. One closed on a command is tried again at
        // once, so that a projector that has gone is told at once too.
        phase = Phase::Closed;
        timer.stop();
        token.clear();
        if (awaiting) {
            awaiting = false;
            // Closed before any of the answer came, the command may never
            // have arrived (an idle close just as a poll went out): it goes
            // out again. Half an answer is not asked for twice.
            if (line.isEmpty())
                waiting.prepend(unanswered);
            unanswered.clear();
            // Not from inside the socket's own signal.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (phase == Phase::Closed)
                        connectNow();
                },
                Qt::QueuedConnection);
        }
        line.clear();
        return;
    case Phase::Connecting:
    case Phase::Greeting:
        break;
    }
    fail(PortStatus::problemOf(error), socket.errorString());
}

void PJLinkTransport::fail(PortStatus::Problem problem, const QString &detail)
{
    const bool wasOpen = reopening;
    stop();
    if (wasOpen)
        emit gone(problem, detail);
    else
        emit failed(problem, detail);
}

void PJLinkTransport::reject(PortStatus::Problem problem)
{
    rejectedLogins().insert(loginKey(), problem);
    fail(problem, QString());
}

void PJLinkTransport::pull()
{
    const qint64 before = inbox.size();
    while (socket.bytesAvailable() > 0 && (limit <= 0 || inbox.size() < limit)) {
        const qint64 room = limit > 0 ? limit - inbox.size() : socket.bytesAvailable();
        const QByteArray wire = socket.read(qMin(room, socket.bytesAvailable()));
        if (phase == Phase::Greeting) {
            const int end = wire.indexOf('\r');
            line += end < 0 ? wire : wire.left(end);
            if (end < 0) {
                if (line.size() > PJLink::MaxPacket)
                    return fail(PortStatus::Problem::NotPJLink, QString());
                continue;
            }
            greeted(line);
            line.clear();
            if (phase != Phase::Open)
                return;
            scan(wire.mid(end + 1));
        } else if (phase == Phase::Open) {
            scan(wire);
        } else {
            return;
        }
        if (phase != Phase::Open)
            return;
    }
    if (inbox.size() > before)
        emit dataArrived();
}

void PJLinkTransport::greeted(const QByteArray &text)
{
    const PJLink::Greeting greeting = PJLink::parseGreeting(text);
    switch (greeting.kind) {
    case PJLink::Greeting::Kind::Faulty:
        return fail(PortStatus::Problem::NotPJLink, QString());
    case PJLink::Greeting::Kind::Rejected:
        return reject(PortStatus::Problem::PasswordRejected);
    case PJLink::Greeting::Kind::Protected:
        if (loginPassword.isEmpty())
            return reject(PortStatus::Problem::PasswordMissing);
        token = greeting.token;
        break;
    case PJLink::Greeting::Kind::Open:
        break;
    }
    timer.stop();
    phase = Phase::Open;
    if (!reopening) {
        reopening = true; // from now on the owner holds the link open
        emit ready();
        return;
    }
    if (!waiting.isEmpty()) {
        const QByteArray queued = waiting;
        waiting.clear();
        send(queued.constData(), queued.size());
    }
}

// A wrong login is answered in place of the first command's answer.
void PJLinkTransport::scan(const QByteArray &data)
{
    int from = 0;
    while (from < data.size()) {
        const int end = data.indexOf('\r', from);
        const QByteArray piece = data.mid(from, end < 0 ? -1 : end - from);
        if (line.size() < PJLink::MaxPacket)
            line += piece.left(PJLink::MaxPacket - line.size());
        if (end < 0)
            break;
        if (line.simplified().toUpper() == "PJLINK ERRA")
            return reject(PortStatus::Problem::PasswordRejected);
        line.clear();
        awaiting = false;
        unanswered.clear();
        from = end + 1;
    }
    inbox += data;
}

qint64 PJLinkTransport::take(char *data, qint64 maxSize)
{
    const qint64 count = qMin<qint64>(maxSize, inbox.size());
    std::copy_n(inbox.constData(), count, data);
    inbox.remove(0, int(count));
    if (limit > 0 && socket.bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &PJLinkTransport::pull, Qt::QueuedConnection);
    return count;
}

qint64 PJLinkTransport::send(const char *data, qint64 size)
{
    switch (phase) {
    case Phase::Idle:
        return -1;
    case Phase::Open: {
        QByteArray bytes(data, int(size));
        if (!token.isEmpty()) {
            bytes.prepend(PJLink::digest(token, loginPassword));
            token.clear();
        }
        awaiting = true;
        unanswered.append(data, int(size));
        return socket.write(bytes) < 0 ? -1 : size;
    }
    case Phase::Closed:
        waiting.append(data, int(size));
        connectNow();
        return size;
    case Phase::Connecting:
    case Phase::Greeting:
        if (!reopening)
            return -1;
        // Commands are a few bytes at a poll; a projector that never comes
        // back fails the connection long before this could grow.
        waiting.append(data, int(size));
        return size;
    }
    return -1;
}

bool PJLinkTransport::push()
{
    return phase == Phase::Open ? socket.flush() : phase != Phase::Idle;
}

void PJLinkTransport::setReadLimit(qint64 bytes)
{
    limit = bytes;
    socket.setReadBufferSize(bytes);
}
