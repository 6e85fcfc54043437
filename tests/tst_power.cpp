// Power buttons, the off confirmations and the lamp indicator, with the
// commands checked on the far end of the null-modem.

#include "boxanswerer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QTest>

#include <memory>

namespace {

const QColor TransitionColour(200, 200, 0);
const QColor LampOffColour(50, 100, 255);
const QColor LampOnColour(255, 220, 0);
const QColor NoContactColour(100, 100, 40);

enum Answer { Yes, No, CloseTheBox };

// A window on one end of the null-modem with its poll timer stopped. A family
// outside 0..2 is started as Acer and then switched, as a bad stored value
// would leave it.
struct Rig
{
    explicit Rig(int model)
    {
        const bool known = model >= 0 && model <= 2;
        TestStore::seed({ { "ComPort", modem.portName() }, { "Model", known ? model : 0 } });
        PortEnumeration::setLister([] { return QStringList(); });
        window = std::make_unique<Vantrel>();
        VantrelProbe::pollTimer(*window).stop();
        if (!known)
            VantrelProbe::setModelIndex(*window, model);
    }

    Ui::VantrelClass &ui() { return VantrelProbe::ui(*window); }
    QList<ColorGroupBox *> boxes() { return { ui().on_off_groupBox, ui().vvt_on_off_groupBox }; }

    bool show()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    // The lamp-on display, arranged directly so that what an action leaves
    // untouched can be seen.
    void arrangeLampOn()
    {
        for (ColorGroupBox *box : boxes()) {
            box->fillColor = LampOnColour;
            box->setToolTip("Lamp is On");
        }
        VantrelProbe::setProjectorOn(*window, true);
    }

    // Shows the page that holds the button and clicks it.
    bool click(const QString &name)
    {
        auto *button = window->findChild<QAbstractButton *>(name);
        if (!button)
            return false;
        ui().model_stackedWidget->setCurrentIndex(name.startsWith("vvt") ? 1 : 0);
        if (!button->isVisible())
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    bool receive(const QByteArray &bytes)
    {
        if (!modem.write(bytes) || !modem.waitConsumed())
            return false;
        QSerialPort &port = VantrelProbe::serialPort(*window);
        for (int tick = 0; tick < 100 && port.bytesAvailable() > 0; ++tick)
            tickOnce();
        return port.bytesAvailable() == 0;
    }

    void tickOnce() { VantrelProbe::invoke(*window, "OnTimer"); }

    NullModem modem;
    std::unique_ptr<Vantrel> window;
};

} // namespace

class TestPower : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void powerOn_data();
    void powerOn();
    void confirmedPowerOff_data();
    void confirmedPowerOff();
    void lampReportPaintsBothBoxes_data();
    void lampReportPaintsBothBoxes();
    void closeConfirmation_data();
    void closeConfirmation();
    void lossOfContactKeepsTheLampState();
};

void TestPower::initTestCase()
{
    // Closing a test's window must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestPower::powerOn_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Acer") << 0 << QString("powerOn") << QByteArray("OKOKOKOKOK\r");
    QTest::newRow("Vivitek") << 1 << QString("vvtPowerOn") << QByteArray("V99S0001\r");
    QTest::newRow("InFocus") << 2 << QString("powerOn") << QByteArray("(PWR1)\r");
    QTest::newRow("Acer, Vivitek page button")
        << 0 << QString("vvtPowerOn") << QByteArray("OKOKOKOKOK\r");
    QTest::newRow("Vivitek, Acer page button")
        << 1 << QString("powerOn") << QByteArray("V99S0001\r");
    QTest::newRow("unknown family") << 7 << QString("powerOn") << QByteArray();
    QTest::newRow("negative family") << -1 << QString("vvtPowerOn") << QByteArray();
}

void TestPower::powerOn()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    rig.arrangeLampOn();

    QVERIFY(rig.click(button));
    QCOMPARE(rig.modem.readBytes(expected.size()), expected);
    QCOMPARE(rig.modem.expectSilence(200), QByteArray());
    for (ColorGroupBox *box : rig.boxes()) {
        QCOMPARE(box->fillColor, TransitionColour);
        QCOMPARE(box->toolTip(), QString("Lamp is On"));
    }
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), true);
}

void TestPower::confirmedPowerOff_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Acer, Yes") << 0 << QString("powerOff") << int(Yes)
                               << QByteArray("* 0 IR 002\r");
    QTest::newRow("Vivitek, Yes") << 1 << QString("vvtPowerOff") << int(Yes)
                                  << QByteArray("V99S0002\r");
    QTest::newRow("InFocus, Yes") << 2 << QString("powerOff") << int(Yes) << QByteArray("(PWR0)\r");
    QTest::newRow("Acer, Vivitek page button, Yes")
        << 0 << QString("vvtPowerOff") << int(Yes) << QByteArray("* 0 IR 002\r");
    QTest::newRow("InFocus, Vivitek page button, Yes")
        << 2 << QString("vvtPowerOff") << int(Yes) << QByteArray("(PWR0)\r");
    QTest::newRow("unknown family, Yes") << 5 << QString("powerOff") << int(Yes) << QByteArray();
    QTest::newRow("Acer, No") << 0 << QString("powerOff") << int(No) << QByteArray();
    QTest::newRow("Vivitek, No") << 1 << QString("vvtPowerOff") << int(No) << QByteArray();
    QTest::newRow("InFocus, No") << 2 << QString("powerOff") << int(No) << QByteArray();
    QTest::newRow("Acer, box closed")
        << 0 << QString("powerOff") << int(CloseTheBox) << QByteArray();
    QTest::newRow("Vivitek, box closed")
        << 1 << QString("vvtPowerOff") << int(CloseTheBox) << QByteArray();
}

void TestPower::confirmedPowerOff()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    rig.arrangeLampOn();

    BoxAnswerer answerer;
    if (answer == CloseTheBox)
        answerer.thenDrive([](QDialog *box) { box->close(); });
    else
        answerer.thenPress(answer == Yes ? QMessageBox::Yes : QMessageBox::No);
    QVERIFY(rig.click(button));
    // The off command is flushed before the slot returns, not left queued.
    QCOMPARE(VantrelProbe::serialPort(*rig.window).bytesToWrite(), qint64(0));
    QVERIFY(answerer.waitDone());

    const BoxAnswerer::Box box = answerer.box();
    QCOMPARE(box.title, QString("Turn off"));
    QCOMPARE(box.text, QString("Turn the projector off?"));
    QCOMPARE(int(box.buttons), int(QMessageBox::Yes | QMessageBox::No));
    QCOMPARE(box.parent, static_cast<const QObject *>(rig.window.get()));

    QCOMPARE(rig.modem.readBytes(expected.size()), expected);
    QCOMPARE(rig.modem.expectSilence(200), QByteArray());
    const QColor after = answer == Yes ? TransitionColour : LampOnColour;
    for (ColorGroupBox *box : rig.boxes()) {
        QCOMPARE(box->fillColor, after);
        QCOMPARE(box->toolTip(), QString("Lamp is On"));
    }
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), true);
}

void TestPower::lampReportPaintsBothBoxes_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("on");

    QTest::newRow("Acer on") << 0 << QByteArray("LAMP 1\r") << true;
    QTest::newRow("Acer off") << 0 << QByteArray("LAMP 0\r") << false;
    QTest::newRow("Vivitek on") << 1 << QByteArray("P1\r") << true;
    QTest::newRow("Vivitek off") << 1 << QByteArray("P0\r") << false;
}

void TestPower::lampReportPaintsBothBoxes()
{
    QFETCH(int, model);
    QFETCH(QByteArray, reply);
    QFETCH(bool, on);

    Rig rig(model);
    QVERIFY(rig.show());
    VantrelProbe::setProjectorOn(*rig.window, !on);
    // The first tick sends the status poll that the reply answers.
    rig.tickOnce();
    QVERIFY(!rig.modem.readBytes(1).isEmpty());
    rig.modem.drain();

    QVERIFY(rig.receive(reply));
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), on);
    // One box sits on the page that is not shown; it is painted all the same.
    QCOMPARE(rig.ui().on_off_groupBox->isVisible(), model != 1);
    QCOMPARE(rig.ui().vvt_on_off_groupBox->isVisible(), model == 1);
    for (ColorGroupBox *box : rig.boxes()) {
        QCOMPARE(box->fillColor, on ? LampOnColour : LampOffColour);
        QCOMPARE(box->toolTip(), QString(on ? "Lamp is On" : "Lamp is Off"));
    }
}

void TestPower::closeConfirmation_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("Acer, Yes") << 0 << true << int(Yes) << QByteArray("* 0 IR 002\r");
    QTest::newRow("Vivitek, Yes") << 1 << true << int(Yes) << QByteArray("V99S0002\r");
    QTest::newRow("InFocus, Yes") << 2 << true << int(Yes) << QByteArray("(PWR0)\r");
    QTest::newRow("Acer, No") << 0 << true << int(No) << QByteArray();
    QTest::newRow("Acer, box closed") << 0 << true << int(CloseTheBox) << QByteArray();
    QTest::newRow("lamp off, no question") << 0 << false << -1 << QByteArray();
}

void TestPower::closeConfirmation()
{
    QFETCH(int, model);
    QFETCH(bool, lampOn);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    VantrelProbe::setProjectorOn(*rig.window, lampOn);

    BoxAnswerer answerer;
    if (answer == CloseTheBox)
        answerer.thenDrive([](QDialog *box) { box->close(); });
    else if (answer == Yes || answer == No)
        answerer.thenPress(answer == Yes ? QMessageBox::Yes : QMessageBox::No);
    QVERIFY(rig.window->close());
    // Gone at once, with no event processed since the close: whatever reaches
    // the line now was written before the port closed.
    rig.window.reset();
    QVERIFY(answerer.waitDone());
    if (lampOn) {
        QCOMPARE(answerer.box().title, QString("Projector is on!"));
        QCOMPARE(answerer.box().text,
                 QString("The projectorn is On.\nDo you want to turn it off?"));
    }
    QCOMPARE(rig.modem.readBytes(expected.size()), expected);
    QCOMPARE(rig.modem.readAll(), QByteArray());
}

void TestPower::lossOfContactKeepsTheLampState()
{
    Rig rig(0);
    QVERIFY(rig.show());
    QVERIFY(rig.receive("LAMP 1\r"));
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), true);

    // Silent ticks until the indicator gives up on the projector.
    for (int tick = 0; tick < 49; ++tick)
        rig.tickOnce();
    for (ColorGroupBox *box : rig.boxes())
        QCOMPARE(box->fillColor, NoContactColour);
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), true);
    rig.modem.drain();

    // So closing still asks before the projector is left burning.
    BoxAnswerer answerer(QMessageBox::No);
    QVERIFY(rig.window->close());
    QVERIFY(answerer.waitDone());
    QCOMPARE(answerer.box().title, QString("Projector is on!"));
    QCOMPARE(rig.modem.expectSilence(200), QByteArray());
}

VANTREL_TEST_MAIN(TestPower)
#include "tst_power.moc"
