#include "replies.h"

#include "acer.h"
#include "infocus.h"

namespace Replies {

bool refused(int modelIndex, const QString &reply)
{
    switch (modelIndex) {
    case Acer::ModelIndex:
        return Acer::interpretReply(reply).refused;
    case Vivitek::ModelIndex:
        return !Vivitek::parseReply(reply).success;
    case InFocus::ModelIndex:
        return reply == QLatin1String(InFocus::Refused);
    default:
        return false;
    }
}

QString lamp(int modelIndex, const QString &reply)
{
    if (modelIndex == Vivitek::ModelIndex)
        return Vivitek::parseReply(reply).success ? vivitekValue(Vivitek::Meaning::LampState, reply)
                                                  : QString();
    if (modelIndex != Acer::ModelIndex)
        return QString();
    switch (Acer::interpretReply(reply).action) {
    case Acer::Reply::LampOn:
        return QStringLiteral("on");
    case Acer::Reply::LampOff:
        return QStringLiteral("off");
    default:
        return QString();
    }
}

QString vivitekValue(Vivitek::Meaning meaning, const QString &reply)
{
    using Vivitek::List;
    using Vivitek::Meaning;
    const int value = Vivitek::parseReply(reply).value;
    const auto entry
        = [value](List list) { return Vivitek::listCaption(list, Vivitek::listEntryOf(value)); };
    switch (meaning) {
    case Meaning::LampState:
        return QLatin1String(Vivitek::lampOn(reply) ? "on" : "off");
    case Meaning::LampHours:
        return QString::number(value);
    case Meaning::Firmware:
        return reply.mid(1);
    case Meaning::VideoSourceList:
        return entry(List::VideoSource);
    case Meaning::DisplayModeList:
        return entry(List::DisplayMode);
    case Meaning::LogoList:
        return entry(List::Logo);
    case Meaning::LampModeList:
        return entry(List::LampMode);
    case Meaning::ColorTempList:
        return entry(List::ColorTemp);
    case Meaning::Brightness:
        return QString::number(Vivitek::brightnessOf(value));
    case Meaning::Keystone:
        return QString::number(Vivitek::keystoneOf(value));
    case Meaning::Unused:
        break;
    }
    return QString();
}

QString acerText(const QString &reply)
{
    Acer::Reply interpreted = Acer::interpretReply(reply);
    if (interpreted.action != Acer::Reply::Log)
        return QString();
    if (interpreted.logText.endsWith(QLatin1Char('\n')))
        interpreted.logText.chop(1);
    return interpreted.logText;
}

} // namespace Replies
