#include "vantrel.h"

#include "infocus.h"
#include "settings.h"

void Vantrel::Configure(bool showDialog)
{
    Settings dialog(this);
    if (showDialog) {
        dialog.exec();
        if (!dialog.IsApplied())
            return;
    }
    serialPort.close();
    ModelIndex = dialog.SelectedModel();
    OpenSerialPort(dialog.SelectedPort());

    switch (ModelIndex) {
    case Acer::ModelIndex:
        ui.model_label->setText(QStringLiteral("Acer"));
        break;
    case Vivitek::ModelIndex:
        ui.model_label->setText(QStringLiteral("Vivitek"));
        break;
    case InFocus::ModelIndex:
        ui.model_label->setText(QStringLiteral("InFocus"));
        break;
    default:
        ui.model_label->setText(QStringLiteral("???"));
        break;
    }
    ui.model_stackedWidget->setCurrentIndex(ModelIndex == Vivitek::ModelIndex ? 1 : 0);
    if (ModelIndex == Vivitek::ModelIndex)
        QueryVvtSettings();
}

void Vantrel::on_connectionStatus_clicked()
{
    Configure(true);
}

void Vantrel::on_actionSettings_triggered()
{
    Configure(true);
}
