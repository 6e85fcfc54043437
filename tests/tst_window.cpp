#include "boxanswerer.h"
#include "colorgroupbox.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QApplication>
#include <QMetaMethod>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionComplex>
#include <QTest>

#include <iterator>
#include <memory>

namespace {

struct SlotRow
{
    const char *signature;
    const char *sender; // object name; nullptr: never connected
    const char *senderClass;
    const char *signal;
};

// In declaration order: the meta-object's slot indices.
const SlotRow slotTable[] = {
    { "on_info_clicked()", "info", "QPushButton", "clicked()" },
    { "on_connectionStatus_clicked()", "connectionStatus", "QPushButton", "clicked()" },
    { "on_clearLog_clicked()", "clearLog", "QPushButton", "clicked()" },
    { "on_freeze_clicked()", "freeze", "QPushButton", "clicked()" },
    { "on_company_clicked()", "company", "QPushButton", "clicked()" },
    { "on_compositeVideo_clicked()", "compositeVideo", "QPushButton", "clicked()" },
    { "on_searchVideo_clicked()", "searchVideo", "QPushButton", "clicked()" },
    { "on_zoom_clicked()", "zoom", "QPushButton", "clicked()" },
    { "on_colorTemperature_clicked()", "colorTemperature", "QPushButton", "clicked()" },
    { "on_hdmi_clicked()", "hdmi", "QPushButton", "clicked()" },
    { "on_dvi_clicked()", "dvi", "QPushButton", "clicked()" },
    { "on_sVideo_clicked()", "sVideo", "QPushButton", "clicked()" },
    { "on_analogRGB_clicked()", "analogRGB", "QPushButton", "clicked()" },
    { "on_eKey_clicked()", "eKey", "QPushButton", "clicked()" },
    { "on_color_clicked()", "color", "QPushButton", "clicked()" },
    { "on_contrast_clicked()", "contrast", "QPushButton", "clicked()" },
    { "on_brightness_clicked()", "brightness", "QPushButton", "clicked()" },
    { "on_aspect16_9_clicked()", "aspect16_9", "QPushButton", "clicked()" },
    { "on_aspect4_3_clicked()", "aspect4_3", "QPushButton", "clicked()" },
    { "on_resolution_clicked()", "resolution", "QPushButton", "clicked()" },
    { "on_keystoneDown_clicked()", "keystoneDown", "QPushButton", "clicked()" },
    { "on_keystoneUpp_clicked()", "keystoneUpp", "QPushButton", "clicked()" },
    { "on_hide_clicked()", "hide", "QPushButton", "clicked()" },
    { "on_keystone_clicked()", "keystone", "QPushButton", "clicked()" },
    { "on_powerOff_clicked()", "powerOff", "QPushButton", "clicked()" },
    { "on_ok_clicked()", "ok", "QToolButton", "clicked()" },
    { "on_left_clicked()", "left", "QToolButton", "clicked()" },
    { "on_down_clicked()", "down", "QToolButton", "clicked()" },
    { "on_right_clicked()", "right", "QToolButton", "clicked()" },
    { "on_up_clicked()", "up", "QToolButton", "clicked()" },
    { "on_menu_clicked()", "menu", "QPushButton", "clicked()" },
    { "on_queryModel_clicked()", "queryModel", "QPushButton", "clicked()" },
    { "on_queryLampTime_clicked()", "queryLampTime", "QPushButton", "clicked()" },
    { "on_powerOn_clicked()", "powerOn", "QPushButton", "clicked()" },
    { "OnTimer()", "pollTimer", "QTimer", "timeout()" },
    { "OnAbout()", "actionAbout", "QAction", "triggered()" },
    { "on_actionSettings_triggered()", "actionSettings", "QAction", "triggered()" },
    { "on_actionFileExit_triggered()", "actionFileExit", "QAction", "triggered()" },
    { "on_vvtPowerOn_clicked()", "vvtPowerOn", "QPushButton", "clicked()" },
    { "on_vvtPowerOff_clicked()", "vvtPowerOff", "QPushButton", "clicked()" },
    { "on_vvtLampTime_clicked()", "vvtLampTime", "QPushButton", "clicked()" },
    { "on_vvtFirmware_clicked()", "vvtFirmware", "QPushButton", "clicked()" },
    { "on_vvtKeyStoneUp_clicked()", "vvtKeyStoneUp", "QToolButton", "clicked()" },
    { "on_vvtKeyStoneDown_clicked()", "vvtKeyStoneDown", "QToolButton", "clicked()" },
    { "on_vvtPModeFront_clicked()", "vvtPModeFront", "QPushButton", "clicked()" },
    { "on_vvtPModeRear_clicked()", "vvtPModeRear", "QPushButton", "clicked()" },
    { "on_vvtPModeCeiling_clicked()", "vvtPModeCeiling", "QPushButton", "clicked()" },
    { "on_vvtPModeRearCeiling_clicked()", "vvtPModeRearCeiling", "QPushButton", "clicked()" },
    { "on_vvtVideoSourceCbx_activated(int)", "vvtVideoSourceCbx", "QComboBox", "activated(int)" },
    { "on_vvtDisplayModeCbx_activated(int)", "vvtDisplayModeCbx", "QComboBox", "activated(int)" },
    { "on_vvtUnBlank_clicked()", "vvtUnBlank", "QPushButton", "clicked()" },
    { "on_vvtBlank_clicked()", "vvtBlank", "QPushButton", "clicked()" },
    { "on_vvtLogoSelectCbx_activated(int)", "vvtLogoSelectCbx", "QComboBox", "activated(int)" },
    { "on_vvtAspect4_3_clicked()", "vvtAspect4_3", "QPushButton", "clicked()" },
    { "on_vvtAspect16_9_clicked()", "vvtAspect16_9", "QPushButton", "clicked()" },
    { "on_vvtLampModeCbx_activated(int)", "vvtLampModeCbx", "QComboBox", "activated(int)" },
    { "on_vvtColorTempCbx_activated(int)", "vvtColorTempCbx", "QComboBox", "activated(int)" },
    { "on_vvtBrightnessUp_clicked()", nullptr, nullptr, nullptr },
    { "on_vvtBrightnessDown_clicked()", nullptr, nullptr, nullptr },
};

// Fusion tints the inside of a group box; without its frame the fill can be
// checked pixel by pixel, while the title still comes from the real style.
class FramelessGroupBoxStyle : public QProxyStyle
{
public:
    FramelessGroupBoxStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    { }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_FrameGroupBox)
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        if (control == CC_GroupBox)
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
    void initTestCase();
    void init();
    void slotTableAndWiring();
    void aboutBox();
    void closeConfirmation_data();
    void closeConfirmation();
    void pendingHeight();
    void colorGroupBoxFill_data();
    void colorGroupBoxFill();

private:
    // Constructs the window on a fresh null-modem, with Acer selected.
    Vantrel &makeWindow();

    std::unique_ptr<NullModem> modem;
    std::unique_ptr<Vantrel> window;
};

void TestWindow::initTestCase()
{
    // Closing a window must not end the test's own event loops.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestWindow::init()
{
    window.reset();
    modem = std::make_unique<NullModem>();
    TestStore::seed(
        { { QStringLiteral("ComPort"), modem->portName() }, { QStringLiteral("Model"), 0 } });
    PortEnumeration::setLister([] { return QStringList(); });
}

Vantrel &TestWindow::makeWindow()
{
    window = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*window).stop();
    return *window;
}

void TestWindow::slotTableAndWiring()
{
    QTest::ignoreMessage(QtWarningMsg,
                         "QMetaObject::connectSlotsByName: No matching signal for "
                         "on_vvtBrightnessUp_clicked()");
    QTest::ignoreMessage(QtWarningMsg,
                         "QMetaObject::connectSlotsByName: No matching signal for "
                         "on_vvtBrightnessDown_clicked()");
    Vantrel &w = makeWindow();
    const QMetaObject &meta = Vantrel::staticMetaObject;
    QCOMPARE(meta.className(), "Vantrel");
    QCOMPARE(meta.superClass(), &QMainWindow::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), int(std::size(slotTable)));

    QList<QObject *> everyObject = w.findChildren<QObject *>();
    everyObject << &w << &VantrelProbe::pollTimer(w) << &VantrelProbe::serialPort(w);

    int withIndex = 0;
    for (int i = 0; i < int(std::size(slotTable)); ++i) {
        const SlotRow &row = slotTable[i];
        const QMetaMethod slot = meta.method(meta.methodOffset() + i);
        QCOMPARE(slot.methodSignature(), QByteArray(row.signature));
        QCOMPARE(slot.methodType(), QMetaMethod::Slot);
        QCOMPARE(slot.access(), QMetaMethod::Private);
        QCOMPARE(slot.returnType(), int(QMetaType::Void));
        if (slot.parameterCount() == 1) {
            ++withIndex;
            QCOMPARE(slot.parameterNames(), QList<QByteArray> { "index" });
        }

        if (!row.sender) {
            // No object bears the name, so nothing reaches the slot.
            for (QObject *object : qAsConst(everyObject))
                QVERIFY2(!QObject::disconnect(object, QMetaMethod(), &w, slot), row.signature);
            continue;
        }
        QObject *sender = qstrcmp(row.sender, "pollTimer") == 0
            ? &VantrelProbe::pollTimer(w)
            : w.findChild<QObject *>(QLatin1String(row.sender));
        QVERIFY2(sender, row.sender);
        QCOMPARE(sender->metaObject()->className(), row.senderClass);
        const QMetaObject *senderMeta = sender->metaObject();
        const QMetaMethod signal = senderMeta->method(senderMeta->indexOfSignal(row.signal));
        QVERIFY2(signal.isValid(), row.signal);
        // disconnect() tells whether exactly this connection existed.
        QVERIFY2(QObject::disconnect(sender, signal, &w, slot), row.signature);
    }
    QCOMPARE(withIndex, 5);

    // Objects of the form that have no slot stay unwired.
    for (const char *name : { "pushButton", "actionExit", "actionInst_llningar" }) {
        QObject *object = w.findChild<QObject *>(QLatin1String(name));
        QVERIFY2(object, name);
        QVERIFY2(!QObject::disconnect(object, nullptr, &w, nullptr), name);
    }
}

void TestWindow::aboutBox()
{
    Vantrel &w = makeWindow();
    BoxAnswerer answerer(QMessageBox::Ok);
    VantrelProbe::ui(w).actionAbout->trigger();
    QVERIFY(answerer.waitDone());

    const BoxAnswerer::Box box = answerer.box();
    QCOMPARE(box.title, QStringLiteral("About"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(box.parent == &w);
    const QStringList parts = box.text.split(QStringLiteral("\n\n"));
    QCOMPARE(parts.size(), 5);
    QCOMPARE(parts.at(0), QStringLiteral("Vantrel"));
    QCOMPARE(parts.at(1), QStringLiteral("Serial RS-232 Remote Control"));
    QCOMPARE(parts.at(3), QStringLiteral("This program is available for Windows And Linux"));
    for (const QString &part : parts)
        QVERIFY2(!part.isEmpty() && !part.contains(QLatin1Char('\n')), qPrintable(box.text));
}

void TestWindow::closeConfirmation_data()
{
    QTest::addColumn<bool>("projectorOn");
    QTest::addColumn<bool>("viaExitAction");
    QTest::addColumn<int>("answer"); // NoButton: no question expected
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("lamp off, close")
        << false << false << int(QMessageBox::NoButton) << QByteArray();
    QTest::newRow("lamp off, Exit") << false << true << int(QMessageBox::NoButton) << QByteArray();
    QTest::newRow("lamp on, No") << true << false << int(QMessageBox::No) << QByteArray();
    QTest::newRow("lamp on, Exit, No") << true << true << int(QMessageBox::No) << QByteArray();
    QTest::newRow("lamp on, Yes") << true << false << int(QMessageBox::Yes)
                                  << QByteArray("* 0 IR 002\r");
}

void TestWindow::closeConfirmation()
{
    QFETCH(bool, projectorOn);
    QFETCH(bool, viaExitAction);
    QFETCH(int, answer);
    QFETCH(QByteArray, wire);
    Vantrel &w = makeWindow();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    VantrelProbe::setProjectorOn(w, projectorOn);

    std::unique_ptr<BoxAnswerer> answerer = answer == QMessageBox::NoButton
        ? std::make_unique<BoxAnswerer>()
        : std::make_unique<BoxAnswerer>(QMessageBox::StandardButton(answer));
    if (viaExitAction)
        VantrelProbe::ui(w).actionFileExit->trigger();
    else
        w.close();
    QVERIFY(answerer->waitDone());
    QVERIFY(!w.isVisible());

    if (answer != QMessageBox::NoButton) {
        const BoxAnswerer::Box box = answerer->box();
        QCOMPARE(box.title, QStringLiteral("Projector is on!"));
        QCOMPARE(box.text, QStringLiteral("The projectorn is On.\nDo you want to turn it off?"));
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    if (!wire.isEmpty())
        QCOMPARE(modem->readBytes(wire.size()), wire);
    QCOMPARE(modem->expectSilence(200), QByteArray());
}

void TestWindow::pendingHeight()
{
    Vantrel &w = makeWindow();
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!ui.infoFrame->isVisible());
    QCOMPARE(VantrelProbe::pendingHeight(w), 200);
    const int width = w.width();

    // resize() keeps to the minimum size the layout gives the window.
    VantrelProbe::invoke(w, "OnTimer");
    QCOMPARE(VantrelProbe::pendingHeight(w), 0);
    QCOMPARE(w.height(), qMax(200, w.minimumHeight()));
    QCOMPARE(w.width(), width);

    ui.info->click();
    QVERIFY(ui.infoFrame->isVisible());
    QTRY_VERIFY(ui.infoFrame->height() > 0
                && ui.infoFrame->geometry().bottom() < ui.centralWidget->height());
    const int shownHeight = w.height();
    const int paneHeight = ui.infoFrame->height();

    ui.info->click();
    QVERIFY(!ui.infoFrame->isVisible());
    QCOMPARE(VantrelProbe::pendingHeight(w), shownHeight - paneHeight - 10);
    QCOMPARE(w.height(), shownHeight); // nothing moves before the tick
    QTRY_VERIFY(w.minimumHeight() < shownHeight);

    VantrelProbe::invoke(w, "OnTimer");
    QCOMPARE(VantrelProbe::pendingHeight(w), 0);
    QCOMPARE(w.height(), qMax(shownHeight - paneHeight - 10, w.minimumHeight()));
    QVERIFY(w.height() < shownHeight);
}

void TestWindow::colorGroupBoxFill_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("colour"); // invalid: never set
    QTest::addColumn<QColor>("expected");

    QTest::newRow("new box") << QSize(100, 60) << QColor() << QColor(200, 200, 0);
    QTest::newRow("no contact") << QSize(100, 60) << QColor(100, 100, 40) << QColor(100, 100, 40);
    QTest::newRow("lamp off, other size")
        << QSize(157, 93) << QColor(50, 100, 255) << QColor(50, 100, 255);
}

void TestWindow::colorGroupBoxFill()
{
    QFETCH(QSize, size);
    QFETCH(QColor, colour);
    QFETCH(QColor, expected);
    FramelessGroupBoxStyle style;
    ColorGroupBox box;
    box.setStyle(&style);
    box.setTitle(QStringLiteral("Power"));
    box.resize(size);
    if (colour.isValid()) {
        box.fillColor = colour;
        box.update();
    }

    const QImage image = box.grab().toImage();
    QCOMPARE(image.size(), size);
    QVERIFY(!style.titleRect.isEmpty());
    const QRect fill(QPoint(1, 8), QPoint(size.width() - 2, size.height() - 2));
    int titleInk = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const bool filled = image.pixel(x, y) == expected.rgb();
            if (style.titleRect.contains(x, y)) {
                titleInk += fill.contains(x, y) && !filled;
                continue;
            }
            if (filled != fill.contains(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is #%3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(image.pixel(x, y), 8, 16, QLatin1Char('0'))));
        }
    }
    // The title is drawn over the fill, not under it.
    QVERIFY(titleInk > 0);
}

VANTREL_TEST_MAIN(TestWindow)

#include "tst_window.moc"
