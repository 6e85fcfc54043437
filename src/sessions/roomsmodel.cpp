#include "roomsmodel.h"

#include "family.h"
#include "projectorsession.h"
#include "projectortext.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QStyle>

namespace {

enum class Look { On, Off, Between, Contact, Away };

Look lookOf(const ProjectorState &state)
{
    if (!state.reachable)
        return Look::Away;
    switch (state.power) {
    case 0:
        return Look::Off;
    case 1:
        return Look::On;
    case 2:
    case 3:
        return Look::Between;
    }
    return Look::Contact;
}

// Shapes, not colour alone: a full disc for a lit lamp, a ring for one that
// is off, half a disc on the way between, the plug of the window's
// connection icon for no contact.
QIcon iconOf(Look look)
{
    static QIcon icons[5];
    QIcon &icon = icons[int(look)];
    if (!icon.isNull())
        return icon;
    if (look == Look::Away) {
        icon = QIcon(QStringLiteral(":/Vantrel/Resources/disconnect.png"));
        return icon;
    }
    if (look == Look::Contact) {
        icon = QIcon(QStringLiteral(":/Vantrel/Resources/connect.png"));
        return icon;
    }
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.5));
    const QRectF disc(2, 2, 12, 12);
    if (look == Look::On) {
        painter.setBrush(QColor(255, 220, 0));
        painter.drawEllipse(disc);
    } else if (look == Look::Off) {
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc);
    } else {
        painter.setBrush(QColor(200, 200, 0));
        painter.drawPie(disc, 90 * 16, 180 * 16);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(disc);
    }
    painter.end();
    icon = QIcon(pixmap);
    return icon;
}

} // namespace

RoomsModel::RoomsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    qRegisterMetaType<Notice>();
    currentTimer.setInterval(1000);
    connect(&currentTimer, &QTimer::timeout, this, &RoomsModel::syncCurrent);
    currentPoll.setInterval(pollMs);
    connect(&currentPoll, &QTimer::timeout, this, &RoomsModel::pollCurrent);
    lampLifeSettled.setSingleShot(true);
    lampLifeSettled.setInterval(LampLifeSettleMs);
    connect(&lampLifeSettled, &QTimer::timeout, this, [this] {
        rules.setLampLife(chosenLampLife);
        // A life that many lamps are past is one notice, not one per lamp.
        QList<Notice> notices;
        QSet<QString> projectors;
        for (std::size_t row = 0; row < rooms.size(); ++row) {
            for (const Notice &notice : rules.check(rooms[row].projector.name, stateAt(int(row)),
                                                    missedPollsAt(int(row)))) {
                notices.append(notice);
                projectors.insert(notice.projector);
            }
        }
        if (projectors.size() > 1)
            notices = { Notice {
                QString(), tr("%n projector(s) need attention", nullptr, int(projectors.size())),
                Notice::Fault::Summary, false, false } };
        tell(notices);
    });
    recheck.setInterval(pollMs);
    rules.setHold(qint64(HoldPolls) * pollMs);
    connect(&recheck, &QTimer::timeout, this, &RoomsModel::checkAll);
}

RoomsModel::~RoomsModel() = default;

void RoomsModel::setHost(const RoomsHost &given)
{
    host = given;
    currentTimer.start();
    currentPoll.start();
}

void RoomsModel::load(const QList<ProjectorList::Projector> &projectors)
{
    beginResetModel();
    rooms.clear();
    rules.startOpening(qint64(OpeningPolls) * pollMs);
    recheck.start();
    if (host.currentName) {
        currentTimer.start();
        currentPoll.start();
    }
    current = host.currentName ? host.currentName() : QString();
    for (const ProjectorList::Projector &projector : projectors) {
        rooms.push_back(Room { projector, nullptr, ProjectorState(), 0 });
        if (projector.name != current)
            startSession(rooms.back());
    }
    endResetModel();
    if (host.currentState)
        syncCurrent();
}

void RoomsModel::stop()
{
    recheck.stop();
    currentTimer.stop();
    currentPoll.stop();
    lampLifeSettled.stop();
    rules.setLampLife(chosenLampLife);
    for (Room &room : rooms)
        room.session.reset();
}

void RoomsModel::startSession(Room &room)
{
    room.session = std::make_unique<ProjectorSession>(room.projector);
    ProjectorSession *session = room.session.get();
    session->setPollInterval(pollMs);
    session->setDetailInterval(6 * pollMs);
    connect(session, &ProjectorSession::stateChanged, this,
            [this, session] { rowChanged(rowOf(session)); });
    connect(session, &ProjectorSession::commandFinished, this,
            [this, session](const QString &command, bool accepted, const QString &detail) {
                const QString name = session->projector().name;
                emit commandFinished(name,
                                     accepted ? tr("%1: done").arg(command)
                                              : tr("%1: %2").arg(command, detail));
            });
    session->start();
}

int RoomsModel::rowOf(const ProjectorSession *session) const
{
    for (std::size_t i = 0; i < rooms.size(); ++i) {
        if (rooms[i].session.get() == session)
            return int(i);
    }
    return -1;
}

void RoomsModel::rowChanged(int row)
{
    if (row < 0)
        return;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    const Room &room = rooms[std::size_t(row)];
    tell(rules.check(room.projector.name, stateAt(row), missedPollsAt(row)));
}

void RoomsModel::tell(const QList<Notice> &notices)
{
    for (const Notice &told : notices)
        emit notice(told);
}

void RoomsModel::setPollInterval(int ms)
{
    pollMs = qMax(1, ms);
    currentPoll.setInterval(pollMs);
    recheck.setInterval(pollMs);
    rules.setHold(qint64(HoldPolls) * pollMs);
    for (Room &room : rooms) {
        if (room.session) {
            room.session->setPollInterval(pollMs);
            room.session->setDetailInterval(6 * pollMs);
        }
    }
}

void RoomsModel::setLampLife(int hours)
{
    chosenLampLife = hours;
    if (rooms.empty())
        rules.setLampLife(hours);
    else
        lampLifeSettled.start();
}

void RoomsModel::checkAll()
{
    for (std::size_t row = 0; row < rooms.size(); ++row)
        tell(rules.check(rooms[row].projector.name, stateAt(int(row)), missedPollsAt(int(row))));
    tell(rules.takeSummary());
}

// The window may switch projectors by its own menu too: the one it took is
// let go here, the one it left is polled here from now on.
void RoomsModel::syncCurrent()
{
    current = host.currentName ? host.currentName() : QString();
    for (Room &room : rooms) {
        const int row = int(&room - rooms.data());
        if (room.projector.name == current && room.session) {
            room.session.reset();
            rowChanged(row);
        } else if (room.projector.name != current && !room.session) {
            room.windowMisses = 0;
            startSession(room);
            rowChanged(row);
        }
    }
    for (Room &room : rooms) {
        if (room.projector.name != current || !host.currentState)
            continue;
        const ProjectorState before = room.fromWindow;
        room.fromWindow = host.currentState();
        if (!room.fromWindow.lastAnswer.isValid())
            room.fromWindow.lastAnswer = before.lastAnswer;
        emit dataChanged(index(int(&room - rooms.data()), 0),
                         index(int(&room - rooms.data()), ColumnCount - 1));
    }
}

void RoomsModel::pollCurrent()
{
    for (Room &room : rooms) {
        if (room.projector.name != current || room.session)
            continue;
        room.windowMisses = room.fromWindow.reachable ? 0 : room.windowMisses + 1;
        rowChanged(int(&room - rooms.data()));
    }
}

int RoomsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rooms.size());
}

int RoomsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const ProjectorList::Projector &RoomsModel::projectorAt(int row) const
{
    return rooms.at(std::size_t(row)).projector;
}

ProjectorState RoomsModel::stateAt(int row) const
{
    const Room &room = rooms.at(std::size_t(row));
    return room.session ? room.session->state() : room.fromWindow;
}

bool RoomsModel::isCurrent(int row) const
{
    return !rooms.at(std::size_t(row)).session;
}

int RoomsModel::missedPollsAt(int row) const
{
    const Room &room = rooms.at(std::size_t(row));
    return room.session ? room.session->missedPolls() : room.windowMisses;
}

QVariant RoomsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const ProjectorList::Projector &projector = projectorAt(index.row());
    const ProjectorState state = stateAt(index.row());
    if (role == Qt::ToolTipRole) {
        QString tip = projector.name + QLatin1String(": ") + state.stateText();
        if (!state.healthText().isEmpty())
            tip += QLatin1String("\n") + tr("Health: %1").arg(state.healthText());
        if (!state.info.isEmpty())
            tip += QLatin1String("\n") + tr("Other info: %1").arg(state.info);
        return ProjectorText::toolTip(tip);
    }
    if (role == Qt::DecorationRole && index.column() == State)
        return iconOf(lookOf(state));
    // A warning sign or an error sign beside the parts in trouble.
    if (role == Qt::DecorationRole && index.column() == Health && state.worstHealth() > 0)
        return QApplication::style()->standardIcon(
            state.worstHealth() > 1 ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning);
    if (role == SortRole) {
        switch (index.column()) {
        case LampHours:
            return state.maxLampHours();
        case FilterHours:
            return state.filterHours ? *state.filterHours : -1;
        case LastAnswer:
            return state.lastAnswer.isValid() ? state.lastAnswer.toMSecsSinceEpoch() : 0;
        case Health:
            return state.worstHealth();
        default:
            return data(index, Qt::DisplayRole).toString().toLower();
        }
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Name:
        return projector.name;
    case Group:
        return projector.group;
    case Family:
        return Family::displayName(projector.model);
    case Address:
        return projector.port;
    case State:
        return state.stateText();
    case Input:
        return state.inputCaption;
    case LampHours:
        return state.lampHoursText();
    case FilterHours:
        return state.filterText();
    case Health:
        return state.healthText();
    case LastAnswer:
        return state.lastAnswer.isValid()
            ? state.lastAnswer.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            : QString();
    }
    return QVariant();
}

QVariant RoomsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return tr("Name");
    case Group:
        return tr("Group");
    case Family:
        return tr("Family");
    case Address:
        return tr("Address");
    case State:
        return tr("State");
    case Input:
        return tr("Input");
    case LampHours:
        return tr("Lamp hours");
    case FilterHours:
        return tr("Filter hours");
    case Health:
        return tr("Health");
    case LastAnswer:
        return tr("Last answer");
    }
    return QVariant();
}

void RoomsModel::power(const QList<int> &rows, bool on)
{
    for (const int row : rows) {
        Room &room = rooms.at(std::size_t(row));
        if (room.session && !room.session->power(on))
            emit commandFinished(
                room.projector.name,
                tr("%1 not sent: %2")
                    .arg(on ? tr("On") : tr("Off"), room.session->state().stateText()));
        else if (!room.session && host.power)
            host.power(on);
    }
}

void RoomsModel::selectInput(const QList<int> &rows, const QByteArray &input)
{
    for (const int row : rows) {
        Room &room = rooms.at(std::size_t(row));
        if (room.projector.model != PJLink::ModelIndex)
            continue;
        if (room.session)
            room.session->selectInput(input);
        else if (host.selectInput)
            host.selectInput(input);
    }
}

void RoomsModel::mute(const QList<int> &rows, PJLink::MuteTarget target, bool on)
{
    for (const int row : rows) {
        Room &room = rooms.at(std::size_t(row));
        if (room.projector.model != PJLink::ModelIndex)
            continue;
        if (room.session)
            room.session->mute(target, on);
        else if (host.mute)
            host.mute(target, on);
    }
}

void RoomsModel::open(int row)
{
    if (!host.open || row < 0 || row >= rowCount())
        return;
    Room &room = rooms.at(std::size_t(row));
    // Its line is let go before the window takes it.
    room.session.reset();
    host.open(room.projector.name);
    syncCurrent();
}
