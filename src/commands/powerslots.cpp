#include "vantrel.h"

#include "lampcolours.h"
#include "power.h"

#include <QMessageBox>

void Vantrel::ShowTransition()
{
    for (ColorGroupBox *box :
         { ui.on_off_groupBox, ui.vvt_on_off_groupBox, ui.pj_on_off_groupBox }) {
        box->fillColor = LampColours::transition();
        box->update();
    }
}

void Vantrel::PowerOn()
{
    ShowTransition();
    if (ModelIndex == PJLink::ModelIndex) {
        SendPJLink(PJLink::power(true));
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
        SendPJLink(PJLink::power(false));
        return;
    }
    const QByteArray command = Power::offCommand(ModelIndex);
    if (!command.isEmpty())
        SendCommand(command);
    serialPort.flush();
}

void Vantrel::ShowLamp(const QColor &colour, const QString &toolTip)
{
    for (ColorGroupBox *box :
         { ui.on_off_groupBox, ui.vvt_on_off_groupBox, ui.pj_on_off_groupBox }) {
        box->fillColor = colour;
        box->update();
        box->setToolTip(toolTip);
    }
}

void Vantrel::ShowLampOff()
{
    ShowLamp(LampColours::lampOff(), QStringLiteral("Lamp is Off"));
    projectorOn = false;
}

void Vantrel::ShowLampOn()
{
    ShowLamp(LampColours::lampOn(), QStringLiteral("Lamp is On"));
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
