// One projector's session on the event loop, against the simulator over a
// pseudo-terminal or TCP on 127.0.0.1: what it asks, what it makes of the
// answers, and how it says that a projector cannot be reached.
// ctest-properties: LABELS e2e

#include "nullmodem.h"
#include "pjlinktransport.h"
#include "projectorsession.h"
#include "simprocess.h"
#include "testmain.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

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

// A PJLink projector on 127.0.0.1 that plays a script of "COMMAND => LINES":
// each command (as on the wire, without its carriage return) is answered
// with its lines, split at "|", in order; a command without lines gets none,
// and "<close>" closes the connection instead. "greeting => TEXT" replaces
// the greeting "PJLINK 0"; an empty one never greets. "<not listening>":
// a port that was free a moment ago, where nothing listens.
class ScriptedProjector : public QObject
{
public:
    explicit ScriptedProjector(const QStringList &script)
    {
        for (const QString &entry : script) {
            const int split = entry.indexOf(QLatin1String(" => "));
            const QByteArray key = entry.left(split).toLatin1();
            const QByteArray lines = entry.mid(split + 4).toLatin1();
            if (key == "greeting")
                greeting = lines;
            else
                answers.insert(key, lines.split('|'));
        }
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                socket->setParent(this);
                if (!greeting.isEmpty())
                    socket->write(greeting + '\r');
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
        server.listen(QHostAddress::LocalHost);
        port = server.serverPort();
        if (script.contains(QLatin1String("<not listening>")))
            server.close();
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    // Every command that came, on any connection, in order.
    QByteArrayList received;
    int connections = 0;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        for (int end = buffer.indexOf('\r'); end >= 0; end = buffer.indexOf('\r')) {
            const QByteArray line = buffer.left(end);
            buffer.remove(0, end + 1);
            received.append(line);
            const QByteArrayList lines = answers.value(line);
            if (lines == QByteArrayList { "<close>" }) {
                socket->disconnectFromHost();
                return;
            }
            for (const QByteArray &answer : lines) {
                if (!answer.isEmpty())
                    socket->write(answer + '\r');
            }
        }
    }

    QTcpServer server;
    quint16 port = 0;
    QByteArray greeting = "PJLINK 0";
    QMap<QByteArray, QByteArrayList> answers;
    QHash<QTcpSocket *, QByteArray> buffers;
};

// "%1INPT 31" as a command.
PJLink::Command command(const QByteArray &wire)
{
    PJLink::Command made;
    made.pjClass = wire.mid(1, 1).toInt();
    made.name = wire.mid(2, 4);
    made.parameter = wire.mid(7);
    return made;
}

// An answer as a row expects it.
QString described(const ProjectorSession::PJLinkAnswer &answer)
{
    using Outcome = ProjectorSession::PJLinkAnswer::Outcome;
    switch (answer.outcome) {
    case Outcome::Replied:
        return QString::fromLatin1(PJLink::frame(answer.command).trimmed()) + QLatin1String(": ")
            + (answer.reply.error != PJLink::Error::None
                   ? QLatin1String("refused: ") + PJLink::errorText(answer.reply.error)
                   : QString::fromLatin1(answer.reply.value));
    case Outcome::NoAnswer:
        return QString::fromLatin1(PJLink::frame(answer.command).trimmed())
            + QLatin1String(": no answer");
    case Outcome::Lost:
        return QString::fromLatin1(PJLink::frame(answer.command).trimmed())
            + QLatin1String(": lost");
    }
    return QString();
}

// A session on the modem's line, opened for the serial exchange.
std::unique_ptr<ProjectorSession> openExchange(const NullModem &modem, int model, int timeoutMs)
{
    auto session = std::make_unique<ProjectorSession>(ProjectorList::Projector {
        QStringLiteral("room"), model, modem.portName(), QString(), QString() });
    QSignalSpy opened(session.get(), &ProjectorSession::exchangeOpened);
    session->openForExchange(timeoutMs);
    if (!opened.wait(5000))
        return nullptr;
    return session;
}

} // namespace

class TestSessions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<ProjectorSession::Answer>(); }
    void state_data();
    void state();
    void power_data();
    void power();
    void downLinkIsTriedAtEachPollOnly();
    void queueBound();
    void oneOpeningAtATime();
    void askPJLink_data();
    void askPJLink();
    void askPJLinkSideBySide();
    void pollMatching_data();
    void pollMatching();
    void exchange_data();
    void exchange();
    void exchangeListen_data();
    void exchangeListen();
    void exchangeOpenFails_data();
    void exchangeOpenFails();
    void exchangesSideBySide();
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
        // "PJLINK 2", refused by this older projector, then the MD5 login
        // with the first query, once.
        const QByteArrayList logins = sim->received();
        QCOMPARE(logins.size(), 2);
        QCOMPARE(logins.first(), QByteArray("PJLINK 2"));
        QVERIFY2(logins.last().endsWith("%1POWR ?"), logins.last().constData());
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

// The user's commands wait behind the one on the line, sixteen at most, for
// a projector that does not answer.
void TestSessions::queueBound()
{
    ScriptedProjector silent({ "%1POWR ? => " });
    ProjectorSession session(
        { QStringLiteral("room"), PJLink::ModelIndex, silent.address(), QString(), QString() });
    session.setPollInterval(60000);
    session.start();
    // The first poll is on the line and stays there.
    QTRY_COMPARE(silent.received, QByteArrayList { "%1POWR ?" });
    int taken = 0;
    while (taken <= 20 && session.power(false))
        ++taken;
    QCOMPARE(taken, 16);
}

// A poll while the connection is still being opened (here: a projector that
// never greets) opens no second one.
void TestSessions::oneOpeningAtATime()
{
    ScriptedProjector mute({ "greeting => " });
    ProjectorSession session(
        { QStringLiteral("room"), PJLink::ModelIndex, mute.address(), QString(), QString() });
    session.setPollInterval(20);
    int atFailure = -1;
    connect(&session, &ProjectorSession::stateChanged, this, [&] {
        if (atFailure < 0 && session.state().stateText() == QLatin1String("no greeting"))
            atFailure = mute.connections;
    });
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(atFailure >= 0, 3 * PJLinkTransport::TimeoutMs);
    QCOMPARE(atFailure, 1);
}

void TestSessions::askPJLink_data()
{
    QTest::addColumn<QStringList>("simulator"); // a simulator process; none: the script
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("password"); // the stored one; the simulator's is "aula"
    QTest::addColumn<QByteArrayList>("asks"); // all asked at once, once the link is open
    QTest::addColumn<QStringList>("answers"); // one for each ask, in the order asked
    QTest::addColumn<QString>("down"); // why the link went, or empty

    const QString lkup = QStringLiteral("%2LKUP=00:00:5e:00:53:01");
    QTest::newRow("a notice sent unasked answers nothing")
        << QStringList() << QStringList { "%1POWR ? => " + lkup + "|%1POWR=1" } << QString()
        << QByteArrayList { "%1POWR ?" } << QStringList { "%1POWR ?: 1" } << QString();
    QTest::newRow("in lower case, after an answer of another name")
        << QStringList() << QStringList { "%1AVMT ? => %1INPT=31|%1avmt=21" } << QString()
        << QByteArrayList { "%1AVMT ?" } << QStringList { "%1AVMT ?: 21" } << QString();
    QTest::newRow("a late answer goes with its own command, not the next")
        << QStringList() << QStringList { "%1INPT ? => ", "%1AVMT ? => %1INPT=31|%1AVMT=31" }
        << QString() << QByteArrayList { "%1INPT ?", "%1AVMT ?", "%1NAME ?" }
        << QStringList { "%1INPT ?: no answer", "%1AVMT ?: 31", "%1NAME ?: no answer" }
        << QString();
    QTest::newRow("refused: out of parameter, unavailable time")
        << QStringList { "--family", "pjlink" } << QStringList() << QString()
        << QByteArrayList { "%1INPT 99", "%1INPT 31", "%1POWR ?" }
        << QStringList { "%1INPT 99: refused: " + PJLink::errorText(PJLink::Error::OutOfParameter),
                         "%1INPT 31: refused: " + PJLink::errorText(PJLink::Error::Unavailable),
                         "%1POWR ?: 0" }
        << QString();
    QTest::newRow("closed while a command waits")
        << QStringList() << QStringList { "%1POWR ? => <close>" } << QString()
        << QByteArrayList { "%1POWR ?", "%1NAME ?" }
        << QStringList { "%1POWR ?: lost", "%1NAME ?: lost" } << "connection lost";
    QTest::newRow("login refused")
        << QStringList { "--family", "pjlink", "--password-file", writePassword("aula") }
        << QStringList() << "other" << QByteArrayList { "%1POWR ?" }
        << QStringList { "%1POWR ?: lost" } << "password rejected (MD5 and SHA-256 logins refused)";
    QTest::newRow("a password wanted, none given")
        << QStringList() << QStringList { "greeting => PJLINK 1 498e4a67" } << QString()
        << QByteArrayList() << QStringList() << "needs a password";
    QTest::newRow("nothing listens")
        << QStringList() << QStringList { "<not listening>" } << QString() << QByteArrayList()
        << QStringList() << "connection refused";
    QTest::newRow("no greeting within the time")
        << QStringList() << QStringList { "greeting => " } << QString() << QByteArrayList()
        << QStringList() << "no greeting";
}

void TestSessions::askPJLink()
{
    QFETCH(QStringList, simulator);
    QFETCH(QStringList, script);
    QFETCH(QString, password);
    QFETCH(QByteArrayList, asks);
    QFETCH(QStringList, answers);
    QFETCH(QString, down);

    ProjectorList::Projector stored { QStringLiteral("room"), PJLink::ModelIndex, QString(),
                                      password, QString() };
    const std::unique_ptr<SimProcess> sim = simulate(simulator, &stored);
    QVERIFY(simulator.isEmpty() || sim);
    ScriptedProjector scripted(script);
    if (!sim)
        stored.port = scripted.address();

    ProjectorSession session(stored);
    QStringList heard;
    QList<int> numbers;
    connect(&session, &ProjectorSession::pjlinkAnswered, this,
            [&](int ask, const ProjectorSession::PJLinkAnswer &answer) {
                numbers.append(ask);
                heard.append(described(answer));
            });
    int opened = 0;
    connect(&session, &ProjectorSession::pjlinkOpened, this, [&] { ++opened; });
    QStringList downs; // the reasons, as told
    connect(&session, &ProjectorSession::pjlinkDown, this,
            [&](PortStatus::Problem problem, const QString &detail) {
                downs.append(PortStatus::reason(problem, detail));
            });
    session.openPJLink(500);
    QTRY_VERIFY_WITH_TIMEOUT(opened + downs.size() > 0, 10000);

    QList<int> asked;
    if (!asks.isEmpty()) {
        QCOMPARE(opened, 1);
        for (const QByteArray &wire : asks)
            asked.append(session.askPJLink(command(wire)));
        QVERIFY(!asked.contains(-1));
    }
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), answers.size(), 10000);
    QCOMPARE(heard, answers);
    QCOMPARE(numbers, asked);
    if (!down.isEmpty()) {
        QTRY_COMPARE(downs, QStringList { down });
        QCOMPARE(session.state().stateText(), down);
        // Nothing is asked once the link is gone.
        QCOMPARE(session.askPJLink(PJLink::query(1, "POWR")), -1);
    } else {
        QCOMPARE(downs, QStringList());
    }
    if (!sim) {
        // Each command went out once, in order, and nothing besides: the
        // session asks nothing of its own, and what waited behind a command
        // whose link went stays unsent.
        QCOMPARE(scripted.received, down.isEmpty() ? asks : asks.mid(0, 1));
    } else if (down.isEmpty()) {
        QCOMPARE(sim->received(), asks);
    }
}

void TestSessions::askPJLinkSideBySide()
{
    // Many runs on one thread: a silent projector holds up no other.
    ScriptedProjector answering({ "%1POWR ? => %1POWR=1" });
    ScriptedProjector silent({ "%1POWR ? => " });
    constexpr int Answering = 12;
    constexpr int Silent = 3;
    std::vector<std::unique_ptr<ProjectorSession>> sessions;
    QStringList heard; // in the order the answers came
    for (int i = 0; i < Answering + Silent; ++i) {
        const bool answers = i % 5 != 2; // the silent ones among the others
        sessions.push_back(std::make_unique<ProjectorSession>(ProjectorList::Projector {
            QString::number(i), PJLink::ModelIndex,
            answers ? answering.address() : silent.address(), QString(), QString() }));
        ProjectorSession *session = sessions.back().get();
        connect(session, &ProjectorSession::pjlinkOpened, this,
                [session] { QVERIFY(session->askPJLink(PJLink::query(1, "POWR")) > 0); });
        connect(session, &ProjectorSession::pjlinkAnswered, this,
                [&heard, answers](int, const ProjectorSession::PJLinkAnswer &answer) {
                    heard.append(QLatin1String(answers ? "answering: " : "silent: ")
                                 + described(answer));
                });
        session->openPJLink(PJLink::ReplyTimeoutMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), Answering + Silent, 20000);
    QStringList expected;
    for (int i = 0; i < Answering; ++i)
        expected.append(QStringLiteral("answering: %1POWR ?: 1"));
    for (int i = 0; i < Silent; ++i)
        expected.append(QStringLiteral("silent: %1POWR ?: no answer"));
    QCOMPARE(heard, expected);
    QCOMPARE(answering.received.size(), Answering);
    QCOMPARE(silent.received.size(), Silent);
}

void TestSessions::pollMatching_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArrayList>("first"); // each command of the first poll, then its answer
    QTest::addColumn<QByteArray>("before"); // taken in before the next poll goes out
    QTest::addColumn<QByteArray>("poll");
    QTest::addColumn<QByteArray>("reply"); // once it went out

    // The stale half would make "Lamp 1".
    QTest::newRow("acer, half a stale reply before the poll")
        << 0 << QByteArrayList { "* 0 Lamp ?\r", "Lamp 0\r", "* 0 Lamp\r", "1250\r" }
        << QByteArray("Lamp ") << QByteArray("* 0 Lamp ?\r") << QByteArray("1\rLamp 0\r");
    // Given up, the first poll's questions are still owed their answers:
    // the late "P1" is the first poll's, not the second's.
    QTest::newRow("vivitek, late answers of questions given up")
        << 1 << QByteArrayList { "V99G0007\r", "", "V99G0004\r", "", "V99G0008\r", "" }
        << QByteArray() << QByteArray("V99G0007\r") << QByteArray("P1\rP1250\rP1.04S\rP0\r");
}

// The polls read replies as the serial exchange does: nothing that began
// before a poll went out, and no answer owed to a question given up, is
// taken for the poll's own.
void TestSessions::pollMatching()
{
    QFETCH(int, model);
    QFETCH(QByteArrayList, first);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, poll);
    QFETCH(QByteArray, reply);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    ProjectorSession session(ProjectorList::Projector { QStringLiteral("room"), model,
                                                        modem.portName(), QString(), QString() });
    session.setPollInterval(3600 * 1000);
    session.setReplyTimeout(200);
    session.start();
    for (int i = 0; i + 1 < first.size(); i += 2) {
        QCOMPARE(modem.readBytes(first.at(i).size()), first.at(i));
        QVERIFY(modem.write(first.at(i + 1)));
    }
    QVERIFY(modem.write(before));
    QVERIFY(modem.waitConsumed());
    // Goes out once the first poll's last question is answered or given up.
    session.pollNow();
    QCOMPARE(modem.readBytes(poll.size()), poll);
    QVERIFY(modem.write(reply));
    QVERIFY(modem.waitConsumed());
    QTRY_VERIFY(session.state().lastAnswer.isValid());
    QCOMPARE(session.state().stateText(), QStringLiteral("Lamp off"));
}

void TestSessions::exchange_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("before"); // on the line just before the question
    QTest::addColumn<int>("owedBy"); // 0: nothing owed; 1: this session's; 2: an earlier one's
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply"); // once the command went out
    QTest::addColumn<bool>("hangUp"); // then the far end hangs up
    QTest::addColumn<ProjectorSession::Answer>("answer");
    QTest::addColumn<QString>("text");

    using A = ProjectorSession::Answer;
    const QByteArray acer = "* 0 Lamp ?";
    const QByteArray vivitek = "V99G0007";
    QTest::newRow("acer, its own answer")
        << 0 << QByteArray() << 0 << acer << QByteArray("Lamp 1\r") << false << A::Replied
        << "Lamp 1";
    QTest::newRow("acer, a stale reply before it")
        << 0 << QByteArray("Lamp 0\r") << 0 << acer << QByteArray("Lamp 1\r") << false << A::Replied
        << "Lamp 1";
    QTest::newRow("acer, half a stale reply before it")
        << 0 << QByteArray("Lamp ") << 0 << acer << QByteArray("0\rLamp 1\r") << false << A::Replied
        << "Lamp 1";
    QTest::newRow("acer, an empty line is no answer")
        << 0 << QByteArray() << 0 << acer << QByteArray("\r\rLamp 0\r") << false << A::Replied
        << "Lamp 0";
    QTest::newRow("infocus, half a stale reply before it")
        << 2 << QByteArray("(0-3,") << 0 << QByteArray("(CST)") << QByteArray("0)(0-3,1)") << false
        << A::Replied << "(0-3,1)";
    QTest::newRow("acer, no answer in time")
        << 0 << QByteArray() << 0 << acer << QByteArray() << false << A::NoAnswer << QString();
    QTest::newRow("acer, half an answer in time")
        << 0 << QByteArray() << 0 << acer << QByteArray("Lamp") << false << A::NoAnswer
        << QString();
    QTest::newRow("acer, the line lost while asking")
        << 0 << QByteArray() << 0 << acer << QByteArray("La") << true << A::Lost << QString();
    QTest::newRow("vivitek, a stale reply with nothing owed")
        << 1 << QByteArray("P0\r") << 0 << vivitek << QByteArray("P1\r") << false << A::Replied
        << "P1";
    QTest::newRow("vivitek, the late answer of a command given up")
        << 1 << QByteArray() << 1 << vivitek << QByteArray("P0\rP1\r") << false << A::Replied
        << "P1";
    QTest::newRow("vivitek, the late answer only")
        << 1 << QByteArray() << 1 << vivitek << QByteArray("P0\r") << false << A::NoAnswer
        << QString();
    QTest::newRow("vivitek, the late answer before the question")
        << 1 << QByteArray("P0\r") << 1 << vivitek << QByteArray("P1\r") << false << A::Replied
        << "P1";
    QTest::newRow("vivitek, owed by an earlier session")
        << 1 << QByteArray() << 2 << vivitek << QByteArray("P0\rP1\r") << false << A::Replied
        << "P1";
    QTest::newRow("vivitek, owed by an earlier session, answered before")
        << 1 << QByteArray("P0\r") << 2 << vivitek << QByteArray("P1\r") << false << A::Replied
        << "P1";
}

// One question and its answer on a serial line: the reply that answers it is
// the one that began after it went out, and for a Vivitek projector the one
// that no command given up still waits for.
void TestSessions::exchange()
{
    QFETCH(int, model);
    QFETCH(QByteArray, before);
    QFETCH(int, owedBy);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(bool, hangUp);
    QFETCH(ProjectorSession::Answer, answer);
    QFETCH(QString, text);

    NullModem modem(nextLink());
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    constexpr int TimeoutMs = 300;
    if (owedBy > 0) {
        // A question the projector answers only later.
        std::unique_ptr<ProjectorSession> earlier = openExchange(modem, model, TimeoutMs);
        QVERIFY(earlier);
        QSignalSpy answered(earlier.get(), &ProjectorSession::exchangeAnswered);
        QVERIFY(earlier->ask(command));
        QCOMPARE(modem.readBytes(command.size() + 1), command + '\r');
        QVERIFY(answered.wait(5000));
        QCOMPARE(answered.first().at(0).value<ProjectorSession::Answer>(),
                 ProjectorSession::Answer::NoAnswer);
        if (owedBy == 1) {
            QVERIFY(modem.write(before));
            QVERIFY(earlier->ask(command));
            QCOMPARE(modem.readBytes(command.size() + 1), command + '\r');
            QVERIFY(modem.write(reply));
            QVERIFY(answered.wait(5000));
            QCOMPARE(answered.at(1).at(0).value<ProjectorSession::Answer>(), answer);
            QCOMPARE(answered.at(1).at(1).toString(), text);
            QCOMPARE(modem.expectSilence(50), QByteArray());
            return;
        }
        earlier->settle();
    }

    std::unique_ptr<ProjectorSession> session = openExchange(modem, model, TimeoutMs);
    QVERIFY(session);
    QSignalSpy answered(session.get(), &ProjectorSession::exchangeAnswered);
    // Still in the line, not yet taken in, when the question is put.
    QVERIFY(modem.write(before));
    QVERIFY(session->ask(command));
    QVERIFY(!session->ask(command)); // one at a time
    QCOMPARE(modem.readBytes(command.size() + 1), command + '\r');
    QVERIFY(modem.write(reply));
    if (hangUp) {
        QVERIFY(modem.waitConsumed());
        modem.hangUp();
    }
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.size(), 1);
    QCOMPARE(answered.first().at(0).value<ProjectorSession::Answer>(), answer);
    QCOMPARE(answered.first().at(1).toString(), text);
    if (hangUp)
        QCOMPARE(session->lossReason().isEmpty(), false);
    else
        QCOMPARE(modem.expectSilence(50), QByteArray());
    session->settle();
}

void TestSessions::exchangeListen_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<QStringList>("heard");

    QTest::newRow("every reply in time") << QByteArray() << QByteArray("Lamp 1\rchatter\r\r")
                                         << false << QStringList { "Lamp 1", "chatter", "" };
    QTest::newRow("not a stale one") << QByteArray("Lamp 0\rLa") << QByteArray("mp 0\rLamp 1\r")
                                     << false << QStringList { "Lamp 1" };
    QTest::newRow("the line lost")
        << QByteArray() << QByteArray("Lamp 1\r") << true << QStringList { "Lamp 1" };
}

void TestSessions::exchangeListen()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, replies);
    QFETCH(bool, hangUp);
    QFETCH(QStringList, heard);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    std::unique_ptr<ProjectorSession> session = openExchange(modem, 0, 300);
    QVERIFY(session);
    QSignalSpy ended(session.get(), &ProjectorSession::exchangeHeard);
    QVERIFY(modem.write(before));
    QVERIFY(session->listen("* 0 Lamp ?"));
    QCOMPARE(modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QVERIFY(modem.write(replies));
    if (hangUp) {
        QVERIFY(modem.waitConsumed());
        modem.hangUp();
    }
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().at(0).toStringList(), heard);
    QCOMPARE(ended.first().at(1).toBool(), hangUp); // lost
    QCOMPARE(ended.first().at(2).toBool(), false); // cut
}

void TestSessions::exchangeOpenFails_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("silentServer"); // a server that accepts and never negotiates
    QTest::addColumn<QString>("reason"); // empty: any

    QTest::newRow("absent port") << TestStore::runDirectory() + QStringLiteral("/ttyNone") << false
                                 << "not present";
    QTest::newRow("nothing listens") << "tcp://127.0.0.1:closed" << false << QString();
    QTest::newRow("a serial server that never negotiates") << QString() << true << QString();
}

// An exchange that cannot open says why, within its timeout, once.
void TestSessions::exchangeOpenFails()
{
    QFETCH(QString, port);
    QFETCH(bool, silentServer);
    QFETCH(QString, reason);

    QTcpServer server;
    QList<QTcpSocket *> accepted;
    if (silentServer) {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        port = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort());
    } else if (port.endsWith(QLatin1String(":closed"))) {
        // A port that was free a moment ago.
        QVERIFY(server.listen(QHostAddress::LocalHost));
        port.replace(QLatin1String("closed"), QString::number(server.serverPort()));
        server.close();
    }
    ProjectorSession session(
        ProjectorList::Projector { QStringLiteral("room"), 0, port, QString(), QString() });
    QSignalSpy opened(&session, &ProjectorSession::exchangeOpened);
    QSignalSpy failed(&session, &ProjectorSession::exchangeFailed);
    session.openForExchange(300);
    QVERIFY(failed.wait(5000));
    QCOMPARE(failed.size(), 1);
    QVERIFY(!failed.first().at(0).toString().isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(failed.first().at(0).toString(), reason);
    QCOMPARE(opened.size(), 0);
}

// Two lines asked at once on one event loop, each answered in the other's
// order: every answer reaches its own session.
void TestSessions::exchangesSideBySide()
{
    NullModem first;
    NullModem second;
    QVERIFY2(first.isOpen() && second.isOpen(), qPrintable(first.errorString()));
    std::unique_ptr<ProjectorSession> acer = openExchange(first, 0, 5000);
    std::unique_ptr<ProjectorSession> vivitek = openExchange(second, 1, 5000);
    QVERIFY(acer && vivitek);
    QSignalSpy acerAnswered(acer.get(), &ProjectorSession::exchangeAnswered);
    QSignalSpy vivitekAnswered(vivitek.get(), &ProjectorSession::exchangeAnswered);
    QVERIFY(acer->ask("* 0 Lamp ?"));
    QVERIFY(vivitek->ask("V99G0007"));
    QCOMPARE(first.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QCOMPARE(second.readBytes(9), QByteArray("V99G0007\r"));
    QVERIFY(second.write("P1\r"));
    QVERIFY(vivitekAnswered.wait(5000));
    QCOMPARE(acerAnswered.size(), 0);
    QVERIFY(first.write("Lamp 0\r"));
    QVERIFY(acerAnswered.wait(5000));
    QCOMPARE(acerAnswered.first().at(1).toString(), QStringLiteral("Lamp 0"));
    QCOMPARE(vivitekAnswered.size(), 1);
    QCOMPARE(vivitekAnswered.first().at(1).toString(), QStringLiteral("P1"));
}

VANTREL_TEST_MAIN(TestSessions)
#include "tst_sessions.moc"
