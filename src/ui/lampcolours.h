#pragma once

#include <QColor>

// Fill colours of the two power boxes, which always show the same state.
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

} // namespace LampColours
