#pragma once

#include <QString>

#include <memory>

class QSettings;

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
// lock nobody can take): it then applies to this session only. The choice
// becomes the current projector of the list, a new one named after its
// port when the list is empty.
bool write(const Choice &choice);

// Where the store lives, to name it to the user.
QString location();

// The store itself, for the projector list: read as UTF-8.
std::unique_ptr<QSettings> open();
// False when saving would wait without end for QSettings' lock file.
bool canSave(const QSettings &store);
// A store that holds a password is for its owner's eyes alone.
void keepPrivate(const QSettings &store);

} // namespace StoredSettings
