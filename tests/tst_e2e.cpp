// The shipped programs end to end: the projector simulator on a pseudo-terminal,
// and vantrel started the way a user starts it, with a settings store of its own.
// ctest-properties: LABELS e2e TIMEOUT 300

#include "boxanswerer.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrel.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A child that cannot outlive the test: the destructor ends it when a check
// returns early, and the kernel kills it when the test process itself dies.
class ChildProcess : public QProcess
{
public:
    ChildProcess()
        : parentPid(::getpid())
    { }
    ~ChildProcess() override { stop(); }

    void stop()
    {
        if (state() == NotRunning)
            return;
        terminate();
        if (!waitForFinished(3000)) {
            kill();
            waitForFinished(3000);
        }
    }

protected:
    void setupChildProcess() override
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parentPid)
            ::_exit(127); // the test died before the line above took effect
    }

private:
    const pid_t parentPid;
};

// The simulator's traffic log, each line stamped when it reached the test.
class Simulator
{
public:
    Simulator()
    {
        connection
            = QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { collect(); });
        clock.start();
    }
    ~Simulator()
    {
        // Ending the process may still deliver output, and the log goes first.
        QObject::disconnect(connection);
        process.stop();
    }

    bool start(const QStringList &arguments)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(PROJECTOR_SIM_PATH), arguments);
        if (!process.waitForStarted())
            return false;
        QDeadlineTimer deadline(5000);
        while (lines.isEmpty() && !deadline.hasExpired() && process.state() == QProcess::Running)
            QTest::qWait(10);
        return !lines.isEmpty() && lines.first().startsWith("PTY /dev/");
    }

    bool has(const QByteArray &line) const { return lines.contains(line); }

    // The commands received, in order.
    QList<QByteArray> received() const
    {
        QList<QByteArray> commands;
        for (const QByteArray &line : lines) {
            if (line.startsWith("RX \"") && line.endsWith('"'))
                commands.append(line.mid(4, line.size() - 5));
        }
        return commands;
    }

    QList<qint64> arrivalsOf(const QByteArray &command) const
    {
        QList<qint64> times;
        const QByteArray wanted = "RX \"" + command + '"';
        for (int i = 0; i < lines.size(); ++i) {
            if (lines.at(i) == wanted)
                times.append(stamps.at(i));
        }
        return times;
    }

    ChildProcess process;

private:
    void collect()
    {
        while (process.canReadLine()) {
            lines.append(process.readLine().trimmed());
            stamps.append(clock.elapsed());
        }
    }

    QMetaObject::Connection connection;
    QElapsedTimer clock;
    QList<QByteArray> lines;
    QList<qint64> stamps;
};

const QList<QByteArray> vivitekQueries
    = { "V99G0319", "V99G0321", "V99G0308", "V99G0108", "V99G0220",
        "V99G0309", "V99G0101", "V99G0102", "V99G0105", "V99G0106" };

} // namespace

class TestE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PortEnumeration::setLister([] { return QStringList(); });
    }
    void executablePollsAndQueries_data();
    void executablePollsAndQueries();
    void powerReachesSimulator_data();
    void powerReachesSimulator();
};

void TestE2e::executablePollsAndQueries_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("poll");
    QTest::addColumn<QByteArrayList>("queries");

    QTest::newRow("acer") << "acer" << 0 << QByteArray("* 0 Lamp ?") << QByteArrayList();
    QTest::newRow("vivitek") << "vivitek" << 1 << QByteArray("V99G0007") << vivitekQueries;
    QTest::newRow("infocus") << "infocus" << 2 << QByteArray("(CST)") << QByteArrayList();
}

// Nobody clicks, so the line carries the polls and, for Vivitek, the state
// query, which advances only as the program reads each of the replies.
void TestE2e::executablePollsAndQueries()
{
#if !defined(PROJECTOR_SIM_PATH) || !defined(VANTREL_EXE_PATH)
    QSKIP("built without the paths of the programs");
#else
    QFETCH(QString, family);
    QFETCH(int, model);
    QFETCH(QByteArray, poll);
    QFETCH(QByteArrayList, queries);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyProjector"));
    Simulator sim;
    QVERIFY(sim.start({ QStringLiteral("--family"), family, QStringLiteral("--lamp"),
                        QStringLiteral("on"), QStringLiteral("--link"), link }));

    const QString config = dir.filePath(QStringLiteral("config"));
    {
        QSettings store(config + QStringLiteral("/Toskeld/Vantrel.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("ComPort"), link);
        store.setValue(QStringLiteral("Model"), model);
        store.sync();
        QCOMPARE(store.status(), QSettings::NoError);
    }

    ChildProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(QStringLiteral(VANTREL_EXE_PATH), QStringList());
    QVERIFY(app.waitForStarted());

    const int wantedPolls = 4;
    QTRY_VERIFY_WITH_TIMEOUT(
        sim.arrivalsOf(poll).size() >= wantedPolls || app.state() != QProcess::Running, 30000);
    QVERIFY2(app.state() == QProcess::Running, app.readAll().constData());

    const QList<qint64> polls = sim.arrivalsOf(poll);
    QStringList intervals;
    for (int i = 1; i < polls.size(); ++i)
        intervals.append(QString::number(polls.at(i) - polls.at(i - 1)));
    qInfo("%s: polls %s ms apart", qPrintable(family), qPrintable(intervals.join(", ")));

    const QList<QByteArray> commands = sim.received();
    QCOMPARE(commands.first(), poll);
    QByteArrayList others;
    for (const QByteArray &command : commands) {
        if (command != poll)
            others.append(command);
    }
    QCOMPARE(others, queries);

    app.stop();
    QTRY_VERIFY(sim.has("-- line closed"));
#endif
}

void TestE2e::powerReachesSimulator_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("onButton");
    QTest::addColumn<QString>("offButton");
    QTest::addColumn<QByteArray>("onCommand");
    QTest::addColumn<QByteArray>("offCommand");

    QTest::newRow("acer") << "acer" << 0 << "powerOn"
                          << "powerOff" << QByteArray("OKOKOKOKOK") << QByteArray("* 0 IR 002");
    QTest::newRow("vivitek") << "vivitek" << 1 << "vvtPowerOn"
                             << "vvtPowerOff" << QByteArray("V99S0001") << QByteArray("V99S0002");
    QTest::newRow("infocus") << "infocus" << 2 << "powerOn"
                             << "powerOff" << QByteArray("(PWR1)") << QByteArray("(PWR0)");
}

// The only input is the user's, so the buttons are pressed on a window in
// this process; what they send crosses the pseudo-terminal to the simulator.
void TestE2e::powerReachesSimulator()
{
#ifndef PROJECTOR_SIM_PATH
    QSKIP("built without the path of the projector-sim program");
#else
    QFETCH(QString, family);
    QFETCH(int, model);
    QFETCH(QString, onButton);
    QFETCH(QString, offButton);
    QFETCH(QByteArray, onCommand);
    QFETCH(QByteArray, offCommand);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyProjector"));
    Simulator sim;
    QVERIFY(sim.start({ QStringLiteral("--family"), family, QStringLiteral("--warmup-ms"),
                        QStringLiteral("200"), QStringLiteral("--cooldown-ms"),
                        QStringLiteral("200"), QStringLiteral("--link"), link }));

    TestStore::seed({ { QStringLiteral("ComPort"), link }, { QStringLiteral("Model"), model } });
    Vantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *on = w.findChild<QAbstractButton *>(onButton);
    auto *off = w.findChild<QAbstractButton *>(offButton);
    QVERIFY(on && off && on->isVisible() && off->isVisible());

    QTest::mouseClick(on, Qt::LeftButton);
    QTRY_VERIFY(sim.has("-- power: on"));
    {
        BoxAnswerer answerer(QMessageBox::Yes);
        QTest::mouseClick(off, Qt::LeftButton);
        QVERIFY(answerer.waitDone());
        QCOMPARE(answerer.box().title, QStringLiteral("Turn off"));
    }
    QTRY_VERIFY(sim.has("-- power: off"));

    const QList<QByteArray> commands = sim.received();
    QCOMPARE(commands.count(onCommand), 1);
    QCOMPARE(commands.count(offCommand), 1);
    QVERIFY(commands.indexOf(onCommand) < commands.indexOf(offCommand));
#endif
}

VANTREL_TEST_MAIN(TestE2e)
#include "tst_e2e.moc"
