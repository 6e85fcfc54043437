#pragma once

#include "noticerules.h"
#include "pjlink.h"
#include "projectorlist.h"
#include "projectorstate.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

#include <functional>
#include <memory>

class ProjectorSession;

// What the Rooms view needs of the window, for the projector the window
// drives itself: it is never opened twice, so its state comes from the
// window's own link and its commands go through the window.
struct RoomsHost
{
    std::function<QString()> currentName;
    std::function<ProjectorState()> currentState;
    // Makes that stored projector the window's current one.
    std::function<void(const QString &name)> open;
    std::function<void(bool on)> power;
    std::function<void(const QByteArray &input)> selectInput;
    std::function<void(PJLink::MuteTarget target, bool on)> mute;
};

// Every stored projector, one row each, with its state from its own session
// (or the window's, for the current one).
class RoomsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Name,
        Group,
        Family,
        Address,
        State,
        Input,
        LampHours,
        FilterHours,
        Health,
        LastAnswer,
        ColumnCount
    };
    // Numbers and times as numbers, for sorting.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit RoomsModel(QObject *parent = nullptr);
    ~RoomsModel() override;

    void setHost(const RoomsHost &host);
    // Rows for these projectors, each polled from now on. What they are
    // like in the first polls is told as one summary at most.
    void load(const QList<ProjectorList::Projector> &projectors);
    // Every session closed and every timer stopped, until load() again.
    void stop();
    bool isPolling() const { return recheck.isActive(); }
    // How many polls after load() the first state of every row is in.
    static constexpr int OpeningPolls = 4;
    // How many polls a change must hold before it is told.
    static constexpr int HoldPolls = 3;
    void setPollInterval(int ms);
    int pollInterval() const { return pollMs; }
    NoticeRules &noticeRules() { return rules; }
    // Lamp life in hours (0: no lamp notices). Every row is weighed against
    // it soon after the last change (a lamp that is off gains no hours, and
    // no change of its state would bring the notice), not at each step of
    // the spin box on the way there.
    void setLampLife(int hours);
    int lampLife() const { return chosenLampLife; }
    static constexpr int LampLifeSettleMs = 1500;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const ProjectorList::Projector &projectorAt(int row) const;
    ProjectorState stateAt(int row) const;
    bool isCurrent(int row) const;
    int missedPollsAt(int row) const;

    void power(const QList<int> &rows, bool on);
    void selectInput(const QList<int> &rows, const QByteArray &input);
    void mute(const QList<int> &rows, PJLink::MuteTarget target, bool on);
    // The window drives that projector from now on.
    void open(int row);

signals:
    // The state got worse, or is well again, as the notice rules tell it.
    void notice(const Notice &notice);
    void commandFinished(const QString &projector, const QString &text);

private:
    struct Room
    {
        ProjectorList::Projector projector;
        std::unique_ptr<ProjectorSession> session; // none for the window's current one
        ProjectorState fromWindow;
        int windowMisses = 0;
    };

    void startSession(Room &room);
    void syncCurrent();
    void pollCurrent();
    void rowChanged(int row);
    void checkAll();
    void tell(const QList<Notice> &notices);
    int rowOf(const ProjectorSession *session) const;

    std::vector<Room> rooms;
    RoomsHost host;
    QString current;
    int pollMs = 10000;
    QTimer currentTimer; // the window's state, read often: it costs nothing
    QTimer currentPoll; // its missed polls, counted at the poll interval
    QTimer lampLifeSettled;
    int chosenLampLife = 0;
    QTimer recheck; // a change told once it held, without another to bring it
    NoticeRules rules;
};
