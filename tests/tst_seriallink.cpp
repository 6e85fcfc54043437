#include "framing.h"
#include "linkaddress.h"
#include "portenumeration.h"
#include "portloss.h"
#include "power.h"
#include "projectorlink.h"
#include "rfc2217transport.h"
#include "rig.h"
#include "serialline.h"
#include "serialserver.h"
#include "telnetcodec.h"
#include "testmain.h"
#include "vivitek.h"

#include <QDir>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// With this variable set the binary is the other process of the "port in use"
// case: it holds the named port until its standard input closes.
constexpr char HoldPortVariable[] = "VANTREL_TEST_HOLD_PORT";

void holdPortIfAsked()
{
    const QByteArray port = qgetenv(HoldPortVariable);
    if (port.isEmpty())
        return;
    int argc = 1;
    char name[] = "portholder";
    char *argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    // As the window and vantrelctl hold a port.
    QSerialPort serial;
    if (!SerialLine::open(serial, QString::fromLocal8Bit(port), 0).isOpen()
        || ::write(STDOUT_FILENO, "held\n", 5) != 5)
        std::_Exit(1);
    for (char byte; ::read(STDIN_FILENO, &byte, 1) > 0;) { }
    serial.close();
    std::_Exit(0);
}

void storePort(const QString &port)
{
    TestStore::seed({ { QStringLiteral("ComPort"), port }, { QStringLiteral("Model"), 0 } });
    PortEnumeration::setLister(
        [port] { return port.isEmpty() ? QStringList() : QStringList(port); });
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(holdPortIfAsked)

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void commandGoesOutAt8N1_data();
    void commandGoesOutAt8N1();
    void failedOpenSendsNothing_data();
    void failedOpenSendsNothing();
    void lostDeviceClosesThePortOnce();
    void networkLineSameBytes_data();
    void networkLineSameBytes();
    void repliesReadWhenTheyArrive_data();
    void repliesReadWhenTheyArrive();
    void networkFloodWaitsForTheTick();
    void vivitekStateQueryAtTheProjectorsPace();
    void networkReconnects_data();
    void networkReconnects();
    void addresses_data();
    void addresses();
    void telnetCommandsNeverReachData_data();
    void telnetCommandsNeverReachData();
    void rfc2217SetsTheWholeLine_data();
    void rfc2217SetsTheWholeLine();
    void negotiationFloodIsDropped_data();
    void negotiationFloodIsDropped();
    void networkBurstArrivesWhole();
};

void TestSerialLink::commandGoesOutAt8N1_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("Acer, lamp poll of 10 bytes") << 0 << 9600 << QByteArray("* 0 Lamp ?");
    QTest::newRow("Vivitek") << 1 << 9600 << QByteArray("V99G0007");
    QTest::newRow("InFocus") << 2 << 19200 << QByteArray("(CST)");
    QTest::newRow("bad stored family, empty command") << 7 << 9600 << QByteArray();
}

void TestSerialLink::commandGoesOutAt8N1()
{
    QFETCH(int, model);
    QFETCH(qint32, baud);
    QFETCH(QByteArray, command);
    Rig rig(model);
    BoxAnswerer noBox;
    const NullModem::LineSettings line = rig.modem.lineSettings();
    QVERIFY(line.valid && !line.rtsCts && !line.xonXoff);
    QCOMPARE(line.inputBaud, baud);
    QCOMPARE(line.outputBaud, baud);
    QCOMPARE(line.stopBits, QSerialPort::OneStop);
    QCOMPARE(line.flowControl, QSerialPort::NoFlowControl);
    // A pty keeps 8 data bits and no parity whatever is asked; the port tells.
    QCOMPARE(VantrelProbe::serialPort(rig.window()).serialDevice()->dataBits(), QSerialPort::Data8);
    QCOMPARE(VantrelProbe::serialPort(rig.window()).serialDevice()->parity(),
             QSerialPort::NoParity);

    // A stored number that names no family shows as "???", at Acer's speed.
    QCOMPARE(VantrelProbe::portStatus(rig.window()),
             QString("Connected to %1 (%2, %3 baud)")
                 .arg(rig.modem.portName(),
                      QStringList { "Acer", "Vivitek", "InFocus" }.value(model, "???"),
                      QString::number(baud)));

    VantrelProbe::sendCommand(rig.window(), command);
    QCOMPARE(VantrelProbe::lastCommand(rig.window()), QString::fromLatin1(command));
    QCOMPARE(rig.sent(), command + '\r');
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::failedOpenSendsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status"); // the status bar, after the port's name
    QTest::newRow("no such port") << "missing"
                                  << ": not present";
    QTest::newRow("empty name") << "empty"
                                << "No serial port chosen: choose one in File > Settings";
    QTest::newRow("held by another process") << "held"
                                             << ": in use by another program";
    QTest::newRow("held by another process through another path") << "held elsewhere"
                                                                  << ": in use by another program";
    // pyserial's exclusive mode takes a flock() on the device.
    QTest::newRow("held with flock() by another program") << "flock"
                                                          << ": in use by another program";
    QTest::newRow("no terminal") << "file"
                                 << ": cannot be opened (";
    QTest::newRow("network: connection refused") << "refused"
                                                 << ": connection refused";
    // The reserved domain: no query for it leaves the machine.
    QTest::newRow("network: host not found") << "no host"
                                             << ": host not found";
    QTest::newRow("network: no port in the address") << "bad address"
                                                     << ": not a valid address: no port";
    // As a serial server does while another client holds its line.
    QTest::newRow("network: accepted, then closed at once") << "closes"
                                                            << ": connection lost";
}

void TestSerialLink::failedOpenSendsNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, status);
    NullModem modem(QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttyHeld")));
    const bool held = fault.startsWith(QLatin1String("held")) || fault == QLatin1String("flock");
    QHash<QString, QString> ports = {
        { "empty", QString() },
        { "file", QCoreApplication::applicationFilePath() },
        { "refused", QStringLiteral("tcp://127.0.0.1:%1").arg(SerialServer::closedPort()) },
        { "no host", QStringLiteral("rfc2217://projector.invalid:2217") },
        { "bad address", QStringLiteral("tcp://127.0.0.1") },
    };
    QTcpServer closer;
    if (fault == QLatin1String("closes")) {
        QVERIFY(closer.listen(QHostAddress::LocalHost));
        QObject::connect(&closer, &QTcpServer::newConnection, [&closer] {
            while (QTcpSocket *client = closer.nextPendingConnection())
                client->close();
        });
        ports.insert(fault, QStringLiteral("tcp://127.0.0.1:%1").arg(closer.serverPort()));
    }
    const QString port
        = held ? modem.portName() : ports.value(fault, TestStore::runDirectory() + "/ttyNowhere");

    QProcess holder;
    auto stopHolder
        = qScopeGuard([&holder] { holder.closeWriteChannel(), holder.waitForFinished(); });
    if (fault == QLatin1String("flock")) {
        holder.start(QStringLiteral("/usr/bin/python3"),
                     { "-c",
                       "import serial, sys\n"
                       "s = serial.Serial(sys.argv[1], exclusive=True)\n"
                       "print('held', flush=True)\n"
                       "sys.stdin.read()\n",
                       modem.slavePath() });
    } else if (held) {
        qputenv(HoldPortVariable,
                (fault == QLatin1String("held") ? port : modem.slavePath()).toLocal8Bit());
        holder.start(QCoreApplication::applicationFilePath(), QStringList());
        qunsetenv(HoldPortVariable);
    }
    if (held) {
        while (!holder.canReadLine())
            QVERIFY2(holder.waitForReadyRead(), qPrintable(holder.readAllStandardError()));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
    }

    storePort(port);
    BoxAnswerer noBox;
    Vantrel w;
    // A network address fails from the event loop.
    QTRY_VERIFY(!VantrelProbe::serialPort(w).isOpening());
    QVERIFY(!VantrelProbe::serialPort(w).isOpen());
    const auto logText = [&w] { return VantrelProbe::ui(w).textEdit->toPlainText(); };
    const QString log = logText();
    QCOMPARE(log,
             QStringLiteral("Opening port ") + port
                 + QStringLiteral("\nFailed to initialize serial port!\n"
                                  "Communication with projector not possible.\n"));

    QVERIFY2(VantrelProbe::portStatus(w).startsWith(port + status),
             qPrintable(VantrelProbe::portStatus(w)));

    VantrelProbe::ui(w).debugCheckBox->setChecked(true);
    VantrelProbe::invoke(w, "OnTimer"); // the first tick polls, and tries the port again
    VantrelProbe::ui(w).up->click();
    QCOMPARE(modem.expectSilence(300), QByteArray());
    QCOMPARE(VantrelProbe::lastCommand(w), QString());
    QCOMPARE(logText(), log);
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::lostDeviceClosesThePortOnce()
{
    const QString link = QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttyLost"));
    auto modem = std::make_unique<NullModem>(link);
    QVERIFY(modem->isOpen());
    storePort(link);
    BoxAnswerer noBox;
    Vantrel w; // its timer runs: the close must come within one tick
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    const auto logText = [&ui] { return ui.textEdit->toPlainText(); };
    ProjectorLink &port = VantrelProbe::serialPort(w);
    QVERIFY(port.isOpen());
    ui.debugCheckBox->setChecked(true);
    QSignalSpy errors(port.serialDevice(), &QSerialPort::errorOccurred);
    QSignalSpy ticks(&VantrelProbe::pollTimer(w), &QTimer::timeout);

    // The errors Qt repeats while a dead port stays open; the tries to open
    // it again at each poll report others.
    const auto deviceErrors = [&errors] {
        int count = 0;
        for (const QList<QVariant> &error : errors)
            count += PortLoss::meansDeviceGone(error.at(0).value<QSerialPort::SerialPortError>());
        return count;
    };
    modem->unplug();
    QTRY_VERIFY(!port.isOpen());
    QVERIFY2(ticks.count() <= 1, qPrintable(QString::number(ticks.count())));
    const int errorsAtClose = deviceErrors();
    QVERIFY2(errorsAtClose >= 1 && errorsAtClose <= 100,
             qPrintable(QString::number(errorsAtClose)));

    // Qt repeats the error as long as a dead port stays open; closed, the process idles.
    const std::clock_t cpuBefore = std::clock();
    QTest::qWait(1000);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY2(cpuSeconds < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpuSeconds)));
    QCOMPARE(deviceErrors(), errorsAtClose);
    QCOMPARE(logText().count(QStringLiteral("Lost serial port ") + link), 1);

    // Like any closed port: sends go nowhere, quietly.
    const QString lastCommand = VantrelProbe::lastCommand(w);
    const QString logBefore = logText();
    ui.up->click();
    QVERIFY(noBox.waitDone());
    QCOMPARE(VantrelProbe::lastCommand(w), lastCommand);
    QCOMPARE(logText(), logBefore);

    // The adapter comes back under the same name; Ok in the settings reopens it.
    modem = std::make_unique<NullModem>(link);
    DialogDriver settings([](QDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
    });
    ui.actionSettings->trigger();
    QVERIFY(settings.waitDone());
    QVERIFY(logText().endsWith(QStringLiteral("Opening port ") + link
                               + QStringLiteral("\nSerial port successfully opened!\n")));
    VantrelProbe::pollTimer(w).stop();
    modem->drain();
    ui.up->click();
    QCOMPARE(modem->readBytes(11), QByteArray("* 0 IR 009\r"));
}

namespace {

// Runs ticks, as the timer would, until done; the network needs real time
// between them.
bool tickUntil(Rig &rig, const std::function<bool()> &done)
{
    return QTest::qWaitFor(
        [&] {
            rig.tick();
            return done();
        },
        20000);
}

} // namespace

void TestSerialLink::networkLineSameBytes_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QByteArray>("reply"); // the lamp on
    QTest::addColumn<QByteArray>("end"); // of a reply
    for (const bool telnet : { false, true }) {
        const char *kind = telnet ? "RFC 2217" : "raw TCP";
        QTest::addRow("Acer, %s", kind)
            << 0 << telnet << QByteArray("Lamp 1\r") << QByteArray("\r");
        QTest::addRow("Vivitek, %s", kind) << 1 << telnet << QByteArray("P1\r") << QByteArray("\r");
        QTest::addRow("InFocus, %s", kind)
            << 2 << telnet << QByteArray("(0-3,1)") << QByteArray(")");
    }
}

// ser2net in front of the null-modem: the far end sees what a serial port
// would carry, and what it answers works as it would over one.
void TestSerialLink::networkLineSameBytes()
{
    QFETCH(int, model);
    QFETCH(bool, telnet);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, end);

    std::unique_ptr<SerialServer> server;
    QString address;
    BoxAnswerer noBox;
    Rig rig(model, true, [&](NullModem &modem) {
        server = std::make_unique<SerialServer>(modem.slavePath());
        if (server->start())
            address = telnet ? server->rfc2217Address() : server->rawAddress();
        return address;
    });
    QVERIFY2(!address.isEmpty(), qPrintable(server->errorString()));
    ProjectorLink &link = VantrelProbe::serialPort(rig.window());
    QTRY_VERIFY(link.isOpen());
    // The log names what was reached; no serial port was opened here.
    QVERIFY2(rig.log().contains("Connected to " + address + '\n')
                 && !rig.log().contains("Serial port"),
             qPrintable(rig.log()));
    const int baud = model == 2 ? 19200 : 9600;
    QCOMPARE(VantrelProbe::portStatus(rig.window()),
             QString(telnet ? "Connected to %1 (%2, %3 baud)" : "Connected to %1 (%2)")
                 .arg(address, QStringList { "Acer", "Vivitek", "InFocus" }.at(model))
                 .arg(baud));
    if (telnet) {
        // The server set the far line as the family needs it.
        const NullModem::LineSettings line = rig.modem.lineSettings();
        QCOMPARE(line.outputBaud, baud);
        QCOMPARE(line.inputBaud, baud);
        QVERIFY(!line.rtsCts && !line.xonXoff);
    }

    // Opened after the first tick, it polls at once.
    const QByteArray poll = Power::pollCommand(model) + '\r';
    QCOMPARE(rig.modem.readBytes(poll.size()), poll);
    QVERIFY(rig.modem.write(reply));
    QVERIFY(tickUntil(rig, [&] {
        return rig.showsContact() && (model == 2 || rig.boxColour() == Rig::LampOnColour);
    }));

    // 0xFF both ways, once on the serial line whatever the telnet escaping.
    rig.sent();
    const QByteArray command("\xff\x01*\xff", 4);
    VantrelProbe::sendCommand(rig.window(), command);
    QCOMPARE(rig.sent(), command + '\r');
    QVERIFY(rig.modem.write("\xff" + end));
    const QString echo = "> ff " + end.toHex() + ' ';
    QVERIFY(tickUntil(rig, [&] { return rig.log().contains(echo); }));
    QVERIFY2(!rig.log().contains("ff ff"), qPrintable(rig.log()));
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::repliesReadWhenTheyArrive_data()
{
    QTest::addColumn<QString>("line"); // "raw", "rfc2217", or "pty" for a local port
    QTest::newRow("raw TCP: read at once") << "raw";
    QTest::newRow("RFC 2217: read at once") << "rfc2217";
    QTest::newRow("local serial port: read on the tick") << "pty";
}

// A reply over a network serial server is dispatched when it arrives, with
// no tick; one on a local serial port waits for the tick, as it always did.
void TestSerialLink::repliesReadWhenTheyArrive()
{
    QFETCH(QString, line);
    const bool network = line != QLatin1String("pty");
    std::unique_ptr<SerialServer> server;
    QString address;
    BoxAnswerer noBox;
    Rig rig(0, true, [&](NullModem &modem) {
        if (!network)
            return address = modem.portName();
        server = std::make_unique<SerialServer>(modem.slavePath());
        if (server->start())
            address
                = line == QLatin1String("raw") ? server->rawAddress() : server->rfc2217Address();
        return address;
    });
    QVERIFY2(!address.isEmpty(), qPrintable(server ? server->errorString() : QString()));
    ProjectorLink &link = VantrelProbe::serialPort(rig.window());
    QTRY_VERIFY(link.isOpen());
    if (!network)
        rig.tick(); // the first tick polls a local port
    const QByteArray poll("* 0 Lamp ?\r");
    QCOMPARE(rig.modem.readBytes(poll.size()), poll);
    rig.clearLog();
    const qint64 ticks = VantrelProbe::tickCount(rig.window());

    // Two replies in one piece, the second split: both lines are dispatched,
    // the half one completed when its end comes.
    QVERIFY(rig.modem.write("Lamp 0\r\nLa"));
    if (network) {
        QTRY_VERIFY(rig.log().contains("-> Lamp 0\n"));
        QVERIFY(rig.showsContact());
        QCOMPARE(rig.boxColour(), Rig::LampOffColour);
        QVERIFY(rig.modem.write("mp 1\r"));
        QTRY_COMPARE(rig.boxColour(), Rig::LampOnColour);
        QCOMPARE(VantrelProbe::tickCount(rig.window()), ticks);
        const QString log = rig.log();
        QVERIFY2(log.indexOf("-> Lamp 0\n") < log.indexOf("-> Lamp 1\n"), qPrintable(log));
        QVERIFY(noBox.waitDone());
        return;
    }
    // The bytes reach the port, and stay unread until the tick.
    QTRY_VERIFY(link.bytesAvailable() >= 10);
    QVERIFY2(!rig.log().contains("->"), qPrintable(rig.log()));
    QVERIFY(!rig.showsContact());
    rig.tick();
    QVERIFY2(rig.log().contains("-> Lamp 0\n"), qPrintable(rig.log()));
    QVERIFY(rig.showsContact());
    QVERIFY(noBox.waitDone());
}

// Read as it arrives, a flood still cannot fill the log faster than the tick
// would: between two ticks no more than a tick's worth of input is read, and
// the tick drops what waits beyond it.
void TestSerialLink::networkFloodWaitsForTheTick()
{
    std::unique_ptr<SerialServer> server;
    QString address;
    BoxAnswerer noBox;
    Rig rig(0, true, [&](NullModem &modem) {
        server = std::make_unique<SerialServer>(modem.slavePath());
        if (server->start())
            address = server->rawAddress();
        return address;
    });
    QVERIFY2(!address.isEmpty(), qPrintable(server->errorString()));
    ProjectorLink &link = VantrelProbe::serialPort(rig.window());
    QTRY_VERIFY(link.isOpen());
    QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    rig.clearLog();

    const QByteArray reply("Lamp 1\r");
    const QByteArray flood = reply.repeated(4 * Framing::MaxUnreadInput / reply.size());
    QVERIFY(rig.modem.write(flood));
    QTRY_COMPARE(link.bytesAvailable(), qint64(flood.size() - Framing::MaxUnreadInput));
    QCOMPARE(rig.log().count("-> Lamp 1\n"), Framing::MaxUnreadInput / reply.size());
    rig.tick();
    QCOMPARE(link.bytesAvailable(), qint64(0));
    QVERIFY(noBox.waitDone());
}

// Each state query waits for the last answer: over the network the whole
// round goes out and is answered without a single tick.
void TestSerialLink::vivitekStateQueryAtTheProjectorsPace()
{
    std::unique_ptr<SerialServer> server;
    QString address;
    BoxAnswerer noBox;
    Rig rig(1, false, [&](NullModem &modem) {
        server = std::make_unique<SerialServer>(modem.slavePath());
        if (server->start())
            address = server->rawAddress();
        return address;
    });
    QVERIFY2(!address.isEmpty(), qPrintable(server->errorString()));
    QTRY_VERIFY(VantrelProbe::serialPort(rig.window()).isOpen());
    const qint64 ticks = VantrelProbe::tickCount(rig.window());
    QCOMPARE(rig.modem.readBytes(9), QByteArray("V99G0007\r"));
    QVERIFY(rig.modem.write("P1\r"));
    for (const QString &query : Vivitek::stateQueries()) {
        QCOMPARE(rig.modem.readBytes(9), query.toLatin1() + '\r');
        QVERIFY(rig.modem.write("P0\r"));
    }
    QTRY_VERIFY(VantrelProbe::pendingQueries(rig.window()).isEmpty());
    QCOMPARE(VantrelProbe::tickCount(rig.window()), ticks);
    QCOMPARE(rig.boxColour(), Rig::LampOnColour);
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::networkReconnects_data()
{
    QTest::addColumn<bool>("telnet");
    QTest::newRow("raw TCP") << false;
    QTest::newRow("RFC 2217") << true;
}

// The server goes away and comes back: one log line for each change, and
// polling goes on by itself.
void TestSerialLink::networkReconnects()
{
    QFETCH(bool, telnet);
    std::unique_ptr<SerialServer> server;
    QString address;
    BoxAnswerer noBox;
    Rig rig(0, false, [&](NullModem &modem) {
        server = std::make_unique<SerialServer>(modem.slavePath());
        if (server->start())
            address = telnet ? server->rfc2217Address() : server->rawAddress();
        return address;
    });
    QVERIFY2(!address.isEmpty(), qPrintable(server->errorString()));
    ProjectorLink &link = VantrelProbe::serialPort(rig.window());
    QTRY_VERIFY(link.isOpen());
    const QString status = VantrelProbe::portStatus(rig.window());
    const QString lost = address + ": connection lost";
    const QString refused = address + ": connection refused";
    rig.clearLog();

    server->stop();
    QTRY_VERIFY(!link.isOpen());
    QCOMPARE(VantrelProbe::portStatus(rig.window()), lost);
    // Polls go by, each trying again, each refused: said once.
    QVERIFY(tickUntil(rig, [&] { return VantrelProbe::portStatus(rig.window()) == refused; }));
    rig.tick(2 * PollClock::PollEvery);
    QCoreApplication::processEvents();
    QCOMPARE(rig.log(), lost + '\n' + refused + '\n');

    rig.modem.drain(0);
    QVERIFY2(server->start(), qPrintable(server->errorString()));
    QVERIFY(tickUntil(rig, [&] { return link.isOpen(); }));
    QCOMPARE(VantrelProbe::portStatus(rig.window()), status);
    QCOMPARE(rig.log(), lost + '\n' + refused + '\n' + status + '\n');
    QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind"); // -1: not a valid address
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    const int serial = int(LinkAddress::Kind::Serial);
    const int tcp = int(LinkAddress::Kind::Tcp);
    const int telnet = int(LinkAddress::Kind::Rfc2217);
    QTest::newRow("device name") << "ttyUSB0" << serial << "" << 0;
    QTest::newRow("path that looks like an address")
        << "/tmp/tcp://x.invalid:1" << serial << "" << 0;
    QTest::newRow("Windows port") << "COM3" << serial << "" << 0;
    QTest::newRow("IPv4") << "tcp://192.0.2.1:4001" << tcp << "192.0.2.1" << 4001;
    QTest::newRow("name, upper-case scheme")
        << "RFC2217://nport-7.invalid:950" << telnet << "nport-7.invalid" << 950;
    QTest::newRow("IPv6 in brackets") << "rfc2217://[::1]:2217" << telnet << "::1" << 2217;
    QTest::newRow("IPv6 with a zone") << "tcp://[fe80::1%eth0]:1" << tcp << "fe80::1%eth0" << 1;
    QTest::newRow("IPv6 without brackets") << "tcp://::1:2217" << -1 << "" << 0;
    QTest::newRow("no port") << "tcp://host" << -1 << "" << 0;
    QTest::newRow("port 0") << "tcp://host:0" << -1 << "" << 0;
    QTest::newRow("port too big") << "tcp://host:65536" << -1 << "" << 0;
    QTest::newRow("signed port") << "tcp://host:+80" << -1 << "" << 0;
    QTest::newRow("a path after it") << "tcp://host:80/x" << -1 << "" << 0;
    QTest::newRow("unknown scheme") << "ssh://host:22" << -1 << "" << 0;
    QTest::newRow("unclosed bracket") << "tcp://[::1:22" << -1 << "" << 0;
    QTest::newRow("empty host") << "tcp://:22" << -1 << "" << 0;
}

void TestSerialLink::addresses()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    const LinkAddress address = LinkAddress::parse(text);
    QVERIFY2(address.isValid() == (kind >= 0), qPrintable(address.error()));
    if (kind < 0)
        return;
    QCOMPARE(int(address.kind()), kind);
    QCOMPARE(address.host(), host);
    QCOMPARE(int(address.port()), port);
    QCOMPARE(address.text(), text);
}

void TestSerialLink::telnetCommandsNeverReachData_data()
{
    QTest::addColumn<QByteArrayList>("reads"); // from the server, as they arrive
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("0xFF doubled, split between reads") << QByteArrayList { "a\xff",
                                                                           "\xff"
                                                                           "b" }
                                                       << QByteArray("a\xff"
                                                                     "b")
                                                       << QByteArray();
    QTest::newRow("NOP, AYT, go ahead, data mark")
        << QByteArrayList { "x\xff\xf1y\xff\xf6\xff\xf9\xff\xf2z" } << QByteArray("xyz")
        << QByteArray();
    QTest::newRow("a command split between reads")
        << QByteArrayList { "x\xff", "\xf1", "y" } << QByteArray("xy") << QByteArray();
    QTest::newRow("echo offered") << QByteArrayList { "\xff\xfb\x01" } << QByteArray()
                                  << QByteArray("\xff\xfe\x01");
    QTest::newRow("window size asked for")
        << QByteArrayList { "\xff\xfd\x1f" } << QByteArray() << QByteArray("\xff\xfc\x1f");
    QTest::newRow("suppress go ahead offered") << QByteArrayList { "\xff\xfb\x03", "\xff\xfb\x03" }
                                               << QByteArray() << QByteArray("\xff\xfd\x03");
    QTest::newRow("binary agreed: no answer")
        << QByteArrayList { "\xff\xfb\x00\xff\xfd\x00" } << QByteArray() << QByteArray();
    QTest::newRow("another option's subnegotiation, 0xFF inside")
        << QByteArrayList { "a\xff\xfa\x18\x01\xff\xff\xff",
                            "\xf0"
                            "b" }
        << QByteArray("ab") << QByteArray();
    QTest::newRow("COM port notices")
        << QByteArrayList { QByteArray("\xff\xfa\x2c\x6b\x00\xff\xf0\r", 8) } << QByteArray("\r")
        << QByteArray();
}

// What a server sends besides data is answered or dropped; the data is
// exactly what the serial line carried.
void TestSerialLink::telnetCommandsNeverReachData()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, answer);
    TelnetCodec codec(9600);
    codec.greeting();
    QByteArray received;
    QByteArray answered;
    for (const QByteArray &read : reads)
        answered += codec.receive(read, &received);
    QCOMPARE(received.toHex(' '), data.toHex(' '));
    QCOMPARE(answered.toHex(' '), answer.toHex(' '));
    QCOMPARE(codec.state(), TelnetCodec::State::Negotiating);
}

namespace {

QByteArray telnet(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int byte : bytes)
        out += char(byte);
    return out;
}

// The COM port settings in what a client sent: code, value.
QMap<int, QByteArray> comPortSettings(const QByteArray &sent)
{
    QMap<int, QByteArray> settings;
    const QByteArray start
        = telnet({ TelnetCodec::Iac, TelnetCodec::Sb, TelnetCodec::ComPortOption });
    const QByteArray end = telnet({ TelnetCodec::Iac, TelnetCodec::Se });
    for (int at = sent.indexOf(start); at >= 0; at = sent.indexOf(start, at + 1)) {
        const int close = sent.indexOf(end, at);
        if (close < 0)
            break;
        const QByteArray payload = sent.mid(at + start.size(), close - at - start.size());
        settings.insert(static_cast<unsigned char>(payload.at(0)), payload.mid(1));
    }
    return settings;
}

// A server's confirmation of one setting.
QByteArray confirmation(int code, const QByteArray &value)
{
    return telnet({ TelnetCodec::Iac, TelnetCodec::Sb, TelnetCodec::ComPortOption,
                    code + TelnetCodec::ServerOffset })
        + value + telnet({ TelnetCodec::Iac, TelnetCodec::Se });
}

} // namespace

void TestSerialLink::rfc2217SetsTheWholeLine_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("confirmedCode"); // the setting the server confirms otherwise; 0: none
    QTest::addColumn<QByteArray>("confirmedValue");
    QTest::newRow("9600, all confirmed") << 9600 << 0 << QByteArray();
    QTest::newRow("19200, all confirmed") << 19200 << 0 << QByteArray();
    QTest::newRow("7 data bits confirmed") << 9600 << 2 << QByteArray(1, 7);
    QTest::newRow("even parity confirmed") << 9600 << 3 << QByteArray(1, 3);
    QTest::newRow("2 stop bits confirmed") << 9600 << 4 << QByteArray(1, 2);
}

// The client asks for the speed and 8N1 without flow control, and holds the
// line for agreed only once the server confirmed all of the four.
void TestSerialLink::rfc2217SetsTheWholeLine()
{
    QFETCH(int, baud);
    QFETCH(int, confirmedCode);
    QFETCH(QByteArray, confirmedValue);
    TelnetCodec codec(baud);
    codec.greeting();
    QByteArray data;
    const QByteArray sent
        = codec.receive(telnet({ TelnetCodec::Iac, TelnetCodec::Will, TelnetCodec::ComPortOption,
                                 TelnetCodec::Iac, TelnetCodec::Do, TelnetCodec::ComPortOption }),
                        &data);
    const QMap<int, QByteArray> settings = comPortSettings(sent);
    const QByteArray rate
        = telnet({ baud >> 24, (baud >> 16) & 0xff, (baud >> 8) & 0xff, baud & 0xff });
    QCOMPARE(settings.value(1).toHex(' '), rate.toHex(' '));
    QCOMPARE(settings.value(2).toHex(' '), QByteArray("08"));
    QCOMPARE(settings.value(3).toHex(' '), QByteArray("01"));
    QCOMPARE(settings.value(4).toHex(' '), QByteArray("01"));
    QCOMPARE(settings.value(5).toHex(' '), QByteArray("01"));

    QByteArray confirmations;
    for (int code = 1; code <= 4; ++code)
        confirmations
            += confirmation(code, code == confirmedCode ? confirmedValue : settings.value(code));
    codec.receive(confirmations.left(confirmations.size() - 1), &data);
    // The last one is not whole yet: agreed only with it.
    QCOMPARE(codec.state(),
             confirmedCode && confirmedCode < 4 ? TelnetCodec::State::Refused
                                                : TelnetCodec::State::Negotiating);
    codec.receive(confirmations.right(1), &data);
    QCOMPARE(codec.state(),
             confirmedCode ? TelnetCodec::State::Refused : TelnetCodec::State::Agreed);
    QCOMPARE(data, QByteArray());
}

// A server that agrees, then asks and asks and reads none of the answers:
// what waits for it stays bounded, and the link is dropped with a reason.
void TestSerialLink::negotiationFloodIsDropped_data()
{
    QTest::addColumn<bool>("agreed"); // the line was set up before the flood
    QTest::newRow("while the line is set up") << false;
    QTest::newRow("once it is open") << true;
}

void TestSerialLink::negotiationFloodIsDropped()
{
    QFETCH(bool, agreed);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // Small queues on the server's side, so its unread answers pile up at
    // the client soon.
    const int small = 4096;
    QCOMPARE(
        ::setsockopt(int(server.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small),
        0);
    ProjectorLink link;
    QSignalSpy lost(&link, &ProjectorLink::lost);
    QSignalSpy failed(&link, &ProjectorLink::failed);
    link.connectTo(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()), 0);
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    QVERIFY(peer);
    if (agreed) {
        peer->write(telnet({ TelnetCodec::Iac, TelnetCodec::Will, TelnetCodec::ComPortOption,
                             TelnetCodec::Iac, TelnetCodec::Do, TelnetCodec::ComPortOption }));
        // The settings are confirmed once asked for, not before.
        QByteArray asked;
        QTRY_VERIFY((asked += peer->readAll()).count(char(TelnetCodec::Se)) >= 5);
        peer->write(confirmation(1, telnet({ 0, 0, 0x25, 0x80 }))
                    + confirmation(2, QByteArray(1, 8)) + confirmation(3, QByteArray(1, 1))
                    + confirmation(4, QByteArray(1, 1)));
        QTRY_VERIFY(link.isOpen());
    }

    // Offers of an option nobody wants, each answered with a refusal.
    const QByteArray offers
        = telnet({ TelnetCodec::Iac, TelnetCodec::Will, 99 }).repeated(64 * 1024 / 3);
    qint64 flooded = 0;
    qint64 mostUnsent = 0;
    constexpr qint64 FloodCap = qint64(64) * 1024 * 1024;
    const auto flood = [&] {
        mostUnsent = qMax(mostUnsent, link.bytesToWrite());
        while ((link.isOpen() || link.isOpening())
               && peer->state() == QAbstractSocket::ConnectedState
               && peer->bytesToWrite() < offers.size() && flooded < FloodCap)
            flooded += peer->write(offers);
    };
    QObject::connect(peer, &QTcpSocket::bytesWritten, flood);
    flood();
    QSignalSpy &told = agreed ? lost : failed;
    QTRY_VERIFY_WITH_TIMEOUT(told.count() == 1, 10000);
    QCOMPARE(link.problem(),
             agreed ? PortStatus::Problem::ConnectionLost
                    : PortStatus::Problem::LineSettingsRefused);
    QVERIFY(!link.problemDetail().isEmpty());
    QVERIFY2(mostUnsent <= Rfc2217Transport::MaxUnreadAnswers,
             qPrintable(QString::number(mostUnsent)));
    QVERIFY(flooded < FloodCap);
    // Closed once, and closed for good.
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(lost.count() + failed.count(), 1);
}

// More than the read buffer holds, at once through ser2net: all of it comes,
// without more traffic to push it along.
void TestSerialLink::networkBurstArrivesWhole()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    SerialServer server(modem.slavePath());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    ProjectorLink link;
    link.setReadBufferSize(Framing::PortReadBuffer);
    link.connectTo(server.rawAddress(), 0);
    QVERIFY(link.waitForOpened(5000));

    QByteArray burst;
    for (int i = 0; burst.size() < 4 * Framing::PortReadBuffer; ++i)
        burst += "Lamp " + QByteArray::number(i) + '\r';
    QVERIFY(modem.write(burst));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += link.readAll()).size() >= burst.size(), 10000);
    QCOMPARE(received.size(), burst.size());
    QVERIFY(received == burst);
}

VANTREL_TEST_MAIN(TestSerialLink)

#include "tst_seriallink.moc"
