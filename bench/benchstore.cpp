#include "benchstore.h"

#include <QFile>
#include <QSettings>

BenchStore::BenchStore()
    : directory(QDir::tempPath() + QStringLiteral("/vantrel-bench-XXXXXX"))
{
    if (directory.isValid()) {
        qputenv("XDG_CONFIG_HOME", directory.path().toLocal8Bit());
        // Quietens Qt's complaint about a missing runtime directory.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            qputenv("XDG_RUNTIME_DIR", directory.path().toLocal8Bit());
    }
}

void BenchStore::choose(const QString &port, int model)
{
    QSettings store(QStringLiteral("Toskeld"), QStringLiteral("Vantrel"));
    store.setValue(QStringLiteral("ComPort"), port);
    store.setValue(QStringLiteral("Model"), model);
    store.sync();
}

void BenchStore::chooseWithPassword(const QString &port, int model, const QString &password)
{
    QSettings store(QStringLiteral("Toskeld"), QStringLiteral("Vantrel"));
    store.setValue(QStringLiteral("ComPort"), port);
    store.setValue(QStringLiteral("Model"), model);
    store.setValue(QStringLiteral("Projector"), QStringLiteral("bench"));
    store.beginWriteArray(QStringLiteral("Projectors"), 1);
    store.setArrayIndex(0);
    store.setValue(QStringLiteral("Name"), QStringLiteral("bench"));
    store.setValue(QStringLiteral("Model"), model);
    store.setValue(QStringLiteral("Port"), port);
    store.setValue(QStringLiteral("Password"), password);
    store.endArray();
    store.sync();
    QFile::setPermissions(store.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
