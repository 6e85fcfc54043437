#pragma once

#include <QString>

// Where the projector is: a serial port by its system name, or a network
// serial server as tcp://HOST:PORT (raw bytes) or rfc2217://HOST:PORT (telnet
// with the COM port option). HOST is a name, an IPv4 address or an IPv6
// address in brackets. Anything without "://" is a serial port name, so every
// name stored before addresses existed keeps its meaning.
class LinkAddress
{
public:
    enum class Kind { Serial, Tcp, Rfc2217, PJLink };

    static LinkAddress parse(const QString &text);
    // A PJLink projector's address as the settings keep it: HOST, HOST:PORT,
    // [IPv6] or [IPv6]:PORT, port 4352 unless given.
    static LinkAddress parsePJLink(const QString &text);

    Kind kind() const { return addressKind; }
    bool isNetwork() const { return addressKind != Kind::Serial; }
    // Empty when the address is usable; otherwise what is wrong with it.
    QString error() const { return problem; }
    bool isValid() const { return problem.isEmpty(); }

    QString text() const { return given; } // as the user gave it
    QString host() const { return hostName; } // an IPv6 address without brackets
    quint16 port() const { return tcpPort; }

    // Names under the reserved "invalid" domain never resolve (RFC 6761):
    // they are answered here, so no query for one leaves the machine.
    bool hostNeverResolves() const;

private:
    void parseHostPort(const QString &rest, quint16 defaultPort);

    Kind addressKind = Kind::Serial;
    QString given;
    QString hostName;
    quint16 tcpPort = 0;
    QString problem;
};
