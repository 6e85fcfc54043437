#include "settings.h"

#include "family.h"
#include "portenumeration.h"
#include "portstatus.h"
#include "storedsettings.h"

#include <QFileInfo>
#include <QMessageBox>

Settings::Settings(QWidget *parent, Ports ports)
    : QDialog(parent)
{
    ui.setupUi(this);
    applied = false;

    const StoredSettings::Choice stored = StoredSettings::read();
    // Listing every port walks the whole device tree; to apply a stored
    // choice only the stored port matters.
    const QStringList listed = ports == AllPorts || stored.port.isEmpty()
        ? PortEnumeration::availablePortNames()
        : QStringList();
    for (const QString &port : listed)
        ui.port_comboBox->addItem(port);

    // A stored port the system does not list is still the user's choice: a
    // /dev/serial/by-id link, a network bridge's pseudo-terminal, or an
    // adapter not plugged in yet. It stays chosen, marked when it is absent.
    if (!stored.port.isEmpty() && !listed.contains(stored.port)) {
        if (QFileInfo::exists(PortStatus::systemLocation(stored.port)))
            ui.port_comboBox->addItem(stored.port);
        else
            ui.port_comboBox->addItem(tr("%1 (not present)").arg(stored.port), stored.port);
    }
    for (int i = 0; i < ui.port_comboBox->count(); ++i) {
        if (portAt(i) == stored.port) {
            ui.port_comboBox->setCurrentIndex(i);
            break;
        }
    }
    ui.model_comboBox->setCurrentIndex(Family::orDefault(stored.model));
}

Settings::~Settings() = default;

QString Settings::SelectedPort() const
{
    return portAt(ui.port_comboBox->currentIndex());
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
    if (!StoredSettings::write({ SelectedPort(), SelectedModel() })) {
        QMessageBox::warning(this, tr("Settings not saved"),
                             tr("The settings could not be saved in %1.\n"
                                "The choice applies to this session only.")
                                 .arg(StoredSettings::location()));
    }
    applied = true;
    close();
}

void Settings::on_cancelSettings_clicked()
{
    applied = false;
    close();
}

// The plain port name of an item, whatever the list shows for it.
QString Settings::portAt(int index) const
{
    const QVariant name = ui.port_comboBox->itemData(index);
    return name.isValid() ? name.toString() : ui.port_comboBox->itemText(index);
}
