#include "teststore.h"

#include "pjlinklogins.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // What the programs remember of PJLink logins goes with the store.
    QFile::remove(PJLinkLogins::location());
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
    QFile::remove(PJLinkLogins::location());
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

SecretWatch::SecretWatch(const QString &folder, const QByteArray &secret)
{
    reader = std::thread([this, path = QFile::encodeName(folder), secret] {
        while (!stop) {
            DIR *dir = ::opendir(path.constData());
            if (!dir)
                continue;
            while (const dirent *entry = ::readdir(dir)) {
                struct stat info;
                if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)
                    || !(info.st_mode & 0077))
                    continue;
                const int file = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
                if (file < 0)
                    continue;
                // Checked again once open: the permissions that let it be opened.
                char bytes[4096];
                const ssize_t size = ::fstat(file, &info) == 0 && (info.st_mode & 0077)
                    ? ::read(file, bytes, sizeof bytes)
                    : 0;
                ::close(file);
                if (size > 0 && QByteArray::fromRawData(bytes, int(size)).contains(secret))
                    ++seen;
            }
            ::closedir(dir);
            ++rounds;
        }
    });
}

SecretWatch::~SecretWatch()
{
    stop = true;
    reader.join();
}
