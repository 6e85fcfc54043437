#include "search.h"

#include "pjlink.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSet>
#include <QUdpSocket>

namespace {

const QByteArray searchPacket = "%2SRCH\r";
const QByteArray answerPrefix = "%2ACKN=";

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; the port is
// 4352 unless given. False for anything else.
bool splitAddress(const QString &text, QString *host, quint16 *port)
{
    *port = PJLink::DefaultPort;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        *host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        portText = rest.mid(1);
        if (rest.startsWith(QLatin1Char(':')) && portText.isEmpty())
            return false;
    } else if (text.count(QLatin1Char(':')) == 1) {
        *host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
        if (portText.isEmpty())
            return false;
    } else {
        *host = text; // a name, an IPv4 address, or an IPv6 address without a port
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint number = portText.toUInt(&ok);
        if (!ok || number == 0 || number > 65535)
            return false;
        *port = quint16(number);
    }
    return !host->isEmpty();
}

} // namespace

Search::Search(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
{ }

int Search::run()
{
    report.set(QStringLiteral("command"), QStringLiteral("search"));
    QHostAddress address(QHostAddress::Broadcast);
    quint16 port = PJLink::DefaultPort;
    if (!invocation.searchTo.isEmpty()) {
        QString host;
        if (!splitAddress(invocation.searchTo, &host, &port))
            return report.finish(ExitCode::Usage,
                                 QStringLiteral("--to takes an address with an optional :port, "
                                                "not \"%1\"")
                                     .arg(invocation.searchTo));
        if (!address.setAddress(host)) {
            const QHostInfo found = QHostInfo::fromName(host);
            if (found.addresses().isEmpty())
                return report.finish(ExitCode::Unavailable,
                                     QStringLiteral("%1: host not found").arg(host));
            address = found.addresses().first();
        }
    }
    report.set(QStringLiteral("to"), address.toString());

    QUdpSocket socket;
    // Some projectors answer to the search port itself rather than to the
    // sender's; when it is free, the search is sent from there.
    const QHostAddress any(address.protocol() == QAbstractSocket::IPv6Protocol
                               ? QHostAddress::AnyIPv6
                               : QHostAddress::AnyIPv4);
    if (!socket.bind(any, PJLink::DefaultPort, QUdpSocket::ShareAddress) && !socket.bind(any, 0))
        return report.finish(
            ExitCode::Unavailable,
            QStringLiteral("cannot open a UDP socket: %1").arg(socket.errorString()));
    if (socket.writeDatagram(searchPacket, address, port) != searchPacket.size())
        return report.finish(ExitCode::Unavailable,
                             QStringLiteral("%1: the search could not be sent: %2")
                                 .arg(address.toString(), socket.errorString()));

    QJsonArray found;
    QSet<QString> seen;
    const QDeadlineTimer deadline(invocation.timeoutMs);
    bool full = false;
    while (!deadline.hasExpired() && !full) {
        if (!socket.hasPendingDatagrams()
            && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            continue;
        while (socket.hasPendingDatagrams() && !full) {
            const QNetworkDatagram datagram = socket.receiveDatagram(PJLink::MaxPacket);
            const QByteArray data = datagram.data().trimmed();
            if (!data.toUpper().startsWith(answerPrefix))
                continue;
            // All of the rest, a NUL included: the MAC and nothing after it.
            const QByteArray rest = data.mid(answerPrefix.size());
            const QString mac = QString::fromLatin1(rest.constData(), rest.size()).toLower();
            static const QRegularExpression macForm(QRegularExpression::anchoredPattern(
                QStringLiteral("[0-9a-f]{2}(:[0-9a-f]{2}){5}")));
            if (!macForm.match(mac).hasMatch())
                continue;
            QHostAddress sender = datagram.senderAddress();
            // An IPv4 sender as an IPv6 socket sees it.
            bool isV4 = false;
            const quint32 v4 = sender.toIPv4Address(&isV4);
            if (isV4)
                sender = QHostAddress(v4);
            const QString line = sender.toString() + QLatin1Char(' ') + mac;
            if (seen.contains(line))
                continue;
            seen.insert(line);
            found.append(QJsonObject { { QStringLiteral("address"), sender.toString() },
                                       { QStringLiteral("mac"), mac } });
            report.print(line);
            full = found.size() >= MaxAnswers;
        }
    }
    report.set(QStringLiteral("projectors"), found);
    if (full)
        report.warn(QStringLiteral("the search stopped at %1 different answers, the most it takes")
                        .arg(MaxAnswers));
    if (found.isEmpty())
        return report.finish(ExitCode::NoAnswer,
                             QStringLiteral("no projector answered the search within %1 s")
                                 .arg(invocation.timeoutText));
    return report.finish(ExitCode::Done);
}
