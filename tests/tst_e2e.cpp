// The shipped programs end to end: the projector simulator on a pseudo-terminal,
// and vantrel started the way a user starts it, with a settings store of its own.
// ctest-properties: LABELS e2e TIMEOUT 300

#include "simprocess.h"
#include "testmain.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestE2e : public QObject
{
    Q_OBJECT

private slots:
    void executablePollsAndQueries_data();
    void executablePollsAndQueries();
};

void TestE2e::executablePollsAndQueries_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("poll");
    QTest::addColumn<QByteArrayList>("queries");

    QTest::newRow("acer") << "acer" << 0 << QByteArray("* 0 Lamp ?") << QByteArrayList();
    QTest::newRow("vivitek") << "vivitek" << 1 << QByteArray("V99G0007")
                             << QByteArrayList { "V99G0319", "V99G0321", "V99G0308", "V99G0108",
                                                 "V99G0220", "V99G0309", "V99G0101", "V99G0102",
                                                 "V99G0105", "V99G0106" };
    QTest::newRow("infocus") << "infocus" << 2 << QByteArray("(CST)") << QByteArrayList();
}

// Nobody clicks, so the line carries only the polls and, for Vivitek, the
// state query, which advances only as the program reads each reply.
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
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               { "--family", family, "--lamp", "on", "--link", link }));

    // The program's own store, found through XDG_CONFIG_HOME as a user's would be.
    const QString config = dir.filePath(QStringLiteral("config"));
    {
        QSettings store(config + QStringLiteral("/Toskeld/Vantrel.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("ComPort"), link);
        store.setValue(QStringLiteral("Model"), model);
        store.sync();
        QCOMPARE(store.status(), QSettings::NoError);
    }
    SimProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(QStringLiteral(VANTREL_EXE_PATH), QStringList());
    QVERIFY(app.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(sim.arrivalsOf(poll).size() >= 4 || app.state() != QProcess::Running,
                             30000);
    QVERIFY2(app.state() == QProcess::Running, app.lines().join('\n').constData());

    // Reported, not judged: a loaded machine may stretch the 3.1 s pace.
    const QList<qint64> polls = sim.arrivalsOf(poll);
    QStringList intervals;
    for (int i = 1; i < polls.size(); ++i)
        intervals.append(QString::number(polls.at(i) - polls.at(i - 1)));
    qInfo("%s: polls %s ms apart", qPrintable(family), qPrintable(intervals.join(", ")));

    QList<QByteArray> commands = sim.received();
    QCOMPARE(commands.first(), poll);
    commands.removeAll(poll);
    QCOMPARE(commands, queries);

    app.stop();
    QTRY_VERIFY(sim.has("-- line closed"));
#endif
}

VANTREL_TEST_MAIN(TestE2e)
#include "tst_e2e.moc"
