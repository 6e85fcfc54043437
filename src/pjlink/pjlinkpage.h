#pragma once

#include "lampcolours.h"
#include "pjlinkclient.h"
#include "ui_vantrel.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

class ProjectorLink;

// What the PJLink page needs of the window it sits in: the window's clock,
// its log pane and status bar, and the contact supervision and power boxes
// that every family shares.
struct PJLinkPageHost
{
    std::function<qint64()> now; // ms on the window's tick clock
    std::function<void(const QString &text)> log; // a log line, "\n" included
    // A status-bar message; 0 ms keeps it until the next one.
    std::function<void(const QString &text, int timeoutMs)> showMessage;
    // A complete line came in: true if it brought contact back.
    std::function<bool()> answered;
    std::function<bool()> inContact;
    std::function<void()> showContact; // the connection icon
    std::function<void()> showTransition;
    // on: the projector counts as on, for the close confirmation.
    std::function<void(LampColours::State state, const QString &toolTip, bool on)> showLamp;
    // The power buttons go the way every family's power buttons go.
    std::function<void()> powerOn;
    std::function<void()> powerOff; // after the user's confirmation
};

// The PJLink control page: the session with the projector over the window's
// link (the link logs in; the client sees only commands and answers), what
// goes out when, and the page's widgets of the window's form, whose clicks
// it takes itself. The window passes it the link's input and its ticks.
class PJLinkPage : public QObject
{
    Q_OBJECT

public:
    PJLinkPage(Ui::VantrelClass &form, ProjectorLink &link, PJLinkPageHost host,
               QObject *parent = nullptr);

    // A new projector or new settings: nothing known of the last one stays.
    // Only an active page sends anything.
    void reset(bool active);

    // The link has greeted and logged in.
    void opened();
    void disconnected();
    void receive(const QByteArray &bytes);
    // Input was dropped unread: the answer it cut is not read.
    void inputDropped();
    // A tick of the window's; poll: the one that polls.
    void tick(bool poll);
    // Until what waits has gone out and been answered, for as long as one
    // answer may take at most: the window is closing.
    void finish();

    // The user's command, as the page's controls and the Rooms view send it.
    void send(const PJLink::Command &command);
    void chooseInput(int index);
    void setPictureMute(bool on);
    void setSoundMute(bool on);
    void setFrozen(bool on);
    void volumeUp();
    void volumeDown();

    // The power boxes as the projector's answer "POWR=power" shows them.
    void showLamp(int power);

    const PJLinkClient &client() const { return pjlink; }
    const PJLinkState &state() const { return pjlink.state(); }

private:
    void flush();
    void handle(const QList<PJLinkClient::Notice> &notices);
    void showContact();
    void showState();
    bool debugging() const;

    Ui::VantrelClass &ui;
    ProjectorLink &link;
    PJLinkPageHost host;
    bool active = false;
    PJLinkClient pjlink;
    QMap<QByteArray, int> refusals; // the last error logged for each query
};
