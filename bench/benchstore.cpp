#include "benchstore.h"

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
