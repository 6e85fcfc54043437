// vantrelctl exporter as Prometheus scrapes it: real HTTP on 127.0.0.1, the
// answers read by a real parser of the exposition format, projectors played
// by the simulator or by listeners that count who connects.
// ctest-properties: LABELS e2e TIMEOUT 300

#include "simprocess.h"
#include "testmain.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Far beyond any wait below: only a hang runs into it.
constexpr int HangMargin = 30000;

// One HTTP exchange on a connection of its own, read to the end.
struct Scrape
{
    QTcpSocket socket;
    QByteArray received;

    void send(quint16 port, const QByteArray &request,
              const QHostAddress &to = QHostAddress::LocalHost)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { received += socket.readAll(); });
        socket.connectToHost(to, port);
        if (!request.isEmpty())
            socket.write(request);
    }
    void get(quint16 port, const QByteArray &path)
    {
        send(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    // GET, and wait until the exporter closed the connection.
    bool fetch(quint16 port, const QByteArray &path)
    {
        get(port, path);
        return QTest::qWaitFor([this] { return closed(); }, HangMargin);
    }
    int status() const { return received.split(' ').value(1).toInt(); }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : received.left(received.indexOf("\r\n\r\n")).split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        }
        return QByteArray();
    }
    QByteArray body() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }
};

// The samples as python3-prometheus-client reads them: "name{k=v,...} value",
// labels sorted, sorted; empty with a warning when the text does not parse.
QStringList parsed(const QByteArray &text)
{
    QProcess parser;
    parser.start("/usr/bin/python3",
                 { "-c",
                   "import sys\n"
                   "from prometheus_client.parser import text_string_to_metric_families\n"
                   "for family in text_string_to_metric_families(sys.stdin.read()):\n"
                   "    assert family.type in ('gauge', 'counter', 'summary'), family\n"
                   "    assert family.documentation, family\n"
                   "    for s in family.samples:\n"
                   "        labels = ','.join(k + '=' + v for k, v in sorted(s.labels.items()))\n"
                   "        print(f'{s.name}{{{labels}}} {s.value!r}')\n" });
    if (!parser.waitForStarted())
        return {};
    parser.write(text);
    parser.closeWriteChannel();
    if (!parser.waitForFinished(HangMargin) || parser.exitCode() != 0) {
        qWarning("the parser refused it: %s\n%s", parser.readAllStandardError().constData(),
                 text.constData());
        return {};
    }
    QStringList samples
        = QString::fromUtf8(parser.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    samples.sort();
    return samples;
}

// What promtool, Prometheus's own linter, says of an exposition: empty when
// it passes, names and units by the rules included.
QString lint(const QByteArray &text)
{
    QProcess promtool;
    promtool.start(QStringLiteral(PROMTOOL_PATH), { "check", "metrics" });
    if (!promtool.waitForStarted())
        return QStringLiteral("promtool did not start: install Debian's prometheus package");
    promtool.write(text);
    promtool.closeWriteChannel();
    if (!promtool.waitForFinished(HangMargin))
        return QStringLiteral("promtool hung");
    const QByteArray said = promtool.readAllStandardOutput() + promtool.readAllStandardError();
    return promtool.exitCode() == 0 ? QString() : QString::fromUtf8(said + '\n' + text);
}

// The value of a series written with its labels in any order.
double valueOf(const QStringList &samples, QString series)
{
    const int open = series.indexOf('{'), close = series.lastIndexOf('}');
    QStringList labels = series.mid(open + 1, close - open - 1).split(',', Qt::SkipEmptyParts);
    labels.sort();
    series = series.left(open + 1) + labels.join(',') + series.mid(close);
    for (const QString &sample : samples) {
        if (sample.startsWith(series + ' '))
            return sample.section(' ', -1).toDouble();
    }
    return -1;
}

// A projector's address that answers nothing, and counts who connects.
struct Silent
{
    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> connections;

    Silent()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                connections.emplace_back(socket);
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    int open() const
    {
        int count = 0;
        for (const auto &socket : connections)
            count += socket->state() == QAbstractSocket::ConnectedState;
        return count;
    }
};

struct Stored
{
    QString name;
    QString group;
    int model;
    QString port;
    QString password;
};

void store(const QList<Stored> &projectors)
{
    QVariantMap stored { { "Projectors/size", projectors.size() } };
    for (int i = 0; i < projectors.size(); ++i) {
        const QString entry = QString("Projectors/%1/").arg(i + 1);
        stored.insert(entry + "Name", projectors[i].name);
        stored.insert(entry + "Model", projectors[i].model);
        stored.insert(entry + "Port", projectors[i].port);
        stored.insert(entry + "Group", projectors[i].group);
        if (!projectors[i].password.isEmpty())
            stored.insert(entry + "Password", projectors[i].password);
    }
    TestStore::seed(stored);
}

} // namespace

class TestExporter : public QObject
{
    Q_OBJECT

private slots:
    void endpoints();
    void onlyStoredProjectors_data();
    void onlyStoredProjectors();
    void followsTheStore();
    void parallelScrapesShareOneProbe();
    void projectorsSideBySide();
    void scrapeTimeout();
    void slowClients();
    void limits_data();
    void limits();
    void eachRequestItsOwnTime();
    void shutdown_data();
    void shutdown();
    void defaultBindOnLoopback();
    void usage_data();
    void usage();

private:
    // The exporter with the test run's store, on a free port of 127.0.0.1
    // unless arguments say otherwise; 0 when it did not start serving.
    quint16 start(SimProcess &exporter,
                  const QStringList &arguments = { "--listen", "127.0.0.1:0" },
                  const QString &password = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VANTREL_PJLINK_PASSWORD"));
        if (!password.isEmpty())
            environment.insert(QStringLiteral("VANTREL_PJLINK_PASSWORD"), password);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           TestStore::runDirectory() + QStringLiteral("/config"));
        exporter.setProcessEnvironment(environment);
        exporter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        exporter.start(QStringLiteral(VANTRELCTL_EXE_PATH), QStringList { "exporter" } + arguments);
        const QRegularExpression serving("^vantrelctl: serving http://127\\.0\\.0\\.1:(\\d+)/");
        quint16 port = 0;
        [[maybe_unused]] const bool spoke = QTest::qWaitFor(
            [&] {
                const QList<QByteArray> lines = exporter.lines();
                if (!lines.isEmpty())
                    port = quint16(
                        serving.match(QString::fromUtf8(lines.first())).captured(1).toUInt());
                return !lines.isEmpty() || exporter.state() == QProcess::NotRunning;
            },
            HangMargin);
        return port;
    }

    // The exporter's own metrics, parsed.
    static QStringList own(quint16 port)
    {
        Scrape scrape;
        if (!scrape.fetch(port, "/metrics") || scrape.status() != 200)
            return {};
        return parsed(scrape.body());
    }
};

// Each endpoint, as Prometheus reads it: one projector, a group, and the
// exporter's own metrics counting what came of the probes.
void TestExporter::endpoints()
{
    QFile secret(TestStore::runDirectory() + QStringLiteral("/exporter-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly | QIODevice::Truncate));
    secret.write("aula\n");
    secret.close();
    SimProcess hall, locked;
    QVERIFY(hall.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                { "--family", "pjlink", "--pjlink-class", "2", "--erst", "010200",
                                  "--password-file", secret.fileName() }));
    QVERIFY(locked.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                  { "--family", "pjlink", "--password-file", secret.fileName() }));
    const QString link = TestStore::runDirectory() + QStringLiteral("/ttyExporter");
    SimProcess serial;
    QVERIFY(serial.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                  { "--family", "acer", "--lamp", "on", "--link", link }));
    QTcpServer refusing;
    QVERIFY(refusing.listen(QHostAddress::LocalHost));
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(refusing.serverPort());
    refusing.close();
    // A serial projector the window (here: this test) holds open.
    const QString heldLink = TestStore::runDirectory() + QStringLiteral("/ttyExporterHeld");
    SimProcess heldSimulator;
    QVERIFY(heldSimulator.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                         { "--family", "acer", "--link", heldLink }));
    QSerialPort holder(heldLink);
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    store({ { "hall \"A\"", "north", 3, hall.tcpAddress(), "aula" },
            { "room-3", "north", 0, link, QString() },
            { "gone", "north", 3, closed, QString() },
            { "locked", "south", 3, locked.tcpAddress(), "wrong" },
            { "busy", "west", 0, heldLink, QString() } });

    SimProcess exporter;
    const quint16 port = start(exporter, { "--listen", "127.0.0.1:0", "--timeout", "1" });
    QVERIFY2(port, exporter.lines().join('\n').constData());

    const QString hallLabels = "family=pjlink,group=north,name=hall \"A\"";
    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    Scrape one;
    QVERIFY(one.fetch(port, "/probe?target=hall%20%22A%22"));
    QCOMPARE(one.status(), 200);
    QCOMPARE(one.header("Content-Type"), QByteArray("text/plain; version=0.0.4; charset=utf-8"));
    QCOMPARE(one.header("X-Content-Type-Options"), QByteArray("nosniff"));
    QStringList samples = parsed(one.body());
    QCOMPARE(valueOf(samples, "vantrel_reachable{" + hallLabels + "}"), 1.0);
    QCOMPARE(valueOf(samples, "vantrel_health{" + hallLabels + ",part=lamp}"), 1.0);
    QCOMPARE(valueOf(samples, "vantrel_health{" + hallLabels + ",part=cover}"), 2.0);
    QCOMPARE(valueOf(samples, "vantrel_lamp_usage_seconds{" + hallLabels + ",lamp=1}"),
             1250.0 * 3600);
    QVERIFY(valueOf(samples, "vantrel_last_answer_timestamp_seconds{" + hallLabels + "}")
            >= std::floor(before));
    QVERIFY(valueOf(samples, "vantrel_probe_duration_seconds{" + hallLabels + "}") >= 0);
    // Nothing of any other projector.
    QCOMPARE(samples.filter("name=hall \"A\"").size(), samples.size());

    Scrape group;
    QVERIFY(group.fetch(port, "/probe?group=north"));
    QCOMPARE(group.status(), 200);
    QCOMPARE(lint(group.body()), QString());
    samples = parsed(group.body());
    QCOMPARE(valueOf(samples, "vantrel_reachable{" + hallLabels + "}"), 1.0);
    QCOMPARE(valueOf(samples, "vantrel_reachable{family=acer,group=north,name=room-3}"), 1.0);
    QCOMPARE(valueOf(samples, "vantrel_lamp_state{family=acer,group=north,name=room-3}"), 1.0);
    // Unreachable is an answer too, as the blackbox exporter gives it.
    QCOMPARE(valueOf(samples, "vantrel_reachable{family=pjlink,group=north,name=gone}"), 0.0);
    QVERIFY(valueOf(samples, "vantrel_probe_duration_seconds{family=pjlink,group=north,name=gone}")
            >= 0);
    // Why, in the blackbox exporter's manner; nothing of the kind for those that answered.
    QCOMPARE(valueOf(samples,
                     "vantrel_probe_failure{family=pjlink,group=north,name=gone,reason=refused}"),
             1.0);
    QCOMPARE(samples.filter("vantrel_probe_failure{").size(), 1);
    QCOMPARE(samples.filter("name=locked").size(), 0);

    Scrape rejected;
    QVERIFY(rejected.fetch(port, "/probe?target=locked"));
    QCOMPARE(rejected.status(), 200);
    samples = parsed(rejected.body());
    QCOMPARE(valueOf(samples, "vantrel_login_rejected{family=pjlink,group=south,name=locked}"),
             1.0);
    QCOMPARE(valueOf(samples, "vantrel_reachable{family=pjlink,group=south,name=locked}"), 0.0);
    QCOMPARE(valueOf(samples,
                     "vantrel_probe_failure{family=pjlink,group=south,name=locked,"
                     "reason=password_rejected}"),
             1.0);

    // Busy is not gone: the port another program holds says so.
    Scrape busy;
    QVERIFY(busy.fetch(port, "/probe?target=busy&debug=true"));
    QCOMPARE(busy.status(), 200);
    QCOMPARE(busy.header("Content-Type"), QByteArray("text/plain; charset=utf-8"));
    // The probe's log, then the metrics it gives.
    QVERIFY2(busy.body().contains("in use by another program"), busy.body().constData());
    QVERIFY2(busy.body().contains("vantrel_probe_failure{name=\"busy\",family=\"acer\","
                                  "group=\"west\",reason=\"in_use\"} 1"),
             busy.body().constData());

    // Six probes: the hall twice, then room-3, gone, locked and busy.
    Scrape ownScrape;
    QVERIFY(ownScrape.fetch(port, "/metrics"));
    QCOMPARE(lint(ownScrape.body()), QString());
    const QStringList mine = parsed(ownScrape.body());
    QCOMPARE(valueOf(mine, "vantrel_build_info{version=" VANTREL_VERSION_TEXT "}"), 1.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probes_total{result=reachable}"), 3.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probes_total{result=unreachable}"), 2.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probes_total{result=login_rejected}"), 1.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probe_duration_seconds_count{}"), 6.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probes_running{}"), 0.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_open_connections{}"), 1.0); // its own
    QVERIFY(valueOf(mine, "process_open_fds{}") > 2);
    QVERIFY(valueOf(mine, "process_resident_memory_bytes{}") > 0);
    QVERIFY(valueOf(mine, "process_cpu_seconds_total{}") >= 0);
    const double started = valueOf(mine, "process_start_time_seconds{}");
    QVERIFY2(started > before - 3600 && started <= QDateTime::currentSecsSinceEpoch() + 1,
             qPrintable(QString::number(started, 'f')));

    // SIGTERM ends it cleanly.
    exporter.terminate();
    QVERIFY(exporter.waitForFinished(HangMargin));
    QCOMPARE(exporter.exitStatus(), QProcess::NormalExit);
    QCOMPARE(exporter.exitCode(), 0);

    // Started again, and given the right password in the environment: the
    // password refused stays refused, and no other goes to that projector.
    SimProcess again;
    const quint16 next = start(again, { "--listen", "127.0.0.1:0", "--timeout", "1" }, "aula");
    QVERIFY(next);
    Scrape still;
    QVERIFY(still.fetch(next, "/probe?target=locked"));
    samples = parsed(still.body());
    QCOMPARE(valueOf(samples, "vantrel_login_rejected{family=pjlink,group=south,name=locked}"),
             1.0);
    // "PJLINK 2", refused by this older projector, and one MD5 login.
    QTRY_COMPARE(locked.lines().count("-- login rejected"), 2);
    QCOMPARE(locked.received().size(), 2);
    again.terminate();
    QVERIFY(again.waitForFinished(HangMargin));
}

// A target that is not a stored name is not asked: 404, and the listener at
// the address given sees no connection.
void TestExporter::onlyStoredProjectors_data()
{
    QTest::addColumn<QByteArray>("query"); // %1: the listener's address
    QTest::newRow("a name not stored") << QByteArray("target=nobody");
    QTest::newRow("the listener's address") << QByteArray("target=%1");
    QTest::newRow("a stored projector's address") << QByteArray("target=%1");
    QTest::newRow("an option") << QByteArray("target=--all");
    QTest::newRow("a group not stored") << QByteArray("group=elsewhere");
}

void TestExporter::onlyStoredProjectors()
{
    QFETCH(QByteArray, query);

    Silent listener;
    QVERIFY(listener.server.isListening());
    // Stored under another name, at the listener's address.
    store({ { "hall", "north", 3,
              QTest::currentDataTag() == QByteArray("a stored projector's address")
                  ? listener.address()
                  : QString("127.0.0.1:9"),
              QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter);
    QVERIFY(port);

    Scrape scrape;
    QVERIFY(scrape.fetch(
        port, "/probe?" + QByteArray(query).replace("%1", listener.address().toLatin1())));
    QCOMPARE(scrape.status(), 404);
    // No probe started, so none can connect later either.
    const QStringList mine = own(port);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probe_duration_seconds_count{}"), 0.0);
    QCOMPARE(valueOf(mine, "vantrel_exporter_probes_running{}"), 0.0);
    QCOMPARE(int(listener.connections.size()), 0);
    QVERIFY(!listener.server.hasPendingConnections());
}

// The list is read when the store changes, not for each request: a
// projector stored while the exporter runs is probed, one removed is not.
void TestExporter::followsTheStore()
{
    store({ { "hall", "north", 3, "127.0.0.1:9", QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter);
    QVERIFY(port);
    const auto status = [port](const QByteArray &path) {
        Scrape scrape;
        return scrape.fetch(port, path) ? scrape.status() : -1;
    };
    QCOMPARE(status("/probe?target=later"), 404);
    QCOMPARE(status("/probe?target=hall"), 200);
    store({ { "later", "south", 3, "127.0.0.1:9", QString() } });
    QTRY_COMPARE_WITH_TIMEOUT(status("/probe?target=later"), 200, HangMargin);
    QCOMPARE(status("/probe?group=south"), 200);
    QCOMPARE(status("/probe?target=hall"), 404);
}

// Forty scrapes of one projector at once: one probe, one connection to the
// projector, and every scrape gets its answer.
void TestExporter::parallelScrapesShareOneProbe()
{
    Silent projector;
    store({ { "hall", "north", 3, projector.address(), QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter, { "--listen", "127.0.0.1:0", "--timeout", "60" });
    QVERIFY(port);

    std::vector<std::unique_ptr<Scrape>> scrapes;
    for (int i = 0; i < 40; ++i) {
        scrapes.push_back(std::make_unique<Scrape>());
        scrapes.back()->get(port, "/probe?target=hall");
    }
    // The projector holds the probe until all forty wait for it.
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(own(port), "vantrel_exporter_scrapes_waiting{}"), 40.0,
                              HangMargin);
    QTRY_COMPARE_WITH_TIMEOUT(int(projector.connections.size()), 1, HangMargin);
    projector.connections.front()->disconnectFromHost();
    for (const auto &scrape : scrapes) {
        QVERIFY(QTest::qWaitFor([&] { return scrape->closed(); }, HangMargin));
        QCOMPARE(scrape->status(), 200);
        QCOMPARE(valueOf(parsed(scrape->body()),
                         "vantrel_reachable{family=pjlink,group=north,name=hall}"),
                 0.0);
    }
    QCOMPARE(int(projector.connections.size()), 1);
    QCOMPARE(valueOf(own(port), "vantrel_exporter_probe_duration_seconds_count{}"), 1.0);
}

// Two projectors, each holding its probe: both are asked at the same time.
void TestExporter::projectorsSideBySide()
{
    Silent first, second;
    store({ { "first", "north", 3, first.address(), QString() },
            { "second", "south", 3, second.address(), QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter, { "--listen", "127.0.0.1:0", "--timeout", "60" });
    QVERIFY(port);
    Scrape a, b;
    a.get(port, "/probe?target=first");
    b.get(port, "/probe?target=second");
    QTRY_VERIFY_WITH_TIMEOUT(first.open() == 1 && second.open() == 1, HangMargin);
    first.connections.front()->disconnectFromHost();
    second.connections.front()->disconnectFromHost();
    QVERIFY(QTest::qWaitFor([&] { return a.closed() && b.closed(); }, HangMargin));
    QCOMPARE(a.status(), 200);
    QCOMPARE(b.status(), 200);
}

// A probe that outlasts the time Prometheus gives the scrape: the scrape is
// answered in time with the projector unreachable, and the probe goes on,
// shared by the next scrape, until the projector is heard of.
void TestExporter::scrapeTimeout()
{
    Silent projector;
    store({ { "hall", "north", 3, projector.address(), QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter, { "--listen", "127.0.0.1:0", "--timeout", "60" });
    QVERIFY(port);
    const QByteArray request = "GET /probe?target=hall HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "X-Prometheus-Scrape-Timeout-Seconds: 1.5\r\n"
                               "Connection: close\r\n\r\n";
    for (int scrape = 1; scrape <= 2; ++scrape) {
        Scrape late;
        late.send(port, request);
        QVERIFY(QTest::qWaitFor([&] { return late.closed(); }, HangMargin));
        QCOMPARE(late.status(), 200);
        const QStringList samples = parsed(late.body());
        QCOMPARE(valueOf(samples, "vantrel_reachable{family=pjlink,group=north,name=hall}"), 0.0);
        QCOMPARE(valueOf(samples,
                         "vantrel_probe_failure{family=pjlink,group=north,name=hall,"
                         "reason=scrape_timeout}"),
                 1.0);
        // Answered half a second before Prometheus would give up, not at the limit.
        const double waited = valueOf(
            samples, "vantrel_probe_duration_seconds{family=pjlink,group=north,name=hall}");
        QVERIFY2(waited >= 1.0 && waited < 1.5, qPrintable(QString::number(waited)));
        // The probe is still under way, on its one connection.
        QCOMPARE(projector.open(), 1);
        const QStringList mine = own(port);
        QCOMPARE(valueOf(mine, "vantrel_exporter_late_answers_total{}"), double(scrape));
        QCOMPARE(valueOf(mine, "vantrel_exporter_probes_running{}"), 1.0);
    }
    projector.connections.front()->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(own(port), "vantrel_exporter_probes_running{}"), 0.0,
                              HangMargin);
    QCOMPARE(valueOf(own(port), "vantrel_exporter_probes_total{result=unreachable}"), 1.0);
    QCOMPARE(int(projector.connections.size()), 1);
}

// Twenty clients that send a request a byte at a time, each byte well within
// the time one read may take: each is dropped once its request's time is up,
// and a scrape meanwhile is answered at once.
void TestExporter::slowClients()
{
    store({});
    SimProcess exporter;
    const quint16 port = start(exporter);
    QVERIFY(port);
    const QByteArray request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        + QByteArray("X-Padding: ") + QByteArray(200, 'x') + "\r\n\r\n";
    std::vector<std::unique_ptr<Scrape>> slow;
    for (int i = 0; i < 20; ++i) {
        slow.push_back(std::make_unique<Scrape>());
        slow.back()->send(port, QByteArray());
    }
    int sent = 0;
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, &drip, [&] {
        for (const auto &client : slow) {
            if (client->socket.state() == QAbstractSocket::ConnectedState)
                client->socket.write(request.mid(sent, 1));
        }
        sent = qMin(sent + 1, int(request.size()) - 3); // never the end of it
    });
    drip.start(300);
    // A scrape answered while all twenty are open: it counts them and itself.
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(own(port), "vantrel_exporter_open_connections{}"), 21.0,
                              HangMargin);
    for (const auto &client : slow) {
        QVERIFY(QTest::qWaitFor([&] { return client->closed(); }, HangMargin));
        // Cut in its request line, or refused once its headers run out of time.
        QVERIFY2(client->status() == 0 || client->status() == 400, client->received.constData());
    }
    QVERIFY(sent > 0);
    QCOMPARE(valueOf(own(port), "vantrel_exporter_open_connections{}"), 1.0);
}

// Oversized requests are refused; connections beyond the limit are closed at
// once, and the exporter serves again when they are gone.
void TestExporter::limits_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status"); // 0: closed without an answer
    QTest::addColumn<int>("hostile"); // clients that hold connections meanwhile
    QTest::newRow("a long request line")
        << "GET /probe?target=" + QByteArray(9000, 'a') + " HTTP/1.1\r\nHost: a\r\n\r\n"
        << 414 << 0;
    QByteArray headers = "GET /metrics HTTP/1.1\r\nHost: a\r\n";
    for (int i = 0; i < 40; ++i)
        headers += "X-Padding-" + QByteArray::number(i) + ": " + QByteArray(1000, 'x') + "\r\n";
    QTest::newRow("long headers") << headers + "\r\n" << 431 << 0;
    // One answer, and the connection closed: not one for each slice of it.
    QByteArray lines = "GET /metrics HTTP/1.1\r\nHost: a\r\n";
    for (int i = 0; i < 10000; ++i)
        lines += "A: b\r\n";
    QTest::newRow("10,000 header lines") << lines + "\r\n" << 431 << 0;
    QTest::newRow("a request line that does not parse")
        << QByteArray("BREW /metrics HTTP/1.1\r\nHost: a\r\n\r\n"
                      "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n")
        << 400 << 0;
    QTest::newRow("a body") << QByteArray("POST /probe?target=a HTTP/1.1\r\nHost: a\r\n"
                                          "Content-Length: 100000000\r\n\r\nxxxx")
                            << 413 << 0;
    QTest::newRow("an empty group")
        << QByteArray("GET /probe?group= HTTP/1.1\r\nHost: a\r\n\r\n") << 400 << 0;
    // Clients that trickle, idle or send half a request, and come back when
    // dropped: a scrape still gets through.
    const QByteArray scrape = "GET /metrics HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
    QTest::newRow("64 slow clients") << scrape << 200 << 64;
    QTest::newRow("500 slow clients") << scrape << 200 << 500;
}

void TestExporter::limits()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(int, hostile);

    store({ { "hall", "north", 3, "127.0.0.1:9", QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter);
    QVERIFY(port);

    std::vector<std::unique_ptr<QTcpSocket>> slow;
    int reopened = 0;
    const QByteArray half = "GET /metrics HTTP/1.1\r\nHost: a\r\n";
    std::function<void(int)> open = [&](int i) {
        auto socket = std::make_unique<QTcpSocket>();
        QTcpSocket *raw = socket.get();
        QObject::connect(raw, &QTcpSocket::connected, raw, [raw, i, half] {
            if (i % 4 == 1)
                raw->write(half); // half a request
        });
        QObject::connect(raw, &QTcpSocket::disconnected, raw, [&, i] {
            ++reopened;
            QTimer::singleShot(0, raw, [&, i] { open(i); });
        });
        raw->connectToHost(QHostAddress::LocalHost, port);
        if (std::size_t(i) < slow.size())
            slow[std::size_t(i)].release()->deleteLater();
        else
            slow.resize(std::size_t(i) + 1);
        slow[std::size_t(i)] = std::move(socket);
    };
    for (int i = 0; i < hostile; ++i)
        open(i);
    QTimer trickle; // a byte now and then, never the end of a request
    QObject::connect(&trickle, &QTimer::timeout, &trickle, [&] {
        for (std::size_t i = 2; i < slow.size(); i += 4)
            slow[i]->write("X");
    });
    trickle.start(200);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(slow.begin(), slow.end(),
                    [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; }),
        HangMargin);

    Scrape scrape;
    scrape.send(port, request);
    QVERIFY(QTest::qWaitFor([&] { return scrape.closed(); }, HangMargin));
    QCOMPARE(scrape.status(), status);
    QCOMPARE(scrape.header("X-Content-Type-Options"), QByteArray("nosniff"));
    QCOMPARE(scrape.received.count("HTTP/1.1 "), 1);
    trickle.stop();
    for (auto &socket : slow) {
        socket->disconnect();
        socket->abort();
    }
    QTRY_COMPARE_WITH_TIMEOUT(valueOf(own(port), "vantrel_exporter_open_connections{}"), 1.0,
                              HangMargin);
}

// The time a request has to arrive counts for each request on a kept
// connection, not once for the connection: a second request, begun after a
// pause and sent slowly, is still answered well past five seconds in.
void TestExporter::eachRequestItsOwnTime()
{
    store({});
    SimProcess exporter;
    const quint16 port = start(exporter);
    QVERIFY(port);
    Scrape kept;
    kept.send(port, "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(kept.received.count("HTTP/1.1 200"), 1, HangMargin);
    QTest::qWait(3000); // idle, within the 5 s a kept connection waits
    const QByteArray second = "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n";
    for (int part = 0; part < 3; ++part) {
        kept.socket.write(second.mid(part * 12, part == 2 ? -1 : 12));
        QTest::qWait(1200);
    }
    QTRY_COMPARE_WITH_TIMEOUT(kept.received.count("HTTP/1.1 200"), 2, HangMargin);
    QVERIFY(!kept.closed());
}

// SIGTERM: the scrape under way is answered, within its scrape timeout, a
// request that comes afterwards gets 503, and the exporter ends with 0; a
// second signal ends it at once.
void TestExporter::shutdown_data()
{
    QTest::addColumn<int>("sent");
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
}

void TestExporter::shutdown()
{
    QFETCH(int, sent);
    SimProcess slowProjector;
    QVERIFY(slowProjector.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                         { "--family", "pjlink", "--delay-ms", "1500" }));
    store({ { "slow", "north", 3, slowProjector.tcpAddress(), QString() } });
    SimProcess exporter;
    const quint16 port = start(exporter, { "--listen", "127.0.0.1:0", "--timeout", "5" });
    QVERIFY(port);
    Scrape inFlight;
    inFlight.send(port,
                  "GET /probe?target=slow HTTP/1.1\r\nHost: a\r\n"
                  "X-Prometheus-Scrape-Timeout-Seconds: 20\r\nConnection: close\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(!slowProjector.received().isEmpty(), HangMargin);
    Scrape kept; // a kept connection, to ask again after the signal
    kept.send(port, "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(kept.received.count("HTTP/1.1 200"), 1, HangMargin);

    const pid_t pid = pid_t(exporter.processId());
    QVERIFY(pid > 0);
    ::kill(pid, SIGTERM);
    // Taken once the listener is gone.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            Scrape probe;
            probe.send(port, QByteArray());
            [[maybe_unused]] const bool settled = QTest::qWaitFor(
                [&] {
                    return probe.closed()
                        || probe.socket.state() == QAbstractSocket::ConnectedState;
                },
                HangMargin);
            return probe.socket.error() == QAbstractSocket::ConnectionRefusedError;
        }(),
        HangMargin);
    if (sent == 2) {
        QVERIFY(exporter.state() == QProcess::Running);
        ::kill(pid, SIGTERM);
        QVERIFY(exporter.state() == QProcess::NotRunning || exporter.waitForFinished(HangMargin));
        QCOMPARE(exporter.exitStatus(), QProcess::CrashExit);
        return;
    }
    kept.received.clear();
    kept.socket.write("GET /probe?target=slow HTTP/1.1\r\nHost: a\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return inFlight.closed() && kept.closed(); }, HangMargin));
    // It may have ended meanwhile.
    QVERIFY(exporter.state() == QProcess::NotRunning || exporter.waitForFinished(HangMargin));
    QCOMPARE(exporter.exitStatus(), QProcess::NormalExit);
    QCOMPARE(exporter.exitCode(), 0);
    QCOMPARE(inFlight.status(), 200);
    QVERIFY(parsed(inFlight.body()).filter("vantrel_reachable{").size() == 1);
    QCOMPARE(kept.status(), 503);
}

// Without --listen: 127.0.0.1 and the documented port, and no other address,
// not even another of the loopback net.
void TestExporter::defaultBindOnLoopback()
{
    store({});
    SimProcess exporter;
    const quint16 port = start(exporter, {});
    if (!port && exporter.state() == QProcess::NotRunning && exporter.exitCode() == 69)
        QSKIP("the default port is taken on this machine");
    QCOMPARE(port, quint16(14352));
    QVERIFY(!own(port).isEmpty());
    Scrape other;
    other.send(port, "GET /metrics HTTP/1.1\r\n\r\n", QHostAddress("127.0.0.2"));
    QVERIFY(QTest::qWaitFor([&] { return other.closed(); }, HangMargin));
    QCOMPARE(other.socket.error(), QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(other.received, QByteArray());
}

// Refused before anything runs, said on stderr: a wrong use (64), and a limit
// on open files below what one projector needs (69), said plainly at the
// start rather than every projector failing later.
void TestExporter::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("files"); // the limit on open files; 0: as it is
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said");
    const QByteArray usage = "vantrelctl: ";
    QTest::newRow("a name to listen on")
        << QStringList { "exporter", "--listen", "localhost:1" } << 0 << 64 << usage;
    QTest::newRow("no port") << QStringList { "exporter", "--listen", "127.0.0.1" } << 0 << 64
                             << usage;
    QTest::newRow("IPv6 without brackets")
        << QStringList { "exporter", "--listen", "::1:80" } << 0 << 64 << usage;
    QTest::newRow("--listen elsewhere")
        << QStringList { "--all", "metrics", "--listen", "127.0.0.1:1" } << 0 << 64 << usage;
    QTest::newRow("a port") << QStringList { "exporter", "--port", "127.0.0.1:4352" } << 0 << 64
                            << usage;
    const QByteArray tooFew = "vantrelctl: the limit on open files (12) is below the ";
    QTest::newRow("too few files, the exporter")
        << QStringList { "exporter", "--listen", "127.0.0.1:0" } << 12 << 69 << tooFew;
    QTest::newRow("too few files, a fleet")
        << QStringList { "--all", "status" } << 12 << 69 << tooFew;
}

void TestExporter::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, files);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    store({ { "hall", "north", 3, "127.0.0.1:9", QString() } });
    SimProcess ctl;
    ctl.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       TestStore::runDirectory() + QStringLiteral("/config"));
    ctl.setProcessEnvironment(environment);
    if (files)
        ctl.start(QStringLiteral("/bin/sh"),
                  QStringList { "-c", QString("ulimit -n %1 && exec \"$0\" \"$@\"").arg(files),
                                VANTRELCTL_EXE_PATH }
                      + arguments);
    else
        ctl.start(QStringLiteral(VANTRELCTL_EXE_PATH), arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), exitCode);
    const QByteArray error = ctl.readAllStandardError();
    QVERIFY2(error.startsWith(said), error.constData());
}

VANTREL_TEST_MAIN(TestExporter)
#include "tst_exporter.moc"
