#include "noticerules.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("NoticeRules", text);
}

} // namespace

void NoticeRules::setLampLife(int hours, int percent)
{
    lampHours = qMax(0, hours);
    lampPercent = qBound(1, percent, 100);
}

QStringList NoticeRules::check(const QString &projector, const ProjectorState &state,
                               int missedPolls)
{
    Seen &was = seen[projector];
    QStringList notices;

    if (state.reachable) {
        was.reachableOnce = true;
        was.unreachableTold = false;
    } else if (was.reachableOnce && !was.unreachableTold && missedPolls > 2
               && !state.passwordRejected) {
        was.unreachableTold = true;
        notices.append(tr("No longer answers: %1").arg(state.stateText()));
    }

    const int health = state.worstHealth();
    if (health >= 0) {
        if (was.health == 0 && health > 0)
            notices.append(tr("Health: %1").arg(state.healthText()));
        was.health = health;
    }

    const int hours = state.maxLampHours();
    if (lampHours > 0 && hours >= 0) {
        const bool past = qint64(hours) * 100 >= qint64(lampHours) * lampPercent;
        if (past && !was.lampTold)
            notices.append(tr("Lamp at %1 hours, past %2 % of its %3 hours")
                               .arg(hours)
                               .arg(lampPercent)
                               .arg(lampHours));
        was.lampTold = past;
    }

    if (state.passwordRejected && !was.rejectedTold)
        notices.append(tr("Password rejected"));
    was.rejectedTold = state.passwordRejected;
    return notices;
}
