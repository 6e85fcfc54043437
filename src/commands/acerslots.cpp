#include "vantrel.h"

void Vantrel::SendAcerButton(Acer::Button button)
{
    const Acer::ButtonCommand &key = Acer::buttonCommand(button);
    if (!Acer::sendsFor(key, ModelIndex))
        return;
    SendCommand(key.command);
}

void Vantrel::HandleAcerReply(const QString &reply)
{
    const Acer::Reply action = Acer::interpretReply(reply);
    switch (action.action) {
    case Acer::Reply::LampOff:
        ShowLampOff();
        break;
    case Acer::Reply::LampOn:
        ShowLampOn();
        break;
    case Acer::Reply::Log:
        Log(action.logText);
        break;
    case Acer::Reply::Nothing:
        break;
    }
}

void Vantrel::on_freeze_clicked()
{
    SendAcerButton(Acer::Button::Freeze);
}

void Vantrel::on_company_clicked()
{
    SendAcerButton(Acer::Button::Company);
}

void Vantrel::on_compositeVideo_clicked()
{
    SendAcerButton(Acer::Button::CompositeVideo);
}

void Vantrel::on_searchVideo_clicked()
{
    SendAcerButton(Acer::Button::SearchVideo);
}

void Vantrel::on_zoom_clicked()
{
    SendAcerButton(Acer::Button::Zoom);
}

void Vantrel::on_colorTemperature_clicked()
{
    SendAcerButton(Acer::Button::ColorTemperature);
}

void Vantrel::on_hdmi_clicked()
{
    SendAcerButton(Acer::Button::Hdmi);
}

void Vantrel::on_dvi_clicked()
{
    SendAcerButton(Acer::Button::Dvi);
}

void Vantrel::on_sVideo_clicked()
{
    SendAcerButton(Acer::Button::SVideo);
}

void Vantrel::on_analogRGB_clicked()
{
    SendAcerButton(Acer::Button::AnalogRGB);
}

void Vantrel::on_eKey_clicked()
{
    SendAcerButton(Acer::Button::EKey);
}

void Vantrel::on_color_clicked()
{
    SendAcerButton(Acer::Button::Color);
}

void Vantrel::on_contrast_clicked()
{
    SendAcerButton(Acer::Button::Contrast);
}

void Vantrel::on_brightness_clicked()
{
    SendAcerButton(Acer::Button::Brightness);
}

void Vantrel::on_aspect16_9_clicked()
{
    SendAcerButton(Acer::Button::Aspect16_9);
}

void Vantrel::on_aspect4_3_clicked()
{
    SendAcerButton(Acer::Button::Aspect4_3);
}

void Vantrel::on_resolution_clicked()
{
    SendAcerButton(Acer::Button::Resolution);
}

void Vantrel::on_keystoneDown_clicked()
{
    SendAcerButton(Acer::Button::KeystoneDown);
}

void Vantrel::on_keystoneUpp_clicked()
{
    SendAcerButton(Acer::Button::KeystoneUp);
}

void Vantrel::on_hide_clicked()
{
    SendAcerButton(Acer::Button::Hide);
}

void Vantrel::on_keystone_clicked()
{
    SendAcerButton(Acer::Button::Keystone);
}

void Vantrel::on_ok_clicked()
{
    SendAcerButton(Acer::Button::Ok);
}

void Vantrel::on_left_clicked()
{
    SendAcerButton(Acer::Button::Left);
}

void Vantrel::on_down_clicked()
{
    SendAcerButton(Acer::Button::Down);
}

void Vantrel::on_right_clicked()
{
    SendAcerButton(Acer::Button::Right);
}

void Vantrel::on_up_clicked()
{
    SendAcerButton(Acer::Button::Up);
}

void Vantrel::on_menu_clicked()
{
    SendAcerButton(Acer::Button::Menu);
}

void Vantrel::on_queryModel_clicked()
{
    SendAcerButton(Acer::Button::QueryModel);
}

void Vantrel::on_queryLampTime_clicked()
{
    SendAcerButton(Acer::Button::QueryLampTime);
}
