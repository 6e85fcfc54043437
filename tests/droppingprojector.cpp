#include "droppingprojector.h"

#include <QTcpSocket>

DroppingProjector::DroppingProjector(const QByteArray &greeting, int answers)
    : greeting(greeting)
    , answers(answers)
{
    server.listen(QHostAddress::LocalHost);
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            const int number = ++opened;
            socket->write(this->greeting + '\r');
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, number] {
                const QByteArray in = socket->readAll();
                bytes += in;
                if (number == 1 && this->answers > 0 && in.endsWith('\r')) {
                    --this->answers;
                    socket->write(in.left(6) + "=OK\r");
                    return;
                }
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString DroppingProjector::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
}
