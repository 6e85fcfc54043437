#include "vantrel.h"

// The PJLink page's controls: the page sends; power goes the way every
// family's power buttons go.

void Vantrel::on_pjPowerOn_clicked()
{
    PowerOn();
}

void Vantrel::on_pjPowerOff_clicked()
{
    ConfirmPowerOff();
}

void Vantrel::on_pjInputCbx_activated(int index)
{
    pjlinkPage->chooseInput(index);
}

void Vantrel::on_pjPictureMute_clicked(bool checked)
{
    pjlinkPage->setPictureMute(checked);
}

void Vantrel::on_pjSoundMute_clicked(bool checked)
{
    pjlinkPage->setSoundMute(checked);
}

void Vantrel::on_pjFreeze_clicked(bool checked)
{
    pjlinkPage->setFrozen(checked);
}

void Vantrel::on_pjVolumeUp_clicked()
{
    pjlinkPage->volumeUp();
}

void Vantrel::on_pjVolumeDown_clicked()
{
    pjlinkPage->volumeDown();
}
