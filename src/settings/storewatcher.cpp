#include "storewatcher.h"

#include "storedsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    // Absent and unreadable look alike: both hold no list.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

StoreWatcher::StoreWatcher(QObject *parent)
    : QObject(parent)
    , file(StoredSettings::open()->fileName())
    , seen(contents(file))
{
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, &StoreWatcher::look);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &StoreWatcher::look);
    watch();
}

// The file, its folder, and while there is no folder yet the one above it.
void StoreWatcher::watch()
{
    QStringList paths;
    const QFileInfo info(file);
    if (info.exists())
        paths.append(file);
    QDir folder = info.absoluteDir();
    for (int depth = 0; depth < 2; ++depth) {
        if (folder.exists()) {
            paths.append(folder.absolutePath());
            break;
        }
        folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
    }
    for (const QString &path : paths) {
        if (!watcher.files().contains(path) && !watcher.directories().contains(path))
            watcher.addPath(path);
    }
}

void StoreWatcher::look()
{
    watch();
    const QByteArray now = contents(file);
    if (now == seen)
        return;
    seen = now;
    emit changed();
}
