#pragma once

#include "pjlinkstate.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// What the PJLink control page shows of a projector's state, worked out
// apart from the widgets that show it. A value not known yet shows as "-",
// one given up as "unreadable".
namespace PJLinkView {

struct Input
{
    QByteArray code; // "31"
    QString caption; // the projector's own name on class 2, else "Digital 1"
};

struct Health
{
    int level = -1; // 0 ok, 1 warning, 2 error, -1 not known yet
    QString toolTip; // "fan: ok"
};

struct Page
{
    QList<Input> inputs;
    bool inputsUnreadable = false; // and none known
    int currentInput = -1; // index into inputs; -1 when not known
    QString resolution; // of the current input, class 2; empty when not known
    bool pictureMuted = false;
    bool soundMuted = false;
    bool frozen = false;
    bool classTwo = false; // freeze and volume exist only on class 2
    QString name;
    QString make; // make and model
    QString info; // the projector's "other information"
    QString pjClass;
    QString lamps; // each lamp's hours and whether it is lit, one line each
    QString filter;
    std::array<Health, PJLink::HealthParts> health;
};

Page describe(const PJLinkState &state);

// What a query reads, as the log names it: "Inputs", "Name", "Lamps".
QString queryCaption(const PJLink::Command &command);

// A command as the status bar names it: "Power on", "Input Digital 1",
// "Picture mute".
QString commandCaption(const PJLink::Command &command, const PJLinkState &state);

} // namespace PJLinkView
