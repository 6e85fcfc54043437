#include "vantrel.h"

#include "elidinglabel.h"
#include "family.h"
#include "linkaddress.h"
#include "projectorlist.h"
#include "projectorsdialog.h"
#include "projectortext.h"
#include "settings.h"
#include "storedsettings.h"
#include "storewatcher.h"
#include "storewriter.h"

#include <QAction>
#include <QActionGroup>
#include <QFontMetrics>
#include <QLabel>
#include <QSettings>

#include <utility>

void Vantrel::Configure(bool showDialog)
{
    if (!showDialog) {
        // A named projector chosen last, from the program's own menu or
        // dialog, is the one to drive; otherwise the stored port and family.
        const ProjectorList projectors = ProjectorList::read();
        if (!projectors.damage().isEmpty())
            ShowStoreProblem(tr("%1. The settings file is left as it is until it is put right "
                                "by hand.")
                                 .arg(projectors.damage()));
        ShowStoreProblem(projectors.note());
        if (projectors.isChosen()) {
            const ProjectorList::Projector &named = *projectors.current();
            ApplyChoice(Family::orDefault(named.model), named.port, named.password);
            ShowProjectors(named.name);
            return;
        }
    }
    Settings dialog(this, showDialog ? Settings::AllPorts : Settings::StoredPort);
    if (showDialog) {
        dialog.exec();
        if (!dialog.IsApplied())
            return;
    }
    ApplyChoice(dialog.SelectedModel(), dialog.SelectedPort(), QString());
    ShowProjectors(QString());
}

// The program's own list of named projectors; the one shown at Ok becomes
// the one driven, as when it is chosen from the menu.
void Vantrel::EditProjectors()
{
    ProjectorsDialog dialog(this, currentProjector);
    // The search opens every port it can, this window's own among them.
    connect(&dialog, &ProjectorsDialog::SearchStarting, this, [this] {
        serialPort.close();
        ForgetPendingReplies();
        portLent = true;
    });
    configuring = true;
    dialog.exec();
    configuring = false;
    const bool lent = std::exchange(portLent, false);
    if (!dialog.IsApplied() || dialog.SelectedName().isEmpty()) {
        if (lent && !configuredPort.isEmpty())
            ReopenSerialPort();
        // What vantrelctl changed while the dialog was open.
        ReloadProjectors();
        return;
    }
    const int model = Family::orDefault(dialog.SelectedModel());
    if (dialog.SelectedName() != currentProjector || dialog.SelectedPort() != configuredPort
        || model != ModelIndex) {
        // Nothing known of the last one stays on show.
        projectorOn = false;
        contactCounter = 50;
        ShowTransition();
    }
    // The user has chosen again: a login the projector refused may be tried once more.
    ProjectorLink::forgetRejectedLogins();
    ApplyChoice(model, dialog.SelectedPort(), dialog.SelectedPassword());
    ShowProjectors(dialog.SelectedName());
}

void Vantrel::ApplyChoice(int model, const QString &port, const QString &password)
{
    serialPort.close();
    ForgetPendingReplies();
    // Unchecked, as the Settings dialog gives it: -1 when the stored number
    // names no family and none was chosen, which shows as "???".
    ModelIndex = model;
    pjlinkPage->reset(ModelIndex == PJLink::ModelIndex);
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
    const ProjectorList projectors = ProjectorList::read();
    // A serial port chosen in Settings shows the title and the empty status
    // bar the window always had; a named projector, a network address and
    // PJLink say there what the window drives, and how its line is.
    const bool saysWhere = ShowsWhereConnected(projectors);
    const QString title = tr("Vantrel V 2.0");
    setWindowTitle(current.isEmpty() || !saysWhere ? title : tr("%1 - %2").arg(title, current));
    portStatus->setVisible(saysWhere);
    // Shortened, so the port's state keeps the room; not at all when the
    // name is the port's, which the status line shows already.
    const QFontMetrics metrics = projectorName->fontMetrics();
    projectorName->setText(
        metrics.elidedText(current, Qt::ElideMiddle, 16 * metrics.averageCharWidth()));
    projectorName->setToolTip(projectorName->text() == current ? QString()
                                                               : ProjectorText::toolTip(current));
    projectorName->setVisible(saysWhere && !current.isEmpty() && current != configuredPort);

    // The action that chose a projector is still delivering its signal.
    for (QAction *old : projectorActions->actions()) {
        projectorActions->removeAction(old);
        ui.menuProjector->removeAction(old);
        old->deleteLater();
    }
    // The list goes above the menu's other entries.
    QAction *listEnd = nullptr;
    for (QAction *action : ui.menuProjector->actions()) {
        if (action->isSeparator()) {
            listEnd = action;
            break;
        }
    }
    for (const ProjectorList::Projector &projector : projectors.entries()) {
        QString text = QString(projector.name).replace(QLatin1Char('&'), QLatin1String("&&"));
        if (!projector.group.isEmpty())
            text += QLatin1String(" (")
                + QString(projector.group).replace(QLatin1Char('&'), QLatin1String("&&"))
                + QLatin1Char(')');
        auto *action = new QAction(text, ui.menuProjector);
        ui.menuProjector->insertAction(listEnd, action);
        action->setData(projector.name);
        action->setCheckable(true);
        action->setChecked(projector.name == current);
        const int number = projectorActions->actions().size() + 1;
        if (number <= 9)
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg(number)));
        projectorActions->addAction(action);
    }
    if (projectors.isEmpty()) {
        auto *none = new QAction(tr("No projectors: add one in Projectors…"), ui.menuProjector);
        ui.menuProjector->insertAction(listEnd, none);
        none->setEnabled(false);
        projectorActions->addAction(none);
    }
    WatchStore();
}

// Switching to another stored projector: it becomes the current one, for the
// next start too, and nothing known of the last one stays on show.
void Vantrel::OnProjectorChosen(QAction *action)
{
    const QString name = action->data().toString();
    const ProjectorList projectors = ProjectorList::read();
    const ProjectorList::Projector *chosen = projectors.find(name);
    if (!chosen || name == currentProjector) {
        action->setChecked(name == currentProjector);
        return;
    }
    const ProjectorList::Projector projector = *chosen;
    projectorOn = false;
    contactCounter = 50;
    ShowTransition();
    ProjectorLink::forgetRejectedLogins();
    ApplyChoice(Family::orDefault(projector.model), projector.port, projector.password);
    ShowProjectors(name);
    if (!projectors.damage().isEmpty())
        ShowStoreProblem(projectors.damage());
    // Saved without waiting here for another program's edit of the store; a
    // file that does not parse is not written over.
    auto *writer = findChild<StoreWriter *>(QString(), Qt::FindDirectChildrenOnly);
    if (!writer) {
        writer = new StoreWriter(this);
        connect(writer, &StoreWriter::finished, writer, [this](const QString &problem) {
            if (!problem.isEmpty())
                Log(tr("The choice of %1 could not be saved in %2; it applies to this session "
                       "only.\n")
                        .arg(currentProjector, StoredSettings::location()));
        });
    }
    writer->save([name] {
        // Read, changed and written under the lock vantrelctl takes too.
        ProjectorList stored = ProjectorList::read();
        if (!stored.find(name))
            return QStringLiteral("%1 is no longer stored").arg(name);
        stored.setCurrent(name);
        return StoredSettings::whyNotSaved(stored.save());
    });
}

namespace {

// A store of the two keys alone, or what is left of a list cut short, names
// no projector of its own.
bool holdsNamedList()
{
    return StoredSettings::open()->contains(QStringLiteral("Projectors/size"));
}

} // namespace

// Followed only while a projector of the stored list is driven: a store of
// the two keys alone is read at the start and after Ok, and nowhere else.
void Vantrel::WatchStore()
{
    if (storeWatcher || currentProjector.isEmpty() || !holdsNamedList())
        return;
    // Not a child of the window, and no slot of its own: the slot table stays as described.
    storeWatcher = std::make_unique<StoreWatcher>();
    connect(storeWatcher.get(), &StoreWatcher::changed, this, [this] { ReloadProjectors(); });
}

// The store changed on disk: the menu shows its list, and the projector
// driven now, when removed or changed there, gives way to what the store
// names current. A read that holds no list, or does not parse, changes
// nothing; what the lamp last reported stays as it was.
void Vantrel::ReloadProjectors()
{
    // The dialog's Ok applies its changes to the store as it is by then.
    if (configuring || !storeWatcher)
        return;
    const ProjectorList projectors = ProjectorList::read();
    if (!projectors.damage().isEmpty()) {
        ShowStoreProblem(projectors.damage());
        return;
    }
    if (projectors.isEmpty() || !holdsNamedList())
        return;
    ShowStoreProblem(projectors.note());
    // The port and family chosen in Settings are read by Configure alone: a
    // store changed on disk is followed for a named projector only.
    if (currentProjector.isEmpty()) {
        ShowProjectors(currentProjector);
        return;
    }
    const ProjectorList::Projector *driven = projectors.find(currentProjector);
    // A projector the list never held (a first start's port) is not taken away.
    bool listed = false;
    for (const QAction *action : projectorActions->actions())
        listed = listed
            || (!currentProjector.isEmpty() && action->data().toString() == currentProjector);
    const bool unchanged = driven
        ? driven->port == configuredPort && Family::orDefault(driven->model) == ModelIndex
        : !listed && (!currentProjector.isEmpty() || !projectors.current());
    if (unchanged) {
        ShowProjectors(currentProjector);
        return;
    }
    const ProjectorList::Projector next = driven ? *driven : *projectors.current();
    Log(driven ? tr("%1 was changed in the settings file.\n").arg(next.name)
               : tr("%1 was removed from the settings file; %2 takes its place.\n")
                     .arg(currentProjector, next.name));
    contactCounter = 50;
    ShowTransition();
    ProjectorLink::forgetRejectedLogins();
    ApplyChoice(Family::orDefault(next.model), next.port, next.password);
    ShowProjectors(next.name);
}

// What the store's file made the list lack, where the user looks: the
// status bar, and the log that keeps it.
void Vantrel::ShowStoreProblem(const QString &problem)
{
    if (problem.isEmpty())
        return;
    Log(problem + QLatin1Char('\n'));
    if (ShowsWhereConnected(ProjectorList::read()))
        ui.statusBar->showMessage(problem);
}

bool Vantrel::ShowsWhereConnected(const ProjectorList &projectors) const
{
    return projectors.isListed() || Family::isNetwork(ModelIndex)
        || LinkAddress::parse(configuredPort).isNetwork();
}

void Vantrel::on_connectionStatus_clicked()
{
    Configure(true);
}

void Vantrel::on_actionSettings_triggered()
{
    Configure(true);
}
