#pragma once

#include <QString>
#include <QTemporaryDir>

// A settings store of the bench's own: XDG_CONFIG_HOME points into a
// temporary directory for this process and every program it starts, so the
// user's settings are neither read nor changed. Create it before anything
// touches QSettings.
class BenchStore
{
public:
    BenchStore();

    bool isValid() const { return directory.isValid(); }
    QString path() const { return directory.path(); }
    // What the settings dialog stores when the user applies a choice.
    void choose(const QString &port, int model);
    // The same for one named projector with a password, as the dialog keeps it.
    void chooseWithPassword(const QString &port, int model, const QString &password);

private:
    QTemporaryDir directory;
};
