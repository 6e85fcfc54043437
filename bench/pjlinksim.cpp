#include "pjlinksim.h"

#include <QFile>
#include <QList>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

BenchPjlinkSim::BenchPjlinkSim(const QString &directory)
{
    const QString passwordPath = directory + QStringLiteral("/pjlink-password");
    QFile file(passwordPath);
    if (!file.open(QIODevice::WriteOnly)
        || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return;
    file.write(password().toUtf8() + '\n');
    file.close();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    const QByteArray passwordFile = QFile::encodeName(passwordPath);
    pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(VANTREL_PROJECTOR_SIM, "projector-sim", "--family", "pjlink", "--pjlink-class", "2",
              "--lamp", "on", "--password-file", passwordFile.constData(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    fd = pipeEnds[0];
    if (pid < 0)
        return;
    // First line: "LISTEN 127.0.0.1 <tcp port> <udp port>".
    const QList<QByteArray> fields = readLine(10000).split(' ');
    if (fields.size() == 4 && fields.at(0) == "LISTEN")
        url = QStringLiteral("127.0.0.1:%1").arg(QString::fromLatin1(fields.at(2)));
}

BenchPjlinkSim::~BenchPjlinkSim()
{
    if (fd >= 0)
        close(fd);
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

QByteArray BenchPjlinkSim::readLine(int timeoutMs)
{
    for (;;) {
        const int end = pending.indexOf('\n');
        if (end >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            return line;
        }
        pollfd wanted { fd, POLLIN, 0 };
        if (fd < 0 || poll(&wanted, 1, timeoutMs) <= 0)
            return QByteArray();
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return QByteArray();
        pending.append(buffer, int(got));
    }
}
