// The stand-in projector used by the demos and end-to-end tests: its replies
// must be exactly what the program expects, or those tests prove nothing.

#include "projectormodel.h"

#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using Family = ProjectorModel::Family;
using Power = ProjectorModel::Power;
using Options = ProjectorModel::Options;
using Commands = QMap<qint64, QByteArray>; // sent at these milliseconds
Q_DECLARE_METATYPE(ProjectorModel::Family)
Q_DECLARE_METATYPE(ProjectorModel::Options)
Q_DECLARE_METATYPE(Commands)

namespace {

// Warm-up and cool-down take 3 s, the lamp starts at 1250 hours.
ProjectorModel::Options makeOptions(Family family, bool lampOn = false)
{
    ProjectorModel::Options options;
    options.family = family;
    options.lampOn = lampOn;
    return options;
}

QByteArray exchange(ProjectorModel &model, const QByteArray &bytes, qint64 nowMs)
{
    model.receive(bytes, nowMs);
    return model.takeOutput(nowMs);
}

} // namespace

class TestProjectorSim : public QObject
{
    Q_OBJECT

private slots:
    void replies_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<bool>("lampOn");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("expected");

        const Family A = Family::Acer, V = Family::Vivitek, I = Family::InFocus;
        const QByteArray overlong(ProjectorModel::maxCommandLength + 1, 'x');
        const auto row = [](const char *name, Family family, bool lampOn, const QByteArray &sent,
                            const QByteArray &expected) {
            QTest::newRow(name) << family << lampOn << sent << expected;
        };
        // Keys refused while off; lit while warming up, dark while cooling
        // down; power switches back only when the transition is over.
        row("acer from off", A, false,
            "* 0 IR 009\r* 0 Lamp ?\rOKOKOKOKOK\r* 0 Lamp ?\r* 0 IR 002\rOKOKOKOKOK\r",
            "*001\rLamp 0\r*000\rLamp 1\r*001\r*000\r");
        row("acer from on", A, true, "* 0 IR 002\r* 0 Lamp ?\rOKOKOKOKOK\r* 0 IR 002\r",
            "*000\rLamp 0\r*001\r*000\r");
        row("vvt from off", V, false,
            "V99S01010\rV99G0007\rV99S0001\rV99G0007\rV99S0002\rV99S0001\r",
            "F\rP0\rP\rP1\rF\rP\r");
        row("vvt from on", V, true, "V99S0002\rV99G0007\rV99S0001\rV99S0002\r", "P\rP0\rF\rP\r");
        // InFocus answers with the state after the command.
        row("infocus from off", I, false, "(CST)\r(PWR1)\r(CST)\r(PWR0)\r(PWR?)\r",
            "(0-3,0)(0-1,1)(0-3,2)(0-1,1)(0-1,1)");
        row("infocus from on", I, true, "(CST)\r(PWR0)\r(CST)\r(PWR1)\r",
            "(0-3,1)(0-1,0)(0-3,3)(0-1,0)");
        row("acer lamp hours", A, false, "* 0 Lamp\r", "1250\r");
        row("acer refused", A, true, "* 0 lamp ?\r* 0 IR 099\r", "*001\r*001\r");
        row("acer resolution", A, true, "* 0 IR 036\r", { "Res \x04\x00\x03\x00\x01\r", 10 });
        row("acer empty line, CR LF, two in one read", A, true, "\r* 0 Lamp ?\r\n* 0 IR 013\r",
            "Lamp 1\r*000\r");
        row("acer no terminator", A, true, "* 0 Lamp ?", "");
        row("acer overlong line, tail ignored", A, true, overlong + "* 0 Lamp ?\r* 0 Lamp ?\r",
            "Lamp 1\r");
        row("vvt firmware", V, false, "V99G0008\r", "P1.04S\r");
        // Sources are selected by function number and reported less 201.
        row("vvt source HDMI 2", V, true, "V99S0209\rV99G0220\r", "P\rP8\r");
        // Out of range, overlong, missing, read-only, source with a value.
        row("vvt values refused", V, true,
            "V99S0101101\rV99S010199999999999\rV99S0309\rV99S010250\rV99S02091\r",
            "F\rF\rF\rF\rF\r");
        row("vvt grammar refused", V, true, "V99G0999\rV99X0007\rV99G00071\r", "F\rF\rF\r");
        row("infocus lamp hours", I, true, "(LMP?)\r", "(0-65535,1250)");
        row("infocus unknown", I, true, "(FRZ1)\r", "(ERR)");
    }

    // Whole, and split into single bytes as a slow line delivers it.
    void replies()
    {
        QFETCH(Family, family);
        QFETCH(bool, lampOn);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, expected);
        ProjectorModel whole(makeOptions(family, lampOn), 0);
        ProjectorModel split(makeOptions(family, lampOn), 0);
        QByteArray bytewise;
        for (char byte : sent)
            bytewise += exchange(split, QByteArray(1, byte), 10);
        QCOMPARE(bytewise, expected);
        QCOMPARE(exchange(whole, sent, 10), expected);
        QCOMPARE(whole.takeOutput(100000), QByteArray()); // nothing held back either
    }

    // Each settable function at both ends of its range, refusing what lies beyond.
    void vivitekRemembersSettings()
    {
        const int ranges[][3]
            = { { 101, 0, 100 }, { 106, 0, 2 },    { 108, 0, 7 }, { 301, 1, 2 }, { 302, 0, 1 },
                { 308, 0, 3 },   { 309, -40, 40 }, { 319, 0, 2 }, { 321, 0, 2 } };
        for (const auto &range : ranges) {
            const QByteArray number = QByteArray::number(range[0]).rightJustified(4, '0');
            for (int value : { range[1], range[2] }) {
                ProjectorModel model(makeOptions(Family::Vivitek, true), 0);
                const QByteArray text = QByteArray::number(value);
                QCOMPARE(exchange(model, "V99S" + number + text + '\r', 1), "P" + text + '\r');
                QCOMPARE(exchange(model, "V99S" + number + "-99\r", 2), QByteArray("F\r"));
                // Remembered through a power cycle too.
                exchange(model, "V99S0002\rV99S0001\r", 10000);
                QCOMPARE(exchange(model, "V99G" + number + '\r', 20000), "P" + text + '\r');
            }
        }
    }

    void transitionsTakeTheirTime()
    {
        ProjectorModel model(makeOptions(Family::Acer), 1000);
        exchange(model, "OKOKOKOKOK\r", 1200);
        QCOMPARE(model.nextDueMs(), 4200);
        QCOMPARE(model.power(4199), Power::WarmingUp);
        QCOMPARE(model.power(4200), Power::On);
        exchange(model, "* 0 IR 002\r", 5000);
        QCOMPARE(model.power(7999), Power::CoolingDown);
        QCOMPARE(model.power(8000), Power::Off);
        // A clock handed in out of order does not undo what already happened.
        QCOMPARE(model.power(6000), Power::Off);

        // Lamp hours count the time lit, warm-up included, cool-down not.
        const qint64 hour = 3600 * 1000;
        ProjectorModel lamp(makeOptions(Family::Vivitek, true), 0);
        QCOMPARE(exchange(lamp, "V99G0004\r", hour), QByteArray("P1251\r"));
        exchange(lamp, "V99S0002\r", hour + hour / 2);
        QCOMPARE(lamp.lampHours(10 * hour), 1251);
        exchange(lamp, "V99S0001\r", 10 * hour);
        QCOMPARE(lamp.lampHours(10 * hour + hour / 2), 1252);
    }

    // Each injected fault does what it says; the random ones repeat with their seed.
    void faults()
    {
        ProjectorModel::Options options = makeOptions(Family::Acer, true);
        options.delayMs = 500;
        ProjectorModel delayed(options, 0);
        QCOMPARE(exchange(delayed, "* 0 Lamp ?\r* 0 IR 013\r", 100), QByteArray());
        QCOMPARE(delayed.nextDueMs(), 600);
        QCOMPARE(delayed.takeOutput(599), QByteArray());
        QCOMPARE(delayed.takeOutput(600), QByteArray("Lamp 1\r*000\r"));

        for (int percent : { 0, 33, 100 }) {
            QByteArray answered[2];
            for (QByteArray &run : answered) {
                options = makeOptions(Family::Acer, true);
                options.dropPercent = percent;
                ProjectorModel model(options, 0);
                for (int i = 0; i < 300; ++i)
                    run += exchange(model, "* 0 Lamp ?\r", i) == "Lamp 1\r" ? '1' : '0';
            }
            QCOMPARE(answered[1], answered[0]);
            const int dropped = answered[0].count('0');
            QVERIFY(percent % 100 ? dropped > 0 && dropped < 300 : dropped == percent * 3);
        }

        options = makeOptions(Family::Acer, true);
        options.noisePerSecond = 4;
        ProjectorModel noisy(options, 1000);
        QCOMPARE(noisy.takeOutput(1249), QByteArray());
        const QByteArray noise = noisy.takeOutput(2000);
        QCOMPARE(noise.size(), 4);
        QCOMPARE(ProjectorModel(options, 1000).takeOutput(2000), noise);

        // Chatter for 10 s, read at once: 3 bytes at 960 a second are 320 lines a second.
        options = makeOptions(Family::Vivitek);
        options.chatter = "P1";
        ProjectorModel chatty(options, 1000);
        QCOMPARE(chatty.takeOutput(11000), QByteArray("P1\r").repeated(3200));
        QCOMPARE(chatty.takeLog().count(QStringLiteral("CHATTER 320 x \"P1\"")), 10);
    }

    void timing_data()
    {
        QTest::addColumn<Options>("options");
        QTest::addColumn<Commands>("commands");
        QTest::addColumn<qint64>("untilMs");
        QTest::addColumn<QByteArray>("timeline"); // "ms:bytes " for each time something leaves
        Options acer = makeOptions(Family::Acer, true);
        acer.delayMs = 100;
        acer.commandDelayMs = { { "* 0 Lamp ?", 500 } };
        // Also when a CR LF terminal puts its LF before the command.
        QTest::newRow("slow reply holds back the next")
            << acer
            << Commands { { 0, "* 0 Lamp ?\r* 0 IR 013\r" }, { 600, "* 0 IR 013\r\n* 0 Lamp ?\r" } }
            << qint64(1200) << QByteArray("500:Lamp 1\r*000\r 700:*000\r 1100:Lamp 1\r ");

        // A chatter line every 4 ms; a reply waits only for the line under way.
        Options vvt = makeOptions(Family::Vivitek);
        vvt.lineEnd = ProjectorModel::LineEnd::CrLf;
        vvt.chatter = "P1";
        vvt.chatterBytesPerSecond = 1000;
        QTest::newRow("vvt crlf, chatter yields at a line boundary")
            << vvt << Commands { { 10, "V99G0007\r" } } << qint64(20)
            << QByteArray("4:P1\r\n 8:P1\r\n 12:P1\r\n 16:P0\r\n 20:P1\r\n ");
        // Replies back to back each take their time on the busy line.
        acer.delayMs = 5;
        acer.commandDelayMs.clear();
        acer.lineEnd = ProjectorModel::LineEnd::CrLf;
        acer.chatter = "X";
        acer.chatterBytesPerSecond = 1000;
        QTest::newRow("acer crlf, chatter around replies")
            << acer << Commands { { 0, "* 0 Lamp ?\r* 0 IR 013\r" } } << qint64(23)
            << QByteArray("3:X\r\n 6:X\r\n 14:Lamp 1\r\n 20:*000\r\n 23:X\r\n ");
        Options infocus = makeOptions(Family::InFocus);
        infocus.lineEnd = ProjectorModel::LineEnd::CrLf;
        infocus.chatter = "(0-1,1)";
        infocus.chatterBytesPerSecond = 700;
        QTest::newRow("infocus, no line end")
            << infocus << Commands { { 15, "(PWR?)\r" } } << qint64(40)
            << QByteArray("10:(0-1,1) 20:(0-1,1) 30:(0-1,0) 40:(0-1,1) ");
    }

    // Output leaves only when announced, and the next moment is never in the past (which
    // would make the host spin); read only once, the same bytes come out.
    void timing()
    {
        QFETCH(Options, options);
        QFETCH(Commands, commands);
        QFETCH(qint64, untilMs);
        QFETCH(QByteArray, timeline);
        ProjectorModel ticked(options, 0);
        ProjectorModel once(options, 0);
        QByteArray all;
        QByteArray actual;
        for (qint64 ms = 0; ms <= untilMs; ++ms) {
            ticked.receive(commands.value(ms), ms);
            once.receive(commands.value(ms), ms);
            const qint64 due = ticked.nextDueMs();
            const QByteArray out = ticked.takeOutput(ms);
            QVERIFY(out.isEmpty() || due == ms);
            QVERIFY(ticked.nextDueMs() < 0 || ticked.nextDueMs() > ms);
            all += out;
            if (!out.isEmpty())
                actual += QByteArray::number(ms) + ':' + out + ' ';
        }
        QCOMPARE(actual, timeline);
        QCOMPARE(once.takeOutput(untilMs), all);
    }

    void executableOverPty()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttySIM"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link)); // stale, to be replaced
        QProcess sim;
        sim.start(PROJECTOR_SIM_PATH, { "--family", "acer", "--lamp", "on", "--link", link });
        QTRY_VERIFY(sim.canReadLine());
        const QByteArray first = sim.readLine().trimmed();
        QVERIFY2(first.startsWith("PTY /dev/"), first.constData());
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromLocal8Bit(first.mid(4)));

        // Opened twice: after the first close the line must come back.
        for (int round = 0; round < 2; ++round) {
            QSerialPort port(link);
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            port.write("* 0 IR 036\r");
            QByteArray reply;
            QTRY_COMPARE(reply += port.readAll(), QByteArray("Res \x04\x00\x03\x00\x01\r", 10));
            port.close();
            // Control bytes are escaped, so that each log entry stays one line.
            QByteArray log;
            QTRY_VERIFY((log += sim.readAll()).contains("-- line closed"));
            QVERIFY(log.contains("RX \"* 0 IR 036\"\nTX \"Res \\x04\\x00\\x03\\x00\\x01\"\n"));
        }

        sim.terminate();
        QVERIFY(sim.waitForFinished());
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void executableChatters()
    {
        QProcess sim;
        sim.start(PROJECTOR_SIM_PATH,
                  { "--family", "vivitek", "--line-end", "crlf", "--chatter", "P1", "--delay",
                    "V99G0007=20" });
        QTRY_VERIFY(sim.canReadLine());
        QSerialPort port(QString::fromLocal8Bit(sim.readLine().trimmed().mid(4)));
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        QByteArray received;
        QTRY_VERIFY((received += port.readAll()).contains("P1\r\n"));
        port.write("V99G0007\r");
        // Whole lines only, the reply in between.
        QTRY_VERIFY((received += port.readAll()).contains("P0\r\nP1\r\n"));
        QTRY_VERIFY((received += port.readAll()).endsWith("\r\n"));
        QCOMPARE(received.replace("P1\r\n", ""), QByteArray("P0\r\n"));
        sim.terminate();
        QVERIFY(sim.waitForFinished());
    }
};

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
