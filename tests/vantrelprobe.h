#pragma once

#include "elidinglabel.h"
#include "storewatcher.h"
#include "vantrel.h"

#include <QByteArray>
#include <QMetaObject>

// The tests' view into the window's private state (it is a friend of
// Vantrel). Read what the window did; set only what a test must arrange.
class VantrelProbe
{
public:
    static bool projectorOn(const Vantrel &w) { return w.projectorOn; }
    static int modelIndex(const Vantrel &w) { return w.ModelIndex; }
    static QString lastCommand(const Vantrel &w) { return w.lastCommand; }
    static int contactCounter(const Vantrel &w) { return w.contactCounter; }
    static QString replyBuffer(const Vantrel &w) { return w.replyBuffer; }
    static int vvtKeystone(const Vantrel &w) { return w.vvtKeystone; }
    static int vvtBrightness(const Vantrel &w) { return w.vvtBrightness; }
    static QStringList pendingQueries(const Vantrel &w) { return w.pendingQueries; }
    static bool vvtRequeryPending(const Vantrel &w) { return w.vvtRequeryPending; }
    static int pendingHeight(const Vantrel &w) { return w.pendingHeight; }
    static qint64 tickCount(const Vantrel &w) { return w.tickCount; }
    static const PJLinkClient &pjlink(const Vantrel &w) { return w.pjlinkPage->client(); }
    // What the status bar says of the port.
    static QString portStatus(const Vantrel &w) { return w.portStatus->text(); }
    static ElidingLabel &portStatusLabel(Vantrel &w) { return *w.portStatus; }

    static ProjectorLink &serialPort(Vantrel &w) { return w.serialPort; }
    static QTimer &pollTimer(Vantrel &w) { return w.pollTimer; }
    static Ui::VantrelClass &ui(Vantrel &w) { return w.ui; }

    static void setModelIndex(Vantrel &w, int index) { w.ModelIndex = index; }
    static void setProjectorOn(Vantrel &w, bool on) { w.projectorOn = on; }
    static void setVvtKeystone(Vantrel &w, std::int8_t value) { w.vvtKeystone = value; }
    static void setVvtBrightness(Vantrel &w, std::uint8_t value) { w.vvtBrightness = value; }

    static void sendCommand(Vantrel &w, const QByteArray &command)
    {
        w.SendCommand(command.constData(), command.size());
    }
    static void configure(Vantrel &w, bool showDialog) { w.Configure(showDialog); }
    // The power state a PJLink projector reported, as its answer would show it.
    static void showPJLinkLamp(Vantrel &w, int power) { w.pjlinkPage->showLamp(power); }
    static void sendPJLink(Vantrel &w, const PJLink::Command &command)
    {
        w.pjlinkPage->send(command);
    }
    static void log(Vantrel &w, const QString &text) { w.Log(text); }
    // Clears what a reply could be matched to, as a change of family does.
    static void forgetPendingReplies(Vantrel &w) { w.ForgetPendingReplies(); }
    // What the store watcher runs once it has told of a change.
    static void reloadProjectors(Vantrel &w) { w.ReloadProjectors(); }
    static bool watchesStore(const Vantrel &w) { return bool(w.storeWatcher); }
    static QObject *storeWatcher(Vantrel &w) { return w.storeWatcher.get(); }

    // Runs a slot by name, also one that no signal reaches.
    static bool invoke(Vantrel &w, const char *slot)
    {
        return QMetaObject::invokeMethod(&w, slot, Qt::DirectConnection);
    }
};
