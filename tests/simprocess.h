#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>

#include <sys/types.h>

// A child process that cannot outlive the test (ended by the destructor when a
// check returns early, killed by the kernel when the test itself dies), and
// the lines it prints, each stamped with when it reached the test. Run with
// projector-sim, the lines are the simulator's traffic log.
class SimProcess : public QProcess
{
public:
    SimProcess();
    ~SimProcess() override;

    // Starts the simulator and waits for the line that names its pty, or
    // (PJLink) its TCP and UDP ports.
    bool startSimulator(const QString &program, const QStringList &arguments);
    void stop();

    QList<QByteArray> lines() const { return printed; }
    // A PJLink simulator's address, "127.0.0.1:PORT", by TCP or by UDP.
    QString tcpAddress() const { return address(2); }
    QString udpAddress() const { return address(3); }
    bool has(const QByteArray &line) const { return printed.contains(line); }
    // The commands the simulator received, in order.
    QList<QByteArray> received() const;
    // Milliseconds after start at which each copy of command arrived.
    QList<qint64> arrivalsOf(const QByteArray &command) const;
    // What the simulator answered to the first copy of command; empty if nothing yet.
    QByteArray replyTo(const QByteArray &command) const;

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
protected:
    void setupChildProcess() override;
#endif

private:
    QString address(int field) const
    {
        return QStringLiteral("127.0.0.1:")
            + QString::fromLatin1(printed.value(0).split(' ').value(field));
    }
    static void dieWithParent(pid_t parent);
    void collect();

    const pid_t parentPid;
    QElapsedTimer clock;
    QList<QByteArray> printed;
    QList<qint64> stamps;
};
