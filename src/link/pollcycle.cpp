#include "vantrel.h"

#include "framing.h"
#include "infocus.h"
#include "lampcolours.h"
#include "power.h"
#include "trafficlog.h"

#include <QIcon>
#include <QPixmap>

#include <utility>

namespace {

const QIcon &connectIcon()
{
    static const QIcon icon(QPixmap(QStringLiteral(":/Vantrel/Resources/connect.png")));
    return icon;
}

const QIcon &disconnectIcon()
{
    static const QIcon icon(QPixmap(QStringLiteral(":/Vantrel/Resources/disconnect.png")));
    return icon;
}

bool showsIcon(const QAbstractButton *button, const QIcon &icon)
{
    return button->icon().cacheKey() == icon.cacheKey();
}

void setToolTipIfChanged(QWidget *widget, const QString &text)
{
    if (widget->toolTip() != text)
        widget->setToolTip(text);
}

// The connection icon's state, for whoever cannot see the icon.
void setAccessibleNameIfChanged(QWidget *widget, const QString &text)
{
    if (widget->accessibleName() != text)
        widget->setAccessibleName(text);
}

} // namespace

void Vantrel::OnTimer()
{
    ++tickCount;
    readSinceTick = 0;
    // A box opened from inside the drain (a failed write) runs ticks of its
    // own; they leave the input to the drain that is under way, in order.
    if (!draining)
        DrainReplies();

    const PollClock::Tick tick = pollClock.advance();
    if (tick.poll && !portLent && !serialPort.isOpen() && !serialPort.isOpening()
        && !configuredPort.isEmpty() && ReopensByItself())
        ReopenSerialPort();
    if (ModelIndex == PJLink::ModelIndex) {
        pjlinkPage->tick(tick.poll);
    } else if (tick.poll) {
        // A Vivitek projector answers in order; asking again while it still
        // owes an answer would let one lost reply shift every later match.
        if (ModelIndex != Vivitek::ModelIndex || vvtMatcher.waiting(tickCount) == 0)
            SendCommand(Power::pollCommand(ModelIndex));
    } else if (tick.requeryCheck) {
        if (vvtRequeryPending && ModelIndex == Vivitek::ModelIndex)
            QueryVvtSettings();
        vvtRequeryPending = false;
    }

    if (contactCounter + 1 > 49) {
        contactCounter = 50;
        ShowNoContact();
    } else {
        ++contactCounter;
    }

    if (pendingHeight != 0) {
        resize(width(), pendingHeight);
        pendingHeight = 0;
    }
}

// Every complete reply that has arrived is dispatched, in order, so a
// chatty line never builds a backlog; what waits beyond a flood's worth is
// dropped, oldest first.
void Vantrel::DrainReplies()
{
    const qint64 waiting = serialPort.isOpen() ? serialPort.bytesAvailable() : 0;
    if (waiting > Framing::MaxUnreadInput) {
        const qint64 excess = waiting - Framing::MaxUnreadInput;
        serialPort.dropOldest(excess);
        droppedInput += excess;
        lastDropTick = tickCount;
        // What was half received lost its continuation.
        replyBuffer.clear();
        replyLineEnded = false;
        pjlinkPage->inputDropped();
    } else if (droppedInput > 0 && tickCount - lastDropTick >= 10) {
        // One line for a whole flood, once it has been over for a second.
        Log(tr("Dropped %1 bytes of input that came faster than a projector sends.\n")
                .arg(std::exchange(droppedInput, 0)));
    }

    // One byte more than is waiting: reading past its buffer is what makes
    // QSerialPort read from the device again once that buffer had filled.
    const int size = int(qMin<qint64>(waiting, Framing::MaxUnreadInput)) + 1;
    QByteArray input(size, Qt::Uninitialized);
    input.resize(ReadSerial(input.data(), size));
    TakeInput(input);
}

// Between two ticks, input is read as it arrives up to what one tick may
// read; a flood beyond that waits for the tick, which drops it, so it cannot
// fill the log any faster than over a serial port.
void Vantrel::ReadArrivedInput()
{
    // A box opened by a reply handler leaves the input to the read under way.
    if (draining || readSinceTick >= Framing::MaxUnreadInput || !serialPort.isOpen())
        return;
    const qint64 size = qMin(serialPort.bytesAvailable(), Framing::MaxUnreadInput - readSinceTick);
    if (size <= 0)
        return;
    QByteArray input(int(size), Qt::Uninitialized);
    input.resize(ReadSerial(input.data(), input.size()));
    readSinceTick += input.size();
    TakeInput(input);
}

// Frames what was read into replies and dispatches each, whether the tick
// read it or it was read as it arrived.
void Vantrel::TakeInput(const QByteArray &input)
{
    if (ModelIndex == PJLink::ModelIndex) {
        // PJLink frames, matches and reads its answers itself.
        pjlinkPage->receive(input);
        return;
    }

    draining = true;
    const bool ascii = ui.asciiCheckBox->isChecked();
    int echoed = 0; // bytes of input already shown in a "> " line
    for (int i = 0; i < input.size(); ++i) {
        if (!Framing::feedByte(replyBuffer, replyLineEnded, input.at(i), ModelIndex))
            continue;
        // Each reply's bytes stand in the log right above what it caused.
        if (ui.debugCheckBox->isChecked())
            Log(TrafficLog::receivedLine(input.mid(echoed, i + 1 - echoed), ascii));
        echoed = i + 1;
        // Contact regained changes the icon only: the next lamp report
        // paints the boxes (InFocus, which has none, repaints here).
        if (contactCounter > 49)
            ShowContact();
        contactCounter = 0;
        DispatchReply(std::exchange(replyBuffer, QString()));
    }
    if (echoed < input.size() && ui.debugCheckBox->isChecked())
        Log(TrafficLog::receivedLine(input.mid(echoed), ascii));
    draining = false;
}

void Vantrel::ShowContact()
{
    if (!showsIcon(ui.connectionStatus, connectIcon()))
        ui.connectionStatus->setIcon(connectIcon());
    setToolTipIfChanged(ui.connectionStatus, tr("Contact"));
    setAccessibleNameIfChanged(ui.connectionStatus, tr("In contact with the projector"));
    if (ModelIndex == InFocus::ModelIndex)
        ShowLampState(LampColours::State::InContact);
}

void Vantrel::ShowNoContact()
{
    // Asserted on every silent tick: the boxes change, and repaint, only once.
    ShowLampState(LampColours::State::NoContact);
    if (!showsIcon(ui.connectionStatus, disconnectIcon()))
        ui.connectionStatus->setIcon(disconnectIcon());
    setToolTipIfChanged(ui.on_off_groupBox, QString());
    setToolTipIfChanged(ui.connectionStatus, tr("No Contact"));
    setAccessibleNameIfChanged(ui.connectionStatus, tr("No contact with the projector"));
}

void Vantrel::DispatchReply(const QString &reply)
{
    if (ModelIndex == Acer::ModelIndex)
        HandleAcerReply(reply);
    else if (ModelIndex == Vivitek::ModelIndex)
        HandleVvtReply(reply);
    if (ui.debugCheckBox->isChecked())
        Log(TrafficLog::replyLine(reply));
    ui.textEdit->ensureCursorVisible();
}
