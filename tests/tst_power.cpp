// Power buttons and the off confirmations, checked on the far end of the null-modem.

#include "boxanswerer.h"
#include "colorgroupbox.h"
#include "rig.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QTest>

namespace {

enum Answer { NoQuestion, Yes, No, CloseTheBox };

void expectAnswer(BoxAnswerer &answerer, int answer)
{
    if (answer == CloseTheBox)
        answerer.thenDrive([](QDialog *box) { box->close(); });
    else if (answer != NoQuestion)
        answerer.thenPress(answer == Yes ? QMessageBox::Yes : QMessageBox::No);
}

} // namespace

class TestPower : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void powerButtons_data();
    void powerButtons();
    void closeConfirmation_data();
    void closeConfirmation();
};

void TestPower::initTestCase()
{
    // Closing a test's window must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestPower::powerButtons_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("expected");

    const auto row = [](const char *name, int model, const char *button, Answer answer,
                        const QByteArray &expected) {
        QTest::newRow(name) << model << QString(button) << int(answer) << expected;
    };
    row("Acer on", 0, "powerOn", NoQuestion, "OKOKOKOKOK\r");
    row("Vivitek on", 1, "vvtPowerOn", NoQuestion, "V99S0001\r");
    row("InFocus on", 2, "powerOn", NoQuestion, "(PWR1)\r");
    row("Acer, Vivitek page on", 0, "vvtPowerOn", NoQuestion, "OKOKOKOKOK\r");
    row("Vivitek, Acer page on", 1, "powerOn", NoQuestion, "V99S0001\r");
    row("unknown family on", 7, "powerOn", NoQuestion, "");
    row("Acer off, Yes", 0, "powerOff", Yes, "* 0 IR 002\r");
    row("Vivitek off, Yes", 1, "vvtPowerOff", Yes, "V99S0002\r");
    row("InFocus off, Yes", 2, "powerOff", Yes, "(PWR0)\r");
    row("Acer, Vivitek page off, Yes", 0, "vvtPowerOff", Yes, "* 0 IR 002\r");
    row("InFocus, Vivitek page off, Yes", 2, "vvtPowerOff", Yes, "(PWR0)\r");
    row("negative family off, Yes", -1, "powerOff", Yes, "");
    row("Acer off, No", 0, "powerOff", No, "");
    row("Vivitek off, No", 1, "vvtPowerOff", No, "");
    row("Acer off, box closed", 0, "powerOff", CloseTheBox, "");
}

void TestPower::powerButtons()
{
    QFETCH(int, model);
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);

    // A family outside 0..2 is what a bad stored value would leave behind.
    const bool known = model >= 0 && model <= 2;
    Rig rig(known ? model : 0);
    if (!known)
        VantrelProbe::setModelIndex(rig.window(), model);
    QVERIFY(rig.show());
    // The lamp-on display, arranged directly so that what the click leaves shows.
    for (ColorGroupBox *box : { rig.ui().on_off_groupBox, rig.ui().vvt_on_off_groupBox }) {
        box->fillColor = Rig::LampOnColour;
        box->setToolTip("Lamp is On");
    }
    VantrelProbe::setProjectorOn(rig.window(), true);

    BoxAnswerer answerer;
    expectAnswer(answerer, answer);
    rig.ui().model_stackedWidget->setCurrentIndex(button.startsWith("vvt") ? 1 : 0);
    QAbstractButton *target = rig.button(button);
    QVERIFY(target && target->isVisible());
    QTest::mouseClick(target, Qt::LeftButton);
    if (answer != NoQuestion) {
        // The off command is flushed before the slot returns, not left queued.
        QCOMPARE(VantrelProbe::serialPort(rig.window()).bytesToWrite(), qint64(0));
        QCOMPARE(answerer.box().title, QString("Turn off"));
        QCOMPARE(answerer.box().text, QString("Turn the projector off?"));
        QCOMPARE(int(answerer.box().buttons), int(QMessageBox::Yes | QMessageBox::No));
        QCOMPARE(answerer.box().parent, static_cast<const QObject *>(&rig.window()));
    }
    QVERIFY(answerer.waitDone());

    QCOMPARE(rig.sent(), expected);
    QVERIFY(rig.boxesAgree());
    QCOMPARE(rig.boxColour(),
             answer == No || answer == CloseTheBox ? Rig::LampOnColour : Rig::TransitionColour);
    for (ColorGroupBox *box : { rig.ui().on_off_groupBox, rig.ui().vvt_on_off_groupBox })
        QCOMPARE(box->toolTip(), QString("Lamp is On"));
    QCOMPARE(VantrelProbe::projectorOn(rig.window()), true);
}

void TestPower::closeConfirmation_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("lost"); // "contact", the "port", or nothing
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("expected");

    // Acer's Yes and No and the lamp-off close are in tst_window.
    QTest::newRow("Vivitek, Yes") << 1 << QString() << int(Yes) << QByteArray("V99S0002\r");
    QTest::newRow("InFocus, Yes") << 2 << QString() << int(Yes) << QByteArray("(PWR0)\r");
    QTest::newRow("Acer, box closed") << 0 << QString() << int(CloseTheBox) << QByteArray();
    QTest::newRow("Acer, contact lost, No") << 0 << "contact" << int(No) << QByteArray();
    // Nothing can go out: the user is told, not left to believe it did.
    QTest::newRow("Vivitek, port lost, Yes") << 1 << "port" << int(Yes) << QByteArray();
    QTest::newRow("Acer, port lost, No") << 0 << "port" << int(No) << QByteArray();
}

void TestPower::closeConfirmation()
{
    QFETCH(int, model);
    QFETCH(QString, lost);
    QFETCH(int, answer);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    ProjectorLink &port = VantrelProbe::serialPort(rig.window());
    if (lost == "contact") {
        // Losing contact repaints the boxes but must not forget the lamp burns.
        QVERIFY(rig.receive("LAMP 1\r"));
        rig.tick(49);
        QCOMPARE(rig.boxColour(), Rig::NoContactColour);
        rig.sent();
    } else {
        VantrelProbe::setProjectorOn(rig.window(), true);
    }

    if (lost == "port") {
        rig.modem.unplug();
        QTRY_VERIFY(!port.isOpen());
    }

    BoxAnswerer answerer;
    expectAnswer(answerer, answer);
    const bool told = lost == "port" && answer == Yes;
    if (told)
        answerer.thenPress(QMessageBox::Ok);
    QVERIFY(rig.window().close());
    // The port closes with the window: the command must already be out.
    QCOMPARE(port.bytesToWrite(), qint64(0));
    QVERIFY2(answerer.waitDone(), qPrintable(answerer.problems()));
    QCOMPARE(answerer.box().title, QString("Projector is on!"));
    if (told) {
        QCOMPARE(answerer.box(1).title, QString("Projector not switched off"));
        QVERIFY2(answerer.box(1).text.contains("device lost"), qPrintable(answerer.box(1).text));
    }
    if (lost != "port")
        QCOMPARE(rig.sent(), expected);
}

VANTREL_TEST_MAIN(TestPower)
#include "tst_power.moc"
