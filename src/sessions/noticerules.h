#pragma once

#include "projectorstate.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>

#include <functional>
#include <optional>

// One thing to tell the user of a projector.
struct Notice
{
    enum class Fault { Unreachable, Health, Lamp, Password, Summary };

    QString projector; // empty for the summary of many
    QString text;
    Fault fault = Fault::Summary;
    // Stopped answering, or a part in error: the desktop keeps it in sight.
    bool critical = false;
    // The fault told before is over; this notice takes its place.
    bool recovered = false;
};
Q_DECLARE_METATYPE(Notice)

// When a projector's state has got worse enough to tell the user, and when
// it is well again. A change of health, and a projector answering again, is
// told only once it has held for a while (a reading that flips back at once
// tells nothing); three missed polls are the hold of a silent one; a lamp's
// hours only grow and a refusal is final, so they need none. The same fault
// of one projector is told at most once in a while, and what was already so
// when the view opened is one summary, not a notice per projector:
// - stopped answering: after the third missed poll in a row, of a projector
//   that answered before;
// - its health went from ok to a warning or an error;
// - a lamp passed its share of the life the user gave;
// - its password was rejected.
class NoticeRules
{
public:
    static constexpr int DefaultLampPercent = 90;
    // A change is told once it has held this long.
    static constexpr qint64 DefaultHoldMs = 30 * 1000;
    // The same fault of one projector again only after this long.
    static constexpr qint64 DefaultRepeatMs = 15 * 60 * 1000;
    static constexpr int MissedPollsBeforeNotice = 3;

    NoticeRules();

    // Milliseconds on a clock that never goes back; a steady clock unless set.
    void setClock(std::function<qint64()> clock);
    void setHold(qint64 ms) { holdMs = ms; }
    qint64 hold() const { return holdMs; }
    void setRepeat(qint64 ms) { repeatMs = ms; }

    // Lamp life in hours; 0 (the default) leaves lamps out.
    void setLampLife(int hours, int percent = DefaultLampPercent);
    int lampLife() const { return lampHours; }

    // From now for ms, and until the summary is taken, faults are taken as
    // they are, untold; after that, takeSummary() gives one notice for all
    // projectors in trouble.
    void startOpening(qint64 ms);
    bool opening() const;

    // What to tell of projector (its name) from its state now; called at
    // every change and again at every poll, so that a change that held is
    // told without another change to bring it.
    QList<Notice> check(const QString &projector, const ProjectorState &state, int missedPolls);
    // Once, when the opening is over: "3 projectors need attention", or
    // nothing when none does.
    QList<Notice> takeSummary();
    void forget(const QString &projector) { seen.remove(projector); }

private:
    // One fault of one projector: what it is now, since when, and what the
    // user was last told of it.
    struct Watch
    {
        bool known = false;
        bool bad = false;
        qint64 since = 0;
        bool pending = false; // changed since last weighed
        bool told = false; // the user was told of the fault and not of its end
        qint64 toldAt = 0;
        bool everTold = false;
    };
    struct Seen
    {
        bool reachableOnce = false;
        Watch reach;
        Watch health;
        Watch lamp;
        Watch password;
        bool trouble = false; // for the summary
    };

    // Whether to tell: the fault or its end, after it held.
    std::optional<bool> step(Watch &watch, bool known, bool bad, bool needsHold);

    std::function<qint64()> now;
    QHash<QString, Seen> seen;
    qint64 holdMs = DefaultHoldMs;
    qint64 repeatMs = DefaultRepeatMs;
    qint64 openingUntil = -1;
    bool summaryDue = false;
    int lampHours = 0;
    int lampPercent = DefaultLampPercent;
};
