// The Vivitek page: what each button and list entry puts on the line.

#include "boxanswerer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>

#include <memory>

namespace {

const QByteArray Marker = "#mark#";

std::unique_ptr<Vantrel> openVivitekWindow(NullModem &modem)
{
    TestStore::seed({ { "ComPort", modem.portName() }, { "Model", 1 } });
    PortEnumeration::setLister([] { return QStringList(); });
    auto w = std::make_unique<Vantrel>();
    // Ticks would put polls between the commands under test.
    VantrelProbe::pollTimer(*w).stop();
    w->show();
    return w;
}

// Everything the window wrote since the last call. A marker command goes out
// behind it, so "nothing" is proved by order on the line, not by waiting.
QByteArray sentSoFar(Vantrel &w, NullModem &modem)
{
    VantrelProbe::sendCommand(w, Marker);
    const QByteArray tail = Marker + '\r';
    QByteArray out;
    while (!out.endsWith(tail)) {
        const QByteArray byte = modem.readBytes(1);
        if (byte.isEmpty())
            return out + "<marker missing>";
        out += byte;
    }
    out.chop(tail.size());
    return out;
}

// Picks an entry from the open list with the keyboard, as a user does. This
// path emits activated() also for the entry that is already current.
void choose(QComboBox *combo, int entry)
{
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(combo->model()->index(entry, combo->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

} // namespace

class TestVivitek : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void sameEntryAgainResends();
    void listsSetInCodeSendNothing();
    void colorTempListTakesNoUserInput();
    void keystoneFromStartUpAndDown();
    void steppedValuesAtLimits_data();
    void steppedValuesAtLimits();
};

void TestVivitek::commands_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("entry"); // -1: click the button
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("expected");

    auto button = [](const char *name, const char *widget, const char *caption,
                     const QByteArray &expected) {
        QTest::newRow(name) << QString(widget) << -1 << false << QString(caption) << expected;
    };
    button("power on", "vvtPowerOn", " On", "V99S0001\r");
    button("power off", "vvtPowerOff", "Off", "V99S0002\r");
    button("lamp time", "vvtLampTime", "Lamp Time", "V99G0004\r");
    button("firmware", "vvtFirmware", "Firmware", "V99G0008\r");
    button("front", "vvtPModeFront", "Front", "V99S03080\r");
    button("rear", "vvtPModeRear", "Rear", "V99S03081\r");
    button("ceiling", "vvtPModeCeiling", "Ceiling", "V99S03082\r");
    button("rear ceiling", "vvtPModeRearCeiling", "Rear + Ceiling", "V99S03083\r");
    button("show", "vvtUnBlank", "Show", "V99S03020\r");
    button("blank", "vvtBlank", "Hide/Blank", "V99S03021\r");
    button("4:3", "vvtAspect4_3", "4:3", "V99S03011\r");
    button("16:9", "vvtAspect16_9", "16:9", "V99S03012\r");
    button("keystone up", "vvtKeyStoneUp", "Up", "V99S03091\r");
    button("keystone down", "vvtKeyStoneDown", "Down", "V99S0309-1\r");
    button("capture", "pushButton", "Capture", "");

    auto entry = [](const char *name, const char *widget, int index, const char *caption,
                    const QByteArray &expected, bool lampOn = false) {
        QTest::newRow(name) << QString(widget) << index << lampOn << QString(caption) << expected;
    };
    const char *source = "vvtVideoSourceCbx";
    entry("source empty", source, 0, "", "");
    entry("source RGB 1", source, 1, "RGB 1", "V99S0201\r");
    entry("source RGB 2", source, 2, "RGB 2", "V99S0202\r");
    entry("source DVI", source, 3, "DVI", "V99S0203\r");
    entry("source Video", source, 4, "Video", "V99S0204\r");
    entry("source S-Video", source, 5, "S-Video", "V99S0205\r");
    entry("source HDMI 1", source, 6, "HDMI 1", "V99S0206\r");
    entry("source HDMI 2", source, 7, "HDMI 2", "V99S0209\r");
    entry("source BNC", source, 8, "BNC", "V99S0207\r");
    entry("source Component", source, 9, "Component", "V99S0208\r");
    entry("source Display Port", source, 10, "Display Port", "V99S0210\r");

    const char *display = "vvtDisplayModeCbx";
    entry("display empty", display, 0, "", "");
    entry("display Presentation", display, 1, "Presentation", "V99S01080\r");
    entry("display Bright", display, 2, "Bright", "V99S01081\r");
    entry("display Game", display, 3, "Game", "V99S01082\r");
    entry("display Movie", display, 4, "Movie", "V99S01083\r");
    entry("display TV", display, 5, "TV", "V99S01084\r");
    entry("display sRGB", display, 6, "sRGB", "V99S01085\r");
    entry("display Blackboard", display, 7, "Blackboard", "V99S01086\r");
    entry("display User", display, 8, "User", "V99S01087\r");

    const char *logo = "vvtLogoSelectCbx";
    entry("logo empty", logo, 0, "", "");
    entry("logo Standard", logo, 1, "Standard", "V99S03210\r");
    entry("logo Off", logo, 2, "Off", "V99S03212\r");
    entry("logo User", logo, 3, "User", "V99S03211\r");

    const char *lamp = "vvtLampModeCbx";
    entry("lamp empty", lamp, 0, "", "", true);
    entry("lamp Eco", lamp, 1, "Eco", "V99S03190\r", true);
    entry("lamp Normal", lamp, 2, "Normal", "V99S03191\r", true);
    entry("lamp Dynamic Eco", lamp, 3, "Dynamic Eco", "V99S03192\r", true);
    entry("lamp Eco, lamp off", lamp, 1, "Eco", "");
    entry("lamp Normal, lamp off", lamp, 2, "Normal", "");

    // The user cannot reach this list, but its slot is bound all the same.
    const char *temp = "vvtColorTempCbx";
    entry("colour temp empty", temp, 0, "", "");
    entry("colour temp Warm", temp, 1, "Warm", "V99S01060\r");
    entry("colour temp Normal", temp, 2, "Normal", "V99S01061\r");
    entry("colour temp Cold", temp, 3, "Cold", "V99S01062\r");
}

void TestVivitek::commands()
{
    QFETCH(QString, widget);
    QFETCH(int, entry);
    QFETCH(bool, lampOn);
    QFETCH(QString, caption);
    QFETCH(QByteArray, expected);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    auto w = openVivitekWindow(modem);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(VantrelProbe::ui(*w).model_stackedWidget->currentIndex(), 1);
    VantrelProbe::setProjectorOn(*w, lampOn);

    if (entry < 0) {
        auto *button = w->findChild<QAbstractButton *>(widget);
        QVERIFY(button);
        QCOMPARE(button->text().isEmpty() ? button->toolTip() : button->text(), caption);
        const bool asks = widget == QLatin1String("vvtPowerOff");
        auto answerer = asks ? std::make_unique<BoxAnswerer>(QMessageBox::Yes)
                             : std::make_unique<BoxAnswerer>();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY2(answerer->waitDone(), qPrintable(answerer->problems()));
    } else {
        auto *combo = w->findChild<QComboBox *>(widget);
        QVERIFY(combo);
        QCOMPARE(combo->itemText(entry), caption);
        if (combo->isEnabled()) {
            choose(combo, entry);
            if (QTest::currentTestFailed())
                return;
        } else {
            QVERIFY(QMetaObject::invokeMethod(combo, "activated", Q_ARG(int, entry)));
        }
        if (combo->isEnabled())
            QCOMPARE(combo->currentIndex(), entry); // kept also when nothing was sent
    }
    QCOMPARE(sentSoFar(*w, modem), expected);
}

void TestVivitek::sameEntryAgainResends()
{
    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openVivitekWindow(modem);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QComboBox *source = VantrelProbe::ui(*w).vvtVideoSourceCbx;
    QComboBox *logo = VantrelProbe::ui(*w).vvtLogoSelectCbx;

    choose(source, 7);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S0209\r"));
    choose(source, 7);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S0209\r"));
    choose(logo, 2);
    choose(logo, 2);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S03212\rV99S03212\r"));

    // A keyboard step on the closed list is a user choice too.
    source->setFocus();
    QTest::keyClick(source, Qt::Key_Down);
    QCOMPARE(source->currentIndex(), 8);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S0207\r"));
}

void TestVivitek::listsSetInCodeSendNothing()
{
    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openVivitekWindow(modem);
    VantrelProbe::setProjectorOn(*w, true);
    const auto &ui = VantrelProbe::ui(*w);
    for (QComboBox *combo : { ui.vvtVideoSourceCbx, ui.vvtDisplayModeCbx, ui.vvtLogoSelectCbx,
                              ui.vvtLampModeCbx, ui.vvtColorTempCbx }) {
        combo->setCurrentIndex(2);
        combo->setCurrentIndex(1);
        combo->setCurrentIndex(0);
    }
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

void TestVivitek::colorTempListTakesNoUserInput()
{
    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openVivitekWindow(modem);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QComboBox *temp = VantrelProbe::ui(*w).vvtColorTempCbx;
    QVERIFY(!temp->isEnabled());

    QTest::mouseClick(temp, Qt::LeftButton);
    QTest::keyClick(temp, Qt::Key_Down);
    QTest::keyClick(temp, Qt::Key_End);
    QVERIFY(!temp->view()->isVisible());
    QCOMPARE(temp->currentIndex(), 0);
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

void TestVivitek::keystoneFromStartUpAndDown()
{
    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openVivitekWindow(modem);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const auto &ui = VantrelProbe::ui(*w);

    QTest::mouseClick(ui.vvtKeyStoneUp, Qt::LeftButton);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S03091\r"));
    QTest::mouseClick(ui.vvtKeyStoneDown, Qt::LeftButton);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S03090\r"));
    QTest::mouseClick(ui.vvtKeyStoneDown, Qt::LeftButton);
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S0309-1\r"));
    QCOMPARE(VantrelProbe::vvtKeystone(*w), -1);
}

void TestVivitek::steppedValuesAtLimits_data()
{
    QTest::addColumn<QString>("widget"); // empty: only the slot exists
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<bool>("keystone");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("after");

    QTest::newRow("keystone -40 down")
        << "vvtKeyStoneDown" << QByteArray() << true << -40 << QByteArray("V99S0309-40\r") << -40;
    QTest::newRow("keystone -39 down")
        << "vvtKeyStoneDown" << QByteArray() << true << -39 << QByteArray("V99S0309-40\r") << -40;
    QTest::newRow("keystone -40 up")
        << "vvtKeyStoneUp" << QByteArray() << true << -40 << QByteArray("V99S0309-39\r") << -39;
    QTest::newRow("keystone 40 up")
        << "vvtKeyStoneUp" << QByteArray() << true << 40 << QByteArray("V99S030940\r") << 40;
    QTest::newRow("keystone 39 up")
        << "vvtKeyStoneUp" << QByteArray() << true << 39 << QByteArray("V99S030940\r") << 40;
    QTest::newRow("keystone 40 down")
        << "vvtKeyStoneDown" << QByteArray() << true << 40 << QByteArray("V99S030939\r") << 39;
    // A reported value beyond the button range is where the next step starts.
    QTest::newRow("keystone -100 up")
        << "vvtKeyStoneUp" << QByteArray() << true << -100 << QByteArray("V99S0309-99\r") << -99;
    QTest::newRow("keystone 100 up")
        << "vvtKeyStoneUp" << QByteArray() << true << 100 << QByteArray("V99S0309100\r") << 100;

    QTest::newRow("brightness 100 up") << QString() << QByteArray("on_vvtBrightnessUp_clicked")
                                       << false << 100 << QByteArray("V99S0101100\r") << 100;
    QTest::newRow("brightness 99 up") << QString() << QByteArray("on_vvtBrightnessUp_clicked")
                                      << false << 99 << QByteArray("V99S0101100\r") << 100;
    QTest::newRow("brightness 0 up") << QString() << QByteArray("on_vvtBrightnessUp_clicked")
                                     << false << 0 << QByteArray("V99S01011\r") << 1;
    QTest::newRow("brightness 0 down") << QString() << QByteArray("on_vvtBrightnessDown_clicked")
                                       << false << 0 << QByteArray("V99S01010\r") << 0;
    QTest::newRow("brightness 100 down") << QString() << QByteArray("on_vvtBrightnessDown_clicked")
                                         << false << 100 << QByteArray("V99S010199\r") << 99;
    QTest::newRow("brightness 200 up") << QString() << QByteArray("on_vvtBrightnessUp_clicked")
                                       << false << 200 << QByteArray("V99S0101200\r") << 200;
}

void TestVivitek::steppedValuesAtLimits()
{
    QFETCH(QString, widget);
    QFETCH(QByteArray, slot);
    QFETCH(bool, keystone);
    QFETCH(int, start);
    QFETCH(QByteArray, expected);
    QFETCH(int, after);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openVivitekWindow(modem);
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    if (keystone)
        VantrelProbe::setVvtKeystone(*w, std::int8_t(start));
    else
        VantrelProbe::setVvtBrightness(*w, std::uint8_t(start));

    if (widget.isEmpty()) {
        // No widget reaches these slots; they are called by name.
        QVERIFY(!w->findChild<QObject *>(QString(slot).mid(3).section('_', 0, 0)));
        QVERIFY(VantrelProbe::invoke(*w, slot.constData()));
    } else {
        auto *button = w->findChild<QAbstractButton *>(widget);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(sentSoFar(*w, modem), expected);
    QCOMPARE(keystone ? VantrelProbe::vvtKeystone(*w) : VantrelProbe::vvtBrightness(*w), after);
}

VANTREL_TEST_MAIN(TestVivitek)
#include "tst_vivitek.moc"
