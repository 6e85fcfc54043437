#include "vantrel.h"

namespace {

const char *commandOf(Vivitek::Button button)
{
    return Vivitek::buttonCommand(button).command;
}

} // namespace

void Vantrel::SendVvtValue(const char *prefix, int value)
{
    SendCommand(Vivitek::valueCommand(prefix, value));
}

void Vantrel::SendVvtListChoice(Vivitek::List list, int index)
{
    if (const char *command = Vivitek::listCommand(list, index))
        SendCommand(command);
}

void Vantrel::QueryVvtSettings()
{
    if (ui.debugCheckBox->isChecked())
        Log(QStringLiteral("QueryVvtSettings()\n"));
    // Nothing is sent here: the next success reply releases the first query.
    pendingQueries = Vivitek::stateQueries();
}

// After a change of family or port, nothing that was on its way belongs to
// what comes next.
void Vantrel::ForgetPendingReplies()
{
    vvtMatcher.clear();
    replyBuffer.clear();
    replyLineEnded = false;
    pendingQueries.clear();
}

void Vantrel::HandleVvtReply(const QString &reply)
{
    const Vivitek::Reply parsed = Vivitek::parseReply(reply);
    if (parsed.empty)
        return;
    // Judged by the command it answers, not by whatever went out last: the
    // poll or a click may have followed before the answer came.
    const QString answered = vvtMatcher.answer(tickCount);
    if (!parsed.success) {
        vvtRequeryPending = true;
        if (ui.debugCheckBox->isChecked())
            Log(lastCommand + QLatin1String("-> Failed\n"));
        return;
    }

    const int v = parsed.value;
    switch (Vivitek::meaningOf(answered)) {
    case Vivitek::Meaning::LampState:
        if (Vivitek::lampOn(reply))
            ShowLampOn();
        else
            ShowLampOff();
        break;
    case Vivitek::Meaning::LampHours:
        Log(QLatin1String("Lamp Time = ") + QString::number(v) + QLatin1String(" h\n"));
        break;
    case Vivitek::Meaning::Firmware:
        Log(reply.mid(1) + QLatin1Char('\n'));
        break;
    case Vivitek::Meaning::LampModeList:
        ui.vvtLampModeCbx->setCurrentIndex(Vivitek::listEntryOf(v));
        vvtLampModeIndex = ui.vvtLampModeCbx->currentIndex();
        break;
    case Vivitek::Meaning::LogoList:
        ui.vvtLogoSelectCbx->setCurrentIndex(Vivitek::listEntryOf(v));
        break;
    case Vivitek::Meaning::VideoSourceList:
        ui.vvtVideoSourceCbx->setCurrentIndex(Vivitek::listEntryOf(v));
        break;
    case Vivitek::Meaning::DisplayModeList:
        ui.vvtDisplayModeCbx->setCurrentIndex(Vivitek::listEntryOf(v));
        break;
    case Vivitek::Meaning::ColorTempList:
        ui.vvtColorTempCbx->setCurrentIndex(Vivitek::listEntryOf(v));
        break;
    case Vivitek::Meaning::Brightness:
        vvtBrightness = Vivitek::brightnessOf(v);
        break;
    case Vivitek::Meaning::Keystone:
        vvtKeystone = Vivitek::keystoneOf(v);
        break;
    case Vivitek::Meaning::Unused:
        // A lamp mode the projector took is the one it is in now.
        if (const int mode = Vivitek::listEntryOfCommand(Vivitek::List::LampMode, answered))
            vvtLampModeIndex = mode;
        break;
    }

    if (!pendingQueries.isEmpty()) {
        const QString next = pendingQueries.takeFirst();
        const QByteArray bytes = next.toLatin1();
        SendCommand(bytes.constData(), next.length());
        if (ui.debugCheckBox->isChecked())
            Log(QString::number(pendingQueries.count()) + QLatin1String(" pending commands.\n"));
    }
}

void Vantrel::on_vvtLampTime_clicked()
{
    SendCommand(commandOf(Vivitek::Button::LampTime));
}

void Vantrel::on_vvtFirmware_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Firmware));
}

void Vantrel::on_vvtKeyStoneUp_clicked()
{
    vvtKeystone = Vivitek::keystoneUp(vvtKeystone);
    SendVvtValue(Vivitek::KeystonePrefix, vvtKeystone);
}

void Vantrel::on_vvtKeyStoneDown_clicked()
{
    vvtKeystone = Vivitek::keystoneDown(vvtKeystone);
    SendVvtValue(Vivitek::KeystonePrefix, vvtKeystone);
}

void Vantrel::on_vvtBrightnessUp_clicked()
{
    vvtBrightness = Vivitek::brightnessUp(vvtBrightness);
    SendVvtValue(Vivitek::BrightnessPrefix, vvtBrightness);
}

void Vantrel::on_vvtBrightnessDown_clicked()
{
    vvtBrightness = Vivitek::brightnessDown(vvtBrightness);
    SendVvtValue(Vivitek::BrightnessPrefix, vvtBrightness);
}

void Vantrel::on_vvtPModeFront_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Front));
}

void Vantrel::on_vvtPModeRear_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Rear));
}

void Vantrel::on_vvtPModeCeiling_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Ceiling));
}

void Vantrel::on_vvtPModeRearCeiling_clicked()
{
    SendCommand(commandOf(Vivitek::Button::RearCeiling));
}

void Vantrel::on_vvtUnBlank_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Show));
}

void Vantrel::on_vvtBlank_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Blank));
}

void Vantrel::on_vvtAspect4_3_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Aspect4_3));
}

void Vantrel::on_vvtAspect16_9_clicked()
{
    SendCommand(commandOf(Vivitek::Button::Aspect16_9));
}

void Vantrel::on_vvtVideoSourceCbx_activated(int index)
{
    SendVvtListChoice(Vivitek::List::VideoSource, index);
}

void Vantrel::on_vvtDisplayModeCbx_activated(int index)
{
    SendVvtListChoice(Vivitek::List::DisplayMode, index);
}

void Vantrel::on_vvtLogoSelectCbx_activated(int index)
{
    SendVvtListChoice(Vivitek::List::Logo, index);
}

void Vantrel::on_vvtLampModeCbx_activated(int index)
{
    // Lamp modes are only taken while the lamp burns; a refused choice must
    // not look as if it had been sent, so the list goes back to the mode the
    // projector last reported or took, not to the last one chosen.
    if (!projectorOn) {
        ui.vvtLampModeCbx->setCurrentIndex(vvtLampModeIndex);
        return;
    }
    SendVvtListChoice(Vivitek::List::LampMode, index);
}

void Vantrel::on_vvtColorTempCbx_activated(int index)
{
    SendVvtListChoice(Vivitek::List::ColorTemp, index);
}
