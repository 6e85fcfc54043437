// Preloaded into vantrelctl by tst_ctl: a starved scheduler, made repeatable.
// A lock file's creator takes its native lock late (SLOWLOCKS_LOCK_US after
// an O_EXCL open), and whether a process lives (kill with signal 0) is told
// late (SLOWLOCKS_CHECK_US): the moments in which another editor may judge
// a lock stale and remove it, widened from microseconds to milliseconds.

#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>

namespace {

constexpr int Descriptors = 4096;
bool created[Descriptors];

void note(int fd, int flags)
{
    if (fd >= 0 && fd < Descriptors)
        created[fd] = (flags & O_EXCL) != 0;
}

void pause(const char *variable)
{
    if (const char *value = std::getenv(variable))
        usleep(useconds_t(std::atoi(value)));
}

template<typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list arguments)
{
    return (flags & O_CREAT) ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto real = next<int (*)(const char *, int, ...)>("open");
    const int fd = real(path, flags, mode);
    note(fd, flags);
    return fd;
}

int open64(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto real = next<int (*)(const char *, int, ...)>("open64");
    const int fd = real(path, flags, mode);
    note(fd, flags);
    return fd;
}

int openat(int directory, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat");
    const int fd = real(directory, path, flags, mode);
    note(fd, flags);
    return fd;
}

int openat64(int directory, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    const int fd = real(directory, path, flags, mode);
    note(fd, flags);
    return fd;
}

int flock(int fd, int operation)
{
    static const auto real = next<int (*)(int, int)>("flock");
    if (fd >= 0 && fd < Descriptors && created[fd])
        pause("SLOWLOCKS_LOCK_US");
    return real(fd, operation);
}

int kill(pid_t pid, int signal)
{
    static const auto real = next<int (*)(pid_t, int)>("kill");
    if (signal == 0)
        pause("SLOWLOCKS_CHECK_US");
    return real(pid, signal);
}

} // extern "C"
