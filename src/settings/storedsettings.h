#pragma once

#include <QString>

#include <memory>

class QFile;
class QLockFile;
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
// Saves the store, under the edit lock. QSettings, in every process, reads
// the file again only when its size or its time to the millisecond changed;
// a save of the same size within the millisecond of the one before would
// leave another editor reading the old list and writing it back. Each save
// gets a later time than the file had. False when it could not be saved.
bool save(QSettings &store);
// A store that holds a password is for its owner's eyes alone: made so
// before anything is written, as the file is saved through a new file that
// takes the old one's permissions, or the umask's when there is none.
void keepPrivate(const QSettings &store);

// Empty when the store's file parses as QSettings writes it; otherwise
// "FILE:LINE: what is wrong". QSettings reads such a file without a word,
// and what a stray quote swallows would be lost at the next save.
QString formatProblem();

// The list's read, change and write, by the window and vantrelctl alike, run
// under this lock beside the store, so that edits made at once all land.
// On Unix it is the kernel's lock on the file: it lasts exactly as long as
// its holder, and nobody can judge it stale and break it. QLockFile does
// that by the holder's process id, then removes whatever file the name
// leads to by then, which under load can be the next holder's: two editors
// at once, and one edit lost.
class EditLock
{
public:
    EditLock();
    ~EditLock();
    EditLock(const EditLock &) = delete;
    EditLock &operator=(const EditLock &) = delete;

    // False when another editor held it for longer than any edit takes, or
    // it cannot be made (a read-only folder): nothing may be saved then.
    bool isLocked() const { return locked; }

private:
#ifdef Q_OS_UNIX
    std::unique_ptr<QFile> file;
#else
    std::unique_ptr<QLockFile> file;
#endif
    bool locked = false;
};

} // namespace StoredSettings
