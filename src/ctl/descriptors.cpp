#include "descriptors.h"

#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace Descriptors {

#ifdef Q_OS_LINUX
namespace {

rlim_t needed(int runs, int extra)
{
    return rlim_t(std::max(0, runs)) * PerRun + rlim_t(std::max(0, extra)) + Reserve;
}

} // namespace
#endif

void makeRoomFor(int runs, int extra)
{
#ifdef Q_OS_LINUX
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
#else
    Q_UNUSED(runs)
    Q_UNUSED(extra)
#endif
}

int concurrentRuns(int runs, int extra)
{
    runs = std::max(1, runs);
#ifdef Q_OS_LINUX
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return runs;
    const rlim_t held = Reserve + rlim_t(std::max(0, extra));
    if (limit.rlim_cur <= held + PerRun)
        return 1;
    return int(std::min<rlim_t>(rlim_t(runs), (limit.rlim_cur - held) / PerRun));
#else
    Q_UNUSED(extra)
    return runs;
#endif
}

} // namespace Descriptors
