#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

// Tells when the settings store's file changed, whoever wrote it: the window
// itself, vantrelctl, an editor. The file is saved by writing a new one and
// renaming it over the old, which ends a watch on the file itself, so its
// folder is watched too. The same contents are told only once.
class StoreWatcher : public QObject
{
    Q_OBJECT

public:
    explicit StoreWatcher(QObject *parent = nullptr);

signals:
    void changed();

private:
    void watch();
    void look();

    QFileSystemWatcher watcher;
    QString file;
    QByteArray seen; // the contents last told, or found at the start
};
