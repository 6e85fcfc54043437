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
    quiet.setSingleShot(true);
    quiet.setInterval(QuietMs);
    connect(&quiet, &QTimer::timeout, this, &StoreWatcher::look);
    const auto changing = [this] {
        watch();
        quiet.start();
    };
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, changing);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, changing);
    watch();
}

// The file, and its folder or, while that is missing, the nearest folder
// above it that exists; nothing else.
void StoreWatcher::watch()
{
    QStringList paths;
    const QFileInfo info(file);
    if (info.exists())
        paths.append(file);
    QDir folder = info.absoluteDir();
    while (!folder.exists() && !folder.isRoot())
        folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
    paths.append(folder.absolutePath());

    const QStringList watched = watcher.files() + watcher.directories();
    for (const QString &path : watched) {
        if (!paths.contains(path))
            watcher.removePath(path);
    }
    for (const QString &path : paths) {
        if (!watched.contains(path))
            watcher.addPath(path);
    }
}

void StoreWatcher::look()
{
    // A folder made again since the last change holds the file by now.
    watch();
    const QByteArray now = contents(file);
    if (now.isEmpty() || now == seen)
        return;
    seen = now;
    emit changed();
}
