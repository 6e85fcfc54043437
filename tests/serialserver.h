#pragma once

#include "simprocess.h"

#include <QString>

// Debian's ser2net on 127.0.0.1, in front of one device: a raw TCP port and
// a telnet port with the COM port option (RFC 2217). The two ports are kept
// across stop() and start(), so a program that knows them can reconnect.
class SerialServer
{
public:
    explicit SerialServer(const QString &device);
    ~SerialServer();

    // Starts ser2net and waits until both ports listen.
    bool start();
    void stop();
    QString errorString() const { return error; }

    QString rawAddress() const;
    QString rfc2217Address() const;

    // A port on 127.0.0.1 that nothing listens on.
    static quint16 closedPort();

private:
    bool listening(quint16 port) const;

    const QString device;
    quint16 rawPort = 0;
    quint16 telnetPort = 0;
    QString config;
    SimProcess process;
    QString error;
};
