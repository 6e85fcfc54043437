#include "noticerules.h"

#include <QCoreApplication>

#include <chrono>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("NoticeRules", text);
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

NoticeRules::NoticeRules()
    : now(steadyMs)
{ }

void NoticeRules::setClock(std::function<qint64()> clock)
{
    now = std::move(clock);
}

void NoticeRules::setLampLife(int hours, int percent)
{
    lampHours = qMax(0, hours);
    lampPercent = qBound(1, percent, 100);
}

void NoticeRules::startOpening(qint64 ms)
{
    seen.clear();
    openingUntil = now() + ms;
    summaryDue = true;
}

// Until the summary is taken, so that it tells what was so when the view
// opened and nothing that came after.
bool NoticeRules::opening() const
{
    return summaryDue;
}

std::optional<bool> NoticeRules::step(Watch &watch, bool known, bool bad, bool needsHold)
{
    if (!known)
        return std::nullopt;
    const qint64 at = now();
    // The first value, and whatever comes while the view opens, is how the
    // projector was: no change to tell.
    if (!watch.known || opening()) {
        if (!watch.known || watch.bad != bad)
            watch.since = at;
        watch.known = true;
        watch.bad = bad;
        watch.pending = false;
        return std::nullopt;
    }
    if (bad != watch.bad) {
        watch.bad = bad;
        watch.since = at;
        watch.pending = true;
    }
    if (!watch.pending || (needsHold && at - watch.since < holdMs))
        return std::nullopt;
    if (bad) {
        // Back for less than the hold and gone again: what was told holds.
        if (watch.told) {
            watch.pending = false;
            return std::nullopt;
        }
        // Still owed when the quiet time is over, if it still holds then.
        if (watch.everTold && at - watch.toldAt < repeatMs)
            return std::nullopt;
        watch.pending = false;
        watch.told = true;
        watch.everTold = true;
        watch.toldAt = at;
        return true;
    }
    watch.pending = false;
    if (!watch.told)
        return std::nullopt;
    watch.told = false;
    return false;
}

QList<Notice> NoticeRules::check(const QString &projector, const ProjectorState &state,
                                 int missedPolls)
{
    Seen &was = seen[projector];
    QList<Notice> notices;
    const auto tell = [&](Notice::Fault fault, const QString &text, bool critical, bool recovered) {
        notices.append({ projector, text, fault, critical, recovered });
    };

    const bool silent = !state.reachable && missedPolls >= MissedPollsBeforeNotice;
    was.reachableOnce = was.reachableOnce || state.reachable;
    // Missed polls are its hold; coming back must hold like any change.
    const bool away = was.reachableOnce && silent && !state.passwordRejected;
    // Between its last answer and the third missed poll it is neither: the
    // way back has not held yet.
    const bool between = !state.reachable && !away;
    if (between && was.reach.known && !was.reach.bad)
        was.reach.since = now();
    if (const auto told = step(was.reach, !between, away, !away)) {
        if (*told)
            tell(Notice::Fault::Unreachable, tr("No longer answers: %1").arg(state.stateText()),
                 true, false);
        else
            tell(Notice::Fault::Unreachable, tr("Answers again"), false, true);
    }

    const int health = state.worstHealth();
    if (const auto told = step(was.health, health >= 0, health > 0, true)) {
        tell(Notice::Fault::Health, tr("Health: %1").arg(state.healthText()), health > 1, !*told);
    }

    const int hours = state.maxLampHours();
    const bool past
        = lampHours > 0 && hours >= 0 && qint64(hours) * 100 >= qint64(lampHours) * lampPercent;
    // Hours only grow, and a life is the user's own choice: no hold.
    if (const auto told = step(was.lamp, hours >= 0, past, false); told && *told) {
        tell(Notice::Fault::Lamp,
             tr("Lamp at %1 hours, past %2 % of its %3 hours")
                 .arg(hours)
                 .arg(lampPercent)
                 .arg(lampHours),
             false, false);
    }

    if (const auto told = step(was.password, true, state.passwordRejected, false); told && *told)
        tell(Notice::Fault::Password, tr("Password rejected"), false, false);

    // For the summary, one never reached counts as soon as it says why.
    was.trouble = silent || (!state.reachable && !state.problem.isEmpty()) || health > 0 || past
        || state.passwordRejected;
    return notices;
}

QList<Notice> NoticeRules::takeSummary()
{
    if (!summaryDue || now() < openingUntil)
        return {};
    summaryDue = false;
    int trouble = 0;
    for (const Seen &projector : std::as_const(seen))
        trouble += projector.trouble ? 1 : 0;
    if (trouble == 0)
        return {};
    return { Notice { QString(),
                      QCoreApplication::translate("NoticeRules", "%n projector(s) need attention",
                                                  nullptr, trouble),
                      Notice::Fault::Summary, false, false } };
}
