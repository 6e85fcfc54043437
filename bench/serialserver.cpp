#include "serialserver.h"

#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool listensOn(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local
        = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

BenchSerialServer::BenchSerialServer(const QString &directory, const QString &device, Kind kind)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    const bool telnet = kind == Kind::Rfc2217;
    url = QStringLiteral("%1://127.0.0.1:%2").arg(telnet ? "rfc2217" : "tcp").arg(port);
    const QString config = directory + QStringLiteral("/ser2net.yaml");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("%YAML 1.1\n---\nconnection: &bench\n"
                              "    accepter: %1tcp,127.0.0.1,%2\n"
                              "    connector: serialdev,%3,9600n81,local\n")
                   .arg(telnet ? "telnet(rfc2217)," : "")
                   .arg(port)
                   .arg(device)
                   .toUtf8());
    file.close();
    const QByteArray configPath = QFile::encodeName(config);
    const QByteArray pidPath = configPath + ".pid";
    pid = fork();
    if (pid == 0) {
        execlp("ser2net", "ser2net", "-n", "-c", configPath.constData(), "-P",
               pidPath.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && pid > 0 && !listening; ++i) {
        listening = listensOn(port);
        if (!listening)
            QThread::msleep(10);
    }
}

BenchSerialServer::~BenchSerialServer()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

bool BenchSerialServer::kindOf(const char *text, Kind *kind)
{
    if (std::strcmp(text, "raw") == 0)
        *kind = Kind::Raw;
    else if (std::strcmp(text, "rfc2217") == 0)
        *kind = Kind::Rfc2217;
    else
        return false;
    return true;
}
