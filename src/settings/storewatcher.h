#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when the settings store's file changed, whoever wrote it: the window
// itself, vantrelctl, an editor. The file is saved by writing a new one and
// renaming it over the old, which ends a watch on the file itself, so its
// folder is watched too, and while a folder is missing the nearest one above
// it that exists: a configuration folder removed and made again is found.
//
// A change is told once the file has been quiet for a moment, so an editor
// that writes in place is not read half way; a file that is empty or cannot
// be read is never told, and the same contents only once.
class StoreWatcher : public QObject
{
    Q_OBJECT

public:
    explicit StoreWatcher(QObject *parent = nullptr);

    static constexpr int QuietMs = 200;

signals:
    void changed();

private:
    void watch();
    void look();

    // Children, so a test can tell when a change has been looked at.
    QFileSystemWatcher watcher { this };
    QTimer quiet { this };
    QString file;
    QByteArray seen; // the contents last told, or found at the start
};
