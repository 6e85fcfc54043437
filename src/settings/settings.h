#pragma once

#include "ui_settings.h"

#include <QDialog>

// Picks the projector family and serial port, and is the only place that
// reads or writes them in the settings store.
class Settings : public QDialog
{
    Q_OBJECT

public:
    // Which ports to list: all the system has, or only the stored one, which
    // is all that applying the stored choice needs.
    enum Ports { AllPorts, StoredPort };

    explicit Settings(QWidget *parent = nullptr, Ports ports = AllPorts);
    ~Settings() override;

    QString SelectedPort() const;
    int SelectedModel() const;
    bool IsApplied() const;

private slots:
    void on_cancelSettings_clicked();
    void on_applySettings_clicked();

private:
    QString portAt(int index) const;

    Ui::SettingsClass ui;
    bool applied = false;
};
