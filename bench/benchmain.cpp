// Figures for docs/PERFORMANCE.md. bench/run-bench.sh runs every part.
//
//   vantrel-bench with-pty [--model N] [--absent | --hangup-after-ms MS] [--via raw|rfc2217|pjlink]
//   COMMAND...
//                                       runs COMMAND with a private settings
//                                       store whose "ComPort" is a fresh
//                                       pseudo-terminal ("Model" N, default
//                                       0); the bench is the silent projector
//                                       on its far side. --absent stores a
//                                       path that does not exist instead;
//                                       --hangup-after-ms closes the far side
//                                       MS after the start, as a cable pulled;
//                                       --via puts ser2net in front of the
//                                       pseudo-terminal and stores its address;
//                                       --via pjlink stores the simulator's
//                                       PJLink projector (class 2, password)
//                                       instead, and counts its commands
//   vantrel-bench idle SECONDS COMMAND... CPU time of COMMAND while idle
//   vantrel-bench latency [--via raw|rfc2217|pjlink] [COUNT]
//                                       click on "Model" to the command's
//                                       last byte on the far side, directly
//                                       or through ser2net; with pjlink,
//                                       click on Volume + to the simulator
//                                       logging the command
//   vantrel-bench behind [COUNT]         with pjlink, Volume + and at once
//                                       Volume -: the second click to the
//                                       simulator logging it
//   vantrel-bench fill                   a window connecting to the PJLink
//                                       simulator: the opened connection to
//                                       the last field of the page shown
//   vantrel-bench log-tick [LINES...]    one timer tick with "Debug" on, at
//                                       these log sizes
//   vantrel-bench chatter [--seconds S] [--rounds N] [--reply R] [--cap S] BAUD
//                                       R (default "*001") again and again
//                                       at the line's full rate for S
//                                       seconds (default 10), then "Lamp 1":
//                                       replies handled, and the time until
//                                       the lamp shows on (given up after
//                                       the cap, default 60 s); N-1 more
//                                       rounds of 1 s, lamp off and on
//   vantrel-bench flood [--no-cr] [SECONDS [CAP_MIB]]
//                                       random bytes as fast as the pseudo-
//                                       terminal takes them: memory, timer
//                                       lateness, ticks, the "Dropped" line;
//                                       --no-cr leaves out carriage returns,
//                                       so no reply ever completes
//   vantrel-bench days [DAYS...]         simulated days of polls with
//                                       "Debug" on, each answered, on the
//                                       bench's ticks: tick time, peak and
//                                       heap memory, log lines after each
//                                       number of days (default 1 7)
//   vantrel-bench ctl-start RUNS VANTRELCTL BARECORE
//                                       fork() to the poll's last byte on
//                                       the wire, vantrelctl against a bare
//                                       Qt Core program
//   vantrel-bench lost-device            1 s after the far side hangs up: a
//                                       raw QSerialPort, then the window
//   vantrel-bench startup-part bare|images|form|window
//                                       where the start goes, in-process:
//                                       QApplication, then an empty main
//                                       window, the images alone, the form
//                                       (setupUi) alone or the whole window,
//                                       then show() until exposed

#include "benchstore.h"
#include "farside.h"
#include "pjlinksim.h"
#include "procstatus.h"
#include "serialserver.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <linux/perf_event.h>
#include <malloc.h>
#include <memory>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int usage();

double microseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Instructions this thread retires, in user space; -1 where the kernel
// gives no hardware counters (a virtual machine may not).
class InstructionCounter
{
public:
    InstructionCounter()
    {
        perf_event_attr attr {};
        attr.type = PERF_TYPE_HARDWARE;
        attr.size = sizeof attr;
        attr.config = PERF_COUNT_HW_INSTRUCTIONS;
        attr.exclude_kernel = 1;
        attr.exclude_hv = 1;
        fd = int(syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0));
    }
    ~InstructionCounter()
    {
        if (fd >= 0)
            close(fd);
    }
    long long read() const
    {
        long long count = -1;
        if (fd < 0 || ::read(fd, &count, sizeof count) != sizeof count)
            return -1;
        return count;
    }

private:
    int fd = -1;
};

// Heap in use rather than resident size: freed memory that the allocator
// keeps would hide what a log of the next size costs.
double heapMib()
{
    return double(mallinfo2().uordblks) / (1024 * 1024);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// quiet: the program's standard output goes to /dev/null.
pid_t start(char **command, bool quiet = false)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0)
                dup2(null, STDOUT_FILENO);
        }
        execvp(command[0], command);
        std::perror("vantrel-bench: exec");
        _exit(127);
    }
    return pid;
}

int exitCode(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Counts the attempts to open a port from outside, for free: QSerialPort
// takes a UUCP lock file (/var/lock/LCK..NAME) before each open of a device.
class OpenCounter
{
public:
    explicit OpenCounter(const QString &port)
        : lockSuffix(QString(port).replace(QLatin1Char('/'), QLatin1Char('_')).toLocal8Bit())
        , watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (watch >= 0)
            inotify_add_watch(watch, "/var/lock", IN_CREATE);
    }
    ~OpenCounter()
    {
        if (watch >= 0)
            close(watch);
    }
    OpenCounter(const OpenCounter &) = delete;
    OpenCounter &operator=(const OpenCounter &) = delete;

    void wait(int timeoutMs)
    {
        pollfd waiting { watch, POLLIN, 0 };
        ::poll(&waiting, watch >= 0 ? 1 : 0, timeoutMs);
    }
    // The opens seen so far.
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t length;
        while (watch >= 0 && (length = ::read(watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                const QByteArray name = event->len ? QByteArray(event->name) : QByteArray();
                // pts/3 locks as LCK..pts_3, /tmp/x/y as LCK.._tmp_x_y.
                if (name.startsWith("LCK..") && lockSuffix.endsWith(name.mid(5)))
                    ++opens;
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        }
        return opens;
    }

private:
    QByteArray lockSuffix;
    int watch = -1;
    int opens = 0;
};

int withPjlink(BenchStore &store, char **command);

int withPty(int argc, char **argv)
{
    int model = 0;
    bool absent = false;
    int hangUpAfterMs = -1;
    const char *via = nullptr;
    int first = 0;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const QByteArray option = argv[first];
        if (option == "--absent")
            absent = true;
        else if (option == "--model" && first + 1 < argc)
            model = std::atoi(argv[++first]);
        else if (option == "--hangup-after-ms" && first + 1 < argc)
            hangUpAfterMs = std::atoi(argv[++first]);
        else if (option == "--via" && first + 1 < argc)
            via = argv[++first];
        else
            return usage();
    }
    const bool pjlink = via && std::strcmp(via, "pjlink") == 0;
    BenchSerialServer::Kind kind = BenchSerialServer::Kind::Raw;
    if (via && !pjlink && !BenchSerialServer::kindOf(via, &kind))
        return usage();
    if (first >= argc)
        return usage();
    char **command = argv + first;

    BenchStore store;
    FarSide farSide;
    if (!store.isValid() || !farSide.isOpen()) {
        std::fprintf(stderr, "vantrel-bench: no store or no pseudo-terminal\n");
        return 2;
    }
    const QString port
        = absent ? store.path() + QStringLiteral("/no-such-port") : farSide.slavePath();
    if (absent)
        farSide.hangUp();
    if (pjlink)
        return withPjlink(store, command);
    // Through ser2net: the program gets its address, the far side stays the same.
    std::unique_ptr<BenchSerialServer> server;
    if (via) {
        server = std::make_unique<BenchSerialServer>(store.path(), port, kind);
        if (server->address().isEmpty()) {
            std::fprintf(stderr, "vantrel-bench: ser2net did not start\n");
            return 2;
        }
    }
    store.choose(server ? server->address() : port, model);
    OpenCounter opens(port);
    const Clock::time_point started = Clock::now();
    const pid_t pid = start(command);
    long received = 0;
    bool hungUp = false;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (farSide.isOpen())
            received += farSide.read(100).size();
        else
            opens.wait(100);
        opens.count();
        if (!absent && !hungUp && hangUpAfterMs >= 0
            && Clock::now() - started >= std::chrono::milliseconds(hangUpAfterMs)) {
            farSide.hangUp();
            hungUp = true;
        }
    }
    const double seconds = microseconds(Clock::now() - started) / 1e6;
    if (absent)
        std::fprintf(stderr, "far side: none, the port (%s) does not exist", qPrintable(port));
    else
        std::fprintf(stderr, "far side (%s) read %ld bytes%s", qPrintable(port), received,
                     hungUp ? ", then hung up" : "");
    std::fprintf(stderr, "; %d opens of the port in %.1f s\n", opens.count(), seconds);
    return exitCode(status);
}

int withPjlink(BenchStore &store, char **command)
{
    BenchPjlinkSim sim(store.path());
    if (sim.address().isEmpty()) {
        std::fprintf(stderr, "vantrel-bench: the PJLink simulator did not start\n");
        return 2;
    }
    store.chooseWithPassword(sim.address(), 3, sim.password());
    const Clock::time_point started = Clock::now();
    const pid_t pid = start(command);
    long commands = 0;
    long connections = 0;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        const QByteArray line = sim.readLine(100);
        if (line.startsWith("RX "))
            ++commands;
        else if (line.startsWith("-- connection") && line.endsWith("opened"))
            ++connections;
    }
    const double seconds = microseconds(Clock::now() - started) / 1e6;
    std::fprintf(stderr, "PJLink simulator (%s) read %ld commands; %ld connections in %.1f s\n",
                 qPrintable(sim.address()), commands, connections, seconds);
    return exitCode(status);
}

struct CpuSample
{
    double seconds = 0; // user + system, from /proc/<pid>/stat
    double wall = 0;
};

CpuSample cpuOf(pid_t pid)
{
    CpuSample sample;
    sample.wall = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE *file = std::fopen(path, "r");
    if (!file)
        return sample;
    char text[1024] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    // The command name may hold blanks and brackets; fields count from the last ')'.
    const char *field = std::strrchr(text, ')');
    unsigned long utime = 0;
    unsigned long stime = 0;
    if (field
        && std::sscanf(field + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                       &stime)
            == 2)
        sample.seconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    return sample;
}

int idle(double seconds, char **command)
{
    const pid_t pid = start(command);
    // Start-up is not idle time.
    sleep(5);
    const CpuSample before = cpuOf(pid);
    usleep(useconds_t(seconds * 1e6));
    const CpuSample after = cpuOf(pid);
    int status = 0;
    const bool running = waitpid(pid, &status, WNOHANG) == 0;
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    if (!running) {
        std::fprintf(stderr, "vantrel-bench: %s ended while idle\n", command[0]);
        return 1;
    }
    const double cpu = after.seconds - before.seconds;
    const double wall = after.wall - before.wall;
    std::printf("idle_cpu_s=%.3f wall_s=%.1f idle_cpu_percent=%.3f\n", cpu, wall,
                100.0 * cpu / wall);
    return 0;
}

// A window on its own pseudo-terminal and store, as the user would have it.
struct Rig
{
    BenchStore store;
    FarSide farSide;
    QApplication *app = nullptr;
    Vantrel *window = nullptr;
    std::unique_ptr<BenchSerialServer> server;
    std::unique_ptr<BenchPjlinkSim> pjlink;

    // via: null for the pseudo-terminal itself, "raw" or "rfc2217" for
    // ser2net in front of it, "pjlink" for the simulator's PJLink projector.
    bool setUp(int &argc, char **argv, const char *via = nullptr)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!store.isValid() || !farSide.isOpen())
            return false;
        QString port = farSide.slavePath();
        if (via && std::strcmp(via, "pjlink") == 0) {
            pjlink = std::make_unique<BenchPjlinkSim>(store.path());
            if (pjlink->address().isEmpty())
                return false;
            store.chooseWithPassword(pjlink->address(), 3, pjlink->password());
        } else if (via) {
            BenchSerialServer::Kind kind;
            if (!BenchSerialServer::kindOf(via, &kind))
                return false;
            server = std::make_unique<BenchSerialServer>(store.path(), port, kind);
            port = server->address();
            if (port.isEmpty())
                return false;
        }
        if (!pjlink)
            store.choose(port, 0);
        app = new QApplication(argc, argv);
        window = new Vantrel;
        window->show();
        // A network link opens from the event loop.
        return QTest::qWaitForWindowExposed(window)
            && QTest::qWaitFor([this] { return VantrelProbe::serialPort(*window).isOpen(); },
                               10000);
    }

    ~Rig()
    {
        delete window;
        delete app;
    }
};

// Volume + is a class 2 command that changes nothing the window reads back,
// so each click is one command and its answer.
int pjlinkLatency(Rig &rig, int count)
{
    auto *button = rig.window->findChild<QAbstractButton *>(QStringLiteral("pjVolumeUp"));
    // Enabled once the class is known, after the login and the first queries.
    if (!button || !QTest::qWaitFor([button] { return button->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "vantrel-bench: Volume + never became usable\n");
        return 2;
    }
    std::atomic<bool> stop { false };
    std::atomic<int> seen { 0 };
    std::atomic<int> answered { 0 };
    std::atomic<Clock::rep> seenAt { 0 };
    std::thread reader([&] {
        while (!stop) {
            const QByteArray line = rig.pjlink->readLine(20);
            // Polls share the connection; only the command and its answer count.
            if (line.startsWith("RX ") && line.endsWith("SVOL 1\"")) {
                seenAt = Clock::now().time_since_epoch().count();
                ++seen;
            } else if (line.startsWith("TX ") && line.contains("SVOL=")) {
                ++answered;
            } else {
                continue;
            }
            QMetaObject::invokeMethod(
                qApp, [] {}, Qt::QueuedConnection);
        }
    });

    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const int expected = seen + 1;
        const Clock::time_point clicked = Clock::now();
        QTest::mouseClick(button, Qt::LeftButton);
        QElapsedTimer guard;
        guard.start();
        // The answer too, so the next click does not queue behind this one.
        while ((seen < expected || answered < expected) && guard.elapsed() < 7000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (seen < expected) {
            std::fprintf(stderr, "vantrel-bench: click %d never reached the simulator\n", i);
            break;
        }
        samples.push_back(microseconds(Clock::time_point(Clock::duration(seenAt)) - clicked));
        // A click on an idle connection: whatever a tick would send has gone.
        QTest::qWait(2 * VantrelProbe::pollTimer(*rig.window).interval() + 50);
    }
    stop = true;
    reader.join();
    if (int(samples.size()) != count)
        return 1;
    std::printf("clicks=%d median_us=%.0f worst_us=%.0f\n", count, median(samples),
                *std::max_element(samples.begin(), samples.end()));
    return 0;
}

// A click that meets a command under way: Volume + and, at once, Volume -;
// the time is the second click's, to "%2SVOL 0" logged by the simulator.
int pjlinkBehind(int &argc, char **argv, int count)
{
    Rig rig;
    if (!rig.setUp(argc, argv, "pjlink")) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    auto *up = rig.window->findChild<QAbstractButton *>(QStringLiteral("pjVolumeUp"));
    auto *down = rig.window->findChild<QAbstractButton *>(QStringLiteral("pjVolumeDown"));
    if (!up || !down || !QTest::qWaitFor([up] { return up->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "vantrel-bench: Volume + never became usable\n");
        return 2;
    }
    // Whatever the connection asks first is done before the clicks.
    QTest::qWait(2000);
    std::atomic<bool> stop { false };
    std::atomic<int> seen { 0 };
    std::atomic<int> answered { 0 };
    std::atomic<Clock::rep> seenAt { 0 };
    std::thread reader([&] {
        while (!stop) {
            const QByteArray line = rig.pjlink->readLine(20);
            if (line.startsWith("RX ") && line.endsWith("SVOL 0\"")) {
                seenAt = Clock::now().time_since_epoch().count();
                ++seen;
            } else if (line.startsWith("TX ") && line.contains("SVOL=")) {
                ++answered;
            } else {
                continue;
            }
            QMetaObject::invokeMethod(
                qApp, [] {}, Qt::QueuedConnection);
        }
    });
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const int expected = seen + 1;
        const int answers = answered + 2;
        QTest::mouseClick(up, Qt::LeftButton);
        const Clock::time_point clicked = Clock::now();
        QTest::mouseClick(down, Qt::LeftButton);
        QElapsedTimer guard;
        guard.start();
        while ((seen < expected || answered < answers) && guard.elapsed() < 7000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (seen < expected) {
            std::fprintf(stderr, "vantrel-bench: click %d never reached the simulator\n", i);
            break;
        }
        samples.push_back(microseconds(Clock::time_point(Clock::duration(seenAt)) - clicked));
        QTest::qWait(2 * VantrelProbe::pollTimer(*rig.window).interval() + 50);
    }
    stop = true;
    reader.join();
    if (int(samples.size()) != count)
        return 1;
    std::printf("clicks=%d median_us=%.0f worst_us=%.0f\n", count, median(samples),
                *std::max_element(samples.begin(), samples.end()));
    return 0;
}

// From the connection's opening to the last field of the class 2 page shown:
// the name, make and model, class, lamps, filter, resolution, the inputs by
// their own names with the current one chosen, and the health row.
bool pageComplete(Vantrel &window)
{
    const auto text = [&window](const char *name) {
        auto *label = window.findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QString();
    };
    for (const char *name :
         { "pjNameValue", "pjMakeValue", "pjClassValue", "pjLampsValue", "pjFilterValue" }) {
        if (text(name).isEmpty() || text(name) == QLatin1String("-"))
            return false;
    }
    if (text("pjResolutionValue").isEmpty())
        return false;
    auto *inputs = window.findChild<QComboBox *>(QStringLiteral("pjInputCbx"));
    if (!inputs || inputs->count() != 6 || inputs->currentIndex() < 0
        || inputs->itemText(5) != QLatin1String("HDBaseT"))
        return false;
    auto *health = window.findChild<QLabel *>(QStringLiteral("pjOtherHealth"));
    return health && !health->toolTip().contains(QLatin1String("not known"));
}

int pjlinkFill(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchStore store;
    BenchPjlinkSim sim(store.path());
    if (!store.isValid() || sim.address().isEmpty()) {
        std::fprintf(stderr, "vantrel-bench: the PJLink simulator did not start\n");
        return 2;
    }
    store.chooseWithPassword(sim.address(), 3, sim.password());
    QApplication app(argc, argv);
    Vantrel window;
    Clock::time_point opened {};
    bool open = false;
    QObject::connect(&VantrelProbe::serialPort(window), &ProjectorLink::opened, &window, [&] {
        opened = Clock::now();
        open = true;
    });
    window.show();
    QElapsedTimer guard;
    guard.start();
    while (!(open && pageComplete(window)) && guard.elapsed() < 180000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!open || !pageComplete(window)) {
        std::fprintf(stderr, "vantrel-bench: the page was not complete within 180 s\n");
        return 1;
    }
    std::printf("connect_to_complete_ms=%.1f\n", microseconds(Clock::now() - opened) / 1000);
    return 0;
}

int latency(int &argc, char **argv, int count, const char *via)
{
    Rig rig;
    if (!rig.setUp(argc, argv, via)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    if (rig.pjlink)
        return pjlinkLatency(rig, count);
    auto *button = rig.window->findChild<QAbstractButton *>(QStringLiteral("queryModel"));
    if (!button)
        return 2;

    // A reader thread, so the far side takes the bytes the moment the kernel
    // has them, whatever the GUI thread is doing.
    std::atomic<bool> stop { false };
    std::atomic<int> seen { 0 };
    std::atomic<Clock::rep> seenAt { 0 };
    std::thread reader([&] {
        QByteArray line;
        while (!stop) {
            const QByteArray bytes = rig.farSide.read(20);
            for (char byte : bytes) {
                if (byte != '\r') {
                    line.append(byte);
                    continue;
                }
                // Status polls share the line; only the command counts.
                if (line == "* 0 IR 035") {
                    seenAt = Clock::now().time_since_epoch().count();
                    ++seen;
                    QMetaObject::invokeMethod(
                        qApp, [] {}, Qt::QueuedConnection);
                }
                line.clear();
            }
        }
    });

    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const int expected = seen + 1;
        const Clock::time_point clicked = Clock::now();
        QTest::mouseClick(button, Qt::LeftButton);
        QElapsedTimer guard;
        guard.start();
        while (seen < expected && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (seen < expected) {
            std::fprintf(stderr, "vantrel-bench: click %d never reached the far side\n", i);
            break;
        }
        samples.push_back(microseconds(Clock::time_point(Clock::duration(seenAt)) - clicked));
    }
    stop = true;
    reader.join();
    if (int(samples.size()) != count)
        return 1;
    std::printf("clicks=%d median_us=%.0f worst_us=%.0f\n", count, median(samples),
                *std::max_element(samples.begin(), samples.end()));
    return 0;
}

// Runs whatever the window left for the event loop (layout, repaint).
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

double timeOnce(const std::function<void()> &work)
{
    const Clock::time_point start = Clock::now();
    work();
    return microseconds(Clock::now() - start);
}

int logTick(int &argc, char **argv, const std::vector<int> &sizes)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    Vantrel &w = *rig.window;
    ProjectorLink &port = VantrelProbe::serialPort(w);
    // The bench calls the tick itself, so nothing else runs between ticks.
    VantrelProbe::pollTimer(w).stop();
    rig.window->findChild<QCheckBox *>(QStringLiteral("debugCheckBox"))->setChecked(true);
    rig.window->findChild<QAbstractButton *>(QStringLiteral("info"))->click();
    settle();

    const QByteArray reply = "LAMP 1\r";
    // What a debug session writes: a poll, its bytes, the reply.
    const QStringList trafficLines
        = { QStringLiteral("< 2a 20 30 20 4c 61 6d 70 20 3f 0d\n"),
            QStringLiteral("> 4c 41 4d 50 20 31 0d \n"), QStringLiteral("-> LAMP 1\n") };
    const int ticks = 60;
    const InstructionCounter counter;
    std::printf("%-8s %8s %14s %8s %12s %10s %8s %8s\n", "lines", "tick_us", "tick+paint_us",
                "log_us", "log_kinstr", "scroll_us", "fill_s", "log_MiB");
    for (int lines : sizes) {
        rig.window->findChild<QAbstractButton *>(QStringLiteral("clearLog"))->click();
        // Line by line, as a session fills it: the document's undo history
        // and block structure then look like a real one's.
        settle();
        const double heapBefore = heapMib();
        const Clock::time_point fillStart = Clock::now();
        for (int i = 0; i < lines; ++i)
            VantrelProbe::log(w, trafficLines.at(i % trafficLines.size()));
        VantrelProbe::log(w)->ensureCursorVisible();
        settle();
        const double fillSeconds = microseconds(Clock::now() - fillStart) / 1e6;
        const double logMib = heapMib() - heapBefore;

        std::vector<double> tick, tickAndPaint, logOnly, scrollOnly, logInstructions;
        for (int i = 0; i < ticks; ++i) {
            rig.farSide.write(reply);
            while (port.bytesAvailable() < reply.size() && port.waitForReadyRead(1000)) { }
            rig.farSide.read(0); // the poll the tick may send
            const Clock::time_point start = Clock::now();
            VantrelProbe::onTimer(w);
            const Clock::time_point ticked = Clock::now();
            settle();
            tick.push_back(microseconds(ticked - start));
            tickAndPaint.push_back(microseconds(Clock::now() - start));
            const long long instructionsBefore = counter.read();
            logOnly.push_back(timeOnce([&] { VantrelProbe::log(w, QStringLiteral("-> P1\n")); }));
            logInstructions.push_back(double(counter.read() - instructionsBefore) / 1000);
            scrollOnly.push_back(timeOnce([&] { VantrelProbe::log(w)->ensureCursorVisible(); }));
            settle();
        }
        const QByteArray instructions = counter.read() < 0
            ? QByteArray("n/a")
            : QByteArray::number(median(logInstructions), 'f', 0);
        std::printf("%-8d %8.0f %14.0f %8.0f %12s %10.0f %8.1f %8.1f\n", lines, median(tick),
                    median(tickAndPaint), median(logOnly), instructions.constData(),
                    median(scrollOnly), fillSeconds, logMib);
        std::fflush(stdout);
    }
    return 0;
}

// Days of polls as the timer would run them, every one answered at once,
// with "Debug" on: what a window left open in a control room goes through.
int days(int &argc, char **argv, const std::vector<int> &checkpoints)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    Vantrel &w = *rig.window;
    ProjectorLink &port = VantrelProbe::serialPort(w);
    VantrelProbe::pollTimer(w).stop();
    rig.window->findChild<QCheckBox *>(QStringLiteral("debugCheckBox"))->setChecked(true);
    rig.window->findChild<QAbstractButton *>(QStringLiteral("info"))->click();
    settle();

    constexpr qint64 TicksADay = qint64(24) * 3600 * 10;
    const QByteArray reply = "LAMP 1\r";
    // One tick: the poll, when one goes out, answered before the next.
    const auto tick = [&] {
        VantrelProbe::onTimer(w);
        if (!rig.farSide.read(0).isEmpty()) {
            rig.farSide.write(reply);
            while (port.bytesAvailable() < reply.size() && port.waitForReadyRead(1000)) { }
        }
    };
    std::printf("%-5s %10s %14s %10s %10s %8s %8s\n", "days", "tick_us", "tick+paint_us",
                "peak_MiB", "heap_MiB", "lines", "run_s");
    qint64 ticked = 0;
    const Clock::time_point begin = Clock::now();
    for (const int day : checkpoints) {
        for (; ticked < day * TicksADay; ++ticked) {
            tick();
            // What the event loop would do between ticks, now and then.
            if (ticked % 1000 == 0)
                settle();
        }
        // Ticks that read a reply, the dearest kind, as logTick times them.
        std::vector<double> tickTimes, tickAndPaint;
        for (int i = 0; i < 60; ++i) {
            rig.farSide.write(reply);
            while (port.bytesAvailable() < reply.size() && port.waitForReadyRead(1000)) { }
            rig.farSide.read(0);
            const Clock::time_point start = Clock::now();
            VantrelProbe::onTimer(w);
            const Clock::time_point done = Clock::now();
            settle();
            tickTimes.push_back(microseconds(done - start));
            tickAndPaint.push_back(microseconds(Clock::now() - start));
        }
        std::printf("%-5d %10.0f %14.0f %10.1f %10.1f %8d %8.1f\n", day, median(tickTimes),
                    median(tickAndPaint), double(procStatusKib("self", "VmHWM")) / 1024, heapMib(),
                    VantrelProbe::log(w)->document()->blockCount() - 1,
                    microseconds(Clock::now() - begin) / 1e6);
        std::fflush(stdout);
    }
    return 0;
}

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

long ownStatusKib(const char *field)
{
    return procStatusKib("self", field);
}

// CPU time of this process, every thread.
double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int logCount(Vantrel &w, const QString &text)
{
    return VantrelProbe::log(w)->toPlainText().count(text);
}

// Runs the event loop until done() holds or the time is up. (processEvents
// with a time limit never waits: it would spin and be measured too.)
void runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QTimer wakeUp;
    wakeUp.start(20);
    QElapsedTimer guard;
    guard.start();
    while (!done() && guard.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct ChatterOptions
{
    int baud = 9600;
    double seconds = 10;
    int rounds = 1;
    QByteArray reply = "*001";
    double capSeconds = 60;
};

// A projector that chatters: the far side sends reply after reply at the
// rate a serial line of that speed carries (a pseudo-terminal has no speed
// of its own), then a lamp report; further rounds chatter for a second each
// and report the other lamp state. The window's own 100 ms timer runs.
int chatter(int &argc, char **argv, const ChatterOptions &options)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    Vantrel &w = *rig.window;
    const QString refused = QStringLiteral("Command not available at the moment.");
    const int refusedBefore = logCount(w, refused);

    const double bytesPerSecond = options.baud / 10.0;
    const QByteArray chatterReply = options.reply + '\r';
    auto repliesIn
        = [&](double seconds) { return int(seconds * bytesPerSecond) / int(chatterReply.size()); };
    QByteArray stream;
    std::vector<int> reportEnds; // offsets just past each report
    long sent = 0;
    for (int round = 0; round < options.rounds; ++round) {
        const int replies = repliesIn(round == 0 ? options.seconds : 1.0);
        stream += chatterReply.repeated(replies);
        sent += replies;
        stream += round % 2 ? QByteArray("Lamp 0\r") : QByteArray("Lamp 1\r");
        reportEnds.push_back(int(stream.size()));
    }

    std::atomic<bool> stop { false };
    std::vector<std::atomic<Clock::rep>> reportAt(reportEnds.size());
    for (auto &at : reportAt)
        at = 0;
    std::thread writer([&] {
        const Clock::time_point begin = Clock::now();
        int written = 0;
        std::size_t next = 0;
        for (int step = 1; written < stream.size() && !stop; ++step) {
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(step));
            const double due = microseconds(Clock::now() - begin) / 1e6 * bytesPerSecond;
            const int count = std::min(int(due) - written, int(stream.size()) - written);
            if (count <= 0 || !rig.farSide.write(stream.mid(written, count)))
                continue;
            written += count;
            const Clock::rep now = Clock::now().time_since_epoch().count();
            for (; next < reportEnds.size() && reportEnds[next] <= written; ++next)
                reportAt[next] = now;
            rig.farSide.read(0); // the window's polls
        }
    });

    // Connected after the window's own slot, so it sees what that tick did.
    std::vector<Clock::time_point> ticks;
    std::vector<Clock::time_point> shownAt;
    QObject::connect(&VantrelProbe::pollTimer(w), &QTimer::timeout, &w, [&] {
        ticks.push_back(Clock::now());
        const std::size_t round = shownAt.size();
        if (round < reportAt.size() && reportAt[round] != 0
            && VantrelProbe::projectorOn(w) == (round % 2 == 0))
            shownAt.push_back(ticks.back());
    });
    runUntil(
        [&] {
            // A window that lags far behind is given up on.
            const std::size_t round = shownAt.size();
            const bool late = round < reportAt.size() && reportAt[round] != 0
                && Clock::now() - Clock::time_point(Clock::duration(reportAt[round]))
                    > std::chrono::duration<double>(options.capSeconds);
            return shownAt.size() == reportAt.size() || late;
        },
        int((options.seconds + options.rounds + options.capSeconds) * 1000) + 5000);
    stop = true;
    writer.join();

    const int handled = logCount(w, refused) - refusedBefore;
    std::printf("baud=%d chatter_s=%.0f reply=\"%s\\r\" sent=%ld", options.baud, options.seconds,
                options.reply.constData(), sent);
    if (shownAt.size() < reportAt.size()) {
        // Given up on: what is not handled yet may still come.
        if (options.reply == "*001")
            std::printf(" handled_by_then=%d waiting=%ld", handled, sent - handled);
        std::printf(" lag_ms=>%.0f (report %zu of %zu not shown within %.0f s)\n",
                    options.capSeconds * 1000, shownAt.size() + 1, reportAt.size(),
                    options.capSeconds);
        return 0;
    }
    if (options.reply == "*001")
        std::printf(" handled=%d lost=%ld", handled, sent - handled);
    std::vector<double> lags;
    long worstTicks = 0;
    for (std::size_t round = 0; round < shownAt.size(); ++round) {
        const Clock::time_point sentAt(Clock::duration(reportAt[round].load()));
        lags.push_back(milliseconds(shownAt[round] - sentAt));
        worstTicks = std::max<long>(
            worstTicks, std::count_if(ticks.begin(), ticks.end(), [&](Clock::time_point t) {
                return t > sentAt && t <= shownAt[round];
            }));
    }
    std::printf(" lag_ms=%.1f", lags.front());
    if (options.rounds > 1)
        std::printf(" rounds=%zu/%d lag_median_ms=%.1f lag_worst_ms=%.1f", lags.size(),
                    options.rounds, median(lags), *std::max_element(lags.begin(), lags.end()));
    std::printf(" ticks_until_shown_worst=%ld\n", worstTicks);
    return 0;
}

// A line gone mad: random bytes, as fast as the pseudo-terminal takes them.
int flood(int &argc, char **argv, double seconds, long capMib, bool withoutCr)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    Vantrel &w = *rig.window;
    const int master = rig.farSide.fd();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    QByteArray noise(1 << 20, Qt::Uninitialized);
    std::mt19937 random(20261208);
    for (char &byte : noise) {
        do
            byte = char(random() & 0xff);
        while (withoutCr && byte == '\r');
    }

    settle();
    const long hwmBefore = ownStatusKib("VmHWM");
    std::atomic<bool> stop { false };
    std::atomic<bool> capped { false };
    std::atomic<long long> written { 0 };
    std::thread writer([&] {
        int offset = 0;
        Clock::time_point checked = Clock::now();
        char discard[4096];
        while (!stop) {
            pollfd waiting { master, POLLOUT | POLLIN, 0 };
            if (::poll(&waiting, 1, 20) <= 0)
                continue;
            if (waiting.revents & POLLIN)
                while (::read(master, discard, sizeof discard) > 0) { }
            if (waiting.revents & POLLOUT) {
                const ssize_t count = ::write(master, noise.constData() + offset,
                                              size_t(std::min(4096, int(noise.size()) - offset)));
                if (count > 0) {
                    written += count;
                    offset = (offset + int(count)) % int(noise.size());
                }
            }
            if (Clock::now() - checked > std::chrono::milliseconds(100)) {
                checked = Clock::now();
                if (ownStatusKib("VmRSS") > capMib * 1024) {
                    capped = true;
                    stop = true;
                }
            }
        }
    });

    // What a user's click or repaint would wait for: a 10 ms timer's lateness.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    Clock::time_point last = Clock::now();
    double worstLateMs = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        worstLateMs = std::max(worstLateMs, milliseconds(now - last) - 10);
        last = now;
    });
    long ticks = 0;
    const QMetaObject::Connection counting
        = QObject::connect(&VantrelProbe::pollTimer(w), &QTimer::timeout, [&] { ++ticks; });
    const Clock::time_point begin = Clock::now();
    probe.start();
    runUntil([&] { return capped.load(); }, int(seconds * 1000));
    stop = true;
    probe.stop();
    QObject::disconnect(counting);
    const double floodSeconds = microseconds(Clock::now() - begin) / 1e6;
    writer.join();
    const long hwmFlood = ownStatusKib("VmHWM");

    // The drop is reported once the flood has been over for a second.
    runFor(2000);
    const QString text = VantrelProbe::log(w)->toPlainText();
    const int dropLines = text.count(QStringLiteral("Dropped "));
    const int at = text.lastIndexOf(QStringLiteral("Dropped "));
    const long long dropped
        = at < 0 ? 0 : text.mid(at + 8).section(QLatin1Char(' '), 0, 0).toLongLong();
    std::printf("flood_s=%.1f%s written_mib=%.1f dropped_mib=%.1f vmhwm_before_mib=%.1f "
                "vmhwm_growth_mib=%.1f timer10ms_worst_late_ms=%.1f ticks=%ld/%.0f "
                "dropped_lines=%d log_blocks=%d\n",
                floodSeconds, capped ? " (stopped at the memory cap)" : "",
                double(written) / (1 << 20), double(dropped) / (1 << 20), hwmBefore / 1024.0,
                (hwmFlood - hwmBefore) / 1024.0, worstLateMs, ticks, floodSeconds * 10, dropLines,
                VantrelProbe::log(w)->document()->blockCount());
    return 0;
}

// From fork() to the carriage return that ends what the program writes
// first; the far side then answers a poll so the program can finish.
struct StartRun
{
    double ms = -1;
    int exit = -1;
    QByteArray line;
};

StartRun startToWire(std::vector<QByteArray> arguments, const QByteArray &answer)
{
    StartRun run;
    FarSide farSide;
    if (!farSide.isOpen())
        return run;
    for (QByteArray &argument : arguments)
        argument.replace("{port}", farSide.slavePath().toLocal8Bit());
    std::vector<char *> command;
    for (QByteArray &argument : arguments)
        command.push_back(argument.data());
    command.push_back(nullptr);

    const Clock::time_point forked = Clock::now();
    const pid_t pid = start(command.data(), true);
    QElapsedTimer guard;
    guard.start();
    while (!run.line.endsWith('\r') && guard.elapsed() < 10000) {
        const QByteArray bytes = farSide.read(5);
        for (char byte : bytes) {
            run.line.append(byte);
            if (byte == '\r') {
                run.ms = milliseconds(Clock::now() - forked);
                break;
            }
        }
    }
    if (!answer.isEmpty())
        farSide.write(answer);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit = exitCode(status);
    return run;
}

int ctlStart(int runs, const char *vantrelctl, const char *barecore)
{
    BenchStore store;
    const std::vector<QByteArray> ctl
        = { vantrelctl, "--port", "{port}", "--family", "acer", "--timeout", "2", "status" };
    const std::vector<QByteArray> bare = { barecore, "{port}" };
    // Untimed, to warm the file cache.
    startToWire(ctl, "Lamp 1\r");
    startToWire(bare, QByteArray());
    std::vector<double> ctlMs, bareMs;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const StartRun c = startToWire(ctl, "Lamp 1\r");
        const StartRun b = startToWire(bare, QByteArray());
        if (c.ms < 0 || c.exit != 0 || c.line != "* 0 Lamp ?\r" || b.ms < 0 || b.exit != 0) {
            std::fprintf(stderr,
                         "vantrel-bench: run %d: vantrelctl wrote \"%s\", exit %d; "
                         "barecore exit %d\n",
                         i, c.line.trimmed().constData(), c.exit, b.exit);
            ++failures;
            continue;
        }
        ctlMs.push_back(c.ms);
        bareMs.push_back(b.ms);
    }
    if (ctlMs.empty())
        return 1;
    const double c = median(ctlMs);
    const double b = median(bareMs);
    std::printf("vantrelctl status: %.1f ms to its poll's last byte; bare Qt Core program: %.1f ms "
                "(ratio %.2f)\n",
                c, b, c / b);
    std::printf("  medians of %zu runs (minimum %.1f and %.1f ms); every vantrelctl exited 0: %s\n",
                ctlMs.size(), *std::min_element(ctlMs.begin(), ctlMs.end()),
                *std::min_element(bareMs.begin(), bareMs.end()), failures ? "no" : "yes");
    return failures ? 1 : 0;
}

struct LossFigures
{
    long errors = 0;
    long goneErrors = 0; // ReadError, ResourceError
    double cpuMs = 0;
    bool open = false;
};

// One second of the event loop after the far side of port hung up.
LossFigures afterHangUp(QSerialPort &port, FarSide &farSide)
{
    LossFigures figures;
    const QMetaObject::Connection counting
        = QObject::connect(&port, &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
              if (e == QSerialPort::NoError)
                  return;
              ++figures.errors;
              if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError)
                  ++figures.goneErrors;
          });
    const double before = processCpuSeconds();
    farSide.hangUp();
    runFor(1000);
    figures.cpuMs = (processCpuSeconds() - before) * 1000;
    figures.open = port.isOpen();
    QObject::disconnect(counting);
    return figures;
}

int lostDevice(int &argc, char **argv)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
    Vantrel &w = *rig.window;
    std::printf("Qt %s\n", qVersion());

    // Nothing of the window runs meanwhile.
    VantrelProbe::pollTimer(w).stop();
    {
        FarSide farSide;
        QSerialPort raw;
        raw.setPortName(farSide.slavePath());
        if (!raw.open(QIODevice::ReadWrite))
            return 2;
        const LossFigures f = afterHangUp(raw, farSide);
        std::printf(
            "  raw QSerialPort, errors unhandled: errors=%ld (device gone: %ld) cpu_ms=%.0f "
            "port_open=%s\n",
            f.errors, f.goneErrors, f.cpuMs, f.open ? "yes" : "no");
        raw.close();
    }
    VantrelProbe::pollTimer(w).start();
    runFor(200);

    const LossFigures f = afterHangUp(*VantrelProbe::serialPort(w).serialDevice(), rig.farSide);
    std::printf("  Vantrel window:                 errors=%ld (device gone: %ld) cpu_ms=%.0f "
                "port_open=%s lost_lines=%d\n",
                f.errors, f.goneErrors, f.cpuMs, f.open ? "yes" : "no",
                logCount(w, QStringLiteral("Lost serial port")));
    return 0;
}

// Where a start goes, from inside: one part per process, as each start is
// the first of its process.
int startupPart(int &argc, char **argv, const QByteArray &part)
{
    BenchStore store;
    FarSide farSide;
    if (!store.isValid() || !farSide.isOpen())
        return 2;
    store.choose(farSide.slavePath(), 0);
    const Clock::time_point begin = Clock::now();
    QApplication app(argc, argv);
    const Clock::time_point appDone = Clock::now();
    std::unique_ptr<QMainWindow> window;
    if (part == "window") {
        window.reset(new Vantrel);
    } else {
        window.reset(new QMainWindow);
        if (part == "images") {
            QDirIterator images(QStringLiteral(":/Vantrel/Resources"));
            while (images.hasNext())
                QPixmap(images.next()).isNull();
        } else if (part == "form") {
            Ui::VantrelClass form;
            form.setupUi(window.get());
        } else if (part != "bare") {
            return usage();
        }
    }
    const Clock::time_point built = Clock::now();
    window->show();
    const bool exposed = QTest::qWaitForWindowExposed(window.get());
    const Clock::time_point shown = Clock::now();
    std::printf("part=%s app_ms=%.1f construct_ms=%.1f show_ms=%.1f%s\n", part.constData(),
                milliseconds(appDone - begin), milliseconds(built - appDone),
                milliseconds(shown - built), exposed ? "" : " (never exposed)");
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: vantrel-bench with-pty [--model N] [--via raw|rfc2217|pjlink] COMMAND...\n"
                 "       vantrel-bench idle SECONDS COMMAND...\n"
                 "       vantrel-bench latency [--via raw|rfc2217|pjlink] [COUNT]\n"
                 "       vantrel-bench behind [COUNT]\n"
                 "       vantrel-bench fill\n"
                 "       vantrel-bench log-tick [LINES...]\n"
                 "       vantrel-bench days [DAYS...]\n"
                 "       vantrel-bench chatter [--seconds S] [--rounds N] [--reply R] [--cap S] "
                 "BAUD\n"
                 "       vantrel-bench flood [--no-cr] [SECONDS [CAP_MIB]]\n"
                 "       vantrel-bench ctl-start RUNS VANTRELCTL BARECORE\n"
                 "       vantrel-bench lost-device\n"
                 "       vantrel-bench startup-part bare|images|form|window\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return usage();
    const QByteArray mode = argv[1];
    if (mode == "with-pty")
        return withPty(argc - 2, argv + 2);
    if (mode == "idle" && argc > 3)
        return idle(std::atof(argv[2]), argv + 3);
    int qtArgc = 1;
    if (mode == "latency") {
        const bool via = argc > 3 && std::strcmp(argv[2], "--via") == 0;
        const int next = via ? 4 : 2;
        return latency(qtArgc, argv, argc > next ? std::atoi(argv[next]) : 200,
                       via ? argv[3] : nullptr);
    }
    if (mode == "behind")
        return pjlinkBehind(qtArgc, argv, argc > 2 ? std::atoi(argv[2]) : 200);
    if (mode == "fill")
        return pjlinkFill(qtArgc, argv);
    if (mode == "chatter") {
        ChatterOptions options;
        int i = 2;
        for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
            const QByteArray option = argv[i];
            if (option == "--seconds")
                options.seconds = std::atof(argv[i + 1]);
            else if (option == "--rounds")
                options.rounds = std::max(1, std::atoi(argv[i + 1]));
            else if (option == "--reply")
                options.reply = argv[i + 1];
            else if (option == "--cap")
                options.capSeconds = std::atof(argv[i + 1]);
            else
                return usage();
        }
        if (i + 1 != argc)
            return usage();
        options.baud = std::atoi(argv[i]);
        return chatter(qtArgc, argv, options);
    }
    if (mode == "flood") {
        const bool withoutCr = argc > 2 && std::strcmp(argv[2], "--no-cr") == 0;
        const int first = withoutCr ? 3 : 2;
        return flood(qtArgc, argv, argc > first ? std::atof(argv[first]) : 60,
                     argc > first + 1 ? std::atol(argv[first + 1]) : 2048, withoutCr);
    }
    if (mode == "ctl-start" && argc > 4)
        return ctlStart(std::atoi(argv[2]), argv[3], argv[4]);
    if (mode == "startup-part" && argc > 2)
        return startupPart(qtArgc, argv, argv[2]);
    if (mode == "lost-device")
        return lostDevice(qtArgc, argv);
    if (mode == "log-tick") {
        std::vector<int> sizes;
        for (int i = 2; i < argc; ++i)
            sizes.push_back(std::atoi(argv[i]));
        if (sizes.empty())
            sizes = { 1000, 10000, 100000 };
        return logTick(qtArgc, argv, sizes);
    }
    if (mode == "days") {
        std::vector<int> checkpoints;
        for (int i = 2; i < argc; ++i)
            checkpoints.push_back(std::atoi(argv[i]));
        if (checkpoints.empty())
            checkpoints = { 1, 7 };
        std::sort(checkpoints.begin(), checkpoints.end());
        return days(qtArgc, argv, checkpoints);
    }
    return usage();
}
