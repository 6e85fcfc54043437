#pragma once

#include <QString>

class StoreWriter;

// The user's choices of how the program behaves, beside the projector: the
// [Preferences] group of the store. Absent keys mean the program as it
// always was: English, and a port that failed to open stays closed.
namespace Preferences {

// "de", "fr" or "system"; empty for English as written.
QString language();
// Saved through writer, which never waits for the edit lock and says
// through its finished() signal whether the value was stored.
void setLanguage(StoreWriter &writer, const QString &language);

// A serial port that fails to open, or goes away, is tried again by itself.
bool reconnect();
void setReconnect(StoreWriter &writer, bool on);

} // namespace Preferences
