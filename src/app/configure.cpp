#include "vantrel.h"

#include "family.h"
#include "projectorlist.h"
#include "settings.h"
#include "storedsettings.h"

#include <QAction>
#include <QActionGroup>
#include <QFontMetrics>
#include <QLabel>

#include <utility>

void Vantrel::Configure(bool showDialog)
{
    Settings dialog(this, showDialog ? Settings::AllPorts : Settings::StoredPort);
    if (showDialog) {
        // The search opens every port it can, this window's own among them.
        connect(&dialog, &Settings::SearchStarting, this, [this] {
            serialPort.close();
            ForgetPendingReplies();
            portLent = true;
        });
        dialog.exec();
        const bool lent = std::exchange(portLent, false);
        if (!dialog.IsApplied()) {
            if (lent && !configuredPort.isEmpty())
                ReopenSerialPort();
            return;
        }
    }
    // The user has chosen again: a login the projector refused may be tried once more.
    if (showDialog)
        ProjectorLink::forgetRejectedLogins();
    ApplyChoice(dialog.SelectedModel(), dialog.SelectedPort(), dialog.SelectedPassword());
    ShowProjectors(dialog.SelectedName());
}

void Vantrel::ApplyChoice(int model, const QString &port, const QString &password)
{
    serialPort.close();
    ForgetPendingReplies();
    // A stored number that names no family is taken as Acer throughout.
    ModelIndex = Family::orDefault(model);
    ResetPJLink();
    serialPort.setPassword(ModelIndex == PJLink::ModelIndex ? password : QString());
    OpenSerialPort(port);

    ui.model_label->setText(Family::displayName(ModelIndex));
    ui.model_stackedWidget->setCurrentIndex(ModelIndex == Vivitek::ModelIndex      ? 1
                                                : ModelIndex == PJLink::ModelIndex ? 2
                                                                                   : 0);
    if (ModelIndex == Vivitek::ModelIndex)
        QueryVvtSettings();
}

// The Projector menu, the title and the status bar after the list or the
// current projector changed.
void Vantrel::ShowProjectors(const QString &current)
{
    currentProjector = current;
    const QString title = tr("Vantrel V 2.0");
    setWindowTitle(current.isEmpty() ? title : tr("%1 - %2").arg(title, current));
    // Shortened, so the port's state keeps the room; not at all when the
    // name is the port's, which the status line shows already.
    const QFontMetrics metrics = projectorName->fontMetrics();
    projectorName->setText(
        metrics.elidedText(current, Qt::ElideMiddle, 16 * metrics.averageCharWidth()));
    projectorName->setToolTip(projectorName->text() == current ? QString() : current);
    projectorName->setVisible(!current.isEmpty() && current != configuredPort);

    // The action that chose a projector is still delivering its signal.
    for (QAction *old : projectorActions->actions()) {
        projectorActions->removeAction(old);
        ui.menuProjector->removeAction(old);
        old->deleteLater();
    }
    const ProjectorList projectors = ProjectorList::read();
    for (const ProjectorList::Projector &projector : projectors.entries()) {
        QString text = QString(projector.name).replace(QLatin1Char('&'), QLatin1String("&&"));
        if (!projector.group.isEmpty())
            text += QLatin1String(" (")
                + QString(projector.group).replace(QLatin1Char('&'), QLatin1String("&&"))
                + QLatin1Char(')');
        QAction *action = ui.menuProjector->addAction(text);
        action->setData(projector.name);
        action->setCheckable(true);
        action->setChecked(projector.name == current);
        const int number = projectorActions->actions().size() + 1;
        if (number <= 9)
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg(number)));
        projectorActions->addAction(action);
    }
    if (projectors.isEmpty()) {
        QAction *none
            = ui.menuProjector->addAction(tr("No projectors: add one in File > Settings"));
        none->setEnabled(false);
        projectorActions->addAction(none);
    }
}

// Switching to another stored projector: it becomes the current one, for the
// next start too, and nothing known of the last one stays on show.
void Vantrel::OnProjectorChosen(QAction *action)
{
    const QString name = action->data().toString();
    ProjectorList projectors = ProjectorList::read();
    const ProjectorList::Projector *chosen = projectors.find(name);
    if (!chosen || name == currentProjector) {
        action->setChecked(name == currentProjector);
        return;
    }
    const ProjectorList::Projector projector = *chosen;
    projectors.setCurrent(name);
    const bool saved = projectors.write();
    projectorOn = false;
    contactCounter = 50;
    ShowTransition();
    ProjectorLink::forgetRejectedLogins();
    ApplyChoice(projector.model, projector.port, projector.password);
    ShowProjectors(name);
    if (!saved)
        Log(tr("The choice of %1 could not be saved in %2; it applies to this session only.\n")
                .arg(name, StoredSettings::location()));
}

void Vantrel::on_connectionStatus_clicked()
{
    Configure(true);
}

void Vantrel::on_actionSettings_triggered()
{
    Configure(true);
}
