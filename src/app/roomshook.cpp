#include "vantrel.h"

#include "infocus.h"
#include "roomswindow.h"

#include <QActionGroup>
#include <QDateTime>

// The Rooms view polls every stored projector but this window's own, whose
// line this window holds: that one's state is read from here, and its
// commands go out from here.
void Vantrel::OpenRooms()
{
    if (!rooms) {
        rooms = new RoomsWindow(this);
        RoomsHost host;
        host.currentName = [this] { return currentProjector; };
        host.currentState = [this] {
            ProjectorState state;
            if (ModelIndex == PJLink::ModelIndex)
                state.takePJLink(pjlinkPage->state());
            state.reachable = serialPort.isOpen() && contactCounter < 50;
            if (state.reachable) {
                state.lastAnswer = QDateTime::currentDateTimeUtc().addMSecs(-100 * contactCounter);
                if (ModelIndex != PJLink::ModelIndex && ModelIndex != InFocus::ModelIndex)
                    state.power = projectorOn ? 1 : 0;
            } else if (!serialPort.isOpen() && !serialPort.isOpening()) {
                state.problem = PortStatus::reason(portProblem, serialPort.problemDetail());
            }
            state.passwordRejected = portProblem == PortStatus::Problem::PasswordRejected
                || portProblem == PortStatus::Problem::PasswordMissing;
            return state;
        };
        host.open = [this](const QString &name) {
            for (QAction *action : projectorActions->actions()) {
                if (action->data().toString() == name && name != currentProjector)
                    action->trigger();
            }
            raise();
            activateWindow();
        };
        host.power = [this](bool on) { on ? PowerOn() : SendPowerOff(); };
        host.selectInput
            = [this](const QByteArray &input) { pjlinkPage->send(PJLink::selectInput(input)); };
        host.mute = [this](PJLink::MuteTarget target, bool on) {
            pjlinkPage->send(PJLink::mute(target, on));
        };
        rooms->setHost(host);
    }
    if (!rooms->isVisible())
        rooms->load();
    rooms->show();
    rooms->raise();
    rooms->activateWindow();
}
