#include "vantrel.h"

#include "lampcolours.h"
#include "pjlinkview.h"
#include "trafficlog.h"

#include <QElapsedTimer>
#include <QSignalBlocker>

namespace {

// Statuses of the user's own commands stay this long; those of a held
// command until it is sent or given up.
const int MessageMs = 10000;

QString levelStyle(int level)
{
    switch (level) {
    case 0:
        return QStringLiteral("background-color: rgb(90, 190, 90);");
    case 1:
        return QStringLiteral("background-color: rgb(255, 190, 0);");
    case 2:
        return QStringLiteral("background-color: rgb(230, 60, 50); color: white;");
    }
    return QString();
}

PJLink::Command button(PJLink::Button which)
{
    for (const PJLink::ButtonCommand &entry : PJLink::buttonCommands()) {
        if (entry.button == which)
            return PJLink::buttonCommand(entry);
    }
    return PJLink::Command();
}

} // namespace

// The client's clock: the window's ticks, so that a test drives it too.
qint64 Vantrel::PJLinkNow() const
{
    return tickCount * 100;
}

void Vantrel::SendPJLink(const PJLink::Command &command)
{
    if (ModelIndex != PJLink::ModelIndex)
        return;
    if (!pjlink.send(command)) {
        ui.statusBar->showMessage(tr("%1 was not sent: it is not a PJLink command")
                                      .arg(PJLinkView::commandCaption(command, pjlink.state())),
                                  MessageMs);
        return;
    }
    FlushPJLink();
}

// Whatever the client may send now goes out: one command at a time.
void Vantrel::FlushPJLink()
{
    if (!serialPort.isOpen())
        return;
    const QByteArray bytes = pjlink.takeOutput(PJLinkNow());
    if (bytes.isEmpty())
        return;
    serialPort.write(bytes);
    if (ui.debugCheckBox->isChecked()) {
        // The carriage return is the sent line's own "0d".
        Log(TrafficLog::sentLine(bytes.left(bytes.size() - 1), ui.asciiCheckBox->isChecked()));
    }
}

void Vantrel::ReceivePJLink(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (ui.debugCheckBox->isChecked())
        Log(TrafficLog::receivedLine(bytes, ui.asciiCheckBox->isChecked()));
    if (bytes.contains('\r')) {
        const bool regained = contactCounter > 49;
        contactCounter = 0;
        if (regained)
            ShowPJLinkContact();
    }
    HandlePJLinkNotices(pjlink.receive(bytes, PJLinkNow()));
    ui.textEdit->ensureCursorVisible();
}

void Vantrel::HandlePJLinkNotices(const QList<PJLinkClient::Notice> &notices)
{
    using Kind = PJLinkClient::Notice::Kind;
    bool changed = false;
    for (const PJLinkClient::Notice &notice : notices) {
        const PJLink::Command &command = notice.command;
        const bool users = command.origin == PJLink::Command::Origin::User;
        const QString caption = PJLinkView::commandCaption(command, pjlink.state());
        switch (notice.kind) {
        case Kind::StateChanged:
            changed = true;
            break;
        case Kind::Done:
            if (command.retry)
                ui.statusBar->showMessage(tr("%1 sent: the projector is on").arg(caption),
                                          MessageMs);
            break;
        case Kind::Refused: {
            const QString text = tr("%1: %2").arg(caption, notice.text);
            // A query refused at every poll (an input asked in standby) is
            // worth one line, not one per poll.
            if (users || pjlinkRefusals.value(command.name) != int(notice.error))
                Log(text + QLatin1Char('\n'));
            if (!users)
                pjlinkRefusals.insert(command.name, int(notice.error));
            if (users) {
                ui.statusBar->showMessage(text, MessageMs);
                // A toggle the projector did not take shows what it has.
                changed = true;
            }
            break;
        }
        case Kind::Held:
            ui.statusBar->showMessage(tr("%1: %2").arg(caption, notice.text));
            Log(tr("%1: %2\n").arg(caption, notice.text));
            break;
        case Kind::NotSent:
        case Kind::NoAnswer: {
            if (!users)
                break;
            const QString text = tr("%1: %2").arg(caption, notice.text);
            ui.statusBar->showMessage(text, MessageMs);
            Log(text + QLatin1Char('\n'));
            changed = true;
            break;
        }
        case Kind::LineDropped:
            Log(notice.text + QLatin1Char('\n'));
            break;
        case Kind::Unreadable:
            Log(tr("%1: %2\n").arg(PJLinkView::queryCaption(command), notice.text));
            break;
        case Kind::Replied:
            break;
        case Kind::Stray:
            if (ui.debugCheckBox->isChecked())
                Log(tr("Answer to no command: %1\n").arg(notice.text));
            break;
        }
    }
    if (changed)
        ShowPJLinkState();
    FlushPJLink();
}

void Vantrel::ShowPJLinkContact()
{
    ShowContact();
    if (!pjlink.state().power) {
        ShowTransition();
        return;
    }
    ShowPJLinkLamp(*pjlink.state().power);
}

void Vantrel::ShowPJLinkLamp(int power)
{
    switch (power) {
    case 0:
        ShowLampOff();
        break;
    case 1:
        ShowLampOn();
        break;
    case 2:
        ShowLamp(LampColours::State::CoolingDown, tr("Cooling down"));
        projectorOn = false;
        break;
    case 3:
        ShowLamp(LampColours::State::WarmingUp, tr("Warming up"));
        projectorOn = true;
        break;
    }
}

void Vantrel::ShowPJLinkState()
{
    const PJLinkState &state = pjlink.state();
    if (state.power && contactCounter <= 49)
        ShowPJLinkLamp(*state.power);
    const PJLinkView::Page page = PJLinkView::describe(state);

    QComboBox *inputs = ui.pjInputCbx;
    bool same = inputs->count() == page.inputs.size();
    for (int i = 0; same && i < page.inputs.size(); ++i)
        same = inputs->itemData(i).toByteArray() == page.inputs.at(i).code
            && inputs->itemText(i) == page.inputs.at(i).caption;
    if (!same) {
        // Rebuilt only when it changed, so an open list is not pulled away.
        const QSignalBlocker blocker(inputs);
        inputs->clear();
        for (const PJLinkView::Input &input : page.inputs)
            inputs->addItem(input.caption, input.code);
    }
    inputs->setCurrentIndex(page.currentInput);
    inputs->setPlaceholderText(page.inputsUnreadable ? tr("unreadable") : QString());
    ui.pjResolutionValue->setText(page.resolution);

    ui.pjPictureMute->setChecked(page.pictureMuted);
    ui.pjSoundMute->setChecked(page.soundMuted);
    ui.pjFreeze->setChecked(page.frozen);
    for (QWidget *classTwo :
         { static_cast<QWidget *>(ui.pjFreeze), static_cast<QWidget *>(ui.pjVolumeUp),
           static_cast<QWidget *>(ui.pjVolumeDown) })
        classTwo->setEnabled(page.classTwo);

    ui.pjNameValue->setText(page.name);
    ui.pjMakeValue->setText(page.make);
    ui.pjClassValue->setText(page.pjClass);
    ui.pjLampsValue->setText(page.lamps);
    ui.pjFilterValue->setText(page.filter);

    QLabel *const health[PJLink::HealthParts]
        = { ui.pjFanHealth,   ui.pjLampHealth,   ui.pjTemperatureHealth,
            ui.pjCoverHealth, ui.pjFilterHealth, ui.pjOtherHealth };
    for (int part = 0; part < PJLink::HealthParts; ++part) {
        const QString style = levelStyle(page.health[part].level);
        if (health[part]->styleSheet() != style)
            health[part]->setStyleSheet(style);
        health[part]->setToolTip(page.health[part].toolTip);
    }
}

// Until what waits has gone out and been answered, for as long as one
// answer may take at most.
void Vantrel::FinishPJLink()
{
    QElapsedTimer clock;
    clock.start();
    pjlink.finishing();
    while (serialPort.isOpen() && pjlink.waiting() && clock.elapsed() < PJLink::ReplyTimeoutMs) {
        serialPort.waitForReadyRead(int(PJLink::ReplyTimeoutMs - clock.elapsed()));
        DrainReplies();
    }
}

// A new projector or new settings: nothing known of the last one stays.
// The link logs in; the client sees only commands and answers.
void Vantrel::ResetPJLink()
{
    pjlink = PJLinkClient();
    pjlinkRefusals.clear();
    ShowPJLinkState();
}

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
    const QByteArray input = ui.pjInputCbx->itemData(index).toByteArray();
    if (!input.isEmpty())
        SendPJLink(PJLink::selectInput(input));
}

void Vantrel::on_pjPictureMute_clicked(bool checked)
{
    SendPJLink(PJLink::mute(PJLink::MuteTarget::Picture, checked));
}

void Vantrel::on_pjSoundMute_clicked(bool checked)
{
    SendPJLink(PJLink::mute(PJLink::MuteTarget::Sound, checked));
}

void Vantrel::on_pjFreeze_clicked(bool checked)
{
    SendPJLink(button(checked ? PJLink::Button::Freeze : PJLink::Button::Unfreeze));
}

void Vantrel::on_pjVolumeUp_clicked()
{
    SendPJLink(button(PJLink::Button::VolumeUp));
}

void Vantrel::on_pjVolumeDown_clicked()
{
    SendPJLink(button(PJLink::Button::VolumeDown));
}
