#include "vivitek.h"

#include "framing.h"
#include "names.h"

#include <iterator>
#include <limits>

namespace Vivitek {

namespace {

struct Entry
{
    const char *command;
    const char *caption; // as the control page's list shows it
};

// Index i of each table is list entry i + 1. The source numbers do not follow
// the list order, which is why these are spelled out.
const Entry videoSources[] = {
    { "V99S0201", "RGB 1" },        { "V99S0202", "RGB 2" },   { "V99S0203", "DVI" },
    { "V99S0204", "Video" },        { "V99S0205", "S-Video" }, { "V99S0206", "HDMI 1" },
    { "V99S0209", "HDMI 2" },       { "V99S0207", "BNC" },     { "V99S0208", "Component" },
    { "V99S0210", "Display Port" },
};
const Entry displayModes[] = {
    { "V99S01080", "Presentation" }, { "V99S01081", "Bright" }, { "V99S01082", "Game" },
    { "V99S01083", "Movie" },        { "V99S01084", "TV" },     { "V99S01085", "sRGB" },
    { "V99S01086", "Blackboard" },   { "V99S01087", "User" },
};
const Entry logos[]
    = { { "V99S03210", "Standard" }, { "V99S03212", "Off" }, { "V99S03211", "User" } };
const Entry lampModes[]
    = { { "V99S03190", "Eco" }, { "V99S03191", "Normal" }, { "V99S03192", "Dynamic Eco" } };
const Entry colorTemps[]
    = { { "V99S01060", "Warm" }, { "V99S01061", "Normal" }, { "V99S01062", "Cold" } };

struct ListTable
{
    const char *name;
    const Entry *entries;
    int count;
};

template<std::size_t N>
constexpr ListTable table(const char *name, const Entry (&entries)[N])
{
    return { name, entries, int(N) };
}

ListTable tableOf(List list)
{
    switch (list) {
    case List::VideoSource:
        return table("source", videoSources);
    case List::DisplayMode:
        return table("display-mode", displayModes);
    case List::Logo:
        return table("logo", logos);
    case List::LampMode:
        return table("lamp-mode", lampModes);
    case List::ColorTemp:
        return table("colour-temperature", colorTemps);
    }
    return { "", nullptr, 0 };
}

const Entry *entryOf(List list, int index)
{
    const ListTable entries = tableOf(list);
    return index >= 1 && index <= entries.count ? &entries.entries[index - 1] : nullptr;
}

} // namespace

const std::array<ButtonCommand, ButtonCount> &buttonCommands()
{
    static const std::array<ButtonCommand, ButtonCount> table = { {
        { Button::LampTime, "vvtLampTime", "lamp-time", LampHours },
        { Button::Firmware, "vvtFirmware", "firmware", Firmware },
        { Button::KeystoneUp, "vvtKeyStoneUp", "keystone-up", nullptr },
        { Button::KeystoneDown, "vvtKeyStoneDown", "keystone-down", nullptr },
        { Button::Front, "vvtPModeFront", "front", ProjectionFront },
        { Button::Rear, "vvtPModeRear", "rear", ProjectionRear },
        { Button::Ceiling, "vvtPModeCeiling", "ceiling", ProjectionCeiling },
        { Button::RearCeiling, "vvtPModeRearCeiling", "rear-ceiling", ProjectionRearCeiling },
        { Button::Show, "vvtUnBlank", "show", Unblank },
        { Button::Blank, "vvtBlank", "blank", Blank },
        { Button::Aspect4_3, "vvtAspect4_3", "aspect-4-3", Aspect4_3 },
        { Button::Aspect16_9, "vvtAspect16_9", "aspect-16-9", Aspect16_9 },
    } };
    return table;
}

const ButtonCommand &buttonCommand(Button button)
{
    return buttonCommands()[static_cast<std::size_t>(button)];
}

const ButtonCommand *findButton(const QString &name)
{
    return findByName(buttonCommands(), name);
}

const char *listCommand(List list, int index)
{
    const Entry *entry = entryOf(list, index);
    return entry ? entry->command : nullptr;
}

int listEntryCount(List list)
{
    return tableOf(list).count + 1;
}

QString listName(List list)
{
    return QLatin1String(tableOf(list).name);
}

QString listCaption(List list, int index)
{
    const Entry *entry = entryOf(list, index);
    return entry ? QLatin1String(entry->caption) : QString();
}

QString listEntryName(List list, int index)
{
    return listCaption(list, index)
        .toLower()
        .simplified()
        .replace(QLatin1Char(' '), QLatin1Char('-'));
}

int findListEntry(List list, const QString &name)
{
    for (int index = 1; index < listEntryCount(list); ++index) {
        if (name == listEntryName(list, index))
            return index;
    }
    return 0;
}

int listEntryOfCommand(List list, const QString &command)
{
    for (int index = 1; index < listEntryCount(list); ++index) {
        if (command == QLatin1String(listCommand(list, index)))
            return index;
    }
    return 0;
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

bool lampOn(const QString &successReply)
{
    return Framing::trimmed(successReply) != QLatin1String("P0");
}

// A reply of "P2147483647" must not overflow: that entry is out of range like
// any other too large number.
int listEntryOf(int value)
{
    return value < std::numeric_limits<int>::max() ? value + 1 : value;
}

std::uint8_t brightnessOf(int value)
{
    return std::uint8_t(value & 0xff);
}

std::int8_t keystoneOf(int value)
{
    return std::int8_t(std::uint8_t(value & 0xff));
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
        { "V99G0101", Meaning::Brightness },      { KeystoneQuery, Meaning::Keystone },
    };
    for (const auto &entry : meanings) {
        if (lastCommand == QLatin1String(entry.command))
            return entry.meaning;
    }
    return Meaning::Unused;
}

} // namespace Vivitek
