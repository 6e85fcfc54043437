#include "storedsettings.h"

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
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace StoredSettings {

namespace {

const QString PortKey = QStringLiteral("ComPort");
const QString ModelKey = QStringLiteral("Model");

// The window shows these in its messages; vantrelctl, which loads no
// translation, says them in English.
QString tr(const char *text)
{
    return QCoreApplication::translate("StoredSettings", text);
}

} // namespace

namespace {

std::unique_ptr<QSettings> openToWrite()
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

} // namespace

std::unique_ptr<const QSettings> open()
{
    return openToWrite();
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

namespace {

// False when saving would wait without end for QSettings' lock file.
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

Saved save(const std::function<void(QSettings &)> &change)
{
    // Looked at now, as a hand edit may have come since any read.
    if (!formatProblem().isEmpty())
        return Saved::Damaged;
    const auto store = openToWrite();
    if (!canSave(*store))
        return Saved::Failed;
    const QDateTime was = QFileInfo(store->fileName()).lastModified();
    change(*store);
    store->sync();
    // Only an access error is about the save; the file parsed a moment ago.
    if (store->status() == QSettings::AccessError)
        return Saved::Failed;
    if (!isFileBased(*store) || !was.isValid())
        return Saved::Done;
    return moveTimePast(store->fileName(), was) ? Saved::Done : Saved::Failed;
}

QString whyNotSaved(Saved saved)
{
    switch (saved) {
    case Saved::Done:
        return QString();
    case Saved::Damaged:
        return tr("%1; the settings file is left as it is until this is put right")
            .arg(formatProblem());
    case Saved::Failed:
        break;
    }
    return tr("the settings could not be saved in %1").arg(location());
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

// The wait between two patient tries: short, as an edit takes a few milliseconds.
constexpr int EditLockRetryMs = 5;

#ifdef Q_OS_UNIX

// True when the name still leads to the file locked. Its holder removes
// the file before letting go of it, and so does an older Vantrel: a lock
// on a file the name no longer leads to excludes nobody.
bool stillNamed(const QFile &locked, const QString &name)
{
    struct stat held;
    struct stat named;
    return ::fstat(locked.handle(), &held) == 0
        && ::lstat(QFile::encodeName(name).constData(), &named) == 0 && held.st_dev == named.st_dev
        && held.st_ino == named.st_ino;
}

#endif

} // namespace

QString EditLock::fileName()
{
    return editLockName(storeFileName());
}

EditLock::EditLock(Wait wait)
    : name(fileName())
{
    QDir().mkpath(QFileInfo(name).absolutePath());
    QDeadlineTimer deadline(wait == Wait::Patiently ? EditLockWaitMs : 0);
    for (;;) {
        take();
        if (locked) {
            outdateReads(storeFileName());
            return;
        }
        if (!busy || deadline.hasExpired())
            return;
        QThread::msleep(std::min<qint64>(EditLockRetryMs, deadline.remainingTime()));
    }
}

void EditLock::take()
{
    busy = false;
#ifdef Q_OS_UNIX
    // Its holder may remove the file between the open and the lock; the next
    // open then finds the one there now. Bounded: that takes a holder each time.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Never through a link: one planted in its place would have the file
        // made wherever it points. Read-only is all the lock needs, so a
        // read-only file left behind is taken over too; without blocking, in
        // case a FIFO was put there.
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) {
            refusal = errno == ELOOP
                ? QCoreApplication::translate(
                      "StoredSettings", "the lock %1 is a link; nothing is saved while it is there")
                      .arg(name)
                : QCoreApplication::translate("StoredSettings", "the lock %1 cannot be opened: %2")
                      .arg(name, QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        auto candidate = std::make_unique<QFile>();
        candidate->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        struct stat info;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            refusal = QCoreApplication::translate(
                          "StoredSettings",
                          "the lock %1 is not a file of this user's; nothing is saved while it "
                          "is there")
                          .arg(name);
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            busy = errno == EWOULDBLOCK || errno == EINTR;
            if (!busy)
                refusal = QCoreApplication::translate("StoredSettings",
                                                      "the lock %1 cannot be taken: %2")
                              .arg(name, QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        if (stillNamed(*candidate, name)) {
            file = std::move(candidate);
            locked = true;
            return;
        }
    }
    busy = true;
#else
    // Elsewhere a lock file in use cannot be removed, which keeps QLockFile's
    // stale lock handling from breaking a live one.
    if (!file)
        file = std::make_unique<QLockFile>(name);
    locked = file->tryLock(0);
    busy = !locked && file->error() == QLockFile::LockFailedError;
#endif
}

QString EditLock::problem() const
{
    if (locked)
        return QString();
    if (!refusal.isEmpty())
        return refusal;
    if (busy)
        return QCoreApplication::translate(
                   "StoredSettings", "settings are being changed by another program (lock %1)")
            .arg(name);
    return QCoreApplication::translate("StoredSettings", "the lock %1 cannot be made").arg(name);
}

EditLock::~EditLock()
{
#ifdef Q_OS_UNIX
    // Removed while still locked, then let go: an editor that locks the
    // removed file meanwhile finds the name no longer leads to it, and one
    // that creates a new file has the only file there is.
    if (file) {
        QFile::remove(name);
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

Saved write(const Choice &choice)
{
    // The two keys and nothing else: the list of named projectors, and
    // which of them is current, stay as they are.
    return save([&choice](QSettings &store) {
        store.setValue(PortKey, choice.port);
        store.setValue(ModelKey, choice.model);
    });
}

QString location()
{
    return QDir::toNativeSeparators(open()->fileName());
}

} // namespace StoredSettings
