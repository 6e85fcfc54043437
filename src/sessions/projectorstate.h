#pragma once

#include "pjlink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class PJLinkState;

// What is known of one projector, whichever family and whoever asked: a
// session of its own, or the window for its current projector. A value not
// known yet is unknown (nullopt, empty, -1).
struct ProjectorState
{
    struct Input
    {
        QByteArray code;
        QString caption;
    };

    // As PJLink counts: 0 off, 1 on, 2 cooling down, 3 warming up; -1 unknown.
    int power = -1;
    // The projector answered its last poll.
    bool reachable = false;
    // Why it cannot be reached, in the status line's words; empty while it
    // can, or while nothing has been tried yet.
    QString problem;
    bool passwordRejected = false;
    QByteArray input;
    QString inputCaption;
    QList<Input> inputs; // what can be chosen; PJLink only
    std::optional<PJLink::Mutes> mutes;
    std::optional<QList<PJLink::Lamp>> lamps; // empty: none; serial: one, unlit unknown
    std::optional<int> filterHours; // -1: no filter
    std::optional<PJLink::Health> health;
    std::optional<int> pjClass;
    QString name; // what the projector calls itself
    QString make;
    QString model;
    QString info; // PJLink's "other information"
    QString serialNumber;
    QString softwareVersion;
    QString lampPart;
    QString filterPart;
    QDateTime lastAnswer; // UTC; invalid: never

    // Everything a PJLink projector's answers gave, the rest left as it is.
    void takePJLink(const PJLinkState &state);

    // "Lamp on", "Lamp off", "Warming up", "Cooling down", "No contact", or
    // why it cannot be reached. Contact without a lamp state (InFocus):
    // "Contact".
    QString stateText() const;
    // "ok", or the parts in trouble: "lamp: warning, fan: error"; empty
    // while not known.
    QString healthText() const;
    // The worst health level, -1 while not known.
    int worstHealth() const;
    // "1250", or "1250, 80" for each lamp; empty while not known.
    QString lampHoursText() const;
    // The highest hours of any lamp, -1 while not known.
    int maxLampHours() const;
    QString filterText() const;
};

bool operator==(const ProjectorState::Input &a, const ProjectorState::Input &b);
