#include "simprocess.h"

#include <QDeadlineTimer>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

SimProcess::SimProcess()
    : parentPid(::getpid())
{
    connect(this, &QProcess::readyReadStandardOutput, this, [this] { collect(); });
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier([parent = parentPid] { dieWithParent(parent); });
#endif
    clock.start();
}

SimProcess::~SimProcess()
{
    stop();
    // Nothing may reach collect() once this part of the object is gone.
    disconnect(this, &QProcess::readyReadStandardOutput, this, nullptr);
}

bool SimProcess::startSimulator(const QString &program, const QStringList &arguments)
{
    setProcessChannelMode(QProcess::ForwardedErrorChannel);
    start(program, arguments);
    if (!waitForStarted())
        return false;
    const bool spoke = QTest::qWaitFor(
        [this] { return !printed.isEmpty() || state() != QProcess::Running; }, 5000);
    return spoke && !printed.isEmpty()
        && (printed.first().startsWith("PTY /dev/") || printed.first().startsWith("LISTEN "));
}

void SimProcess::stop()
{
    if (state() == NotRunning)
        return;
    terminate();
    if (!waitForFinished(3000)) {
        kill();
        waitForFinished(3000);
    }
}

QList<QByteArray> SimProcess::received() const
{
    QList<QByteArray> commands;
    for (const QByteArray &line : printed) {
        if (line.startsWith("RX \"") && line.endsWith('"'))
            commands.append(line.mid(4, line.size() - 5));
    }
    return commands;
}

QList<qint64> SimProcess::arrivalsOf(const QByteArray &command) const
{
    QList<qint64> times;
    for (int i = 0; i < printed.size(); ++i) {
        if (printed.at(i) == "RX \"" + command + '"')
            times.append(stamps.at(i));
    }
    return times;
}

QByteArray SimProcess::replyTo(const QByteArray &command) const
{
    for (int i = printed.indexOf("RX \"" + command + '"') + 1; i > 0 && i < printed.size(); ++i) {
        const QByteArray &line = printed.at(i);
        if (line.startsWith("RX "))
            break;
        if (line.startsWith("TX \"") && line.endsWith('"'))
            return line.mid(4, line.size() - 5);
    }
    return QByteArray();
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void SimProcess::setupChildProcess()
{
    dieWithParent(parentPid);
}
#endif

// In the child, between fork and exec.
void SimProcess::dieWithParent(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127); // the test died before the line above took effect
}

void SimProcess::collect()
{
    while (canReadLine()) {
        printed.append(readLine().trimmed());
        stamps.append(clock.elapsed());
    }
}
