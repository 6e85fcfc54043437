#pragma once

#include <QString>

// Reply framing on the serial line. Acer and Vivitek end a reply with a
// carriage return, which is not part of it; InFocus replies end with ")",
// which is. Any other family never completes a reply.
namespace Framing {

// A partial reply longer than this is line noise or the wrong family: it is
// dropped so the buffer cannot grow without bound.
constexpr int MaxPartialReply = 1024;

// Input waiting unread beyond this is dropped, oldest first. A projector
// sends a few bytes a second and even a 115200 baud line only about 1150
// bytes in a tick of 100 ms; more than this is a flood, and showing it late
// would only hide what arrives now. What a flood leaves is still read and
// shown, so this also bounds how fast it can fill the log.
constexpr int MaxUnreadInput = 2048;
// What QSerialPort itself may hold between two ticks: past it, it stops
// reading from the device, so a flood cannot pile up in memory either.
constexpr int PortReadBuffer = 16 * MaxUnreadInput;

// Adds one received byte to the reply being assembled in text and tells
// whether it completed the reply, which is then left in text for the caller.
// lineEnded is set by the carriage return that ends an Acer or Vivitek reply:
// many projectors and adapters send CR LF, and a LF right after that CR
// belongs to the line end, not to the next reply.
bool feedByte(QString &text, bool &lineEnded, char byte, int modelIndex);

// The reply without the blanks and ASCII control characters around it, as
// lamp replies are compared: projectors and adapters add stray ones ("P0 ",
// "Lamp 0" with a LF before its CR).
QString trimmed(const QString &reply);

} // namespace Framing
