#ifndef PJLINKHOST_H
#define PJLINKHOST_H

#include "pjlinkmodel.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <QStringList>

#include <functional>
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

    // For a test: time is what clock says and no timer waits on it; the test
    // calls service() after moving it. The traffic goes to lines(), not to
    // standard output.
    void useClock(std::function<qint64()> clock);
    QStringList lines() const { return m_lines; }
    // The command lines the projector received, as lines() shows them.
    QStringList received() const;
    // Sends what is due now and closes the connections that are done.
    void service();

private:
    void accept();
    void read(QTcpSocket *socket);
    void dropped(QTcpSocket *socket);
    void readDatagrams();
    void schedule();
    void printLog();
    qint64 now() const { return m_testClock ? m_testClock() : m_clock.elapsed(); }

    PjlinkModel::Options m_options;
    std::unique_ptr<PjlinkModel> m_model;
    QElapsedTimer m_clock;
    QTcpServer m_server;
    QUdpSocket m_udp;
    QTimer m_serviceTimer;
    QMap<QTcpSocket *, int> m_connections;
    std::function<qint64()> m_testClock;
    QStringList m_lines;
};

#endif // PJLINKHOST_H
