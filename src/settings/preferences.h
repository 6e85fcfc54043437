#pragma once

#include <QString>

// The user's choices of how the program behaves, beside the projector: the
// [Preferences] group of the store. Absent keys mean the program as it
// always was: English, and a port that failed to open stays closed.
namespace Preferences {

// "de", "fr" or "system"; empty for English as written.
QString language();
bool setLanguage(const QString &language);

// A serial port that fails to open, or goes away, is tried again by itself.
bool reconnect();
bool setReconnect(bool on);

} // namespace Preferences
