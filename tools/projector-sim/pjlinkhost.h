#ifndef PJLINKHOST_H
#define PJLINKHOST_H

#include "pjlinkmodel.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

class QTcpSocket;

// Puts a PjlinkModel on TCP and UDP ports of 127.0.0.1, never another
// address: the program under test connects there as to a projector.
class PjlinkHost : public QObject
{
    Q_OBJECT

public:
    explicit PjlinkHost(const PjlinkModel::Options &options, QObject *parent = nullptr);
    ~PjlinkHost() override;

    // Port 0 takes a free one; udpPort 0 takes the TCP port's number if it is free.
    bool listen(quint16 tcpPort, quint16 udpPort, QString *error);
    quint16 tcpPort() const { return m_server.serverPort(); }
    quint16 udpPort() const { return m_udp.localPort(); }
    void setErrorStatus(const QByteArray &status);

private:
    void accept();
    void read(QTcpSocket *socket);
    void dropped(QTcpSocket *socket);
    void readDatagrams();
    void service();
    void schedule();
    void printLog();
    qint64 now() const { return m_clock.elapsed(); }

    PjlinkModel::Options m_options;
    std::unique_ptr<PjlinkModel> m_model;
    QElapsedTimer m_clock;
    QTcpServer m_server;
    QUdpSocket m_udp;
    QTimer m_serviceTimer;
    QMap<QTcpSocket *, int> m_connections;
};

#endif // PJLINKHOST_H
