// vantrelctl inventory over simulated projectors, its CSV read by Python's
// csv module as a spreadsheet would read it, names that look like formulas
// included.
// ctest-properties: LABELS e2e

#include "simprocess.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int HangMargin = 30000;

} // namespace

class TestInventory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void csvAndJson_data();
    void csvAndJson();
    void usage_data();
    void usage();

private:
    void start(SimProcess &ctl, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VANTREL_PJLINK_PASSWORD"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           TestStore::runDirectory() + QStringLiteral("/config"));
        ctl.setProcessEnvironment(environment);
        ctl.start(QStringLiteral(VANTRELCTL_EXE_PATH), arguments);
    }

    std::vector<std::unique_ptr<SimProcess>> sims;
};

void TestInventory::initTestCase()
{
    QFile secret(TestStore::runDirectory() + QStringLiteral("/inventory-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("aula\n");
    secret.close();
    const struct
    {
        const char *name, *group;
        int model;
        QStringList simulator;
    } rooms[] = {
        { "=HYPERLINK(\"http://x.invalid\",\"hall\")",
          "@north",
          3,
          { "--family", "pjlink", "--pjlink-class", "2", "--lamps", "2", "--erst", "000000",
            "--password-file", secret.fileName() } },
        { "room-1", "north", 0, { "--family", "acer", "--lamp", "on", "--lamp-hours", "321" } },
        { "+room, 2", "south", 1, { "--family", "vivitek" } },
        { "gone", "", 0, {} },
    };
    QVariantMap stored { { "Projectors/size", int(std::size(rooms)) } };
    int i = 0;
    for (const auto &room : rooms) {
        const QString entry = QStringLiteral("Projectors/%1/").arg(++i);
        QString port = TestStore::runDirectory() + QStringLiteral("/ttyInventory%1").arg(i);
        if (!room.simulator.isEmpty()) {
            const bool pjlink = room.model == 3;
            sims.push_back(std::make_unique<SimProcess>());
            QVERIFY(sims.back()->startSimulator(
                QStringLiteral(PROJECTOR_SIM_PATH),
                room.simulator + (pjlink ? QStringList() : QStringList { "--link", port })));
            if (pjlink)
                port = sims.back()->tcpAddress();
        }
        stored.insert(entry + "Name", room.name);
        stored.insert(entry + "Model", room.model);
        stored.insert(entry + "Port", port);
        stored.insert(entry + "Group", room.group);
        if (room.model == 3)
            stored.insert(entry + "Password", "aula");
    }
    TestStore::seed(stored);
}

void TestInventory::csvAndJson_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("rows"); // name|group|family|make set|lamp_hours|state
    const QStringList all = {
        "'+room, 2|south|vivitek|-|1250|Lamp off",
        "'=HYPERLINK(\"http://x.invalid\",\"hall\")|'@north|pjlink|make|1250, 1251|Lamp off",
        "gone||acer|-||not present",
        "room-1|north|acer|-|321|Lamp on",
    };
    QTest::newRow("every stored one") << QStringList { "inventory" } << all;
    QTest::newRow("--all") << QStringList { "--all", "inventory" } << all;
    QTest::newRow("--group") << QStringList { "--group", "north", "inventory" }
                             << QStringList { all.at(3) };
    QTest::newRow("--projector") << QStringList { "--projector", "gone", "inventory" }
                                 << QStringList { all.at(2) };
}

void TestInventory::csvAndJson()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, rows);

    SimProcess ctl;
    start(ctl, QStringList { "--timeout", "1" } + arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 0);
    const QByteArray csv = ctl.readAllStandardOutput() + ctl.lines().join("\r\n") + "\r\n";

    QProcess python;
    python.start("/usr/bin/python3",
                 { "-c",
                   "import csv, io, json, sys\n"
                   "rows = list(csv.DictReader(io.StringIO(sys.stdin.read(), newline='')))\n"
                   "print(json.dumps(rows))\n" });
    QVERIFY(python.waitForStarted());
    python.write(csv);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(HangMargin));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QStringList seen;
    for (const QJsonValue &value : parsed) {
        const QJsonObject row = value.toObject();
        QCOMPARE(row.keys().size(), 15);
        seen << QStringList { row["name"].toString(),
                              row["group"].toString(),
                              row["family"].toString(),
                              row["make"].toString().isEmpty() ? "-" : "make",
                              row["lamp_hours"].toString(),
                              row["state"].toString() }
                    .join('|');
        QCOMPARE(row["last_answer"].toString().isEmpty(), row["name"] == "gone");
        QCOMPARE(row["info"].toString(),
                 row["family"] == "pjlink" ? QStringLiteral("projector-sim") : QString());
    }
    QCOMPARE(seen, rows);
    QCOMPARE(csv.left(csv.indexOf('\r')),
             QByteArray("name,group,family,address,make,model,serial,software,lamp_hours,"
                        "lamp_part,filter_hours,filter_part,state,last_answer,info"));

    SimProcess json;
    start(json, QStringList { "--timeout", "1", "--json" } + arguments);
    QVERIFY(json.waitForFinished(HangMargin));
    QCOMPARE(json.exitCode(), 0);
    const QJsonArray objects = QJsonDocument::fromJson(json.lines().join('\n')).array();
    QCOMPARE(objects.size(), rows.size());
    for (const QJsonValue &value : objects) {
        // JSON keeps the names as they are; the lamps as numbers.
        QVERIFY(!value["name"].toString().startsWith('\''));
        QVERIFY(value["lamp_hours"].isArray());
    }
}

void TestInventory::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("an argument") << QStringList { "inventory", "x" }
                                 << "inventory takes no arguments";
    QTest::newRow("no such projector")
        << QStringList { "--projector", "nope", "inventory" } << "there is no projector \"nope\"";
}

void TestInventory::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    SimProcess ctl;
    start(ctl, arguments);
    QVERIFY(ctl.waitForFinished(HangMargin));
    QCOMPARE(ctl.exitCode(), 64);
    QVERIFY2(QString::fromUtf8(ctl.readAllStandardError()).contains(message), qPrintable(message));
}

VANTREL_TEST_MAIN(TestInventory)
#include "tst_inventory.moc"
