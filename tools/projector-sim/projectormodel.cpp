#include "projectormodel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const QByteArray acerLampQuery = "* 0 Lamp ?";
const QByteArray acerLampHours = "* 0 Lamp";
const QByteArray acerPowerOn = "OKOKOKOKOK";
const QByteArray acerKeyPrefix = "* 0 IR ";
const QByteArray acerAccepted = "*000";
const QByteArray acerRefused = "*001";
const int acerPowerOffKey = 2;
const int acerResolutionKey = 36;

// Keys the simulated Acer knows; anything else is refused like an unknown key.
const int acerKeys[] = { 2,  4,  7,  8,  9,  10, 11, 12, 13, 15, 18, 19, 21, 22, 25,
                         26, 27, 29, 30, 31, 35, 36, 37, 42, 43, 46, 47, 48, 50 };

// 1024 x 768 at refresh index 1 (60 Hz); none of these bytes may be a carriage
// return, or the report would be cut short on the way.
const char acerResolutionReport[] = { 'R', 'e', 's', ' ', 4, 0, 3, 0, 1 };

const QByteArray vivitekPrefix = "V99";
const QByteArray vivitekOk = "P";
const QByteArray vivitekFailed = "F";
const QByteArray vivitekFirmware = "1.04S";
const int vivitekPowerOn = 1;
const int vivitekPowerOff = 2;
const int vivitekLampHours = 4;
const int vivitekPowerState = 7;
const int vivitekFirmwareVersion = 8;
const int vivitekFirstSource = 201;
const int vivitekLastSource = 210;
const int vivitekSource = 220;

struct VivitekFunction
{
    int number;
    bool settable;
    int minimum;
    int maximum;
    int initial;
};

// Remembered settings. Functions the program only reads are read-only here
// too; the source (0220) changes through the selection commands 0201..0210.
const VivitekFunction vivitekFunctions[] = {
    { 101, true, 0, 100, 50 }, // brightness
    { 102, false, 0, 100, 50 }, { 105, false, 0, 100, 50 },
    { 106, true, 0, 2, 1 }, // colour temperature
    { 108, true, 0, 7, 0 }, // display mode
    { 220, false, 0, 9, 0 }, // source
    { 301, true, 1, 2, 1 }, // aspect
    { 302, true, 0, 1, 0 }, // blank
    { 308, true, 0, 3, 0 }, // projection mode
    { 309, true, -40, 40, 0 }, // keystone
    { 319, true, 0, 2, 1 }, // lamp mode
    { 321, true, 0, 2, 0 }, // logo
};

const VivitekFunction *findVivitekFunction(int number)
{
    for (const VivitekFunction &function : vivitekFunctions) {
        if (function.number == number)
            return &function;
    }
    return nullptr;
}

bool allDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A Vivitek value: an optional minus and at most four digits, so it cannot overflow.
bool parseVivitekValue(const QByteArray &text, int *value)
{
    const bool negative = text.startsWith('-');
    const QByteArray digits = negative ? text.mid(1) : text;
    if (digits.size() > 4 || !allDigits(digits))
        return false;
    *value = negative ? -digits.toInt() : digits.toInt();
    return true;
}

// Chatter is counted in the log, one line for each second of it at most.
const qint64 chatterLogIntervalMs = 1000;

quint32 scramble(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x ? x : 1; // xorshift must not start at zero
}

} // namespace

ProjectorModel::ProjectorModel(const Options &options, qint64 nowMs)
    : m_options(options)
    , m_startMs(nowMs)
    , m_nowMs(nowMs)
    , m_power(options.lampOn ? Power::On : Power::Off)
    , m_litSinceMs(nowMs)
    , m_dropState(scramble(options.seed))
    , m_noiseState(scramble(options.seed ^ 0x5bd1e995U))
{
    m_chatterLoggedMs = nowMs;
    if (options.family != Family::InFocus)
        m_lineEnd = options.lineEnd == LineEnd::CrLf ? "\r\n" : "\r";
    if (!options.chatter.isEmpty() && options.chatterBytesPerSecond > 0)
        m_chatterLine = options.chatter + m_lineEnd;
    for (const VivitekFunction &function : vivitekFunctions)
        m_vivitek.insert(function.number, function.initial);
    if (m_options.noisePerSecond > 0)
        m_nextNoiseMs = nowMs + std::llround(1000.0 / m_options.noisePerSecond);
}

void ProjectorModel::receive(const QByteArray &bytes, qint64 nowMs)
{
    advance(nowMs);
    for (char c : bytes) {
        if (c == '\r') {
            if (m_discarding)
                m_discarding = false;
            else
                handleCommand(m_line, m_nowMs);
            m_line.clear();
        } else if (!m_discarding) {
            m_line.append(c);
            if (m_line.size() > maxCommandLength) {
                log(QStringLiteral("-- line longer than %1 bytes discarded").arg(maxCommandLength));
                m_line.clear();
                m_discarding = true;
            }
        }
    }
}

QByteArray ProjectorModel::takeOutput(qint64 nowMs)
{
    advance(nowMs);
    QByteArray out;
    QByteArray noise;
    const auto flushNoise = [&]() {
        if (!noise.isEmpty()) {
            log(QStringLiteral("NOISE \"%1\"").arg(printable(noise)));
            out.append(noise);
            noise.clear();
        }
    };
    forever {
        bool chatter = false;
        const qint64 lineMs = nextLineMs(&chatter);
        const bool lineDue = lineMs >= 0 && lineMs <= m_nowMs;
        const bool noiseDue = m_nextNoiseMs >= 0 && m_nextNoiseMs <= m_nowMs;
        if (lineDue && (!noiseDue || lineMs <= m_nextNoiseMs)) {
            flushNoise();
            QByteArray bytes;
            if (chatter) {
                bytes = m_chatterLine;
                countChatter(lineMs);
            } else {
                const Pending reply = m_pending.takeFirst();
                log(QStringLiteral("TX \"%1\"").arg(printable(reply.text)));
                bytes = reply.bytes;
            }
            if (!m_chatterLine.isEmpty())
                m_wireBytes += bytes.size();
            out.append(bytes);
        } else if (noiseDue) {
            noise.append(char(nextRandom(m_noiseState) & 0xff));
            ++m_noiseCount;
            m_nextNoiseMs
                = m_startMs + std::llround((m_noiseCount + 1) * 1000.0 / m_options.noisePerSecond);
        } else {
            break;
        }
    }
    flushNoise();
    return out;
}

qint64 ProjectorModel::nextDueMs() const
{
    qint64 due = -1;
    const auto consider = [&due](qint64 at) {
        if (at >= 0 && (due < 0 || at < due))
            due = at;
    };
    bool chatter = false;
    consider(nextLineMs(&chatter));
    consider(m_nextNoiseMs);
    if (m_power == Power::WarmingUp || m_power == Power::CoolingDown)
        consider(m_transitionEndMs);
    if (m_options.hangupAfterMs >= 0)
        consider(m_startMs + m_options.hangupAfterMs);
    return due;
}

bool ProjectorModel::hungUp(qint64 nowMs) const
{
    return m_options.hangupAfterMs >= 0 && nowMs - m_startMs >= m_options.hangupAfterMs;
}

ProjectorModel::Power ProjectorModel::power(qint64 nowMs)
{
    advance(nowMs);
    return m_power;
}

int ProjectorModel::lampHours(qint64 nowMs)
{
    advance(nowMs);
    const qint64 litMs = m_litTotalMs + (lampLit() ? m_nowMs - m_litSinceMs : 0);
    return m_options.lampHours + int(litMs / (3600 * 1000));
}

// With chatter on, the line is never idle: each line (chatter or reply) starts
// where the one before ended and is handed over whole once its last byte is through.
// A reply due by then takes the next turn, so it never splits a chatter line.
// Without chatter, a reply leaves when it is due. Only the first reply counts:
// a projector answers one command at a time, so a due reply waits for the
// ones before it.
qint64 ProjectorModel::nextLineMs(bool *chatter) const
{
    if (m_chatterLine.isEmpty()) {
        *chatter = false;
        return m_pending.isEmpty() ? -1 : m_pending.first().dueMs;
    }
    const bool reply = !m_pending.isEmpty() && m_pending.first().dueMs <= wireMs(m_wireBytes);
    *chatter = !reply;
    return wireMs(m_wireBytes + (reply ? m_pending.first().bytes : m_chatterLine).size());
}

// When the line has carried this many bytes since the start, counted from the
// start rather than line by line so that rounding never adds up.
qint64 ProjectorModel::wireMs(qint64 bytes) const
{
    const qint64 rate = m_options.chatterBytesPerSecond;
    return m_startMs + (bytes * 1000 + rate / 2) / rate;
}

void ProjectorModel::log(const QString &line)
{
    logChatter();
    m_log.append(line);
}

void ProjectorModel::countChatter(qint64 atMs)
{
    ++m_chatterCount;
    m_lastChatterMs = atMs;
    if (atMs - m_chatterLoggedMs >= chatterLogIntervalMs)
        logChatter();
}

void ProjectorModel::logChatter()
{
    if (m_chatterCount == 0)
        return;
    m_log.append(QStringLiteral("CHATTER %1 x \"%2\"")
                     .arg(m_chatterCount)
                     .arg(printable(m_options.chatter)));
    m_chatterCount = 0;
    m_chatterLoggedMs = m_lastChatterMs;
}

QStringList ProjectorModel::takeLog()
{
    QStringList log;
    log.swap(m_log);
    return log;
}

QString ProjectorModel::printable(const QByteArray &bytes)
{
    QString text;
    for (char c : bytes) {
        const uchar b = uchar(c);
        switch (b) {
        case '\r':
            text += QLatin1String("\\r");
            break;
        case '\n':
            text += QLatin1String("\\n");
            break;
        case '\t':
            text += QLatin1String("\\t");
            break;
        case '\\':
        case '"':
            text += QLatin1Char('\\');
            text += QLatin1Char(c);
            break;
        default:
            if (b >= 0x20 && b < 0x7f)
                text += QLatin1Char(c);
            else
                text += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
        }
    }
    return text;
}

QString ProjectorModel::powerName(Power power)
{
    switch (power) {
    case Power::Off:
        return QStringLiteral("off");
    case Power::WarmingUp:
        return QStringLiteral("warming up");
    case Power::On:
        return QStringLiteral("on");
    case Power::CoolingDown:
        return QStringLiteral("cooling down");
    }
    return QString();
}

void ProjectorModel::advance(qint64 nowMs)
{
    // The clock never runs backwards, whatever the caller passes.
    if (nowMs > m_nowMs)
        m_nowMs = nowMs;
    if (m_power == Power::WarmingUp && m_nowMs >= m_transitionEndMs)
        setPower(Power::On, m_transitionEndMs);
    else if (m_power == Power::CoolingDown && m_nowMs >= m_transitionEndMs)
        setPower(Power::Off, m_transitionEndMs);
}

void ProjectorModel::setPower(Power power, qint64 atMs)
{
    const bool wasLit = lampLit();
    m_power = power;
    if (wasLit && !lampLit())
        m_litTotalMs += atMs - m_litSinceMs;
    else if (!wasLit && lampLit())
        m_litSinceMs = atMs;
    log(QStringLiteral("-- power: %1").arg(powerName(power)));
}

bool ProjectorModel::requestPowerOn(qint64 nowMs)
{
    switch (m_power) {
    case Power::Off:
        if (m_options.warmupMs > 0) {
            m_transitionEndMs = nowMs + m_options.warmupMs;
            setPower(Power::WarmingUp, nowMs);
        } else {
            setPower(Power::On, nowMs);
        }
        return true;
    case Power::WarmingUp:
    case Power::On:
        return true;
    case Power::CoolingDown:
        return false;
    }
    return false;
}

bool ProjectorModel::requestPowerOff(qint64 nowMs)
{
    switch (m_power) {
    case Power::On:
        if (m_options.cooldownMs > 0) {
            m_transitionEndMs = nowMs + m_options.cooldownMs;
            setPower(Power::CoolingDown, nowMs);
        } else {
            setPower(Power::Off, nowMs);
        }
        return true;
    case Power::Off:
    case Power::CoolingDown:
        return true;
    case Power::WarmingUp:
        return false;
    }
    return false;
}

void ProjectorModel::handleCommand(const QByteArray &line, qint64 nowMs)
{
    log(QStringLiteral("RX \"%1\"").arg(printable(line)));
    // Tolerate a terminal that ends lines with CR LF: the LF then leads the next line.
    int start = 0;
    while (start < line.size() && line.at(start) == '\n')
        ++start;
    const QByteArray command = line.mid(start);
    if (command.isEmpty())
        return;

    switch (m_options.family) {
    case Family::Acer:
        reply(command, acerReply(command, nowMs), nowMs);
        break;
    case Family::Vivitek:
        reply(command, vivitekReply(command, nowMs), nowMs);
        break;
    case Family::InFocus:
        reply(command, infocusReply(command, nowMs), nowMs);
        break;
    }
}

void ProjectorModel::reply(const QByteArray &command, const QByteArray &text, qint64 nowMs)
{
    const qint64 delayMs = m_options.commandDelayMs.value(command, m_options.delayMs);
    if (m_options.silent) {
        log(QStringLiteral("DROP \"%1\" (silent)").arg(printable(text)));
        return;
    }
    if (m_options.dropPercent > 0 && int(nextRandom(m_dropState) % 100) < m_options.dropPercent) {
        log(QStringLiteral("DROP \"%1\" (random)").arg(printable(text)));
        return;
    }
    m_pending.append({ nowMs + qMax<qint64>(0, delayMs), text, text + m_lineEnd });
}

QByteArray ProjectorModel::acerReply(const QByteArray &command, qint64 nowMs)
{
    if (command == acerLampQuery)
        return lampLit() ? "Lamp 1" : "Lamp 0";
    if (command == acerLampHours)
        return QByteArray::number(lampHours(nowMs));
    if (command == acerPowerOn)
        return requestPowerOn(nowMs) ? acerAccepted : acerRefused;

    const QByteArray code = command.mid(acerKeyPrefix.size());
    if (!command.startsWith(acerKeyPrefix) || code.size() != 3 || !allDigits(code))
        return acerRefused;
    const int key = code.toInt();
    if (key == acerPowerOffKey)
        return requestPowerOff(nowMs) ? acerAccepted : acerRefused;
    if (std::find(std::begin(acerKeys), std::end(acerKeys), key) == std::end(acerKeys))
        return acerRefused;
    if (m_power != Power::On)
        return acerRefused;
    if (key == acerResolutionKey)
        return QByteArray(acerResolutionReport, sizeof(acerResolutionReport));
    return acerAccepted;
}

QByteArray ProjectorModel::vivitekReply(const QByteArray &command, qint64 nowMs)
{
    const QByteArray number = command.mid(4, 4);
    if (!command.startsWith(vivitekPrefix) || command.size() < 8 || !allDigits(number))
        return vivitekFailed;
    const char operation = command.at(3);
    const int function = number.toInt();
    const QByteArray argument = command.mid(8);

    if (operation == 'G') {
        if (!argument.isEmpty())
            return vivitekFailed;
        switch (function) {
        case vivitekLampHours:
            return vivitekOk + QByteArray::number(lampHours(nowMs));
        case vivitekPowerState:
            return lampLit() ? "P1" : "P0";
        case vivitekFirmwareVersion:
            return vivitekOk + vivitekFirmware;
        default:
            if (!findVivitekFunction(function))
                return vivitekFailed;
            return vivitekOk + QByteArray::number(m_vivitek.value(function));
        }
    }
    if (operation != 'S')
        return vivitekFailed;

    if (function == vivitekPowerOn || function == vivitekPowerOff) {
        if (!argument.isEmpty())
            return vivitekFailed;
        const bool done
            = function == vivitekPowerOn ? requestPowerOn(nowMs) : requestPowerOff(nowMs);
        return done ? vivitekOk : vivitekFailed;
    }
    // Settings are taken only while the picture is up.
    if (m_power != Power::On)
        return vivitekFailed;
    if (function >= vivitekFirstSource && function <= vivitekLastSource) {
        if (!argument.isEmpty())
            return vivitekFailed;
        m_vivitek.insert(vivitekSource, function - vivitekFirstSource);
        return vivitekOk;
    }
    const VivitekFunction *settable = findVivitekFunction(function);
    int value = 0;
    if (!settable || !settable->settable || !parseVivitekValue(argument, &value)
        || value < settable->minimum || value > settable->maximum)
        return vivitekFailed;
    m_vivitek.insert(function, value);
    return vivitekOk + QByteArray::number(value);
}

QByteArray ProjectorModel::infocusReply(const QByteArray &command, qint64 nowMs)
{
    // Replies give the range a setting takes and its value after the command.
    const auto powerReply = [this]() { return QByteArray("(0-1,") + (lampLit() ? "1)" : "0)"); };
    if (command == "(PWR?)")
        return powerReply();
    if (command == "(PWR1)") {
        requestPowerOn(nowMs);
        return powerReply();
    }
    if (command == "(PWR0)") {
        requestPowerOff(nowMs);
        return powerReply();
    }
    if (command == "(CST)") {
        static const char codes[] = { '0', '2', '1', '3' }; // off, warming up, on, cooling down
        return QByteArray("(0-3,") + codes[int(m_power)] + ')';
    }
    if (command == "(LMP?)")
        return "(0-65535," + QByteArray::number(lampHours(nowMs)) + ')';
    return "(ERR)";
}

quint32 ProjectorModel::nextRandom(quint32 &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}
