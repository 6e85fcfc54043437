#include "vantrel.h"

#include "family.h"
#include "settings.h"

void Vantrel::Configure(bool showDialog)
{
    Settings dialog(this, showDialog ? Settings::AllPorts : Settings::StoredPort);
    if (showDialog) {
        dialog.exec();
        if (!dialog.IsApplied())
            return;
    }
    serialPort.close();
    ForgetPendingReplies();
    // A stored number that names no family is taken as Acer throughout.
    ModelIndex = Family::orDefault(dialog.SelectedModel());
    OpenSerialPort(dialog.SelectedPort());

    ui.model_label->setText(Family::displayName(ModelIndex));
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
