#pragma once

#include "pjlink.h"

#include <QList>

// A command the projector refuses with ERR3 while it warms up (an input
// chosen right after switching on) is not lost: it is held and sent once
// more when the power query reports the projector on, if that happens within
// a minute; otherwise it is given up. Time is the caller's clock in
// milliseconds.
class PJLinkDeferral
{
public:
    static constexpr qint64 WaitMs = 60000;

    void powerOnAccepted();
    // The commands to send again now: when power is 1, those held.
    QList<PJLink::Command> powerReported(int power, qint64 now);
    // For a command refused with ERR3: true when it is held. Only the user's
    // own commands that change something are held, once; while warming up.
    bool hold(const PJLink::Command &command, qint64 now);
    // The commands whose minute is over; they are not sent.
    QList<PJLink::Command> expire(qint64 now);
    void clear();

private:
    struct Held
    {
        PJLink::Command command;
        qint64 since;
    };

    bool warming = false;
    QList<Held> commands;
};
