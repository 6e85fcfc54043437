#include "teststore.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

static QTemporaryDir &runDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vantrel-test-XXXXXX"));
    return dir;
}

void TestStore::isolate()
{
    QTemporaryDir &dir = runDir();
    if (!dir.isValid())
        qFatal("Cannot create the private settings directory: %s", qPrintable(dir.errorString()));

    const QString configPath = dir.filePath(QStringLiteral("config"));
    QDir().mkpath(configPath);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configPath));
    // Spares every test the platform plugin's warning about a missing runtime directory.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configPath);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configPath);

    // A test that could reach the user's own settings must not run at all.
    const QString storeFile = fileName();
    if (!storeFile.startsWith(configPath + QLatin1Char('/')))
        qFatal("Settings store escaped the test directory: %s", qPrintable(storeFile));
}

QString TestStore::runDirectory()
{
    return runDir().path();
}

QString TestStore::fileName()
{
    return QSettings(Organisation, Application).fileName();
}

void TestStore::clear()
{
    QSettings store(Organisation, Application);
    store.clear();
    store.sync();
}

void TestStore::set(const QString &key, const QVariant &value)
{
    QSettings store(Organisation, Application);
    store.setValue(key, value);
    store.sync();
}

void TestStore::seed(const QVariantMap &values)
{
    QSettings store(Organisation, Application);
    store.clear();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store.setValue(it.key(), it.value());
    store.sync();
}

QVariant TestStore::value(const QString &key, const QVariant &defaultValue)
{
    return QSettings(Organisation, Application).value(key, defaultValue);
}

bool TestStore::contains(const QString &key)
{
    return QSettings(Organisation, Application).contains(key);
}

QStringList TestStore::keys()
{
    return QSettings(Organisation, Application).allKeys();
}
