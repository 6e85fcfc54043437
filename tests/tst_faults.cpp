// Faults at the port and on the line: the program carries on, stays responsive and shows them.
// ctest-properties: LABELS faults TIMEOUT 300

#include "framing.h"
#include "portenumeration.h"
#include "rig.h"
#include "simprocess.h"
#include "testmain.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

struct Family
{
    const char *name;
    QByteArray poll, lampOn, lampOff; // replies as the handler gets them
};

// Indexed by the family's model number.
const Family Families[] = {
    { "acer", "* 0 Lamp ?", "Lamp 1", "Lamp 0" },
    { "vivitek", "V99G0007", "P1", "P0" },
    { "infocus", "(CST)", "(0-3,1)", "(0-3,0)" },
};

void familyRows()
{
    QTest::addColumn<int>("model");
    for (int model = 0; model < 3; ++model)
        QTest::newRow(Families[model].name) << model;
}

// InFocus replies end with their ")"; the others need a carriage return.
QByteArray onWire(int model, const QByteArray &reply)
{
    return model == 2 ? reply : reply + '\r';
}

// Every byte, NUL included (the QByteArray overload stops at the first NUL).
QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.constData(), bytes.size());
}

// A queued event is handled within a generous bound: this detects hangs, not speed.
bool stillResponsive(Rig &rig)
{
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        &rig.window(), [handled] { *handled = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([handled] { return *handled; }, 10000);
}

bool pressOkInSettings(Rig &rig)
{
    DialogDriver settings([](QDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
    });
    rig.ui().actionSettings->trigger();
    return settings.waitDone();
}

// Moves the rig's window to another port, the way a start with it stored would.
void storeAndApply(Rig &rig, const QString &port)
{
    TestStore::set(QStringLiteral("ComPort"), port);
    PortEnumeration::setLister([port] { return QStringList(port); });
    VantrelProbe::configure(rig.window(), false);
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void portComesBack_data();
    void portComesBack();
    void replugForgetsWhatWasUnderWay_data();
    void replugForgetsWhatWasUnderWay();
    void projectorNeverAnswers_data() { familyRows(); }
    void projectorNeverAnswers();
    void lateReplyInSingleBytes_data() { familyRows(); }
    void lateReplyInSingleBytes();
    void noiseAtLineRateForAMinute();
    void oddBytesInEveryPosition_data();
    void oddBytesInEveryPosition();
};

void TestFaults::portComesBack_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("waiting"); // the status bar meanwhile, after the port's name
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("reconnect"); // Projector > Reconnect by itself
    const QString absent = ": not present, waiting for it";
    const QString lost = ": device lost, waiting for it to return";
    QTest::newRow("missing device") << "missing" << absent << 0 << true;
    QTest::newRow("adapter unplugged, Ok while it is gone") << "unplugged" << absent << 0 << true;
    QTest::newRow("far side hung up") << "hung up" << lost << 0 << true;
    QTest::newRow("adapter unplugged") << "lost" << lost << 0 << true;
    QTest::newRow("adapter unplugged, Vivitek") << "lost" << lost << 1 << true;
    // Another process is refused by the same lock file; tst_seriallink runs one.
    QTest::newRow("held by another port") << "held"
                                          << ": in use by another program" << 0 << true;
    // Unless the user chose otherwise, a port that failed stays closed.
    QTest::newRow("missing device, stays closed") << "missing"
                                                  << ": not present" << 0 << false;
    QTest::newRow("adapter unplugged, stays closed") << "lost"
                                                     << ": device lost" << 1 << false;
}

// The port goes or never was; with Reconnect by itself chosen the program
// tries it again at every poll, quietly, and carries on by itself once it is
// back. Without, it stays closed.
void TestFaults::portComesBack()
{
    QFETCH(QString, fault);
    QFETCH(QString, waiting);
    QFETCH(int, model);
    QFETCH(bool, reconnect);
    const Family &family = Families[model];
    static int serial = 0;
    const QString link = TestStore::runDirectory() + "/ttyFault" + QString::number(++serial);
    std::unique_ptr<NullModem> modem(fault == "missing" ? nullptr : new NullModem(link));
    QSerialPort holder(link);
    QVERIFY(fault != "held" || holder.open(QIODevice::ReadWrite));
    Rig rig(model);
    BoxAnswerer noBox;
    QVERIFY(!rig.ui().actionReconnect->isChecked());
    if (reconnect) {
        rig.ui().actionReconnect->trigger();
        QCOMPARE(TestStore::value("Preferences/Reconnect").toBool(), true);
    }
    storeAndApply(rig, link);
    Vantrel &w = rig.window();
    ProjectorLink &port = VantrelProbe::serialPort(w);
    const QString opening = "Opening port " + link + '\n';
    if (fault == "unplugged" || fault == "lost" || fault == "hung up") {
        QVERIFY(port.isOpen());
        fault == "hung up" ? modem->hangUp() : modem->unplug();
        QTRY_VERIFY(!port.isOpen());
        QCOMPARE(rig.log().count("Lost serial port " + link), 1);
        // The hung-up pty's number is free for the next one any process makes,
        // and the link would lead to that stranger.
        modem->unplug();
    }
    if (fault == "unplugged") {
        // The stored port is kept though it is absent; nothing else is taken.
        PortEnumeration::setLister([] { return QStringList("ttyS0"); });
        QVERIFY(pressOkInSettings(rig));
        QCOMPARE(TestStore::value("ComPort").toString(), link);
    }
    if (fault == "missing" || fault == "held" || fault == "unplugged")
        QVERIFY(rig.log().endsWith(opening
                                   + "Failed to initialize serial port!\n"
                                     "Communication with projector not possible.\n"));
    QVERIFY(!port.isOpen());
    QCOMPARE(VantrelProbe::portStatus(w), link + waiting);

    // Ticks go on past polls, each a try: nothing is sent, said or shown anew.
    const QString log = rig.log();
    const QString lastCommand = VantrelProbe::lastCommand(w);
    rig.tick(70);
    QCOMPARE(rig.log(), log);
    QCOMPARE(VantrelProbe::lastCommand(w), lastCommand);
    QCOMPARE(VantrelProbe::portStatus(w), link + waiting);
    QVERIFY(!rig.showsContact());
    QVERIFY(stillResponsive(rig));

    // The port becomes available: within one poll interval it is open again,
    // said in one line, and polled.
    if (fault == "held")
        holder.close();
    else
        modem = std::make_unique<NullModem>(link);
    rig.tick(PollClock::PollEvery);
    if (!reconnect) {
        QVERIFY(!port.isOpen());
        QCOMPARE(rig.log(), log);
        QCOMPARE(modem->expectSilence(50), QByteArray());
        QVERIFY(noBox.waitDone());
        return;
    }
    const QString connected
        = QString("Connected to %1 (%2, 9600 baud)").arg(link, model == 1 ? "Vivitek" : "Acer");
    QCOMPARE(rig.log(), log + connected + '\n');
    QCOMPARE(VantrelProbe::portStatus(w), connected);
    QCOMPARE(modem->readBytes(family.poll.size() + 1), family.poll + '\r');
    QCOMPARE(modem->lineSettings().outputBaud, 9600);
    // As after choosing the port: a Vivitek projector's settings are read anew.
    QCOMPARE(VantrelProbe::pendingQueries(w), model == 1 ? Vivitek::stateQueries() : QStringList());
    QVERIFY(modem->write(onWire(model, family.lampOn)) && modem->waitConsumed());
    rig.tick();
    QVERIFY(rig.showsContact());
    QVERIFY(VantrelProbe::projectorOn(w));
    if (model == 1)
        QCOMPARE(modem->readBytes(9), QByteArray("V99G0319\r"));
    QVERIFY(noBox.waitDone());
}

void TestFaults::replugForgetsWhatWasUnderWay_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("half"); // received before the device goes
    QTest::addColumn<QByteArray>("after"); // from the device that comes back
    QTest::newRow("Acer, LAMP half received") << 0 << QByteArray("LAMP") << QByteArray(" 1\r");
    QTest::newRow("Vivitek, poll and click unanswered") << 1 << QByteArray() << QByteArray("P0\r");
    QTest::newRow("Vivitek, P1 half received") << 1 << QByteArray("P1") << QByteArray("0\r");
}

// The device goes and comes back within a few ticks, while a reply was half
// received or commands were unanswered: nothing from before is matched to
// what the device says now.
void TestFaults::replugForgetsWhatWasUnderWay()
{
    QFETCH(int, model);
    QFETCH(QByteArray, half);
    QFETCH(QByteArray, after);
    static int serial = 0;
    const QString link = TestStore::runDirectory() + "/ttyReplug" + QString::number(++serial);
    auto modem = std::make_unique<NullModem>(link);
    Rig rig(model);
    BoxAnswerer noBox;
    rig.ui().actionReconnect->trigger();
    storeAndApply(rig, link);
    Vantrel &w = rig.window();
    ProjectorLink &port = VantrelProbe::serialPort(w);
    const QByteArray poll = Families[model].poll + '\r';
    // The lamp shows on: a stale match would leave it so or make it so.
    VantrelProbe::setProjectorOn(w, model == 1);
    rig.tick(28); // polls on the first tick, and then not before tick 32
    QCOMPARE(modem->readBytes(poll.size()), poll);
    if (model == 1)
        rig.ui().vvtLampTime->click();
    if (!half.isEmpty())
        QVERIFY(modem->write(half) && modem->waitConsumed());
    rig.tick(); // tick 29 reads it
    QCOMPARE(port.bytesAvailable(), qint64(0));

    modem->unplug();
    QTRY_VERIFY(!port.isOpen());
    modem = std::make_unique<NullModem>(link);
    rig.tick(3); // tick 32 opens the port again and polls
    QVERIFY(port.isOpen());
    QCOMPARE(modem->readBytes(poll.size()), poll);
    QVERIFY(modem->write(after) && modem->waitConsumed());
    rig.tick();
    QCOMPARE(port.bytesAvailable(), qint64(0));
    QVERIFY(!rig.log().contains("Lamp Time"));
    if (model == 0) {
        // Taken alone, the rest is no lamp reply.
        QVERIFY(!VantrelProbe::projectorOn(w));
        QVERIFY(rig.boxColour() != Rig::LampOnColour && rig.boxColour() != Rig::LampOffColour);
    } else {
        // Vivitek: the answer to the poll sent now, or a failure, never
        // matched to the lamp hours asked before.
        QCOMPARE(VantrelProbe::projectorOn(w), !half.isEmpty());
        QCOMPARE(VantrelProbe::vvtRequeryPending(w), !half.isEmpty());
    }
    QVERIFY(rig.showsContact());
    QVERIFY(noBox.waitDone());
}

// The simulator takes the commands but never answers.
void TestFaults::projectorNeverAnswers()
{
    QFETCH(int, model);
#ifndef PROJECTOR_SIM_PATH
    QSKIP("built without the simulator");
#else
    static int serial = 0;
    const QString link = TestStore::runDirectory() + "/ttySilent" + QString::number(++serial);
    SimProcess sim;
    QVERIFY(sim.startSimulator(PROJECTOR_SIM_PATH,
                               { "--family", Families[model].name, "--silent", "--link", link }));
    Rig rig(model);
    BoxAnswerer noBox;
    storeAndApply(rig, link);
    // Three polls; a Vivitek projector is asked again only once the last
    // poll's answer is given up.
    for (int tick = 0; tick < (model == 1 ? 125 : 63); ++tick) {
        rig.tick();
        QCoreApplication::processEvents();
    }
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().size() >= 3, 5000);
    // Only polls: the Vivitek state query waits for replies that never come.
    for (const QByteArray &command : sim.received())
        QCOMPARE(command, Families[model].poll);
    QVERIFY(!rig.showsContact());
    QCOMPARE(VantrelProbe::contactCounter(rig.window()), 50);
    QVERIFY(rig.boxColour() == Rig::NoContactColour && rig.boxesAgree());
    QVERIFY(stillResponsive(rig));
    QVERIFY(noBox.waitDone());
#endif
}

// A reply long after the last one, split into single bytes across ticks.
void TestFaults::lateReplyInSingleBytes()
{
    QFETCH(int, model);
    const Family &family = Families[model];
    Rig rig(model, true);
    rig.tick(); // polls
    QVERIFY(rig.receive(onWire(model, family.lampOn)));
    QVERIFY(rig.showsContact());
    QCOMPARE(VantrelProbe::projectorOn(rig.window()), model != 2);
    rig.tick(49); // longer than the program waits; a poll goes out meanwhile
    QVERIFY(!rig.showsContact());

    rig.clearLog();
    // What the reply answers, and nothing else that waits.
    VantrelProbe::forgetPendingReplies(rig.window());
    VantrelProbe::sendCommand(rig.window(), family.poll);
    const QByteArray reply = onWire(model, family.lampOff);
    QStringList echoes;
    for (int i = 0; i < reply.size(); ++i) {
        QVERIFY(rig.modem.write(reply.mid(i, 1)) && rig.modem.waitConsumed());
        rig.tick();
        echoes << "> " + reply.mid(i, 1).toHex() + ' ';
        if (i + 1 < reply.size()) {
            QCOMPARE(VantrelProbe::replyBuffer(rig.window()), latin1(reply.left(i + 1)));
            QVERIFY(!rig.showsContact());
        }
    }
    QCOMPARE(VantrelProbe::replyBuffer(rig.window()), QString());
    QVERIFY(rig.showsContact());
    QVERIFY(!VantrelProbe::projectorOn(rig.window()));
    // One echo line per tick, each with its one byte; one reply line.
    const QStringList lines = rig.log().split('\n');
    QCOMPARE(lines.filter(QRegularExpression("^> ")), echoes);
    QCOMPARE(lines.filter(QRegularExpression("^-> ")), QStringList("-> " + latin1(family.lampOff)));
    QVERIFY(stillResponsive(rig));
}

// Random bytes at the full rate of a 9600 baud line for a minute of ticks.
void TestFaults::noiseAtLineRateForAMinute()
{
    Rig rig;
    BoxAnswerer noBox;
    Vantrel &w = rig.window();
    ProjectorLink &port = VantrelProbe::serialPort(w);
    QRandomGenerator random(20240607);
    int run = 0, longestRun = 0, longestPartial = 0; // run: bytes since the last CR
    const int ticks = 600;
    for (int tenth = 0; tenth < ticks; ++tenth) {
        QByteArray chunk(96, Qt::Uninitialized); // 100 ms at 9600 baud
        for (char &byte : chunk) {
            byte = char(random.bounded(256));
            run = byte == '\r' ? 0 : run + 1;
            longestRun = qMax(longestRun, run);
        }
        QVERIFY(rig.modem.write(chunk) && rig.modem.waitConsumed());
        QTRY_COMPARE(port.bytesAvailable(), qint64(chunk.size()));
        rig.tick();
        QCOMPARE(port.bytesAvailable(), qint64(0)); // all of it, at once
        longestPartial = qMax(longestPartial, VantrelProbe::replyBuffer(w).size());
    }
    QVERIFY(stillResponsive(rig));

    // The noise held stretches without a terminator longer than the limit.
    QVERIFY(longestRun > Framing::MaxPartialReply);
    QVERIFY2(longestPartial <= Framing::MaxPartialReply,
             qPrintable(QString::number(longestPartial)));
    // Garbage ending in a carriage return reads as an unknown reply and is
    // shown once; nothing multiplies it, and nothing at line rate is dropped.
    QVERIFY(rig.log().size() <= 96 * ticks);
    QVERIFY(!rig.log().contains("Dropped"));
    // The poll schedule kept going: one on the first tick, then every 31st.
    QCOMPARE(rig.modem.drain().count("* 0 Lamp ?\r"), 1 + (ticks - 1) / 31);

    // The first carriage return ends what is left of the noise; the reply
    // after it frames as ever.
    QVERIFY(!VantrelProbe::projectorOn(w));
    QVERIFY(rig.receive("Lamp 1\rLamp 1\r"));
    QVERIFY(VantrelProbe::projectorOn(w));
    QVERIFY(VantrelProbe::replyBuffer(w).isEmpty());
    QVERIFY(rig.showsContact());
    QVERIFY(noBox.waitDone());
}

void TestFaults::oddBytesInEveryPosition_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<char>("odd");
    QTest::addColumn<bool>("ascii"); // how the log shows the bytes
    for (int row = 0; row < 18; ++row) {
        const char odd = "\x00\x80\xff"[row / 2 % 3];
        QTest::addRow("%s byte %x %s", Families[row / 6].name, uint(uchar(odd)),
                      row % 2 ? "ascii" : "hex")
            << row / 6 << odd << bool(row % 2);
    }
}

void TestFaults::oddBytesInEveryPosition()
{
    QFETCH(int, model);
    QFETCH(char, odd);
    QFETCH(bool, ascii);
    Rig rig(model, true);
    Vantrel &w = rig.window();
    rig.ui().asciiCheckBox->setChecked(ascii);
    rig.tick(); // polls
    const QByteArray &reply = Families[model].lampOn;
    // InFocus: the odd byte never follows the closing ")", which ends the reply.
    for (int position = 0; position <= reply.size() - (model == 2); ++position) {
        const QByteArray bad = QByteArray(reply).insert(position, odd);
        // After the bad reply the next, whole again, is handled as ever.
        for (const QByteArray &handed : { bad, reply }) {
            const QByteArray wire = onWire(model, handed);
            // Vivitek judges a reply by the command it answers: the poll alone.
            VantrelProbe::forgetPendingReplies(w);
            VantrelProbe::sendCommand(w, Families[model].poll);
            VantrelProbe::setProjectorOn(w, false);
            rig.clearLog();
            QVERIFY(rig.receive(wire));
            // The log pane turns a carriage return into a line break.
            const QString echo
                = ascii ? latin1(wire + '\n').replace("\r\n", "\n") : wire.toHex(' ') + " \n";
            QVERIFY2(rig.log().startsWith("> " + echo), qPrintable(rig.log()));
            QVERIFY2(rig.log().endsWith("-> " + latin1(handed) + '\n'), qPrintable(rig.log()));
            QVERIFY(VantrelProbe::replyBuffer(w).isEmpty());
            QCOMPARE(VantrelProbe::contactCounter(w), 1);
            // A NUL before or after a lamp reply is a stray control character.
            const bool stray = odd == '\0' && (position == 0 || position == reply.size());
            if (handed == reply || model == 0)
                QCOMPARE(VantrelProbe::projectorOn(w), (handed == reply || stray) && model != 2);
        }
    }
    QVERIFY(stillResponsive(rig));
}

VANTREL_TEST_MAIN(TestFaults)

#include "tst_faults.moc"
