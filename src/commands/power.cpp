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

} // namespace Power
