#pragma once

#include "desktopnotifier.h"
#include "roomsfilter.h"
#include "roomsmodel.h"
#include "ui_roomswindow.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class StoreWriter;

// Every stored projector at a glance. The window wires the form to the
// model; what a row says and what a command does are the model's.
class RoomsWindow : public QWidget
{
    Q_OBJECT

public:
    // No column but the state and the health grows wider than this: a long
    // port path is elided in its middle, and the health and last answer stay
    // in sight. The health, a list of parts in trouble, may take twice this.
    static constexpr int MaxColumnWidth = 200;
    // Columns grow to what they show this long after a change.
    static constexpr int GrowColumnsAfterMs = 500;

    explicit RoomsWindow(QWidget *parent = nullptr);

    // Before load(): the window that drives the current projector.
    void setHost(const RoomsHost &host);
    // The stored projectors, read again.
    void load();
    RoomsModel &model() { return rooms; }
    RoomsFilter &filter() { return rows; }
    // The rows of the model that are selected.
    QList<int> selectedRows() const;
    // Writes the inventory of the rows shown, CSV or by a .json name JSON;
    // false, with the reason shown, when the file cannot be written.
    bool exportTo(const QString &fileName);

protected:
    // Closing the view ends its polling and its notices; opening it again
    // loads the list anew.
    void closeEvent(QCloseEvent *event) override;

private:
    void fitColumns();
    // Wider where the text grew; never narrower than the user made a column.
    void growColumns();
    int widestFor(int column) const;
    void chooseGroup(int index);
    void selectionChanged();
    void chooseInput(int index);
    void openRow(const QModelIndex &index);
    void exportChosen();
    void showMessage(const QString &text);
    void remember(const QString &key, int value);

    Ui::RoomsWindow ui;
    RoomsModel rooms;
    RoomsFilter rows;
    DesktopNotifier notifier;
    StoreWriter *writer = nullptr; // made at the first value to remember
    QTimer columnsGrow;
};
