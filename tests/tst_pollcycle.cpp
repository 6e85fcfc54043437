#include "framing.h"
#include "nullmodem.h"
#include "pollclock.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "trafficlog.h"
#include "vantrelprobe.h"

#include <QDeadlineTimer>
#include <QIcon>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {

// A window on the null-modem whose ticks the test runs by hand.
class Rig
{
public:
    // A model outside 0 to 2 is set after start-up, the way a bad stored
    // value would leave it, on a port opened as for Acer.
    explicit Rig(int model)
    {
        const bool known = model >= 0 && model <= 2;
        TestStore::seed({ { QStringLiteral("ComPort"), modem.portName() },
                          { QStringLiteral("Model"), known ? model : 0 } });
        PortEnumeration::setLister([] { return QStringList(); });
        window = std::make_unique<Vantrel>();
        VantrelProbe::pollTimer(*window).stop();
        if (!known)
            VantrelProbe::setModelIndex(*window, model);
    }

    Vantrel &w() { return *window; }
    Ui::VantrelClass &ui() { return VantrelProbe::ui(*window); }
    void tick() { VantrelProbe::invoke(*window, "OnTimer"); }
    // Runs the first tick, which polls, and takes the poll off the line.
    void startPolling()
    {
        tick();
        modem.drain(100);
    }
    // Puts bytes into the program's port buffer, ready for the next tick. The
    // count is what tells: a large write reaches the port in several pieces.
    bool feed(const QByteArray &bytes)
    {
        QSerialPort &port = VantrelProbe::serialPort(*window);
        const qint64 expected = port.bytesAvailable() + bytes.size();
        if (!modem.write(bytes))
            return false;
        const QDeadlineTimer deadline(5000);
        while (port.bytesAvailable() < expected && !deadline.hasExpired())
            QTest::qWait(1);
        return port.bytesAvailable() == expected;
    }
    QString log() { return ui().textEdit->toPlainText(); }
    QString takeLog()
    {
        const QString text = log();
        ui().textEdit->clear();
        return text;
    }
    void debug(bool on, bool ascii = false)
    {
        ui().debugCheckBox->setChecked(on);
        ui().asciiCheckBox->setChecked(ascii);
    }

    NullModem modem;

private:
    std::unique_ptr<Vantrel> window;
};

// The pane turns a carriage return, or CR LF, into one line break.
QString shown(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

bool showsIcon(const QAbstractButton *button, const char *file)
{
    const QSize size = button->iconSize();
    const QIcon resource(QPixmap(QStringLiteral(":/Vantrel/Resources/") + QLatin1String(file)));
    return button->icon().pixmap(size).toImage() == resource.pixmap(size).toImage();
}

const QColor NoContact(100, 100, 40);

} // namespace

class TestPollCycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void framing_data();
    void framing();
    void noiseKeepsTheBufferBounded_data();
    void noiseKeepsTheBufferBounded();
    void partialReplyIsBounded();
    void pollSchedule_data();
    void pollSchedule();
    void pollClockRequeryChecks();
    void contactSupervision_data();
    void contactSupervision();
    void sentEcho_data();
    void sentEcho();
    void receivedEcho_data();
    void receivedEcho();
    void everyByteHasTwoHexDigits();
    void nothingLoggedWithoutDebug();
    void clearEmptiesThePane();
};

void TestPollCycle::init()
{
    TestStore::clear();
}

void TestPollCycle::framing_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QList<QByteArray>>("pieces"); // one per tick
    QTest::addColumn<QStringList>("replies"); // per tick; a null string: none
    QTest::addColumn<QString>("leftover");

    const QString none;
    QTest::newRow("Acer at CR") << 0 << QList<QByteArray> { "LAMP 1\r" } << QStringList { "LAMP 1" }
                                << QString();
    QTest::newRow("Acer split over ticks") << 0 << QList<QByteArray> { "LA", "MP ", "0\r" }
                                           << QStringList { none, none, "LAMP 0" } << QString();
    QTest::newRow("Acer ) is ordinary")
        << 0 << QList<QByteArray> { "a)b\r" } << QStringList { "a)b" } << QString();
    QTest::newRow("Acer LF after CR opens next reply")
        << 0 << QList<QByteArray> { "*000\r\n", "*001\r" } << QStringList { "*000", "\n*001" }
        << QString();
    QTest::newRow("Acer two in one burst") << 0 << QList<QByteArray> { "LAMP 0\rLAMP 1\r", "", "" }
                                           << QStringList { "LAMP 0", "LAMP 1", none } << QString();
    QTest::newRow("Acer LF left waiting") << 0 << QList<QByteArray> { "*000\r\n", "" }
                                          << QStringList { "*000", none } << QStringLiteral("\n");
    QTest::newRow("Vivitek at CR, split")
        << 1 << QList<QByteArray> { "P", "1\r" } << QStringList { none, "P1" } << QString();
    QTest::newRow("Vivitek two in one burst")
        << 1 << QList<QByteArray> { "P1\rF\r", "" } << QStringList { "P1", "F" } << QString();
    QTest::newRow("InFocus keeps )")
        << 2 << QList<QByteArray> { "(CST1)" } << QStringList { "(CST1)" } << QString();
    QTest::newRow("InFocus CR is ordinary")
        << 2 << QList<QByteArray> { "(A\rB)" } << QStringList { "(A\rB)" } << QString();
    QTest::newRow("InFocus CR after ) opens next reply")
        << 2 << QList<QByteArray> { "(PWR1)\r", "(CST0)" } << QStringList { "(PWR1)", "\r(CST0)" }
        << QString();
    QTest::newRow("InFocus split over ticks")
        << 2 << QList<QByteArray> { "(CS", "T1)" } << QStringList { none, "(CST1)" } << QString();
    QTest::newRow("other family never completes")
        << 3 << QList<QByteArray> { "LAMP 1\r", "(CST)" } << QStringList { none, none }
        << QStringLiteral("LAMP 1\r(CST)");
}

void TestPollCycle::framing()
{
    QFETCH(int, model);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, replies);
    QFETCH(QString, leftover);
    Rig rig(model);
    rig.startPolling();
    rig.debug(true);
    rig.takeLog();

    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(rig.feed(pieces.at(i)));
        rig.tick();
        const QString log = rig.takeLog();
        const QString reply = replies.at(i);
        const QString context = QStringLiteral("tick %1: %2").arg(i + 1).arg(log);
        if (reply.isNull()) {
            QVERIFY2(!log.contains(QLatin1String("-> ")), qPrintable(context));
        } else {
            // The reply line is the tick's last: it shows what was dispatched.
            QVERIFY2(log.endsWith(QStringLiteral("-> ") + shown(reply) + QLatin1Char('\n')),
                     qPrintable(context));
            QCOMPARE(VantrelProbe::contactCounter(rig.w()), 1);
        }
    }
    QCOMPARE(VantrelProbe::replyBuffer(rig.w()), leftover);
}

void TestPollCycle::noiseKeepsTheBufferBounded_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<QByteArray>("goodReply");

    QTest::newRow("Acer") << 0 << QByteArray("\r") << QByteArray("LAMP 1\r");
    QTest::newRow("InFocus") << 2 << QByteArray(")") << QByteArray("(CST1)");
}

void TestPollCycle::noiseKeepsTheBufferBounded()
{
    QFETCH(int, model);
    QFETCH(QByteArray, terminator);
    QFETCH(QByteArray, goodReply);
    Rig rig(model);
    rig.startPolling();

    QByteArray noise;
    noise.reserve(1 << 20);
    for (int i = 0; noise.size() < (1 << 20); ++i) {
        const char byte = char(i * 7 + 3);
        if (byte != '\r' && byte != ')')
            noise.append(byte);
    }
    QVERIFY(rig.feed(noise));
    rig.tick();
    QVERIFY(VantrelProbe::replyBuffer(rig.w()).size() <= Framing::MaxPartialReply);
    QCOMPARE(VantrelProbe::serialPort(rig.w()).bytesAvailable(), qint64(0));

    // The next terminator ends the garbage; the reply after it is clean.
    rig.debug(true);
    QVERIFY(rig.feed(terminator + goodReply));
    rig.tick();
    QVERIFY(VantrelProbe::replyBuffer(rig.w()).isEmpty());
    rig.takeLog();
    rig.tick();
    const QString reply = QString::fromLatin1(model == 0 ? goodReply.chopped(1) : goodReply);
    QVERIFY2(rig.takeLog().endsWith(QStringLiteral("-> ") + reply + QLatin1Char('\n')),
             qPrintable(rig.log()));
}

void TestPollCycle::partialReplyIsBounded()
{
    // A reply of exactly the limit still frames; one byte more restarts it.
    QString buffer;
    for (int i = 0; i < Framing::MaxPartialReply; ++i)
        QVERIFY(!Framing::feedByte(buffer, 'x', 0));
    QVERIFY(Framing::feedByte(buffer, '\r', 0));
    QCOMPARE(buffer, QString(Framing::MaxPartialReply, QLatin1Char('x')));

    buffer.clear();
    for (int i = 0; i < Framing::MaxPartialReply; ++i)
        Framing::feedByte(buffer, 'x', 2);
    QVERIFY(Framing::feedByte(buffer, ')', 2));
    QCOMPARE(buffer, QStringLiteral(")"));
}

void TestPollCycle::pollSchedule_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("poll");

    QTest::newRow("Acer") << 0 << QByteArray("* 0 Lamp ?");
    QTest::newRow("Vivitek") << 1 << QByteArray("V99G0007");
    QTest::newRow("InFocus") << 2 << QByteArray("(CST)");
    QTest::newRow("other family") << 5 << QByteArray("* 0 Lamp ?");
}

void TestPollCycle::pollSchedule()
{
    QFETCH(int, model);
    QFETCH(QByteArray, poll);
    Rig rig(model);
    rig.debug(true);
    rig.takeLog();

    QList<int> sendingTicks;
    for (int tick = 1; tick <= 94; ++tick) {
        rig.tick();
        if (rig.takeLog().contains(QLatin1String("< ")))
            sendingTicks.append(tick);
    }
    QCOMPARE(sendingTicks, (QList<int> { 1, 32, 63, 94 }));
    const QByteArray wire = (poll + '\r').repeated(4);
    QCOMPARE(rig.modem.readBytes(wire.size()), wire);
    QCOMPARE(rig.modem.expectSilence(200), QByteArray());
}

void TestPollCycle::pollClockRequeryChecks()
{
    PollClock clock;
    QList<int> polls;
    QList<int> checks;
    for (int tick = 1; tick <= 3300; ++tick) {
        const PollClock::Tick t = clock.advance();
        QVERIFY(!(t.poll && t.requeryCheck));
        if (t.poll)
            polls.append(tick);
        if (t.requeryCheck)
            checks.append(tick);
    }
    QCOMPARE(polls.size(), 107);
    for (int i = 0; i < polls.size(); ++i)
        QCOMPARE(polls.at(i), 1 + 31 * i);
    // Every 101 ticks; tick 3132 = 1 + 31 * 101 polls, so that check slips by one.
    QList<int> expected;
    for (int tick = 102; tick < 3132; tick += 101)
        expected.append(tick);
    expected << 3133 << 3234;
    QCOMPARE(checks, expected);
}

void TestPollCycle::contactSupervision_data()
{
    QTest::addColumn<QList<int>>("replyTicks");
    QTest::addColumn<int>("lostAt");

    // Tick 1 is the first, with no contact yet; a reply completes on tick 2.
    QTest::newRow("lost on the 49th silent tick") << QList<int> { 2 } << 2 + 49;
    QTest::newRow("reply on the 48th keeps contact") << QList<int> { 2, 2 + 48 } << 2 + 48 + 49;
}

void TestPollCycle::contactSupervision()
{
    QFETCH(QList<int>, replyTicks);
    QFETCH(int, lostAt);
    Rig rig(0);
    Ui::VantrelClass &ui = rig.ui();

    QCOMPARE(ui.on_off_groupBox->fillColor, QColor(200, 200, 0));
    for (int tick = 1; tick <= lostAt; ++tick) {
        if (replyTicks.contains(tick))
            QVERIFY(rig.feed("LAMP 1\r"));
        rig.tick();
        const bool contact = tick > 1 && tick < lostAt;
        const QString where = QStringLiteral("tick %1").arg(tick);
        QVERIFY2(ui.connectionStatus->toolTip()
                     == (contact ? QStringLiteral("Contact") : QStringLiteral("No Contact")),
                 qPrintable(where));
        QVERIFY2(showsIcon(ui.connectionStatus, contact ? "connect.png" : "disconnect.png"),
                 qPrintable(where));
        if (!contact) {
            QCOMPARE(ui.on_off_groupBox->fillColor, NoContact);
            QCOMPARE(ui.vvt_on_off_groupBox->fillColor, NoContact);
            QCOMPARE(ui.on_off_groupBox->toolTip(), QString());
            QCOMPARE(VantrelProbe::contactCounter(rig.w()), 50);
        } else {
            // Only the lamp reply repainted the boxes; regaining contact does not.
            QCOMPARE(ui.on_off_groupBox->fillColor, QColor(255, 220, 0));
            QCOMPARE(ui.vvt_on_off_groupBox->fillColor, QColor(255, 220, 0));
        }
    }
}

void TestPollCycle::sentEcho_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<QString>("line");

    QTest::newRow("(CST) hex") << QByteArray("(CST)") << false
                               << QStringLiteral("< 28 43 53 54 29 0d\n");
    QTest::newRow("(CST) character")
        << QByteArray("(CST)") << true << QStringLiteral("< (CST)0d\n");
    QTest::newRow("lamp poll hex") << QByteArray("* 0 Lamp ?") << false
                                   << QStringLiteral("< 2a 20 30 20 4c 61 6d 70 20 3f 0d\n");
    QTest::newRow("high and low bytes hex")
        << QByteArray("\x05\xc8\xff", 3) << false << QStringLiteral("< 05 c8 ff 0d\n");
    QTest::newRow("empty command") << QByteArray() << false << QStringLiteral("< 0d\n");
}

void TestPollCycle::sentEcho()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, ascii);
    QFETCH(QString, line);
    Rig rig(0);
    rig.debug(true, ascii);
    rig.takeLog();

    VantrelProbe::sendCommand(rig.w(), command);
    QCOMPARE(rig.log(), line);
    QCOMPARE(rig.modem.readBytes(command.size() + 1), command + '\r');
}

void TestPollCycle::receivedEcho_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<QList<QByteArray>>("pieces"); // one per tick
    QTest::addColumn<QStringList>("logs"); // per tick

    QTest::newRow("Acer hex") << 0 << false << QList<QByteArray> { "LAMP 1\r" }
                              << QStringList { "> 4c 41 4d 50 20 31 0d \n-> LAMP 1\n" };
    QTest::newRow("Acer character") << 0 << true << QList<QByteArray> { "LAMP 1\r" }
                                    << QStringList { shown("> LAMP 1\r\n-> LAMP 1\n") };
    QTest::newRow("handler line above the reply line")
        << 0 << false << QList<QByteArray> { "*001\r" }
        << QStringList { "> 2a 30 30 31 0d \nCommand not available at the moment.\n-> *001\n" };
    QTest::newRow("partial tick logs only what came")
        << 0 << false << QList<QByteArray> { "LAM", "P 0\r" }
        << QStringList { "> 4c 41 4d \n", "> 50 20 30 0d \n-> LAMP 0\n" };
    QTest::newRow("InFocus bytes 00 05 c8 ff")
        << 2 << false << QList<QByteArray> { QByteArray("\x00\x05\xc8\xff)", 5) }
        << QStringList { QStringLiteral("> 00 05 c8 ff 29 \n-> ")
                         + QString::fromLatin1("\x00\x05\xc8\xff)\n", 6) };
    QTest::newRow("InFocus character")
        << 2 << true << QList<QByteArray> { "(CST1)" } << QStringList { "> (CST1)\n-> (CST1)\n" };
}

void TestPollCycle::receivedEcho()
{
    QFETCH(int, model);
    QFETCH(bool, ascii);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, logs);
    Rig rig(model);
    rig.startPolling();
    rig.debug(true, ascii);
    rig.takeLog();

    for (int i = 0; i < pieces.size(); ++i) {
        QVERIFY(rig.feed(pieces.at(i)));
        rig.tick();
        QCOMPARE(rig.takeLog(), logs.at(i));
    }
}

void TestPollCycle::everyByteHasTwoHexDigits()
{
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        all.append(char(byte));
        QCOMPARE(TrafficLog::byteText(byte, false), QString::asprintf("%02x ", value));
        QCOMPARE(TrafficLog::byteText(byte, true), QString(QChar(value)));
    }
    const QString line = TrafficLog::receivedLine(all, false);
    QCOMPARE(line.size(), 2 + 3 * 256 + 1);
    QVERIFY(line.startsWith(QLatin1String("> 00 01 ")));
    QVERIFY(line.endsWith(QLatin1String("fe ff \n")));
}

void TestPollCycle::nothingLoggedWithoutDebug()
{
    Rig rig(0);
    rig.debug(false, true);
    rig.takeLog();

    rig.tick();
    QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QVERIFY(rig.feed("LA"));
    rig.tick();
    QVERIFY(rig.feed("MP 1\r"));
    rig.tick();
    QCOMPARE(rig.log(), QString());
    // The quiet log changes nothing else.
    QVERIFY(VantrelProbe::projectorOn(rig.w()));
    QCOMPARE(VantrelProbe::contactCounter(rig.w()), 1);
    QCOMPARE(rig.ui().connectionStatus->toolTip(), QStringLiteral("Contact"));
}

void TestPollCycle::clearEmptiesThePane()
{
    Rig rig(0);
    rig.debug(true);
    QVERIFY(!rig.log().isEmpty());

    rig.ui().clearLog->click();
    QCOMPARE(rig.log(), QString());
    VantrelProbe::sendCommand(rig.w(), "(CST)");
    QCOMPARE(rig.log(), QStringLiteral("< 28 43 53 54 29 0d\n"));
}

VANTREL_TEST_MAIN(TestPollCycle)

#include "tst_pollcycle.moc"
