// vantrelctl started as a script starts it: the bytes it puts on the line,
// what it makes of the simulator's replies, its exit codes and its JSON.
// ctest-properties: LABELS e2e TIMEOUT 300

#include "droppingprojector.h"
#include "nullmodem.h"
#include "projectorsession.h"
#include "serialline.h"
#include "serialserver.h"
#include "simprocess.h"
#include "telnetcodec.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <cmath>
#include <sys/stat.h>

#include <memory>
#include <sys/socket.h>
#include <vector>

namespace {

// Far beyond any timeout given below: only a hang runs into it.
constexpr int HangMargin = 30000;

QVariantMap json(SimProcess &ctl)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(ctl.lines().join('\n'), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        qWarning("not one JSON object: %s", ctl.lines().join('\n').constData());
    return document.object().toVariantMap();
}

// Also when events already saw it end, which QProcess::waitForFinished() counts as failing.
bool finished(SimProcess &ctl)
{
    return ctl.state() == QProcess::NotRunning || ctl.waitForFinished(HangMargin);
}

// A Vivitek query's questions and the simulator's answers, in turn, and what it prints.
const QByteArrayList vivitekQuery = {
    "V99G0007\r", "P1\r",  "V99G0004\r", "P1250\r", "V99G0008\r", "P1.04S\r", "V99G0220\r", "P0\r",
    "V99G0108\r", "P0\r",  "V99G0321\r", "P0\r",    "V99G0319\r", "P1\r",     "V99G0106\r", "P1\r",
    "V99G0101\r", "P50\r", "V99G0309\r", "P0\r",
};
const char vivitekState[]
    = "lamp=on\nlamp-hours=1250\nfirmware=1.04S\nsource=RGB 1\ndisplay-mode=Presentation\n"
      "logo=Standard\nlamp-mode=Normal\ncolour-temperature=Normal\nbrightness=50\nkeystone=0";

// Each row's simulator gets a link of its own, so none finds an old one.
QString nextLink()
{
    static int count = 0;
    return TestStore::runDirectory() + QStringLiteral("/ttyCtl%1").arg(++count);
}

// A PJLink projector of a few lines on 127.0.0.1, for the answers the
// simulator does not give. Each command is answered from the script, by its
// text ("%2INST ?"; one character a byte), or else with the fallback after
// its "=" ("ERR1"), or not at all for the fallback "(silent)". With
// flood, the first command is answered with bytes that never end a line,
// for as long as the connection lasts.
class ScriptedProjector
{
public:
    ScriptedProjector(const QStringList &script, const QByteArray &fallback, bool flood = false)
        : fallback(fallback)
        , flood(flood)
    {
        for (const QString &entry : script)
            answers.insert(entry.section('|', 0, 0).toLatin1(), entry.section('|', 1).toLatin1());
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { serve(socket); });
                pending.clear();
                socket->write("PJLINK 0\r");
            }
        });
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    QStringList received;

private:
    void serve(QTcpSocket *socket)
    {
        pending += socket->readAll();
        for (int end = pending.indexOf('\r'); end >= 0; end = pending.indexOf('\r')) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            received.append(QString::fromLatin1(line));
            if (flood) {
                const auto more = [socket] {
                    while (socket->bytesToWrite() < 256 * 1024)
                        socket->write(QByteArray(64 * 1024, 'x'));
                };
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
                more();
                return;
            }
            // A silent projector: what the script does not answer goes unanswered.
            if (!answers.contains(line) && fallback == "(silent)")
                continue;
            socket->write(answers.value(line, line.left(6) + '=' + fallback) + '\r');
        }
    }

    QTcpServer server;
    QMap<QByteArray, QByteArray> answers;
    QByteArray fallback;
    bool flood;
    QByteArray pending;
};

// Answers each search with the datagrams given, from 127.0.0.1; with flood,
// with a stream of answers of new MACs until it is destroyed.
class SearchResponder
{
public:
    explicit SearchResponder(const QByteArrayList &answers, bool flood = false)
    {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this, answers, flood] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                if (datagram.data() != "%2SRCH\r")
                    continue;
                ++searches;
                sender = datagram.senderAddress();
                senderPort = quint16(datagram.senderPort());
                for (const QByteArray &answer : answers)
                    socket.writeDatagram(answer, sender, senderPort);
                if (flood)
                    timer.start(1);
            }
        });
        QObject::connect(&timer, &QTimer::timeout, &socket, [this] {
            for (int i = 0; i < 50; ++i, ++sent) {
                const QByteArray mac
                    = QByteArray::number(0x020000000000ULL + sent, 16).rightJustified(12, '0');
                QByteArray text = "%2ACKN=";
                for (int part = 0; part < 6; ++part)
                    text += mac.mid(2 * part, 2) + (part < 5 ? ":" : "\r");
                socket.writeDatagram(text, sender, senderPort);
            }
        });
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(socket.localPort()); }
    int searches = 0;

private:
    QUdpSocket socket;
    QTimer timer;
    QHostAddress sender;
    quint16 senderPort = 0;
    quint64 sent = 0;
};

// A fleet of stored projectors, each its own: PJLink projectors on
// 127.0.0.1 that answer every question with "1" (the lamp on), PJLink
// projectors that greet and then answer nothing, and serial projectors of
// the simulator, some of them silent. expected() is each one's line of
// vantrelctl --all status, or for a silent one "NAME: error:" and the
// "no answer" that follows.
class StoredFleet
{
public:
    bool build(int pjlink, int pjlinkSilent, int serial, int serialSilent)
    {
        QVariantMap stored;
        int entry = 0;
        const auto add = [&](const QString &name, int model, const QString &port) {
            const QString key = QString("Projectors/%1/").arg(++entry);
            stored.insert(key + "Name", name);
            stored.insert(key + "Model", model);
            stored.insert(key + "Port", port);
        };
        for (int i = 0; i < pjlink + pjlinkSilent; ++i) {
            const QString name = QString("pjlink-%1").arg(i, 2, 10, QLatin1Char('0'));
            if (i < pjlink) {
                answering.push_back(std::make_unique<ScriptedProjector>(QStringList(), "1"));
                add(name, 3, answering.back()->address());
                lines.insert(name, name + ": lamp on");
            } else {
                silent.push_back(std::make_unique<QTcpServer>());
                QTcpServer *server = silent.back().get();
                if (!server->listen(QHostAddress::LocalHost))
                    return false;
                QObject::connect(server, &QTcpServer::newConnection, server, [server] {
                    while (QTcpSocket *socket = server->nextPendingConnection())
                        socket->write("PJLINK 0\r");
                });
                add(name, 3, QString("127.0.0.1:%1").arg(server->serverPort()));
                lines.insert(name, name + ": error: ");
            }
        }
        for (int i = 0; i < serial + serialSilent; ++i) {
            const QString name = QString("serial-%1").arg(i, 2, 10, QLatin1Char('0'));
            const QString link = nextLink();
            const bool quiet = i >= serial;
            sims.push_back(std::make_unique<SimProcess>());
            if (!sims.back()->startSimulator(
                    QStringLiteral(PROJECTOR_SIM_PATH),
                    QStringList { "--family", "acer", "--lamp", "on", "--link", link }
                        + (quiet ? QStringList { "--silent" } : QStringList())))
                return false;
            add(name, 0, link);
            lines.insert(name, name + (quiet ? ": error: " : ": lamp on"));
        }
        stored.insert("Projectors/size", entry);
        TestStore::seed(stored);
        return true;
    }

    // Which lines of output are not what they should be; empty when all are.
    QString wrongLines(const QByteArrayList &output) const
    {
        QStringList wrong;
        const QStringList expected = lines.values(); // sorted by name, as printed
        for (int i = 0; i < qMax(expected.size(), int(output.size())); ++i) {
            const QString line = QString::fromUtf8(output.value(i));
            const QString want = expected.value(i);
            const bool fine = want.endsWith(": error: ")
                ? line.startsWith(want) && line.contains("no answer")
                : line == want;
            if (!fine)
                wrong << QString("line %1: \"%2\", not \"%3\"").arg(i + 1).arg(line, want);
        }
        return wrong.join('\n');
    }

    int size() const { return int(lines.size()); }

private:
    std::vector<std::unique_ptr<ScriptedProjector>> answering;
    std::vector<std::unique_ptr<QTcpServer>> silent;
    std::vector<std::unique_ptr<SimProcess>> sims;
    QMap<QString, QString> lines; // by name
};

// The threads a process has now, from its /proc status; -1 once it is gone.
int threadsOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

// Telnet bytes as a serial server sends them.
QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int byte : list)
        out += char(byte);
    return out;
}

// The server's confirmation of one RFC 2217 setting.
QByteArray confirm(int code, const QByteArray &value)
{
    using T = TelnetCodec;
    return bytes({ T::Iac, T::Sb, T::ComPortOption, code + T::ServerOffset }) + value
        + bytes({ T::Iac, T::Se });
}

} // namespace

class TestCtl : public QObject
{
    Q_OBJECT

private slots:
    void wire_data();
    void wire();
    void lateAnswerOfAnEarlierRun_data();
    void lateAnswerOfAnEarlierRun();
    void simulator_data();
    void simulator();
    void silentProjector_data();
    void silentProjector();
    void silentProjectorInAFleet();
    void silentPJLinkProjector_data();
    void silentPJLinkProjector();
    void pjlinkTextShownAsReceived();
    void portUnavailable_data();
    void portUnavailable();
    void usageErrorsSendNothing_data();
    void usageErrorsSendNothing();
    void storedSettings_data();
    void storedSettings();
    void projectorList_data();
    void projectorList();
    void fleetOfSimulators();
    void fleet_data();
    void fleet();
    void fleetSideBySide_data();
    void fleetSideBySide();
    void fleetOnFewThreads();
    void fleetWithinTheFileLimit_data();
    void fleetWithinTheFileLimit();
    void metrics_data();
    void metrics();
    void helpAndVersion_data();
    void helpAndVersion();
    void sendFlood();
    void search_data();
    void search();
    void searchAnswers_data();
    void searchAnswers();
    void searchFlood();
    void pjlinkScripted_data();
    void pjlinkScripted();
    void pjlinkSendFlood();
    void pjlinkMetrics_data();
    void pjlinkMetrics();
    void pjlink_data();
    void pjlink();
    void pjlinkDropped_data();
    void pjlinkDropped();
    void networkSerialServer_data();
    void networkSerialServer();
    void networkFailures_data();
    void networkFailures();
    void detect_data();
    void detect();
    void storeProblems_data();
    void storeProblems();
    void concurrentAdds();
    void concurrentAddsStarved_data();
    void concurrentAddsStarved();
    void passwordByEntry();
    void passwordNeverReadable_data();
    void passwordNeverReadable();
    void unusableEntries_data();
    void unusableEntries();
    void detectWaitsForASlowServer();
    void sendToAFloodingServer();

private:
    // vantrelctl with the test run's settings store, found as a user's is.
    // With limits, run under prlimit(1) with those (--nofile=SOFT:HARD).
    void start(SimProcess &ctl, const QStringList &arguments, const QString &password = QString(),
               const QStringList &limits = QStringList(),
               const QProcessEnvironment &extra = QProcessEnvironment())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(extra);
        environment.remove(QStringLiteral("VANTREL_PJLINK_PASSWORD"));
        if (!password.isNull())
            environment.insert(QStringLiteral("VANTREL_PJLINK_PASSWORD"), password);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           TestStore::runDirectory() + QStringLiteral("/config"));
        ctl.setProcessEnvironment(environment);
        if (limits.isEmpty())
            ctl.start(QStringLiteral(VANTRELCTL_EXE_PATH), arguments);
        else
            ctl.start(QStringLiteral("prlimit"),
                      limits + QStringList { "--", QStringLiteral(VANTRELCTL_EXE_PATH) }
                          + arguments);
    }
};

void TestCtl::wire_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArrayList>("talk"); // what goes out, then what comes back, in turn
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<QByteArray>("before"); // on the line before the program starts

    auto row = [](const char *name, const char *arguments, QByteArrayList talk, int exitCode,
                  const char *printed = "", const char *before = "") {
        QTest::newRow(name) << QString(arguments).split(' ') << talk << exitCode
                            << QByteArray(printed) << QByteArray(before);
    };
    row("acer on", "--family acer on", { "OKOKOKOKOK\r", "*000\r" }, 0);
    row("acer off refused", "--family acer off", { "* 0 IR 002\r", "*001\r" }, 1);
    row("acer press keystone-menu", "--family acer press keystone-menu",
        { "* 0 IR 004\r", "*000\r\n" }, 0);
    row("acer press lamp-time", "--family acer press lamp-time", { "* 0 Lamp\r", "1502\r" }, 0,
        "1502");
    row("acer send", "--family acer --timeout 0.3 send * 0 Lamp ?",
        { "* 0 Lamp ?\r", "Lamp 1\rchatter\r" }, 0, "Lamp 1\nchatter");
    // Blanks and control characters around a lamp reply are strays.
    row("acer status, LF before the CR", "--family acer status", { "* 0 Lamp ?\r", "Lamp 0\n\r" },
        0, "lamp off");
    row("vivitek status, P0 and a blank", "--family vivitek status", { "V99G0007\r", "P0 \r" }, 0,
        "lamp off");
    row("vivitek status, LF before the CR", "--family vivitek status", { "V99G0007\r", "P0\n\r" },
        0, "lamp off");
    row("vivitek on", "--family vivitek on", { "V99S0001\r", "P\r" }, 0);
    row("vivitek off refused", "--family vivitek off", { "V99S0002\r", "F\r" }, 1);
    row("vivitek press rear-ceiling", "--family vivitek press rear-ceiling",
        { "V99S03083\r", "P\r" }, 0);
    // The keystone is read first; its reply is a signed byte.
    row("vivitek press keystone-down", "--family vivitek press keystone-down",
        { "V99G0309\r", "P255\r", "V99S0309-2\r", "P\r" }, 0);
    row("vivitek set source", "--family vivitek set source hdmi-2", { "V99S0209\r", "P\r" }, 0);
    row("vivitek set lamp-mode lamp on", "--family vivitek set lamp-mode dynamic-eco",
        { "V99G0007\r", "P1\r", "V99S03192\r", "P\r" }, 0);
    row("vivitek set lamp-mode lamp off", "--family vivitek set lamp-mode eco",
        { "V99G0007\r", "P0\r" }, 1);
    row("infocus on", "--family infocus on", { "(PWR1)\r", "(0-1,1)" }, 0);
    row("infocus off refused", "--family infocus off", { "(PWR0)\r", "(ERR)" }, 1);
    row("infocus press hdmi", "--family infocus press hdmi", { "* 0 IR 050\r", "(0-1,1)" }, 0);

    // Refusals end send with 1 as they end every other command; any printable text goes out.
    row("acer send refused", "--family acer --timeout 0.3 send * 0 IR 999",
        { "* 0 IR 999\r", "*001\r" }, 1, "*001");
    row("vivitek send refused", "--family vivitek --timeout 0.3 send V99S0001",
        { "V99S0001\r", "F\r" }, 1, "F");
    row("infocus send refused", "--family infocus --timeout 0.3 send (XYZ)", { "(XYZ)\r", "(ERR)" },
        1, "(ERR)");
    row("send printable text",
        "--family acer --timeout 0.3 send ~ !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}",
        { "~ !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}\r", "*000\r" }, 0, "*000");

    // The LF of a CR LF that comes after the next question is still the line end.
    row("acer query, LF in a later read", "--family acer query",
        { "* 0 Lamp ?\r", "Lamp 1\r", "* 0 Lamp\r", "\n1502\r", "* 0 IR 036\r", "\n*001\r" }, 0,
        "lamp=on\nlamp-hours=1502");
    QByteArrayList crlf = vivitekQuery;
    for (int i = 3; i < crlf.size(); i += 2)
        crlf[i].prepend('\n');
    row("vivitek query, LF in a later read", "--family vivitek query", crlf, 0, vivitekState);

    // A question unanswered within --timeout, after an answer: nothing more
    // is asked, so the run ends within about twice --timeout.
    QByteArrayList late = vivitekQuery.mid(0, 4);
    late[3] = "";
    row("vivitek query, silent after one answer", "--family vivitek --timeout 0.2 query", late, 2,
        "lamp=on\nlamp-hours=no answer");

    // What was on the line before the question, whole or in part, never answers it.
    row("vivitek status after a stale reply", "--family vivitek status", { "V99G0007\r", "P1\r" },
        0, "lamp on", "P0\r");
    row("vivitek status after half a stale reply", "--family vivitek status",
        { "V99G0007\r", "0\rP1\r" }, 0, "lamp on", "P");
    row("acer status after half a stale reply", "--family acer status",
        { "* 0 Lamp ?\r", "0\rLamp 1\r" }, 0, "lamp on", "Lamp ");
    row("infocus status after half a stale reply", "--family infocus status",
        { "(CST)\r", "0)(0-3,1)" }, 0, "(0-3,1)", "(0-3,");
}

void TestCtl::wire()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, talk);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, printed);
    QFETCH(QByteArray, before);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    QVERIFY(modem.write(before));
    // The text to send is one argument, blanks and all.
    if (arguments.contains("send"))
        arguments = arguments.mid(0, arguments.indexOf("send") + 1)
            << arguments.mid(arguments.indexOf("send") + 1).join(' ');
    SimProcess ctl;
    start(ctl, QStringList { "--port", modem.portName() } + arguments);
    for (int i = 0; i + 1 < talk.size(); i += 2) {
        QCOMPARE(modem.readBytes(talk.at(i).size()), talk.at(i));
        QVERIFY(modem.write(talk.at(i + 1)));
    }
    QVERIFY(finished(ctl));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(ctl.lines().join('\n'), printed);
    QCOMPARE(modem.expectSilence(50), QByteArray());
}

void TestCtl::lateAnswerOfAnEarlierRun_data()
{
    QTest::addColumn<bool>("beforeAsked"); // the late answer is on the line before the question
    QTest::addColumn<QString>("planted"); // what stands where the record of owed answers goes

    QTest::newRow("late answer after the next question") << false << QString();
    QTest::newRow("late answer before the next question") << true << QString();
    // Ignored with one warning; the run keeps its timeout.
    QTest::newRow("a FIFO where the record goes") << false << "fifo";
    QTest::newRow("a directory where the record goes") << false << "directory";
}

// A Vivitek answer that comes once its run has given up and ended belongs to
// that run's question, never to the next run's; and no run waits for it.
void TestCtl::lateAnswerOfAnEarlierRun()
{
    QFETCH(bool, beforeAsked);
    QFETCH(QString, planted);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    const QString record = ProjectorSession::owedRecordPath(modem.portName(), 1);
    QVERIFY(!record.isEmpty());
    if (planted == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    else if (planted == "directory")
        QVERIFY(QDir().mkpath(record));
    const auto removePlanted = qScopeGuard([&] {
        if (!planted.isEmpty() && !QFile::remove(record))
            QDir().rmdir(record);
    });
    const QStringList line { "--port", modem.portName(), "--family", "vivitek" };
    SimProcess first;
    start(first, line + QStringList { "--timeout", "0.3", "status" });
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0007\r"));
    QVERIFY(finished(first));
    QCOMPARE(first.exitCode(), 2);
    if (!planted.isEmpty()) {
        const QStringList errors
            = QString::fromLocal8Bit(first.readAllStandardError()).split('\n').filter(record);
        QCOMPARE(errors,
                 QStringList("vantrelctl: " + record
                             + ": not a regular file; the answers owed from earlier runs are not "
                               "kept"));
        const QFileInfo left(record);
        QVERIFY(left.exists() && !left.isFile());
        return;
    }

    if (beforeAsked)
        QVERIFY(modem.write("P0\r"));
    SimProcess second;
    start(second, line + QStringList { "status" });
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0007\r"));
    QVERIFY(modem.write(beforeAsked ? "P1\r" : "P0\rP1\r"));
    QVERIFY(finished(second));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.lines().join('\n'), QByteArray("lamp on"));

    // Matched, the record is spent: a third run takes its own answer.
    SimProcess third;
    start(third, line + QStringList { "status" });
    QCOMPARE(modem.readBytes(9), QByteArray("V99G0007\r"));
    QVERIFY(modem.write("P0\r"));
    QVERIFY(finished(third));
    QCOMPARE(third.lines().join('\n'), QByteArray("lamp off"));
}

void TestCtl::simulator_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text"); // the text output
    QTest::addColumn<QVariantMap>("fields"); // of the JSON object

    const auto lamp = [](const char *state) {
        return QVariantMap { { "lamp", state }, { "answered", true }, { "exit", 0 } };
    };
    for (const char *state : { "on", "off" }) {
        QTest::addRow("acer status lamp %s", state)
            << "acer" << state << "status" << QString("lamp %1").arg(state) << lamp(state);
        QTest::addRow("vivitek status lamp %s", state)
            << "vivitek" << state << "status" << QString("lamp %1").arg(state) << lamp(state);
    }
    QTest::newRow("infocus status lamp on") << "infocus"
                                            << "on"
                                            << "status"
                                            << "(0-3,1)" << QVariantMap { { "reply", "(0-3,1)" } };
    QTest::newRow("infocus status lamp off") << "infocus"
                                             << "off"
                                             << "status"
                                             << "(0-3,0)" << QVariantMap { { "reply", "(0-3,0)" } };

    QTest::newRow("acer query") << "acer"
                                << "on"
                                << "query"
                                << "lamp=on\nlamp-hours=1250\nresolution=1024 x 768 @ 60 Hz"
                                << QVariantMap { { "values",
                                                   QVariantMap {
                                                       { "lamp", "on" },
                                                       { "lamp-hours", "1250" },
                                                       { "resolution", "1024 x 768 @ 60 Hz" } } } };
    // Off, an Acer gives no resolution.
    QTest::newRow("acer query lamp off")
        << "acer"
        << "off"
        << "query"
        << "lamp=off\nlamp-hours=1250"
        << QVariantMap { { "values",
                           QVariantMap { { "lamp", "off" }, { "lamp-hours", "1250" } } } };
    QTest::newRow("vivitek query")
        << "vivitek"
        << "on"
        << "query"
        << "lamp=on\nlamp-hours=1250\nfirmware=1.04S\nsource=RGB 1\ndisplay-mode=Presentation\n"
           "logo=Standard\nlamp-mode=Normal\ncolour-temperature=Normal\nbrightness=50\nkeystone=0"
        << QVariantMap { { "answered", true } };
    QTest::newRow("infocus query")
        << "infocus"
        << "off"
        << "query"
        << "status=(0-3,0)"
        << QVariantMap { { "values", QVariantMap { { "status", "(0-3,0)" } } } };
}

// Each row runs the command twice, as text and as JSON.
void TestCtl::simulator()
{
    QFETCH(QString, family);
    QFETCH(QString, lamp);
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(QVariantMap, fields);

    const QString link = nextLink();
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               { "--family", family, "--lamp", lamp, "--link", link }));
    const QStringList arguments = { "--port", link, "--family", family, command };
    SimProcess ctl;
    start(ctl, arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 0);
    QCOMPARE(ctl.lines().join('\n'), text.toUtf8());

    SimProcess ctlJson;
    start(ctlJson, arguments + QStringList { "--json" });
    QVERIFY(ctlJson.waitForFinished(HangMargin));
    QCOMPARE(ctlJson.exitCode(), 0);
    const QVariantMap object = json(ctlJson);
    QCOMPARE(object.value("family").toString(), family);
    QCOMPARE(object.value("port").toString(), link);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        QCOMPARE(object.value(it.key()), it.value());
}

void TestCtl::silentProjector_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("portSuffix"); // the name is shown as it is, placeholders too
    QTest::newRow("acer") << "acer"
                          << "status"
                          << "";
    QTest::newRow("vivitek") << "vivitek"
                             << "on"
                             << "";
    QTest::newRow("vivitek status") << "vivitek"
                                    << "status"
                                    << "";
    QTest::newRow("vivitek query") << "vivitek"
                                   << "query"
                                   << "";
    QTest::newRow("vivitek press keystone-up") << "vivitek"
                                               << "press keystone-up"
                                               << "";
    QTest::newRow("infocus") << "infocus"
                             << "off"
                             << "";
    QTest::newRow("acer query, % in the name") << "acer"
                                               << "query"
                                               << "%1%2";
    QTest::newRow("acer send") << "acer"
                               << "send * 0 Lamp ?"
                               << "";
}

// Unanswered, it gives up after the timeout: the run ends within --timeout
// and half a second, as the manual promises, whatever the command.
void TestCtl::silentProjector()
{
    QFETCH(QString, family);
    QFETCH(QString, command);
    QFETCH(QString, portSuffix);

    const QString link = nextLink() + portSuffix;
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               { "--family", family, "--silent", "--link", link }));
    SimProcess ctl;
    QStringList words = command.split(' ');
    if (words.first() == "send")
        words = QStringList { "send", words.mid(1).join(' ') };
    QElapsedTimer run;
    run.start();
    start(ctl,
          QStringList { "--port", link, "--family", family, "--timeout", "0.5", "--json" } + words);
    QVERIFY(ctl.waitForFinished(500 + HangMargin));
    QVERIFY2(run.elapsed() <= 500 + 500, qPrintable(QString::number(run.elapsed())));
    QCOMPARE(ctl.exitCode(), 2);
    const QVariantMap object = json(ctl);
    QCOMPARE(object.value("answered"), QVariant(false));
    QCOMPARE(object.value("exit"), QVariant(2));
    QVERIFY(object.value("error").toString().startsWith(link + ": no "));
    // Asked once, and not again.
    QTRY_VERIFY(sim.has("-- line closed"));
    QCOMPARE(sim.received().size(), 1);
}

// Side by side, a silent projector holds up the run no longer than the
// timeout promises.
void TestCtl::silentProjectorInAFleet()
{
    const QString silentLink = nextLink();
    const QString link = nextLink();
    SimProcess silent;
    QVERIFY(silent.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                  { "--family", "vivitek", "--silent", "--link", silentLink }));
    SimProcess answering;
    QVERIFY(answering.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                     { "--family", "acer", "--lamp", "on", "--link", link }));
    TestStore::seed({ { "Projectors/size", 3 },
                      { "Projectors/1/Name", "room-1" },
                      { "Projectors/1/Model", 1 },
                      { "Projectors/1/Port", silentLink },
                      { "Projectors/2/Name", "room-2" },
                      { "Projectors/2/Model", 0 },
                      { "Projectors/2/Port", link } });
    SimProcess ctl;
    QElapsedTimer run;
    run.start();
    start(ctl, { "--all", "--timeout", "0.5", "status" });
    QVERIFY(ctl.waitForFinished(500 + HangMargin));
    QVERIFY2(run.elapsed() <= 500 + 500, qPrintable(QString::number(run.elapsed())));
    QCOMPARE(ctl.exitCode(), 2);
    const QByteArrayList lines = ctl.lines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith("room-1: ") && lines.at(0).contains("no answer"),
             lines.at(0).constData());
    QCOMPARE(lines.at(1), QByteArray("room-2: lamp on"));
}

void TestCtl::silentPJLinkProjector_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("status") << "status";
    QTest::newRow("query") << "query";
    QTest::newRow("on") << "on";
}

// A PJLink projector that greets and then answers nothing: the run ends
// within --timeout and half a second, whatever the command.
void TestCtl::silentPJLinkProjector()
{
    QFETCH(QString, command);
    QTcpServer projector;
    QVERIFY(projector.listen(QHostAddress::LocalHost));
    QByteArray heard;
    QObject::connect(&projector, &QTcpServer::newConnection, [&] {
        QTcpSocket *socket = projector.nextPendingConnection();
        socket->write("PJLINK 0\r");
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [&heard, socket] { heard += socket->readAll(); });
    });
    SimProcess ctl;
    QElapsedTimer run;
    run.start();
    start(ctl,
          { "--family", "pjlink", "--port", QString("127.0.0.1:%1").arg(projector.serverPort()),
            "--timeout", "0.5", command });
    QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, HangMargin);
    QVERIFY2(run.elapsed() <= 500 + 500, qPrintable(QString::number(run.elapsed())));
    QCOMPARE(ctl.exitCode(), 2);
    QCOMPARE(heard.count('\r'), 1); // asked once, and not again
}

// Text a PJLink projector sends in UTF-8 and that is not plain ASCII is
// shown as the text it is.
void TestCtl::pjlinkTextShownAsReceived()
{
    QTcpServer projector;
    QVERIFY(projector.listen(QHostAddress::LocalHost));
    QObject::connect(&projector, &QTcpServer::newConnection, [&projector] {
        QTcpSocket *socket = projector.nextPendingConnection();
        socket->write("PJLINK 0\r");
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            while (socket->canReadLine() || socket->peek(512).contains('\r')) {
                QByteArray line = socket->peek(512);
                line = socket->read(line.indexOf('\r') + 1);
                const QByteArray head = line.left(6);
                if (head == "%1NAME")
                    socket->write(head + "=\xc3\xa9\xe2\x80\xa6\r");
                else if (head == "%1POWR")
                    socket->write(head + "=0\r");
                else
                    socket->write(head + "=ERR1\r");
            }
        });
    });
    SimProcess ctl;
    start(ctl,
          { "--family", "pjlink", "--port", QString("127.0.0.1:%1").arg(projector.serverPort()),
            "--timeout", "1", "query" });
    QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, HangMargin);
    QVERIFY2(ctl.lines().contains("name=\xc3\xa9\xe2\x80\xa6"), ctl.lines().join('\n').constData());
}

void TestCtl::portUnavailable_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("reason");
    QTest::newRow("in use") << true << true << "in use by another program";
    // The window holds the device by its own name, vantrelctl is given a link to it.
    QTest::newRow("in use through another path") << true << true << "in use by another program";
    QTest::newRow("absent") << false << false << "not present";
    // Lost while waiting for the answer: the end, not a loop of read errors.
    QTest::newRow("lost") << false << true << "device lost";
}

void TestCtl::portUnavailable()
{
    QFETCH(bool, held);
    QFETCH(bool, present);
    QFETCH(QString, reason);

    NullModem modem(nextLink());
    QSerialPort holder;
    holder.setPortName(modem.portName());
    if (QByteArray(QTest::currentDataTag()).endsWith("another path"))
        QVERIFY(SerialLine::open(holder, modem.slavePath(), 0).isOpen());
    else if (held)
        QVERIFY(holder.open(QIODevice::ReadWrite));
    if (!present)
        modem.unplug();
    SimProcess ctl;
    start(
        ctl,
        { "--port", modem.portName(), "--family", "acer", "--timeout", "60", "--json", "status" });
    if (reason == "device lost") {
        QCOMPARE(modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
        modem.hangUp();
    }
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 69);
    const QByteArray message = modem.portName().toUtf8() + ": " + reason.toUtf8();
    QCOMPARE(ctl.readAllStandardError().trimmed(), "vantrelctl: " + message);
    QCOMPARE(json(ctl).value("error").toByteArray(), message);
}

void TestCtl::usageErrorsSendNothing_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("message"); // a part of it: what the valid choices are

    auto row = [](const char *arguments, const char *message) {
        QTest::newRow(arguments) << QString(arguments) << QString(message);
    };
    row("--family acer", "commands are on, off, status, press, set, list, query, send");
    row("--family acer reboot", "unknown command \"reboot\"; the commands are on, off");
    row("--family epson on", "the families are acer, vivitek, infocus");
    row("--family acer press blank", "the buttons are lamp-time, model, menu, up,");
    row("--family infocus press menu", "InFocus projectors have no button \"menu\"");
    row("--family vivitek press menu", "the buttons are lamp-time, firmware, keystone-up,");
    row("--family acer set source hdmi", "set is for Vivitek projectors");
    row("--family vivitek set colour-temperature warm",
        "the lists are source, display-mode, logo, lamp-mode");
    row("--family vivitek set source hdmi",
        "the entries are rgb-1, rgb-2, dvi, video, s-video, "
        "hdmi-1, hdmi-2, bnc, component, display-port");
    row("--family vivitek set source", "set takes two arguments");
    row("--family acer send \u00e9t\u00e9", "printable ASCII");
    row("--family acer send \t", "printable ASCII");
    row("--family acer --timeout 0 on", "--timeout takes seconds");
    row("--family acer --colour on", "Unknown option 'colour'");
    row("--family pjlink press blank",
        "the buttons are picture-mute, sound-mute, unmute, freeze, unfreeze, volume-up, "
        "volume-down");
    row("--family pjlink set source hdmi-1", "the lists are input");
    row("--family acer --password-file /dev/null on", "Acer projectors take no password");
    row("--family acer --to 127.0.0.1 on", "--to is for search");
    row("search now", "search takes no arguments but --to ADDRESS");
    row("search --to [::1", "--to takes an address with an optional :port");
    row("search --to 127.0.0.1:0", "--to takes an address with an optional :port");
    row("search --to ", "--to is empty");
    // The later --port is the one taken.
    row("--family acer --port tcp://127.0.0.1 on", "no port after the host");
    row("--family acer --port telnet://127.0.0.1:7000 on", "use tcp:// or rfc2217://");
    row("--family acer --port tcp://::1:7000 on", "an IPv6 address goes in brackets");
    row("--family acer --port rfc2217://[::1]:70000 on", "not a TCP port");
    // A PJLink address is as strict as a network serial server's.
    row("--family pjlink --port 127.0.0.1:99999 status", "not a TCP port");
    row("--family pjlink --port :0 status", "is not a host name or address");
    row("--family pjlink --port ::1 status", "an IPv6 address goes in brackets");
    row("--family acer --no-scan on", "--no-scan is for detect only");
    row("--family epson detect", "the families are acer, vivitek, infocus");
    row("--family pjlink detect", "detect looks on serial lines");
    row("--family acer --all detect", "detect looks for projectors of its own");
}

void TestCtl::usageErrorsSendNothing()
{
    QFETCH(QString, arguments);
    QFETCH(QString, message);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    SimProcess ctl;
    start(ctl, QStringList { "--json", "--port", modem.portName() } + arguments.split(' '));
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 64);
    // On standard error, and in the JSON object too.
    const QString error = QString::fromLocal8Bit(ctl.readAllStandardError());
    QVERIFY2(error.startsWith("vantrelctl: ") && error.contains(message), qPrintable(error));
    const QVariantMap object = json(ctl);
    QCOMPARE(object.value("exit"), QVariant(64));
    QVERIFY(object.value("error").toString().contains(message));
    QCOMPARE(modem.expectSilence(50), QByteArray());
}

void TestCtl::storedSettings_data()
{
    QTest::addColumn<bool>("portStored");
    QTest::addColumn<QVariant>("model"); // as stored; invalid: none
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("error");

    // Not Vivitek, whose unanswered command would be waited for after the timeout.
    QTest::newRow("both stored") << true << QVariant(2) << QStringList { "on" }
                                 << QByteArray("(PWR1)\r") << QString();
    QTest::newRow("model missing: acer")
        << true << QVariant() << QStringList { "on" } << QByteArray("OKOKOKOKOK\r") << QString();
    QTest::newRow("family given") << true << QVariant(1)
                                  << QStringList { "--family", "infocus", "on" }
                                  << QByteArray("(PWR1)\r") << QString();
    QTest::newRow("unknown model stored")
        << true << QVariant(7) << QStringList { "on" } << QByteArray()
        << "the stored family (Model=7 in " + TestStore::fileName()
            + ") is unknown; give --family with one of acer, vivitek, infocus, pjlink";
    QTest::newRow("unknown model, family given")
        << true << QVariant(7) << QStringList { "--family", "acer", "off" }
        << QByteArray("* 0 IR 002\r") << QString();
    QTest::newRow("Model -1 stored") << true << QVariant(-1) << QStringList { "on" } << QByteArray()
                                     << "the stored family (Model=-1 in " + TestStore::fileName()
            + ") is unknown; give --family with one of acer, vivitek, infocus, pjlink";
    // An unset shell variable is no choice of the stored one.
    QTest::newRow("empty --port") << true << QVariant(1) << QStringList { "--port", "", "on" }
                                  << QByteArray() << "--port is empty; give a serial port";
    QTest::newRow("empty --family")
        << true << QVariant(1) << QStringList { "--family", "", "on" } << QByteArray()
        << "--family is empty; give one of acer, vivitek, infocus, pjlink";
    QTest::newRow("no port stored") << false << QVariant(2) << QStringList { "on" } << QByteArray()
                                    << "no serial port chosen; give --port or choose one in "
                                       "Vantrel's settings";
}

void TestCtl::storedSettings()
{
    QFETCH(bool, portStored);
    QFETCH(QVariant, model);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, sent);
    QFETCH(QString, error);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    QVariantMap stored;
    if (portStored)
        stored.insert("ComPort", modem.portName());
    if (model.isValid())
        stored.insert("Model", model);
    TestStore::seed(stored);

    SimProcess ctl;
    start(ctl, QStringList { "--timeout", "0.2" } + arguments);
    QCOMPARE(modem.readBytes(sent.size(), sent.isEmpty() ? 50 : 5000), sent);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), error.isEmpty() ? 2 : 64);
    if (!error.isEmpty())
        QCOMPARE(QString::fromLocal8Bit(ctl.readAllStandardError()).trimmed(),
                 "vantrelctl: " + error);
    // The store is read, never written.
    QCOMPARE(TestStore::keys().size(), stored.size());
}

void TestCtl::projectorList_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QStringList>("commands"); // each one run, with its exit code after a "="
    // What projector list prints then; the test kit's lines end at their last non-blank.
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QVariant>("comPort"); // what an older Vantrel reads; invalid: none
    QTest::addColumn<QVariant>("model");

    const QVariantMap old { { "ComPort", "ttyOld" }, { "Model", 2 } };
    const QVariantMap two { { "ComPort", "ttyB" },
                            { "Model", 1 },
                            { "Projector", "b" },
                            { "Projectors/size", 2 },
                            { "Projectors/1/Name", "a" },
                            { "Projectors/1/Model", 0 },
                            { "Projectors/1/Port", "ttyA" },
                            { "Projectors/2/Name", "b" },
                            { "Projectors/2/Model", 1 },
                            { "Projectors/2/Port", "ttyB" },
                            { "Projectors/2/Group", "north" } };
    QTest::newRow("empty store") << QVariantMap() << QStringList() << "" << QVariant()
                                 << QVariant();
    QTest::newRow("old store reads as a list of one")
        << old << QStringList() << "ttyOld\tinfocus\tttyOld" << QVariant("ttyOld") << QVariant(2);
    QTest::newRow("old store, a port no name can be")
        << QVariantMap { { "ComPort", "--odd " }, { "Model", 1 } } << QStringList()
        << "odd\tvivitek\t--odd" << QVariant("--odd ") << QVariant(1);
    QTest::newRow("add to an old store: the old one stays current")
        << old << QStringList { "add room-1 --family acer --port ttyR1 --group north=0" }
        << "ttyOld\tinfocus\tttyOld\nroom-1\tacer\tttyR1\tnorth" << QVariant("ttyOld")
        << QVariant(2);
    QTest::newRow("first one added becomes current")
        << QVariantMap()
        << QStringList { "add room 1 --family vivitek --port /dev/serial/by-id/x=0",
                         "add room-2 --family acer --port ttyR2=0" }
        << "room 1\tvivitek\t/dev/serial/by-id/x\nroom-2\tacer\tttyR2"
        << QVariant("/dev/serial/by-id/x") << QVariant(1);
    QTest::newRow("remove the current one: the first left takes over")
        << two << QStringList { "remove b=0" } << "a\tacer\tttyA" << QVariant("ttyA")
        << QVariant(0);
    QTest::newRow("remove another: the current one stays")
        << two << QStringList { "remove a=0" } << "b\tvivitek\tttyB\tnorth" << QVariant("ttyB")
        << QVariant(1);
    // Else the next read would bring the old entry back.
    QTest::newRow("remove the last: the old keys go too")
        << old << QStringList { "remove ttyOld=0" } << "" << QVariant() << QVariant();
    // The Settings dialog (or an older Vantrel) writes the two keys alone:
    // the list stays as it is, and so do the keys at the next edit of it.
    const QVariantMap keysChanged = [&] {
        QVariantMap changed = two;
        changed.insert("ComPort", "ttyNew");
        return changed;
    }();
    QTest::newRow("the two keys changed alone: the list stays")
        << keysChanged << QStringList() << "a\tacer\tttyA\nb\tvivitek\tttyB\tnorth"
        << QVariant("ttyNew") << QVariant(1);
    QTest::newRow("the two keys changed alone, then an add: the keys stay")
        << keysChanged << QStringList { "add c --family acer --port ttyC=0" }
        << "a\tacer\tttyA\nb\tvivitek\tttyB\tnorth\nc\tacer\tttyC" << QVariant("ttyNew")
        << QVariant(1);
    // Every reader takes the first of a name, and a write keeps only that one.
    QTest::newRow("a name twice, by hand: the first wins")
        << QVariantMap { { "Projectors/size", 2 },        { "Projectors/1/Name", "a" },
                         { "Projectors/1/Model", 0 },     { "Projectors/1/Port", "ttyA1" },
                         { "Projectors/2/Name", "a" },    { "Projectors/2/Model", 1 },
                         { "Projectors/2/Port", "ttyA2" } }
        << QStringList { "add b --family acer --port ttyB=0" } << "a\tacer\tttyA1\nb\tacer\tttyB"
        << QVariant("ttyA1") << QVariant(0);
    QTest::newRow("refused: nothing changes")
        << two
        << QStringList { "add a --family acer --port ttyX=64", "remove c=64",
                         "add -c --family acer --port ttyX=64",
                         "add c --family epson --port ttyX=64", "add c --family acer=64",
                         "add c --family acer --port ttyX --password-file /dev/null=64",
                         "remove a --port ttyX=64", "rename a=64",
                         // Checked as --port is, or every run on the list fails on it later.
                         "add c --family acer --port tcp://=64",
                         "add c --family acer --port rfc2217://127.0.0.1:0=64",
                         "add c --family pjlink --port 127.0.0.1:99999=64",
                         // projector list stays one line per entry.
                         "add c --family acer --port tty\tX=64",
                         "add c --family acer --port ttyX\r\nd\tacer\tttyD=64" }
        << "a\tacer\tttyA\nb\tvivitek\tttyB\tnorth" << QVariant("ttyB") << QVariant(1);
}

// The list as a script edits it, in the store the window reads; an older
// Vantrel's keys always name the current projector.
void TestCtl::projectorList()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, commands);
    QFETCH(QString, listed);
    QFETCH(QVariant, comPort);
    QFETCH(QVariant, model);

    TestStore::seed(stored);
    for (const QString &command : commands) {
        const int split = command.lastIndexOf('=');
        // A name with a blank in it stays one argument.
        QStringList arguments = command.left(split).split(' ');
        if (arguments.at(1) == "room")
            arguments.replace(1, arguments.at(1) + ' ' + arguments.takeAt(2));
        SimProcess ctl;
        start(ctl, QStringList { "projector" } + arguments);
        QVERIFY(ctl.waitForFinished(HangMargin));
        QCOMPARE(ctl.exitCode(), command.mid(split + 1).toInt());
    }
    SimProcess list;
    start(list, { "projector", "list" });
    QVERIFY(list.waitForFinished(HangMargin));
    QCOMPARE(list.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(list.lines().join('\n')), listed);
    QCOMPARE(TestStore::value("ComPort"), comPort);
    QCOMPARE(TestStore::value("Model"), model);

    // JSON names the current one and never shows a password.
    SimProcess asJson;
    start(asJson, { "--json", "projector", "list" });
    QVERIFY(asJson.waitForFinished(HangMargin));
    const QVariantList projectors = json(asJson).value("projectors").toList();
    QCOMPARE(projectors.size(), listed.isEmpty() ? 0 : listed.count('\n') + 1);
    // The current one is the one the store names, or the only one there is.
    const QVariant current = TestStore::value("Projector", comPort);
    for (const QVariant &projector : projectors) {
        const QVariantMap fields = projector.toMap();
        QCOMPARE(fields.value("current").toBool(),
                 fields.value("name") == current
                     || (!TestStore::contains("Projector") && fields.value("port") == comPort));
        QCOMPARE(fields.value("password"), QVariant(false));
    }
}

void TestCtl::helpAndVersion_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("printed"); // a part of it
    QTest::newRow("--help") << "--help" << QByteArray("Exit status:");
    QTest::newRow("--version") << "--version" << QByteArray("vantrelctl 2.");
    QTest::newRow("--help with a command") << "--help on" << QByteArray("Usage:");
}

void TestCtl::helpAndVersion()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, printed);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    SimProcess ctl;
    start(ctl,
          QStringList { "--port", modem.portName(), "--family", "acer" } + arguments.split(' '));
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ctl.exitCode(), 0);
    QVERIFY2(ctl.lines().join('\n').contains(printed), ctl.lines().join('\n').constData());
    QCOMPARE(ctl.readAllStandardError(), QByteArray());
    QCOMPARE(modem.expectSilence(50), QByteArray());
}

// A line that answers without end: send keeps a bounded part of it, says so,
// and exits as for any answer.
void TestCtl::sendFlood()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    SimProcess ctl;
    start(ctl,
          { "--port", modem.portName(), "--family", "acer", "--timeout", "3600", "send",
            "* 0 Lamp ?" });
    QCOMPARE(modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    const QByteArray flood = QByteArray("Lamp 1\r").repeated(512);
    QVERIFY(QTest::qWaitFor(
        [&] { return !modem.write(flood) || ctl.state() == QProcess::NotRunning; }, HangMargin));
    QVERIFY(finished(ctl));
    QCOMPARE(ctl.exitCode(), 0);
    const QList<QByteArray> lines = ctl.lines();
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.count("Lamp 1"), lines.size());
    QVERIFY2(lines.size() <= 64 * 1024 / 7, QByteArray::number(lines.size()).constData());
    const QByteArray error = ctl.readAllStandardError();
    QVERIFY2(error.startsWith("vantrelctl: " + modem.portName().toUtf8())
                 && error.contains("more than"),
             error.constData());
}

void TestCtl::search_data()
{
    QTest::addColumn<int>("pjClass");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("class 2 answers") << 2 << 0 << "127.0.0.1 00:00:5e:00:53:01";
    QTest::newRow("class 1 does not") << 1 << 2 << "";
}

// Sent to the simulator on 127.0.0.1 alone, never as a broadcast.
void TestCtl::search()
{
    QFETCH(int, pjClass);
    QFETCH(int, exitCode);
    QFETCH(QString, text);
    SimProcess sim;
    QVERIFY(
        sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                           { "--family", "pjlink", "--pjlink-class", QString::number(pjClass) }));
    const QStringList arguments = { "search", "--timeout", "0.5", "--to", sim.udpAddress() };
    SimProcess ctl;
    start(ctl, arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(ctl.lines().join('\n'), text.toUtf8());
    SimProcess ctlJson;
    start(ctlJson, arguments + QStringList { "--json" });
    QVERIFY(ctlJson.waitForFinished(HangMargin));
    const QVariantMap object = json(ctlJson);
    QCOMPARE(object.value("exit").toInt(), exitCode);
    const QVariantList found = object.value("projectors").toList();
    QCOMPARE(found.size(), text.isEmpty() ? 0 : 1);
    if (!found.isEmpty())
        QCOMPARE(found.first().toMap(),
                 (QVariantMap { { "address", "127.0.0.1" }, { "mac", "00:00:5e:00:53:01" } }));
    QTRY_COMPARE(sim.lines().count("UDP RX \"%2SRCH\\r\""), 2);
}

void TestCtl::searchAnswers_data()
{
    QTest::addColumn<QByteArrayList>("answers");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("duplicates and upper case")
        << QByteArrayList { "%2ACKN=00:00:5E:00:53:0A\r", "%2ACKN=00:00:5e:00:53:0a\r",
                            "%2ackn=00:00:5e:00:53:0b\r", "%2ACKN=00:00:5E:00:53:0A\r" }
        << 0 << "127.0.0.1 00:00:5e:00:53:0a\n127.0.0.1 00:00:5e:00:53:0b";
    QTest::newRow("junk after the MAC")
        << QByteArrayList { "%2ACKN=00:00:5e:00:53:01 x\r",
                            QByteArray("%2ACKN=00:00:5e:00:53:02\0junk\r", 30),
                            "%2ACKN=00:00:5e:00:53:03\njunk\r", "%2ACKN=00:00:5e:00:53:04:05\r",
                            "%2LKUP=00:00:5e:00:53:06\r" }
        << 2 << "";
}

// From a responder on 127.0.0.1: one line per projector, whatever the case
// and however often it answers; an answer must be a MAC and nothing more.
void TestCtl::searchAnswers()
{
    QFETCH(QByteArrayList, answers);
    QFETCH(int, exitCode);
    QFETCH(QString, text);
    SearchResponder responder(answers);
    SimProcess ctl;
    start(ctl, { "search", "--timeout", "0.5", "--to", responder.address() });
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, HangMargin));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(ctl.lines().join('\n'), text.toUtf8());
    QCOMPARE(responder.searches, 1);
}

// A responder that sends new MACs without end: the search stops at its
// cap, says so, and keeps what it found.
void TestCtl::searchFlood()
{
    SearchResponder responder({}, true);
    SimProcess ctl;
    start(ctl, { "search", "--timeout", "20", "--to", responder.address() });
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, HangMargin));
    QCOMPARE(ctl.exitCode(), 0);
    const QList<QByteArray> lines = ctl.lines();
    QCOMPARE(lines.size(), 1000);
    QCOMPARE(QSet<QByteArray>(lines.begin(), lines.end()).size(), 1000);
    const QByteArray error = ctl.readAllStandardError();
    QVERIFY2(error.contains("the search stopped at 1000 different answers"), error.constData());
}

void TestCtl::pjlinkScripted_data()
{
    QTest::addColumn<QStringList>("script"); // "command|answer"
    QTest::addColumn<QByteArray>("fallback"); // the answer to every other command
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("output"); // lines standard output has, in this order
    QTest::addColumn<QString>("error"); // a part of standard error
    // Commands sent, in this order; "!" before one that must not be.
    QTest::addColumn<QStringList>("sent");

    const QStringList class1Keys = { "lamp", "input", "mute",  "health", "lamps", "inputs",
                                     "name", "make",  "model", "class",  "info" };
    const auto refusedAll = [&](const char *wording) {
        QStringList lines;
        for (const QString &key : class1Keys)
            lines << key + "=refused: " + wording;
        return lines;
    };
    QTest::newRow("everything refused, projector failure")
        << QStringList() << QByteArray("ERR4") << "query" << 1
        << refusedAll("projector failure: check the projector")
        << "the projector gave none of the values asked"
        << QStringList { "%1CLSS ?", "%1POWR ?", "%1INPT ?", "%1INF2 ?" };
    QTest::newRow("everything refused, busy")
        << QStringList() << QByteArray("ERR3") << "query" << 1
        << refusedAll("the projector cannot do this now (busy, warming up, cooling down or in "
                      "standby)")
        << "the projector gave none of the values asked" << QStringList();
    QTest::newRow("some given, some refused, one unreadable")
        << QStringList { "%1POWR ?|%1POWR=0", "%1AVMT ?|%1AVMT=99", "%1NAME ?|%1NAME=Aula" }
        << QByteArray("ERR3") << "query" << 0
        << QStringList { "lamp=off",
                         "input=refused: the projector cannot do this now (busy, warming up, "
                         "cooling down or in standby)",
                         "mute=unreadable: \"99\"", "name=Aula" }
        << "" << QStringList();
    QTest::newRow("eight lamps")
        << QStringList { "%1LAMP ?|%1LAMP=10 1 20 0 30 1 40 0 50 1 60 0 70 1 80 0" }
        << QByteArray("ERR1") << "query" << 0
        << QStringList { "lamp-1-hours=10", "lamp-1=on",       "lamp-7-hours=70",
                         "lamp-7=on",       "lamp-8-hours=80", "lamp-8=off" }
        << "" << QStringList();
    QTest::newRow("class 2 without %2INST")
        << QStringList { "%1CLSS ?|%1CLSS=2", "%1INST ?|%1INST=11 31" } << QByteArray("ERR1")
        << "list" << 0 << QStringList { "set input:", "rgb-1", "digital-1" } << ""
        << QStringList { "%1CLSS ?", "%2INST ?", "%1INST ?", "%2INNM ?11", "%2INNM ?31" };
    QTest::newRow("class 2, only %2INPT")
        << QStringList { "%1CLSS ?|%1CLSS=2", "%2INPT ?|%2INPT=3A", "%2INST ?|%2INST=11 3A" }
        << QByteArray("ERR1") << "query" << 0
        << QStringList { "input=Digital A", "inputs=rgb-1 digital-a",
                         "serial-number=refused: the projector does not know this command" }
        << "" << QStringList { "%2INPT ?", "!%1INPT ?" };
    QTest::newRow("class 2, %2INPT refused")
        << QStringList { "%1CLSS ?|%1CLSS=2", "%1INPT ?|%1INPT=31" } << QByteArray("ERR1")
        << "query" << 0 << QStringList { "input=Digital 1" } << ""
        << QStringList { "%2INPT ?", "%1INPT ?" };
    QByteArray many = "%1INST=";
    for (int type = 1; type <= 5; ++type) {
        for (char number : QByteArray("123456789"))
            many += QByteArray::number(type) + number + ' ';
    }
    many.chop(1);
    QTest::newRow("45 inputs, longer than a packet")
        << QStringList { "%1INST ?|" + many } << QByteArray("ERR1") << "list" << 0
        << QStringList { "set input:", "rgb-1", "network-9" } << "" << QStringList();
    QTest::newRow("a line over 4 KiB")
        << QStringList { "%1INST ?|%1INST=" + QString(5000, '1') } << QByteArray("ERR1") << "list"
        << 2 << QStringList { "press:", "set input:" }
        << "a line longer than 4096 bytes was dropped" << QStringList();
    QTest::newRow("a line over 4 KiB, what did not come named")
        << QStringList { "%1INST ?|%1INST=" + QString(5000, '1') } << QByteArray("ERR1") << "list"
        << 2 << QStringList() << "no answer to \"%1INST ?\" within 1 s" << QStringList();
    QTest::newRow("two inputs of one name")
        << QStringList { "%1CLSS ?|%1CLSS=2", "%2INST ?|%2INST=31 32", "%2INNM ?31|%2INNM=HDMI 1",
                         "%2INNM ?32|%2INNM=HDMI 1" }
        << QByteArray("OK") << "list" << 0 << QStringList { "set input:", "hdmi-1", "hdmi-1-2" }
        << "" << QStringList();
    QTest::newRow("set input by the second of one name")
        << QStringList { "%1CLSS ?|%1CLSS=2", "%2INST ?|%2INST=31 32", "%2INNM ?31|%2INNM=HDMI 1",
                         "%2INNM ?32|%2INNM=HDMI 1" }
        << QByteArray("OK") << "set input hdmi-1-2" << 0 << QStringList() << ""
        << QStringList { "%2INNM ?32", "%1INPT 32" };
    QTest::newRow("set input network-1")
        << QStringList() << QByteArray("OK") << "set input network-1" << 0 << QStringList() << ""
        << QStringList { "%1INPT 51" };
    // Texts as text when they are UTF-8 (pjlinkTextShownAsReceived; cut as
    // the protocol's plainText shows); bytes in hex, marked, only when they are not.
    QTest::newRow("a name not in UTF-8")
        << QStringList { QString::fromLatin1("%1NAME ?|%1NAME=Salle M\xfcller") }
        << QByteArray("ERR3") << "query" << 0
        << QStringList { "name=(not UTF-8) 53 61 6c 6c 65 20 4d fc 6c 6c 65 72" } << ""
        << QStringList();
    // One question unanswered and the projector is asked nothing more.
    QTest::newRow("answers once, then silent")
        << QStringList { "%1CLSS ?|%1CLSS=1" } << QByteArray("(silent)") << "query" << 2
        << QStringList { "lamp=no answer", "input=no answer", "info=no answer" }
        << "no answer to \"%1POWR ?\", \"%1INPT ?\""
        << QStringList { "%1CLSS ?", "%1POWR ?", "!%1INPT ?" };
    QTest::newRow("class 10 is class 2 at least")
        << QStringList { "%1CLSS ?|%1CLSS=Class 10", "%2INST ?|%2INST=11" } << QByteArray("ERR1")
        << "list" << 0 << QStringList { "rgb-1" } << "" << QStringList { "%2INST ?" };
}

// Against projectors that bend the standard, scripted on 127.0.0.1: what
// arrived is reported, what did not is named, refusals are told as such.
void TestCtl::pjlinkScripted()
{
    QFETCH(QStringList, script);
    QFETCH(QByteArray, fallback);
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QStringList, output);
    QFETCH(QString, error);
    QFETCH(QStringList, sent);

    ScriptedProjector projector(script, fallback);
    SimProcess ctl;
    start(ctl,
          QStringList { "--family", "pjlink", "--port", projector.address(), "--timeout", "1" }
              + command.split(' '));
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, HangMargin));
    const QString errors = QString::fromLocal8Bit(ctl.readAllStandardError());
    QVERIFY2(ctl.exitCode() == exitCode, qPrintable(errors));
    QVERIFY2(errors.contains(error), qPrintable(errors));
    QStringList printed;
    for (const QByteArray &line : ctl.lines())
        printed << QString::fromUtf8(line);
    int from = 0;
    for (const QString &line : output) {
        from = int(printed.indexOf(line, from));
        QVERIFY2(from >= 0, qPrintable(line + " not in\n" + printed.join('\n')));
    }
    from = 0;
    for (const QString &line : sent) {
        if (line.startsWith('!')) {
            QVERIFY2(!projector.received.contains(line.mid(1)), qPrintable(line));
            continue;
        }
        from = int(projector.received.indexOf(line, from));
        QVERIFY2(from >= 0,
                 qPrintable(line + " not sent in order: " + projector.received.join(", ")));
    }
}

// A reply that never ends: send keeps a bounded part, says so, and ends
// there rather than at the timeout.
void TestCtl::pjlinkSendFlood()
{
    ScriptedProjector projector({}, "OK", true);
    SimProcess ctl;
    start(ctl,
          { "--family", "pjlink", "--port", projector.address(), "--timeout", "3600", "send",
            "%1POWR ?" });
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, HangMargin));
    QCOMPARE(ctl.exitCode(), 2);
    const QByteArray error = ctl.readAllStandardError();
    QVERIFY2(error.contains("more than 65536 bytes of replies came"), error.constData());
    QCOMPARE(projector.received, QStringList { "%1POWR ?" });
}

void TestCtl::pjlinkMetrics_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QByteArray>("fallback");
    QTest::addColumn<QStringList>("samples"); // the whole exposition without comments
    const QString labels = "{name=\"aula\",family=\"pjlink\",group=\"\"";
    QStringList lamps;
    QStringList lit;
    for (int lamp = 1; lamp <= 8; ++lamp) {
        lit << QString("vantrel_lamp_on%1,lamp=\"%2\"} %3").arg(labels).arg(lamp).arg(lamp % 2);
        lamps << QString("vantrel_lamp_usage_seconds%1,lamp=\"%2\"} %3")
                     .arg(labels)
                     .arg(lamp)
                     .arg(lamp * 10 * 3600);
    }
    QTest::newRow("everything refused")
        << QStringList() << QByteArray("ERR4")
        << QStringList { "vantrel_reachable" + labels + "} 1",
                         "vantrel_last_answer_timestamp_seconds" + labels + "} T" };
    QTest::newRow("eight lamps")
        << QStringList { "%1LAMP ?|%1LAMP=10 1 20 0 30 1 40 0 50 1 60 0 70 1 80 0" }
        << QByteArray("ERR3")
        << QStringList { "vantrel_reachable" + labels + "} 1" } + lit + lamps
            + QStringList { "vantrel_last_answer_timestamp_seconds" + labels + "} T" };
}

// A projector that answered is reachable, whatever it answered; every lamp
// it has is there.
void TestCtl::pjlinkMetrics()
{
    QFETCH(QStringList, script);
    QFETCH(QByteArray, fallback);
    QFETCH(QStringList, samples);
    ScriptedProjector projector(script, fallback);
    TestStore::seed({ { "Projector", "aula" },
                      { "Projectors/size", 1 },
                      { "Projectors/1/Name", "aula" },
                      { "Projectors/1/Model", 3 },
                      { "Projectors/1/Port", projector.address() },
                      { "ComPort", projector.address() },
                      { "Model", 3 } });
    SimProcess ctl;
    start(ctl, { "--timeout", "1", "metrics" });
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, HangMargin));
    QVERIFY2(ctl.exitCode() == 0, ctl.readAllStandardError().constData());
    QStringList printed;
    for (const QByteArray &line : ctl.lines()) {
        if (line.startsWith('#'))
            continue;
        QString sample = QString::fromUtf8(line);
        if (sample.startsWith("vantrel_last_answer"))
            sample = sample.section(' ', 0, -2) + " T";
        printed << sample;
    }
    QCOMPARE(printed, samples);
}

void TestCtl::pjlink_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QString>("source"); // of the password: "file", "environment", "store", "none"
    QTest::addColumn<QString>("password"); // the one vantrelctl is given
    QTest::addColumn<QStringList>("commands"); // each run in turn; the last one's output counts
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("text"); // standard output, or a part of standard error
    // What the projector received from all runs, the login digest written as
    // LOGIN (BADLOGIN for one of another password), the SHA-256 login as
    // SHALOGIN.
    QTest::addColumn<QStringList>("received");

    const QStringList open { "--lamp", "on" };
    const QStringList locked { "--lamp", "on", "--password-file", "PASSWORD" };
    // The last command runs twice, as text and as JSON.
    const auto row = [](const char *name, const QStringList &simulator, const char *source,
                        const char *password, const QStringList &commands, int exitCode,
                        const QString &text, const QStringList &received, int before = 0) {
        QTest::newRow(name) << simulator << source << password << commands << exitCode << text
                            << (received + received.mid(before));
    };
    row("status", open, "none", "", { "status" }, 0, "lamp on", { "%1POWR ?" });
    row("on while cooling down", { "--lamp", "on", "--cooldown-ms", "60000" }, "none", "",
        { "off", "on" }, 1, "the projector cannot do this now", { "%1POWR 0", "%1POWR 1" }, 1);
    row("warming up", { "--warmup-ms", "60000" }, "none", "", { "on", "status" }, 0, "warming up",
        { "%1POWR 1", "%1POWR ?" }, 1);
    // The newer login is asked for first; a projector that refuses it is
    // never asked again, by this run or the next.
    row("password from a file", locked, "file", "s3cret", { "off" }, 0, "",
        { "PJLINK 2", "LOGIN%1POWR 0" }, 1);
    row("password from the environment", locked, "environment", "s3cret", { "status" }, 0,
        "lamp on", { "PJLINK 2", "LOGIN%1POWR ?" }, 1);
    row("password from the settings", locked, "store", "s3cret", { "status" }, 0, "lamp on",
        { "PJLINK 2", "LOGIN%1POWR ?" }, 1);
    // As an unset shell variable expands: no choice, so the stored one counts.
    row("empty environment variable: the settings' password", locked, "store, empty environment",
        "s3cret", { "status" }, 0, "lamp on", { "PJLINK 2", "LOGIN%1POWR ?" }, 1);
    // A refused password is never offered again, by any run.
    row("wrong password", locked, "environment", "S3cret", { "on" }, 77,
        "password rejected (MD5 and SHA-256 logins refused)", { "PJLINK 2", "BADLOGIN%1POWR 1" },
        2);
    const QStringList newer = locked + QStringList { "--login", "sha256" };
    row("newer login only", newer, "file", "s3cret", { "status" }, 0, "lamp on",
        { "PJLINK 2", "SHALOGIN%1POWR ?" });
    row("newer login only, closing on MD5", newer + QStringList { "--close-on-refusal" }, "file",
        "s3cret", { "status" }, 0, "lamp on", { "PJLINK 2", "SHALOGIN%1POWR ?" });
    row("either login", locked + QStringList { "--login", "both" }, "file", "s3cret", { "status" },
        0, "lamp on", { "PJLINK 2", "SHALOGIN%1POWR ?" });
    row("newer login only, wrong password", newer, "file", "S3cret", { "on", "status" }, 77,
        "password rejected earlier; not tried again", { "PJLINK 2", "SHALOGIN%1POWR 1" }, 2);
    // Without a password no login is tried at all.
    row("no password", locked, "none", "", { "on" }, 77, "needs a password", {});
    row("input by the projector's name", { "--lamp", "on", "--pjlink-class", "2" }, "none", "",
        { "set input hdbaset" }, 0, "",
        { "%1CLSS ?", "%2INST ?", "%2INNM ?11", "%2INNM ?12", "%2INNM ?21", "%2INNM ?31",
          "%2INNM ?32", "%2INNM ?3A", "%2INPT 3A" });
    row("input by type and number", open, "none", "", { "set input digital-2" }, 0, "",
        { "%1INPT 32" });
    row("input unknown", open, "none", "", { "set input hdmi-9" }, 64,
        "the inputs are rgb-1, rgb-2, video-1, digital-1, digital-2", { "%1CLSS ?", "%1INST ?" });
    row("class 2 button on class 1", open, "none", "", { "press freeze" }, 1,
        "the projector does not know this command", { "%2FREZ 1" });
    row("mute", open, "none", "", { "press picture-mute" }, 0, "", { "%1AVMT 11" });
    row("lower case answers, class in words",
        { "--lamp", "on", "--lower-case", "--class-text", "--lamps", "0" }, "none", "", { "query" },
        0,
        "lamp=on\ninput=RGB 1\npicture-mute=off\nsound-mute=off\nhealth-fan=ok\n"
        "health-lamp=ok\nhealth-temperature=ok\nhealth-cover=ok\nhealth-filter=ok\n"
        "health-other=ok\ninputs=rgb-1 rgb-2 video-1 digital-1 digital-2\n"
        "name=room 101 projector\nmake=simulator\nmodel=pj-sim 1\nclass=1\ninfo=projector-sim",
        { "%1CLSS ?", "%1POWR ?", "%1INPT ?", "%1AVMT ?", "%1ERST ?", "%1LAMP ?", "%1INST ?",
          "%1NAME ?", "%1INF1 ?", "%1INF2 ?", "%1INFO ?" });
    row("send", open, "none", "", { "send %1ERST ?" }, 0, "%1ERST=000000", { "%1ERST ?" });
    row("send a malformed command", open, "none", "", { "send %1POWR" }, 0, "%1POWR=ERR1",
        { "%1POWR" });
}

// Against the simulator over TCP on 127.0.0.1: the bytes it receives, the
// exit codes, and the password nowhere in what vantrelctl prints.
void TestCtl::pjlink()
{
    QFETCH(QStringList, simulator);
    QFETCH(QString, source);
    QFETCH(QString, password);
    QFETCH(QStringList, commands);
    QFETCH(int, exitCode);
    QFETCH(QString, text);
    QFETCH(QStringList, received);

    const QString secrets = TestStore::runDirectory() + QStringLiteral("/pjlink-password");
    QFile simulatorPassword(secrets + QStringLiteral("-projector"));
    QVERIFY(simulatorPassword.open(QIODevice::WriteOnly | QIODevice::Truncate));
    simulatorPassword.write("s3cret\n");
    simulatorPassword.close();
    simulator.replaceInStrings(QStringLiteral("PASSWORD"), simulatorPassword.fileName());
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               QStringList { "--family", "pjlink" } + simulator));
    const QString address = sim.tcpAddress();

    QStringList given;
    TestStore::clear();
    if (source == QLatin1String("file")) {
        QFile file(secrets);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(password.toUtf8() + '\n');
        given = QStringList { "--password-file", file.fileName() };
    } else if (source.startsWith(QLatin1String("store"))) {
        TestStore::seed({ { "Projector", "hall" },
                          { "Projectors/size", 1 },
                          { "Projectors/1/Name", "hall" },
                          { "Projectors/1/Model", 3 },
                          { "Projectors/1/Port", address },
                          { "Projectors/1/Password", password },
                          { "ComPort", address },
                          { "Model", 3 } });
    }
    QByteArray output;
    for (int i = 0; i < commands.size(); ++i) {
        const bool last = i + 1 == commands.size();
        QStringList words = commands.at(i).split(' ');
        if (words.first() == QLatin1String("send"))
            words = QStringList { "send", words.mid(1).join(' ') };
        // From the store, nothing but the command is given.
        const QStringList arguments = source.startsWith(QLatin1String("store"))
            ? words
            : QStringList { "--family", "pjlink", "--port", address, "--timeout", "1" } + given
                + words;
        for (bool asJson : { false, true }) {
            if (asJson && !last)
                continue;
            SimProcess ctl;
            start(ctl, asJson ? arguments + QStringList { "--json" } : arguments,
                  source == QLatin1String("environment")                    ? password
                      : source == QLatin1String("store, empty environment") ? QString("")
                                                                            : QString());
            QVERIFY(ctl.waitForFinished(HangMargin));
            const QByteArray printed = ctl.lines().join('\n');
            const QByteArray error = ctl.readAllStandardError();
            if (!password.isEmpty())
                QVERIFY2(!printed.contains(password.toUtf8()) && !error.contains(password.toUtf8()),
                         "the password was printed");
            if (!last)
                continue;
            QCOMPARE(ctl.exitCode(), exitCode);
            if (asJson) {
                const QVariantMap object = json(ctl);
                QCOMPARE(object.value("exit").toInt(), exitCode);
                QCOMPARE(object.value("family").toString(), QStringLiteral("pjlink"));
            } else if (exitCode == 0) {
                output = printed;
            } else {
                QVERIFY2(error.contains(text.toUtf8()), error.constData());
            }
        }
    }
    if (exitCode == 0)
        QCOMPARE(QString::fromUtf8(output), text);

    // Each command once per run of the last one (twice: text and JSON); the
    // login on the first command of each connection.
    const int runs = int(commands.size()) + 1;
    const auto count = [&sim](const char *what) {
        int count = 0;
        for (const QByteArray &line : sim.lines())
            count += line.startsWith("-- connection ") && line.endsWith(what);
        return count;
    };
    QTRY_VERIFY(count(" closed") >= runs && count(" closed") == count(" opened"));
    QByteArrayList tokens;
    QStringList lines;
    for (const QByteArray &line : sim.lines()) {
        if (line.startsWith("TX \"PJLINK 1 "))
            tokens.append(line.mid(13, 8));
    }
    int connection = 0;
    for (QByteArray line : sim.received()) {
        // The simulator checks the newer login itself; its connection had a token too.
        if (line == "PJLINK 2") {
            ++connection;
        } else if (line.size() > 96 && line.at(96) == '%') {
            line = "SHALOGIN" + line.mid(96);
        } else if (line.size() > 32 && line.at(32) == '%' && connection < tokens.size()) {
            const QByteArray digest = QCryptographicHash::hash(tokens.at(connection++) + "s3cret",
                                                               QCryptographicHash::Md5)
                                          .toHex();
            line = (line.startsWith(digest) ? "LOGIN" : "BADLOGIN") + line.mid(32);
        }
        lines.append(QString::fromLatin1(line));
    }
    QCOMPARE(lines, received);
}

// A projector that drops every connection, on the command or right after the
// login, or never greets: one connection, and the reason as it is.
void TestCtl::pjlinkDropped_data()
{
    QTest::addColumn<QByteArray>("greeting"); // empty: none at all
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("connections");
    QTest::newRow("on the command")
        << QByteArray("PJLINK 0") << QString() << 69 << "connection lost" << 1;
    // Closed on "PJLINK 2", then on the MD5 login: refused for this run.
    QTest::newRow("after the login")
        << QByteArray("PJLINK 1 498e4a67") << "s3cret" << 77
        << "password rejected (connection closed after the login)" << 2;
    QTest::newRow("no greeting") << QByteArray() << QString() << 69 << "no greeting" << 0;
}

void TestCtl::pjlinkDropped()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    QFETCH(int, connections);
    TestStore::clear();
    QTcpServer silent;
    DroppingProjector dropping(greeting);
    QString address = dropping.address();
    if (greeting.isEmpty()) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        address = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
    }
    SimProcess ctl;
    start(ctl, { "--family", "pjlink", "--port", address, "--timeout", "2", "--json", "on" },
          password);
    // The projector answers from this event loop.
    QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, HangMargin);
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(json(ctl).value("error").toString(), address + ": " + reason);
    if (greeting.isEmpty())
        QVERIFY(silent.hasPendingConnections());
    else
        QCOMPARE(dropping.connections(), connections);
    if (exitCode != 77)
        return;
    // Perhaps only busy: the next run logs in again.
    SimProcess next;
    start(next, { "--family", "pjlink", "--port", address, "--timeout", "2", "on" }, password);
    QTRY_VERIFY_WITH_TIMEOUT(next.state() == QProcess::NotRunning, HangMargin);
    QCOMPARE(next.exitCode(), exitCode);
    QCOMPARE(dropping.connections(), 2 * connections);
}

// A stored projector logs in with its own entry's password: not another's at
// the same address, not the environment's, and no file is taken for a fleet.
void TestCtl::passwordByEntry()
{
    QFile secret(TestStore::runDirectory() + QStringLiteral("/entry-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly | QIODevice::Truncate));
    secret.write("s3cret\n");
    secret.close();
    SimProcess sim;
    QVERIFY(sim.startSimulator(
        QStringLiteral(PROJECTOR_SIM_PATH),
        { "--family", "pjlink", "--lamp", "on", "--password-file", secret.fileName() }));
    TestStore::seed({ { "Projectors/size", 3 },
                      { "Projectors/1/Name", "old-entry" },
                      { "Projectors/1/Model", 3 },
                      { "Projectors/1/Port", sim.tcpAddress() },
                      { "Projectors/1/Password", "stale" },
                      { "Projectors/2/Name", "new-entry" },
                      { "Projectors/2/Model", 3 },
                      { "Projectors/2/Port", sim.tcpAddress() },
                      { "Projectors/2/Password", "s3cret" },
                      { "Projectors/3/Name", "long-entry" },
                      { "Projectors/3/Model", 3 },
                      { "Projectors/3/Port", sim.tcpAddress() },
                      { "Projectors/3/Password", QString(40, QLatin1Char('p')) } });
    // A password too long is its own entry's error.
    SimProcess run;
    start(run, { "--projector", "new-entry", "--projector", "long-entry", "status" },
          QStringLiteral("wrong"));
    QVERIFY(run.waitForFinished(HangMargin));
    QVERIFY2(run.exitCode() == 78, run.readAllStandardError().constData());
    QCOMPARE(run.lines().join('\n'),
             QByteArray("long-entry: error: the stored password is longer than 32 characters\n"
                        "new-entry: lamp on"));
    SimProcess filed;
    start(filed, { "--all", "--password-file", secret.fileName(), "status" });
    QVERIFY(filed.waitForFinished(HangMargin));
    QCOMPARE(filed.exitCode(), 64);
    QVERIFY(filed.readAllStandardError().contains("--password-file is for a run on one --port"));
    // "PJLINK 2", refused; then the one MD5 login, the right one.
    QTRY_COMPARE(sim.received().size(), 2);
    QCOMPARE(sim.lines().count("-- login rejected"), 1);
}

// Simulators of every family as named projectors, in one run; the PJLink one
// logs in with the password stored for it.
void TestCtl::fleetOfSimulators()
{
    const struct
    {
        const char *name, *family, *lamp;
        int model;
    } rooms[] = { { "room-3", "acer", "on", 0 },
                  { "room-1", "vivitek", "off", 1 },
                  { "room-2", "infocus", "on", 2 },
                  { "hall", "pjlink", "off", 3 } };
    QFile secret(TestStore::runDirectory() + QStringLiteral("/fleet-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly | QIODevice::Truncate));
    secret.write("hall-s3cret\n");
    secret.close();
    QVariantMap stored { { "Projectors/size", 4 } };
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < 4; ++i) {
        const QString entry = QString("Projectors/%1/").arg(i + 1);
        const bool pjlink = rooms[i].model == 3;
        const QString link = nextLink();
        sims.push_back(std::make_unique<SimProcess>());
        QVERIFY(sims.back()->startSimulator(
            QStringLiteral(PROJECTOR_SIM_PATH),
            QStringList { "--family", rooms[i].family, "--lamp", rooms[i].lamp }
                + (pjlink ? QStringList { "--password-file", secret.fileName() }
                          : QStringList { "--link", link })));
        stored.insert(entry + "Name", rooms[i].name);
        stored.insert(entry + "Model", rooms[i].model);
        stored.insert(entry + "Port", pjlink ? sims.back()->tcpAddress() : link);
        if (pjlink)
            stored.insert(entry + "Password", "hall-s3cret");
    }
    TestStore::seed(stored);

    SimProcess text;
    start(text, { "--all", "status" });
    QVERIFY(text.waitForFinished(HangMargin));
    QCOMPARE(text.exitCode(), 0);
    QCOMPARE(text.lines().join('\n'),
             "hall: lamp off\nroom-1: lamp off\nroom-2: (0-3,1)\nroom-3: lamp on");

    SimProcess json;
    start(json, { "--all", "--json", "status" });
    QVERIFY(json.waitForFinished(HangMargin));
    QCOMPARE(json.exitCode(), 0);
    const QByteArray output = json.lines().join('\n');
    QVERIFY(!output.contains("s3cret"));
    QStringList seen;
    for (const QJsonValue &object : QJsonDocument::fromJson(output).array())
        seen << object["name"].toString() + ' ' + object["family"].toString() + ' '
                + object["lamp"].toString() + ' ' + QString::number(object["exit"].toInt());
    QCOMPARE(seen,
             QStringList({ "hall pjlink off 0", "room-1 vivitek off 0", "room-2 infocus  0",
                           "room-3 acer on 0" }));
}

void TestCtl::fleet_data()
{
    // Each projector "name:family:group:answer", the answer being the reply,
    // "-" for none at all, "absent" for a port that is not there. In the
    // output "%name" stands for that one's port.
    QTest::addColumn<QStringList>("projectors");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");

    const QStringList three
        = { "b:acer:north:Lamp 1\r", "a:vivitek:north:P0\r", "c:infocus::(0-3,1)" };
    QTest::newRow("all answer") << three << "--all status"
                                << "a: lamp off\nb: lamp on\nc: (0-3,1)" << 0;
    QTest::newRow("a group") << three << "--group north status"
                             << "a: lamp off\nb: lamp on" << 0;
    QTest::newRow("by name, twice, and a group")
        << three << "--projector c --projector c --group north status"
        << "a: lamp off\nb: lamp on\nc: (0-3,1)" << 0;
    QTest::newRow("nothing to print: done")
        << QStringList { "b:acer::*000\r", "a:acer::*000\r" } << "--all on"
        << "a: done\nb: done" << 0;
    QTest::newRow("a refusal") << QStringList { "b:acer::*001\r", "a:acer::*000\r" } << "--all on"
                               << "a: done\nb: error: the projector refused "
                                  "\"OKOKOKOKOK\": *001"
                               << 1;
    // The order of precedence: the port, no answer, a refusal.
    QTest::newRow("silent beats refused")
        << QStringList { "b:acer::*001\r", "a:acer::-", "c:acer::*000\r" } << "--all --timeout 3 on"
        << "a: error: %a: no answer to \"OKOKOKOKOK\" within 3 s\nb: error: the projector "
           "refused \"OKOKOKOKOK\": *001\nc: done"
        << 2;
    QTest::newRow("absent beats silent")
        << QStringList { "b:acer::absent", "a:acer::-", "c:acer::*001\r" } << "--all --timeout 3 on"
        << "a: error: %a: no answer to \"OKOKOKOKOK\" within 3 s\nb: error: %b: not present\nc: "
           "error: the projector refused \"OKOKOKOKOK\": *001"
        << 69;
    // Nothing goes to any projector when one of them cannot take the command.
    QTest::newRow("unknown name") << three << "--projector a --projector d on"
                                  << "" << 64;
    QTest::newRow("a button one family lacks") << three << "--all press menu"
                                               << "" << 64;
    QTest::newRow("empty group") << three << "--group south on"
                                 << "" << 64;
    QTest::newRow("--port with a choice") << three << "--all --port ttyS0 on"
                                          << "" << 64;
}

// Every chosen projector is asked before any answers: they run side by side.
void TestCtl::fleet()
{
    QFETCH(QStringList, projectors);
    QFETCH(QString, arguments);
    QFETCH(QString, output);
    QFETCH(int, exitCode);

    QVariantMap stored { { "Projectors/size", projectors.size() } };
    std::vector<std::unique_ptr<NullModem>> modems;
    QStringList answers;
    for (int i = 0; i < projectors.size(); ++i) {
        const QStringList fields = projectors.at(i).split(':');
        modems.push_back(std::make_unique<NullModem>(nextLink()));
        QVERIFY(modems.back()->isOpen());
        if (fields.at(3) == "absent")
            modems.back()->unplug();
        output.replace("%" + fields.at(0), modems.back()->portName());
        const QString entry = QString("Projectors/%1/").arg(i + 1);
        stored.insert(entry + "Name", fields.at(0));
        stored.insert(entry + "Model",
                      QStringList({ "acer", "vivitek", "infocus" }).indexOf(fields.at(1)));
        stored.insert(entry + "Port", modems.back()->portName());
        stored.insert(entry + "Group", fields.at(2));
        answers.append(fields.at(3));
    }
    TestStore::seed(stored);

    SimProcess ctl;
    start(ctl, arguments.split(' '));
    QList<NullModem *> asked;
    if (exitCode != 64) {
        for (int i = 0; i < projectors.size(); ++i) {
            const QString name = projectors.at(i).section(':', 0, 0);
            if (answers.at(i) == "absent" || !output.contains(name + ": "))
                continue;
            // A poll or a command ends with a carriage return; InFocus polls in brackets.
            QByteArray command;
            while (!command.endsWith('\r')) {
                const QByteArray byte = modems[i]->readBytes(1);
                QVERIFY2(!byte.isEmpty(), qPrintable(name + " was not asked: " + command));
                command += byte;
            }
            asked.append(answers.at(i) == "-" ? nullptr : modems[i].get());
        }
        int next = 0;
        for (int i = 0; i < projectors.size(); ++i) {
            const QString name = projectors.at(i).section(':', 0, 0);
            if (answers.at(i) == "absent" || !output.contains(name + ": "))
                continue;
            if (NullModem *modem = asked.at(next++))
                QVERIFY(modem->write(answers.at(i).toLatin1()));
        }
    }
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(ctl.lines().join('\n')), output);
    if (exitCode == 64) {
        QVERIFY(ctl.readAllStandardError().startsWith("vantrelctl: "));
        for (const auto &modem : modems)
            QCOMPARE(modem->expectSilence(50), QByteArray());
    }
}

void TestCtl::fleetSideBySide_data()
{
    QTest::addColumn<int>("pjlink");
    QTest::addColumn<int>("pjlinkSilent");
    QTest::addColumn<int>("serial");
    QTest::addColumn<int>("serialSilent");
    QTest::newRow("PJLink") << 16 << 4 << 0 << 0;
    QTest::newRow("serial") << 0 << 0 << 4 << 4;
    QTest::newRow("both") << 12 << 3 << 2 << 3;
}

// Twenty projectors (eight of the serial simulator, each a process), a few
// of them silent, with --timeout 1: every one gets its line, and the whole ends in about one
// timeout, as it can only when the silent ones wait side by side. Waiting longer than twice the
// timeout and a margin for starting is a failure; one after another, the silent ones alone would
// take longer than that.
void TestCtl::fleetSideBySide()
{
    QFETCH(int, pjlink);
    QFETCH(int, pjlinkSilent);
    QFETCH(int, serial);
    QFETCH(int, serialSilent);
    StoredFleet fleet;
    QVERIFY(fleet.build(pjlink, pjlinkSilent, serial, serialSilent));

    constexpr int TimeoutMs = 1000;
    SimProcess ctl;
    start(ctl, { "--all", "--timeout", QString::number(TimeoutMs / 1000.0), "status" });
    QVERIFY(ctl.waitForStarted());
    const bool ended = QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; },
                                       2 * TimeoutMs + 1500);
    if (!ended)
        ctl.kill();
    QVERIFY2(ended,
             qPrintable("the silent projectors were not waited for side by side; printed:\n"
                        + ctl.lines().join('\n')));
    QCOMPARE(ctl.exitCode(), 2);
    const QString wrong = fleet.wrongLines(ctl.lines());
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

// A fleet run takes no thread per projector: the process stays within a
// handful of threads while twenty projectors are asked.
void TestCtl::fleetOnFewThreads()
{
    StoredFleet fleet;
    QVERIFY(fleet.build(12, 3, 2, 3));
    SimProcess ctl;
    start(ctl, { "--all", "--timeout", "1", "status" });
    QVERIFY(ctl.waitForStarted());
    int most = 0;
    int samples = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const int now = threadsOf(ctl.processId());
            if (now > 0) {
                most = qMax(most, now);
                ++samples;
            }
            return ctl.state() == QProcess::NotRunning;
        },
        HangMargin));
    QVERIFY(samples > 0);
    QVERIFY2(most <= 8, qPrintable(QString("%1 threads").arg(most)));
    QCOMPARE(ctl.exitCode(), 2);
    QCOMPARE(int(ctl.lines().size()), fleet.size());
}

void TestCtl::fleetWithinTheFileLimit_data()
{
    QTest::addColumn<QString>("limit"); // prlimit's --nofile
    QTest::addColumn<bool>("raised"); // whether the soft limit must go up
    // Twenty connections and the program's own descriptors do not fit in
    // 24: below the hard limit it is raised, at the hard limit the runs wait
    // for a place.
    QTest::newRow("soft limit raised") << "--nofile=24:4096" << true;
    QTest::newRow("hard limit too low") << "--nofile=24:24" << false;
}

// A fleet larger than the limit on open files allows: every projector still
// gets its answer, none fails for want of a descriptor.
void TestCtl::fleetWithinTheFileLimit()
{
    QFETCH(QString, limit);
    QFETCH(bool, raised);
    StoredFleet fleet;
    QVERIFY(fleet.build(18, 2, 0, 0));
    SimProcess ctl;
    start(ctl, { "--all", "--timeout", "1", "status" }, QString(), { limit });
    QVERIFY(ctl.waitForStarted());
    int softLimit = 0; // as last seen while it ran
    QVERIFY(QTest::qWaitFor(
        [&] {
            QFile limits(QStringLiteral("/proc/%1/limits").arg(ctl.processId()));
            if (limits.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : limits.readAll().split('\n')) {
                    if (line.startsWith("Max open files"))
                        softLimit = line.mid(26).simplified().split(' ').value(0).toInt();
                }
            }
            return ctl.state() == QProcess::NotRunning;
        },
        HangMargin));
    if (raised)
        QVERIFY2(softLimit > 24, qPrintable(QString::number(softLimit)));
    else
        QCOMPARE(softLimit, 24);
    QCOMPARE(ctl.exitCode(), 2);
    const QString wrong = fleet.wrongLines(ctl.lines());
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong + '\n' + ctl.readAllStandardError()));
}

void TestCtl::networkSerialServer_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArrayList>("talk"); // what goes out, then what comes back
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<int>("baud"); // of the far line after an RFC 2217 connect

    for (const bool telnet : { false, true }) {
        const char *kind = telnet ? "RFC 2217" : "raw TCP";
        QTest::addRow("acer status, %s", kind)
            << telnet << "--family acer status" << QByteArrayList { "* 0 Lamp ?\r", "Lamp 1\r" }
            << QByteArray("lamp on") << 9600;
        QTest::addRow("vivitek on, %s", kind)
            << telnet << "--family vivitek on" << QByteArrayList { "V99S0001\r", "P\r" }
            << QByteArray() << 9600;
        QTest::addRow("infocus status, %s", kind)
            << telnet << "--family infocus status" << QByteArrayList { "(CST)\r", "(0-3,1)" }
            << QByteArray("(0-3,1)") << 19200;
        // 0xFF arrives once, however the telnet side escaped it.
        QTest::addRow("acer send, 0xFF in the reply, %s", kind)
            << telnet << "--family acer --timeout 0.5 send * 0 Lamp ?"
            << QByteArrayList { "* 0 Lamp ?\r",
                                "\xff"
                                "1\r" }
            << QByteArray("ff 31") << 9600;
    }
}

// The same bytes on the far line as through a serial port, the same output.
void TestCtl::networkSerialServer()
{
    QFETCH(bool, telnet);
    QFETCH(QString, arguments);
    QFETCH(QByteArrayList, talk);
    QFETCH(QByteArray, printed);
    QFETCH(int, baud);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    SerialServer server(modem.slavePath());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QStringList words = arguments.split(' ');
    if (words.contains("send"))
        words = words.mid(0, words.indexOf("send") + 1)
            << words.mid(words.indexOf("send") + 1).join(' ');
    SimProcess ctl;
    start(ctl,
          QStringList { "--port", telnet ? server.rfc2217Address() : server.rawAddress() } + words);
    for (int i = 0; i + 1 < talk.size(); i += 2) {
        QCOMPARE(modem.readBytes(talk.at(i).size()), talk.at(i));
        if (telnet && i == 0)
            QCOMPARE(modem.lineSettings().outputBaud, baud);
        QVERIFY(modem.write(talk.at(i + 1)));
    }
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 0);
    QCOMPARE(ctl.lines().join('\n'), printed);
    QCOMPARE(modem.expectSilence(50), QByteArray());
}

void TestCtl::networkFailures_data()
{
    QTest::addColumn<QString>("port"); // %1: a port of the test's own server
    // What that server says, each after the client spoke; "close" hangs up.
    // Without a server, nothing listens on %1.
    QTest::addColumn<QByteArrayList>("serverSays");
    QTest::addColumn<QString>("reason");

    const QByteArrayList none { "none" };
    QTest::newRow("refused") << "tcp://127.0.0.1:%1" << none << "connection refused";
    QTest::newRow("host not found")
        << "rfc2217://projector.invalid:2217" << none << "host not found";
    QTest::newRow("accepted, then closed at once")
        << "tcp://127.0.0.1:%1" << QByteArrayList { "close" } << "connection lost";
    QTest::newRow("RFC 2217 option refused")
        << "rfc2217://127.0.0.1:%1" << QByteArrayList { "\xff\xfe\x2c" } << "line settings refused";
    // Agreed, then 4800 baud confirmed for the 9600 asked for.
    QTest::newRow("RFC 2217 other speed confirmed")
        << "rfc2217://127.0.0.1:%1"
        << QByteArrayList { "\xff\xfd\x2c",
                            QByteArray("\xff\xfa\x2c\x65\x00\x00\x12\xc0\xff\xf0", 10) }
        << "line settings refused";
    // A server that never confirms: the connect is bounded by --timeout.
    QTest::newRow("RFC 2217 never confirmed")
        << "rfc2217://127.0.0.1:%1" << QByteArrayList {} << "timed out";
}

void TestCtl::networkFailures()
{
    QFETCH(QString, port);
    QFETCH(QByteArrayList, serverSays);
    QFETCH(QString, reason);

    QTcpServer server;
    const bool serving = serverSays != QByteArrayList { "none" };
    if (serving)
        QVERIFY(server.listen(QHostAddress::LocalHost));
    if (port.contains("%1"))
        port = port.arg(serving ? server.serverPort() : SerialServer::closedPort());
    SimProcess ctl;
    start(ctl, { "--port", port, "--family", "acer", "--timeout", "0.5", "--json", "status" });
    if (serving) {
        QVERIFY(server.waitForNewConnection(HangMargin));
        QTcpSocket *client = server.nextPendingConnection();
        for (const QByteArray &says : serverSays) {
            if (says == "close") {
                client->close();
                break;
            }
            QVERIFY(client->waitForReadyRead(HangMargin));
            client->readAll();
            client->write(says);
            QVERIFY(client->waitForBytesWritten(HangMargin));
        }
    }
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 69);
    QCOMPARE(json(ctl).value("error").toString(), port + ": " + reason);
}

void TestCtl::metrics_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("samples"); // as the parser reads them, sorted; T: a time

    const QString acer = "family=acer,group=north,name=room-3";
    const QString vivitek = "family=vivitek,group=north,name=room-1";
    const QString infocus = "family=infocus,group=,name=room-2";
    const QString pjlink = "family=pjlink,group=hall,name=aula \"maxima\"";
    const QString gone = "family=acer,group=,name=gone";
    QStringList all = {
        "vantrel_filter_usage_seconds{" + pjlink + "} 1.152e+06",
        "vantrel_last_answer_timestamp_seconds{" + acer + "} T",
        "vantrel_last_answer_timestamp_seconds{" + infocus + "} T",
        "vantrel_last_answer_timestamp_seconds{" + pjlink + "} T",
        "vantrel_last_answer_timestamp_seconds{" + vivitek + "} T",
        "vantrel_reachable{" + acer + "} 1",
        "vantrel_reachable{" + gone + "} 0",
        "vantrel_probe_failure{" + gone + ",reason=not_found} 1",
        "vantrel_reachable{" + infocus + "} 1",
        "vantrel_reachable{" + pjlink + "} 1",
        "vantrel_reachable{" + vivitek + "} 1",
        "vantrel_lamp_usage_seconds{" + acer + ",lamp=1} 4.5e+06",
        "vantrel_lamp_usage_seconds{" + pjlink + ",lamp=1} 4.5e+06",
        "vantrel_lamp_usage_seconds{" + pjlink + ",lamp=2} 4.5036e+06",
        "vantrel_lamp_usage_seconds{" + vivitek + ",lamp=1} 4.5e+06",
        "vantrel_lamp_on{" + pjlink + ",lamp=1} 0",
        "vantrel_lamp_on{" + pjlink + ",lamp=2} 0",
        "vantrel_lamp_state{" + acer + "} 1",
        "vantrel_lamp_state{" + pjlink + "} 0",
        "vantrel_lamp_state{" + vivitek + "} 0",
    };
    for (const char *part :
         { "cover=2", "fan=0", "filter=0", "lamp=1", "other=0", "temperature=0" })
        all << QString("vantrel_health{%1,part=%2} %3")
                   .arg(pjlink, QString(part).section('=', 0, 0), QString(part).section('=', 1));
    // The parser gives the labels sorted.
    for (QString &sample : all) {
        const int open = sample.indexOf('{'), close = sample.lastIndexOf('}');
        QStringList labels = sample.mid(open + 1, close - open - 1).split(',');
        labels.sort();
        sample = sample.left(open + 1) + labels.join(',') + sample.mid(close);
    }
    all.sort();
    QTest::newRow("all") << QStringList { "--all", "metrics" } << all;
    const QStringList north = all.filter(QRegularExpression("group=north,"));
    QTest::newRow("a group") << QStringList { "--group", "north", "metrics" } << north;
    QTest::newRow("the current one")
        << QStringList { "metrics" } << all.filter(QRegularExpression("name=room-3}"));
}

// Parsed by a real parser of the format; every value of every family, the
// labels escaped, one that did not answer still there with reachable 0.
void TestCtl::metrics()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, samples);

    QFile secret(TestStore::runDirectory() + QStringLiteral("/metrics-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly | QIODevice::Truncate));
    secret.write("aula\n");
    secret.close();
    const struct
    {
        const char *name, *group;
        int model;
        QStringList simulator;
    } rooms[] = {
        { "room-3", "north", 0, { "--family", "acer", "--lamp", "on" } },
        { "room-1", "north", 1, { "--family", "vivitek" } },
        { "room-2", "", 2, { "--family", "infocus", "--lamp", "on" } },
        { "aula \"maxima\"",
          "hall",
          3,
          { "--family", "pjlink", "--pjlink-class", "2", "--lamps", "2", "--erst", "010200",
            "--password-file", secret.fileName() } },
        { "gone", "", 0, {} },
    };
    QVariantMap stored { { "Projectors/size", 5 }, { "Projector", "room-3" } };
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < 5; ++i) {
        const QString entry = QString("Projectors/%1/").arg(i + 1);
        QString port = nextLink();
        if (!rooms[i].simulator.isEmpty()) {
            const bool pjlink = rooms[i].model == 3;
            sims.push_back(std::make_unique<SimProcess>());
            QVERIFY(sims.back()->startSimulator(
                QStringLiteral(PROJECTOR_SIM_PATH),
                rooms[i].simulator + (pjlink ? QStringList() : QStringList { "--link", port })));
            if (pjlink)
                port = sims.back()->tcpAddress();
        }
        stored.insert(entry + "Name", rooms[i].name);
        stored.insert(entry + "Model", rooms[i].model);
        stored.insert(entry + "Port", port);
        stored.insert(entry + "Group", rooms[i].group);
        if (rooms[i].model == 3)
            stored.insert(entry + "Password", "aula");
        if (i == 0) {
            stored.insert("ComPort", port);
            stored.insert("Model", 0);
        }
    }
    TestStore::seed(stored);

    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    SimProcess ctl;
    start(ctl, QStringList { "--timeout", "1" } + arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 0);
    const double after = QDateTime::currentMSecsSinceEpoch() / 1000.0;

    QProcess parser;
    parser.start("/usr/bin/python3",
                 { "-c",
                   "import sys\n"
                   "from prometheus_client.parser import text_string_to_metric_families\n"
                   "for family in text_string_to_metric_families(sys.stdin.read()):\n"
                   "    assert family.type == 'gauge' and family.documentation, family\n"
                   "    for s in family.samples:\n"
                   "        labels = ','.join(k + '=' + v for k, v in sorted(s.labels.items()))\n"
                   "        print(f'{s.name}{{{labels}}} {s.value!r}')\n" });
    QVERIFY(parser.waitForStarted());
    parser.write(ctl.lines().join('\n') + '\n');
    parser.closeWriteChannel();
    QVERIFY(parser.waitForFinished(HangMargin));
    QVERIFY2(parser.exitCode() == 0,
             parser.readAllStandardError().constData()); // python3-prometheus-client missing?
    QStringList parsed;
    for (const QString &line :
         QString::fromUtf8(parser.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QString value = line.section(' ', -1);
        QString sample = line.section(' ', 0, -2) + ' ';
        if (sample.startsWith("vantrel_last_answer")) {
            QVERIFY2(value.toDouble() >= std::floor(before) && value.toDouble() <= after,
                     qPrintable(line));
            sample += 'T';
        } else {
            sample += QString::number(value.toDouble());
        }
        parsed.append(sample);
    }
    parsed.sort();
    QCOMPARE(parsed, samples);
}

void TestCtl::detect_data()
{
    // What sits on each port: a simulator of a family, "silent" (a simulator
    // that never answers), "garbage:TEXT" (one that answers nothing but
    // sends TEXT over and over), "held" (a line another program has open),
    // "held by its device's name" (the same, opened as the window opens it
    // but by the pty's own name), "lost" (a line that hangs up once the
    // first polls came), "again" (the port before, under its device's own
    // name), "tcp:FAMILY" and "rfc2217:FAMILY" (a simulator behind ser2net),
    // "refused" (an address on 127.0.0.1 nothing listens on).
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("found"); // per port, as printed after "PORT: "
    QTest::addColumn<int>("exitCode");

    QTest::newRow("one of each family")
        << QStringList { "acer", "vivitek", "infocus" } << QStringList()
        << QStringList { "Acer", "Vivitek", "InFocus" } << 0;
    // Near misses of each family's answer to its poll.
    QTest::newRow("silent and garbage")
        << QStringList { "silent", "garbage:P1x", "garbage:(0-3,x)", "garbage:*001" }
        << QStringList() << QStringList { "no answer", "no answer", "no answer", "no answer" } << 2;
    QTest::newRow("held beside a projector")
        << QStringList { "held", "held by its device's name", "infocus" } << QStringList()
        << QStringList { "in use by another program", "in use by another program", "InFocus" } << 0;
    // Gone in the middle of the search: reported, not a loop of read errors.
    QTest::newRow("lost during the search") << QStringList { "lost", "acer" } << QStringList()
                                            << QStringList { "device lost", "Acer" } << 0;
    // Through ser2net: raw TCP leaves the speed to the server, RFC 2217 sets
    // each stage's speed by connecting anew.
    QTest::newRow("network serial servers")
        << QStringList { "tcp:vivitek", "rfc2217:infocus", "refused" } << QStringList()
        << QStringList { "Vivitek", "InFocus", "connection refused" } << 0;
    QTest::newRow("a port named twice is probed once")
        << QStringList { "vivitek", "again" } << QStringList() << QStringList { "Vivitek" } << 0;
    QTest::newRow("--family asks that family only")
        << QStringList { "acer", "vivitek" } << QStringList { "--family", "vivitek" }
        << QStringList { "no answer", "Vivitek" } << 0;
}

// Each row runs detect twice, as text and as JSON.
void TestCtl::detect()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, found);
    QFETCH(int, exitCode);

    std::vector<std::unique_ptr<SimProcess>> simulators;
    std::vector<std::unique_ptr<NullModem>> modems;
    std::vector<std::unique_ptr<QSerialPort>> holders;
    std::vector<std::unique_ptr<SerialServer>> servers;
    QStringList names;
    QList<int> lostAt;
    for (const QString &kind : ports) {
        if (kind == "lost")
            lostAt.append(names.size());
        if (kind == "refused") {
            names.append(QStringLiteral("tcp://127.0.0.1:%1").arg(SerialServer::closedPort()));
            continue;
        }
        if (kind == "again") {
            names.append(QFileInfo(names.last()).symLinkTarget());
            continue;
        }
        const QString link = nextLink();
        names.append(link);
        if (kind == "lost")
            continue;
        if (kind.startsWith("held")) {
            modems.push_back(std::make_unique<NullModem>(link));
            holders.push_back(std::make_unique<QSerialPort>());
            if (kind == "held") {
                holders.back()->setPortName(link);
                QVERIFY(holders.back()->open(QIODevice::ReadWrite));
            } else {
                QVERIFY(SerialLine::open(*holders.back(), modems.back()->slavePath(), 0).isOpen());
            }
            continue;
        }
        const QString family = kind.section(':', -1);
        QStringList simArguments = { "--link", link, "--family", family };
        if (kind == "silent" || kind.startsWith("garbage:"))
            simArguments = QStringList { "--link", link, "--family", "acer", "--silent" };
        if (kind.startsWith("garbage:"))
            simArguments += { "--chatter", kind.section(':', 1) };
        simulators.push_back(std::make_unique<SimProcess>());
        QVERIFY(
            simulators.back()->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH), simArguments));
        if (kind.startsWith("tcp:") || kind.startsWith("rfc2217:")) {
            servers.push_back(std::make_unique<SerialServer>(link));
            QVERIFY2(servers.back()->start(), qPrintable(servers.back()->errorString()));
            names.last() = kind.startsWith("tcp") ? servers.back()->rawAddress()
                                                  : servers.back()->rfc2217Address();
        }
    }
    arguments += { "--no-scan", "detect" };
    for (const QString &name : names)
        arguments += { "--port", name };

    QStringList text;
    for (int i = 0; i < found.size(); ++i)
        text.append(names.at(i) + ": " + found.at(i));
    // A line to lose is made anew for each run.
    const auto run = [&](SimProcess &ctl, const QStringList &arguments) {
        std::vector<std::unique_ptr<NullModem>> lines;
        for (int at : lostAt)
            lines.push_back(std::make_unique<NullModem>(names.at(at)));
        start(ctl, arguments);
        for (const auto &line : lines) {
            // The families at 9600 baud are asked together.
            QCOMPARE(line->readBytes(20), QByteArray("* 0 Lamp ?\rV99G0007\r"));
            line->hangUp();
        }
        QVERIFY(ctl.waitForFinished(HangMargin));
    };
    SimProcess ctl;
    run(ctl, arguments);
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(ctl.lines().join('\n')), text.join('\n'));

    SimProcess ctlJson;
    run(ctlJson, arguments + QStringList { "--json" });
    QCOMPARE(ctlJson.exitCode(), exitCode);
    const QJsonDocument document = QJsonDocument::fromJson(ctlJson.lines().join('\n'));
    QVERIFY2(document.isArray(), ctlJson.lines().join('\n').constData());
    const QVariantList entries = document.array().toVariantList();
    QCOMPARE(entries.size(), found.size());
    for (int i = 0; i < found.size(); ++i) {
        const QVariantMap entry = entries.at(i).toMap();
        QCOMPARE(entry.value("port").toString(), names.at(i));
        const QStringList displayNames = { "Acer", "Vivitek", "InFocus" };
        const QStringList keys = { "acer", "vivitek", "infocus" };
        const int model = displayNames.indexOf(found.at(i));
        QCOMPARE(entry.value("family").toString(), keys.value(model));
        const bool failed = model < 0 && found.at(i) != "no answer";
        QCOMPARE(entry.value("error").toString(), failed ? found.at(i) : QString());
    }

    // Only status polls went out, each family's once a run at most, and
    // nothing after the family that answered.
    const QList<QByteArray> polls = { "* 0 Lamp ?", "V99G0007", "(CST)" };
    for (const auto &sim : simulators) {
        // Whatever went out is in once the line was let go. ser2net may open
        // the line again before the simulator sees it closed, so not every
        // close of each run shows.
        QTRY_VERIFY(sim->lines().count("-- line closed") >= 1);
        const QList<QByteArray> received = sim->received();
        QVERIFY(received.size() <= 2 * polls.size());
        for (const QByteArray &command : received)
            QVERIFY2(polls.contains(command), command.constData());
    }
    for (const auto &modem : modems)
        QCOMPARE(modem->expectSilence(50), QByteArray());
}

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

void writeStore(const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(TestStore::fileName()).absolutePath()));
    QFile file(TestStore::fileName());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray TwoRooms = "[General]\nComPort=ttyB\nModel=0\nProjector=b\n\n[Projectors]\n"
                            "1\\Model=0\n1\\Name=a\n1\\Port=ttyA\n"
                            "2\\Model=0\n2\\Name=b\n2\\Port=ttyB\nsize=2\n";

} // namespace

void TestCtl::storeProblems_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("error"); // a part of standard error; %f: the store's file
    QTest::addColumn<bool>("untouched");

    // A stray quote swallows the lines after it, "size" among them, and the
    // list would read as empty: such a file is named with its line and kept.
    QByteArray quote = TwoRooms;
    quote.replace("1\\Port=ttyA", "1\\Port=\"ttyA");
    const QString stray = "%f:9: a quote (\") that is not closed on its line";
    for (const char *command : { "projector list", "projector add c --family acer --port ttyC",
                                 "projector remove a", "--all on", "on", "--projector b on" })
        QTest::addRow("stray quote: %s", command) << quote << command << 78 << "" << stray << true;
    QByteArray section = TwoRooms;
    section.replace("[Projectors]", "[Projectors");
    QTest::newRow("section without its bracket")
        << section << "projector add c --family acer --port ttyC" << 78 << ""
        << "%f:6: a section name without its \"]\"" << true;
    // Quotes that close, escaped ones and comments are what QSettings reads.
    QByteArray fine = TwoRooms;
    fine.replace("1\\Port=ttyA", "1\\Port=\"tty\\\"A;x\" ; a comment\n; \"alone");
    fine.prepend("\xef\xbb\xbf"); // an editor's byte order mark too
    QTest::newRow("quotes that close")
        << fine << "projector list" << 0 << "a\tacer\ttty\"A;x\nb\tacer\tttyB"
        << "" << true;
    // An escaped quote closes nothing: the one before it is still open.
    QByteArray escaped = TwoRooms;
    escaped.replace("1\\Port=ttyA", "1\\Port=\"ttyA\\\"");
    QTest::newRow("an escaped quote closes nothing")
        << escaped << "projector add c --family acer --port ttyC" << 78 << "" << stray << true;

    // Read at most a thousand, at once, and say so.
    QByteArray huge = TwoRooms;
    huge.replace("size=2", "size=2147483647");
    const QString ignored = "%f claims 2147483647 projectors; the first 1000 were read, the "
                            "rest ignored";
    QTest::newRow("a size of 2^31-1: list")
        << huge << "projector list" << 0 << "a\tacer\tttyA\nb\tacer\tttyB" << ignored << true;
    QTest::newRow("a size of 2^31-1: add")
        << huge << "projector add c --family acer --port ttyC" << 0 << "" << ignored << false;
    QByteArray full = "[Projectors]\n";
    for (int i = 1; i <= 1000; ++i)
        full += QByteArray::number(i) + "\\Name=r" + QByteArray::number(i) + "\n"
            + QByteArray::number(i) + "\\Port=ttyR\n";
    full += "size=1000\n";
    QTest::newRow("a full list: no 1001st")
        << full << "projector add c --family acer --port ttyC" << 64 << ""
        << "the list holds 1000 projectors, as many as it can" << true;
    // A thousand and one by hand: the first thousand are read, and it is said.
    QByteArray over = full;
    over.replace("size=1000\n", "1001\\Name=r1001\n1001\\Port=ttyR\nsize=1001\n");
    QStringList thousand;
    for (int i = 1; i <= 1000; ++i)
        thousand << "r" + QString::number(i) + "\tacer\tttyR";
    QTest::newRow("a thousand and one: the first thousand")
        << over << "projector list" << 0 << thousand.join('\n')
        << "%f claims 1001 projectors; the first 1000 were read, the rest ignored" << true;
    QTest::newRow("a size of 2^31-1: --all") << huge << "--all --timeout 0.2 press menu" << 69
                                             << "a: error: ttyA: not present\nb: error: ttyB: not "
                                                "present"
                                             << ignored << true;
}

// vantrelctl never writes over a store it cannot read whole, and reads one
// that claims too much without hanging.
void TestCtl::storeProblems()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(QString, error);
    QFETCH(bool, untouched);

    writeStore(file);
    SimProcess ctl;
    start(ctl, arguments.split(' '));
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(ctl.lines().join('\n')), printed);
    const QString errors = QString::fromLocal8Bit(ctl.readAllStandardError());
    QVERIFY2(errors.contains(QString(error).replace("%f", TestStore::fileName())),
             qPrintable(errors));
    if (untouched)
        QCOMPARE(fileBytes(TestStore::fileName()), file);
    else
        QCOMPARE(TestStore::value("Projectors/size").toInt(), 3);
}

// Adds made at the same time each land: none reads the list while another
// is between its read and its write.
void TestCtl::concurrentAdds()
{
    TestStore::clear();
    constexpr int Count = 24;
    std::vector<std::unique_ptr<SimProcess>> adds;
    for (int i = 0; i < Count; ++i) {
        adds.push_back(std::make_unique<SimProcess>());
        start(*adds.back(),
              { "projector", "add", QString("room-%1").arg(i), "--family", "acer", "--port",
                QString("ttyR%1").arg(i) });
    }
    for (const auto &add : adds) {
        QVERIFY(finished(*add));
        QCOMPARE(add->exitCode(), 0);
    }
    SimProcess list;
    start(list, { "projector", "list" });
    QVERIFY(list.waitForFinished(HangMargin));
    QCOMPARE(list.lines().size(), Count);
}

void TestCtl::concurrentAddsStarved_data()
{
    QTest::addColumn<int>("lockUs"); // a new lock file's native lock, taken this late
    QTest::addColumn<int>("checkUs"); // whether a lock's holder lives, told this late
    QTest::addColumn<int>("rounds");

    QTest::newRow("the holder's check told late") << 0 << 30000 << 3;
    QTest::newRow("the check and the native lock late") << 20000 << 30000 << 3;
}

// As concurrentAdds, on a machine so starved that an editor checking
// whether the lock's holder still lives hears back only after that holder
// has finished and gone: it must not take the lock for stale and remove
// the next holder's. Every add lands, and none gives up waiting.
void TestCtl::concurrentAddsStarved()
{
#ifndef SLOWLOCKS_PATH
    QSKIP("the scheduler is slowed by preloading, on Linux only");
#else
    QFETCH(int, lockUs);
    QFETCH(int, checkUs);
    QFETCH(int, rounds);

    QProcessEnvironment slowed;
    slowed.insert("LD_PRELOAD", SLOWLOCKS_PATH);
    slowed.insert("SLOWLOCKS_LOCK_US", QString::number(lockUs));
    slowed.insert("SLOWLOCKS_CHECK_US", QString::number(checkUs));
    // The sanitizers' runtime wants to be loaded first; the preloaded
    // helper, uninstrumented, comes before it.
    const QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    slowed.insert("ASAN_OPTIONS",
                  (asan.isEmpty() ? QString() : asan + ':') + "verify_asan_link_order=0");
    constexpr int Count = 24;
    for (int round = 0; round < rounds; ++round) {
        TestStore::clear();
        std::vector<std::unique_ptr<SimProcess>> adds;
        for (int i = 0; i < Count; ++i) {
            adds.push_back(std::make_unique<SimProcess>());
            start(*adds.back(),
                  { "projector", "add", QString("room-%1").arg(i), "--family", "acer", "--port",
                    QString("ttyR%1").arg(i) },
                  QString(), QStringList(), slowed);
        }
        // Each is reaped in turn, as here: one that ended meanwhile stays a
        // zombie, alive to kill() but without a program to name.
        for (const auto &add : adds) {
            QVERIFY(finished(*add));
            QVERIFY2(add->exitCode() == 0, add->readAllStandardError().constData());
        }
        SimProcess list;
        start(list, { "projector", "list" });
        QVERIFY(list.waitForFinished(HangMargin));
        QCOMPARE(list.lines().size(), Count);
    }
#endif
}

void TestCtl::passwordNeverReadable_data()
{
    QTest::addColumn<QVariantMap>("seed"); // empty: no file at all
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("runs");

    QTest::newRow("a new file") << QVariantMap()
                                << "projector add hall --family pjlink --port 127.0.0.1" << 20;
    QTest::newRow("the first password of a file")
        << QVariantMap { { "Projectors/size", 1 },
                         { "Projectors/1/Name", "a" },
                         { "Projectors/1/Model", 0 },
                         { "Projectors/1/Port", "ttyA" } }
        << "projector add hall --family pjlink --port 127.0.0.1" << 20;
    // Written by hand, readable by all, the password on the first entry only.
    QTest::newRow("a password on the first entry, not the last")
        << QVariantMap { { "Projectors/size", 2 },
                         { "Projectors/1/Name", "hall" },
                         { "Projectors/1/Model", 3 },
                         { "Projectors/1/Port", "127.0.0.1" },
                         { "Projectors/1/Password", "s3cret" },
                         { "Projectors/2/Name", "a" },
                         { "Projectors/2/Model", 0 },
                         { "Projectors/2/Port", "ttyA" } }
        << "projector add c --family acer --port ttyC" << 1;
}

// Another user reading the folder in a loop never finds the password: the
// file is private before the first byte of it goes in.
void TestCtl::passwordNeverReadable()
{
    QFETCH(QVariantMap, seed);
    QFETCH(QString, arguments);
    QFETCH(int, runs);

    const bool byHand = seed.contains("Projectors/1/Password");
    int looks = 0;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(TestStore::fileName());
        if (!seed.isEmpty())
            TestStore::seed(seed); // readable by all, as QSettings makes a new file
        QVERIFY(QDir().mkpath(QFileInfo(TestStore::fileName()).absolutePath()));
        // A store seeded with the password by hand is readable from the start.
        std::unique_ptr<SecretWatch> watch;
        if (!byHand)
            watch = std::make_unique<SecretWatch>(QFileInfo(TestStore::fileName()).absolutePath(),
                                                  "s3cret");
        SimProcess ctl;
        start(ctl, arguments.split(' '), "s3cret");
        QVERIFY(ctl.waitForFinished(HangMargin));
        QCOMPARE(ctl.exitCode(), 0);
        if (watch) {
            QTRY_VERIFY(watch->looks() > 0);
            QCOMPARE(watch->exposed(), 0);
            looks += watch->looks();
        }
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(TestStore::fileName()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }
    qInfo("the folder was read %d times", looks);
}

void TestCtl::unusableEntries_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // %a: the good one's port

    const QString bad = "--all --timeout 3 on";
    const QString done = "a: done\nz: error: ";
    QTest::newRow("an address without a port") << "0"
                                               << "tcp://" << bad << 78
                                               << done
            + "the stored address \"tcp://\" is not valid: no port after the host; write "
              "HOST:PORT";
    QTest::newRow("a PJLink port out of range") << "3"
                                                << "127.0.0.1:99999" << bad << 78
                                                << done
            + "the stored address \"127.0.0.1:99999\" is not valid: \"99999\" is not a TCP "
              "port (1 to 65535)";
    QTest::newRow("no port") << "0"
                             << "" << bad << 78 << done + "no port stored";
    QTest::newRow("an unknown family")
        << "9"
        << "ttyZ" << bad << 78 << done + "the stored family (Model=9) is unknown";
    QTest::newRow("by name") << "0"
                             << "tcp://"
                             << "--timeout 3 --projector z --projector a on" << 78
                             << done
            + "the stored address \"tcp://\" is not valid: no port "
              "after the host; write HOST:PORT";
    QTest::newRow("the others' failures come first")
        << "0"
        << "tcp://"
        << "--all --timeout 0.2 status" << 2
        << "a: error: %a: no answer to \"* 0 Lamp ?\" within 0.2 s\nz: error: the stored "
           "address \"tcp://\" is not valid: no port after the host; write HOST:PORT";
    // What is wrong with the command itself still sends nothing.
    QTest::newRow("unknown button") << "0"
                                    << "tcp://"
                                    << "--all press nothing" << 64 << "";
    QTest::newRow("unknown command") << "9"
                                     << "ttyZ"
                                     << "--all dance" << 64 << "";
}

// A stored entry that cannot be used is its own projector's error; the
// others are still driven.
void TestCtl::unusableEntries()
{
    QFETCH(QString, model);
    QFETCH(QString, port);
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    NullModem modem(nextLink());
    QVERIFY(modem.isOpen());
    TestStore::seed({ { "Projectors/size", 3 },
                      { "Projectors/1/Name", "z" },
                      { "Projectors/1/Model", model },
                      { "Projectors/1/Port", port },
                      { "Projectors/2/Name", "a" },
                      { "Projectors/2/Model", 0 },
                      { "Projectors/2/Port", modem.portName() } });
    SimProcess ctl;
    start(ctl, arguments.split(' '));
    if (exitCode == 64) {
        QVERIFY(finished(ctl));
        QCOMPARE(modem.expectSilence(50), QByteArray());
    } else if (!arguments.contains("status")) {
        QCOMPARE(modem.readBytes(11), QByteArray("OKOKOKOKOK\r"));
        QVERIFY(modem.write("*000\r"));
    }
    QVERIFY(finished(ctl));
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(ctl.lines().join('\n')),
             QString(output).replace("%a", modem.portName()));
}

// A serial server that sets the line up and then floods telnet requests
// without reading a single answer: send is dropped with the reason, and
// what waited for the server stayed bounded all along.
void TestCtl::sendToAFloodingServer()
{
    using T = TelnetCodec;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const int small = 4096;
    QCOMPARE(
        ::setsockopt(int(server.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small),
        0);
    SimProcess ctl;
    start(ctl,
          { "--family", "acer", "--timeout", "10", "--port",
            QString("rfc2217://127.0.0.1:%1").arg(server.serverPort()), "send", "* 0 Lamp ?" });
    QVERIFY(server.waitForNewConnection(HangMargin));
    QTcpSocket *peer = server.nextPendingConnection();
    peer->write(bytes({ T::Iac, T::Will, T::ComPortOption, T::Iac, T::Do, T::ComPortOption }));
    QByteArray heard;
    QTRY_VERIFY((heard += peer->readAll()).count(char(T::Se)) >= 5);
    peer->write(confirm(1, bytes({ 0, 0, 0x25, 0x80 })) + confirm(2, "\x08") + confirm(3, "\x01")
                + confirm(4, "\x01"));
    // The text comes once the line is open; from then on nothing is read.
    QTRY_VERIFY((heard += peer->readAll()).contains("* 0 Lamp ?\r"));
    const QByteArray offers = bytes({ T::Iac, T::Will, 99 }).repeated(64 * 1024 / 3);
    qint64 flooded = 0;
    constexpr qint64 FloodCap = qint64(64) * 1024 * 1024;
    const auto flood = [&] {
        while (peer->state() == QAbstractSocket::ConnectedState
               && peer->bytesToWrite() < offers.size() && flooded < FloodCap)
            flooded += peer->write(offers);
    };
    QObject::connect(peer, &QTcpSocket::bytesWritten, flood);
    flood();
    QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, HangMargin);
    QCOMPARE(ctl.exitCode(), 69);
    const QByteArray error = ctl.readAllStandardError();
    QVERIFY2(error.contains(": connection lost"), error.constData());
    QVERIFY(flooded < FloodCap);
}

// A network serial server that takes its time to set the line up is waited
// for as long as detect promises (3.5 s): here 3.1 s, beyond --timeout and
// beyond the 3 s a link of the window waits.
void TestCtl::detectWaitsForASlowServer()
{
    using T = TelnetCodec;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        auto *heard = new QByteArray;
        QObject::connect(socket, &QObject::destroyed, [heard] { delete heard; });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // Agrees to the option after 3.1 s, then confirms what it is asked
        // for and answers an Acer's lamp poll.
        QTimer::singleShot(3100, socket, [socket] {
            socket->write(
                bytes({ T::Iac, T::Will, T::ComPortOption, T::Iac, T::Do, T::ComPortOption }));
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [=] {
            const int before = heard->count(char(T::Se));
            *heard += socket->readAll();
            if (before < 5 && heard->count(char(T::Se)) >= 5)
                socket->write(confirm(1, bytes({ 0, 0, 0x25, 0x80 })) + confirm(2, "\x08")
                              + confirm(3, "\x01") + confirm(4, "\x01"));
            if (heard->contains("* 0 Lamp ?\r")) {
                heard->replace("* 0 Lamp ?\r", "");
                socket->write("Lamp 0\r");
            }
        });
    });
    SimProcess ctl;
    start(ctl,
          { "--timeout", "0.3", "--family", "acer", "--no-scan", "--port",
            QString("rfc2217://127.0.0.1:%1").arg(server.serverPort()), "detect" });
    QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, HangMargin);
    QCOMPARE(ctl.lines().join('\n'),
             QString("rfc2217://127.0.0.1:%1: Acer").arg(server.serverPort()).toUtf8());
    QCOMPARE(ctl.exitCode(), 0);
}

VANTREL_TEST_MAIN(TestCtl)
#include "tst_ctl.moc"
