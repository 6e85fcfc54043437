#include "trafficlog.h"

namespace TrafficLog {

QString byteText(unsigned char byte, bool ascii)
{
    if (ascii)
        return QString(QChar::fromLatin1(static_cast<char>(byte)));
    static const char digits[] = "0123456789abcdef";
    const char text[] = { digits[byte >> 4], digits[byte & 0x0f], ' ' };
    return QString::fromLatin1(text, 3);
}

QString bytesText(const QByteArray &bytes, bool ascii)
{
    QString text;
    text.reserve(bytes.size() * (ascii ? 1 : 3));
    for (char byte : bytes)
        text += byteText(static_cast<unsigned char>(byte), ascii);
    return text;
}

QString sentLine(const QByteArray &command, bool ascii)
{
    return QLatin1String("< ") + bytesText(command, ascii) + QLatin1String("0d\n");
}

QString receivedLine(const QByteArray &bytes, bool ascii)
{
    return QLatin1String("> ") + bytesText(bytes, ascii) + QLatin1Char('\n');
}

QString replyLine(const QString &reply)
{
    return QLatin1String("-> ") + reply + QLatin1Char('\n');
}

} // namespace TrafficLog
