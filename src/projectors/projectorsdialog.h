#pragma once

#include "projectorfinder.h"
#include "projectorlist.h"
#include "ui_projectorsdialog.h"

#include <QDialog>
#include <QList>

class StoreWriter;

// Edits the list of named projectors, each with its family and its serial
// port, network serial server or PJLink address, and is the only place in
// the window that writes them to the settings store. The projector shown
// when Ok is pressed becomes the window's current one. A store whose file
// does not parse is never written over: it is put right by hand.
class ProjectorsDialog : public QDialog
{
    Q_OBJECT

public:
    // current: the projector the window drives, shown first; empty for the
    // one the store names current.
    explicit ProjectorsDialog(QWidget *parent = nullptr, const QString &current = QString());
    ~ProjectorsDialog() override;

    QString SelectedPort() const;
    int SelectedModel() const;
    bool IsApplied() const;
    // The chosen projector's name; empty when the list is empty.
    QString SelectedName() const;
    // For a family that logs in; empty for none.
    QString SelectedPassword() const;
    // What the store's file made the list lack: "FILE:LINE: ..." when it
    // does not parse, the entries left unread.
    QString StoreDamage() const;
    QString StoreNote() const;

signals:
    // A search for the projector is about to open the listed ports; whoever
    // holds one of them should let go until the dialog is done.
    void SearchStarting();

private slots:
    void on_cancelSettings_clicked();
    void on_applySettings_clicked();
    void on_projector_comboBox_currentIndexChanged(int index);
    void on_addProjector_clicked();
    void on_removeProjector_clicked();
    void on_name_lineEdit_textEdited(const QString &text);
    void on_findProjector_clicked();
    void on_cancelFind_clicked();
    void OnPortProbed();
    void OnSearchFinished();
    void on_model_comboBox_currentIndexChanged(int index);

private:
    QString portAt(int index) const;
    QString currentPort() const;
    void showPorts(const QString &port);
    void showEntry(int index);
    void keepEntry();
    void showFamilyFields(int model);
    // The entries as Ok would store them; empty with a problem shown when
    // one cannot be stored.
    bool collect(ProjectorList *into);
    // Applies the dialog's own changes to now, the list as the store holds
    // it by then; what went wrong when one cannot be.
    QString merge(const ProjectorList &mine, ProjectorList *now) const;
    void ShowSearching(bool searching);
    void Saved(const QString &problem);

    Ui::ProjectorsDialog ui;
    bool applied = false;
    QStringList listed; // the system's ports
    QList<ProjectorList::Projector> entries;
    // The entries as the dialog found them, and where each entry came from
    // among them: -1 for one added here. Ok changes only what was changed
    // here, so that what others stored meanwhile stays.
    QList<ProjectorList::Projector> opened;
    QList<int> origins;
    QString storeDamage;
    QString storeNote;
    int shown = -1; // the entry the fields show
    bool showing = false; // the fields are being filled, not edited
    ProjectorFinder finder;
    StoreWriter *writer = nullptr;
    QString conflict; // why the last save was refused, for the box
};
