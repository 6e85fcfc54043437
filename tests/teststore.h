#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// The program's settings store, moved into a directory that exists only for
// one test run. isolate() must run before anything creates a QSettings or the
// application object; VANTREL_TEST_MAIN does that.
class TestStore
{
public:
    static constexpr const char *Organisation = "Toskeld";
    static constexpr const char *Application = "Vantrel";

    static void isolate();

    // Private to this run, removed at exit; also handy for symlinks and scratch files.
    static QString runDirectory();
    static QString fileName();

    static void clear();
    static void set(const QString &key, const QVariant &value);
    // Empties the store, then writes the given keys.
    static void seed(const QVariantMap &values);
    static QVariant value(const QString &key, const QVariant &defaultValue = QVariant());
    static bool contains(const QString &key);
    static QStringList keys();
};
