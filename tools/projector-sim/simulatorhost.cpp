#include "simulatorhost.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// While no program has the slave open the master only reports a hang-up, so
// the simulator looks again at this pace instead of spinning on it.
const int probeIntervalMs = 200;
// Output nobody reads is not kept without bound.
const int maxOutgoing = 64 * 1024;

} // namespace

SimulatorHost::SimulatorHost(const ProjectorModel::Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_serviceTimer.setSingleShot(true);
    m_serviceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_serviceTimer, &QTimer::timeout, this, &SimulatorHost::service);
    m_probeTimer.setInterval(probeIntervalMs);
    connect(&m_probeTimer, &QTimer::timeout, this, &SimulatorHost::probeSlave);
}

SimulatorHost::~SimulatorHost()
{
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SimulatorHost::open(QString *error)
{
    const auto fail = [&](const char *what) {
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                              QString::fromLocal8Bit(strerror(errno)));
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    };

    m_fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0)
        return fail("posix_openpt");
    if (grantpt(m_fd) != 0)
        return fail("grantpt");
    if (unlockpt(m_fd) != 0)
        return fail("unlockpt");
    char name[256];
    if (ptsname_r(m_fd, name, sizeof(name)) != 0)
        return fail("ptsname_r");
    m_slavePath = QString::fromLocal8Bit(name);
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl O_NONBLOCK");
    if (fcntl(m_fd, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl FD_CLOEXEC");

    // Raw mode is kept by the terminal for as long as the master is open, so
    // every program that opens the slave sees the bytes unchanged.
    termios attributes;
    if (tcgetattr(m_fd, &attributes) != 0)
        return fail("tcgetattr");
    cfmakeraw(&attributes);
    if (tcsetattr(m_fd, TCSANOW, &attributes) != 0)
        return fail("tcsetattr");

    // Opening and closing the slave once puts the master into its "nobody
    // there" state, so the first client is detected like every later one.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open slave");
    ::close(slave);
    return true;
}

void SimulatorHost::start()
{
    m_clock.start();
    m_model = std::make_unique<ProjectorModel>(m_options, now());
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    m_readNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimulatorHost::readMaster);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimulatorHost::writeMaster);
    m_probeTimer.start();
    probeSlave();
    schedule();
}

void SimulatorHost::probeSlave()
{
    pollfd fd = { m_fd, POLLIN, 0 };
    if (::poll(&fd, 1, 0) < 0 || (fd.revents & POLLHUP))
        return;
    m_probeTimer.stop();
    m_lineOpen = true;
    m_discardReported = false;
    note("-- line opened");
    m_readNotifier->setEnabled(true);
}

void SimulatorHost::readMaster()
{
    char buffer[512];
    forever {
        const ssize_t n = ::read(m_fd, buffer, sizeof(buffer));
        if (n > 0) {
            // Answer command by command, so the log pairs each reply with its command.
            const QByteArray data(buffer, int(n));
            int from = 0;
            while (from < data.size()) {
                const int end = data.indexOf('\r', from);
                const int to = end < 0 ? data.size() : end + 1;
                m_model->receive(data.mid(from, to - from), now());
                from = to;
                if (end >= 0)
                    deliver();
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // EIO (or end of file): the last program holding the slave closed it.
        lineClosed();
        break;
    }
    service();
}

void SimulatorHost::lineClosed()
{
    if (!m_lineOpen)
        return;
    m_lineOpen = false;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_outgoing.clear();
    m_overflowReported = false;
    // Whatever is still queued in the terminal would greet the next client as stale replies.
    tcflush(m_fd, TCIOFLUSH);
    note("-- line closed");
    m_probeTimer.start();
}

void SimulatorHost::service()
{
    if (m_model->hungUp(now())) {
        note("-- hanging up");
        m_serviceTimer.stop();
        m_probeTimer.stop();
        m_readNotifier->setEnabled(false);
        m_writeNotifier->setEnabled(false);
        emit hungUp();
        return;
    }
    deliver();
    schedule();
}

void SimulatorHost::deliver()
{
    const QByteArray output = m_model->takeOutput(now());
    printLog();
    queue(output);
}

void SimulatorHost::queue(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (!m_lineOpen) {
        if (!m_discardReported) {
            m_discardReported = true;
            note("-- not sent: nobody has the line open");
        }
        return;
    }
    if (m_outgoing.size() + bytes.size() > maxOutgoing) {
        // Said once until the other side reads again, or chatter would say it all the time.
        if (!m_overflowReported)
            note("-- output not read by the other side, discarded");
        m_overflowReported = true;
        return;
    }
    m_outgoing.append(bytes);
    writeMaster();
}

void SimulatorHost::writeMaster()
{
    while (!m_outgoing.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_outgoing.constData(), size_t(m_outgoing.size()));
        if (n > 0) {
            m_outgoing.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        lineClosed();
        return;
    }
    m_overflowReported = false;
    m_writeNotifier->setEnabled(false);
}

void SimulatorHost::schedule()
{
    const qint64 due = m_model->nextDueMs();
    if (due < 0) {
        m_serviceTimer.stop();
        return;
    }
    m_serviceTimer.start(int(qBound(qint64(0), due - now(), qint64(24 * 3600 * 1000))));
}

void SimulatorHost::printLog()
{
    const QStringList lines = m_model->takeLog();
    if (lines.isEmpty())
        return;
    for (const QString &line : lines) {
        std::fputs(line.toLatin1().constData(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

void SimulatorHost::note(const char *line)
{
    printLog();
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
