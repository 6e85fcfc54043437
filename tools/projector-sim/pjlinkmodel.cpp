#include "pjlinkmodel.h"

#include "projectormodel.h"

#include <QCryptographicHash>

namespace {

const QByteArray classOneInputs = "11 12 21 31 32";
const QByteArray classTwoInputs = "11 12 21 31 32 3A";
const char *const inputNames[][2]
    = { { "11", "Computer 1" }, { "12", "Computer 2" }, { "21", "Video" },
        { "31", "HDMI 1" },     { "32", "HDMI 2" },     { "3A", "HDBaseT" } };

const QByteArray err1 = "ERR1";
const QByteArray err2 = "ERR2";
const QByteArray err3 = "ERR3";
const QByteArray ok = "OK";

quint32 scramble(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x ? x : 1;
}

// An input only class 2 can name: the internal type, or a number past 9.
bool classTwoOnly(const QByteArray &input)
{
    return input.size() == 2 && (input.at(0) == '6' || input.at(1) < '1' || input.at(1) > '9');
}

QString text(const QByteArray &bytes)
{
    return ProjectorModel::printable(bytes);
}

} // namespace

PjlinkModel::PjlinkModel(const Options &options, qint64 nowMs)
    : m_options(options)
    , m_nowMs(nowMs)
    , m_power(options.lampOn ? Power::On : Power::Off)
    , m_litSinceMs(nowMs)
    , m_random(scramble(options.seed))
{ }

int PjlinkModel::open(qint64 nowMs)
{
    advance(nowMs);
    const int number = m_nextConnection++;
    Connection &connection = m_connections[number];
    connection.lastMs = m_nowMs;
    QByteArray greeting = "PJLINK 0";
    if (!m_options.password.isEmpty()) {
        connection.token = QByteArray::number(nextRandom(), 16).rightJustified(8, '0');
        connection.loginPending = true;
        greeting = "PJLINK 1 " + connection.token;
    }
    log(QStringLiteral("-- connection %1 opened").arg(number));
    connection.pending.append({ m_nowMs + m_options.greetingDelayMs, greeting + '\r', false });
    return number;
}

void PjlinkModel::close(int connection)
{
    if (m_connections.remove(connection))
        log(QStringLiteral("-- connection %1 closed").arg(connection));
}

void PjlinkModel::receive(int number, const QByteArray &bytes, qint64 nowMs)
{
    advance(nowMs);
    auto it = m_connections.find(number);
    if (it == m_connections.end())
        return;
    Connection &connection = it.value();
    connection.lastMs = m_nowMs;
    for (char c : bytes) {
        if (c == '\r') {
            if (!connection.discarding && !connection.closeAfterOutput)
                handleLine(number, connection, connection.line);
            connection.discarding = false;
            connection.line.clear();
        } else if (!connection.discarding) {
            connection.line.append(c);
            // The login (96 characters for SHA-256) may come in front of a
            // packet of full length.
            if (connection.line.size() > 96 + maxPacket) {
                log(QStringLiteral("-- line longer than a packet discarded"));
                connection.line.clear();
                connection.discarding = true;
            }
        }
    }
}

void PjlinkModel::handleLine(int number, Connection &connection, QByteArray line)
{
    Q_UNUSED(number)
    log(QStringLiteral("RX \"%1\"").arg(text(line)));
    qint64 due = m_nowMs + m_options.delayMs;
    if (!connection.pending.isEmpty())
        due = qMax(due, connection.pending.last().dueMs);

    if (connection.loginPending) {
        if (line.toUpper() == "PJLINK 2" && connection.challenge.isEmpty()
            && m_options.login != Login::Md5) {
            connection.challenge.resize(16);
            for (int i = 0; i < 16; i += 4) {
                const quint32 random = nextRandom();
                for (int j = 0; j < 4; ++j)
                    connection.challenge[i + j] = char(random >> (8 * j));
            }
            log(QStringLiteral("-- SHA-256 login asked for"));
            connection.pending.append(
                { due, "PJLINK 2 " + connection.challenge.toHex() + '\r', false });
            return;
        }
        connection.loginPending = false;
        if (!loggedIn(connection, line, due))
            return;
    }
    // A command too short or too long for its form is answered ERR1 when its
    // header can be told; anything else has no header to answer under.
    const bool header
        = line.size() >= 6 && line.at(0) == '%' && line.at(1) >= '1' && line.at(1) <= '9';
    if (line.size() < 8 || line.size() + 1 > maxPacket || line.at(0) != '%'
        || (line.at(1) != '1' && line.at(1) != '2') || line.at(6) != ' ') {
        if (!header) {
            log(QStringLiteral("-- not a command, ignored"));
            return;
        }
        log(QStringLiteral("-- malformed command"));
        QByteArray reply = line.left(6) + '=' + err1;
        if (m_options.lowerCase)
            reply = reply.toLower();
        connection.pending.append({ due, reply + '\r', false });
        return;
    }
    const char pjClass = line.at(1);
    const QByteArray name = line.mid(2, 4);
    QByteArray reply
        = '%' + QByteArray(1, pjClass) + name + '=' + answer(pjClass, name, line.mid(7));
    if (m_options.lowerCase)
        reply = reply.toLower();
    const bool cut = !m_cutDone && !m_options.cutReplyTo.isEmpty() && name == m_options.cutReplyTo;
    m_cutDone = m_cutDone || cut;
    connection.pending.append({ due, reply + '\r', cut });
}

bool PjlinkModel::loggedIn(Connection &connection, QByteArray &line, qint64 due)
{
    QByteArray expected;
    if (!connection.challenge.isEmpty()) {
        // hex(C), then hex(SHA-256(hex(P XOR C) + password)).
        const QByteArray own = QByteArray::fromHex(line.left(32));
        if (line.size() >= 96 && own.size() == 16) {
            QByteArray mixed = connection.challenge;
            for (int i = 0; i < 16; ++i)
                mixed[i] = char(mixed.at(i) ^ own.at(i));
            expected = line.left(32)
                + QCryptographicHash::hash(mixed.toHex() + m_options.password,
                                           QCryptographicHash::Sha256)
                      .toHex();
        }
    } else if (m_options.login != Login::Sha256) {
        expected = QCryptographicHash::hash(connection.token + m_options.password,
                                            QCryptographicHash::Md5)
                       .toHex();
    }
    if (expected.isEmpty() || !line.startsWith(expected)) {
        log(QStringLiteral("-- login rejected"));
        if (!m_options.closeOnRefusal)
            connection.pending.append({ due, "PJLINK ERRA\r", false });
        connection.closeAfterOutput = true;
        return false;
    }
    line.remove(0, expected.size());
    return true;
}

quint32 PjlinkModel::nextRandom()
{
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return m_random;
}

QByteArray PjlinkModel::answer(char pjClass, const QByteArray &name, const QByteArray &parameter)
{
    const bool query = parameter == "?";
    const bool classOne = pjClass == '1';
    const bool classTwo = pjClass == '2' && m_options.pjClass >= 2;
    const bool on = m_power == Power::On;
    const auto queryOnly = [&](const QByteArray &value) { return query ? value : err2; };

    if (name == "INPT" && (classOne || classTwo)) {
        if (query && classOne && m_options.pjClass >= 2 && m_options.classTwoInputOnly)
            return err1;
        // Class 1 has no words for an input such as 3A.
        if (query && classOne && classTwoOnly(m_input))
            return err2;
        if (query)
            return m_input;
        if (!inputList(pjClass).split(' ').contains(parameter))
            return err2;
        if (!on)
            return err3;
        m_input = parameter;
        return ok;
    }
    if (name == "INST" && classTwo && m_options.classTwoListRefused)
        return err1;
    if (name == "INST" && (classOne || classTwo))
        return queryOnly(inputList(pjClass));

    if (classOne) {
        if (name == "POWR") {
            if (query) {
                const char *states[] = { "0", "3", "1", "2" }; // off, warming, on, cooling
                return states[int(m_power)];
            }
            if (parameter == "1") {
                if (m_power == Power::CoolingDown)
                    return err3;
                if (m_power == Power::Off) {
                    m_transitionEndMs = m_nowMs + m_options.warmupMs;
                    setPower(m_options.warmupMs > 0 ? Power::WarmingUp : Power::On, m_nowMs);
                }
                return ok;
            }
            if (parameter == "0") {
                if (m_power == Power::WarmingUp)
                    return err3;
                if (m_power == Power::On) {
                    m_transitionEndMs = m_nowMs + m_options.cooldownMs;
                    setPower(m_options.cooldownMs > 0 ? Power::CoolingDown : Power::Off, m_nowMs);
                }
                return ok;
            }
            return err2;
        }
        if (name == "AVMT") {
            if (query)
                return m_mutes;
            static const QList<QByteArray> settings = { "10", "11", "20", "21", "30", "31" };
            if (!settings.contains(parameter))
                return err2;
            if (!on)
                return err3;
            bool picture = m_mutes == "11" || m_mutes == "31";
            bool sound = m_mutes == "21" || m_mutes == "31";
            const bool mute = parameter.at(1) == '1';
            if (parameter.at(0) != '2')
                picture = mute;
            if (parameter.at(0) != '1')
                sound = mute;
            m_mutes = picture && sound ? "31" : picture ? "11" : sound ? "21" : "30";
            return ok;
        }
        if (name == "ERST")
            return queryOnly(m_options.errorStatus);
        if (name == "LAMP") {
            if (!query)
                return err2;
            if (m_options.lamps <= 0)
                return err1;
            QByteArrayList pairs;
            for (int lamp = 0; lamp < m_options.lamps; ++lamp)
                pairs.append(QByteArray::number(lampHours(m_nowMs) + lamp)
                             + (lampLit() ? " 1" : " 0"));
            return pairs.join(' ');
        }
        if (name == "NAME")
            return queryOnly(m_options.name);
        if (name == "INF1")
            return queryOnly("SIMULATOR");
        if (name == "INF2")
            return queryOnly("PJ-SIM " + QByteArray::number(m_options.pjClass));
        if (name == "INFO")
            return queryOnly("projector-sim");
        if (name == "CLSS") {
            const QByteArray digit = QByteArray::number(m_options.pjClass);
            return queryOnly(m_options.classText ? "Class " + digit : digit);
        }
        return err1;
    }
    if (!classTwo)
        return err1;

    if (name == "SNUM")
        return queryOnly("SIM0001234");
    if (name == "SVER")
        return queryOnly("1.04");
    if (name == "RRES")
        return queryOnly("1920x1080");
    if (name == "IRES")
        return queryOnly(on ? "1920x1080" : "-");
    if (name == "FILT")
        return m_options.filter ? queryOnly(QByteArray::number(m_options.filterHours)) : err1;
    if (name == "RLMP")
        return queryOnly("LMP-0101");
    if (name == "RFIL")
        return queryOnly("FLT-0101");
    if (name == "INNM") {
        const QByteArray input = parameter.mid(1);
        if (!parameter.startsWith('?') || !inputList('2').split(' ').contains(input))
            return err2;
        if (m_options.longInputList)
            return "Input " + input;
        for (const auto &entry : inputNames) {
            if (input == entry[0])
                return entry[1];
        }
        return err2;
    }
    if (name == "FREZ") {
        if (query)
            return m_frozen ? "1" : "0";
        if (parameter != "0" && parameter != "1")
            return err2;
        if (!on)
            return err3;
        m_frozen = parameter == "1";
        return ok;
    }
    if (name == "SVOL" || name == "MVOL") {
        if (parameter != "0" && parameter != "1")
            return err2;
        return on ? ok : err3;
    }
    return err1;
}

QByteArray PjlinkModel::inputList(char pjClass) const
{
    if (m_options.longInputList) {
        // Every type and number class 1 has: 45 inputs.
        QByteArrayList inputs;
        for (char type = '1'; type <= '5'; ++type) {
            for (char number = '1'; number <= '9'; ++number)
                inputs.append(QByteArray(1, type) + number);
        }
        return inputs.join(' ');
    }
    return pjClass == '2' && m_options.pjClass >= 2 ? classTwoInputs : classOneInputs;
}

QByteArray PjlinkModel::takeOutput(int number, qint64 nowMs)
{
    advance(nowMs);
    auto it = m_connections.find(number);
    if (it == m_connections.end())
        return QByteArray();
    Connection &connection = it.value();
    QByteArray out;
    while (!connection.pending.isEmpty() && connection.pending.first().dueMs <= m_nowMs) {
        const Pending pending = connection.pending.takeFirst();
        if (pending.cut) {
            out += pending.bytes.left(pending.bytes.size() / 2);
            log(QStringLiteral("TX \"%1\" (cut short)")
                    .arg(text(pending.bytes.left(pending.bytes.size() / 2))));
            log(QStringLiteral("-- dropping connection %1 in the middle of a reply").arg(number));
            connection.pending.clear();
            connection.closeAfterOutput = true;
            break;
        }
        out += pending.bytes;
        log(QStringLiteral("TX \"%1\"").arg(text(pending.bytes.chopped(1))));
    }
    if (!out.isEmpty())
        connection.lastMs = m_nowMs;
    return out;
}

bool PjlinkModel::closing(int number, qint64 nowMs)
{
    advance(nowMs);
    auto it = m_connections.find(number);
    if (it == m_connections.end())
        return true;
    const Connection &connection = it.value();
    if (!connection.pending.isEmpty())
        return false;
    if (connection.closeAfterOutput)
        return true;
    if (m_options.idleCloseMs >= 0 && m_nowMs - connection.lastMs >= m_options.idleCloseMs) {
        log(QStringLiteral("-- connection %1 idle, closing it").arg(number));
        return true;
    }
    return false;
}

QByteArray PjlinkModel::datagram(const QByteArray &bytes, qint64 nowMs)
{
    advance(nowMs);
    log(QStringLiteral("UDP RX \"%1\"").arg(text(bytes)));
    if (bytes != "%2SRCH\r" || m_options.pjClass < 2)
        return QByteArray();
    const QByteArray reply = "%2ACKN=" + m_options.mac;
    log(QStringLiteral("UDP TX \"%1\"").arg(text(reply)));
    return reply + '\r';
}

qint64 PjlinkModel::nextDueMs() const
{
    qint64 due = -1;
    const auto consider = [&due](qint64 at) {
        if (at >= 0 && (due < 0 || at < due))
            due = at;
    };
    for (const Connection &connection : m_connections) {
        if (!connection.pending.isEmpty())
            consider(connection.pending.first().dueMs);
        else if (connection.closeAfterOutput)
            consider(m_nowMs);
        else if (m_options.idleCloseMs >= 0)
            consider(connection.lastMs + m_options.idleCloseMs);
    }
    if (m_power == Power::WarmingUp || m_power == Power::CoolingDown)
        consider(m_transitionEndMs);
    return due;
}

PjlinkModel::Power PjlinkModel::power(qint64 nowMs)
{
    advance(nowMs);
    return m_power;
}

int PjlinkModel::lampHours(qint64 nowMs)
{
    advance(nowMs);
    const qint64 litMs = m_litTotalMs + (lampLit() ? m_nowMs - m_litSinceMs : 0);
    return m_options.lampHours + int(litMs / (3600 * 1000));
}

QStringList PjlinkModel::takeLog()
{
    QStringList log;
    log.swap(m_log);
    return log;
}

void PjlinkModel::advance(qint64 nowMs)
{
    if (nowMs > m_nowMs)
        m_nowMs = nowMs;
    if (m_power == Power::WarmingUp && m_nowMs >= m_transitionEndMs)
        setPower(Power::On, m_transitionEndMs);
    else if (m_power == Power::CoolingDown && m_nowMs >= m_transitionEndMs)
        setPower(Power::Off, m_transitionEndMs);
}

void PjlinkModel::setPower(Power power, qint64 atMs)
{
    const bool wasLit = lampLit();
    m_power = power;
    if (wasLit && !lampLit())
        m_litTotalMs += atMs - m_litSinceMs;
    else if (!wasLit && lampLit())
        m_litSinceMs = atMs;
    static const char *const names[] = { "off", "warming up", "on", "cooling down" };
    log(QStringLiteral("-- power: %1").arg(QLatin1String(names[int(power)])));
}
