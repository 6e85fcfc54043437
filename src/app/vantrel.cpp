#include "vantrel.h"

#include "elidinglabel.h"
#include "framing.h"
#include "languagemenu.h"
#include "roomswindow.h"
#include "storewatcher.h"
#include "trafficlog.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>

Vantrel::Vantrel(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    ModelIndex = 0;
    vvtKeystone = 0;
    vvtBrightness = 0;
    vvtRequeryPending = false;
    setWindowTitle(tr("Vantrel V 2.0"));
    connect(ui.actionAbout, SIGNAL(triggered()), this, SLOT(OnAbout()));
    // The program's own menu: not slots of the window's, whose slots are the
    // ones it was built with, and connected to the menu's own objects.
    connect(ui.actionRooms, &QAction::triggered, ui.actionRooms, [this] { OpenRooms(); });
    connect(ui.actionProjectors, &QAction::triggered, ui.actionProjectors,
            [this] { EditProjectors(); });
    connect(ui.actionSaveLog, &QAction::triggered, ui.actionSaveLog, [this] { SaveLog(); });
    ui.menuProjector->addMenu(new LanguageMenu(ui.statusBar, ui.menuProjector));
    contactCounter = 50;
    ShowTransition(); // the boxes' words, as their colour, before anything is known
    projectorOn = false;
    pendingHeight = 0;
    // The pane is read-only: an undo history would only keep every line ever logged.
    ui.textEdit->document()->setUndoRedoEnabled(false);
    portStatus = new ElidingLabel(ui.statusBar);
    ui.statusBar->addWidget(portStatus, 1);
    portStatus->hide(); // until what the window drives is known
    projectorName = new QLabel(ui.statusBar);
    projectorName->setTextFormat(Qt::PlainText);
    ui.statusBar->addPermanentWidget(projectorName);
    projectorActions = new QActionGroup(this);
    connect(projectorActions, &QActionGroup::triggered, projectorActions,
            [this](QAction *action) { OnProjectorChosen(action); });
    serialPort.setReadBufferSize(Framing::PortReadBuffer);
    PJLinkPageHost host;
    // The window's ticks, so that a test drives the session's clock too.
    host.now = [this] { return tickCount * 100; };
    host.log = [this](const QString &text) { Log(text); };
    host.showMessage = [this](const QString &text, int timeoutMs) {
        ui.statusBar->showMessage(text, timeoutMs);
    };
    host.answered = [this] {
        const bool regained = contactCounter > 49;
        contactCounter = 0;
        return regained;
    };
    host.inContact = [this] { return contactCounter <= 49; };
    host.showContact = [this] { ShowContact(); };
    host.showTransition = [this] { ShowTransition(); };
    host.showLamp = [this](LampColours::State state, const QString &toolTip, bool on) {
        ShowLamp(state, toolTip);
        projectorOn = on;
    };
    host.powerOn = [this] { PowerOn(); };
    host.powerOff = [this] { ConfirmPowerOff(); };
    pjlinkPage = std::make_unique<PJLinkPage>(ui, serialPort, host);
    WatchForLostDevice();
    Configure(false);
    connect(&pollTimer, SIGNAL(timeout()), this, SLOT(OnTimer()));
    pollTimer.setInterval(100);
    pollTimer.start();
    pendingHeight = 200;
    ui.infoFrame->setVisible(false);
}

Vantrel::~Vantrel()
{
    // Its hooks reach into this window: it goes first.
    delete rooms;
    serialPort.close();
}

void Vantrel::OnAbout()
{
    QMessageBox::information(this, tr("About"),
                             tr("Vantrel\n\n"
                                "Serial RS-232 Remote Control\n\n"
                                "Written by the Vantrel developers\n\n"
                                "This program is available for Windows And Linux\n\n"
                                "https://vantrel.example.org"),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

void Vantrel::on_info_clicked()
{
    if (!ui.infoFrame->isVisible()) {
        ui.infoFrame->setVisible(true);
        return;
    }
    // The layout would keep the window tall; shrink it on the next tick, once
    // the hidden pane has left the layout.
    pendingHeight = height() - ui.infoFrame->height() - 10;
    ui.infoFrame->setVisible(false);
}

void Vantrel::on_actionFileExit_triggered()
{
    close();
}

void Vantrel::keyPressEvent(QKeyEvent *event)
{
    QAbstractButton *button = nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button = ui.ok;
        break;
    case Qt::Key_Left:
        button = ui.left;
        break;
    case Qt::Key_Up:
        button = ui.up;
        break;
    case Qt::Key_Right:
        button = ui.right;
        break;
    case Qt::Key_Down:
        button = ui.down;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // Shown pressed for 100 ms, then clicked: the fixed time of Qt 6.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    button->animateClick(100);
#else
    button->animateClick();
#endif
}

void Vantrel::closeEvent(QCloseEvent *event)
{
    if (projectorOn) {
        const auto answer = QMessageBox::question(
            this, tr("Projector is on!"), tr("The projectorn is On.\nDo you want to turn it off?"),
            QMessageBox::Yes, QMessageBox::No);
        if (answer == QMessageBox::Yes && !serialPort.isOpen()) {
            // Nothing can be sent: say so rather than wait as if it had been.
            QMessageBox::warning(
                this, tr("Projector not switched off"),
                tr("Vantrel could not switch the projector off: the serial port is not open "
                   "(%1).\n\nSwitch it off at the projector or with its remote control.")
                    .arg(portStatus->text()));
        } else if (answer == QMessageBox::Yes && ModelIndex == PJLink::ModelIndex) {
            // The command may wait behind a query: it goes out, and is
            // answered, before the connection goes away.
            SendPowerOff();
            pjlinkPage->finish();
        } else if (answer == QMessageBox::Yes) {
            SendPowerOff();
            // Give the projector the command before the port goes away.
            QThread::sleep(1);
        }
    }
    event->accept();
}
