#pragma once

#include <QString>

// The family and port the user chose, as the settings store keeps them:
// organisation "Toskeld", application "Vantrel", keys "ComPort" and "Model".
// The window and the command-line program share the store through this.
namespace StoredSettings {

struct Choice
{
    QString port; // empty when none was ever stored
    int model = 0; // as stored, unchecked: 0 when absent or not a number
};

Choice read();

// False when the choice could not be stored (a read-only file or folder, a
// lock nobody can take): it then applies to this session only.
bool write(const Choice &choice);

// Where the store lives, to name it to the user.
QString location();

} // namespace StoredSettings
