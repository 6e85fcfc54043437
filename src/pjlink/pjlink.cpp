#include "pjlink.h"

#include "names.h"

#include <QCryptographicHash>

namespace PJLink {

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(const QByteArray &text)
{
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return !text.isEmpty();
}

bool isNameChar(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z');
}

const char *const inputTypes[] = { "RGB", "Video", "Digital", "Storage", "Network", "Internal" };
const char *const healthParts[HealthParts]
    = { "fan", "lamp", "temperature", "cover", "filter", "other" };

} // namespace

Greeting parseGreeting(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    Greeting greeting;
    if (words.isEmpty() || words.first().toUpper() != "PJLINK")
        return greeting;
    const QByteArray kind = words.value(1).toUpper();
    if (words.size() == 2 && kind == "0") {
        greeting.kind = Greeting::Kind::Open;
    } else if (words.size() == 2 && kind == "ERRA") {
        greeting.kind = Greeting::Kind::Rejected;
    } else if (words.size() == 3 && kind == "1") {
        const QByteArray &token = words.at(2);
        bool hex = token.size() == TokenLength;
        for (char c : token)
            hex = hex && isHex(c);
        if (hex) {
            greeting.kind = Greeting::Kind::Protected;
            greeting.token = token;
        }
    }
    return greeting;
}

QByteArray digest(const QByteArray &token, const QByteArray &password)
{
    return QCryptographicHash::hash(token + password, QCryptographicHash::Md5).toHex();
}

QByteArray parseChallenge(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() != 3 || words.at(0).toUpper() != "PJLINK" || words.at(1) != "2")
        return QByteArray();
    const QByteArray &value = words.at(2);
    bool hex = value.size() == 2 * RandomLength;
    for (char c : value)
        hex = hex && isHex(c);
    return hex ? QByteArray::fromHex(value) : QByteArray();
}

QByteArray sha256Login(const QByteArray &challenge, const QByteArray &own,
                       const QByteArray &password)
{
    if (challenge.size() != RandomLength || own.size() != RandomLength)
        return QByteArray();
    QByteArray mixed(RandomLength, Qt::Uninitialized);
    for (int i = 0; i < RandomLength; ++i)
        mixed[i] = char(challenge.at(i) ^ own.at(i));
    return own.toHex()
        + QCryptographicHash::hash(mixed.toHex() + password, QCryptographicHash::Sha256).toHex();
}

Command query(int pjClass, const char *name, const QByteArray &parameter)
{
    Command command;
    command.pjClass = pjClass;
    command.name = name;
    command.parameter = '?' + parameter;
    return command;
}

Command setting(int pjClass, const char *name, const QByteArray &value)
{
    Command command;
    command.pjClass = pjClass;
    command.name = name;
    command.parameter = value;
    return command;
}

QByteArray frame(const Command &command)
{
    if (command.pjClass < 1 || command.pjClass > 2 || command.name.size() != 4)
        return QByteArray();
    for (char c : command.name) {
        if (!isNameChar(c))
            return QByteArray();
    }
    for (char c : command.parameter) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return QByteArray();
    }
    const QByteArray packet
        = '%' + QByteArray::number(command.pjClass) + command.name + ' ' + command.parameter + '\r';
    return packet.size() <= MaxPacket ? packet : QByteArray();
}

QString errorText(Error error)
{
    switch (error) {
    case Error::None:
        return QString();
    case Error::Undefined:
        return QStringLiteral("the projector does not know this command");
    case Error::OutOfParameter:
        return QStringLiteral("the projector does not take this value");
    case Error::Unavailable:
        return QStringLiteral("the projector cannot do this now (busy, warming up, cooling down "
                              "or in standby)");
    case Error::Failure:
        return QStringLiteral("projector failure: check the projector");
    case Error::Authentication:
        return QStringLiteral("password rejected");
    }
    return QString();
}

Reply parseReply(const QByteArray &line)
{
    Reply reply;
    const QByteArray upper = line.toUpper();
    if (upper.startsWith("PJLINK ")) {
        reply.login = true;
        if (upper.simplified() == "PJLINK ERRA")
            reply.error = Error::Authentication;
        return reply;
    }
    if (upper.size() < 7 || upper.at(0) != '%' || !isDigit(upper.at(1)) || upper.at(6) != '=')
        return reply;
    for (int i = 2; i < 6; ++i) {
        if (!isNameChar(upper.at(i)))
            return reply;
    }
    reply.valid = true;
    reply.pjClass = upper.at(1) - '0';
    reply.name = upper.mid(2, 4);
    reply.text = line.mid(7).trimmed();
    reply.value = reply.text.toUpper();
    if (reply.value == "ERR1")
        reply.error = Error::Undefined;
    else if (reply.value == "ERR2")
        reply.error = Error::OutOfParameter;
    else if (reply.value == "ERR3")
        reply.error = Error::Unavailable;
    else if (reply.value == "ERR4")
        reply.error = Error::Failure;
    else if (reply.value == "ERRA")
        reply.error = Error::Authentication;
    return reply;
}

std::optional<int> parsePower(const QByteArray &value)
{
    if (value.size() == 1 && value.at(0) >= '0' && value.at(0) <= '3')
        return value.at(0) - '0';
    return std::nullopt;
}

QByteArray parseInput(const QByteArray &value)
{
    if (value.size() != 2)
        return QByteArray();
    const char type = value.at(0);
    const char number = value.at(1);
    const bool typeOk = type >= '1' && type <= '6';
    const bool numberOk = (number >= '1' && number <= '9') || (number >= 'A' && number <= 'Z');
    return typeOk && numberOk ? value : QByteArray();
}

std::optional<Mutes> parseMutes(const QByteArray &value)
{
    // "10" and "20" tell that one part is not muted and nothing of the other.
    if (value == "30" || value == "10" || value == "20")
        return Mutes { false, false };
    if (value == "11")
        return Mutes { true, false };
    if (value == "21")
        return Mutes { false, true };
    if (value == "31")
        return Mutes { true, true };
    return std::nullopt;
}

std::optional<Health> parseHealth(const QByteArray &value)
{
    if (value.size() != HealthParts)
        return std::nullopt;
    Health health;
    for (int part = 0; part < HealthParts; ++part) {
        const char level = value.at(part);
        if (level < '0' || level > '2')
            return std::nullopt;
        health[std::size_t(part)] = level - '0';
    }
    return health;
}

QString healthPartName(int part)
{
    return part >= 0 && part < HealthParts ? QLatin1String(healthParts[part]) : QString();
}

QString healthLevelName(int level)
{
    switch (level) {
    case 0:
        return QStringLiteral("ok");
    case 1:
        return QStringLiteral("warning");
    case 2:
        return QStringLiteral("error");
    }
    return QString();
}

std::optional<QList<Lamp>> parseLamps(const QByteArray &value)
{
    const QList<QByteArray> words = value.simplified().split(' ');
    if (words.size() % 2 != 0 || words.size() > 2 * MaxLamps)
        return std::nullopt;
    QList<Lamp> lamps;
    for (int i = 0; i < words.size(); i += 2) {
        const QByteArray &hours = words.at(i);
        const QByteArray &lit = words.at(i + 1);
        if (!allDigits(hours) || hours.size() > 5 || (lit != "0" && lit != "1"))
            return std::nullopt;
        lamps.append({ hours.toInt(), lit == "1" });
    }
    return lamps;
}

std::optional<QList<QByteArray>> parseInputs(const QByteArray &value)
{
    QList<QByteArray> inputs;
    const QByteArray words = value.simplified();
    if (words.isEmpty())
        return inputs;
    for (const QByteArray &word : words.split(' ')) {
        if (parseInput(word).isEmpty())
            return std::nullopt;
        if (!inputs.contains(word))
            inputs.append(word);
    }
    return inputs;
}

std::optional<int> parseClass(const QByteArray &value)
{
    int from = 0;
    while (from < value.size() && !isDigit(value.at(from)))
        ++from;
    int to = from;
    while (to < value.size() && isDigit(value.at(to)))
        ++to;
    // More digits than any class has are no class.
    if (to == from || to - from > 3)
        return std::nullopt;
    const int number = value.mid(from, to - from).toInt();
    return number > 0 ? std::optional<int>(number) : std::nullopt;
}

std::optional<int> parseHours(const QByteArray &value)
{
    if (!allDigits(value) || value.size() > 6)
        return std::nullopt;
    return value.toInt();
}

QString inputCaption(const QByteArray &input)
{
    const QByteArray code = parseInput(input.toUpper());
    if (code.isEmpty())
        return QString();
    return QLatin1String(inputTypes[code.at(0) - '1']) + QLatin1Char(' ') + QLatin1Char(code.at(1));
}

QString nameOf(const QString &caption)
{
    return caption.simplified().toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

QByteArray inputFromName(const QString &name)
{
    const QByteArray code = parseInput(name.toLatin1().toUpper());
    if (!code.isEmpty())
        return code;
    const int dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash < 1 || dash != name.size() - 2)
        return QByteArray();
    const QString type = name.left(dash);
    for (int i = 0; i < int(std::size(inputTypes)); ++i) {
        if (type.compare(QLatin1String(inputTypes[i]), Qt::CaseInsensitive) == 0)
            return parseInput(QByteArray(1, char('1' + i)) + name.right(1).toLatin1().toUpper());
    }
    return QByteArray();
}

const std::array<ButtonCommand, ButtonCount> &buttonCommands()
{
    static const std::array<ButtonCommand, ButtonCount> table = { {
        { Button::PictureMute, "picture-mute", 1, "AVMT", "11" },
        { Button::SoundMute, "sound-mute", 1, "AVMT", "21" },
        { Button::Unmute, "unmute", 1, "AVMT", "30" },
        { Button::Freeze, "freeze", 2, "FREZ", "1" },
        { Button::Unfreeze, "unfreeze", 2, "FREZ", "0" },
        { Button::VolumeUp, "volume-up", 2, "SVOL", "1" },
        { Button::VolumeDown, "volume-down", 2, "SVOL", "0" },
    } };
    return table;
}

const ButtonCommand *findButton(const QString &name)
{
    return findByName(buttonCommands(), name);
}

Command buttonCommand(const ButtonCommand &button)
{
    return setting(button.pjClass, button.command, button.parameter);
}

Command power(bool on)
{
    return setting(1, "POWR", on ? "1" : "0");
}

Command selectInput(const QByteArray &input)
{
    // The inputs of the first class keep its header, which every projector takes.
    const bool basic = input.size() == 2 && input.at(0) <= '5' && isDigit(input.at(1));
    return setting(basic ? 1 : 2, "INPT", input);
}

Command mute(MuteTarget target, bool on)
{
    return setting(1, "AVMT", QByteArray::number(int(target)) + (on ? '1' : '0'));
}

QString powerStateName(int power)
{
    switch (power) {
    case 0:
        return QStringLiteral("lamp off");
    case 1:
        return QStringLiteral("lamp on");
    case 2:
        return QStringLiteral("cooling down");
    case 3:
        return QStringLiteral("warming up");
    }
    return QString();
}

} // namespace PJLink
