#include "framing.h"

#include <utility>

namespace Framing {

bool feedByte(QString &text, bool &lineEnded, char byte, int modelIndex)
{
    const auto value = static_cast<unsigned char>(byte);
    const bool endsWithCarriageReturn = modelIndex == 0 || modelIndex == 1;
    const bool afterLineEnd = std::exchange(lineEnded, false);
    if (endsWithCarriageReturn && value == '\n' && afterLineEnd)
        return false;
    if (endsWithCarriageReturn && value == '\r') {
        lineEnded = true;
        return true;
    }
    if (text.size() >= MaxPartialReply)
        text.clear();
    text.append(QChar::fromLatin1(static_cast<char>(value)));
    return value == ')' && modelIndex == 2;
}

QString trimmed(const QString &reply)
{
    const auto stray = [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7f; };
    int first = 0;
    int end = reply.size();
    while (first < end && stray(reply.at(first)))
        ++first;
    while (end > first && stray(reply.at(end - 1)))
        --end;
    return reply.mid(first, end - first);
}

} // namespace Framing
