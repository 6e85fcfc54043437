#include "vantrel.h"

#include "framing.h"
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

// The no-contact display is asserted on every silent tick; repainting what
// already shows would cost an idle window a redraw ten times a second.
void paintBox(ColorGroupBox *box, const QColor &colour)
{
    if (box->fillColor == colour)
        return;
    box->fillColor = colour;
    box->update();
}

void setToolTipIfChanged(QWidget *widget, const QString &text)
{
    if (widget->toolTip() != text)
        widget->setToolTip(text);
}

} // namespace

void Vantrel::OnTimer()
{
    const bool debug = ui.debugCheckBox->isChecked();
    QByteArray received;
    bool complete = false;
    char byte = 0;
    while (ReadSerial(&byte, 1) > 0) {
        if (debug)
            received.append(byte);
        if (Framing::feedByte(replyBuffer, byte, ModelIndex)) {
            complete = true;
            break;
        }
    }
    if (!received.isEmpty() && debug)
        Log(TrafficLog::receivedLine(received, ui.asciiCheckBox->isChecked()));

    if (complete) {
        if (contactCounter > 49) {
            if (!showsIcon(ui.connectionStatus, connectIcon()))
                ui.connectionStatus->setIcon(connectIcon());
            setToolTipIfChanged(ui.connectionStatus, tr("Contact"));
        }
        contactCounter = 0;
        // Taken out before dispatch: a handler may open a box whose event
        // loop runs further ticks.
        DispatchReply(std::exchange(replyBuffer, QString()));
    }

    const PollClock::Tick tick = pollClock.advance();
    if (tick.poll) {
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

void Vantrel::ShowNoContact()
{
    paintBox(ui.on_off_groupBox, Power::noContactColour());
    paintBox(ui.vvt_on_off_groupBox, Power::noContactColour());
    if (!showsIcon(ui.connectionStatus, disconnectIcon()))
        ui.connectionStatus->setIcon(disconnectIcon());
    setToolTipIfChanged(ui.on_off_groupBox, QString());
    setToolTipIfChanged(ui.connectionStatus, tr("No Contact"));
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
