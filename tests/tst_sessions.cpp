// One projector's session on the event loop, against the simulator over a
// pseudo-terminal or TCP on 127.0.0.1: what it asks, what it makes of the
// answers, and how it says that a projector cannot be reached.
// ctest-properties: LABELS e2e

#include "projectorsession.h"
#include "simprocess.h"
#include "testmain.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

QString nextLink()
{
    static int count = 0;
    return TestStore::runDirectory() + QStringLiteral("/ttySession%1").arg(++count);
}

QString writePassword(const QByteArray &password)
{
    static int count = 0;
    QFile file(TestStore::runDirectory() + QStringLiteral("/session-password%1").arg(++count));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(password + '\n');
    return file.fileName();
}

// A simulator for the row, or none; the projector as stored, its port filled in.
std::unique_ptr<SimProcess> simulate(const QStringList &arguments,
                                     ProjectorList::Projector *projector)
{
    if (arguments.isEmpty())
        return nullptr;
    auto sim = std::make_unique<SimProcess>();
    const bool pjlink = arguments.contains(QStringLiteral("pjlink"));
    const QString link = nextLink();
    if (!sim->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                             arguments + (pjlink ? QStringList() : QStringList { "--link", link })))
        return nullptr;
    projector->port = pjlink ? sim->tcpAddress() : link;
    return sim;
}

} // namespace

class TestSessions : public QObject
{
    Q_OBJECT

private slots:
    void state_data();
    void state();
    void power_data();
    void power();
    void downLinkIsTriedAtEachPollOnly();
};

void TestSessions::state_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QString>("port"); // for a row without a simulator
    QTest::addColumn<QByteArray>("password"); // the stored one; the simulator's is "aula"
    QTest::addColumn<QString>("stateText");
    QTest::addColumn<QString>("lampHours");
    QTest::addColumn<QString>("health");
    QTest::addColumn<QByteArrayList>("asked"); // every command on the line, in order

    const QString absent = TestStore::runDirectory() + QStringLiteral("/ttyNothing");
    QTest::newRow("acer, lamp on")
        << 0 << QStringList { "--family", "acer", "--lamp", "on" } << QString() << QByteArray()
        << "Lamp on"
        << "1250" << QString() << QByteArrayList { "* 0 Lamp ?", "* 0 Lamp" };
    QTest::newRow("acer, crlf line ends")
        << 0 << QStringList { "--family", "acer", "--line-end", "crlf", "--lamp-hours", "7" }
        << QString() << QByteArray() << "Lamp off"
        << "7" << QString() << QByteArrayList { "* 0 Lamp ?", "* 0 Lamp" };
    QTest::newRow("vivitek, lamp off")
        << 1 << QStringList { "--family", "vivitek" } << QString() << QByteArray() << "Lamp off"
        << "1250" << QString() << QByteArrayList { "V99G0007", "V99G0004", "V99G0008" };
    QTest::newRow("vivitek, late answers")
        << 1 << QStringList { "--family", "vivitek", "--lamp", "on", "--delay", "V99G0007=900" }
        << QString() << QByteArray() << "Lamp on"
        << "1250" << QString() << QByteArrayList { "V99G0007", "V99G0004", "V99G0008" };
    QTest::newRow("infocus: contact, no lamp state")
        << 2 << QStringList { "--family", "infocus", "--lamp", "on" } << QString() << QByteArray()
        << "Contact" << QString() << QString() << QByteArrayList { "(CST)" };
    QTest::newRow("pjlink class 2, two lamps, a lamp warning")
        << 3 << QStringList { "--family",        "pjlink",
                              "--pjlink-class",  "2",
                              "--lamps",         "2",
                              "--erst",          "010000",
                              "--password-file", writePassword("aula") }
        << QString() << QByteArray("aula") << "Lamp off"
        << "1250, 1251"
        << "lamp: warning" << QByteArrayList();
    QTest::newRow("pjlink, wrong password")
        << 3 << QStringList { "--family", "pjlink", "--password-file", writePassword("aula") }
        << QString() << QByteArray("other") << "password rejected (MD5 and SHA-256 logins refused)"
        << QString() << QString() << QByteArrayList();
    QTest::newRow("serial port absent")
        << 0 << QStringList() << absent << QByteArray() << "not present" << QString() << QString()
        << QByteArrayList();
    QTest::newRow("nothing listens")
        << 3 << QStringList() << "127.0.0.1:closed" << QByteArray() << "connection refused"
        << QString() << QString() << QByteArrayList();
    QTest::newRow("silent acer") << 0 << QStringList { "--family", "acer", "--silent" } << QString()
                                 << QByteArray() << "No contact" << QString() << QString()
                                 << QByteArrayList { "* 0 Lamp ?", "* 0 Lamp" };
}

void TestSessions::state()
{
    QFETCH(int, model);
    QFETCH(QStringList, simulator);
    QFETCH(QString, port);
    QFETCH(QByteArray, password);
    QFETCH(QString, stateText);
    QFETCH(QString, lampHours);
    QFETCH(QString, health);
    QFETCH(QByteArrayList, asked);

    if (port.endsWith(QLatin1String(":closed"))) {
        // A port that was free a moment ago: nothing listens there.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        port = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    }
    ProjectorList::Projector stored { QStringLiteral("room"), model, port,
                                      QString::fromLatin1(password), QString() };
    const std::unique_ptr<SimProcess> sim = simulate(simulator, &stored);
    QVERIFY(simulator.isEmpty() || sim);

    ProjectorSession session(stored);
    session.setReplyTimeout(1500);
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(session.settled(), 20000);
    const ProjectorState &state = session.state();
    // A silent one is settled once it is late; the reason may come later.
    QTRY_COMPARE_WITH_TIMEOUT(state.stateText(), stateText, 10000);
    QCOMPARE(state.lampHoursText(), lampHours);
    QCOMPARE(state.healthText(), health);
    QCOMPARE(state.reachable, !state.lastAnswer.isNull());
    if (model == 1 && sim)
        QCOMPARE(state.softwareVersion.isEmpty(), !state.reachable);
    if (model == 3 && state.reachable) {
        QVERIFY(!state.make.isEmpty() && !state.model.isEmpty());
        QVERIFY(!state.serialNumber.isEmpty() && !state.softwareVersion.isEmpty());
        QCOMPARE(state.pjClass, std::optional<int>(2));
        // The reading after connecting asks the power once, not again
        // before every other query.
        QVERIFY2(sim->received().count("%1POWR ?") <= 2, sim->received().join(' ').constData());
    }
    QCOMPARE(state.passwordRejected, stateText.startsWith(QLatin1String("password rejected")));
    if (state.passwordRejected && sim) {
        // Polls go on, but a refused login is not tried again on the wire:
        // projectors may lock out after repeated failures.
        session.setPollInterval(50);
        const int missed = session.missedPolls();
        QTRY_VERIFY(session.missedPolls() >= missed + 4);
        // The MD5 login with the first query, then the SHA-256 one, once.
        const QByteArrayList logins = sim->received();
        QCOMPARE(logins.size(), 2);
        QVERIFY2(logins.first().endsWith("%1POWR ?"), logins.first().constData());
        QCOMPARE(logins.last(), QByteArray("PJLINK 2"));
    }
    if (!asked.isEmpty()) {
        // The late answer of the row goes with its own question, and nothing
        // is asked twice while one is owed.
        QTRY_COMPARE(sim->received().mid(0, asked.size()), asked);
        QCOMPARE(sim->received().size(), asked.size());
    }
}

void TestSessions::power_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("acer") << QStringList { "--family", "acer", "--lamp", "on" } << 0
                          << QByteArray("* 0 IR 002");
    QTest::newRow("vivitek") << QStringList { "--family", "vivitek", "--lamp", "on" } << 1
                             << QByteArray("V99S0002");
    QTest::newRow("pjlink") << QStringList { "--family", "pjlink", "--lamp", "on" } << 3
                            << QByteArray("%1POWR 0");
    QTest::newRow("pjlink class 2")
        << QStringList { "--family", "pjlink", "--pjlink-class", "2", "--lamp", "on" } << 3
        << QByteArray("%1POWR 0");
}

void TestSessions::power()
{
    QFETCH(QStringList, simulator);
    QFETCH(int, model);
    QFETCH(QByteArray, command);

    ProjectorList::Projector stored { QStringLiteral("room"), model, QString(), QString(),
                                      QString() };
    const std::unique_ptr<SimProcess> sim
        = simulate(simulator + QStringList { "--cooldown-ms", "300" }, &stored);
    QVERIFY(sim);
    ProjectorSession session(stored);
    session.setPollInterval(200);
    QSignalSpy finished(&session, &ProjectorSession::commandFinished);
    session.start();
    QTRY_COMPARE_WITH_TIMEOUT(session.state().stateText(), QStringLiteral("Lamp on"), 10000);
    QVERIFY(session.power(false));
    QTRY_COMPARE_WITH_TIMEOUT(session.state().stateText(), QStringLiteral("Lamp off"), 10000);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toBool(), true);
    QCOMPARE(sim->received().count(command), 1);
}

void TestSessions::downLinkIsTriedAtEachPollOnly()
{
    // A pty whose far side hangs up, then nothing at that path: the session
    // says why at the first poll and only once, however many polls follow.
    ProjectorList::Projector stored { QStringLiteral("room"), 0,
                                      TestStore::runDirectory() + QStringLiteral("/ttyGone"),
                                      QString(), QString() };
    ProjectorSession session(stored);
    session.setPollInterval(50);
    QSignalSpy changes(&session, &ProjectorSession::stateChanged);
    session.start();
    QTRY_VERIFY(session.missedPolls() >= 8);
    QCOMPARE(session.state().stateText(), QStringLiteral("not present"));
    // Nothing is kept to be sent when the line comes back, maybe hours later.
    QVERIFY(!session.power(false));
    // Its reason, the first miss and the third, which the notices count.
    QVERIFY2(changes.size() <= 3, qPrintable(QString::number(changes.size())));
    session.stop();
    const int missed = session.missedPolls();
    QTest::qWait(200);
    QCOMPARE(session.missedPolls(), missed);
}

VANTREL_TEST_MAIN(TestSessions)
#include "tst_sessions.moc"
