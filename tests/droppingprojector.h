#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A PJLink projector on 127.0.0.1 that greets each connection and drops it
// when a command comes, as failing projectors do, and those that refuse a
// login by closing instead of answering "PJLINK ERRA". The first answers
// commands of its first connection are answered before that. It counts the
// connections, which nothing may open without bound.
class DroppingProjector : public QObject
{
public:
    explicit DroppingProjector(const QByteArray &greeting, int answers = 0);

    // "127.0.0.1:PORT"
    QString address() const;
    int connections() const { return opened; }
    // What came on every connection, in order.
    QByteArray received() const { return bytes; }

private:
    QTcpServer server;
    QByteArray greeting;
    int answers;
    int opened = 0;
    QByteArray bytes;
};
