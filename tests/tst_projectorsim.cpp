// The stand-in projector used by the demos and end-to-end tests: its replies
// must be exactly what the program expects, or those tests prove nothing.

#include "pjlinkmodel.h"
#include "projectormodel.h"

#include <QCryptographicHash>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

using Family = ProjectorModel::Family;
using Power = ProjectorModel::Power;
using Options = ProjectorModel::Options;
using Commands = QMap<qint64, QByteArray>; // sent at these milliseconds
Q_DECLARE_METATYPE(ProjectorModel::Family)
Q_DECLARE_METATYPE(ProjectorModel::Options)
Q_DECLARE_METATYPE(Commands)
Q_DECLARE_METATYPE(PjlinkModel::Options)

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

PjlinkModel::Options pjlinkOptions(int pjClass, bool lampOn)
{
    PjlinkModel::Options options;
    options.pjClass = pjClass;
    options.lampOn = lampOn;
    return options;
}

QByteArray exchange(PjlinkModel &model, int connection, const QByteArray &bytes, qint64 nowMs)
{
    model.receive(connection, bytes, nowMs);
    return model.takeOutput(connection, nowMs);
}

// The login of the greeting in out, for the first command.
QByteArray login(const QByteArray &greeting, const QByteArray &password)
{
    return QCryptographicHash::hash(greeting.mid(9, 8) + password, QCryptographicHash::Md5).toHex();
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

    void pjlinkReplies_data()
    {
        QTest::addColumn<PjlinkModel::Options>("options");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const PjlinkModel::Options &options,
                            const QByteArray &sent, const QByteArray &expected) {
            QTest::newRow(name) << options << sent << expected;
        };
        // State changes are refused while warming up, cooling down and in standby.
        row("power from standby", pjlinkOptions(1, false),
            "%1POWR ?\r%1INPT 31\r%1POWR 1\r%1POWR ?\r%1INPT 31\r%1AVMT 31\r%1POWR 0\r%1POWR 7\r",
            "%1POWR=0\r%1INPT=ERR3\r%1POWR=OK\r%1POWR=3\r%1INPT=ERR3\r%1AVMT=ERR3\r%1POWR=ERR3\r"
            "%1POWR=ERR2\r");
        row("power from on", pjlinkOptions(1, true), "%1POWR 0\r%1POWR ?\r%1POWR 1\r%1POWR 0\r",
            "%1POWR=OK\r%1POWR=2\r%1POWR=ERR3\r%1POWR=OK\r");
        row("inputs and mutes", pjlinkOptions(1, true),
            "%1INPT 31\r%1INPT ?\r%1INPT 3A\r%1INPT 41\r%1AVMT 11\r%1AVMT 21\r%1AVMT ?\r"
            "%1AVMT 20\r%1AVMT ?\r%1AVMT 10\r%1AVMT ?\r%1AVMT 40\r%1INST ?\r",
            "%1INPT=OK\r%1INPT=31\r%1INPT=ERR2\r%1INPT=ERR2\r%1AVMT=OK\r%1AVMT=OK\r%1AVMT=31\r"
            "%1AVMT=OK\r%1AVMT=11\r%1AVMT=OK\r%1AVMT=30\r%1AVMT=ERR2\r%1INST=11 12 21 31 32\r");
        row("class 1 knows no class 2", pjlinkOptions(1, true),
            "%2SNUM ?\r%1SNUM ?\r%2INST ?\r%1FOOO ?\r%1ERST 1\r%1CLSS ?\r",
            "%2SNUM=ERR1\r%1SNUM=ERR1\r%2INST=ERR1\r%1FOOO=ERR1\r%1ERST=ERR2\r%1CLSS=1\r");
        PjlinkModel::Options options = pjlinkOptions(2, true);
        row("class 2", options,
            "%2INST ?\r%2INNM ?3A\r%2INNM ?41\r%2INPT 3A\r%2INPT ?\r%1INPT 3A\r%2SNUM ?\r"
            "%2SVER ?\r%2IRES ?\r%2RRES ?\r%2FILT ?\r%2RLMP ?\r%2RFIL ?\r%2FREZ 1\r%2FREZ ?\r"
            "%2FREZ 2\r%2SVOL 1\r%2MVOL 0\r%2SVOL ?\r%1CLSS ?\r",
            "%2INST=11 12 21 31 32 3A\r%2INNM=HDBaseT\r%2INNM=ERR2\r%2INPT=OK\r%2INPT=3A\r"
            "%1INPT=ERR2\r%2SNUM=SIM0001234\r%2SVER=1.04\r%2IRES=1920x1080\r%2RRES=1920x1080\r"
            "%2FILT=320\r%2RLMP=LMP-0101\r%2RFIL=FLT-0101\r%2FREZ=OK\r%2FREZ=1\r%2FREZ=ERR2\r"
            "%2SVOL=OK\r%2MVOL=OK\r%2SVOL=ERR2\r%1CLSS=2\r");
        options = pjlinkOptions(2, false);
        row("class 2 in standby", options, "%2IRES ?\r%2FREZ 1\r%2SVOL 1\r",
            "%2IRES=-\r%2FREZ=ERR3\r%2SVOL=ERR3\r");
        options = pjlinkOptions(1, true);
        options.lamps = 3;
        options.errorStatus = "000210";
        row("three lamps, health set", options, "%1LAMP ?\r%1ERST ?\r",
            "%1LAMP=1250 1 1251 1 1252 1\r%1ERST=000210\r");
        options.lamps = 0;
        row("no lamp", options, "%1LAMP ?\r", "%1LAMP=ERR1\r");
        options = pjlinkOptions(2, true);
        options.lowerCase = true;
        options.classText = true;
        row("faults: lower case, class in words", options, "%1POWR ?\r%1CLSS ?\r%1INF1 ?\r",
            "%1powr=1\r%1clss=class 2\r%1inf1=simulator\r");
        options.lowerCase = false;
        row("class in words", options, "%1CLSS ?\r", "%1CLSS=Class 2\r");
        // As real projectors bend the standard.
        options = pjlinkOptions(2, true);
        row("class 2 input in class 1's words", options,
            "%2INPT 3A\r%1INPT ?\r%2INPT ?\r%2INPT 31\r%1INPT ?\r",
            "%2INPT=OK\r%1INPT=ERR2\r%2INPT=3A\r%2INPT=OK\r%1INPT=31\r");
        options.classTwoListRefused = true;
        row("class 2 without its list of inputs", options, "%2INST ?\r%1INST ?\r",
            "%2INST=ERR1\r%1INST=11 12 21 31 32\r");
        options = pjlinkOptions(2, true);
        options.classTwoInputOnly = true;
        row("class 2 telling the input only as class 2", options, "%1INPT ?\r%2INPT ?\r",
            "%1INPT=ERR1\r%2INPT=11\r");
        options = pjlinkOptions(2, true);
        options.filter = false;
        options.name = "<b>R\xe2\x80\xae\x01</b>";
        row("no filter, a name as given", options, "%2FILT ?\r%1NAME ?\r",
            "%2FILT=ERR1\r%1NAME=<b>R\xe2\x80\xae\x01</b>\r");
        options = pjlinkOptions(2, true);
        options.longInputList = true;
        QByteArrayList all;
        for (char type = '1'; type <= '5'; ++type) {
            for (char number = '1'; number <= '9'; ++number)
                all << QByteArray(1, type) + number;
        }
        const QByteArray longList = "%1INST=" + all.join(' ') + '\r';
        QCOMPARE(int(longList.size()), 142);
        row("45 inputs", options, "%1INST ?\r%2INST ?\r%1INPT 59\r%2INNM ?59\r",
            longList + "%2INST=" + all.join(' ') + "\r%1INPT=OK\r%2INNM=Input 59\r");
        // Nothing for a line that is not a command; a long one is skipped whole.
        // A malformed command whose header can be told is ERR1.
        row("not commands", pjlinkOptions(1, true),
            "garbage\r%1POWR\r%1POWR?\r%3POWR ?\r" + QByteArray(200, 'x') + "\r%1POWR ?\r",
            "%1POWR=ERR1\r%1POWR=ERR1\r%3POWR=ERR1\r%1POWR=1\r");
    }

    // After the greeting, whole and byte by byte.
    void pjlinkReplies()
    {
        QFETCH(PjlinkModel::Options, options);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, expected);
        PjlinkModel whole(options, 0);
        const int first = whole.open(0);
        QCOMPARE(exchange(whole, first, sent, 10), "PJLINK 0\r" + expected);
        PjlinkModel split(options, 0);
        const int second = split.open(0);
        QByteArray bytewise = split.takeOutput(second, 0);
        for (char byte : sent)
            bytewise += exchange(split, second, QByteArray(1, byte), 10);
        QCOMPARE(bytewise, "PJLINK 0\r" + expected);
        QVERIFY(!whole.closing(first, 100000));
    }

    // The digest must lead the first command and only that one; each
    // connection has its own token.
    void pjlinkLogin()
    {
        PjlinkModel::Options options = pjlinkOptions(1, true);
        options.password = "JBMIAProjectorLink";
        PjlinkModel model(options, 0);
        const int good = model.open(0);
        const QByteArray greeting = model.takeOutput(good, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^PJLINK 1 [0-9a-f]{8}\r$"))
                     .match(QString::fromLatin1(greeting))
                     .hasMatch(),
                 greeting.constData());
        const QByteArray digest = login(greeting, options.password);
        QCOMPARE(exchange(model, good, digest + "%1POWR ?\r%1INPT ?\r", 1),
                 QByteArray("%1POWR=1\r%1INPT=11\r"));
        QCOMPARE(exchange(model, good, digest + "%1POWR ?\r", 2), QByteArray()); // not a command
        QVERIFY(!model.closing(good, 2));

        for (const QByteArray &first : { QByteArray("%1POWR ?\r"), digest + "%1POWR ?\r",
                                         login(greeting, "JBMIAProjectorlink") + "%1POWR ?\r",
                                         digest.toUpper() + "%1POWR ?\r" }) {
            const int bad = model.open(10);
            const QByteArray token = model.takeOutput(bad, 10);
            QVERIFY(token != greeting);
            QCOMPARE(exchange(model, bad, first + "%1POWR ?\r", 11), QByteArray("PJLINK ERRA\r"));
            QVERIFY(model.closing(bad, 11));
            model.close(bad);
        }
        QVERIFY(model.takeLog().contains(QStringLiteral("-- login rejected")));
    }

    void pjlinkTiming()
    {
        PjlinkModel::Options options = pjlinkOptions(2, false);
        options.greetingDelayMs = 1500;
        options.idleCloseMs = 2000;
        options.warmupMs = 4000;
        options.cutReplyTo = "LAMP";
        PjlinkModel model(options, 0);
        const int connection = model.open(100);
        QCOMPARE(model.nextDueMs(), 1600);
        QCOMPARE(model.takeOutput(connection, 1599), QByteArray());
        QCOMPARE(model.takeOutput(connection, 1600), QByteArray("PJLINK 0\r"));
        QCOMPARE(exchange(model, connection, "%1POWR 1\r", 2000), QByteArray("%1POWR=OK\r"));
        QCOMPARE(exchange(model, connection, "%1POWR ?\r", 5999), QByteArray("%1POWR=3\r"));
        QCOMPARE(exchange(model, connection, "%1POWR ?\r", 6000), QByteArray("%1POWR=1\r"));
        // Idle since its last answer.
        QCOMPARE(model.nextDueMs(), 8000);
        QVERIFY(!model.closing(connection, 7999));
        QVERIFY(model.closing(connection, 8000));
        model.close(connection);

        // The first answer to LAMP stops half way and ends the connection; later ones are whole.
        const int cut = model.open(9000);
        QCOMPARE(exchange(model, cut, "%1LAMP ?\r", 10500), QByteArray("PJLINK 0\r%1LAMP="));
        QVERIFY(model.closing(cut, 10500));
        model.close(cut);
        const int again = model.open(11000);
        QCOMPARE(exchange(model, again, "%1LAMP ?\r", 12500),
                 QByteArray("PJLINK 0\r%1LAMP=1250 1\r"));
        // Hours lit count, warm-up included.
        const qint64 hour = 3600 * 1000;
        QCOMPARE(model.lampHours(2000 + hour), 1251);

        // The search is answered by class 2 alone, and only the search.
        QCOMPARE(model.datagram("%2SRCH\r", 1), QByteArray("%2ACKN=00:00:5e:00:53:01\r"));
        QCOMPARE(model.datagram("%2SRCH", 1), QByteArray());
        QCOMPARE(model.datagram("%1POWR ?\r", 1), QByteArray());
        QCOMPARE(PjlinkModel(pjlinkOptions(1, true), 0).datagram("%2SRCH\r", 1), QByteArray());
    }

    // The simulator speaks PJLink over real TCP and UDP on 127.0.0.1.
    void executablePjlink()
    {
        QTemporaryDir dir;
        QFile secret(dir.filePath(QStringLiteral("password")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("s3cret\n");
        secret.close();
        QProcess sim;
        sim.start(PROJECTOR_SIM_PATH,
                  { "--family", "pjlink", "--pjlink-class", "2", "--lamp", "on", "--password-file",
                    secret.fileName(), "--idle-close-ms", "400" });
        QTRY_VERIFY(sim.canReadLine());
        const QList<QByteArray> listen = sim.readLine().trimmed().split(' ');
        QCOMPARE(listen.value(0), QByteArray("LISTEN"));
        QCOMPARE(listen.value(1), QByteArray("127.0.0.1"));
        const quint16 tcpPort = quint16(listen.value(2).toUInt());
        const quint16 udpPort = quint16(listen.value(3).toUInt());
        QVERIFY(tcpPort > 0 && udpPort > 0);

        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, tcpPort);
        QVERIFY(socket.waitForConnected(5000));
        QByteArray received;
        QTRY_VERIFY((received += socket.readAll()).endsWith('\r'));
        QVERIFY(received.startsWith("PJLINK 1 "));
        socket.write(login(received, "s3cret") + "%1POWR ?\r");
        received.clear();
        QTRY_COMPARE(received += socket.readAll(), QByteArray("%1POWR=1\r"));
        socket.write("%2INNM ?31\r");
        received.clear();
        QTRY_COMPARE(received += socket.readAll(), QByteArray("%2INNM=HDMI 1\r"));
        // Left idle, the projector closes the connection.
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        QVERIFY(closed.wait(5000));

        QUdpSocket search;
        QVERIFY(search.bind(QHostAddress(QHostAddress::LocalHost), quint16(0)));
        search.writeDatagram("%2SRCH\r", QHostAddress::LocalHost, udpPort);
        QTRY_VERIFY(search.hasPendingDatagrams());
        const QNetworkDatagram answer = search.receiveDatagram();
        QCOMPARE(answer.data(), QByteArray("%2ACKN=00:00:5e:00:53:01\r"));
        QCOMPARE(answer.senderAddress(), QHostAddress(QHostAddress::LocalHost));

        sim.terminate();
        QVERIFY(sim.waitForFinished());
        QCOMPARE(sim.exitCode(), 0);
        const QByteArray log = sim.readAll();
        QVERIFY(log.contains("-- connection 1 idle, closing it"));
        QVERIFY(!log.contains("s3cret"));
    }
};

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
