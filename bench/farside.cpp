#include "farside.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

FarSide::FarSide()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        master = -1;
        return;
    }
    slave = QString::fromLocal8Bit(ptsname(master));
    // Held open so the master does not report a hang-up (and poll() does
    // not spin) while the program has the port closed.
    slaveKeeper = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    // Raw on our side too: the bytes are a projector's, not a terminal's.
    termios settings {};
    if (tcgetattr(master, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(master, TCSANOW, &settings);
    }
}

FarSide::~FarSide()
{
    hangUp();
}

void FarSide::hangUp()
{
    if (slaveKeeper >= 0)
        ::close(slaveKeeper);
    if (master >= 0)
        ::close(master);
    slaveKeeper = -1;
    master = -1;
}

QByteArray FarSide::read(int timeoutMs)
{
    QByteArray bytes;
    pollfd waiting { master, POLLIN, 0 };
    if (master < 0 || ::poll(&waiting, 1, timeoutMs) <= 0 || !(waiting.revents & POLLIN))
        return bytes;
    char buffer[4096];
    const ssize_t count = ::read(master, buffer, sizeof buffer);
    if (count > 0)
        bytes.append(buffer, int(count));
    return bytes;
}

bool FarSide::write(const QByteArray &bytes)
{
    int done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t count
            = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += int(count);
    }
    return done == bytes.size();
}
