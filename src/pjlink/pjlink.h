#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// PJLink, the projector standard spoken over TCP (and UDP for the search) on
// port 4352: "%" + class digit + four-letter command + " " + parameter + CR;
// answers "%" + class + command + "=" + value + CR.
namespace PJLink {

constexpr int ModelIndex = 3;
constexpr quint16 DefaultPort = 4352;
// A packet, carriage return included, is at most this long.
constexpr int MaxPacket = 136;
// The packet rule binds what is sent; projectors that bend it (long input
// lists) are still read up to this many bytes a line, carriage return included.
constexpr int MaxLine = 4096;
constexpr int MaxPassword = 32;
constexpr int TokenLength = 8;
// The random values of the SHA-256 login, the projector's and the controller's.
constexpr int RandomLength = 16;
// How long an answer may take before the command is given up.
constexpr qint64 ReplyTimeoutMs = 5000;
constexpr int MaxLamps = 8;

struct Greeting
{
    enum class Kind { Faulty, Open, Protected, Rejected };
    Kind kind = Kind::Faulty;
    QByteArray token; // as sent: the digest depends on its letter case
};

// The first line of a connection, without its carriage return.
Greeting parseGreeting(const QByteArray &line);

// The older login, for projectors that refuse "PJLINK 2": lower-case hex MD5
// of the token followed by the password.
QByteArray digest(const QByteArray &token, const QByteArray &password);

// The newer login, asked for first as the standard orders it. To "PJLINK 2"
// the projector answers "PJLINK 2 <32 hex>": its random value, or empty
// when the line is not that answer.
QByteArray parseChallenge(const QByteArray &line);
// What goes in front of the first command: hex(own) followed by
// hex(SHA-256(hex(challenge XOR own) + password)), lower case, 96
// characters; empty unless both values are RandomLength bytes.
QByteArray sha256Login(const QByteArray &challenge, const QByteArray &own,
                       const QByteArray &password);

struct Command
{
    enum class Origin { Poll, Refresh, User };

    int pjClass = 1;
    QByteArray name; // "POWR"
    QByteArray parameter; // "?" for a query, "1" to switch on
    Origin origin = Origin::User;
    bool retry = false; // sent again after the projector refused it while warming up

    bool isQuery() const { return parameter.startsWith('?'); }
    bool operator==(const Command &other) const
    {
        return pjClass == other.pjClass && name == other.name && parameter == other.parameter;
    }
};

Command query(int pjClass, const char *name, const QByteArray &parameter = QByteArray());
Command setting(int pjClass, const char *name, const QByteArray &value);

// "%1POWR ?\r", or empty when the command cannot be framed: a class other
// than 1 or 2, a name that is not four letters or digits, a control byte in
// the parameter, or a packet longer than MaxPacket.
QByteArray frame(const Command &command);

enum class Error { None, Undefined, OutOfParameter, Unavailable, Failure, Authentication };

// A plain wording for the log and the status bar.
QString errorText(Error error);

struct Reply
{
    bool valid = false; // "%", a class digit, four characters and "="
    bool login = false; // the "PJLINK ..." line a projector answers a wrong login with
    int pjClass = 0;
    QByteArray name; // upper case
    QByteArray value; // upper case
    QByteArray text; // the value as received, for the answers that are free text
    Error error = Error::None;

    bool accepted() const { return valid && value == "OK"; }
};

// One line without its carriage return. Matched and read in upper case, since
// some projectors answer in lower case.
Reply parseReply(const QByteArray &line);

// What the answers to the queries say; nullopt (or empty) for an answer that
// does not have the form.
std::optional<int> parsePower(const QByteArray &value); // 0 standby, 1 on, 2 cooling, 3 warming
QByteArray parseInput(const QByteArray &value); // "31", "3A"; empty if faulty

struct Mutes
{
    bool picture = false;
    bool sound = false;
};
std::optional<Mutes> parseMutes(const QByteArray &value);

// Fan, lamp, temperature, cover, filter, other: 0 ok, 1 warning, 2 error.
constexpr int HealthParts = 6;
using Health = std::array<int, HealthParts>;
std::optional<Health> parseHealth(const QByteArray &value);
// "fan", "lamp", "temperature", "cover", "filter", "other".
QString healthPartName(int part);
// "ok", "warning", "error".
QString healthLevelName(int level);

struct Lamp
{
    int hours = 0;
    bool lit = false;
};
// Up to eight pairs of hours and 0/1; nullopt for anything else.
std::optional<QList<Lamp>> parseLamps(const QByteArray &value);
// The inputs a projector offers, in its order; nullopt if any is faulty.
std::optional<QList<QByteArray>> parseInputs(const QByteArray &value);
// The first number, so that "2", "Class 1" and "Version1" all read and
// "Class 10" is not taken for class 1.
std::optional<int> parseClass(const QByteArray &value);
std::optional<int> parseHours(const QByteArray &value);

// "RGB 1", "Video 2", "Digital A"; empty for a faulty input.
QString inputCaption(const QByteArray &input);
// A caption as the command line takes it: lower case, words joined by "-".
QString nameOf(const QString &caption);
// The input that a command-line name of the standard form ("rgb-1",
// "digital-a") or a code ("31") stands for; empty if it is neither.
QByteArray inputFromName(const QString &name);

// The buttons and toggles of the control page and of press.
enum class Button { PictureMute, SoundMute, Unmute, Freeze, Unfreeze, VolumeUp, VolumeDown };

struct ButtonCommand
{
    Button button;
    const char *name; // on the command line
    int pjClass; // 2 for those a class 1 projector does not have
    const char *command;
    const char *parameter;
};

constexpr int ButtonCount = 7;
const std::array<ButtonCommand, ButtonCount> &buttonCommands();
const ButtonCommand *findButton(const QString &name);
Command buttonCommand(const ButtonCommand &button);

Command power(bool on);
Command selectInput(const QByteArray &input);
enum class MuteTarget { Picture = 1, Sound = 2, Both = 3 };
Command mute(MuteTarget target, bool on);

// The status of the power query as vantrelctl prints it: "lamp off",
// "lamp on", "cooling down", "warming up"; empty for another number.
QString powerStateName(int power);

} // namespace PJLink
