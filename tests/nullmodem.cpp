#include "nullmodem.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Which modem made each link last: an older modem must not remove the link a
// newer one put in its place, even when the kernel reused its slave number.
QHash<QString, const NullModem *> &linkOwners()
{
    static QHash<QString, const NullModem *> owners;
    return owners;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

qint32 baudFromSpeed(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

void processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int boundedWait(const QDeadlineTimer &deadline, int slice)
{
    const qint64 left = deadline.remainingTime();
    return int(left < 0 ? slice : qMin<qint64>(left, slice));
}

} // namespace

NullModem::NullModem()
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = systemError("posix_openpt");
        return;
    }
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = systemError("grantpt/unlockpt");
        ::close(master);
        master = -1;
        return;
    }
    slave = QFile::decodeName(::ptsname(master));

    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    // On a pty the master's termios are the slave's: raw here means no echo
    // and no newline translation before the program configures its port.
    termios raw;
    if (::tcgetattr(master, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(master, TCSANOW, &raw);
    }

    const QByteArray slaveName = QFile::encodeName(slave);
    keeper = ::open(slaveName.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (keeper < 0) {
        error = systemError("open slave");
        hangUp();
    }
}

NullModem::NullModem(const QString &linkPath)
    : NullModem()
{
    if (!isOpen())
        return;
    const QByteArray name = QFile::encodeName(linkPath);
    struct stat info;
    if (::lstat(name.constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            error = QStringLiteral("%1 exists and is not a symlink").arg(linkPath);
            hangUp();
            return;
        }
        ::unlink(name.constData());
    }
    if (::symlink(QFile::encodeName(slave).constData(), name.constData()) != 0) {
        error = systemError("symlink");
        hangUp();
        return;
    }
    link = linkPath;
    linkOwners().insert(link, this);
}

NullModem::~NullModem()
{
    hangUp();
    removeLink();
}

void NullModem::collect()
{
    if (master < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            pending.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing more for now. EIO: no slave is open; nothing can come.
        return;
    }
}

void NullModem::waitReadable(int timeoutMs)
{
    if (master < 0 || timeoutMs <= 0)
        return;
    pollfd fd = { master, POLLIN, 0 };
    const int ready = ::poll(&fd, 1, timeoutMs);
    // A hung-up slave makes poll return at once; don't spin on it.
    if (ready > 0 && !(fd.revents & POLLIN))
        QThread::msleep(unsigned(timeoutMs));
}

QByteArray NullModem::take(int count)
{
    const QByteArray head = pending.left(count);
    pending.remove(0, head.size());
    return head;
}

QByteArray NullModem::readBytes(int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        processEvents();
        collect();
        if (pending.size() >= count || master < 0 || deadline.hasExpired())
            break;
        waitReadable(boundedWait(deadline, 10));
    }
    return take(count);
}

QByteArray NullModem::readAll()
{
    processEvents();
    collect();
    return take(pending.size());
}

QByteArray NullModem::drain(int quietMs, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer quiet(quietMs);
    int seen = pending.size();
    while (!quiet.hasExpired() && !deadline.hasExpired() && master >= 0) {
        processEvents();
        collect();
        if (pending.size() != seen) {
            seen = pending.size();
            quiet.setRemainingTime(quietMs);
        }
        waitReadable(boundedWait(quiet, 10));
    }
    return take(pending.size());
}

QByteArray NullModem::expectSilence(int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        processEvents();
        collect();
        waitReadable(boundedWait(deadline, 10));
    } while (!deadline.hasExpired() && master >= 0);
    processEvents();
    collect();
    return take(pending.size());
}

bool NullModem::write(const QByteArray &data)
{
    if (master < 0)
        return false;
    const QDeadlineTimer deadline(5000);
    int done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(master, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (deadline.hasExpired())
            return false;
        // The slave's input queue is full: let the program read some of it.
        processEvents();
        pollfd fd = { master, POLLOUT, 0 };
        ::poll(&fd, 1, 10);
    }
    return true;
}

bool NullModem::writeSplit(const QByteArray &data, const QList<int> &chunkSizes,
                           const std::function<void()> &between)
{
    QList<QByteArray> pieces;
    int offset = 0;
    for (int size : chunkSizes) {
        if (size <= 0 || offset >= data.size())
            continue;
        pieces.append(data.mid(offset, size));
        offset += pieces.last().size();
    }
    if (offset < data.size())
        pieces.append(data.mid(offset));

    for (int i = 0; i < pieces.size(); ++i) {
        if (!write(pieces.at(i)))
            return false;
        if (i + 1 == pieces.size())
            break;
        if (between) {
            between();
            if (QTest::currentTestFailed())
                return false;
        } else if (!waitConsumed()) {
            return false;
        }
    }
    return true;
}

bool NullModem::waitConsumed(int timeoutMs)
{
    if (keeper < 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    // Nothing in this process reads while events are not processed, so the
    // bytes can only be on their way in: wait until the slave holds them.
    pollfd fd = { keeper, POLLIN, 0 };
    ::poll(&fd, 1, boundedWait(deadline, timeoutMs));
    for (;;) {
        processEvents();
        int waiting = 0;
        if (::ioctl(keeper, FIONREAD, &waiting) != 0)
            return false;
        if (waiting == 0)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::usleep(500);
    }
}

void NullModem::hangUp()
{
    if (keeper >= 0) {
        ::close(keeper);
        keeper = -1;
    }
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
}

void NullModem::unplug()
{
    hangUp();
    removeLink();
}

void NullModem::removeLink()
{
    if (link.isEmpty())
        return;
    if (linkOwners().value(link) == this) {
        linkOwners().remove(link);
        ::unlink(QFile::encodeName(link).constData());
    }
}

NullModem::LineSettings NullModem::lineSettings() const
{
    LineSettings settings;
    int fd = keeper;
    if (fd < 0 && !slave.isEmpty())
        fd = ::open(QFile::encodeName(slave).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return settings;

    termios tio;
    const bool ok = ::tcgetattr(fd, &tio) == 0;
    if (fd != keeper)
        ::close(fd);
    if (!ok)
        return settings;

    settings.valid = true;
    settings.inputBaud = baudFromSpeed(::cfgetispeed(&tio));
    settings.outputBaud = baudFromSpeed(::cfgetospeed(&tio));

    switch (tio.c_cflag & CSIZE) {
    case CS5:
        settings.dataBits = QSerialPort::Data5;
        break;
    case CS6:
        settings.dataBits = QSerialPort::Data6;
        break;
    case CS7:
        settings.dataBits = QSerialPort::Data7;
        break;
    default:
        settings.dataBits = QSerialPort::Data8;
        break;
    }

    if (!(tio.c_cflag & PARENB))
        settings.parity = QSerialPort::NoParity;
    else if (tio.c_cflag & CMSPAR)
        settings.parity
            = (tio.c_cflag & PARODD) ? QSerialPort::MarkParity : QSerialPort::SpaceParity;
    else
        settings.parity = (tio.c_cflag & PARODD) ? QSerialPort::OddParity : QSerialPort::EvenParity;

    settings.stopBits = (tio.c_cflag & CSTOPB) ? QSerialPort::TwoStop : QSerialPort::OneStop;

    settings.rtsCts = tio.c_cflag & CRTSCTS;
    settings.xonXoff = tio.c_iflag & (IXON | IXOFF);
    if (settings.rtsCts)
        settings.flowControl = QSerialPort::HardwareControl;
    else if (settings.xonXoff)
        settings.flowControl = QSerialPort::SoftwareControl;
    else
        settings.flowControl = QSerialPort::NoFlowControl;
    return settings;
}
