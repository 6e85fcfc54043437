#include "projectorsdialog.h"

#include "family.h"
#include "linkaddress.h"
#include "pjlink.h"
#include "portenumeration.h"
#include "portstatus.h"
#include "projectorlist.h"
#include "storedsettings.h"
#include "storewriter.h"

#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

ProjectorsDialog::ProjectorsDialog(QWidget *parent, const QString &current)
    : QDialog(parent)
{
    ui.setupUi(this);
    applied = false;

    const ProjectorList stored = ProjectorList::read();
    entries = stored.entries();
    opened = entries;
    for (int i = 0; i < entries.size(); ++i)
        origins.append(i);
    storeDamage = stored.damage();
    storeNote = stored.note();
    listed = PortEnumeration::availablePortNames();

    if (entries.isEmpty()) {
        // A first start: one projector to fill in, named after its port
        // unless the user names it. The family is what the store says, as
        // before there was a list.
        ProjectorList::Projector first;
        first.model = StoredSettings::read().model;
        entries.append(first);
        origins.append(-1);
    }
    showing = true;
    for (const ProjectorList::Projector &entry : entries)
        ui.projector_comboBox->addItem(entry.name);
    showing = false;
    const int driven = stored.indexOf(current);
    showEntry(driven >= 0 ? driven : qMax(0, stored.currentIndex()));
    // Said before anything is changed, and again before Ok replaces the file.
    if (!storeDamage.isEmpty() || !storeNote.isEmpty()) {
        ui.findStatus->setText(storeDamage.isEmpty() ? storeNote : storeDamage);
        ui.findStatus->setVisible(true);
    }

    connect(&finder, &ProjectorFinder::portDone, this, &ProjectorsDialog::OnPortProbed);
    connect(&finder, &ProjectorFinder::finished, this, &ProjectorsDialog::OnSearchFinished);
    // However the dialog ends, its search ends with it and frees the ports.
    connect(this, &QDialog::finished, &finder, &ProjectorFinder::cancel);
}

ProjectorsDialog::~ProjectorsDialog() = default;

QString ProjectorsDialog::SelectedPort() const
{
    if (shown < 0)
        return QString();
    if (ui.model_comboBox->currentIndex() == PJLink::ModelIndex)
        return ui.address_lineEdit->text().trimmed();
    return currentPort();
}

int ProjectorsDialog::SelectedModel() const
{
    return ui.model_comboBox->currentIndex();
}

QString ProjectorsDialog::SelectedPassword() const
{
    if (shown < 0 || ui.model_comboBox->currentIndex() != PJLink::ModelIndex)
        return QString();
    return ui.password_lineEdit->text();
}

bool ProjectorsDialog::IsApplied() const
{
    return applied;
}

QString ProjectorsDialog::SelectedName() const
{
    if (shown < 0)
        return QString();
    const QString name = ui.name_lineEdit->text();
    return name.isEmpty() ? ProjectorList::nameAfter(SelectedPort()) : name;
}

QString ProjectorsDialog::StoreDamage() const
{
    return storeDamage;
}

QString ProjectorsDialog::StoreNote() const
{
    return storeNote;
}

void ProjectorsDialog::on_applySettings_clicked()
{
    ProjectorList mine;
    if (!collect(&mine))
        return;
    if (!writer) {
        // Saved without waiting on this thread for another program's edit
        // of the store: the window's polls and log go on meanwhile.
        writer = new StoreWriter(this);
        connect(this, &QDialog::finished, writer, &StoreWriter::cancel);
        connect(writer, &StoreWriter::finished, this, &ProjectorsDialog::Saved);
    }
    writer->save([this, mine] {
        // Read, changed and written under the lock vantrelctl takes too.
        ProjectorList projectors = ProjectorList::read();
        conflict = merge(mine, &projectors);
        if (!conflict.isEmpty())
            return conflict;
        return StoredSettings::whyNotSaved(projectors.save());
    });
}

void ProjectorsDialog::Saved(const QString &problem)
{
    if (problem.isEmpty()) {
        applied = true;
        close();
        return;
    }
    // What was edited stays on show, for another Ok once the cause is gone.
    QMessageBox::warning(
        this, tr("Projectors not saved"),
        problem == conflict ? problem : tr("The projectors could not be saved: %1.").arg(problem));
}

void ProjectorsDialog::on_cancelSettings_clicked()
{
    applied = false;
    close();
}

void ProjectorsDialog::on_projector_comboBox_currentIndexChanged(int index)
{
    if (showing)
        return;
    keepEntry();
    showEntry(index);
}

void ProjectorsDialog::on_addProjector_clicked()
{
    keepEntry();
    ProjectorList::Projector added;
    // A name no other entry has, which the user is expected to change.
    for (int number = entries.size() + 1; added.name.isEmpty(); ++number) {
        const QString name = tr("projector %1").arg(number);
        if (std::none_of(entries.cbegin(), entries.cend(),
                         [&](const ProjectorList::Projector &p) { return p.name == name; }))
            added.name = name;
    }
    added.model = entries.isEmpty() ? 0 : entries.at(qMax(shown, 0)).model;
    entries.append(added);
    origins.append(-1);
    showing = true;
    ui.projector_comboBox->addItem(added.name);
    showing = false;
    ui.projector_comboBox->setCurrentIndex(entries.size() - 1);
    showEntry(entries.size() - 1);
    ui.name_lineEdit->setFocus();
    ui.name_lineEdit->selectAll();
}

void ProjectorsDialog::on_removeProjector_clicked()
{
    if (shown < 0)
        return;
    const int removed = shown;
    entries.removeAt(removed);
    origins.removeAt(removed);
    shown = -1;
    showing = true;
    ui.projector_comboBox->removeItem(removed);
    showing = false;
    showEntry(entries.isEmpty() ? -1 : qMin(removed, entries.size() - 1));
}

void ProjectorsDialog::on_model_comboBox_currentIndexChanged(int index)
{
    showFamilyFields(index);
}

// A PJLink projector is reached at an address and may want a password; the
// others at a serial port.
void ProjectorsDialog::showFamilyFields(int model)
{
    const bool network = model == PJLink::ModelIndex;
    ui.label->setVisible(!network);
    ui.port_comboBox->setVisible(!network);
    for (QWidget *field :
         { static_cast<QWidget *>(ui.address_label), static_cast<QWidget *>(ui.address_lineEdit),
           static_cast<QWidget *>(ui.password_label),
           static_cast<QWidget *>(ui.password_lineEdit) })
        field->setVisible(network);
}

void ProjectorsDialog::on_name_lineEdit_textEdited(const QString &text)
{
    if (shown >= 0)
        ui.projector_comboBox->setItemText(shown, text);
}

// The fields of entry index, or empty and disabled for none.
void ProjectorsDialog::showEntry(int index)
{
    shown = index;
    showing = true;
    const bool any = index >= 0;
    for (QWidget *field :
         { static_cast<QWidget *>(ui.name_lineEdit), static_cast<QWidget *>(ui.group_lineEdit),
           static_cast<QWidget *>(ui.model_comboBox), static_cast<QWidget *>(ui.port_comboBox),
           static_cast<QWidget *>(ui.address_lineEdit),
           static_cast<QWidget *>(ui.password_lineEdit),
           static_cast<QWidget *>(ui.removeProjector) })
        field->setEnabled(any);
    const ProjectorList::Projector entry = any ? entries.at(index) : ProjectorList::Projector();
    ui.projector_comboBox->setCurrentIndex(index);
    ui.name_lineEdit->setText(entry.name);
    ui.name_lineEdit->setPlaceholderText(any ? tr("named after its port") : QString());
    ui.group_lineEdit->setText(entry.group);
    // A stored number that names no family is taken as Acer throughout.
    ui.model_comboBox->setCurrentIndex(any ? Family::orDefault(entry.model) : -1);
    const bool network = entry.model == PJLink::ModelIndex;
    showPorts(network ? QString() : entry.port);
    ui.address_lineEdit->setText(network ? entry.port : QString());
    ui.password_lineEdit->setText(network ? entry.password : QString());
    showFamilyFields(ui.model_comboBox->currentIndex());
    showing = false;
}

void ProjectorsDialog::keepEntry()
{
    if (shown < 0 || shown >= entries.size())
        return;
    ProjectorList::Projector &entry = entries[shown];
    entry.name = ui.name_lineEdit->text();
    entry.group = ui.group_lineEdit->text();
    entry.model = ui.model_comboBox->currentIndex();
    if (entry.model == PJLink::ModelIndex) {
        entry.port = ui.address_lineEdit->text().trimmed();
        entry.password = ui.password_lineEdit->text();
    } else {
        // Only a projector that logs in keeps a password in the store.
        entry.port = currentPort();
        entry.password.clear();
    }
}

// The system's ports, and the entry's own when the system does not list it:
// a /dev/serial/by-id link, a network bridge's pseudo-terminal, a network
// serial server's address, or an adapter not plugged in yet. It stays chosen,
// marked when it is an absent device.
void ProjectorsDialog::showPorts(const QString &port)
{
    ui.port_comboBox->clear();
    for (const QString &name : listed)
        ui.port_comboBox->addItem(name);
    if (!port.isEmpty() && !listed.contains(port)) {
        if (LinkAddress::parse(port).isNetwork()
            || QFileInfo::exists(PortStatus::systemLocation(port)))
            ui.port_comboBox->addItem(port);
        else
            ui.port_comboBox->addItem(tr("%1 (not present)").arg(port), port);
    }
    for (int i = 0; i < ui.port_comboBox->count(); ++i) {
        if (portAt(i) == port) {
            ui.port_comboBox->setCurrentIndex(i);
            break;
        }
    }
}

// What the list offers, or what was typed over it: an address, a path.
QString ProjectorsDialog::currentPort() const
{
    const int index = ui.port_comboBox->currentIndex();
    const QString text = ui.port_comboBox->currentText();
    if (index >= 0 && text == ui.port_comboBox->itemText(index))
        return portAt(index);
    return text;
}

bool ProjectorsDialog::collect(ProjectorList *into)
{
    keepEntry();
    for (int i = 0; i < entries.size(); ++i) {
        ProjectorList::Projector entry = entries.at(i);
        if (entry.name.isEmpty())
            entry.name = ProjectorList::nameAfter(entry.port);
        QString problem = ProjectorList::nameProblem(entry.name);
        if (problem.isEmpty())
            problem = ProjectorList::groupProblem(entry.group);
        if (problem.isEmpty() && entry.model == PJLink::ModelIndex && !entry.port.isEmpty()) {
            const LinkAddress address = LinkAddress::parsePJLink(entry.port);
            if (!address.isValid())
                problem = tr("the address: %1").arg(address.error());
        }
        if (problem.isEmpty() && into->find(entry.name))
            problem = tr("two projectors are called \"%1\"").arg(entry.name);
        if (!problem.isEmpty()) {
            showEntry(i);
            QMessageBox::warning(this, tr("Projectors not saved"),
                                 tr("Projector \"%1\": %2.").arg(entry.name, problem));
            return false;
        }
        into->add(entry);
    }
    if (shown >= 0)
        into->setCurrent(into->entries().at(shown).name);
    return true;
}

QString ProjectorsDialog::merge(const ProjectorList &mine, ProjectorList *now) const
{
    using Projector = ProjectorList::Projector;
    const auto same = [](const Projector &a, const Projector &b) {
        return a.name == b.name && a.model == b.model && a.port == b.port
            && a.password == b.password && a.group == b.group;
    };
    // The stored list in its order, each entry the dialog knew replaced by
    // what became of it here; what others added stays as they stored it.
    QList<Projector> result;
    QList<bool> placed;
    for (int i = 0; i < mine.entries().size(); ++i)
        placed.append(false);
    for (const Projector &stored : now->entries()) {
        int known = -1;
        for (int k = 0; k < opened.size() && known < 0; ++k)
            known = opened.at(k).name == stored.name ? k : -1;
        const int here = known < 0 ? -1 : origins.indexOf(known);
        if (known >= 0 && (here < 0 || here >= mine.entries().size()))
            continue; // removed here
        if (known < 0) {
            result.append(stored);
            continue;
        }
        placed[here] = true;
        const Projector &entry = mine.entries().at(here);
        // Untouched here: as the store has it now.
        result.append(same(opened.at(known), entry) ? stored : entry);
    }
    for (int i = 0; i < mine.entries().size(); ++i) {
        const int origin = origins.value(i, -1);
        // Removed by another and untouched here, it stays removed; but the
        // projector Ok chooses is there for the window to drive.
        if (placed.at(i)
            || (origin >= 0 && same(opened.at(origin), mine.entries().at(i)) && i != shown))
            continue;
        result.append(mine.entries().at(i));
    }
    ProjectorList merged;
    for (const Projector &entry : result) {
        if (!merged.add(entry)) {
            const QString problem = merged.find(entry.name)
                ? tr("two projectors are called \"%1\"").arg(entry.name)
                : tr("the list holds %1 projectors, as many as it can")
                      .arg(merged.entries().size());
            return tr("Projector \"%1\": %2.").arg(entry.name, problem);
        }
    }
    if (shown >= 0)
        merged.setCurrent(mine.entries().at(shown).name);
    else if (const Projector *current = now->current())
        merged.setCurrent(current->name);
    *now = merged;
    return QString();
}

// The plain port name of an item, whatever the list shows for it.
QString ProjectorsDialog::portAt(int index) const
{
    const QVariant name = ui.port_comboBox->itemData(index);
    return name.isValid() ? name.toString() : ui.port_comboBox->itemText(index);
}

void ProjectorsDialog::on_findProjector_clicked()
{
    QStringList ports;
    for (int i = 0; i < ui.port_comboBox->count(); ++i)
        ports.append(portAt(i));
    emit SearchStarting();
    ui.findProgress->setRange(0, qMax(1, ports.size()));
    ui.findProgress->setValue(0);
    ui.findStatus->setText(tr("Searching %n port(s)...", nullptr, ports.size()));
    ShowSearching(true);
    finder.start(ports);
}

void ProjectorsDialog::on_cancelFind_clicked()
{
    finder.cancel();
    ShowSearching(false);
    ui.findStatus->setText(tr("Search cancelled."));
}

void ProjectorsDialog::OnPortProbed()
{
    ui.findProgress->setValue(finder.doneCount());
}

void ProjectorsDialog::OnSearchFinished()
{
    ShowSearching(false);
    using Result = ProjectorFinder::Result;
    QStringList lines;
    const Result *first = nullptr;
    for (const Result &result : finder.results()) {
        if (result.outcome == Result::Found) {
            lines.append(tr("Found %1 on %2.").arg(Family::displayName(result.model), result.port));
            if (!first)
                first = &result;
        } else if (result.outcome == Result::Unavailable) {
            lines.append(result.port + QLatin1String(": ") + result.reason);
        }
    }
    if (finder.results().isEmpty())
        lines.prepend(tr("No serial port to search."));
    else if (!first)
        lines.prepend(tr("No projector answered."));
    ui.findStatus->setText(lines.join(QLatin1Char('\n')));
    // The projector the fields show now takes what was found.
    if (!first || shown < 0)
        return;
    ui.model_comboBox->setCurrentIndex(first->model);
    // Another projector of the list may have been picked meanwhile, with
    // ports of its own in the list.
    int at = 0;
    while (at < ui.port_comboBox->count() && portAt(at) != first->port)
        ++at;
    if (at == ui.port_comboBox->count())
        ui.port_comboBox->addItem(first->port);
    ui.port_comboBox->setCurrentIndex(at);
}

void ProjectorsDialog::ShowSearching(bool searching)
{
    ui.findProjector->setEnabled(!searching);
    ui.findProgress->setVisible(searching);
    ui.cancelFind->setVisible(searching);
    ui.findStatus->setVisible(true);
}
