#pragma once

#include "portstatus.h"

#include <QObject>

class LinkAddress;
class QSerialPort;

// One way of reaching a projector: a serial port, a TCP connection, a
// telnet session with a serial server, a PJLink connection. ProjectorLink
// drives it; what every kind shares (its state, the queued close of a lost
// link so nothing spins, the waits of the command-line program, the reasons
// given to the user) is written there once.
//
// start() may finish before it returns (a serial port opens at once) or
// later, from the event loop; either way it ends in exactly one of ready()
// and failed(). After ready(), gone() says the link broke; it may be emitted
// any number of times until stop().
class LinkTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // What became of the family's line speed when the link opened.
    enum class Speed {
        Set,
        Refused, // with an error
        RefusedQuietly, // without one
        ServersOwn, // a raw TCP server keeps its own line settings
    };

    virtual void start(const LinkAddress &address, int modelIndex) = 0;
    // Ends the link at once and silently.
    virtual void stop() = 0;

    // Data bytes received and not yet taken.
    virtual qint64 available() const = 0;
    virtual qint64 take(char *data, qint64 maxSize) = 0;
    // Queues data bytes to send; -1 when that failed.
    virtual qint64 send(const char *data, qint64 size) = 0;
    virtual qint64 unsent() const = 0;
    // Hands queued bytes to the system now rather than from the event loop.
    virtual bool push() = 0;
    // Past this, what arrives waits in the system (or the far end) rather
    // than in memory.
    virtual void setReadLimit(qint64 bytes) = 0;

    virtual Speed speed() const { return Speed::Set; }
    // Why a start() that has not ended yet is late, for an owner that stops
    // waiting first.
    virtual PortStatus::Problem overdue() const { return PortStatus::Problem::TimedOut; }
    // For a link over the network: how long connecting, and then setting up
    // the session, may each take, from the next start() on.
    virtual void setOpenTimeout(int ms) { Q_UNUSED(ms) }
    // For a link that logs in: used from the next start() on.
    virtual void setPassword(const QByteArray &password) { Q_UNUSED(password) }
    // The serial port underneath, if there is one: for its line settings.
    virtual QSerialPort *serialDevice() { return nullptr; }

signals:
    void ready();
    void failed(PortStatus::Problem problem, const QString &detail);
    void gone(PortStatus::Problem problem, const QString &detail);
    void dataArrived();
    void dataSent();
};
