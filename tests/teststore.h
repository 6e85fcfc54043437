#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <thread>

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

// Reads every file of a folder over and over, as another user would, from
// a thread of its own while it lives: how often one held the secret while
// others could read it.
class SecretWatch
{
public:
    SecretWatch(const QString &folder, const QByteArray &secret);
    ~SecretWatch();
    int exposed() const { return seen; }
    int looks() const { return rounds; }

private:
    std::atomic<bool> stop { false };
    std::atomic<int> seen { 0 };
    std::atomic<int> rounds { 0 };
    std::thread reader;
};
