#include "storedsettings.h"

#include "projectorlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

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

void keepPrivate(const QSettings &store)
{
    if (isFileBased(store))
        QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner);
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
    ProjectorList projectors = ProjectorList::read();
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
    store->sync();
    return store->status() == QSettings::NoError;
}

QString location()
{
    return QDir::toNativeSeparators(open()->fileName());
}

} // namespace StoredSettings
