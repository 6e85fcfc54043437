#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// tools/projector-sim as a class 2 PJLink projector on 127.0.0.1 with a
// password, lamp on, for as long as the object lives. Its traffic log comes
// back through a pipe, so the bench sees each command as the projector gets it.
class BenchPjlinkSim
{
public:
    // Writes the password file into directory and starts the simulator.
    explicit BenchPjlinkSim(const QString &directory);
    ~BenchPjlinkSim();
    BenchPjlinkSim(const BenchPjlinkSim &) = delete;
    BenchPjlinkSim &operator=(const BenchPjlinkSim &) = delete;

    // "127.0.0.1:<port>", empty when the simulator did not come up.
    QString address() const { return url; }
    QString password() const { return QStringLiteral("bench-secret"); }
    // The next whole log line, waiting up to timeoutMs; empty if none came.
    QByteArray readLine(int timeoutMs);

private:
    pid_t pid = -1;
    int fd = -1;
    QByteArray pending;
    QString url;
};
