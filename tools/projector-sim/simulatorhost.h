#ifndef SIMULATORHOST_H
#define SIMULATORHOST_H

#include "projectormodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// Puts a ProjectorModel on the master side of a pseudo-terminal: the program
// under test opens the slave as if it were the projector's serial port.
class SimulatorHost : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorHost(const ProjectorModel::Options &options, QObject *parent = nullptr);
    ~SimulatorHost() override;

    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }
    void start();

signals:
    void hungUp();

private:
    void readMaster();
    void writeMaster();
    void probeSlave();
    void service();
    void deliver();
    void queue(const QByteArray &bytes);
    void lineClosed();
    void schedule();
    void printLog();
    void note(const char *line);
    qint64 now() const { return m_clock.elapsed(); }

    ProjectorModel::Options m_options;
    std::unique_ptr<ProjectorModel> m_model;
    int m_fd = -1;
    QString m_slavePath;
    QElapsedTimer m_clock;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_serviceTimer;
    QTimer m_probeTimer;
    QByteArray m_outgoing;
    bool m_lineOpen = false;
    bool m_discardReported = false;
    bool m_overflowReported = false;
};

#endif // SIMULATORHOST_H
