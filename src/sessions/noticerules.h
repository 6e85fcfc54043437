#pragma once

#include "projectorstate.h"

#include <QHash>
#include <QString>
#include <QStringList>

// When a projector's state has got worse enough to tell the user, once per
// change and never once per poll: it stopped answering for more than two
// polls, its health went from ok to a warning or an error, a lamp passed its
// share of the life the user gave, its password was rejected. What a
// projector is like when first seen is no change.
class NoticeRules
{
public:
    static constexpr int DefaultLampPercent = 90;

    // Lamp life in hours; 0 (the default) leaves lamps out.
    void setLampLife(int hours, int percent = DefaultLampPercent);
    int lampLife() const { return lampHours; }

    // What to tell of projector (its name) after a change of its state;
    // empty when nothing got worse.
    QStringList check(const QString &projector, const ProjectorState &state, int missedPolls);
    void forget(const QString &projector) { seen.remove(projector); }

private:
    struct Seen
    {
        bool reachableOnce = false;
        bool unreachableTold = false;
        int health = -1;
        bool lampTold = false;
        bool rejectedTold = false;
    };

    QHash<QString, Seen> seen;
    int lampHours = 0;
    int lampPercent = DefaultLampPercent;
};
