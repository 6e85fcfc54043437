#include "linkaddress.h"

#include <algorithm>

namespace {

bool isHostNameCharacter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
        || c == QLatin1Char('.') || c == QLatin1Char('_');
}

// Hex digits and colons, an embedded IPv4 tail, a zone after "%".
bool looksLikeIpv6(const QString &text)
{
    const int zone = text.indexOf(QLatin1Char('%'));
    const QString address = zone < 0 ? text : text.left(zone);
    if (!address.contains(QLatin1Char(':')) || (zone >= 0 && zone + 1 == text.size()))
        return false;
    for (const QChar c : address) {
        if (!(c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
              || c == QLatin1Char(':') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

// Letters first, then letters, digits, "+", "-" and ".": so a path such as
// "/dev/x://y" stays a path.
bool isScheme(const QString &text)
{
    if (!text.at(0).isLetter())
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() < 128
            && (c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-')
                || c == QLatin1Char('.'));
    });
}

} // namespace

LinkAddress LinkAddress::parse(const QString &text)
{
    LinkAddress address;
    address.given = text;
    const int schemeEnd = text.indexOf(QLatin1String("://"));
    if (schemeEnd < 1 || !isScheme(text.left(schemeEnd)))
        return address; // a serial port name, whatever else it looks like

    const QString scheme = text.left(schemeEnd).toLower();
    if (scheme == QLatin1String("tcp")) {
        address.addressKind = Kind::Tcp;
    } else if (scheme == QLatin1String("rfc2217")) {
        address.addressKind = Kind::Rfc2217;
    } else {
        address.addressKind = Kind::Tcp;
        address.problem
            = QStringLiteral("unknown kind of address \"%1://\": use tcp:// or rfc2217://")
                  .arg(text.left(schemeEnd));
        return address;
    }

    address.parseHostPort(text.mid(schemeEnd + 3), 0);
    return address;
}

LinkAddress LinkAddress::parsePJLink(const QString &text)
{
    LinkAddress address;
    address.given = text;
    address.addressKind = Kind::PJLink;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        address.problem = QStringLiteral("no address");
    else
        address.parseHostPort(trimmed, 4352);
    return address;
}

void LinkAddress::parseHostPort(const QString &rest, quint16 defaultPort)
{
    LinkAddress &address = *this;
    QString host;
    QString port;
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || !looksLikeIpv6(rest.mid(1, close - 1))) {
            address.problem = QStringLiteral("\"%1\" is not an IPv6 address in brackets").arg(rest);
            return;
        }
        host = rest.mid(1, close - 1);
        if (defaultPort != 0 && close + 1 == rest.size()) {
            port = QString::number(defaultPort);
        } else if (rest.mid(close + 1, 1) != QLatin1String(":")) {
            address.problem = QStringLiteral("no port after the host; write HOST:PORT");
            return;
        } else {
            port = rest.mid(close + 2);
        }
    } else {
        const int colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0 && defaultPort != 0) {
            host = rest;
            port = QString::number(defaultPort);
        } else if (colon < 0) {
            address.problem = QStringLiteral("no port after the host; write HOST:PORT");
            return;
        } else {
            host = rest.left(colon);
            port = rest.mid(colon + 1);
        }
        if (host.contains(QLatin1Char(':'))) {
            address.problem
                = QStringLiteral("an IPv6 address goes in brackets: [%1]:%2").arg(host, port);
            return;
        }
        if (host.isEmpty() || !std::all_of(host.cbegin(), host.cend(), isHostNameCharacter)) {
            address.problem = QStringLiteral("\"%1\" is not a host name or address").arg(host);
            return;
        }
    }

    bool number = !port.isEmpty() && port.size() <= 5
        && std::all_of(port.cbegin(), port.cend(), [](QChar c) { return c.isDigit(); });
    const uint value = number ? port.toUInt(&number) : 0;
    if (!number || value < 1 || value > 65535) {
        address.problem = QStringLiteral("\"%1\" is not a TCP port (1 to 65535)").arg(port);
        return;
    }
    address.hostName = host;
    address.tcpPort = quint16(value);
}

bool LinkAddress::hostNeverResolves() const
{
    const QString name = hostName.toLower();
    return name == QLatin1String("invalid") || name.endsWith(QLatin1String(".invalid"))
        || name.endsWith(QLatin1String(".invalid."));
}
