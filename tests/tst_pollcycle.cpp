// ctest-properties: TIMEOUT 300
#include "framing.h"
#include "lampcolours.h"
#include "pollclock.h"
#include "rig.h"
#include "testmain.h"
#include "trafficlog.h"

#include <QIcon>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

namespace {

// Puts bytes into the program's port buffer without ticking, so each tick's
// share is the test's choice. A large write reaches the port in pieces.
bool feed(Rig &rig, const QByteArray &bytes)
{
    ProjectorLink &port = VantrelProbe::serialPort(rig.window());
    const qint64 expected = port.bytesAvailable() + bytes.size();
    return rig.modem.write(bytes)
        && QTest::qWaitFor([&] { return port.bytesAvailable() >= expected; }, 10000)
        && port.bytesAvailable() == expected;
}

bool showsNoContact(Rig &rig)
{
    const QAbstractButton *status = rig.ui().connectionStatus;
    const QIcon icon(QPixmap(QStringLiteral(":/Vantrel/Resources/disconnect.png")));
    return status->toolTip() == QLatin1String("No Contact")
        && status->icon().pixmap(16).toImage() == icon.pixmap(16).toImage();
}

} // namespace

class TestPollCycle : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void floodIsBoundedAndReported();
    void floodAfterHalfAReply_data();
    void floodAfterHalfAReply();
    void floodWithPausesReportedOnce_data();
    void floodWithPausesReportedOnce();
    void vivitekMatchingBound_data();
    void vivitekMatchingBound();
    void chatterDelaysNoReply_data();
    void chatterDelaysNoReply();
    void pollSchedule_data();
    void pollSchedule();
    void contactSupervision_data();
    void contactSupervision();
    void trafficLog_data();
    void trafficLog();
    void logFollowsNewLines();
    void logKeepsTheNewestLinesForAWeek();
    void logLinesGoAtTheEnd_data();
    void logLinesGoAtTheEnd();
    void logTrimsPastTenThousandLines();
};

// "|" separates the ticks' pieces and the replies they dispatch, ";" the
// replies of one tick (empty: none).
static void framingRow(const char *tag, int model, const QByteArray &pieces, const QString &replies,
                       const QString &leftover = QString())
{
    QTest::newRow(tag) << model << pieces.split('|') << replies.split('|') << leftover;
}

void TestPollCycle::framing_data()
{
    QTest::addColumn<int>("model"); // 7 is a bad stored value: no family
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("leftover");

    framingRow("Acer split over ticks", 0, "LA|MP |0\r", "||LAMP 0");
    framingRow("Acer ) is ordinary", 0, "a)b\r", "a)b");
    // A LF right after the CR belongs to the line end, also in the next tick.
    framingRow("Acer CR LF", 0, "*000\r\n|*001\r\n", "*000|*001");
    framingRow("Acer CR and LF in two ticks", 0, "*000\r|\n*001\r", "*000|*001");
    framingRow("Acer LF elsewhere is a character", 0, "a\nb\r\n\n*001\r", "a\nb;\n*001");
    framingRow("Acer two in one burst", 0, "LAMP 0\rLAMP 1\r|", "LAMP 0;LAMP 1|");
    framingRow("Acer empty lines", 0, "\r\r\n\r", ";;");
    framingRow("Vivitek at CR, split", 1, "P|1\r", "|P1");
    framingRow("Vivitek CR LF, two in one burst", 1, "P1\r\nF\r\n", "P1;F");
    framingRow("InFocus keeps ), CR is ordinary", 2, "(A\rB)", "(A\rB)");
    framingRow("InFocus CR after ) opens next reply", 2, "(PWR1)\r|(CST0)", "(PWR1)|\r(CST0)");
    framingRow("InFocus LF after ) opens next reply", 2, "(A)\n(B)", "(A);\n(B)");
    framingRow("InFocus split over ticks", 2, "(CS|T1)", "|(CST1)");
    // No family: every byte is an ordinary character, and no reply is ever complete.
    framingRow("stored family 7 completes nothing", 7, "LAMP 1\r|(CST)", "|", "LAMP 1\r(CST)");
}

void TestPollCycle::framing()
{
    QFETCH(int, model);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, replies);
    QFETCH(QString, leftover);
    Rig rig(model, true);
    rig.tick();

    for (int i = 0; i < pieces.size(); ++i) {
        rig.clearLog();
        QVERIFY(feed(rig, pieces.at(i)));
        rig.tick();
        // The tick's reply lines, in order. The pane shows a CR as a line
        // break, so a reply runs on until the next reply's "> " line.
        QStringList shown;
        bool inReply = false;
        for (const QString &line : rig.log().chopped(rig.log().endsWith('\n')).split('\n')) {
            if (line.startsWith(QLatin1String("-> "))) {
                shown.append(line.mid(3));
                inReply = true;
            } else if (line.startsWith(QLatin1String("> "))) {
                inReply = false;
            } else if (inReply) {
                shown.last() += '\n' + line;
            }
        }
        QStringList expected = replies.at(i).split(';');
        if (replies.at(i).isEmpty())
            expected.clear();
        for (QString &reply : expected)
            reply.replace('\r', '\n');
        QCOMPARE(shown, expected);
        if (!expected.isEmpty())
            QCOMPARE(VantrelProbe::contactCounter(rig.window()), 1);
    }
    QCOMPARE(VantrelProbe::replyBuffer(rig.window()), leftover);
}

// A flood far beyond what a serial line carries: the oldest input is dropped
// and said so once, nothing grows, and the next reply is shown at once.
void TestPollCycle::floodIsBoundedAndReported()
{
    Rig rig;
    rig.tick();
    ProjectorLink &port = VantrelProbe::serialPort(rig.window());
    QByteArray noise;
    for (int i = 0; noise.size() < (1 << 20); ++i)
        noise.append(char(i * 7 + 3) == '\r' ? 'x' : char(i * 7 + 3));
    // Each piece far more than a tick takes, and no more than the port holds.
    QList<int> pieces;
    while (pieces.size() * Framing::PortReadBuffer / 2 < (1 << 20))
        pieces.append(Framing::PortReadBuffer / 2);
    int ticks = 0;
    // The port stops taking more once its buffer is full: ticks make room.
    QVERIFY(rig.modem.writeSplit(noise, pieces, [&] {
        rig.tick();
        ++ticks;
        QVERIFY(port.bytesAvailable() <= Framing::PortReadBuffer);
        QVERIFY(VantrelProbe::replyBuffer(rig.window()).size() <= Framing::MaxPartialReply);
        QVERIFY(!rig.log().contains("Dropped"));
    }));
    // Said once the flood is over.
    while (!rig.log().contains("Dropped") && ticks < 200) {
        // What the kernel still holds reaches the port.
        QVERIFY(QTest::qWaitFor([&] { return port.bytesAvailable() > 0; }, 20)
                || port.bytesAvailable() == 0);
        rig.tick();
        ++ticks;
    }
    const QRegularExpressionMatch dropped
        = QRegularExpression("Dropped (\\d+) bytes of input that came faster than a projector "
                             "sends.\n")
              .match(rig.log());
    QVERIFY2(dropped.hasMatch(), qPrintable(rig.log()));
    // At most a tick's worth of the megabyte was read in each tick; the rest was dropped.
    QVERIFY(dropped.captured(1).toInt() >= (1 << 20) - ticks * Framing::MaxUnreadInput);
    QVERIFY(dropped.captured(1).toInt() < (1 << 20));

    QVERIFY(rig.receive("\rLAMP 1\r"));
    QVERIFY(VantrelProbe::projectorOn(rig.window()));
    rig.clearLog();
    rig.tick(100);
    QCOMPARE(rig.log(), QString()); // reported once, not once a tick
}

// What was half received when a flood came lost its continuation: it is
// never joined onto what the flood leaves, and the rest of that reply goes
// with it. The flood is sized so that what it leaves starts with the rest of
// the reply; the line after it is read whole.
void TestPollCycle::floodAfterHalfAReply_data()
{
    QTest::addColumn<QByteArray>("half");
    QTest::addColumn<QByteArray>("rest");
    QTest::newRow("LAMP, then 1") << QByteArray("LAMP") << QByteArray(" 1\r");
    QTest::newRow("Lam, then p 1") << QByteArray("Lam") << QByteArray("p 1\r");
}

void TestPollCycle::floodAfterHalfAReply()
{
    QFETCH(QByteArray, half);
    QFETCH(QByteArray, rest);
    Rig rig(0, true);
    rig.tick();
    QVERIFY(feed(rig, half));
    rig.tick();
    QCOMPARE(VantrelProbe::replyBuffer(rig.window()), QString::fromLatin1(half));
    rig.clearLog();

    const QByteArray kept
        = rest + QByteArray(Framing::MaxUnreadInput - rest.size() - 1, '-') + '\r';
    QVERIFY(feed(rig, QByteArray(4096, 'x') + kept));
    rig.tick();
    // Neither the lamp nor the rest as a reply of its own.
    QVERIFY(!VantrelProbe::projectorOn(rig.window()));
    const QString alone = QString::fromLatin1(rest).remove('\r');
    QVERIFY2(!rig.log().contains("-> " + alone + '\n'), qPrintable(rig.log().right(200)));
    QVERIFY2(rig.log().contains("-> -"), qPrintable(rig.log().right(200)));
    QVERIFY(rig.receive("LAMP 1\r"));
    QVERIFY(VantrelProbe::projectorOn(rig.window()));
}

// A flood in bursts with pauses shorter than a second is one flood: one
// line, once it is over, with every byte dropped.
void TestPollCycle::floodWithPausesReportedOnce_data()
{
    QTest::addColumn<QList<int>>("pauses"); // quiet ticks after each burst
    QTest::addColumn<int>("lines");
    QTest::newRow("bursts back to back") << QList<int> { 0, 0, 0, 12 } << 1;
    QTest::newRow("pauses of 0.5 s") << QList<int> { 5, 5, 5, 12 } << 1;
    QTest::newRow("pauses of 0.9 s") << QList<int> { 9, 9, 9, 12 } << 1;
    QTest::newRow("a pause of a second ends a flood") << QList<int> { 9, 10, 9, 12 } << 2;
}

void TestPollCycle::floodWithPausesReportedOnce()
{
    QFETCH(QList<int>, pauses);
    QFETCH(int, lines);
    Rig rig;
    rig.tick();
    const QByteArray burst(3 * Framing::MaxUnreadInput, 'x');
    qint64 total = 0;
    for (int pause : pauses) {
        QVERIFY(feed(rig, burst));
        rig.tick();
        total += burst.size() - Framing::MaxUnreadInput;
        rig.tick(pause);
    }
    const QRegularExpression line("Dropped (\\d+) bytes of input that came faster than a "
                                  "projector sends.\n");
    qint64 said = 0;
    int count = 0;
    for (auto it = line.globalMatch(rig.log()); it.hasNext(); ++count)
        said += it.next().captured(1).toLongLong();
    QCOMPARE(count, lines);
    QCOMPARE(said, total);
}

// A Vivitek reply belongs to the command it answers for 50 ticks after it
// went out, to the tick; one tick later that command is given up.
void TestPollCycle::vivitekMatchingBound_data()
{
    QTest::addColumn<int>("after"); // ticks from the click to the tick that reads the reply
    QTest::addColumn<QString>("shown");
    QTest::newRow("at the bound") << 50 << "Lamp Time = 1250 h\n";
    QTest::newRow("one tick after it") << 51 << "";
}

void TestPollCycle::vivitekMatchingBound()
{
    QFETCH(int, after);
    QFETCH(QString, shown);
    Rig rig(1);
    VantrelProbe::forgetPendingReplies(rig.window());
    rig.ui().vvtLampTime->click();
    QCOMPARE(rig.modem.readBytes(9), QByteArray("V99G0004\r"));
    // The command waits, so no poll goes out meanwhile.
    rig.tick(after - 1);
    QVERIFY(feed(rig, "P1250\r"));
    rig.tick();
    QCOMPARE(rig.log(), shown);
    QVERIFY(VantrelProbe::replyBuffer(rig.window()).isEmpty());
    QCOMPARE(rig.sent(), QByteArray());
}

// Replies at the full rate of a 9600 baud line, unasked for: each tick shows
// all that came, so a lamp report after ten seconds of it shows at once.
void TestPollCycle::chatterDelaysNoReply_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("chatter");
    QTest::addColumn<QByteArray>("report");

    QTest::newRow("Acer") << 0 << QByteArray("*000\r") << QByteArray("Lamp 1\r");
    QTest::newRow("Acer CR LF") << 0 << QByteArray("*000\r\n") << QByteArray("Lamp 1\r\n");
    QTest::newRow("InFocus") << 2 << QByteArray("(0-3,1)") << QByteArray("(0-3,0)");
}

void TestPollCycle::chatterDelaysNoReply()
{
    QFETCH(int, model);
    QFETCH(QByteArray, chatter);
    QFETCH(QByteArray, report);
    Rig rig(model, true);
    // Ten seconds of a 9600 baud line, whole replies, fed at the line's pace.
    const QByteArray stream = chatter.repeated((9600 + chatter.size() - 1) / chatter.size());
    for (int offset = 0; offset < stream.size(); offset += 96) {
        QVERIFY(feed(rig, stream.mid(offset, 96)));
        rig.tick();
    }
    rig.clearLog();
    QVERIFY(feed(rig, report));
    rig.tick();
    QCOMPARE(VantrelProbe::serialPort(rig.window()).bytesAvailable(), qint64(0));
    const QString shown = QString(report).remove('\r').remove('\n');
    QVERIFY2(rig.log().contains("\n-> " + shown + '\n'), qPrintable(rig.log()));
    if (model == 0)
        QVERIFY(VantrelProbe::projectorOn(rig.window()));
    QVERIFY(!rig.log().contains("Dropped"));
}

void TestPollCycle::pollSchedule_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("poll");
    QTest::addColumn<QList<int>>("pollTicks");

    const QList<int> everyThirtyFirst = { 1, 32, 63, 94 };
    QTest::newRow("Acer") << 0 << QByteArray("* 0 Lamp ?") << everyThirtyFirst;
    // A Vivitek projector that still owes the last poll's answer is not asked
    // again until that answer is given up, five seconds on.
    QTest::newRow("Vivitek") << 1 << QByteArray("V99G0007") << QList<int> { 1, 63 };
    QTest::newRow("InFocus") << 2 << QByteArray("(CST)") << everyThirtyFirst;
    QTest::newRow("other family") << 7 << QByteArray("* 0 Lamp ?") << everyThirtyFirst;
}

void TestPollCycle::pollSchedule()
{
    QFETCH(int, model);
    QFETCH(QByteArray, poll);
    QFETCH(QList<int>, pollTicks);
    Rig rig(model, true);

    QList<int> sendingTicks;
    for (int tick = 1; tick <= 94; ++tick) {
        rig.tick();
        if (rig.log().contains(QLatin1String("< ")))
            sendingTicks.append(tick);
        rig.clearLog();
    }
    QCOMPARE(sendingTicks, pollTicks);
    QCOMPARE(rig.sent(), (poll + '\r').repeated(pollTicks.size()));
}

void TestPollCycle::contactSupervision_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("replyTicks");
    QTest::addColumn<int>("lostAt");
    QTest::addColumn<QColor>("inContact"); // the boxes' colour while in contact

    // Tick 1 is the first, with no contact yet; a reply completes on tick 2.
    QTest::newRow("lost on the 49th silent tick")
        << 0 << QByteArray("LAMP 1\r") << QList<int> { 2 } << 2 + 49 << Rig::LampOnColour;
    QTest::newRow("reply on the 48th keeps contact")
        << 0 << QByteArray("LAMP 1\r") << QList<int> { 2, 2 + 48 } << 2 + 48 + 49
        << Rig::LampOnColour;
    // Contact regained changes the icon only: the boxes wait for a lamp report.
    QTest::newRow("Acer, no lamp report")
        << 0 << QByteArray("*000\r") << QList<int> { 2 } << 2 + 49 << Rig::NoContactColour;
    QTest::newRow("Vivitek, no lamp report")
        << 1 << QByteArray("F\r") << QList<int> { 2 } << 2 + 49 << Rig::NoContactColour;
    // InFocus tells no lamp state: its boxes say that it answers.
    QTest::newRow("InFocus") << 2 << QByteArray("(0-3,1)") << QList<int> { 2 } << 2 + 49
                             << LampColours::colour(LampColours::State::InContact);
}

void TestPollCycle::contactSupervision()
{
    QFETCH(int, model);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, replyTicks);
    QFETCH(int, lostAt);
    QFETCH(QColor, inContact);
    Rig rig(model);
    QCOMPARE(rig.boxColour(), Rig::TransitionColour);

    for (int tick = 1; tick <= lostAt; ++tick) {
        if (replyTicks.contains(tick))
            QVERIFY(feed(rig, reply));
        rig.tick();
        const bool contact = tick > 1 && tick < lostAt;
        QVERIFY2(contact ? rig.showsContact() : showsNoContact(rig),
                 qPrintable(QString::number(tick)));
        QCOMPARE(rig.boxColour(), contact ? inContact : Rig::NoContactColour);
        QVERIFY(rig.boxesAgree());
        if (!contact)
            QCOMPARE(rig.ui().on_off_groupBox->toolTip(), QString());
    }
}

// "|" separates the ticks' pieces and logs; the first log is the poll's tick.
static void logRow(const char *tag, int model, const char *display, const QByteArray &pieces,
                   const QString &logs)
{
    QTest::newRow(tag) << model << QByteArray(display) << pieces.split('|') << logs.split('|');
}

void TestPollCycle::trafficLog_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("logs");

    const QString acer = QStringLiteral("< 2a 20 30 20 4c 61 6d 70 20 3f 0d\n|");
    logRow("Acer hex", 0, "hex", "LAMP 1\r", acer + "> 4c 41 4d 50 20 31 0d \n-> LAMP 1\n");
    logRow("Acer character", 0, "character", "LAMP 1\r", "< * 0 Lamp ?0d\n|> LAMP 1\n-> LAMP 1\n");
    logRow("handler line above the reply line", 0, "hex", "*001\r",
           acer + "> 2a 30 30 31 0d \nCommand not available at the moment.\n-> *001\n");
    logRow("partial tick logs only what came", 0, "hex", "LAM|P 0\r",
           acer + "> 4c 41 4d \n|> 50 20 30 0d \n-> LAMP 0\n");
    logRow("InFocus bytes 00 05 c8 ff", 2, "hex", QByteArray("\x00\x05\xc8\xff)", 5),
           "< 28 43 53 54 29 0d\n|> 00 05 c8 ff 29 \n-> "
               + QString::fromLatin1("\x00\x05\xc8\xff)\n", 6));
    logRow("Acer UTF-8 bytes in hex", 0, "hex", "\xc3\xa9\r",
           acer + "> c3 a9 0d \n" + QString::fromLatin1("\xc3\xa9\n-> \xc3\xa9\n"));
    logRow("InFocus character", 2, "character", "(CST1)", "< (CST)0d\n|> (CST1)\n-> (CST1)\n");
    logRow("Debug off", 0, "off", "LA|MP 1\r", "||");
}

void TestPollCycle::trafficLog()
{
    QFETCH(int, model);
    QFETCH(QByteArray, display);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, logs);
    Rig rig(model, display != "off");
    rig.ui().asciiCheckBox->setChecked(display != "hex");

    rig.tick();
    for (int i = 0; i < logs.size(); ++i) {
        QCOMPARE(rig.log(), logs.at(i));
        rig.ui().clearLog->click();
        if (i < pieces.size()) {
            QVERIFY(feed(rig, pieces.at(i)));
            rig.tick();
        }
    }
    // What the log shows changes nothing else.
    QVERIFY(rig.showsContact());
    QCOMPARE(VantrelProbe::contactCounter(rig.window()), 1);
}

void TestPollCycle::logFollowsNewLines()
{
    Rig rig(0, true);
    QVERIFY(rig.show());
    rig.ui().info->click();
    rig.tick(); // the poll's line, which no reply follows yet
    const QScrollBar *bar = rig.ui().textEdit->verticalScrollBar();
    for (int i = 0; i < 4; ++i) {
        // A reply at a time, each more than a screenful of log.
        QVERIFY(feed(rig, QByteArray("LAMP 1\r").repeated(30)));
        rig.tick();
        // At the bottom, but for the document's margin below the last line.
        const QTextEdit *log = rig.ui().textEdit;
        QTRY_VERIFY(bar->maximum() > 0);
        QVERIFY(bar->value() >= bar->maximum() - log->document()->documentMargin());
        QVERIFY(log->viewport()->rect().contains(log->cursorRect()));
    }
}

// A week of polls with Debug on, each answered, on the test's ticks: the
// pane holds the newest lines, no more than its bound, and no undo history.
void TestPollCycle::logKeepsTheNewestLinesForAWeek()
{
    Rig rig(0, true);
    rig.ui().asciiCheckBox->setChecked(true);
    constexpr qint64 TicksInAWeek = qint64(7) * 24 * 3600 * 10;
    // A poll goes out on the first tick and every 31st after it; the reply,
    // numbered, is read on the next tick. Each poll logs four lines.
    qint64 polls = 0;
    ProjectorLink &port = VantrelProbe::serialPort(rig.window());
    for (qint64 tick = 0; tick < TicksInAWeek; ++tick) {
        rig.tick();
        if (tick % PollClock::PollEvery != 0)
            continue;
        ++polls;
        QCOMPARE(rig.modem.readBytes(11, 2000), QByteArray("* 0 Lamp ?\r"));
        // Waits on the port itself: a wait that sleeps between looks would
        // make the week last an hour.
        const QByteArray reply = QByteArray::number(polls) + '\r';
        QVERIFY(rig.modem.write(reply));
        while (port.bytesAvailable() < reply.size())
            QVERIFY(port.waitForReadyRead(2000));
    }
    rig.tick();

    QCOMPARE(polls, TicksInAWeek / PollClock::PollEvery + 1);
    const QStringList shown = rig.log().split('\n');
    QCOMPARE(shown.last(), QString()); // the last line ends too
    const int lines = shown.size() - 1;
    QVERIFY2(lines >= TrafficLog::KeptLines && lines <= TrafficLog::MaxLines,
             qPrintable(QString::number(lines)));
    // The newest ones, in order.
    QStringList newest;
    for (qint64 poll = polls - lines / 4; poll <= polls; ++poll)
        newest << "< * 0 Lamp ?0d" << QString("> %1").arg(poll) << QString::number(poll)
               << QString("-> %1").arg(poll);
    QCOMPARE(shown.mid(0, lines), newest.mid(newest.size() - lines));
    QCOMPARE(rig.ui().textEdit->document()->availableUndoSteps(), 0);
}

// A user who selects or clicks into the log and a line that comes then: the
// line goes at the end, the selection stays as it was made.
void TestPollCycle::logLinesGoAtTheEnd_data()
{
    QTest::addColumn<int>("anchor"); // of the user's selection; -1: the end of the log
    QTest::addColumn<int>("position");
    QTest::newRow("nothing touched") << -1 << -1;
    QTest::newRow("clicked at the start") << 0 << 0;
    QTest::newRow("clicked inside a line") << 7 << 7;
    QTest::newRow("a line selected") << 0 << 10;
    QTest::newRow("selected up to the end") << 5 << -1;
    QTest::newRow("selected back from the end") << -1 << 5;
}

void TestPollCycle::logLinesGoAtTheEnd()
{
    QFETCH(int, anchor);
    QFETCH(int, position);
    Rig rig(0, true);
    rig.tick();
    QVERIFY(feed(rig, "*001\r"));
    rig.tick();
    const QString before = rig.log();
    anchor = anchor < 0 ? before.size() : anchor;
    position = position < 0 ? before.size() : position;
    QTextEdit *log = rig.ui().textEdit;
    QTextCursor user(log->document());
    user.setPosition(anchor);
    user.setPosition(position, QTextCursor::KeepAnchor);
    log->setTextCursor(user);
    const QString selected = log->textCursor().selectedText();

    QVERIFY(feed(rig, "*001\r"));
    rig.tick();
    QCOMPARE(rig.log(),
             before + "> 2a 30 30 31 0d \nCommand not available at the moment.\n-> *001\n");
    QCOMPARE(log->textCursor().selectedText(), selected);
    // A cursor left at the end stays there, so the pane follows new lines.
    const bool atEnd = anchor == before.size() && position == before.size();
    QCOMPARE(log->textCursor().anchor(), atEnd ? rig.log().size() : anchor);
    QCOMPARE(log->textCursor().position(), atEnd ? rig.log().size() : position);
}

// The pane holds 10,000 lines and lets the oldest go only at the 10,001st;
// what the user selected in the lines it keeps stays selected.
void TestPollCycle::logTrimsPastTenThousandLines()
{
    Rig rig(0);
    Vantrel &w = rig.window();
    QTextEdit *log = rig.ui().textEdit;
    log->clear();
    QString lines;
    for (int i = 1; i <= 10000; ++i)
        lines += QString::number(i) + '\n';
    VantrelProbe::log(w, lines);
    const auto shown = [&] { return rig.log().split('\n'); };
    QCOMPARE(shown().size() - 1, 10000);
    QCOMPARE(shown().first(), QString("1"));

    // The user selects from line 9500 to the end.
    const QString text = rig.log();
    const int start = text.indexOf("\n9500\n") + 1;
    QTextCursor user(log->document());
    user.setPosition(start);
    user.setPosition(text.size(), QTextCursor::KeepAnchor);
    log->setTextCursor(user);
    const QString selected = log->textCursor().selectedText();
    QVERIFY(selected.startsWith("9500") && selected.contains("10000"));

    VantrelProbe::log(w, QStringLiteral("10001\n"));
    const QStringList kept = shown();
    QVERIFY2(kept.size() - 1 < 10000, qPrintable(QString::number(kept.size() - 1)));
    QCOMPARE(kept.at(kept.size() - 2), QString("10001"));
    // The newest, in order, without a gap.
    QCOMPARE(kept.first().toInt(), 10001 - (kept.size() - 1) + 1);
    QCOMPARE(log->textCursor().selectedText(), selected);
}

VANTREL_TEST_MAIN(TestPollCycle)

#include "tst_pollcycle.moc"
