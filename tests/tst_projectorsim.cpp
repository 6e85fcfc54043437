// The stand-in projector used by the demos and end-to-end tests: its replies
// must be exactly what the program expects, or those tests prove nothing.

#include "projectormodel.h"

#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using Family = ProjectorModel::Family;
using Power = ProjectorModel::Power;

Q_DECLARE_METATYPE(ProjectorModel::Family)

namespace {

ProjectorModel::Options makeOptions(Family family, bool lampOn = false)
{
    ProjectorModel::Options options;
    options.family = family;
    options.lampOn = lampOn;
    options.warmupMs = 2000;
    options.cooldownMs = 1500;
    options.lampHours = 1250;
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
    void replies_data();
    void replies();
    void commandSplitAnywhere();
    void vivitekRemembersSettings_data();
    void vivitekRemembersSettings();
    void powerSequence_data();
    void powerSequence();
    void lampHoursGrowWhileLit();
    void overlongLineIsDropped();
    void delayedReplies();
    void silentStillActs();
    void dropShare_data();
    void dropShare();
    void noiseAtSteadyPace();
    void hangUpTime();
    void trafficLog();
    void executableOverPty();
};

void TestProjectorSim::replies_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");

    const Family acer = Family::Acer;
    QTest::newRow("acer poll off")
        << acer << false << QByteArray("* 0 Lamp ?\r") << QByteArray("Lamp 0\r");
    QTest::newRow("acer poll on") << acer << true << QByteArray("* 0 Lamp ?\r")
                                  << QByteArray("Lamp 1\r");
    QTest::newRow("acer lamp hours")
        << acer << false << QByteArray("* 0 Lamp\r") << QByteArray("1250\r");
    QTest::newRow("acer key on") << acer << true << QByteArray("* 0 IR 035\r")
                                 << QByteArray("*000\r");
    QTest::newRow("acer key off") << acer << false << QByteArray("* 0 IR 009\r")
                                  << QByteArray("*001\r");
    QTest::newRow("acer unknown key")
        << acer << true << QByteArray("* 0 IR 099\r") << QByteArray("*001\r");
    QTest::newRow("acer garbage") << acer << true << QByteArray("* 0 lamp ?\r")
                                  << QByteArray("*001\r");
    QTest::newRow("acer resolution") << acer << true << QByteArray("* 0 IR 036\r")
                                     << QByteArray("Res \x04\x00\x03\x00\x01\r", 10);
    QTest::newRow("acer resolution off")
        << acer << false << QByteArray("* 0 IR 036\r") << QByteArray("*001\r");
    QTest::newRow("acer two in one read")
        << acer << true << QByteArray("* 0 Lamp ?\r* 0 IR 013\r") << QByteArray("Lamp 1\r*000\r");
    QTest::newRow("acer crlf") << acer << true << QByteArray("* 0 Lamp ?\r\n* 0 Lamp ?\r")
                               << QByteArray("Lamp 1\rLamp 1\r");
    QTest::newRow("acer empty line") << acer << true << QByteArray("\r") << QByteArray();
    QTest::newRow("acer no terminator") << acer << true << QByteArray("* 0 Lamp ?") << QByteArray();

    const Family vvt = Family::Vivitek;
    QTest::newRow("vvt poll off") << vvt << false << QByteArray("V99G0007\r") << QByteArray("P0\r");
    QTest::newRow("vvt poll on") << vvt << true << QByteArray("V99G0007\r") << QByteArray("P1\r");
    QTest::newRow("vvt lamp hours")
        << vvt << false << QByteArray("V99G0004\r") << QByteArray("P1250\r");
    QTest::newRow("vvt firmware") << vvt << false << QByteArray("V99G0008\r")
                                  << QByteArray("P1.04S\r");
    QTest::newRow("vvt get while off")
        << vvt << false << QByteArray("V99G0319\r") << QByteArray("P1\r");
    QTest::newRow("vvt set while off")
        << vvt << false << QByteArray("V99S01010\r") << QByteArray("F\r");
    QTest::newRow("vvt brightness top")
        << vvt << true << QByteArray("V99S0101100\r") << QByteArray("P100\r");
    QTest::newRow("vvt brightness over")
        << vvt << true << QByteArray("V99S0101101\r") << QByteArray("F\r");
    QTest::newRow("vvt keystone bottom")
        << vvt << true << QByteArray("V99S0309-40\r") << QByteArray("P-40\r");
    QTest::newRow("vvt keystone under")
        << vvt << true << QByteArray("V99S0309-41\r") << QByteArray("F\r");
    QTest::newRow("vvt plus sign")
        << vvt << true << QByteArray("V99S0309+5\r") << QByteArray("F\r");
    QTest::newRow("vvt leading zero")
        << vvt << true << QByteArray("V99S030905\r") << QByteArray("P5\r");
    QTest::newRow("vvt huge value")
        << vvt << true << QByteArray("V99S010199999999999\r") << QByteArray("F\r");
    QTest::newRow("vvt missing value")
        << vvt << true << QByteArray("V99S0309\r") << QByteArray("F\r");
    QTest::newRow("vvt aspect") << vvt << true << QByteArray("V99S03012\r") << QByteArray("P2\r");
    QTest::newRow("vvt read only")
        << vvt << true << QByteArray("V99S010250\r") << QByteArray("F\r");
    QTest::newRow("vvt source") << vvt << true << QByteArray("V99S0209\r") << QByteArray("P\r");
    QTest::newRow("vvt source value")
        << vvt << true << QByteArray("V99S02091\r") << QByteArray("F\r");
    QTest::newRow("vvt source off")
        << vvt << false << QByteArray("V99S0209\r") << QByteArray("F\r");
    QTest::newRow("vvt unknown function")
        << vvt << true << QByteArray("V99G0999\r") << QByteArray("F\r");
    QTest::newRow("vvt get with value")
        << vvt << true << QByteArray("V99G00071\r") << QByteArray("F\r");
    QTest::newRow("vvt bad operation")
        << vvt << true << QByteArray("V99X0007\r") << QByteArray("F\r");

    const Family inf = Family::InFocus;
    QTest::newRow("infocus status off")
        << inf << false << QByteArray("(CST)\r") << QByteArray("(0-3,0)");
    QTest::newRow("infocus status on")
        << inf << true << QByteArray("(CST)\r") << QByteArray("(0-3,1)");
    QTest::newRow("infocus lamp hours")
        << inf << true << QByteArray("(LMP?)\r") << QByteArray("(0-65535,1250)");
    QTest::newRow("infocus unknown")
        << inf << true << QByteArray("(FRZ1)\r") << QByteArray("(ERR)");
    QTest::newRow("infocus without cr") << inf << true << QByteArray("(CST)") << QByteArray();
}

void TestProjectorSim::replies()
{
    QFETCH(Family, family);
    QFETCH(bool, lampOn);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);

    ProjectorModel model(makeOptions(family, lampOn), 0);
    QCOMPARE(exchange(model, sent, 10), expected);
    // Nothing is held back for later either.
    QCOMPARE(model.nextDueMs(), -1);
    QCOMPARE(model.takeOutput(100000), QByteArray());
}

void TestProjectorSim::commandSplitAnywhere()
{
    const QByteArray command("V99S0309-7\r");
    for (int cut = 0; cut <= command.size(); ++cut) {
        ProjectorModel model(makeOptions(Family::Vivitek, true), 0);
        const QByteArray head = exchange(model, command.left(cut), 1);
        const QByteArray tail = exchange(model, command.mid(cut), 2);
        QCOMPARE(head + tail, QByteArray("P-7\r"));
        QCOMPARE(tail, cut < command.size() ? QByteArray("P-7\r") : QByteArray());
    }
}

void TestProjectorSim::vivitekRemembersSettings_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("value");

    const int ranges[][3]
        = { { 101, 0, 100 }, { 106, 0, 2 },    { 108, 0, 7 }, { 301, 1, 2 }, { 302, 0, 1 },
            { 308, 0, 3 },   { 309, -40, 40 }, { 319, 0, 2 }, { 321, 0, 2 } };
    for (const auto &range : ranges) {
        for (int i = 1; i < 3; ++i) {
            QTest::addRow("%04d=%d", range[0], range[i]) << range[0] << range[i];
        }
    }
}

void TestProjectorSim::vivitekRemembersSettings()
{
    QFETCH(int, function);
    QFETCH(int, value);

    ProjectorModel model(makeOptions(Family::Vivitek, true), 0);
    const QByteArray number = QByteArray::number(function).rightJustified(4, '0');
    const QByteArray text = QByteArray::number(value);
    QCOMPARE(exchange(model, "V99S" + number + text + '\r', 1), "P" + text + '\r');
    QCOMPARE(exchange(model, "V99G" + number + '\r', 2), "P" + text + '\r');
    // A refused value leaves the remembered one alone.
    QCOMPARE(exchange(model, "V99S" + number + "-99\r", 3), QByteArray("F\r"));
    QCOMPARE(exchange(model, "V99G" + number + '\r', 4), "P" + text + '\r');
    // Switched off and on again it still knows.
    exchange(model, "V99S0002\r", 5);
    exchange(model, "V99S0001\r", 10000);
    QCOMPARE(model.vivitekValue(function), value);

    // Source selection is reported by function number less 201, in its own order.
    exchange(model, "V99S0209\r", 20000);
    QCOMPARE(exchange(model, "V99G0220\r", 20001), QByteArray("P8\r"));
}

void TestProjectorSim::powerSequence_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<QByteArray>("powerOn");
    QTest::addColumn<QByteArray>("powerOff");
    QTest::addColumn<QByteArray>("onTaken");
    QTest::addColumn<QByteArray>("onRefused");
    QTest::addColumn<QByteArray>("offTaken");
    QTest::addColumn<QByteArray>("offRefused");
    QTest::addColumn<QByteArray>("lampQuery");
    QTest::addColumn<QByteArray>("lit");
    QTest::addColumn<QByteArray>("dark");

    QTest::newRow("acer") << Family::Acer << QByteArray("OKOKOKOKOK\r")
                          << QByteArray("* 0 IR 002\r") << QByteArray("*000\r")
                          << QByteArray("*001\r") << QByteArray("*000\r") << QByteArray("*001\r")
                          << QByteArray("* 0 Lamp ?\r") << QByteArray("Lamp 1\r")
                          << QByteArray("Lamp 0\r");
    QTest::newRow("vivitek") << Family::Vivitek << QByteArray("V99S0001\r")
                             << QByteArray("V99S0002\r") << QByteArray("P\r") << QByteArray("F\r")
                             << QByteArray("P\r") << QByteArray("F\r") << QByteArray("V99G0007\r")
                             << QByteArray("P1\r") << QByteArray("P0\r");
    // InFocus answers with the state after the command, so a refusal shows the old state.
    QTest::newRow("infocus") << Family::InFocus << QByteArray("(PWR1)\r") << QByteArray("(PWR0)\r")
                             << QByteArray("(0-1,1)") << QByteArray("(0-1,0)")
                             << QByteArray("(0-1,0)") << QByteArray("(0-1,1)")
                             << QByteArray("(PWR?)\r") << QByteArray("(0-1,1)")
                             << QByteArray("(0-1,0)");
}

void TestProjectorSim::powerSequence()
{
    QFETCH(Family, family);
    QFETCH(QByteArray, powerOn);
    QFETCH(QByteArray, powerOff);
    QFETCH(QByteArray, onTaken);
    QFETCH(QByteArray, onRefused);
    QFETCH(QByteArray, offTaken);
    QFETCH(QByteArray, offRefused);
    QFETCH(QByteArray, lampQuery);
    QFETCH(QByteArray, lit);
    QFETCH(QByteArray, dark);

    ProjectorModel model(makeOptions(family), 1000);
    QCOMPARE(model.power(1000), Power::Off);
    QCOMPARE(exchange(model, lampQuery, 1100), dark);
    QCOMPARE(exchange(model, powerOff, 1150), offTaken);
    QCOMPARE(model.power(1150), Power::Off);

    QCOMPARE(exchange(model, powerOn, 1200), onTaken);
    QCOMPARE(model.power(1200), Power::WarmingUp);
    QCOMPARE(model.nextDueMs(), 3200);
    QCOMPARE(exchange(model, lampQuery, 1300), lit);
    QCOMPARE(exchange(model, powerOff, 1400), offRefused);
    QCOMPARE(exchange(model, powerOn, 1500), onTaken);
    QCOMPARE(model.power(3199), Power::WarmingUp);
    QCOMPARE(model.power(3200), Power::On);
    QCOMPARE(model.nextDueMs(), -1);
    QCOMPARE(exchange(model, powerOn, 3300), onTaken);

    QCOMPARE(exchange(model, powerOff, 4000), offTaken);
    QCOMPARE(model.power(4000), Power::CoolingDown);
    QCOMPARE(model.nextDueMs(), 5500);
    QCOMPARE(exchange(model, lampQuery, 4100), dark);
    QCOMPARE(exchange(model, powerOn, 4200), onRefused);
    QCOMPARE(exchange(model, powerOff, 4300), offTaken);
    QCOMPARE(model.power(5499), Power::CoolingDown);
    QCOMPARE(model.power(5500), Power::Off);

    // A clock handed in out of order does not undo what already happened.
    QCOMPARE(model.power(4500), Power::Off);

    ProjectorModel instant(
        [&] {
            ProjectorModel::Options options = makeOptions(family);
            options.warmupMs = 0;
            options.cooldownMs = 0;
            return options;
        }(),
        0);
    QCOMPARE(exchange(instant, powerOn, 1), onTaken);
    QCOMPARE(instant.power(1), Power::On);
    QCOMPARE(exchange(instant, powerOff, 2), offTaken);
    QCOMPARE(instant.power(2), Power::Off);
}

void TestProjectorSim::lampHoursGrowWhileLit()
{
    const qint64 hour = 3600 * 1000;
    ProjectorModel model(makeOptions(Family::Vivitek, true), 0);
    QCOMPARE(exchange(model, "V99G0004\r", hour - 1), QByteArray("P1250\r"));
    QCOMPARE(exchange(model, "V99G0004\r", hour), QByteArray("P1251\r"));
    // Cooling down from 1.5 h on: the lamp is dark from the command on.
    exchange(model, "V99S0002\r", hour + hour / 2);
    QCOMPARE(model.lampHours(10 * hour), 1251);
    exchange(model, "V99S0001\r", 10 * hour);
    QCOMPARE(model.lampHours(10 * hour + hour / 2 - 1), 1251);
    QCOMPARE(model.lampHours(10 * hour + hour / 2), 1252);
}

void TestProjectorSim::overlongLineIsDropped()
{
    ProjectorModel model(makeOptions(Family::Acer, true), 0);
    const QByteArray junk(ProjectorModel::maxCommandLength + 1, 'x');
    QCOMPARE(exchange(model, junk, 1), QByteArray());
    // The tail of the long line must not be taken for a command of its own.
    QCOMPARE(exchange(model, "* 0 Lamp ?\r", 2), QByteArray());
    QCOMPARE(exchange(model, "* 0 Lamp ?\r", 3), QByteArray("Lamp 1\r"));
    QVERIFY(model.takeLog().first().startsWith("-- line longer than"));
}

void TestProjectorSim::delayedReplies()
{
    ProjectorModel::Options options = makeOptions(Family::Acer, true);
    options.delayMs = 500;
    ProjectorModel model(options, 0);
    QCOMPARE(exchange(model, "* 0 Lamp ?\r", 100), QByteArray());
    QCOMPARE(exchange(model, "* 0 IR 013\r", 200), QByteArray());
    QCOMPARE(model.nextDueMs(), 600);
    QCOMPARE(model.takeOutput(599), QByteArray());
    QCOMPARE(model.takeOutput(600), QByteArray("Lamp 1\r"));
    QCOMPARE(model.nextDueMs(), 700);
    QCOMPARE(model.takeOutput(5000), QByteArray("*000\r"));
    QCOMPARE(model.nextDueMs(), -1);
}

void TestProjectorSim::silentStillActs()
{
    ProjectorModel::Options options = makeOptions(Family::Vivitek);
    options.silent = true;
    ProjectorModel model(options, 0);
    QCOMPARE(exchange(model, "V99S0001\r", 10), QByteArray());
    QCOMPARE(exchange(model, "V99G0007\r", 20), QByteArray());
    QCOMPARE(model.takeOutput(100000), QByteArray());
    QCOMPARE(model.power(100000), Power::On);
    QVERIFY(model.takeLog().contains("DROP \"P1\" (silent)"));
}

void TestProjectorSim::dropShare_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<quint32>("seed");

    QTest::newRow("none") << 0 << 1u;
    QTest::newRow("all") << 100 << 1u;
    QTest::newRow("a third, seed 1") << 33 << 1u;
    QTest::newRow("a third, seed 0") << 33 << 0u;
    QTest::newRow("most, seed 7") << 90 << 7u;
}

void TestProjectorSim::dropShare()
{
    QFETCH(int, percent);
    QFETCH(quint32, seed);

    const auto run = [&]() {
        ProjectorModel::Options options = makeOptions(Family::Acer, true);
        options.dropPercent = percent;
        options.seed = seed;
        ProjectorModel model(options, 0);
        QByteArray answered;
        for (int i = 0; i < 300; ++i)
            answered += exchange(model, "* 0 Lamp ?\r", i) == "Lamp 1\r" ? '1' : '0';
        return answered;
    };
    const QByteArray first = run();
    QCOMPARE(run(), first);
    const int dropped = first.count('0');
    if (percent == 0)
        QCOMPARE(dropped, 0);
    else if (percent == 100)
        QCOMPARE(dropped, 300);
    else
        QVERIFY2(dropped > 0 && dropped < 300, first.constData());
}

void TestProjectorSim::noiseAtSteadyPace()
{
    ProjectorModel::Options options = makeOptions(Family::Acer, true);
    options.noisePerSecond = 4;
    options.seed = 42;
    ProjectorModel model(options, 1000);
    QCOMPARE(model.nextDueMs(), 1250);
    QCOMPARE(model.takeOutput(1249), QByteArray());
    const QByteArray noise = model.takeOutput(2000);
    QCOMPARE(noise.size(), 4);
    QCOMPARE(model.nextDueMs(), 2250);

    // Replies are never torn apart by noise.
    model.receive("* 0 Lamp ?\r", 2100);
    model.receive("* 0 Lamp ?\r", 2300);
    const QByteArray mixed = model.takeOutput(2300);
    QCOMPARE(mixed.size(), 7 + 1 + 7);
    QCOMPARE(mixed.left(7), QByteArray("Lamp 1\r"));
    QCOMPARE(mixed.mid(8), QByteArray("Lamp 1\r"));

    ProjectorModel again(options, 1000);
    QCOMPARE(again.takeOutput(2000), noise);
}

void TestProjectorSim::hangUpTime()
{
    ProjectorModel::Options options = makeOptions(Family::InFocus);
    ProjectorModel never(options, 0);
    QVERIFY(!never.hungUp(1000000000));
    QCOMPARE(never.nextDueMs(), -1);

    options.hangupAfterMs = 800;
    ProjectorModel model(options, 200);
    QCOMPARE(model.nextDueMs(), 1000);
    QVERIFY(!model.hungUp(999));
    QVERIFY(model.hungUp(1000));
}

void TestProjectorSim::trafficLog()
{
    ProjectorModel model(makeOptions(Family::Acer, true), 0);
    exchange(model, "* 0 IR 036\r\"\\\x7f\r", 1);
    QCOMPARE(model.takeLog(),
             QStringList({ QStringLiteral(R"(RX "* 0 IR 036")"), QStringLiteral(R"(RX "\"\\\x7f")"),
                           QStringLiteral(R"(TX "Res \x04\x00\x03\x00\x01")"),
                           QStringLiteral(R"(TX "*001")") }));

    // A terminal's CR LF leaves the LF in front of the next command; it still counts.
    exchange(model, "\n* 0 IR 002\r", 2);
    QCOMPARE(
        model.takeLog(),
        QStringList({ QStringLiteral(R"(RX "\n* 0 IR 002")"),
                      QStringLiteral("-- power: cooling down"), QStringLiteral(R"(TX "*000")") }));
}

void TestProjectorSim::executableOverPty()
{
#ifndef PROJECTOR_SIM_PATH
    QSKIP("built without the path of the projector-sim program");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    // A stale link from an earlier run is replaced.
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link));

    QProcess sim;
    sim.start(QStringLiteral(PROJECTOR_SIM_PATH),
              { QStringLiteral("--family"), QStringLiteral("acer"), QStringLiteral("--lamp"),
                QStringLiteral("on"), QStringLiteral("--link"), link });
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY(sim.canReadLine());
    const QByteArray first = sim.readLine().trimmed();
    QVERIFY2(first.startsWith("PTY /dev/"), first.constData());
    const QString slave = QString::fromLocal8Bit(first.mid(4));
    QCOMPARE(QFileInfo(link).symLinkTarget(), slave);

    QByteArray traffic;
    for (int round = 0; round < 2; ++round) {
        // Opened twice: after the first close the line must come back.
        QSerialPort port(link);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.write("* 0 IR 036\r");
        QByteArray reply;
        QTRY_VERIFY((reply += port.readAll()).endsWith('\r'));
        QCOMPARE(reply, QByteArray("Res \x04\x00\x03\x00\x01\r", 10));
        port.close();
        QTRY_VERIFY((traffic += sim.readAll()).contains("-- line closed"));
        QVERIFY(traffic.contains("RX \"* 0 IR 036\"\nTX \"Res \\x04\\x00\\x03\\x00\\x01\"\n"));
        traffic.clear();
    }

    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // Hanging up closes the line under the client and ends the program.
    QProcess hangup;
    hangup.start(QStringLiteral(PROJECTOR_SIM_PATH),
                 { QStringLiteral("--family"), QStringLiteral("vivitek"),
                   QStringLiteral("--hangup-after-ms"), QStringLiteral("300") });
    QVERIFY(hangup.waitForStarted());
    QVERIFY(hangup.waitForFinished());
    QCOMPARE(hangup.exitCode(), 0);
    QVERIFY(hangup.readAllStandardOutput().endsWith("-- hanging up\n"));
#endif
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
