#include "telnetcodec.h"

#include <QStringList>

#include <initializer_list>
#include <utility>

namespace {

// A subnegotiation longer than this is no COM port answer: the rest of it is
// dropped, so a faulty server cannot make it grow without bound.
constexpr int MaxSubnegotiation = 64;

// What each setting asks for: 8 data bits, no parity (1), one stop bit (1),
// no flow control (1).
constexpr unsigned char DataBits = 8;
constexpr unsigned char NoParity = 1;
constexpr unsigned char OneStopBit = 1;
constexpr unsigned char NoFlowControl = 1;

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), int(list.size()));
}

} // namespace

TelnetCodec::TelnetCodec(qint32 baudRate)
    : baud(baudRate)
{ }

QByteArray TelnetCodec::greeting()
{
    // The COM port option both ways, as RFC 2217 asks, and binary both ways
    // so that a carriage return travels as one byte.
    QByteArray out;
    for (unsigned char option : { ComPortOption, Binary }) {
        out += negotiation(Will, option);
        out += negotiation(Do, option);
    }
    return out;
}

QByteArray TelnetCodec::negotiation(unsigned char verb, unsigned char option)
{
    Option &o = options[option];
    if (verb == Will)
        o.askedOurs = true;
    else if (verb == Do)
        o.askedTheirs = true;
    return bytes({ char(Iac), char(verb), char(option) });
}

bool TelnetCodec::supported(unsigned char option)
{
    return option == ComPortOption || option == Binary || option == SuppressGoAhead;
}

QByteArray TelnetCodec::encode(const char *data, qint64 size)
{
    QByteArray out;
    out.reserve(int(size));
    for (qint64 i = 0; i < size; ++i) {
        out += data[i];
        if (static_cast<unsigned char>(data[i]) == Iac)
            out += char(Iac);
    }
    return out;
}

QByteArray TelnetCodec::receive(const QByteArray &wire, QByteArray *data)
{
    QByteArray out;
    for (const char c : wire) {
        const auto byte = static_cast<unsigned char>(c);
        switch (parse) {
        case Parse::Data:
            if (byte == Iac)
                parse = Parse::Iac;
            else
                data->append(c);
            break;
        case Parse::Iac:
            parse = Parse::Data;
            if (byte == Iac) {
                data->append(c);
            } else if (byte == Sb) {
                sub.clear();
                parse = Parse::Sub;
            } else if (byte >= Will && byte <= Dont) {
                verb = byte;
                parse = Parse::Verb;
            }
            // NOP, data mark, break, go ahead, AYT and the rest: a client
            // that shows no terminal has nothing to do for them.
            break;
        case Parse::Verb:
            out += answer(verb, byte);
            parse = Parse::Data;
            break;
        case Parse::Sub:
            if (byte == Iac)
                parse = Parse::SubIac;
            else if (sub.size() < MaxSubnegotiation)
                sub.append(c);
            break;
        case Parse::SubIac:
            if (byte == Iac) {
                if (sub.size() < MaxSubnegotiation)
                    sub.append(c);
                parse = Parse::Sub;
            } else {
                // SE, or a command that ends the subnegotiation in error.
                if (sub.size() > 1 && static_cast<unsigned char>(sub.at(0)) == ComPortOption)
                    confirmation(sub.mid(1));
                parse = Parse::Data;
            }
            break;
        }
    }
    if (!settingsSent && current == State::Negotiating
        && (options[ComPortOption].ourSide || options[ComPortOption].theirSide))
        out += settings();
    return out;
}

// RFC 854's rules with the loop guard of RFC 1143: a request is answered only
// when it changes the option's state, so two parties never echo each other.
QByteArray TelnetCodec::answer(unsigned char verb, unsigned char option)
{
    Option &o = options[option];
    switch (verb) {
    case Will: {
        const bool asked = std::exchange(o.askedTheirs, false);
        if (!supported(option))
            return bytes({ char(Iac), char(Dont), char(option) });
        if (o.theirSide)
            return QByteArray();
        o.theirSide = true;
        return asked ? QByteArray() : bytes({ char(Iac), char(Do), char(option) });
    }
    case Wont: {
        const bool asked = std::exchange(o.askedTheirs, false);
        // A server need not send COM port notices of its own; that it takes
        // our settings (its DO, below) is what matters.
        const bool was = std::exchange(o.theirSide, false);
        return was && !asked ? bytes({ char(Iac), char(Dont), char(option) }) : QByteArray();
    }
    case Do: {
        const bool asked = std::exchange(o.askedOurs, false);
        if (!supported(option) || option == SuppressGoAhead)
            return bytes({ char(Iac), char(Wont), char(option) });
        if (o.ourSide)
            return QByteArray();
        o.ourSide = true;
        return asked ? QByteArray() : bytes({ char(Iac), char(Will), char(option) });
    }
    case Dont: {
        const bool asked = std::exchange(o.askedOurs, false);
        const bool was = std::exchange(o.ourSide, false);
        if (option == ComPortOption)
            refuse(QStringLiteral("the server refused the COM port option"));
        return was && !asked ? bytes({ char(Iac), char(Wont), char(option) }) : QByteArray();
    }
    }
    return QByteArray();
}

QByteArray TelnetCodec::settings()
{
    settingsSent = true;
    const auto setting = [](unsigned char code, const QByteArray &value) {
        QByteArray payload;
        payload += char(ComPortOption);
        payload += char(code);
        payload += value;
        return bytes({ char(Iac), char(Sb) }) + encode(payload.constData(), payload.size())
            + bytes({ char(Iac), char(Se) });
    };
    const QByteArray rate
        = bytes({ char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud) });
    for (int code = SetBaudRate; code <= SetStopSize; ++code)
        awaited[code] = true;
    return setting(SetBaudRate, rate) + setting(SetDataSize, QByteArray(1, char(DataBits)))
        + setting(SetParity, QByteArray(1, char(NoParity)))
        + setting(SetStopSize, QByteArray(1, char(OneStopBit)))
        + setting(SetControl, QByteArray(1, char(NoFlowControl)));
}

void TelnetCodec::confirmation(const QByteArray &payload)
{
    if (current != State::Negotiating || !settingsSent)
        return; // line and modem state notices, or answers to nothing asked
    const int code = static_cast<unsigned char>(payload.at(0)) - ServerOffset;
    const QByteArray value = payload.mid(1);
    const auto byteValue = [&value] {
        return value.size() == 1 ? int(static_cast<unsigned char>(value.at(0))) : -1;
    };
    switch (code) {
    case SetBaudRate: {
        qint64 confirmed = -1;
        if (value.size() == 4) {
            confirmed = 0;
            for (const char c : value)
                confirmed = (confirmed << 8) | static_cast<unsigned char>(c);
        }
        if (confirmed != baud)
            return refuse(
                QStringLiteral("the server set %1 baud, not %2").arg(confirmed).arg(baud));
        break;
    }
    case SetDataSize:
        if (byteValue() != DataBits)
            return refuse(QStringLiteral("the server set %1 data bits, not 8").arg(byteValue()));
        break;
    case SetParity:
        if (byteValue() != NoParity)
            return refuse(QStringLiteral("the server set parity %1, not none").arg(byteValue()));
        break;
    case SetStopSize:
        if (byteValue() != OneStopBit)
            return refuse(QStringLiteral("the server set stop bits %1, not 1").arg(byteValue()));
        break;
    case SetControl:
        if (byteValue() != NoFlowControl)
            return refuse(
                QStringLiteral("the server set flow control %1, not none").arg(byteValue()));
        return;
    default:
        return;
    }
    awaited[code] = false;
    if (!awaited[SetBaudRate] && !awaited[SetDataSize] && !awaited[SetParity]
        && !awaited[SetStopSize])
        current = State::Agreed;
}

void TelnetCodec::refuse(const QString &what)
{
    if (current != State::Negotiating)
        return;
    current = State::Refused;
    refused = what;
}

QString TelnetCodec::unconfirmed() const
{
    if (!settingsSent)
        return QStringLiteral("the server did not take up the COM port option");
    QStringList names;
    const char *const settingNames[] = { "", "speed", "data bits", "parity", "stop bits" };
    for (int code = SetBaudRate; code <= SetStopSize; ++code) {
        if (awaited[code])
            names += QLatin1String(settingNames[code]);
    }
    return QStringLiteral("the server did not confirm the %1").arg(names.join(QLatin1String(", ")));
}
