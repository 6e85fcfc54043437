#include "roomswindow.h"

#include "inventory.h"
#include "projectorlist.h"
#include "storedsettings.h"
#include "storewriter.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProxyStyle>
#include <QSaveFile>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QTimer>

namespace {

const QString PollKey = QStringLiteral("Rooms/PollSeconds");
const QString LampLifeKey = QStringLiteral("Rooms/LampLifeHours");

// Some desktops activate an item on a single click: here a click selects,
// and only a double-click or Enter opens a projector in the window.
class DoubleClickActivates : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ItemView_ActivateItemOnSingleClick)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

RoomsWindow::RoomsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    ui.setupUi(this);
    rows.setSourceModel(&rooms);
    ui.table->setModel(&rows);
    ui.table->sortByColumn(RoomsModel::Name, Qt::AscendingOrder);
    ui.table->horizontalHeader()->setStretchLastSection(true);
    ui.table->verticalHeader()->hide();
    auto *style = new DoubleClickActivates;
    style->setParent(this);
    ui.table->setStyle(style);

    // The interval and the lamp life stay from one run to the next.
    {
        const auto store = StoredSettings::open();
        ui.pollSeconds->setValue(store->value(PollKey, ui.pollSeconds->value()).toInt());
        ui.lampLife->setValue(store->value(LampLifeKey, 0).toInt());
    }
    rooms.setPollInterval(ui.pollSeconds->value() * 1000);
    rooms.setLampLife(ui.lampLife->value());

    connect(ui.textFilter, &QLineEdit::textChanged, &rows, &RoomsFilter::setText);
    connect(ui.groupFilter, QOverload<int>::of(&QComboBox::activated), this,
            &RoomsWindow::chooseGroup);
    connect(ui.pollSeconds, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int seconds) {
        rooms.setPollInterval(seconds * 1000);
        remember(PollKey, seconds);
    });
    connect(ui.lampLife, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int hours) {
        rooms.setLampLife(hours);
        remember(LampLifeKey, hours);
    });
    connect(ui.table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RoomsWindow::selectionChanged);
    connect(ui.table, &QAbstractItemView::activated, this, &RoomsWindow::openRow);
    // Rows chosen before their projector listed its inputs get the list when
    // it comes; a list once offered is not rebuilt under the user's hand.
    connect(&rooms, &QAbstractItemModel::dataChanged, this, [this] {
        if (ui.input->isEnabled() && ui.input->count() <= 1)
            selectionChanged();
    });
    columnsGrow.setSingleShot(true);
    columnsGrow.setInterval(GrowColumnsAfterMs);
    connect(&columnsGrow, &QTimer::timeout, this, &RoomsWindow::growColumns);
    // At most once in the interval, however many rows change.
    connect(&rooms, &QAbstractItemModel::dataChanged, this, [this] {
        if (!columnsGrow.isActive())
            columnsGrow.start();
    });
    // Within a small screen, whatever the form's size.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(size().boundedTo(screen->availableGeometry().size()));
    connect(ui.powerOn, &QPushButton::clicked, this, [this] { rooms.power(selectedRows(), true); });
    connect(ui.powerOff, &QPushButton::clicked, this,
            [this] { rooms.power(selectedRows(), false); });
    connect(ui.input, QOverload<int>::of(&QComboBox::activated), this, &RoomsWindow::chooseInput);
    connect(ui.pictureMute, &QPushButton::clicked, this,
            [this] { rooms.mute(selectedRows(), PJLink::MuteTarget::Picture, true); });
    connect(ui.soundMute, &QPushButton::clicked, this,
            [this] { rooms.mute(selectedRows(), PJLink::MuteTarget::Sound, true); });
    connect(ui.unmute, &QPushButton::clicked, this,
            [this] { rooms.mute(selectedRows(), PJLink::MuteTarget::Both, false); });
    connect(ui.exportInventory, &QPushButton::clicked, this, &RoomsWindow::exportChosen);
    connect(&rooms, &RoomsModel::notice, &notifier, &DesktopNotifier::notify);
    connect(&rooms, &RoomsModel::commandFinished, this,
            [this](const QString &projector, const QString &text) {
                showMessage(tr("%1: %2").arg(projector, text));
            });
    selectionChanged();
}

void RoomsWindow::setHost(const RoomsHost &host)
{
    rooms.setHost(host);
}

void RoomsWindow::load()
{
    const ProjectorList projectors = ProjectorList::read();
    rooms.load(projectors.entries());
    QStringList groups;
    for (const ProjectorList::Projector &projector : projectors.entries()) {
        if (!projector.group.isEmpty() && !groups.contains(projector.group))
            groups.append(projector.group);
    }
    groups.sort();
    ui.groupFilter->clear();
    ui.groupFilter->addItem(tr("All groups"));
    for (const QString &group : groups)
        ui.groupFilter->addItem(group, group);
    rows.setGroup(QString());
    fitColumns();
}

int RoomsWindow::widestFor(int column) const
{
    if (column == RoomsModel::State)
        return QWIDGETSIZE_MAX;
    return column == RoomsModel::Health ? 2 * MaxColumnWidth : MaxColumnWidth;
}

void RoomsWindow::fitColumns()
{
    ui.table->resizeColumnsToContents();
    for (int column = 0; column < RoomsModel::ColumnCount; ++column) {
        if (ui.table->columnWidth(column) > widestFor(column))
            ui.table->setColumnWidth(column, widestFor(column));
    }
}

// As answers come in, a state, a health or a time longer than its column
// widens it, up to the column's limit.
void RoomsWindow::growColumns()
{
    QHeaderView *header = ui.table->horizontalHeader();
    // The table's measure of the rows in view, through the view's public face.
    const QAbstractItemView *view = ui.table;
    for (int column = 0; column < RoomsModel::ColumnCount; ++column) {
        if (header->isSectionHidden(column))
            continue;
        const int wanted
            = qMin(qMax(view->sizeHintForColumn(column), header->sectionSizeHint(column)),
                   widestFor(column));
        if (wanted > ui.table->columnWidth(column))
            ui.table->setColumnWidth(column, wanted);
    }
}

void RoomsWindow::closeEvent(QCloseEvent *event)
{
    rooms.stop();
    QWidget::closeEvent(event);
}

void RoomsWindow::chooseGroup(int index)
{
    rows.setGroup(index <= 0 ? QString() : ui.groupFilter->itemData(index).toString());
}

QList<int> RoomsWindow::selectedRows() const
{
    QList<int> chosen;
    for (const QModelIndex &index : ui.table->selectionModel()->selectedRows())
        chosen.append(rows.mapToSource(index).row());
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// The input list is the first selected PJLink projector's; mutes and inputs
// are for PJLink rows alone.
void RoomsWindow::selectionChanged()
{
    const QList<int> chosen = selectedRows();
    ui.powerOn->setEnabled(!chosen.isEmpty());
    ui.powerOff->setEnabled(!chosen.isEmpty());
    int pjlinkRow = -1;
    for (const int row : chosen) {
        if (pjlinkRow < 0 && rooms.projectorAt(row).model == PJLink::ModelIndex)
            pjlinkRow = row;
    }
    ui.input->clear();
    ui.input->addItem(tr("Input…"));
    if (pjlinkRow >= 0) {
        for (const ProjectorState::Input &input : rooms.stateAt(pjlinkRow).inputs)
            ui.input->addItem(input.caption, input.code);
    }
    for (QWidget *widget :
         { static_cast<QWidget *>(ui.input), static_cast<QWidget *>(ui.pictureMute),
           static_cast<QWidget *>(ui.soundMute), static_cast<QWidget *>(ui.unmute) })
        widget->setEnabled(pjlinkRow >= 0);
}

void RoomsWindow::chooseInput(int index)
{
    if (index <= 0)
        return;
    rooms.selectInput(selectedRows(), ui.input->itemData(index).toByteArray());
    ui.input->setCurrentIndex(0);
}

void RoomsWindow::openRow(const QModelIndex &index)
{
    if (index.isValid())
        rooms.open(rows.mapToSource(index).row());
}

void RoomsWindow::exportChosen()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Export inventory"),
                                                          QStringLiteral("inventory.csv"),
                                                          tr("CSV (*.csv);;JSON (*.json)"));
    if (!fileName.isEmpty())
        exportTo(fileName);
}

bool RoomsWindow::exportTo(const QString &fileName)
{
    QList<Inventory::Row> inventory;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const int row = rows.mapToSource(rows.index(i, 0)).row();
        const ProjectorList::Projector &projector = rooms.projectorAt(row);
        inventory.append({ projector.name, projector.group, projector.model, projector.port,
                           rooms.stateAt(row) });
    }
    const bool json = fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(json ? Inventory::json(inventory) : Inventory::csv(inventory)) < 0
        || !file.commit()) {
        showMessage(
            tr("The inventory could not be written to %1: %2").arg(fileName, file.errorString()));
        return false;
    }
    showMessage(tr("Inventory of %n projector(s) written to %1", nullptr, int(inventory.size()))
                    .arg(fileName));
    return true;
}

void RoomsWindow::remember(const QString &key, int value)
{
    // Never waits for the edit lock here: the view goes on polling while
    // vantrelctl edits the store. A value that cannot be saved yet is kept,
    // and saved with the next step.
    if (!writer) {
        writer = new StoreWriter(this);
        connect(writer, &StoreWriter::finished, this, [this](const QString &problem) {
            if (!problem.isEmpty())
                showMessage(tr("Not saved for the next start: %1").arg(problem));
        });
    }
    writer->setValues({ { key, value } });
}

void RoomsWindow::showMessage(const QString &text)
{
    ui.message->setText(text);
}
