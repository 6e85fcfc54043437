#pragma once

#include <QString>

#include <array>

// The Acer protocol: infrared key codes sent as "* 0 IR nnn", a lamp poll and
// a handful of recognised replies.
namespace Acer {

constexpr int ModelIndex = 0;
constexpr char PowerOn[] = "OKOKOKOKOK";
constexpr char PowerOff[] = "* 0 IR 002";
constexpr char StatusPoll[] = "* 0 Lamp ?";

enum class Button {
    QueryLampTime,
    QueryModel,
    Menu,
    Up,
    Right,
    Down,
    Left,
    Ok,
    Keystone,
    Hide,
    KeystoneUp,
    KeystoneDown,
    Resolution,
    Aspect4_3,
    Aspect16_9,
    Brightness,
    Contrast,
    Color,
    EKey,
    AnalogRGB,
    SVideo,
    Dvi,
    Hdmi,
    ColorTemperature,
    Zoom,
    SearchVideo,
    CompositeVideo,
    Company,
    Freeze,
};

struct ButtonCommand
{
    Button button;
    const char *widget; // object name of the button on the control page
    // The button's name on the command line: its caption in lower case,
    // words joined by "-", made unique where the page repeats a caption.
    const char *name;
    const char *command;
    bool acerOnly; // other families share the page but not these keys
};

constexpr int ButtonCount = 29;
const std::array<ButtonCommand, ButtonCount> &buttonCommands();
const ButtonCommand &buttonCommand(Button button);
// The button of that command-line name, or nullptr.
const ButtonCommand *findButton(const QString &name);
// Whether the button sends anything for that family (InFocus shares the page).
bool sendsFor(const ButtonCommand &button, int modelIndex);

// What a complete reply asks the window to do.
struct Reply
{
    enum Action { LampOff, LampOn, Log, Nothing };
    Action action = Nothing;
    QString logText; // for Log, the complete line including "\n"
    bool refused = false; // the projector would not carry the command out
};

Reply interpretReply(const QString &reply);

// Refresh rate in Hz for the index byte of a "Res" report; 0 past the table.
int refreshRate(int index);

} // namespace Acer
