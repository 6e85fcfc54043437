// Vivitek replies: the state query they pace, what each sets, what bad ones must not do.

#include "projectormodel.h"
#include "rig.h"
#include "testmain.h"

#include <QComboBox>
#include <QTest>

namespace {

const QByteArray Poll = "V99G0007\r";
const QByteArray FirstQuery = "V99G0319\r";

// The first tick sends the status poll, which the next reply answers.
void firstPoll(Rig &rig)
{
    rig.tick();
    QCOMPARE(rig.modem.readBytes(Poll.size()), Poll);
}

int countLines(const QString &text, const QString &part)
{
    return text.split('\n').filter(part).size();
}

// The simulator's Vivitek projector on the far side of the null-modem, run on
// the test's clock: each tick of the window is 100 ms for it too.
class FarProjector
{
public:
    FarProjector(Rig &rig, const ProjectorModel::Options &options)
        : rig(rig)
        , model(options, 0)
    { }

    // The projector takes in what the window sent and answers what is due;
    // then the window ticks. lost: a command whose reply never comes.
    bool tick(const QByteArray &lost = QByteArray())
    {
        QByteArray heard = rig.modem.readAll();
        if (!lost.isEmpty() && heard.contains(lost + '\r') && !lostOnce) {
            heard.replace(lost + '\r', QByteArray());
            lostOnce = true;
        }
        model.receive(heard, now);
        const QByteArray said = model.takeOutput(now);
        if (!said.isEmpty() && !(rig.modem.write(said) && rig.modem.waitConsumed()))
            return false;
        rig.tick();
        now += 100;
        return true;
    }

    // Settings that no answer to the poll could be mistaken for, then the
    // lamp off: a reply taken for the wrong command shows in the lists.
    void preset()
    {
        model.receive("V99S01085\rV99S0209\rV99S03212\rV99S03192\rV99S01062\rV99S030905\r"
                      "V99S010170\rV99S0002\r",
                      now);
        model.takeOutput(now + 1000000);
        now += 1000000;
    }

private:
    Rig &rig;
    ProjectorModel model;
    qint64 now = 0;
    bool lostOnce = false;
};

} // namespace

class TestVvtQuery : public QObject
{
    Q_OBJECT

private slots:
    void wholeQuery();
    void replies_data();
    void replies();
    void failureStallsUntilRequery_data();
    void failureStallsUntilRequery();
    void lateAnswers_data();
    void lateAnswers();
};

void TestVvtQuery::wholeQuery()
{
    Rig rig(1, true);
    firstPoll(rig);
    const char *queries[] = { "V99G0319", "V99G0321", "V99G0308", "V99G0108", "V99G0220",
                              "V99G0309", "V99G0101", "V99G0102", "V99G0105", "V99G0106" };
    const char *replies[] = { "P1", "P2", "P1", "P3", "P7", "P9", "P-3", "P300", "P5", "P6" };
    for (int i = 0; i < 10; ++i) {
        QVERIFY(rig.receive(QByteArray(replies[i]) + '\r'));
        QCOMPARE(rig.modem.readBytes(9), QByteArray(queries[i]) + '\r');
        const QString tail = QString("\n%1 pending commands.\n-> %2\n").arg(9 - i).arg(replies[i]);
        QVERIFY2(rig.log().endsWith(tail), qPrintable(rig.log()));
    }
    QVERIFY(rig.receive("P0\r"));
    QCOMPARE(rig.sent(), QByteArray()); // nothing after the tenth
    QCOMPARE(countLines(rig.log(), " pending commands."), 10);

    const auto &ui = rig.ui();
    QVERIFY(VantrelProbe::projectorOn(rig.window()));
    const QStringList lists
        = { ui.vvtLampModeCbx->currentText(), ui.vvtLogoSelectCbx->currentText(),
            ui.vvtDisplayModeCbx->currentText(), ui.vvtVideoSourceCbx->currentText(),
            ui.vvtColorTempCbx->currentText() };
    QCOMPARE(lists, QStringList({ "Dynamic Eco", "Off", "User", "Display Port", "Warm" }));
    QCOMPARE(VantrelProbe::vvtKeystone(rig.window()), -3);
    QCOMPARE(VantrelProbe::vvtBrightness(rig.window()), 44);

    QVERIFY(rig.receive("P\r")); // a later success sends nothing either
    QCOMPARE(rig.sent(), QByteArray());
}

void TestVvtQuery::replies_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("target"); // a list, "keystone", "brightness", "lamp" or "log"
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, const char *command, const char *reply, const char *target,
                  int before, const char *expected) {
        QTest::newRow(name) << QByteArray(command) << QByteArray(reply) << QString(target) << before
                            << QString(expected);
    };
    row("keystone 253 is -3", "V99G0309", "P253", "keystone", 5, "-3");
    row("keystone 128 is -128", "V99G0309", "P128", "keystone", 5, "-128");
    row("keystone 300 is 44", "V99G0309", "P300", "keystone", 5, "44");
    row("keystone not a number", "V99G0309", "P-x", "keystone", 5, "0");
    row("keystone bare P", "V99G0309", "P", "keystone", 5, "0");
    row("brightness -1 is 255", "V99G0101", "P-1", "brightness", 5, "255");
    row("brightness overflow", "V99G0101", "P99999999999", "brightness", 5, "0");
    row("lamp mode beyond list", "V99G0319", "P3", "vvtLampModeCbx", 1, "-1");
    row("lamp mode -1 is empty", "V99G0319", "P-1", "vvtLampModeCbx", 1, "0");
    row("source HDMI 2", "V99G0220", "P6", "vvtVideoSourceCbx", 0, "7");
    row("source beyond list", "V99G0220", "P10", "vvtVideoSourceCbx", 1, "-1");
    row("source largest int", "V99G0220", "P2147483647", "vvtVideoSourceCbx", 1, "-1");
    row("source not a number", "V99G0220", "Pxyz", "vvtVideoSourceCbx", 3, "1");
    row("display with junk", "V99G0108", "P2\x01\xff", "vvtDisplayModeCbx", 0, "1");
    row("projection mode unused", "V99G0308", "P3", "vvtLampModeCbx", 2, "2");
    // Only "P0" is off; any other success reply to the poll is on.
    row("poll P0", "V99G0007", "P0", "lamp", 1, "Lamp is Off");
    row("poll P1", "V99G0007", "P1", "lamp", 0, "Lamp is On");
    row("poll P2", "V99G0007", "P2", "lamp", 0, "Lamp is On");
    row("poll bare P", "V99G0007", "P", "lamp", 0, "Lamp is On");
    row("poll P00", "V99G0007", "P00", "lamp", 0, "Lamp is On");
    // Blanks and control characters around it are strays.
    row("poll P0 and a blank", "V99G0007", "P0 ", "lamp", 1, "Lamp is Off");
    row("poll P0, LF before the CR", "V99G0007", "P0\n", "lamp", 1, "Lamp is Off");
    row("poll P0, tab and SOH", "V99G0007", "P0\t\x01", "lamp", 1, "Lamp is Off");
    // Shown also without debugging, and nothing else is.
    row("hours", "V99G0004", "P1250", "log", 0, "Lamp Time = 1250 h\n");
    row("hours not a number", "V99G0004", "P12a", "log", 0, "Lamp Time = 0 h\n");
    row("firmware", "V99G0008", "PV1.07 B", "log", 0, "V1.07 B\n");
    row("firmware bare P", "V99G0008", "P", "log", 0, "\n");
}

void TestVvtQuery::replies()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, target);
    QFETCH(int, before);
    QFETCH(QString, expected);

    Rig rig(1);
    Vantrel &w = rig.window();
    // With the lamp on every list sends when chosen, so a list moved by a reply would show.
    VantrelProbe::setProjectorOn(w, true);
    auto *combo = w.findChild<QComboBox *>(target);
    if (combo)
        combo->setCurrentIndex(before);
    else if (target == "keystone")
        VantrelProbe::setVvtKeystone(w, std::int8_t(before));
    else if (target == "brightness")
        VantrelProbe::setVvtBrightness(w, std::uint8_t(before));
    else if (target == "lamp")
        VantrelProbe::setProjectorOn(w, before);

    VantrelProbe::sendCommand(w, command);
    QCOMPARE(rig.modem.readBytes(command.size() + 1), command + '\r');
    QVERIFY(rig.receive(reply + '\r'));

    const QString value = combo  ? QString::number(combo->currentIndex())
        : target == "keystone"   ? QString::number(VantrelProbe::vvtKeystone(w))
        : target == "brightness" ? QString::number(VantrelProbe::vvtBrightness(w))
        : target == "lamp"       ? rig.ui().vvt_on_off_groupBox->toolTip()
                                 : rig.log();
    QCOMPARE(value, expected);
    if (target == "lamp") {
        const bool on = VantrelProbe::projectorOn(w);
        QCOMPARE(on, expected == "Lamp is On");
        QCOMPARE(rig.boxColour(), on ? Rig::LampOnColour : Rig::LampOffColour);
        QVERIFY(rig.boxesAgree());
        QCOMPARE(rig.ui().on_off_groupBox->toolTip(), expected);
    }
    QVERIFY(!VantrelProbe::vvtRequeryPending(w));
    // Only the first queued query, never a command from a list being moved;
    // the tick's poll waits while that query is unanswered.
    QCOMPARE(rig.sent(), FirstQuery);
    QCOMPARE(VantrelProbe::pendingQueries(w).size(), 9);
}

void TestVvtQuery::failureStallsUntilRequery_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<bool>("failure"); // an empty reply is neither failure nor success
    QTest::addColumn<int>("switchTo"); // -1: stay with Vivitek
    QTest::addColumn<QByteArray>("poll");

    auto row = [](const char *name, const char *reply, bool debug, bool failure, int switchTo,
                  const QByteArray &poll) {
        QTest::newRow(name) << QByteArray(reply) << debug << failure << switchTo << poll;
    };
    row("F", "F", true, true, -1, Poll);
    row("lower-case p", "p1", true, true, -1, Poll);
    row("text", "ERR 5", true, true, -1, Poll);
    row("F, no debug", "F", false, true, -1, Poll);
    row("empty", "", true, false, -1, Poll);
    row("F, switched to Acer", "F", true, true, 0, "* 0 Lamp ?\r");
    row("F, switched to InFocus", "F", true, true, 2, "(CST)\r");
}

void TestVvtQuery::failureStallsUntilRequery()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, debug);
    QFETCH(bool, failure);
    QFETCH(int, switchTo);
    QFETCH(QByteArray, poll);

    Rig rig(1, debug);
    Vantrel &w = rig.window();
    QComboBox *lampMode = rig.ui().vvtLampModeCbx;
    lampMode->setCurrentIndex(2);
    firstPoll(rig); // tick 1
    QVERIFY(rig.receive("P1\r")); // tick 2
    QCOMPARE(rig.modem.readBytes(FirstQuery.size()), FirstQuery);

    QVERIFY(rig.receive(reply + '\r')); // tick 3
    QCOMPARE(VantrelProbe::vvtRequeryPending(w), failure);
    QCOMPARE(VantrelProbe::pendingQueries(w).size(), 9);
    QCOMPARE(lampMode->currentIndex(), 2);
    QCOMPARE(countLines(rig.log(), "Failed"), debug && failure ? 1 : 0);
    if (debug && failure)
        QVERIFY(rig.log().indexOf("\nV99G0319-> Failed\n") < rig.log().lastIndexOf("-> " + reply));

    // Stalled: the next success reply, whatever it answers, resumes the list.
    VantrelProbe::sendCommand(w, "V99G0007"); // tick 3
    QCOMPARE(rig.modem.readBytes(Poll.size()), Poll);
    QVERIFY(rig.receive("P0\r")); // tick 4
    QCOMPARE(rig.modem.readBytes(9), QByteArray("V99G0321\r"));
    // The answer went to the command it answers: the poll after a failure,
    // else the still unanswered lamp-mode query.
    QCOMPARE(lampMode->currentIndex(), failure ? 2 : 1);
    QCOMPARE(VantrelProbe::projectorOn(w), failure ? false : true);
    if (switchTo >= 0) {
        TestStore::set("Model", switchTo);
        VantrelProbe::configure(w, false);
        QCOMPARE(VantrelProbe::modelIndex(w), switchTo);
    }
    const int queried = countLines(rig.log(), "QueryVvtSettings()");

    // A failure is remembered until the first tick without a poll after tick 101.
    rig.tick(97);
    QCOMPARE(VantrelProbe::vvtRequeryPending(w), failure);
    rig.tick(); // tick 102
    QVERIFY(!VantrelProbe::vvtRequeryPending(w));
    // Polls went out at ticks 32, 63 and 94, and nothing else; a Vivitek poll
    // only once the unanswered V99G0321 was given up.
    QCOMPARE(rig.sent(), switchTo < 0 ? poll : poll + poll + poll);
    const bool requeried = failure && switchTo < 0;
    QCOMPARE(countLines(rig.log(), "QueryVvtSettings()"), queried + (requeried && debug ? 1 : 0));
    // A change of family forgets the queries of the old one.
    QCOMPARE(VantrelProbe::pendingQueries(w).size(), requeried ? 10 : switchTo < 0 ? 8 : 0);
    if (requeried) {
        QVERIFY(rig.receive("P1\r"));
        QCOMPARE(rig.modem.readBytes(FirstQuery.size()), FirstQuery);
    }
}

// Real projectors answer late, after the next poll or click has gone out,
// and end lines with CR LF; a reply may get lost or the user may switch
// family while the state query runs.
void TestVvtQuery::lateAnswers_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QByteArray>("lost");
    QTest::addColumn<int>("switchAt"); // the tick of a switch to InFocus and back; 0: none
    QTest::addColumn<QList<int>>("clicks"); // ticks at which "Lamp Time" is clicked

    const QList<int> none;
    QTest::newRow("after 0.25 s") << 250 << false << QByteArray() << 0 << none;
    QTest::newRow("after 0.5 s") << 500 << false << QByteArray() << 0 << none;
    QTest::newRow("after 4 s, warming up") << 4000 << false << QByteArray() << 0 << none;
    QTest::newRow("CR LF") << 250 << true << QByteArray() << 0 << none;
    QTest::newRow("display mode reply lost") << 250 << false << QByteArray("V99G0108") << 0 << none;
    QTest::newRow("poll reply lost") << 250 << false << QByteArray("V99G0007") << 0 << none;
    QTest::newRow("switched to InFocus and back") << 500 << false << QByteArray() << 14 << none;
    // Clicks while a query command still waits for its answer.
    QTest::newRow("clicks during the query")
        << 500 << false << QByteArray() << 0 << QList<int> { 5, 9, 12, 40 };
    // Around a lost reply a click's answer can be taken for another; the next
    // state query, and every later click, are right again.
    QTest::newRow("clicks, a reply lost")
        << 500 << false << QByteArray("V99G0220") << 400 << QList<int> { 5, 9, 12, 40, 700 };
}

void TestVvtQuery::lateAnswers()
{
    QFETCH(int, delayMs);
    QFETCH(bool, crlf);
    QFETCH(QByteArray, lost);
    QFETCH(int, switchAt);
    QFETCH(QList<int>, clicks);

    Rig rig(1);
    Vantrel &w = rig.window();
    ProjectorModel::Options options;
    options.family = ProjectorModel::Family::Vivitek;
    options.lampOn = true;
    options.warmupMs = options.cooldownMs = 0;
    options.delayMs = delayMs;
    options.lineEnd = crlf ? ProjectorModel::LineEnd::CrLf : ProjectorModel::LineEnd::Cr;
    FarProjector projector(rig, options);
    projector.preset();

    for (int tick = 1; tick <= 800; ++tick) {
        QVERIFY(projector.tick(lost));
        // The lamp is off: nothing may ever show it on.
        QVERIFY2(!VantrelProbe::projectorOn(w), qPrintable(QString::number(tick)));
        QVERIFY(rig.boxColour() != Rig::LampOnColour);
        if (clicks.contains(tick))
            rig.ui().vvtLampTime->click();
        if (switchAt && (tick == switchAt || tick == switchAt + 5)) {
            TestStore::set("Model", tick == switchAt ? 2 : 1);
            VantrelProbe::configure(w, false);
        }
    }
    const auto &ui = rig.ui();
    const QStringList lists
        = { ui.vvtLampModeCbx->currentText(), ui.vvtLogoSelectCbx->currentText(),
            ui.vvtDisplayModeCbx->currentText(), ui.vvtVideoSourceCbx->currentText(),
            ui.vvtColorTempCbx->currentText() };
    // A lost reply leaves its list as it was; nothing else moves.
    const QString display = lost == "V99G0108" ? QString() : QStringLiteral("sRGB");
    QCOMPARE(lists, QStringList({ "Dynamic Eco", "User", display, "Component", "Cold" }));
    // One right line a click; after a lost reply, the last click is right again.
    const QStringList hours = rig.log().split('\n').filter("Lamp Time");
    QStringList right;
    for (int i = 0; i < clicks.size(); ++i)
        right << "Lamp Time = 1250 h";
    if (lost.isEmpty())
        QCOMPARE(hours, right);
    else
        QCOMPARE(hours.mid(hours.size() - 1), right.mid(right.size() - 1));
    QCOMPARE(VantrelProbe::vvtKeystone(w), 5);
    QCOMPARE(VantrelProbe::vvtBrightness(w), 70);
    QCOMPARE(rig.boxColour(), Rig::LampOffColour);
    QVERIFY(VantrelProbe::pendingQueries(w).isEmpty());
}

VANTREL_TEST_MAIN(TestVvtQuery)
#include "tst_vvtquery.moc"
