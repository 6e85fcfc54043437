#pragma once

#include "vantrel.h"

#include "framing.h"

#include <utility>

// The fuzzer's way into the window (a friend of Vantrel): it plays the part
// of OnTimer's drain loop with bytes it chooses, and resets the state that
// would otherwise carry from one input into the next.
class VantrelProbe
{
public:
    static void reset(Vantrel &w, int modelIndex, bool debug, bool ascii)
    {
        w.ui.textEdit->clear();
        w.ui.debugCheckBox->setChecked(debug);
        w.ui.asciiCheckBox->setChecked(ascii);
        w.ModelIndex = modelIndex;
        w.ForgetPendingReplies();
        w.lastCommand.clear();
        w.vvtRequeryPending = false;
        w.contactCounter = 50;
        w.pollClock = PollClock();
    }

    static bool portOpen(const Vantrel &w) { return w.serialPort.isOpen(); }
    static const QString &replyBuffer(const Vantrel &w) { return w.replyBuffer; }
    static int pendingQueryCount(const Vantrel &w) { return w.pendingQueries.size(); }
    static void setLastCommand(Vantrel &w, const QString &command) { w.lastCommand = command; }
    static void queryVvtSettings(Vantrel &w) { w.QueryVvtSettings(); }
    static void onTimer(Vantrel &w) { w.OnTimer(); }

    // One byte as the drain loop hands it on; returns whether it completed a
    // reply, which has then been dispatched.
    static bool feed(Vantrel &w, char byte, QString *dispatched)
    {
        if (!Framing::feedByte(w.replyBuffer, w.replyLineEnded, byte, w.ModelIndex))
            return false;
        *dispatched = std::exchange(w.replyBuffer, QString());
        w.DispatchReply(*dispatched);
        return true;
    }
};
