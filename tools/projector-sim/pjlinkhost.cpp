#include "pjlinkhost.h"

#include <QNetworkDatagram>
#include <QTcpSocket>

#include <cstdio>

PjlinkHost::PjlinkHost(const PjlinkModel::Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_clock.start();
    m_model = std::make_unique<PjlinkModel>(m_options, now());
    m_serviceTimer.setSingleShot(true);
    m_serviceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_serviceTimer, &QTimer::timeout, this, &PjlinkHost::service);
    connect(&m_server, &QTcpServer::newConnection, this, &PjlinkHost::accept);
    connect(&m_udp, &QUdpSocket::readyRead, this, &PjlinkHost::readDatagrams);
}

PjlinkHost::~PjlinkHost()
{
    // The sockets go with the server, after the map their last signals would reach.
    for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

bool PjlinkHost::listen(quint16 tcpPort, quint16 udpPort, QString *error)
{
    if (!m_server.listen(QHostAddress::LocalHost, tcpPort)) {
        *error = QStringLiteral("TCP port %1: %2").arg(tcpPort).arg(m_server.errorString());
        return false;
    }
    const QHostAddress loopback(QHostAddress::LocalHost);
    const bool bound = udpPort != 0
        ? m_udp.bind(loopback, udpPort)
        : m_udp.bind(loopback, m_server.serverPort()) || m_udp.bind(loopback, quint16(0));
    if (!bound) {
        *error = QStringLiteral("UDP port %1: %2").arg(udpPort).arg(m_udp.errorString());
        return false;
    }
    schedule();
    return true;
}

void PjlinkHost::setErrorStatus(const QByteArray &status)
{
    m_model->setErrorStatus(status);
    if (m_testClock) {
        m_lines << QStringLiteral("-- error status ") + QString::fromLatin1(status);
        return;
    }
    std::printf("-- error status %s\n", status.constData());
    std::fflush(stdout);
}

void PjlinkHost::useClock(std::function<qint64()> clock)
{
    m_testClock = std::move(clock);
    m_serviceTimer.stop();
    // The model's own times start from the new clock's now.
    m_model = std::make_unique<PjlinkModel>(m_options, now());
}

void PjlinkHost::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_connections.insert(socket, m_model->open(now()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropped(socket); });
    }
    service();
}

void PjlinkHost::read(QTcpSocket *socket)
{
    const auto it = m_connections.constFind(socket);
    if (it == m_connections.constEnd())
        return;
    m_model->receive(it.value(), socket->readAll(), now());
    service();
}

void PjlinkHost::dropped(QTcpSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it != m_connections.end()) {
        m_model->close(it.value());
        m_connections.erase(it);
    }
    socket->deleteLater();
    printLog();
}

void PjlinkHost::readDatagrams()
{
    while (m_udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp.receiveDatagram();
        const QByteArray answer = m_model->datagram(datagram.data(), now());
        // Only ever back to the loopback sender that asked.
        if (!answer.isEmpty() && datagram.senderAddress().isLoopback())
            m_udp.writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
    }
    printLog();
}

void PjlinkHost::service()
{
    const qint64 at = now();
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        QTcpSocket *socket = it.key();
        const QByteArray out = m_model->takeOutput(it.value(), at);
        if (!out.isEmpty())
            socket->write(out);
        if (m_model->closing(it.value(), at)) {
            m_model->close(it.value());
            it = m_connections.erase(it);
            // Whatever was written still leaves before the connection ends;
            // dropped() deletes the socket once it has.
            socket->disconnectFromHost();
            continue;
        }
        ++it;
    }
    printLog();
    schedule();
}

void PjlinkHost::schedule()
{
    const qint64 due = m_model->nextDueMs();
    if (due < 0 || m_testClock) {
        m_serviceTimer.stop();
        return;
    }
    m_serviceTimer.start(int(qBound(qint64(0), due - now(), qint64(24 * 3600 * 1000))));
}

void PjlinkHost::printLog()
{
    const QStringList lines = m_model->takeLog();
    if (m_testClock) {
        m_lines += lines;
        return;
    }
    for (const QString &line : lines) {
        std::fputs(line.toLatin1().constData(), stdout);
        std::fputc('\n', stdout);
    }
    if (!lines.isEmpty())
        std::fflush(stdout);
}

QStringList PjlinkHost::received() const
{
    QStringList commands;
    for (const QString &line : m_lines) {
        if (line.startsWith(QLatin1String("RX \"")))
            commands.append(line.mid(4, line.size() - 5));
    }
    return commands;
}
