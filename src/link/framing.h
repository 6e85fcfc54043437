#pragma once

#include <QString>

// Reply framing on the serial line. Acer and Vivitek end a reply with a
// carriage return, which is not part of it; InFocus replies end with ")",
// which is. Any other family never completes a reply.
namespace Framing {

// A partial reply longer than this is line noise or the wrong family: it is
// dropped so the buffer cannot grow without bound.
constexpr int MaxPartialReply = 1024;

// Adds one received byte to the reply being assembled and tells whether it
// completed the reply. A completed reply is left in buffer for the caller.
bool feedByte(QString &buffer, char byte, int modelIndex);

} // namespace Framing
