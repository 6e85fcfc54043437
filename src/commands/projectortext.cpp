#include "projectortext.h"

namespace ProjectorText {

namespace {

bool removed(char32_t c)
{
    // C0, DEL and C1 controls.
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    // Marks, embeddings, overrides and isolates of the bidirectional
    // algorithm; the line and paragraph separators.
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString plain(const QByteArray &bytes, int maxLength)
{
    // Qt 5's fromUtf8(QByteArray) would end the text at a NUL.
    return plain(QString::fromUtf8(bytes.constData(), int(bytes.size())), maxLength);
}

QString plain(const QString &text, int maxLength)
{
    QString kept;
    kept.reserve(int(qMin<qsizetype>(text.size(), maxLength + 1)));
    int characters = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        const bool pair
            = unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(unit, text.at(i + 1)) : unit.unicode();
        if (removed(c)) {
            i += pair;
            continue;
        }
        if (characters == maxLength) {
            kept.append(QChar(0x2026));
            break;
        }
        kept.append(unit);
        if (pair)
            kept.append(text.at(++i));
        ++characters;
    }
    return kept;
}

QString toolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QLatin1String("<p style='white-space:pre'>")
        + text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))
        + QLatin1String("</p>");
}

} // namespace ProjectorText
