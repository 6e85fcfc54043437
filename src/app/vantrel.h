#pragma once

#include "acer.h"
#include "lampcolours.h"
#include "pjlinkpage.h"
#include "pollclock.h"
#include "portstatus.h"
#include "projectorlink.h"
#include "ui_vantrel.h"
#include "vivitek.h"
#include "vivitekmatcher.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>

class QAction;
class QActionGroup;
class QCloseEvent;
class QKeyEvent;
class ElidingLabel;
class StoreWatcher;
class RoomsWindow;
class ProjectorList;

// The remote control window. Every user action and the 100 ms tick arrive as
// one of its slots; the protocol itself lives in the pure helpers beside it.
class Vantrel : public QMainWindow
{
    Q_OBJECT

public:
    explicit Vantrel(QWidget *parent = nullptr);
    ~Vantrel() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    // The order is the meta-object's slot order; keep it.
    void on_info_clicked();
    void on_connectionStatus_clicked();
    void on_clearLog_clicked();
    void on_freeze_clicked();
    void on_company_clicked();
    void on_compositeVideo_clicked();
    void on_searchVideo_clicked();
    void on_zoom_clicked();
    void on_colorTemperature_clicked();
    void on_hdmi_clicked();
    void on_dvi_clicked();
    void on_sVideo_clicked();
    void on_analogRGB_clicked();
    void on_eKey_clicked();
    void on_color_clicked();
    void on_contrast_clicked();
    void on_brightness_clicked();
    void on_aspect16_9_clicked();
    void on_aspect4_3_clicked();
    void on_resolution_clicked();
    void on_keystoneDown_clicked();
    void on_keystoneUpp_clicked();
    void on_hide_clicked();
    void on_keystone_clicked();
    void on_powerOff_clicked();
    void on_ok_clicked();
    void on_left_clicked();
    void on_down_clicked();
    void on_right_clicked();
    void on_up_clicked();
    void on_menu_clicked();
    void on_queryModel_clicked();
    void on_queryLampTime_clicked();
    void on_powerOn_clicked();
    void OnTimer();
    void OnAbout();
    void on_actionSettings_triggered();
    void on_actionFileExit_triggered();
    void on_vvtPowerOn_clicked();
    void on_vvtPowerOff_clicked();
    void on_vvtLampTime_clicked();
    void on_vvtFirmware_clicked();
    void on_vvtKeyStoneUp_clicked();
    void on_vvtKeyStoneDown_clicked();
    void on_vvtPModeFront_clicked();
    void on_vvtPModeRear_clicked();
    void on_vvtPModeCeiling_clicked();
    void on_vvtPModeRearCeiling_clicked();
    void on_vvtVideoSourceCbx_activated(int index);
    void on_vvtDisplayModeCbx_activated(int index);
    void on_vvtUnBlank_clicked();
    void on_vvtBlank_clicked();
    void on_vvtLogoSelectCbx_activated(int index);
    void on_vvtAspect4_3_clicked();
    void on_vvtAspect16_9_clicked();
    void on_vvtLampModeCbx_activated(int index);
    void on_vvtColorTempCbx_activated(int index);
    // No widget carries these names, so connectSlotsByName leaves them unconnected.
    void on_vvtBrightnessUp_clicked();
    void on_vvtBrightnessDown_clicked();

private:
    // Application shell
    void Configure(bool showDialog);
    // The program's own menu: not slots, so the slot table stays as it is.
    void SaveLog();
    void OnProjectorChosen(QAction *action);
    // Every stored projector at a glance; this one's state from this window.
    void OpenRooms();
    void ApplyChoice(int model, const QString &port, const QString &password);
    void ShowProjectors(const QString &current);
    void ReloadProjectors();
    void WatchStore();
    void ShowStoreProblem(const QString &problem);
    bool ShowsWhereConnected(const ProjectorList &projectors) const;
    void EditProjectors();

    // Projector link
    bool OpenSerialPort(const QString &portName);
    void SendCommand(const char *command, int length);
    void SendCommand(const char *command);
    void SendCommand(const QByteArray &command);
    int ReadSerial(char *buffer, int maxSize);
    void DrainReplies();
    void ReadArrivedInput();
    void TakeInput(const QByteArray &input);
    void DispatchReply(const QString &reply);
    void Log(const QString &text);
    void WatchForLostDevice();
    void CloseLostPort();
    void ReopenSerialPort();
    bool ReopensByItself() const;
    void ShowPortOpened();
    void ShowPortFailed(PortStatus::Problem problem, const QString &detail);
    QString PortStatusText(PortStatus::Problem problem, const QString &detail = QString()) const;
    bool ShowPortStatus(PortStatus::Problem problem, const QString &text);
    void ShowContact();
    void ShowNoContact();

    // Command sets
    void PowerOn();
    void ConfirmPowerOff();
    void SendPowerOff();
    void ShowTransition();
    void ShowLampState(LampColours::State state);
    void ShowLampOff();
    void ShowLampOn();
    void ShowLamp(LampColours::State state, const QString &toolTip);
    void SendAcerButton(Acer::Button button);
    void HandleAcerReply(const QString &reply);
    void SendVvtValue(const char *prefix, int value);
    void SendVvtListChoice(Vivitek::List list, int index);
    void QueryVvtSettings();
    void HandleVvtReply(const QString &reply);
    void ForgetPendingReplies();

    QTimer pollTimer;
    // The projector's line: a serial port or a network serial server.
    ProjectorLink serialPort;
    QString replyBuffer;
    int contactCounter = 50;
    Ui::VantrelClass ui;
    bool projectorOn = false;
    bool vvtRequeryPending = false;
    int pendingHeight = 0;
    int ModelIndex = 0;
    QString lastCommand;
    std::int8_t vvtKeystone = 0;
    std::uint8_t vvtBrightness = 0;
    QStringList pendingQueries;

    // Per window rather than function statics, so a second window (or a test)
    // starts its own schedule.
    PollClock pollClock;
    qint64 tickCount = 0; // the clock of reply matching
    bool replyLineEnded = false; // the last byte ended a reply with CR: a LF may follow
    bool draining = false; // a box opened by a reply handler runs ticks of its own
    qint64 droppedInput = 0; // bytes of a flood dropped and not reported yet
    qint64 lastDropTick = 0;
    qint64 readSinceTick = 0; // read as it arrived since the last tick
    // Vivitek replies belong to the oldest command still waiting for one; a
    // command unanswered for as long as contact lasts is given up.
    VivitekMatcher vvtMatcher { 50 };
    int vvtLampModeIndex = 0; // the lamp-mode entry the projector last reported or took
    bool reopening = false; // the port is tried again, quietly
    bool openingInline = false; // a serial port opens within OpenSerialPort
    // The port Configure chose: while it is not open it is tried again at
    // every poll when the user chose so (ReopensByItself), so a projector
    // that comes back needs nobody at the keyboard.
    QString configuredPort;
    bool portLent = false; // the settings dialog's search has the port for now
    PortStatus::Problem portProblem = PortStatus::Problem::NoPortChosen;
    ElidingLabel *portStatus = nullptr; // the state of the port, in the status bar
    bool writeErrorShown = false;
    // The stored projectors in the Projector menu, the current one checked.
    QActionGroup *projectorActions = nullptr;
    QLabel *projectorName = nullptr; // the current one, in the status bar
    QString currentProjector;
    // The store, edited by vantrelctl or by hand meanwhile: the list is
    // read again, and a projector removed there is driven no more. Made
    // once a projector of the stored list is driven (WatchStore).
    std::unique_ptr<StoreWatcher> storeWatcher;
    bool configuring = false; // the settings dialog is open
    // The PJLink page and its session with the projector, over serialPort.
    std::unique_ptr<PJLinkPage> pjlinkPage;
    RoomsWindow *rooms = nullptr; // made when first opened

    // The tests' (and the fuzzer's) window into the state above.
    friend class VantrelProbe;
};
