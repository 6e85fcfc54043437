// Vivitek replies: the state query paced by replies, lamp state, info lines,
// and what bad replies must not do. Ticks are run by hand, one per reply.

#include "colorgroupbox.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>

#include <memory>

namespace {

const QByteArray Poll = "V99G0007\r";

std::unique_ptr<Vantrel> openWindow(NullModem &modem, int model = 1)
{
    TestStore::seed({ { "ComPort", modem.portName() }, { "Model", model } });
    PortEnumeration::setLister([] { return QStringList(); });
    auto w = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*w).stop();
    return w;
}

void tick(Vantrel &w)
{
    QVERIFY(VantrelProbe::invoke(w, "OnTimer"));
}

// The projector's answer, taken in by one tick.
void answer(Vantrel &w, NullModem &modem, const QByteArray &bytes)
{
    QVERIFY(modem.write(bytes));
    QVERIFY(modem.waitConsumed());
    tick(w);
}

// Everything the window wrote since the last read, proved complete by a
// marker command behind it. The marker becomes the last command.
QByteArray sentSoFar(Vantrel &w, NullModem &modem)
{
    const QByteArray marker = "#mark#";
    VantrelProbe::sendCommand(w, marker);
    QByteArray out;
    while (!out.endsWith(marker + '\r')) {
        const QByteArray byte = modem.readBytes(1);
        if (byte.isEmpty())
            return out + "<marker missing>";
        out += byte;
    }
    out.chop(marker.size() + 1);
    return out;
}

QString log(Vantrel &w)
{
    return VantrelProbe::ui(w).textEdit->toPlainText();
}

QStringList linesWith(const QString &text, const QString &part)
{
    return text.split('\n').filter(part);
}

} // namespace

class TestVvtQuery : public QObject
{
    Q_OBJECT

private slots:
    void wholeQuery();
    void valueReplies_data();
    void valueReplies();
    void failureStallsQuery_data();
    void failureStallsQuery();
    void requeryRestartsQuery_data();
    void requeryRestartsQuery();
    void lampState_data();
    void lampState();
    void infoLines_data();
    void infoLines();
};

void TestVvtQuery::wholeQuery()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    auto w = openWindow(modem);
    const auto &ui = VantrelProbe::ui(*w);
    ui.debugCheckBox->setChecked(true);
    VantrelProbe::configure(*w, false); // applying Vivitek again restarts the query
    QVERIFY(log(*w).contains("QueryVvtSettings()\n"));
    ui.textEdit->clear();

    tick(*w);
    QCOMPARE(modem.readBytes(Poll.size()), Poll);

    const struct
    {
        const char *reply;
        const char *next;
    } steps[] = {
        { "P1\r", "V99G0319\r" },
        { "P2\r", "V99G0321\r" },
        { "P1\r", "V99G0308\r" },
        { "P3\r", "V99G0108\r" },
        { "P7\r", "V99G0220\r" },
        { "P9\r", "V99G0309\r" },
        { "P-3\r", "V99G0101\r" },
        { "P300\r", "V99G0102\r" },
        { "P5\r", "V99G0105\r" },
        { "P6\r", "V99G0106\r" },
        { "P0\r", "" },
    };
    for (const auto &step : steps) {
        answer(*w, modem, step.reply);
        const QByteArray next(step.next);
        if (!next.isEmpty())
            QCOMPARE(modem.readBytes(next.size()), next);
    }
    QCOMPARE(sentSoFar(*w, modem), QByteArray()); // nothing after the tenth

    const QStringList counts = linesWith(log(*w), " pending commands.");
    QStringList expectedCounts;
    for (int n = 9; n >= 0; --n)
        expectedCounts << QString::number(n) + " pending commands.";
    QCOMPARE(counts, expectedCounts);
    QVERIFY(VantrelProbe::pendingQueries(*w).isEmpty());

    QVERIFY(VantrelProbe::projectorOn(*w));
    QCOMPARE(ui.vvtLampModeCbx->currentText(), QString("Dynamic Eco"));
    QCOMPARE(ui.vvtLogoSelectCbx->currentText(), QString("Off"));
    QCOMPARE(ui.vvtDisplayModeCbx->currentText(), QString("User"));
    QCOMPARE(ui.vvtVideoSourceCbx->currentText(), QString("Display Port"));
    QCOMPARE(VantrelProbe::vvtKeystone(*w), -3);
    QCOMPARE(VantrelProbe::vvtBrightness(*w), 44);
    QCOMPARE(ui.vvtColorTempCbx->currentText(), QString("Warm"));

    // The next step starts from the reported values.
    ui.vvtKeyStoneUp->click();
    QCOMPARE(sentSoFar(*w, modem), QByteArray("V99S0309-2\r"));
    answer(*w, modem, "P\r");
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

void TestVvtQuery::valueReplies_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("target"); // a list's name, "keystone" or "brightness"
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("releases"); // a success reply sends the next queued query
    QTest::addColumn<bool>("failed");

    auto ok = [](const char *name, const char *command, const char *reply, const char *target,
                 int before, int expected) {
        QTest::newRow(name) << QByteArray(command) << QByteArray(reply) << QString(target) << before
                            << expected << true << false;
    };
    ok("keystone -3", "V99G0309", "P-3", "keystone", 5, -3);
    ok("keystone 253 is -3", "V99G0309", "P253", "keystone", 5, -3);
    ok("keystone 128 is -128", "V99G0309", "P128", "keystone", 5, -128);
    ok("keystone 300 is 44", "V99G0309", "P300", "keystone", 5, 44);
    ok("keystone not a number", "V99G0309", "P-x", "keystone", 5, 0);
    ok("keystone bare P", "V99G0309", "P", "keystone", 5, 0);
    ok("brightness 300 is 44", "V99G0101", "P300", "brightness", 5, 44);
    ok("brightness -1 is 255", "V99G0101", "P-1", "brightness", 5, 255);
    ok("brightness overflow", "V99G0101", "P99999999999", "brightness", 5, 0);
    ok("lamp mode Dynamic Eco", "V99G0319", "P2", "vvtLampModeCbx", 0, 3);
    ok("lamp mode beyond list", "V99G0319", "P3", "vvtLampModeCbx", 1, -1);
    ok("lamp mode -1 is empty", "V99G0319", "P-1", "vvtLampModeCbx", 1, 0);
    ok("lamp mode -9", "V99G0319", "P-9", "vvtLampModeCbx", 1, -1);
    ok("logo Off", "V99G0321", "P1", "vvtLogoSelectCbx", 0, 2);
    ok("source HDMI 2", "V99G0220", "P6", "vvtVideoSourceCbx", 0, 7);
    ok("source beyond list", "V99G0220", "P10", "vvtVideoSourceCbx", 1, -1);
    ok("source not a number", "V99G0220", "Pxyz", "vvtVideoSourceCbx", 3, 1);
    ok("display User", "V99G0108", "P7", "vvtDisplayModeCbx", 0, 8);
    ok("display with junk", "V99G0108", "P2\x01\xff", "vvtDisplayModeCbx", 0, 1);
    ok("colour temp Cold", "V99G0106", "P2", "vvtColorTempCbx", 0, 3);
    ok("projection mode unused", "V99G0308", "P3", "vvtLampModeCbx", 2, 2);

    QTest::newRow("lower-case p") << QByteArray("V99G0309") << QByteArray("p7")
                                  << QString("keystone") << 5 << 5 << false << true;
    QTest::newRow("failure") << QByteArray("V99G0319") << QByteArray("F") << "vvtLampModeCbx" << 2
                             << 2 << false << true;
    QTest::newRow("empty") << QByteArray("V99G0319") << QByteArray() << "vvtLampModeCbx" << 2 << 2
                           << false << false;
}

void TestVvtQuery::valueReplies()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, target);
    QFETCH(int, before);
    QFETCH(int, expected);
    QFETCH(bool, releases);
    QFETCH(bool, failed);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openWindow(modem);
    tick(*w);
    QCOMPARE(modem.readBytes(Poll.size()), Poll);

    auto *combo = w->findChild<QComboBox *>(target);
    auto value = [&] {
        if (combo)
            return combo->currentIndex();
        return target == "keystone" ? VantrelProbe::vvtKeystone(*w)
                                    : VantrelProbe::vvtBrightness(*w);
    };
    if (combo)
        combo->setCurrentIndex(before);
    else if (target == "keystone")
        VantrelProbe::setVvtKeystone(*w, std::int8_t(before));
    else
        VantrelProbe::setVvtBrightness(*w, std::uint8_t(before));
    QCOMPARE(value(), before);

    VantrelProbe::sendCommand(*w, command);
    QCOMPARE(modem.readBytes(command.size() + 1), command + '\r');
    answer(*w, modem, reply + '\r');

    QCOMPARE(value(), expected);
    QCOMPARE(VantrelProbe::vvtRequeryPending(*w), failed);
    // Only the first queued query, never a command from a list being moved.
    QCOMPARE(sentSoFar(*w, modem), releases ? QByteArray("V99G0319\r") : QByteArray());
    QCOMPARE(VantrelProbe::pendingQueries(*w).size(), releases ? 9 : 10);
}

void TestVvtQuery::failureStallsQuery_data()
{
    QTest::addColumn<QByteArray>("failure");
    QTest::addColumn<bool>("debug");

    QTest::newRow("F") << QByteArray("F") << true;
    QTest::newRow("lower-case p") << QByteArray("p1") << true;
    QTest::newRow("text") << QByteArray("ERR 5") << true;
    QTest::newRow("F, no debug") << QByteArray("F") << false;
}

void TestVvtQuery::failureStallsQuery()
{
    QFETCH(QByteArray, failure);
    QFETCH(bool, debug);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openWindow(modem);
    VantrelProbe::ui(*w).debugCheckBox->setChecked(debug);
    tick(*w);
    QCOMPARE(modem.readBytes(Poll.size()), Poll);
    answer(*w, modem, "P1\r");
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0319\r"));

    answer(*w, modem, failure + '\r');
    QVERIFY(VantrelProbe::vvtRequeryPending(*w));
    QCOMPARE(VantrelProbe::pendingQueries(*w).size(), 9);
    QCOMPARE(linesWith(log(*w), "Failed"),
             debug ? QStringList("V99G0319-> Failed") : QStringList());
    if (debug) {
        const QString text = log(*w);
        QVERIFY(text.indexOf("V99G0319-> Failed") < text.lastIndexOf("-> " + failure));
    }

    // Stalled: the next success reply, whatever it answers, resumes the list.
    answer(*w, modem, "P2\r");
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0321\r"));
    QCOMPARE(VantrelProbe::ui(*w).vvtLampModeCbx->currentIndex(), 3);
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

void TestVvtQuery::requeryRestartsQuery_data()
{
    QTest::addColumn<int>("switchTo"); // -1: stay with Vivitek
    QTest::addColumn<QByteArray>("poll");

    QTest::newRow("Vivitek") << -1 << Poll;
    QTest::newRow("switched to Acer") << 0 << QByteArray("* 0 Lamp ?\r");
    QTest::newRow("switched to InFocus") << 2 << QByteArray("(CST)\r");
}

void TestVvtQuery::requeryRestartsQuery()
{
    QFETCH(int, switchTo);
    QFETCH(QByteArray, poll);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openWindow(modem);
    VantrelProbe::ui(*w).debugCheckBox->setChecked(true);
    tick(*w); // tick 1
    QCOMPARE(modem.readBytes(Poll.size()), Poll);
    answer(*w, modem, "P1\r"); // tick 2
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0319\r"));
    answer(*w, modem, "F\r"); // tick 3
    QVERIFY(VantrelProbe::vvtRequeryPending(*w));

    if (switchTo >= 0) {
        TestStore::set("Model", switchTo);
        VantrelProbe::configure(*w, false);
        QCOMPARE(VantrelProbe::modelIndex(*w), switchTo);
    }
    const QString queried = "QueryVvtSettings()";
    const int queriedBefore = linesWith(log(*w), queried).size();

    // The re-query check falls on the first tick without a poll once more
    // than 100 ticks have passed: tick 102 of a fresh window.
    for (int n = 4; n <= 101; ++n)
        tick(*w);
    QVERIFY(VantrelProbe::vvtRequeryPending(*w));
    QCOMPARE(VantrelProbe::pendingQueries(*w).size(), 9);
    tick(*w);
    QVERIFY(!VantrelProbe::vvtRequeryPending(*w));
    // Polls went out at ticks 32, 63 and 94; the stalled query sent nothing.
    QCOMPARE(sentSoFar(*w, modem), poll + poll + poll);

    if (switchTo >= 0) {
        QCOMPARE(linesWith(log(*w), queried).size(), queriedBefore);
        QCOMPARE(VantrelProbe::pendingQueries(*w).size(), 9);
        return;
    }
    QCOMPARE(linesWith(log(*w), queried).size(), queriedBefore + 1);
    QCOMPARE(VantrelProbe::pendingQueries(*w).size(), 10);

    answer(*w, modem, "P1\r"); // tick 103
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0319\r"));
    QVERIFY(log(*w).endsWith("9 pending commands.\n-> P1\n"));

    // With the flag cleared, the next check (tick 203) leaves the query alone.
    for (int n = 104; n <= 203; ++n)
        tick(*w);
    QCOMPARE(linesWith(log(*w), queried).size(), queriedBefore + 1);
    QCOMPARE(VantrelProbe::pendingQueries(*w).size(), 9);
}

void TestVvtQuery::lampState_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("on");

    QTest::newRow("P0") << QByteArray("P0") << false;
    QTest::newRow("P1") << QByteArray("P1") << true;
    QTest::newRow("P2") << QByteArray("P2") << true;
    QTest::newRow("P") << QByteArray("P") << true;
    QTest::newRow("P00") << QByteArray("P00") << true;
}

void TestVvtQuery::lampState()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, on);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openWindow(modem);
    VantrelProbe::setProjectorOn(*w, !on);
    tick(*w);
    QCOMPARE(modem.readBytes(Poll.size()), Poll);
    answer(*w, modem, reply + '\r');

    const auto &ui = VantrelProbe::ui(*w);
    const QColor colour = on ? QColor(255, 220, 0) : QColor(50, 100, 255);
    const QString toolTip = on ? "Lamp is On" : "Lamp is Off";
    QCOMPARE(VantrelProbe::projectorOn(*w), on);
    for (ColorGroupBox *box : { ui.on_off_groupBox, ui.vvt_on_off_groupBox }) {
        QCOMPARE(box->fillColor, colour);
        QCOMPARE(box->toolTip(), toolTip);
    }
}

void TestVvtQuery::infoLines_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("debug");

    const QByteArray hours = "V99G0004";
    const QByteArray firmware = "V99G0008";
    QTest::newRow("hours") << "vvtLampTime" << hours << QByteArray("P1250") << "Lamp Time = 1250 h"
                           << false;
    QTest::newRow("hours bare P") << "vvtLampTime" << hours << QByteArray("P") << "Lamp Time = 0 h"
                                  << false;
    QTest::newRow("hours not a number")
        << "vvtLampTime" << hours << QByteArray("P12a") << "Lamp Time = 0 h" << false;
    QTest::newRow("firmware") << "vvtFirmware" << firmware << QByteArray("PV1.07 B") << "V1.07 B"
                              << false;
    QTest::newRow("firmware bare P")
        << "vvtFirmware" << firmware << QByteArray("P") << QString() << false;
    QTest::newRow("hours, debug") << "vvtLampTime" << hours << QByteArray("P1250")
                                  << "Lamp Time = 1250 h" << true;
    QTest::newRow("firmware, debug")
        << "vvtFirmware" << firmware << QByteArray("PV1.07") << "V1.07" << true;
}

void TestVvtQuery::infoLines()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, line);
    QFETCH(bool, debug);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openWindow(modem);
    const auto &ui = VantrelProbe::ui(*w);
    ui.debugCheckBox->setChecked(debug);
    tick(*w);
    QCOMPARE(modem.readBytes(Poll.size()), Poll);

    auto *clicked = w->findChild<QAbstractButton *>(button);
    QVERIFY(clicked);
    clicked->click();
    QCOMPARE(modem.readBytes(command.size() + 1), command + '\r');
    ui.textEdit->clear();
    answer(*w, modem, reply + '\r');
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0319\r")); // the query, queued at start

    const QString text = log(*w);
    if (!debug) {
        // The answer is shown whether debugging or not, and nothing else is.
        QCOMPARE(text, line + '\n');
        return;
    }
    // The handler's line, then the released query's count, then the reply.
    const int answerAt = text.indexOf('\n' + line + '\n');
    const int countAt = text.indexOf("\n9 pending commands.\n");
    const int replyAt = text.indexOf("\n-> " + QString::fromLatin1(reply) + '\n');
    QVERIFY2(answerAt >= 0 && answerAt < countAt && countAt < replyAt, qPrintable(text));
}

VANTREL_TEST_MAIN(TestVvtQuery)
#include "tst_vvtquery.moc"
