#include "framing.h"

namespace Framing {

bool feedByte(QString &buffer, char byte, int modelIndex)
{
    const auto value = static_cast<unsigned char>(byte);
    if (value == '\r' && (modelIndex == 0 || modelIndex == 1))
        return true;
    if (buffer.size() >= MaxPartialReply)
        buffer.clear();
    buffer.append(QChar::fromLatin1(static_cast<char>(value)));
    return value == ')' && modelIndex == 2;
}

} // namespace Framing
