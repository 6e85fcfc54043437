#include "pjlinkpage.h"

#include "framing.h"
#include "pjlinkview.h"
#include "projectorlink.h"
#include "trafficlog.h"

#include <QElapsedTimer>
#include <QSignalBlocker>

#include <utility>

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

PJLinkPage::PJLinkPage(Ui::VantrelClass &form, ProjectorLink &link, PJLinkPageHost host,
                       QObject *parent)
    : QObject(parent)
    , ui(form)
    , link(link)
    , host(std::move(host))
{
    // Its own connections: the window's slots are the ones it was built with.
    connect(ui.pjPowerOn, &QAbstractButton::clicked, this, [this] { this->host.powerOn(); });
    connect(ui.pjPowerOff, &QAbstractButton::clicked, this, [this] { this->host.powerOff(); });
    connect(ui.pjInputCbx, QOverload<int>::of(&QComboBox::activated), this,
            &PJLinkPage::chooseInput);
    connect(ui.pjPictureMute, &QAbstractButton::clicked, this, &PJLinkPage::setPictureMute);
    connect(ui.pjSoundMute, &QAbstractButton::clicked, this, &PJLinkPage::setSoundMute);
    connect(ui.pjFreeze, &QAbstractButton::clicked, this, &PJLinkPage::setFrozen);
    connect(ui.pjVolumeUp, &QAbstractButton::clicked, this, &PJLinkPage::volumeUp);
    connect(ui.pjVolumeDown, &QAbstractButton::clicked, this, &PJLinkPage::volumeDown);
}

void PJLinkPage::reset(bool active)
{
    this->active = active;
    pjlink = PJLinkClient();
    refusals.clear();
    showState();
}

void PJLinkPage::opened()
{
    if (!active)
        return;
    // Greeted and logged in by the link: the state is read from here.
    pjlink.opened(host.now());
    pjlink.poll(host.now());
    flush();
}

void PJLinkPage::disconnected()
{
    if (active)
        handle(pjlink.disconnected());
}

void PJLinkPage::receive(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (debugging())
        host.log(TrafficLog::receivedLine(bytes, ui.asciiCheckBox->isChecked()));
    if (bytes.contains('\r') && host.answered())
        showContact();
    handle(pjlink.receive(bytes, host.now()));
    ui.textEdit->ensureCursorVisible();
}

void PJLinkPage::inputDropped()
{
    pjlink.inputDropped();
}

void PJLinkPage::tick(bool poll)
{
    if (!active)
        return;
    if (poll)
        pjlink.poll(host.now());
    handle(pjlink.advance(host.now()));
}

void PJLinkPage::finish()
{
    QElapsedTimer clock;
    clock.start();
    pjlink.finishing();
    while (link.isOpen() && pjlink.waiting() && clock.elapsed() < PJLink::ReplyTimeoutMs) {
        link.waitForReadyRead(int(PJLink::ReplyTimeoutMs - clock.elapsed()));
        // What the wait's own readyRead left, no more than a tick may read.
        if (link.isOpen())
            receive(link.read(qMin<qint64>(link.bytesAvailable(), Framing::MaxUnreadInput)));
    }
}

void PJLinkPage::send(const PJLink::Command &command)
{
    if (!active)
        return;
    if (!pjlink.send(command)) {
        host.showMessage(tr("%1 was not sent: it is not a PJLink command")
                             .arg(PJLinkView::commandCaption(command, pjlink.state())),
                         MessageMs);
        return;
    }
    flush();
}

void PJLinkPage::chooseInput(int index)
{
    const QByteArray input = ui.pjInputCbx->itemData(index).toByteArray();
    if (!input.isEmpty())
        send(PJLink::selectInput(input));
}

void PJLinkPage::setPictureMute(bool on)
{
    send(PJLink::mute(PJLink::MuteTarget::Picture, on));
}

void PJLinkPage::setSoundMute(bool on)
{
    send(PJLink::mute(PJLink::MuteTarget::Sound, on));
}

void PJLinkPage::setFrozen(bool on)
{
    send(button(on ? PJLink::Button::Freeze : PJLink::Button::Unfreeze));
}

void PJLinkPage::volumeUp()
{
    send(button(PJLink::Button::VolumeUp));
}

void PJLinkPage::volumeDown()
{
    send(button(PJLink::Button::VolumeDown));
}

// Whatever the client may send now goes out: one command at a time.
void PJLinkPage::flush()
{
    if (!link.isOpen())
        return;
    const QByteArray bytes = pjlink.takeOutput(host.now());
    if (bytes.isEmpty())
        return;
    link.write(bytes);
    if (debugging()) {
        // The carriage return is the sent line's own "0d".
        host.log(TrafficLog::sentLine(bytes.left(bytes.size() - 1), ui.asciiCheckBox->isChecked()));
    }
}

void PJLinkPage::handle(const QList<PJLinkClient::Notice> &notices)
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
                host.showMessage(tr("%1 sent: the projector is on").arg(caption), MessageMs);
            break;
        case Kind::Refused: {
            const QString text = tr("%1: %2").arg(caption, notice.text);
            // A query refused at every poll (an input asked in standby) is
            // worth one line, not one per poll.
            if (users || refusals.value(command.name) != int(notice.error))
                host.log(text + QLatin1Char('\n'));
            if (!users)
                refusals.insert(command.name, int(notice.error));
            if (users) {
                host.showMessage(text, MessageMs);
                // A toggle the projector did not take shows what it has.
                changed = true;
            }
            break;
        }
        case Kind::Held:
            host.showMessage(tr("%1: %2").arg(caption, notice.text), 0);
            host.log(tr("%1: %2\n").arg(caption, notice.text));
            break;
        case Kind::NotSent:
        case Kind::NoAnswer: {
            if (!users)
                break;
            const QString text = tr("%1: %2").arg(caption, notice.text);
            host.showMessage(text, MessageMs);
            host.log(text + QLatin1Char('\n'));
            changed = true;
            break;
        }
        case Kind::LineDropped:
            host.log(notice.text + QLatin1Char('\n'));
            break;
        case Kind::Unreadable:
            host.log(tr("%1: %2\n").arg(PJLinkView::queryCaption(command), notice.text));
            break;
        case Kind::Replied: // only a client that asks on demand tells these
            break;
        case Kind::Stray:
            if (debugging())
                host.log(tr("Answer to no command: %1\n").arg(notice.text));
            break;
        }
    }
    if (changed)
        showState();
    flush();
}

void PJLinkPage::showContact()
{
    host.showContact();
    if (!pjlink.state().power) {
        host.showTransition();
        return;
    }
    showLamp(*pjlink.state().power);
}

void PJLinkPage::showLamp(int power)
{
    switch (power) {
    case 0:
        host.showLamp(LampColours::State::LampOff, tr("Lamp is Off"), false);
        break;
    case 1:
        host.showLamp(LampColours::State::LampOn, tr("Lamp is On"), true);
        break;
    case 2:
        host.showLamp(LampColours::State::CoolingDown, tr("Cooling down"), false);
        break;
    case 3:
        host.showLamp(LampColours::State::WarmingUp, tr("Warming up"), true);
        break;
    }
}

void PJLinkPage::showState()
{
    const PJLinkState &state = pjlink.state();
    if (state.power && host.inContact())
        showLamp(*state.power);
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
    ui.pjInfoValue->setText(page.info);
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

bool PJLinkPage::debugging() const
{
    return ui.debugCheckBox->isChecked();
}
