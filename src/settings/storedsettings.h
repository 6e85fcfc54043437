#pragma once

#include <QString>

#include <functional>
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

// What a save came to. Damaged: the store's file does not parse, and is
// left as it is, whatever the save was for.
enum class Saved { Done, Damaged, Failed };

// Writes "ComPort" and "Model", and nothing else, through save(); under the
// edit lock, which the caller holds.
Saved write(const Choice &choice);

// Where the store lives, to name it to the user.
QString location();

// The store, to read: as UTF-8, and with nothing to write through. Every
// write goes through save().
std::unique_ptr<const QSettings> open();

// The one way anything is written to the store: change is made to a fresh
// view of it and saved, unless the file does not parse, when change is not
// even run and the file stays as it is (QSettings would read it without a
// word, and a save would lose what a stray quote swallows). Who reads,
// changes and writes holds an EditLock around it.
//
// QSettings, in every process, reads the file again only when its size or
// its time to the millisecond changed; a save of the same size within the
// millisecond of the one before would leave another editor reading the old
// list and writing it back. Each save gets a later time than the file had.
Saved save(const std::function<void(QSettings &)> &change);
// Why a save came to nothing, to tell the user; empty for Done.
QString whyNotSaved(Saved saved);

// A store that holds a password is for its owner's eyes alone: made so
// before anything is written, as the file is saved through a new file that
// takes the old one's permissions, or the umask's when there is none.
void keepPrivate(const QSettings &store);

// Empty when the store's file parses as QSettings writes it; otherwise
// "FILE:LINE: what is wrong".
QString formatProblem();

// The list's read, change and write, by the window and vantrelctl alike, run
// under this lock beside the store, so that edits made at once all land.
// On Unix it is the kernel's lock on the file: it lasts exactly as long as
// its holder, and nobody can judge it stale and break it. QLockFile does
// that by the holder's process id, then removes whatever file the name
// leads to by then, which under load can be the next holder's: two editors
// at once, and one edit lost. A file left behind that nobody holds, even a
// read-only one, is simply taken over.
class EditLock
{
public:
    // Patiently: tried for up to 10 s, for a program with nothing else to
    // do. Once: tried once, for a thread that must not wait (StoreWriter
    // tries again from a timer).
    enum class Wait { Patiently, Once };
    explicit EditLock(Wait wait = Wait::Patiently);
    ~EditLock();
    EditLock(const EditLock &) = delete;
    EditLock &operator=(const EditLock &) = delete;

    // False when another editor holds it, or it cannot be taken (a read-only
    // folder, a link or another user's file in its place): nothing may be
    // saved then.
    bool isLocked() const { return locked; }
    // Another editor holds it now: worth another try later.
    bool isBusy() const { return busy; }
    // Why it is not held, to tell the user; empty when it is.
    QString problem() const;

    // Where the lock lives.
    static QString fileName();

private:
    void take();

#ifdef Q_OS_UNIX
    std::unique_ptr<QFile> file;
#else
    std::unique_ptr<QLockFile> file;
#endif
    QString name;
    QString refusal; // why the lock's file cannot be used; empty when it can
    bool locked = false;
    bool busy = false;
};

} // namespace StoredSettings
