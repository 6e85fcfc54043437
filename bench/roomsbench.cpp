// The session engine with many projectors on 127.0.0.1: the Rooms view with
// N of them (time to a complete table, CPU while polling, memory, the
// longest stall of the event loop) and vantrelctl inventory and status with
// N (time, threads, memory). The projectors are PJLink simulators, many in
// one helper process, a few of them silent: they accept and never greet.
// status adds a few serial projectors, the simulator on pseudo-terminals of
// the same helper.
//
//   rooms-bench rooms N [SECONDS]    the view, polling SECONDS (default 30)
//   rooms-bench inventory N          vantrelctl --all --timeout 2 inventory
//   rooms-bench status N             vantrelctl --all --timeout 2 status
//
// VANTRELCTL=PATH runs another vantrelctl than the one built beside it.

#include "benchstore.h"
#include "pjlinkhost.h"
#include "procstatus.h"
#include "projectorlist.h"
#include "roomswindow.h"
#include "simulatorhost.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int Silent = 5;
// One in this many projectors of status is a serial one.
constexpr int SerialEvery = 50;
constexpr int TimeoutSeconds = 2;

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool isSilent(int i, int count)
{
    return i % (count / Silent) == 0;
}

bool isSerial(int i, bool withSerial)
{
    return withSerial && i % SerialEvery == SerialEvery / 2;
}

// The helper: count projectors, their ports written to portFile (a TCP
// port's number, or a pseudo-terminal's path for a serial one).
int serve(int count, const QString &portFile, bool withSerial)
{
    // Three descriptors for each PJLink projector (listener, datagrams, the
    // connection): more than a soft limit of 1024 allows.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    std::vector<std::unique_ptr<PjlinkHost>> hosts;
    std::vector<std::unique_ptr<QTcpServer>> silent;
    std::vector<std::unique_ptr<SimulatorHost>> serial;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        if (isSerial(i, withSerial)) {
            ProjectorModel::Options options;
            options.family = ProjectorModel::Family::Acer;
            options.lampOn = i % 2 == 0;
            serial.push_back(std::make_unique<SimulatorHost>(options));
            QString error;
            if (!serial.back()->open(&error))
                return 1;
            serial.back()->start();
            ports << serial.back()->slavePath();
            continue;
        }
        if (isSilent(i, count)) {
            silent.push_back(std::make_unique<QTcpServer>());
            if (!silent.back()->listen(QHostAddress::LocalHost))
                return 1;
            ports << QString::number(silent.back()->serverPort());
            continue;
        }
        PjlinkModel::Options options;
        options.lampOn = i % 2 == 0;
        hosts.push_back(std::make_unique<PjlinkHost>(options));
        QString error;
        if (!hosts.back()->listen(0, 0, &error))
            return 1;
        ports << QString::number(hosts.back()->tcpPort());
    }
    QFile file(portFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(ports.join(' ').toLatin1()) < 0)
        return 1;
    file.close();
    return QCoreApplication::exec();
}

struct Helper
{
    QProcess process;
    QStringList ports;

    bool start(int count, const QString &directory, bool withSerial = false)
    {
        const QString portFile = directory + QStringLiteral("/ports");
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QCoreApplication::applicationFilePath(),
                      { QStringLiteral("serve"), QString::number(count), portFile,
                        withSerial ? QStringLiteral("serial") : QString() });
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            QFile file(portFile);
            if (file.open(QIODevice::ReadOnly)) {
                ports = QString::fromLatin1(file.readAll()).split(' ', Qt::SkipEmptyParts);
                if (ports.size() == count)
                    return true;
            }
            process.waitForFinished(100);
        }
        return false;
    }
    ~Helper()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

bool storeProjectors(const QStringList &ports)
{
    ProjectorList list;
    for (int i = 0; i < ports.size(); ++i) {
        const bool serial = ports.at(i).startsWith(QLatin1Char('/'));
        if (!list.add({ QStringLiteral("room-%1").arg(i, 3, 10, QLatin1Char('0')), serial ? 0 : 3,
                        serial ? ports.at(i) : QStringLiteral("127.0.0.1:") + ports.at(i),
                        QString(), QStringLiteral("floor-%1").arg(i % 10) }))
            return false;
    }
    return list.write();
}

int rooms(int count, int seconds)
{
    BenchStore store;
    Helper helper;
    if (!store.isValid() || !helper.start(count, store.path()) || !storeProjectors(helper.ports))
        return 1;

    // The longest the event loop kept a 10 ms timer waiting beyond its time.
    QElapsedTimer beat;
    qint64 worstStall = 0;
    bool measuring = false;
    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        if (measuring)
            worstStall = qMax(worstStall, beat.elapsed() - 10);
        beat.restart();
    });

    QElapsedTimer opened;
    opened.start();
    RoomsWindow view;
    view.load();
    view.show();
    beat.start();
    heart.start(10);
    measuring = true;
    // Every answering projector shows its lamp state; the silent ones show
    // "No contact" from the start.
    const auto complete = [&] {
        for (int row = 0; row < view.model().rowCount(); ++row) {
            const bool silent = isSilent(row, count);
            if (!silent && view.model().stateAt(row).power < 0)
                return false;
        }
        return true;
    };
    const QDeadlineTimer limit(30000);
    while (!complete() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const qint64 completeMs = complete() ? opened.elapsed() : -1;

    // Polling: after the first reading, a steady state. The stalls are
    // measured apart: a timer every 10 ms would cost more than the polls.
    QTimer::singleShot(12000, [] { QCoreApplication::exit(); });
    QApplication::exec();
    worstStall = 0;
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(); });
    QApplication::exec();
    heart.stop();
    measuring = false;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(); });
    QApplication::exec();
    const double cpu = (cpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000);

    int reachable = 0;
    for (int row = 0; row < view.model().rowCount(); ++row)
        reachable += view.model().stateAt(row).reachable ? 1 : 0;
    std::printf("rooms: %d projectors (%d silent), %d answering\n", count, count / (count / Silent),
                reachable);
    std::printf("  table complete after %lld ms\n", static_cast<long long>(completeMs));
    std::printf("  CPU while polling every 10 s: %.2f %% of a core over %d s\n", cpu * 100,
                seconds);
    std::printf("  memory: %ld KiB peak (VmHWM), %ld KiB now (VmRSS)\n",
                procStatusKib("self", "VmHWM"), procStatusKib("self", "VmRSS"));
    std::printf("  longest event-loop stall while polling: %lld ms\n",
                static_cast<long long>(worstStall));
    return 0;
}

// vantrelctl --all --timeout 2 COMMAND on count projectors: its wall time,
// and its threads and peak memory sampled every 20 ms.
int fleetRun(const QString &command, int count, bool withSerial)
{
    BenchStore store;
    Helper helper;
    if (!store.isValid() || !helper.start(count, store.path(), withSerial)
        || !storeProjectors(helper.ports))
        return 1;
    int serial = 0;
    for (const QString &port : helper.ports)
        serial += port.startsWith(QLatin1Char('/')) ? 1 : 0;
    QProcess ctl;
    ctl.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    // $VANTRELCTL: another build of it, such as an earlier one to compare with.
    ctl.start(qEnvironmentVariableIsEmpty("VANTRELCTL") ? QStringLiteral(VANTRELCTL_EXE_PATH)
                                                        : qEnvironmentVariable("VANTRELCTL"),
              { QStringLiteral("--all"), QStringLiteral("--timeout"),
                QString::number(TimeoutSeconds), command });
    if (!ctl.waitForStarted())
        return 1;
    const QString pid = QString::number(ctl.processId());
    int threads = 0;
    long peak = 0;
    QByteArray output;
    while (!ctl.waitForFinished(20)) {
        threads = qMax(threads,
                       int(QDir(QStringLiteral("/proc/%1/task").arg(pid))
                               .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                               .size()));
        peak = qMax(peak, procStatusKib(pid.toStdString(), "VmHWM"));
        output += ctl.readAllStandardOutput();
    }
    const qint64 ms = wall.elapsed();
    output += ctl.readAllStandardOutput();
    const QByteArrayList lines = output.split('\n');
    int reported = 0;
    int unanswered = 0;
    for (const QByteArray &line : lines) {
        reported += line.startsWith("room-") ? 1 : 0;
        unanswered += line.contains("no answer") || line.contains(": error: ") ? 1 : 0;
    }
    if (command == QLatin1String("inventory"))
        reported = int(lines.size()) - 2; // the header, and the last line's end
    std::printf("%s: %d projectors (%d silent, %d serial), --timeout %d\n", qPrintable(command),
                count, count / (count / Silent), serial, TimeoutSeconds);
    std::printf("  took %lld ms, at most %d threads, %ld KiB peak (VmHWM, sampled)\n",
                static_cast<long long>(ms), threads, peak);
    if (command == QLatin1String("status"))
        std::printf("  %d lines, %d without an answer; goals: <= 8 threads %s, <= 64 MiB %s, "
                    "within %d s %s\n",
                    reported, unanswered, threads <= 8 ? "met" : "missed",
                    peak <= 64 * 1024 ? "met" : "missed", TimeoutSeconds + 1,
                    ms <= (TimeoutSeconds + 1) * 1000 ? "met" : "missed");
    else
        std::printf("  %d rows\n", reported);
    // Projectors that do not answer are what the run is for: only a crash
    // or a usage error counts against it.
    return ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() < 64 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const QString mode = arguments.value(0);
    const int count = qMax(Silent, arguments.value(1).toInt());
    if (mode == QLatin1String("serve")) {
        QCoreApplication app(argc, argv);
        return serve(count, arguments.value(2), arguments.value(3) == QLatin1String("serial"));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mode == QLatin1String("rooms"))
        return rooms(count, qMax(1, arguments.value(2).toInt() ? arguments.value(2).toInt() : 30));
    if (mode == QLatin1String("inventory"))
        return fleetRun(mode, count, false);
    if (mode == QLatin1String("status"))
        return fleetRun(mode, count, true);
    std::fprintf(stderr, "usage: rooms-bench rooms N [SECONDS] | inventory N | status N\n");
    return 64;
}
