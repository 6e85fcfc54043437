#include "vantrel.h"

#include "infocus.h"
#include "lampcolours.h"
#include "power.h"

#include <QMessageBox>

void Vantrel::ShowTransition()
{
    // An InFocus projector is not read for the lamp: while it answers, its
    // box says no more than that.
    const bool answering = ModelIndex == InFocus::ModelIndex && contactCounter <= 49;
    ShowLampState(answering ? LampColours::State::InContact : LampColours::State::Switching);
}

void Vantrel::ShowLampState(LampColours::State state)
{
    for (ColorGroupBox *box : { ui.on_off_groupBox, ui.vvt_on_off_groupBox, ui.pj_on_off_groupBox })
        box->showState(LampColours::colour(state), LampColours::words(state));
}

void Vantrel::PowerOn()
{
    ShowTransition();
    if (ModelIndex == PJLink::ModelIndex) {
        pjlinkPage->send(PJLink::power(true));
        return;
    }
    const QByteArray command = Power::onCommand(ModelIndex);
    if (!command.isEmpty())
        SendCommand(command);
}

void Vantrel::ConfirmPowerOff()
{
    const auto answer = QMessageBox::question(this, tr("Turn off"), tr("Turn the projector off?"),
                                              QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        SendPowerOff();
}

void Vantrel::SendPowerOff()
{
    ShowTransition();
    if (ModelIndex == PJLink::ModelIndex) {
        pjlinkPage->send(PJLink::power(false));
        return;
    }
    const QByteArray command = Power::offCommand(ModelIndex);
    if (!command.isEmpty())
        SendCommand(command);
    serialPort.flush();
}

void Vantrel::ShowLamp(LampColours::State state, const QString &toolTip)
{
    ShowLampState(state);
    for (ColorGroupBox *box : { ui.on_off_groupBox, ui.vvt_on_off_groupBox, ui.pj_on_off_groupBox })
        box->setToolTip(toolTip);
}

void Vantrel::ShowLampOff()
{
    ShowLamp(LampColours::State::LampOff, QStringLiteral("Lamp is Off"));
    projectorOn = false;
}

void Vantrel::ShowLampOn()
{
    ShowLamp(LampColours::State::LampOn, QStringLiteral("Lamp is On"));
    projectorOn = true;
}

void Vantrel::on_powerOn_clicked()
{
    PowerOn();
}

void Vantrel::on_vvtPowerOn_clicked()
{
    PowerOn();
}

void Vantrel::on_powerOff_clicked()
{
    ConfirmPowerOff();
}

void Vantrel::on_vvtPowerOff_clicked()
{
    ConfirmPowerOff();
}
