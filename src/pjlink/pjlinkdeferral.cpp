#include "pjlinkdeferral.h"

#include <algorithm>
#include <utility>

namespace {

// A newer command for the same thing replaces the one held: only the last
// input chosen, or the last state of one mute, counts.
bool sameTarget(const PJLink::Command &a, const PJLink::Command &b)
{
    if (a.name != b.name)
        return false;
    if (a.name == "AVMT")
        return a.parameter.left(1) == b.parameter.left(1);
    return true;
}

} // namespace

void PJLinkDeferral::powerOnAccepted()
{
    warming = true;
}

QList<PJLink::Command> PJLinkDeferral::powerReported(int power, qint64 now)
{
    QList<PJLink::Command> release;
    if (power == 3) {
        warming = true;
        return release;
    }
    warming = false;
    if (power != 1)
        return release;
    for (const Held &held : std::as_const(commands)) {
        if (now - held.since < WaitMs) {
            PJLink::Command again = held.command;
            again.retry = true;
            release.append(again);
        }
    }
    commands.erase(std::remove_if(commands.begin(), commands.end(),
                                  [now](const Held &held) { return now - held.since < WaitMs; }),
                   commands.end());
    return release;
}

bool PJLinkDeferral::hold(const PJLink::Command &command, qint64 now)
{
    if (!warming || command.retry || command.isQuery() || command.name == "POWR"
        || command.origin != PJLink::Command::Origin::User)
        return false;
    commands.erase(
        std::remove_if(commands.begin(), commands.end(),
                       [&command](const Held &held) { return sameTarget(held.command, command); }),
        commands.end());
    commands.append({ command, now });
    return true;
}

QList<PJLink::Command> PJLinkDeferral::expire(qint64 now)
{
    QList<PJLink::Command> expired;
    for (const Held &held : std::as_const(commands)) {
        if (now - held.since >= WaitMs)
            expired.append(held.command);
    }
    commands.erase(std::remove_if(commands.begin(), commands.end(),
                                  [now](const Held &held) { return now - held.since >= WaitMs; }),
                   commands.end());
    return expired;
}

void PJLinkDeferral::clear()
{
    commands.clear();
    warming = false;
}
