#include "descriptors.h"

#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <sys/resource.h>
#endif

namespace Descriptors {

#ifdef Q_OS_LINUX
namespace {

rlim_t softLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return RLIM_INFINITY;
    return limit.rlim_cur;
}

rlim_t needed(int runs, int extra)
{
    return rlim_t(std::max(0, runs)) * PerRun + rlim_t(std::max(0, extra)) + rlim_t(reserve());
}

} // namespace

int openNow()
{
    int count = 0;
    if (DIR *directory = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(directory))
            count += entry->d_name[0] != '.';
        ::closedir(directory);
        --count; // the directory's own
    }
    return std::max(0, count);
}

int reserve()
{
    // The standard streams at least, should /proc not be there.
    return std::max(3, openNow()) + Margin;
}

int available()
{
    const rlim_t limit = softLimit();
    const rlim_t held = rlim_t(reserve());
    if (limit == RLIM_INFINITY || limit > rlim_t(1) << 30)
        return 1 << 30;
    return limit > held ? int(limit - held) : 0;
}

void makeRoomFor(int runs, int extra)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return;
    const rlim_t want = needed(runs, extra);
    if (limit.rlim_cur >= want)
        return;
    // Only as far as needed: the event loop polls, so a descriptor above
    // FD_SETSIZE harms nothing here, but nothing else should see a change.
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? want : std::min(want, limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int concurrentRuns(int runs, int extra)
{
    runs = std::max(1, runs);
    const rlim_t limit = softLimit();
    if (limit == RLIM_INFINITY)
        return runs;
    const rlim_t held = rlim_t(reserve()) + rlim_t(std::max(0, extra));
    if (limit <= held + PerRun)
        return 1;
    return int(std::min<rlim_t>(rlim_t(runs), (limit - held) / PerRun));
}

QString tooFew(int extra)
{
    const rlim_t limit = softLimit();
    const rlim_t one = needed(1, extra);
    if (limit == RLIM_INFINITY || limit >= one)
        return QString();
    return QStringLiteral("the limit on open files (%1) is below the %2 that one projector needs; "
                          "raise it (ulimit -n, or LimitNOFILE= in a unit)")
        .arg(qulonglong(limit))
        .arg(qulonglong(one));
}

bool exhausted()
{
    const rlim_t limit = softLimit();
    return limit != RLIM_INFINITY && rlim_t(std::max(3, openNow()) + PerRun) >= limit;
}

#else

int openNow()
{
    return 0;
}

int reserve()
{
    return Margin;
}

int available()
{
    return 1 << 30;
}

void makeRoomFor(int, int) { }

int concurrentRuns(int runs, int)
{
    return std::max(1, runs);
}

QString tooFew(int)
{
    return QString();
}

bool exhausted()
{
    return false;
}

#endif

} // namespace Descriptors
