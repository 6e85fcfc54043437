#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// The Vivitek protocol: "V99" + "S" (set) or "G" (get) + a four-digit function
// number + an optional decimal value. Replies starting with "P" succeed.
namespace Vivitek {

constexpr int ModelIndex = 1;
constexpr char PowerOn[] = "V99S0001";
constexpr char PowerOff[] = "V99S0002";
constexpr char StatusPoll[] = "V99G0007";
constexpr char LampHours[] = "V99G0004";
constexpr char Firmware[] = "V99G0008";
constexpr char KeystoneQuery[] = "V99G0309";
constexpr char KeystonePrefix[] = "V99S0309";
constexpr char BrightnessPrefix[] = "V99S0101";
constexpr char ProjectionFront[] = "V99S03080";
constexpr char ProjectionRear[] = "V99S03081";
constexpr char ProjectionCeiling[] = "V99S03082";
constexpr char ProjectionRearCeiling[] = "V99S03083";
constexpr char Unblank[] = "V99S03020";
constexpr char Blank[] = "V99S03021";
constexpr char Aspect4_3[] = "V99S03011";
constexpr char Aspect16_9[] = "V99S03012";

constexpr int KeystoneLimit = 40;
constexpr int BrightnessMax = 100;

// The buttons of the control page but power, which is Power's.
enum class Button {
    LampTime,
    Firmware,
    KeystoneUp,
    KeystoneDown,
    Front,
    Rear,
    Ceiling,
    RearCeiling,
    Show,
    Blank,
    Aspect4_3,
    Aspect16_9,
};

struct ButtonCommand
{
    Button button;
    const char *widget; // object name of the button on the control page
    const char *name; // on the command line
    // nullptr for the keystone steps, which send the value one step on
    // from the current one (keystoneUp, keystoneDown, KeystonePrefix).
    const char *command;
};

constexpr int ButtonCount = 12;
const std::array<ButtonCommand, ButtonCount> &buttonCommands();
const ButtonCommand &buttonCommand(Button button);
// The button of that command-line name, or nullptr.
const ButtonCommand *findButton(const QString &name);

// The drop-down lists of the control page. Entry 0 of each is empty.
enum class List { VideoSource, DisplayMode, Logo, LampMode, ColorTemp };
constexpr List Lists[]
    = { List::VideoSource, List::DisplayMode, List::Logo, List::LampMode, List::ColorTemp };

// The command for a list entry, or nullptr for the empty entry and any
// index the list does not have.
const char *listCommand(List list, int index);
int listEntryCount(List list); // including the empty entry
// The list's name on the command line: "source", "display-mode", "logo",
// "lamp-mode", "colour-temperature".
QString listName(List list);
// An entry's caption as the page shows it; empty for entry 0 and any index
// the list does not have.
QString listCaption(List list, int index);
// An entry's name on the command line: its caption in lower case, words
// joined by "-" ("hdmi-2", "dynamic-eco").
QString listEntryName(List list, int index);
// The entry of that name, or 0.
int findListEntry(List list, const QString &name);
// The entry that command selects, or 0 for any other command.
int listEntryOfCommand(List list, const QString &command);

QByteArray valueCommand(const char *prefix, int value);

// One step of the keystone and brightness buttons; a limit holds the value.
std::int8_t keystoneUp(std::int8_t value);
std::int8_t keystoneDown(std::int8_t value);
std::uint8_t brightnessUp(std::uint8_t value);
std::uint8_t brightnessDown(std::uint8_t value);

// The get-commands that read the projector's settings into the page, in order.
QStringList stateQueries();

struct Reply
{
    bool empty = true;
    bool success = false;
    int value = 0; // the decimal number after "P", 0 if there is none
};

Reply parseReply(const QString &reply);

// What a success reply to a get-command says. The status poll: "P0" is off,
// blanks and control characters around it aside, anything else on. A list:
// value v selects entry v + 1. Brightness and keystone: the low byte, the
// keystone as a signed one.
bool lampOn(const QString &successReply);
int listEntryOf(int value);
std::uint8_t brightnessOf(int value);
std::int8_t keystoneOf(int value);

// What a success reply means, judged by the command that was sent last.
enum class Meaning {
    Unused,
    LampState,
    LampHours,
    Firmware,
    LampModeList,
    LogoList,
    VideoSourceList,
    DisplayModeList,
    ColorTempList,
    Brightness,
    Keystone,
};

Meaning meaningOf(const QString &lastCommand);

} // namespace Vivitek
