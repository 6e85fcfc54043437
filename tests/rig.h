#pragma once

#include "nullmodem.h"
#include "vantrelprobe.h"

#include <QColor>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class QAbstractButton;

// A Vantrel window on one end of a null-modem, started the way a user starts
// it: the store names the modem's port and the family. Its poll timer is
// stopped, so only the test decides when a tick runs.
class Rig
{
public:
    static const QColor TransitionColour;
    static const QColor LampOffColour;
    static const QColor LampOnColour;
    static const QColor NoContactColour;

    explicit Rig(int model = 0, bool debug = false);
    // The store names what portFor gives for the modem instead, a network
    // serial server in front of it say; portFor runs before the window starts.
    Rig(int model, bool debug, const std::function<QString(NullModem &)> &portFor);
    // Started from the given store instead: a projector on the network.
    Rig(const QVariantMap &store, bool debug);
    ~Rig();

    Vantrel &window() { return *w; }
    Ui::VantrelClass &ui() { return VantrelProbe::ui(*w); }
    QAbstractButton *button(const QString &name) const;
    bool show();

    // Runs count ticks of the poll cycle.
    void tick(int count = 1);
    // Puts bytes on the line and ticks until the program has read them all
    // (a tick completes at most one reply); false if it never did.
    bool receive(const QByteArray &bytes);
    bool tickUntil(const std::function<bool()> &done, int maxTicks = 1000);

    // Everything the program sent since the last call, proven complete by a
    // marker command sent behind it: no waiting for silence. The marker
    // becomes lastCommand, so call it after the replies that match against it.
    QByteArray sent();

    QString log() const;
    void clearLog();
    // The fill colours of the two power boxes, which always agree.
    QColor boxColour() const;
    bool boxesAgree() const;
    bool showsContact() const;

    NullModem modem;

private:
    std::unique_ptr<Vantrel> w;
};
