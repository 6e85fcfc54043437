#include "boxanswerer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// With this variable set the program is not the test but the other process of
// the "port in use" case: it holds the named port through its own
// QSerialPort until its standard input closes.
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
    QSerialPort serial(QString::fromLocal8Bit(port));
    if (!serial.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot hold %s: %s\n", port.constData(),
                     qPrintable(serial.errorString()));
        std::_Exit(1);
    }
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) { }
    serial.close();
    std::_Exit(0);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(holdPortIfAsked)

namespace {

void storePort(const QString &port, int model)
{
    TestStore::seed({ { QStringLiteral("ComPort"), port }, { QStringLiteral("Model"), model } });
    PortEnumeration::setLister(
        [port] { return port.isEmpty() ? QStringList() : QStringList(port); });
}

QString logText(Vantrel &w)
{
    return VantrelProbe::ui(w).textEdit->toPlainText();
}

double processCpuSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void commandGoesOutWithCarriageReturn_data();
    void commandGoesOutWithCarriageReturn();
    void nothingGoesOutWhileClosed();
    void lineParameters_data();
    void lineParameters();
    void openOutcomesAreLogged_data();
    void openOutcomesAreLogged();
    void lostDeviceClosesThePortOnce();
};

void TestSerialLink::init()
{
    TestStore::clear();
    PortEnumeration::setLister({});
}

void TestSerialLink::commandGoesOutWithCarriageReturn_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("lamp poll, 10 bytes") << QByteArray("* 0 Lamp ?") << QByteArray("* 0 Lamp ?\r");
    QTest::newRow("InFocus status") << QByteArray("(CST)") << QByteArray("(CST)\r");
    QTest::newRow("empty command") << QByteArray() << QByteArray("\r");
}

void TestSerialLink::commandGoesOutWithCarriageReturn()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, wire);
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    storePort(modem.portName(), 0);
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();
    BoxAnswerer noBox;

    VantrelProbe::sendCommand(w, command);
    QCOMPARE(modem.readBytes(wire.size()), wire);
    QCOMPARE(modem.expectSilence(200), QByteArray());
    QCOMPARE(VantrelProbe::lastCommand(w), QString::fromLatin1(command));
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::nothingGoesOutWhileClosed()
{
    NullModem modem;
    storePort(modem.portName(), 0);
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    ui.debugCheckBox->setChecked(true);
    VantrelProbe::sendCommand(w, "* 0 Lamp ?");
    QCOMPARE(modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));

    VantrelProbe::serialPort(w).close();
    const QString logBefore = logText(w);
    BoxAnswerer noBox;
    ui.up->click();
    VantrelProbe::invoke(w, "OnTimer"); // the first tick polls
    VantrelProbe::sendCommand(w, "(CST)");

    QCOMPARE(modem.expectSilence(300), QByteArray());
    QCOMPARE(VantrelProbe::lastCommand(w), QStringLiteral("* 0 Lamp ?"));
    QCOMPARE(logText(w), logBefore);
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::lineParameters_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<qint32>("baud");

    QTest::newRow("Acer") << 0 << 9600;
    QTest::newRow("Vivitek") << 1 << 9600;
    QTest::newRow("InFocus") << 2 << 19200;
    QTest::newRow("bad stored model") << 7 << 9600;
}

void TestSerialLink::lineParameters()
{
    QFETCH(int, model);
    QFETCH(qint32, baud);
    NullModem modem;
    storePort(modem.portName(), model);
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();

    const NullModem::LineSettings line = modem.lineSettings();
    QVERIFY(line.valid);
    QCOMPARE(line.inputBaud, baud);
    QCOMPARE(line.outputBaud, baud);
    QCOMPARE(line.stopBits, QSerialPort::OneStop);
    QCOMPARE(line.flowControl, QSerialPort::NoFlowControl);
    QVERIFY(!line.rtsCts && !line.xonXoff);

    // A pty cannot tell data bits and parity; the port itself can.
    QSerialPort &port = VantrelProbe::serialPort(w);
    QVERIFY(port.isOpen());
    QCOMPARE(port.openMode(), QIODevice::ReadWrite);
    QCOMPARE(port.baudRate(QSerialPort::Input), baud);
    QCOMPARE(port.baudRate(QSerialPort::Output), baud);
    QCOMPARE(port.dataBits(), QSerialPort::Data8);
    QCOMPARE(port.parity(), QSerialPort::NoParity);
    QCOMPARE(port.stopBits(), QSerialPort::OneStop);
    QCOMPARE(port.flowControl(), QSerialPort::NoFlowControl);
}

void TestSerialLink::openOutcomesAreLogged_data()
{
    QTest::addColumn<QString>("outcome");

    QTest::newRow("opened") << QStringLiteral("opened");
    QTest::newRow("no such port") << QStringLiteral("missing");
    QTest::newRow("empty name") << QStringLiteral("empty");
    QTest::newRow("held by another process") << QStringLiteral("held");
}

void TestSerialLink::openOutcomesAreLogged()
{
    QFETCH(QString, outcome);
    NullModem modem;
    QString port = modem.portName();
    if (outcome == QLatin1String("missing"))
        port = QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttyNowhere"));
    else if (outcome == QLatin1String("empty"))
        port.clear();

    QProcess holder;
    if (outcome == QLatin1String("held")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(HoldPortVariable), port);
        holder.setProcessEnvironment(environment);
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead());
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
    }
    auto stopHolder = qScopeGuard([&holder] {
        if (holder.state() == QProcess::NotRunning)
            return;
        holder.closeWriteChannel();
        if (!holder.waitForFinished())
            holder.kill();
    });

    storePort(port, 0);
    BoxAnswerer noBox;
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();

    const bool opens = outcome == QLatin1String("opened");
    const QString expected = QStringLiteral("Opening port ") + port + QLatin1Char('\n')
        + (opens ? QStringLiteral("Serial port successfully opened!\n")
                 : QStringLiteral("Failed to initialize serial port!\n"
                                  "Communication with projector not possible.\n"));
    QCOMPARE(logText(w), expected);
    QCOMPARE(VantrelProbe::serialPort(w).isOpen(), opens);

    // The first tick polls; only an open port lets it out.
    VantrelProbe::invoke(w, "OnTimer");
    if (opens) {
        QCOMPARE(modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    } else {
        QCOMPARE(modem.expectSilence(300), QByteArray());
        QCOMPARE(VantrelProbe::lastCommand(w), QString());
    }
    QVERIFY(noBox.waitDone());
}

void TestSerialLink::lostDeviceClosesThePortOnce()
{
    const QString link = QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttyLost"));
    auto modem = std::make_unique<NullModem>(link);
    QVERIFY2(modem->errorString().isEmpty(), qPrintable(modem->errorString()));
    storePort(link, 0);
    Vantrel w;
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    QSerialPort &port = VantrelProbe::serialPort(w);
    QVERIFY(port.isOpen());
    ui.debugCheckBox->setChecked(true);
    QSignalSpy errors(&port, &QSerialPort::errorOccurred);
    QSignalSpy ticks(&VantrelProbe::pollTimer(w), &QTimer::timeout);

    modem->unplug();
    QTRY_VERIFY(!port.isOpen());
    QVERIFY2(ticks.count() <= 1, qPrintable(QString::number(ticks.count())));
    const int errorsAtClose = errors.count();
    QVERIFY(errorsAtClose >= 1);
    QVERIFY2(errorsAtClose <= 100, qPrintable(QString::number(errorsAtClose)));

    // Qt repeats the error for as long as a dead port stays open; a closed
    // one must leave the process idle.
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(1000);
    const double cpuShare = (processCpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000.0);
    QVERIFY2(cpuShare < 0.5, qPrintable(QStringLiteral("CPU share %1").arg(cpuShare)));
    QCOMPARE(errors.count(), errorsAtClose);

    const QStringList lostLines
        = logText(w).split(QLatin1Char('\n')).filter(QStringLiteral("Lost serial port"));
    QCOMPARE(lostLines.size(), 1);
    QVERIFY2(lostLines.first().contains(link), qPrintable(lostLines.first()));

    // Like any closed port: sends go nowhere, quietly.
    const QString lastCommand = VantrelProbe::lastCommand(w);
    const QString logBefore = logText(w);
    {
        BoxAnswerer noBox;
        ui.up->click();
        QVERIFY(noBox.waitDone());
    }
    QCOMPARE(VantrelProbe::lastCommand(w), lastCommand);
    QCOMPARE(logText(w), logBefore);

    // The adapter comes back under the same name; Ok in the settings reopens it.
    modem = std::make_unique<NullModem>(link);
    DialogDriver settings([](QDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
    });
    ui.actionSettings->trigger();
    QVERIFY(settings.waitDone());
    QVERIFY(port.isOpen());
    QVERIFY(logText(w).endsWith(QStringLiteral("Opening port ") + link
                                + QStringLiteral("\nSerial port successfully opened!\n")));

    VantrelProbe::pollTimer(w).stop();
    modem->drain();
    ui.up->click();
    QCOMPARE(modem->readBytes(11), QByteArray("* 0 IR 009\r"));
}

VANTREL_TEST_MAIN(TestSerialLink)

#include "tst_seriallink.moc"
