#include "power.h"

#include "acer.h"
#include "infocus.h"
#include "vivitek.h"

namespace Power {

QByteArray onCommand(int modelIndex)
{
    switch (modelIndex) {
    case Acer::ModelIndex:
        return Acer::PowerOn;
    case Vivitek::ModelIndex:
        return Vivitek::PowerOn;
    case InFocus::ModelIndex:
        return InFocus::PowerOn;
    default:
        return {};
    }
}

QByteArray offCommand(int modelIndex)
{
    switch (modelIndex) {
    case Acer::ModelIndex:
        return Acer::PowerOff;
    case Vivitek::ModelIndex:
        return Vivitek::PowerOff;
    case InFocus::ModelIndex:
        return InFocus::PowerOff;
    default:
        return {};
    }
}

QByteArray pollCommand(int modelIndex)
{
    switch (modelIndex) {
    case Vivitek::ModelIndex:
        return Vivitek::StatusPoll;
    case InFocus::ModelIndex:
        return InFocus::StatusPoll;
    default:
        return Acer::StatusPoll;
    }
}

int baudRate(int modelIndex)
{
    return modelIndex == InFocus::ModelIndex ? InFocus::BaudRate : 9600;
}

QColor transitionColour()
{
    return QColor(200, 200, 0);
}

QColor lampOffColour()
{
    return QColor(50, 100, 255);
}

QColor lampOnColour()
{
    return QColor(255, 220, 0);
}

QColor noContactColour()
{
    return QColor(100, 100, 40);
}

} // namespace Power
