#pragma once

#include <QString>

#include <sys/types.h>

// Debian's ser2net on 127.0.0.1 in front of one device, raw TCP or telnet
// with the COM port option, for as long as the object lives.
class BenchSerialServer
{
public:
    enum class Kind { Raw, Rfc2217 };

    // Writes its configuration into directory and starts ser2net.
    BenchSerialServer(const QString &directory, const QString &device, Kind kind);
    ~BenchSerialServer();
    BenchSerialServer(const BenchSerialServer &) = delete;
    BenchSerialServer &operator=(const BenchSerialServer &) = delete;

    // Empty when ser2net did not come up listening.
    QString address() const { return listening ? url : QString(); }

    static bool kindOf(const char *text, Kind *kind);

private:
    pid_t pid = -1;
    QString url;
    bool listening = false;
};
