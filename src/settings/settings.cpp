#include "settings.h"

#include "linkaddress.h"
#include "portenumeration.h"
#include "portstatus.h"
#include "storedsettings.h"
#include "storewriter.h"

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
    QStringList listed;
    if (ports == AllPorts || stored.port.isEmpty())
        listed = PortEnumeration::availablePortNames();
    for (const QString &name : listed)
        ui.port_comboBox->addItem(name);
    // A stored port the system does not list (a /dev/serial/by-id link, a
    // network serial server, an adapter not plugged in yet) stays chosen
    // rather than giving way to another device's port; an absent device is
    // marked so.
    if (!stored.port.isEmpty() && !listed.contains(stored.port)) {
        if (LinkAddress::parse(stored.port).isNetwork()
            || QFileInfo::exists(PortStatus::systemLocation(stored.port)))
            ui.port_comboBox->addItem(stored.port);
        else
            ui.port_comboBox->addItem(tr("%1 (not present)").arg(stored.port), stored.port);
    }
    for (int i = 0; i < ui.port_comboBox->count(); ++i) {
        const QVariant name = ui.port_comboBox->itemData(i);
        if ((name.isValid() ? name.toString() : ui.port_comboBox->itemText(i)) == stored.port) {
            ui.port_comboBox->setCurrentIndex(i);
            break;
        }
    }
    // Unchecked: a number that names no family leaves the list without a
    // current item, and Ok then stores -1.
    ui.model_comboBox->setCurrentIndex(stored.model);
}

Settings::~Settings() = default;

QString Settings::SelectedPort() const
{
    const QVariant name = ui.port_comboBox->currentData();
    return name.isValid() ? name.toString() : ui.port_comboBox->currentText();
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
    // Saved without waiting on this thread for another program's edit of
    // the store: the polls and the log go on meanwhile.
    auto *writer = findChild<StoreWriter *>();
    if (!writer) {
        writer = new StoreWriter(this);
        connect(this, &QDialog::finished, writer, &StoreWriter::cancel);
        connect(writer, &StoreWriter::finished, this, [this, writer](const QString &problem) {
            if (!problem.isEmpty()) {
                const QString why = problem.left(1).toUpper() + problem.mid(1);
                if (writer->gaveUpWaiting()) {
                    // Another program is at the store: the choice stays on
                    // show for another Ok.
                    QMessageBox::warning(this, tr("Settings not saved"),
                                         tr("%1.\nPress Ok to try again, or Cancel.").arg(why));
                    return;
                }
                QMessageBox::warning(this, tr("Settings not saved"),
                                     tr("%1.\nThe choice applies to this session only.").arg(why));
            }
            applied = true;
            close();
        });
    }
    const StoredSettings::Choice choice { SelectedPort(), SelectedModel() };
    writer->save([choice] { return StoredSettings::whyNotSaved(StoredSettings::write(choice)); });
}

void Settings::on_cancelSettings_clicked()
{
    applied = false;
    close();
}
