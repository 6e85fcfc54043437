#include "storedsettings.h"

#include "projectorlist.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#endif

namespace StoredSettings {

namespace {

const QString PortKey = QStringLiteral("ComPort");
const QString ModelKey = QStringLiteral("Model");

} // namespace

std::unique_ptr<QSettings> open()
{
    auto store = std::make_unique<QSettings>(QStringLiteral("Toskeld"), QStringLiteral("Vantrel"));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Users edit the file by hand (a /dev/serial/by-id path); read it as the
    // UTF-8 it is, as Qt 6 does. Older files hold only escaped ASCII, which
    // reads back the same either way.
    store->setIniCodec("UTF-8");
#endif
    return store;
}

namespace {

// Only a store kept in a file takes QSettings' lock file; the registry and
// the macOS preferences have locks of their own, and their "file name" is
// no place to create anything.
bool isFileBased(const QSettings &store)
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    return store.format() == QSettings::IniFormat;
#else
    Q_UNUSED(store);
    return true;
#endif
}

} // namespace

bool canSave(const QSettings &store)
{
    if (!isFileBased(store))
        return true;
    // QSettings waits for its lock file without end when it saves; a lock
    // nobody can take (left as a directory, on a read-only mount) would
    // freeze the caller. Taken and let go here, so QSettings finds it free.
    QDir().mkpath(QFileInfo(store.fileName()).absolutePath());
    QLockFile lock(store.fileName() + QLatin1String(".lock"));
    if (!lock.tryLock(2000))
        return false;
    lock.unlock();
    return true;
}

namespace {

// Gives an existing file a time later than was, unless it has one already.
// It is opened to set the time only; nothing is written.
bool moveTimePast(const QString &fileName, const QDateTime &was)
{
    QFile file(fileName);
    if (QFileInfo(file).lastModified() > was)
        return true;
    return file.open(QIODevice::ReadWrite)
        && file.setFileTime(was.addMSecs(1), QFileDevice::FileModificationTime);
}

} // namespace

bool save(QSettings &store)
{
    const QDateTime was = QFileInfo(store.fileName()).lastModified();
    store.sync();
    // A format error is about what was read, a damaged file the user chose
    // to replace; only an access error is about the save.
    if (store.status() == QSettings::AccessError)
        return false;
    if (!isFileBased(store) || !was.isValid())
        return true;
    return moveTimePast(store.fileName(), was);
}

void keepPrivate(const QSettings &store)
{
    if (!isFileBased(store))
        return;
    // A file saved where there was none gets the umask's permissions, which
    // let others read it: one made empty (never over an existing one) and
    // private before a byte goes in is what it takes. QSettings then saves
    // through a file that copies these permissions.
    QFile made(store.fileName());
    if (made.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        made.close();
    QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

namespace {

// The window shows these in its messages; vantrelctl, which loads no
// translation, says them in English.
QString tr(const char *text)
{
    return QCoreApplication::translate("StoredSettings", text);
}

// Where the line that starts at from ends: at its CR or LF, or the end.
int lineEnd(const QByteArray &data, int from)
{
    while (from < data.size() && data.at(from) != '\n' && data.at(from) != '\r')
        ++from;
    return from;
}

// What QSettings would misread in one line of an INI file; empty when it
// reads it as written. Quotes, backslashes and semicolons count as QSettings
// counts them, and no line it writes itself has a quote left open.
QString lineProblem(const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    if (text.isEmpty() || text.startsWith(';'))
        return QString();
    if (text.startsWith('['))
        return text.contains(']') ? QString() : tr("a section name without its \"]\"");
    bool quoted = false;
    bool equals = false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\\')
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (c == '=' && !quoted)
            equals = true;
        else if (c == ';' && !quoted)
            break;
    }
    if (quoted)
        return tr("a quote (\") that is not closed on its line");
    if (!equals)
        return tr("a line that is neither \"[section]\" nor \"key=value\"");
    return QString();
}

} // namespace

QString formatProblem()
{
    const auto store = open();
    if (!isFileBased(*store))
        return QString();
    QFile file(store->fileName());
    // No file, or none to read: nothing there that a save could lose.
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray data = file.readAll();
    // An editor's byte order mark, which QSettings passes over too.
    for (int from = data.startsWith("\xef\xbb\xbf") ? 3 : 0; from < data.size();) {
        int end = lineEnd(data, from);
        // An odd number of backslashes at the end carries the line on, as in QSettings.
        for (;;) {
            int backslashes = 0;
            while (end - backslashes > from && data.at(end - backslashes - 1) == '\\')
                ++backslashes;
            if (backslashes % 2 == 0 || end >= data.size())
                break;
            end = lineEnd(data, end + (data.mid(end, 2) == "\r\n" ? 2 : 1));
        }
        if (const QString problem = lineProblem(data.mid(from, end - from)); !problem.isEmpty()) {
            const QByteArray before = data.left(from);
            const int number
                = 1 + int(before.count('\n') + before.count('\r')) - int(before.count("\r\n"));
            return QStringLiteral("%1:%2: %3")
                .arg(QDir::toNativeSeparators(file.fileName()))
                .arg(number)
                .arg(problem);
        }
        from = end + (data.mid(end, 2) == "\r\n" ? 2 : 1);
    }
    if (store->status() == QSettings::FormatError)
        return tr("%1: the file does not read as settings")
            .arg(QDir::toNativeSeparators(file.fileName()));
    return QString();
}

namespace {

// Edits take a few milliseconds; a script adding rooms one after another,
// or many at once, waits its turn well within this.
constexpr int EditLockWaitMs = 10000;

// Empty when the store is no file of its own.
QString storeFileName()
{
    const auto store = open();
    return isFileBased(*store) ? store->fileName() : QString();
}

QString editLockName(const QString &storeFile)
{
    if (!storeFile.isEmpty())
        return storeFile + QLatin1String(".edit.lock");
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation)
        + QLatin1String("/Toskeld-Vantrel.edit.lock");
}

// QSettings keeps what it read of the store, in each process, and trusts
// it while the file's size and time are as it noted them; a read made while
// another editor saved can be noted with the newer file's size and time,
// and would pass for current under the lock. With the time moved past all
// it had, every read under the lock reads the file itself.
void outdateReads(const QString &storeFile)
{
    if (storeFile.isEmpty())
        return;
    const QDateTime was = QFileInfo(storeFile).lastModified();
    if (was.isValid())
        moveTimePast(storeFile, was);
}

#ifdef Q_OS_UNIX

// The wait between two tries: short, as an edit takes a few milliseconds.
constexpr int EditLockRetryMs = 5;

// True when the name still leads to the file locked. Its holder removes
// the file before letting go of it, and so does an older Vantrel: a lock
// on a file the name no longer leads to excludes nobody.
bool stillNamed(const QFile &locked)
{
    struct stat held;
    struct stat named;
    return ::fstat(locked.handle(), &held) == 0
        && ::stat(QFile::encodeName(locked.fileName()).constData(), &named) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

#endif

} // namespace

EditLock::EditLock()
{
    const QString storeFile = storeFileName();
    const QString name = editLockName(storeFile);
    QDir().mkpath(QFileInfo(name).absolutePath());
#ifdef Q_OS_UNIX
    QDeadlineTimer deadline(EditLockWaitMs);
    for (;;) {
        auto candidate = std::make_unique<QFile>(name);
        if (!candidate->open(QIODevice::ReadWrite))
            return; // a read-only folder: nothing may be saved
        if (::flock(candidate->handle(), LOCK_EX | LOCK_NB) == 0) {
            // Otherwise removed or replaced meanwhile: the one there now counts.
            if (stillNamed(*candidate)) {
                file = std::move(candidate);
                locked = true;
                outdateReads(storeFile);
                return;
            }
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            return;
        }
        if (deadline.hasExpired())
            return;
        QThread::msleep(std::min<qint64>(EditLockRetryMs, deadline.remainingTime()));
    }
#else
    // Elsewhere a lock file in use cannot be removed, which keeps QLockFile's
    // stale lock handling from breaking a live one.
    file = std::make_unique<QLockFile>(name);
    locked = file->tryLock(EditLockWaitMs);
    if (locked)
        outdateReads(storeFile);
#endif
}

EditLock::~EditLock()
{
#ifdef Q_OS_UNIX
    // Removed while still locked, then let go: an editor that locks the
    // removed file meanwhile finds the name no longer leads to it, and one
    // that creates a new file has the only file there is.
    if (file) {
        QFile::remove(file->fileName());
        file.reset();
    }
#endif
}

Choice read()
{
    const auto store = open();
    Choice choice;
    choice.port = store->value(PortKey, QString()).toString();
    choice.model = store->value(ModelKey, 0).toInt();
    return choice;
}

bool write(const Choice &choice)
{
    const EditLock lock;
    if (!lock.isLocked())
        return false;
    ProjectorList projectors = ProjectorList::read();
    if (!projectors.damage().isEmpty())
        return false;
    if (const ProjectorList::Projector *current = projectors.current()) {
        ProjectorList::Projector changed = *current;
        changed.port = choice.port;
        changed.model = choice.model;
        projectors.replace(current->name, changed);
        return projectors.write();
    }
    ProjectorList::Projector first;
    first.name = ProjectorList::nameAfter(choice.port);
    first.port = choice.port;
    first.model = choice.model;
    if (!choice.port.isEmpty() && projectors.add(first))
        return projectors.write();

    // No port to name a projector after: the keys alone, as ever.
    const auto store = open();
    if (!canSave(*store))
        return false;
    store->setValue(PortKey, choice.port);
    store->setValue(ModelKey, choice.model);
    return save(*store);
}

QString location()
{
    return QDir::toNativeSeparators(open()->fileName());
}

} // namespace StoredSettings
