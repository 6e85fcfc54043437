#include "settings.h"

#include "portenumeration.h"

#include "storedsettings.h"

#include <QFileInfo>

namespace {

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

    const StoredSettings::Choice stored = StoredSettings::read();
    const QString &storedPort = stored.port;
    const int storedModel = stored.model;

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
    // When the store cannot be written the choice still applies for this run.
    StoredSettings::write({ ui.port_comboBox->currentText(), ui.model_comboBox->currentIndex() });
    applied = true;
    close();
}

void Settings::on_cancelSettings_clicked()
{
    applied = false;
    close();
}
