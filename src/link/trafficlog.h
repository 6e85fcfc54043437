#pragma once

#include <QByteArray>
#include <QString>

// How traffic is shown in the log pane: every byte either as its Latin-1
// character or as two lower-case hex digits and a blank.
namespace TrafficLog {

// The log pane keeps the newest lines only, so a window left open for weeks
// costs what it cost on its first day. Past MaxLines the oldest go, down to
// KeptLines at once: dropping the first line of the pane lays all of it out
// again, far too dear to do for every new line.
constexpr int MaxLines = 10000;
constexpr int KeptLines = 9000;

QString byteText(unsigned char byte, bool ascii);
QString bytesText(const QByteArray &bytes, bool ascii);

// "< " + command + "0d": the carriage return is always shown as "0d".
QString sentLine(const QByteArray &command, bool ascii);
// "> " + the bytes read in one tick.
QString receivedLine(const QByteArray &bytes, bool ascii);
// "-> " + the reply as handed to the reply handler.
QString replyLine(const QString &reply);

} // namespace TrafficLog
