#pragma once

#include "ui_settings.h"

#include <QDialog>

// The projector family and the serial port, chosen by the user and kept in
// the store's "Model" and "ComPort". Named projectors have a dialog of their
// own.
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
    Ui::SettingsClass ui;
    bool applied;
};
