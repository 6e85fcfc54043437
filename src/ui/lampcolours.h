#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QString>

// Fill colours of the power boxes, which always show the same state, and the
// words that say that state to whoever cannot tell the colours apart.
namespace LampColours {

inline QColor transition()
{
    return QColor(200, 200, 0); // a power command is under way; also at start
}

inline QColor lampOff()
{
    return QColor(50, 100, 255);
}

inline QColor lampOn()
{
    return QColor(255, 220, 0);
}

inline QColor noContact()
{
    return QColor(100, 100, 40);
}

// What a power box shows. A projector that is not read for the lamp
// (InFocus) is only ever InContact or NoContact once it has answered.
enum class State { Switching, LampOn, LampOff, NoContact, WarmingUp, CoolingDown, InContact };

inline QColor colour(State state)
{
    switch (state) {
    case State::LampOn:
        return lampOn();
    case State::LampOff:
        return lampOff();
    case State::NoContact:
        return noContact();
    case State::Switching:
    case State::WarmingUp:
    case State::CoolingDown:
    case State::InContact:
        break;
    }
    return transition();
}

inline QString words(State state)
{
    switch (state) {
    case State::Switching:
        return QCoreApplication::translate("LampColours", "Switching");
    case State::LampOn:
        return QCoreApplication::translate("LampColours", "Lamp on");
    case State::LampOff:
        return QCoreApplication::translate("LampColours", "Lamp off");
    case State::NoContact:
        return QCoreApplication::translate("LampColours", "No contact");
    case State::WarmingUp:
        return QCoreApplication::translate("LampColours", "Warming up");
    case State::CoolingDown:
        return QCoreApplication::translate("LampColours", "Cooling down");
    case State::InContact:
        return QCoreApplication::translate("LampColours", "In contact");
    }
    return QString();
}

} // namespace LampColours
