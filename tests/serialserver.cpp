#include "serialserver.h"

#include "teststore.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

namespace {

int instances = 0;

} // namespace

SerialServer::SerialServer(const QString &device)
    : device(device)
    , rawPort(closedPort())
    , telnetPort(closedPort())
{
    const QString name = QStringLiteral("/ser2net-%1").arg(++instances);
    config = TestStore::runDirectory() + name + QStringLiteral(".yaml");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return;
    }
    file.write(QStringLiteral("%YAML 1.1\n---\n"
                              "connection: &raw\n"
                              "    accepter: tcp,127.0.0.1,%1\n"
                              "    connector: serialdev,%3,9600n81,local\n"
                              "connection: &rfc2217\n"
                              "    accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                              "    connector: serialdev,%3,9600n81,local\n")
                   .arg(rawPort)
                   .arg(telnetPort)
                   .arg(device)
                   .toUtf8());
}

SerialServer::~SerialServer()
{
    stop();
}

bool SerialServer::start()
{
    if (!error.isEmpty())
        return false;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Its own pid file: the system's belongs to the system's ser2net.
    process.start(QStringLiteral("ser2net"),
                  { "-n", "-c", config, "-P", config + QStringLiteral(".pid") });
    if (!process.waitForStarted()) {
        error = QStringLiteral("ser2net: ") + process.errorString();
        return false;
    }
    if (!QTest::qWaitFor([this] { return listening(rawPort) && listening(telnetPort); }, 10000)) {
        error = QStringLiteral("ser2net does not listen on %1 and %2").arg(rawPort).arg(telnetPort);
        return false;
    }
    return true;
}

void SerialServer::stop()
{
    process.stop();
}

QString SerialServer::rawAddress() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort);
}

QString SerialServer::rfc2217Address() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(telnetPort);
}

quint16 SerialServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// Read from the kernel's table rather than by connecting, which would make
// ser2net open the device.
bool SerialServer::listening(quint16 port) const
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local
        = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}
