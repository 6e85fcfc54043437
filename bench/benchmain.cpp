// Figures for docs/PERFORMANCE.md. bench/run-bench.sh runs every part.
//
//   vantrel-bench with-pty [--model N] COMMAND...
//                                       runs COMMAND with a private settings
//                                       store whose "ComPort" is a fresh
//                                       pseudo-terminal ("Model" N, default
//                                       0); the bench is the silent projector
//                                       on its far side
//   vantrel-bench idle SECONDS COMMAND... CPU time of COMMAND while idle
//   vantrel-bench latency [COUNT]        click on "Model" to the command's
//                                       last byte on the far side
//   vantrel-bench log-tick [LINES...]    one timer tick with "Debug" on, at
//                                       these log sizes

#include "benchstore.h"
#include "farside.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <linux/perf_event.h>
#include <malloc.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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

pid_t start(char **command)
{
    const pid_t pid = fork();
    if (pid == 0) {
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

int withPty(int model, char **command)
{
    BenchStore store;
    FarSide farSide;
    if (!store.isValid() || !farSide.isOpen()) {
        std::fprintf(stderr, "vantrel-bench: no store or no pseudo-terminal\n");
        return 2;
    }
    store.choose(farSide.slavePath(), model);
    const pid_t pid = start(command);
    long received = 0;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0)
        received += farSide.read(100).size();
    std::fprintf(stderr, "far side (%s) read %ld bytes\n", qPrintable(farSide.slavePath()),
                 received);
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

    bool setUp(int &argc, char **argv)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!store.isValid() || !farSide.isOpen())
            return false;
        store.choose(farSide.slavePath(), 0);
        app = new QApplication(argc, argv);
        window = new Vantrel;
        window->show();
        return QTest::qWaitForWindowExposed(window) && VantrelProbe::serialPort(*window).isOpen();
    }

    ~Rig()
    {
        delete window;
        delete app;
    }
};

int latency(int &argc, char **argv, int count)
{
    Rig rig;
    if (!rig.setUp(argc, argv)) {
        std::fprintf(stderr, "vantrel-bench: the window did not come up with its port open\n");
        return 2;
    }
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
    QSerialPort &port = VantrelProbe::serialPort(w);
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

int usage()
{
    std::fprintf(stderr,
                 "usage: vantrel-bench with-pty [--model N] COMMAND...\n"
                 "       vantrel-bench idle SECONDS COMMAND...\n"
                 "       vantrel-bench latency [COUNT]\n"
                 "       vantrel-bench log-tick [LINES...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return usage();
    const QByteArray mode = argv[1];
    if (mode == "with-pty" && argc > 4 && std::strcmp(argv[2], "--model") == 0)
        return withPty(std::atoi(argv[3]), argv + 4);
    if (mode == "with-pty" && argc > 2)
        return withPty(0, argv + 2);
    if (mode == "idle" && argc > 3)
        return idle(std::atof(argv[2]), argv + 3);
    int qtArgc = 1;
    if (mode == "latency")
        return latency(qtArgc, argv, argc > 2 ? std::atoi(argv[2]) : 200);
    if (mode == "log-tick") {
        std::vector<int> sizes;
        for (int i = 2; i < argc; ++i)
            sizes.push_back(std::atoi(argv[i]));
        if (sizes.empty())
            sizes = { 1000, 10000, 100000 };
        return logTick(qtArgc, argv, sizes);
    }
    return usage();
}
