#include "settings.h"

#include "portenumeration.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

namespace {

const QString Organisation = QStringLiteral("Toskeld");
const QString Application = QStringLiteral("Vantrel");
const QString PortKey = QStringLiteral("ComPort");
const QString ModelKey = QStringLiteral("Model");

// A stored absolute path that the system does not enumerate (a pseudo-
// terminal of a network serial bridge, a /dev/serial/by-id link) is still a
// port the user chose on purpose.
bool isUnlistedDevicePath(const QString &name, const QStringList &listed)
{
    return !name.isEmpty() && QFileInfo(name).isAbsolute() && QFileInfo::exists(name)
        && !listed.contains(name);
}

} // namespace

Settings::Settings(QWidget *parent)
    : QDialog(parent)
{
    ui.setupUi(this);
    applied = false;

    const QStringList ports = PortEnumeration::availablePortNames();
    for (const QString &port : ports)
        ui.port_comboBox->addItem(port);

    QSettings store(Organisation, Application);
    const QString storedPort = store.value(PortKey, QString()).toString();
    const int storedModel = store.value(ModelKey, 0).toInt();

    if (isUnlistedDevicePath(storedPort, ports))
        ui.port_comboBox->addItem(storedPort);
    const int portIndex
        = ui.port_comboBox->findText(storedPort, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (portIndex >= 0)
        ui.port_comboBox->setCurrentIndex(portIndex);
    ui.model_comboBox->setCurrentIndex(storedModel);
}

Settings::~Settings() = default;

QString Settings::SelectedPort() const
{
    return ui.port_comboBox->currentText();
}

int Settings::SelectedModel() const
{
    return ui.model_comboBox->currentIndex();
}

bool Settings::IsApplied() const
{
    return applied;
}

void Settings::on_applySettings_clicked()
{
    QSettings store(Organisation, Application);
    // QSettings waits for its lock file without end when it saves; a lock
    // nobody can take (left as a directory, on a read-only mount) would
    // freeze the window. The choice still applies for this run.
    QDir().mkpath(QFileInfo(store.fileName()).absolutePath());
    QLockFile lock(store.fileName() + QLatin1String(".lock"));
    if (lock.tryLock(2000)) {
        lock.unlock();
        store.setValue(PortKey, ui.port_comboBox->currentText());
        store.setValue(ModelKey, ui.model_comboBox->currentIndex());
    }
    applied = true;
    close();
}

void Settings::on_cancelSettings_clicked()
{
    applied = false;
    close();
}
