#include "colorgroupbox.h"
#include "rig.h"
#include "testmain.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMetaMethod>
#include <QProxyStyle>
#include <QTest>

namespace {

// In declaration order, the meta-object's slot indices.
const char SlotTableText[]
    = "on_info_clicked() on_connectionStatus_clicked() on_clearLog_clicked() on_freeze_clicked() "
      "on_company_clicked() on_compositeVideo_clicked() on_searchVideo_clicked() on_zoom_clicked() "
      "on_colorTemperature_clicked() on_hdmi_clicked() on_dvi_clicked() on_sVideo_clicked() "
      "on_analogRGB_clicked() on_eKey_clicked() on_color_clicked() on_contrast_clicked() "
      "on_brightness_clicked() on_aspect16_9_clicked() on_aspect4_3_clicked() "
      "on_resolution_clicked() on_keystoneDown_clicked() on_keystoneUpp_clicked() "
      "on_hide_clicked() on_keystone_clicked() on_powerOff_clicked() on_ok_clicked() "
      "on_left_clicked() on_down_clicked() on_right_clicked() on_up_clicked() on_menu_clicked() "
      "on_queryModel_clicked() on_queryLampTime_clicked() on_powerOn_clicked() OnTimer() OnAbout() "
      "on_actionSettings_triggered() on_actionFileExit_triggered() on_vvtPowerOn_clicked() "
      "on_vvtPowerOff_clicked() on_vvtLampTime_clicked() on_vvtFirmware_clicked() "
      "on_vvtKeyStoneUp_clicked() on_vvtKeyStoneDown_clicked() on_vvtPModeFront_clicked() "
      "on_vvtPModeRear_clicked() on_vvtPModeCeiling_clicked() on_vvtPModeRearCeiling_clicked() "
      "on_vvtVideoSourceCbx_activated(int) on_vvtDisplayModeCbx_activated(int) "
      "on_vvtUnBlank_clicked() on_vvtBlank_clicked() on_vvtLogoSelectCbx_activated(int) "
      "on_vvtAspect4_3_clicked() on_vvtAspect16_9_clicked() on_vvtLampModeCbx_activated(int) "
      "on_vvtColorTempCbx_activated(int) on_vvtBrightnessUp_clicked() "
      "on_vvtBrightnessDown_clicked() on_actionSaveLog_triggered() "
      "OnProjectorChosen(QAction*) on_pjPowerOn_clicked() on_pjPowerOff_clicked() "
      "on_pjInputCbx_activated(int) on_pjPictureMute_clicked(bool) on_pjSoundMute_clicked(bool) "
      "on_pjFreeze_clicked(bool) on_pjVolumeUp_clicked() on_pjVolumeDown_clicked()";

// Fusion without the group box frame, which would cover the fill's edge.
class FramelessGroupBoxStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_FrameGroupBox)
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        titleRect = subControlRect(control, option, SC_GroupBoxLabel, widget);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    mutable QRect titleRect;
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void slotTableAndWiring();
    void aboutBox();
    void closeConfirmation_data();
    void closeConfirmation();
    void pendingHeight();
    void colorGroupBoxFill();
    void saveLog_data();
    void saveLog();
    void longOrOddPortName_data();
    void longOrOddPortName();
};

void TestWindow::slotTableAndWiring()
{
    Rig rig;
    Vantrel &w = rig.window();
    const QMetaObject &meta = Vantrel::staticMetaObject;
    const QByteArrayList table = QByteArray(SlotTableText).split(' ');
    QCOMPARE(meta.methodCount() - meta.methodOffset(), table.size());
    for (int i = 0; i < table.size(); ++i) {
        const QByteArray &signature = table.at(i);
        const QMetaMethod slot = meta.method(meta.methodOffset() + i);
        QCOMPARE(slot.methodSignature(), signature);
        QVERIFY(slot.methodType() == QMetaMethod::Slot && slot.access() == QMetaMethod::Private);
        QCOMPARE(slot.parameterNames(),
                 slot.parameterCount()
                     ? QByteArrayList { signature.startsWith("On")         ? "action"
                                            : signature.endsWith("(bool)") ? "checked"
                                                                           : "index" }
                     : QByteArrayList());
        // Wired by name but for the brightness pair and two by hand; disconnect() proves it.
        if (!signature.startsWith("on_") || signature.startsWith("on_vvtBrightness"))
            continue;
        const int split = signature.lastIndexOf('_', signature.indexOf('('));
        QObject *sender = w.findChild<QObject *>(QString::fromLatin1(signature.mid(3, split - 3)));
        const QByteArray signal = QByteArray::number(QSIGNAL_CODE) + signature.mid(split + 1);
        const QByteArray method = QByteArray::number(QSLOT_CODE) + signature;
        QVERIFY2(sender && QObject::disconnect(sender, signal, &w, method), signature);
    }
    QVERIFY(VantrelProbe::pollTimer(w).disconnect(SIGNAL(timeout()), &w, SLOT(OnTimer())));
    QVERIFY(rig.ui().actionAbout->disconnect(SIGNAL(triggered()), &w, SLOT(OnAbout())));
    QVERIFY(w.findChild<QActionGroup *>()->disconnect(SIGNAL(triggered(QAction *)), &w,
                                                      SLOT(OnProjectorChosen(QAction *))));
    // Nothing else reaches the window's slots: not the brightness pair, not a stray object.
    QList<QObject *> everyObject = w.findChildren<QObject *>();
    for (QObject *object : everyObject << &w << &VantrelProbe::pollTimer(w))
        QVERIFY2(!object->disconnect(&w), qPrintable(object->objectName()));
}

void TestWindow::aboutBox()
{
    Rig rig;
    BoxAnswerer answerer(QMessageBox::Ok);
    rig.ui().actionAbout->trigger();
    QVERIFY(answerer.waitDone());
    QCOMPARE(answerer.box().title, QStringLiteral("About"));
    const QStringList parts = answerer.box().text.split(QStringLiteral("\n\n"));
    QCOMPARE(parts.size(), 5);
    QCOMPARE(parts.mid(0, 2), QStringList({ "Vantrel", "Serial RS-232 Remote Control" }));
    QCOMPARE(parts.at(3), QStringLiteral("This program is available for Windows And Linux"));
}

void TestWindow::closeConfirmation_data()
{
    QTest::addColumn<int>("answer"); // NoButton: the lamp is off, no question
    QTest::addColumn<bool>("viaExit");
    QTest::newRow("lamp off, Exit") << int(QMessageBox::NoButton) << true;
    QTest::newRow("lamp on, Exit, No") << int(QMessageBox::No) << true;
    QTest::newRow("lamp on, Yes: power off") << int(QMessageBox::Yes) << false;
}

void TestWindow::closeConfirmation()
{
    QFETCH(int, answer);
    QFETCH(bool, viaExit);
    Rig rig;
    QVERIFY(rig.show());
    VantrelProbe::setProjectorOn(rig.window(), answer != QMessageBox::NoButton);
    BoxAnswerer answerer;
    if (answer != QMessageBox::NoButton)
        answerer.thenPress(QMessageBox::StandardButton(answer));
    viaExit ? rig.ui().actionFileExit->trigger() : void(rig.window().close());
    QVERIFY(answerer.waitDone());
    QVERIFY(!rig.window().isVisible());
    if (answer != QMessageBox::NoButton) {
        QCOMPARE(answerer.box().title, QStringLiteral("Projector is on!"));
        QCOMPARE(answerer.box().text,
                 QStringLiteral("The projectorn is On.\nDo you want to turn it off?"));
        QCOMPARE(answerer.box().buttons, QMessageBox::Yes | QMessageBox::No);
    }
    QCOMPARE(rig.sent(), QByteArray(answer == QMessageBox::Yes ? "* 0 IR 002\r" : ""));
}

void TestWindow::pendingHeight()
{
    Rig rig;
    Vantrel &w = rig.window();
    Ui::VantrelClass &ui = rig.ui();
    QVERIFY(rig.show());
    QCOMPARE(VantrelProbe::pendingHeight(w), 200);
    // resize() keeps to the minimum size the layout gives the window.
    rig.tick();
    QCOMPARE(w.height(), qMax(200, w.minimumHeight()));
    ui.info->click();
    QTRY_VERIFY(ui.infoFrame->height() > 0
                && ui.infoFrame->geometry().bottom() < ui.centralWidget->height());
    const int shownHeight = w.height();
    const int paneHeight = ui.infoFrame->height();

    ui.info->click();
    QCOMPARE(VantrelProbe::pendingHeight(w), shownHeight - paneHeight - 10);
    QCOMPARE(w.height(), shownHeight); // nothing moves before the tick
    QTRY_VERIFY(w.minimumHeight() < shownHeight);
    rig.tick();
    QCOMPARE(w.height(), qMax(shownHeight - paneHeight - 10, w.minimumHeight()));
    QVERIFY(w.height() < shownHeight);
}

void TestWindow::colorGroupBoxFill()
{
    for (const auto &[size, colour] :
         { std::pair(QSize(100, 60), QColor()), std::pair(QSize(157, 93), Rig::LampOffColour) }) {
        FramelessGroupBoxStyle style(QStringLiteral("Fusion"));
        ColorGroupBox box;
        box.setStyle(&style);
        box.setTitle(QStringLiteral("Power"));
        box.resize(size);
        if (colour.isValid())
            box.fillColor = colour;
        const QRgb expected = colour.isValid() ? colour.rgb() : Rig::TransitionColour.rgb();
        const QImage image = box.grab().toImage();
        const QRect fill(QPoint(1, 8), QPoint(size.width() - 2, size.height() - 2));
        int titleInk = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool filled = image.pixel(x, y) == expected;
                if (style.titleRect.contains(x, y))
                    titleInk += fill.contains(x, y) && !filled;
                else if (filled != fill.contains(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
            }
        }
        QVERIFY(titleInk > 0); // the title is drawn over the fill
    }
}

void TestWindow::saveLog_data()
{
    QTest::addColumn<QString>("name"); // in the run's directory; empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("before"); // an older file of that name; empty: none
    QTest::addColumn<bool>("saved");

    QTest::newRow("new file") << "log-new.txt" << QByteArray() << true;
    QTest::newRow("older file, replace it") << "log-old.txt" << QByteArray("older\n") << true;
    QTest::newRow("cancelled") << "" << QByteArray() << false;
    QTest::newRow("no such folder") << "not-a-folder/log.txt" << QByteArray() << false;
}

// What the pane holds goes to the file the user picks, as UTF-8, whole or not at all.
void TestWindow::saveLog()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    QFETCH(bool, saved);
    const QString path = TestStore::runDirectory() + '/' + name;
    QFile::remove(path);
    if (!before.isEmpty()) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(before) == before.size());
    }
    QFile notAFolder(TestStore::runDirectory() + "/not-a-folder");
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));

    Rig rig(0, true);
    rig.ui().asciiCheckBox->setChecked(true);
    rig.tick();
    QVERIFY(rig.receive("Projekt\xf6r 7\r"));
    const QString pane = rig.log();
    QVERIFY(pane.contains(QString::fromUtf8("-> Projektör 7\n")));

    BoxAnswerer answerer;
    answerer.thenDrive([&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(files);
        if (name.isEmpty())
            return dialog->reject();
        // Typed, as a user does: selectFile() leaves a focused name field alone.
        files->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        dialog->accept(); // QFileDialog hides it; the dialog checks the name as for a click
    });
    if (!before.isEmpty())
        answerer.thenPress(QMessageBox::Yes); // the file dialog's own question
    if (!name.isEmpty() && !saved)
        answerer.thenPress(QMessageBox::Ok);
    rig.ui().actionSaveLog->trigger();
    QVERIFY2(answerer.waitDone(), qPrintable(answerer.problems()));
    if (!name.isEmpty() && !saved)
        QCOMPARE(answerer.boxes().last().title, QString("Log not saved"));

    QFile file(path);
    if (saved) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), pane.toUtf8());
    } else if (!name.isEmpty()) {
        QCOMPARE(file.exists(), !before.isEmpty());
    }
}

void TestWindow::longOrOddPortName_data()
{
    QTest::addColumn<QString>("name"); // in the run's directory; empty: a path of 300 characters
    QTest::addColumn<bool>("elided"); // must be; false: as the width allows
    QTest::newRow("by-id link")
        << "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0-with-a-longer-name" << true;
    // QSerialPort cannot open it: its lock file's name would be too long.
    QTest::newRow("300 characters") << "" << true;
    QTest::newRow("percent signs") << "p%1%2%3" << false;
}

// A long name never widens the window: the status line shortens the name and
// keeps what it says of the port whole. Every name is shown as it is.
void TestWindow::longOrOddPortName()
{
    QFETCH(QString, name);
    QFETCH(bool, elided);
    QString path = TestStore::runDirectory() + '/' + name;
    if (name.isEmpty()) {
        path += QString(150, 'd') + '/';
        path += QString(300 - path.size(), 'p');
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    Rig rig;
    Vantrel &w = rig.window();
    rig.ui().actionReconnect->trigger(); // the port is waited for
    QVERIFY(rig.show());
    const int width = w.width();
    const ElidingLabel &status = VantrelProbe::portStatusLabel(w);
    const auto shows = [&](const QString &whole) {
        QCoreApplication::sendPostedEvents();
        QCOMPARE(status.text(), whole);
        const QString shown = status.shownText();
        QVERIFY2(status.fontMetrics().horizontalAdvance(shown) <= status.contentsRect().width(),
                 qPrintable(shown));
        // What follows the name, the state of the port, is never shortened.
        QVERIFY2(shown.endsWith(whole.mid(whole.indexOf(path) + path.size())), qPrintable(shown));
        QVERIFY(shown != whole || !elided);
        QCOMPARE(status.toolTip(), shown != whole ? whole : QString());
        QCOMPARE(w.width(), width);
        QVERIFY(w.minimumSizeHint().width() <= width);
    };

    std::unique_ptr<NullModem> modem;
    if (name.isEmpty())
        modem = std::make_unique<NullModem>(path);
    TestStore::set("ComPort", path);
    VantrelProbe::configure(w, false);
    QVERIFY(rig.log().startsWith("Opening port " + path + '\n'));
    QVERIFY(status.text().startsWith(path + ": "));
    shows(status.text());
    if (name.isEmpty())
        return;

    modem = std::make_unique<NullModem>(path);
    rig.tick(PollClock::PollEvery);
    shows("Connected to " + path + " (Acer, 9600 baud)");
    QCOMPARE(modem->readBytes(11), QByteArray("* 0 Lamp ?\r"));
    modem->unplug();
    QTRY_VERIFY(!VantrelProbe::serialPort(w).isOpen());
    QVERIFY(rig.log().endsWith("Lost serial port " + path + ": the device has gone away.\n"));
    shows(path + ": device lost, waiting for it to return");
}

VANTREL_TEST_MAIN(TestWindow)

#include "tst_window.moc"
