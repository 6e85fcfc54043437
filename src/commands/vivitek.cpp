#include "vivitek.h"

#include <iterator>

namespace Vivitek {

namespace {

// Index i of each table is list entry i + 1. The source numbers do not follow
// the list order, which is why these are spelled out.
const char *const videoSources[] = { "V99S0201", "V99S0202", "V99S0203", "V99S0204", "V99S0205",
                                     "V99S0206", "V99S0209", "V99S0207", "V99S0208", "V99S0210" };
const char *const displayModes[] = { "V99S01080", "V99S01081", "V99S01082", "V99S01083",
                                     "V99S01084", "V99S01085", "V99S01086", "V99S01087" };
const char *const logos[] = { "V99S03210", "V99S03212", "V99S03211" };
const char *const lampModes[] = { "V99S03190", "V99S03191", "V99S03192" };
const char *const colorTemps[] = { "V99S01060", "V99S01061", "V99S01062" };

struct ListTable
{
    const char *const *commands;
    int count;
};

template<std::size_t N>
constexpr ListTable table(const char *const (&commands)[N])
{
    return { commands, int(N) };
}

ListTable tableOf(List list)
{
    switch (list) {
    case List::VideoSource:
        return table(videoSources);
    case List::DisplayMode:
        return table(displayModes);
    case List::Logo:
        return table(logos);
    case List::LampMode:
        return table(lampModes);
    case List::ColorTemp:
        return table(colorTemps);
    }
    return { nullptr, 0 };
}

} // namespace

const char *listCommand(List list, int index)
{
    const ListTable entries = tableOf(list);
    if (index < 1 || index > entries.count)
        return nullptr;
    return entries.commands[index - 1];
}

int listEntryCount(List list)
{
    return tableOf(list).count + 1;
}

QByteArray valueCommand(const char *prefix, int value)
{
    return QByteArray(prefix) + QByteArray::number(value);
}

std::int8_t keystoneUp(std::int8_t value)
{
    return value <= KeystoneLimit - 1 ? std::int8_t(value + 1) : value;
}

std::int8_t keystoneDown(std::int8_t value)
{
    return value >= -(KeystoneLimit - 1) ? std::int8_t(value - 1) : value;
}

std::uint8_t brightnessUp(std::uint8_t value)
{
    return value <= BrightnessMax - 1 ? std::uint8_t(value + 1) : value;
}

std::uint8_t brightnessDown(std::uint8_t value)
{
    return value != 0 ? std::uint8_t(value - 1) : value;
}

QStringList stateQueries()
{
    return { QStringLiteral("V99G0319"), QStringLiteral("V99G0321"), QStringLiteral("V99G0308"),
             QStringLiteral("V99G0108"), QStringLiteral("V99G0220"), QStringLiteral("V99G0309"),
             QStringLiteral("V99G0101"), QStringLiteral("V99G0102"), QStringLiteral("V99G0105"),
             QStringLiteral("V99G0106") };
}

Reply parseReply(const QString &reply)
{
    Reply parsed;
    if (reply.isEmpty())
        return parsed;
    parsed.empty = false;
    parsed.success = reply.at(0) == QLatin1Char('P');
    if (parsed.success && reply.size() >= 2)
        parsed.value = reply.mid(1).toInt(nullptr, 10);
    return parsed;
}

Meaning meaningOf(const QString &lastCommand)
{
    static const struct
    {
        const char *command;
        Meaning meaning;
    } meanings[] = {
        { StatusPoll, Meaning::LampState },       { LampHours, Meaning::LampHours },
        { Firmware, Meaning::Firmware },          { "V99G0319", Meaning::LampModeList },
        { "V99G0321", Meaning::LogoList },        { "V99G0220", Meaning::VideoSourceList },
        { "V99G0108", Meaning::DisplayModeList }, { "V99G0106", Meaning::ColorTempList },
        { "V99G0101", Meaning::Brightness },      { "V99G0309", Meaning::Keystone },
    };
    for (const auto &entry : meanings) {
        if (lastCommand == QLatin1String(entry.command))
            return entry.meaning;
    }
    return Meaning::Unused;
}

} // namespace Vivitek
