// InFocus: its own power and poll commands, replies framed at ")" that keep
// contact, lift the box out of the no-contact colour and do nothing else. Line speed:
// tst_seriallink; framing across ticks: tst_pollcycle.

#include "colorgroupbox.h"
#include "rig.h"
#include "testmain.h"

#include <QTest>

class TestInFocus : public QObject
{
    Q_OBJECT

private slots:
    void commands();
    void replyOnlyRestoresContact_data();
    void replyOnlyRestoresContact();
};

void TestInFocus::commands()
{
    Rig rig(2);
    rig.tick();
    QCOMPARE(rig.sent(), QByteArray("(CST)\r"));
    rig.ui().powerOn->click();
    QCOMPARE(rig.sent(), QByteArray("(PWR1)\r"));
}

void TestInFocus::replyOnlyRestoresContact_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("left"); // replyBuffer after one more tick

    QTest::newRow("bracket") << QByteArray("(0)") << false << true << QString();
    QTest::newRow("bracket CR") << QByteArray("(1)\r") << true << true << QString("\r");
    QTest::newRow("CR inside") << QByteArray("(1\r)") << false << true << QString();
    QTest::newRow("two replies") << QByteArray("(0)(1)") << true << true << QString();
    QTest::newRow("no bracket yet") << QByteArray("(0\r") << false << false << QString("(0\r");
    // Texts that would mean something to the other families' handlers.
    QTest::newRow("Acer lamp on") << QByteArray("LAMP 1)") << false << true << QString();
    QTest::newRow("Vivitek lamp off") << QByteArray("P0)") << true << true << QString();
    QTest::newRow("Acer refusal") << QByteArray("*001)") << true << true << QString();
}

void TestInFocus::replyOnlyRestoresContact()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, lampOn);
    QFETCH(bool, complete);
    QFETCH(QString, left);

    Rig rig(2);
    Ui::VantrelClass &ui = rig.ui();
    VantrelProbe::setProjectorOn(rig.window(), lampOn);
    rig.tick();
    rig.sent();
    QVERIFY(!rig.showsContact());
    const QStringList toolTips
        = { ui.on_off_groupBox->toolTip(), ui.vvt_on_off_groupBox->toolTip() };
    const QColor colour = rig.boxColour();

    QVERIFY(rig.modem.write(bytes));
    QVERIFY(rig.modem.waitConsumed());
    rig.tick();
    QCOMPARE(rig.showsContact(), complete);
    QCOMPARE(VantrelProbe::contactCounter(rig.window()), complete ? 1 : 50);
    rig.tick();
    QCOMPARE(VantrelProbe::replyBuffer(rig.window()), left);

    QCOMPARE(VantrelProbe::projectorOn(rig.window()), lampOn);
    QVERIFY(!VantrelProbe::vvtRequeryPending(rig.window())); // no Vivitek handler either
    QCOMPARE(rig.log(), QString());
    // No reply tells the lamp state: in contact, the box shows the transition colour.
    QCOMPARE(colour, Rig::NoContactColour);
    QCOMPARE(rig.boxColour(), complete ? Rig::TransitionColour : colour);
    QVERIFY(rig.boxesAgree());
    QCOMPARE(ui.on_off_groupBox->toolTip(), toolTips.at(0));
    QCOMPARE(ui.vvt_on_off_groupBox->toolTip(), toolTips.at(1));
    QCOMPARE(rig.sent(), QByteArray());
}

VANTREL_TEST_MAIN(TestInFocus)
#include "tst_infocus.moc"
