// Faults at the port and on the line. In every case the program must carry
// on, keep handling its events and show what happened.
// ctest-properties: LABELS faults TIMEOUT 600

#include "boxanswerer.h"
#include "framing.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "simprocess.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// With this variable set the program is not the test but another process
// that holds the named port through its own QSerialPort until its standard
// input closes. (Running as root, the tty's exclusive mode stops nobody; the
// lock file that QSerialPort takes is what refuses the second open.)
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

bool startSimulator(SimProcess &sim, const QStringList &arguments)
{
#ifdef PROJECTOR_SIM_PATH
    return sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH), arguments);
#else
    Q_UNUSED(sim);
    Q_UNUSED(arguments);
    return false;
#endif
}

struct Family
{
    int model;
    QString simName;
    QByteArray poll;
};

} // namespace

Q_DECLARE_METATYPE(Family)

namespace {

const Family AcerFamily { 0, QStringLiteral("acer"), "* 0 Lamp ?" };
const Family VivitekFamily { 1, QStringLiteral("vivitek"), "V99G0007" };
const Family InFocusFamily { 2, QStringLiteral("infocus"), "(CST)" };

QString portPath(const char *name)
{
    static int serial = 0;
    return QDir(TestStore::runDirectory())
        .filePath(QStringLiteral("%1-%2").arg(QLatin1String(name)).arg(++serial));
}

void storePort(const QString &port, int model)
{
    TestStore::seed({ { QStringLiteral("ComPort"), port }, { QStringLiteral("Model"), model } });
    PortEnumeration::setLister([port] { return QStringList(port); });
}

QString logText(Vantrel &w)
{
    return VantrelProbe::ui(w).textEdit->toPlainText();
}

QString contactTip(Vantrel &w)
{
    return VantrelProbe::ui(w).connectionStatus->toolTip();
}

// A queued event reaches the window within a generous bound, so the program
// is not stuck inside some call. This detects hangs; it measures no speed.
bool stillResponsive(Vantrel &w)
{
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        &w, [handled] { *handled = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([handled] { return *handled; }, 10000);
}

bool pressOkInSettings(Vantrel &w)
{
    DialogDriver settings([](QDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
    });
    VantrelProbe::ui(w).actionSettings->trigger();
    return settings.waitDone();
}

double processCpuSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Waits until the bytes sit in the program's port buffer, ready for a tick.
bool feed(Vantrel &w, NullModem &modem, const QByteArray &bytes)
{
    QSerialPort &port = VantrelProbe::serialPort(w);
    const qint64 expected = port.bytesAvailable() + bytes.size();
    return modem.write(bytes)
        && QTest::qWaitFor([&] { return port.bytesAvailable() >= expected; }, 5000)
        && port.bytesAvailable() == expected;
}

// Every byte, NUL included (the QByteArray overload stops at the first NUL).
QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.constData(), bytes.size());
}

// The log pane turns a carriage return, or CR LF, into one line break.
QString shown(const QByteArray &bytes)
{
    return latin1(bytes)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString hexShown(const QByteArray &bytes)
{
    QString text;
    for (char byte : bytes)
        text += QString::asprintf("%02x ", unsigned(static_cast<unsigned char>(byte)));
    return text;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void hungUpLineComesBack();
    void unavailablePortBecomesAvailable_data();
    void unavailablePortBecomesAvailable();
    void projectorNeverAnswers_data();
    void projectorNeverAnswers();
    void lateReplyRestoresContact_data();
    void lateReplyRestoresContact();
    void noiseAtLineRateForAMinute();
    void repliesSplitIntoSingleBytes_data();
    void repliesSplitIntoSingleBytes();
    void oddBytesInEveryPosition_data();
    void oddBytesInEveryPosition();
};

void TestFaults::init()
{
    TestStore::clear();
    PortEnumeration::setLister({});
}

void TestFaults::hungUpLineComesBack()
{
    const QString link = portPath("ttyHangUp");
    auto sim = std::make_unique<SimProcess>();
    QVERIFY(startSimulator(*sim,
                           { QStringLiteral("--lamp"), QStringLiteral("on"),
                             QStringLiteral("--hangup-after-ms"), QStringLiteral("3000"),
                             QStringLiteral("--link"), link }));
    storePort(link, AcerFamily.model);
    BoxAnswerer noBox;
    Vantrel w;
    QSerialPort &port = VantrelProbe::serialPort(w);
    QVERIFY(port.isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(VantrelProbe::projectorOn(w), 10000);
    QCOMPARE(contactTip(w), QStringLiteral("Contact"));

    QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), 10000);
    QTRY_VERIFY(sim->has("-- hanging up"));
    QCOMPARE(logText(w).count(QStringLiteral("Lost serial port")), 1);
    QVERIFY(stillResponsive(w));
    // Without replies the contact goes, as with any silent projector.
    QTRY_COMPARE_WITH_TIMEOUT(contactTip(w), QStringLiteral("No Contact"), 10000);

    // A projector is back under the same name; Ok reconnects to it.
    sim = std::make_unique<SimProcess>();
    QVERIFY(startSimulator(
        *sim, { QStringLiteral("--lamp"), QStringLiteral("off"), QStringLiteral("--link"), link }));
    QVERIFY(pressOkInSettings(w));
    QVERIFY(port.isOpen());
    QVERIFY(logText(w).endsWith(QStringLiteral("Opening port ") + link
                                + QStringLiteral("\nSerial port successfully opened!\n")));
    QTRY_VERIFY_WITH_TIMEOUT(sim->received().contains(AcerFamily.poll), 10000);
    // The lamp state now comes from the new projector.
    QTRY_VERIFY_WITH_TIMEOUT(!VantrelProbe::projectorOn(w), 10000);
    QCOMPARE(contactTip(w), QStringLiteral("Contact"));
    QCOMPARE(logText(w).count(QStringLiteral("Lost serial port")), 1);
    QVERIFY(noBox.waitDone());
}

void TestFaults::unavailablePortBecomesAvailable_data()
{
    QTest::addColumn<QString>("fault");

    QTest::newRow("missing device") << QStringLiteral("missing");
    QTest::newRow("adapter unplugged, Ok while it is gone") << QStringLiteral("unplugged");
    QTest::newRow("held by another process") << QStringLiteral("held");
}

void TestFaults::unavailablePortBecomesAvailable()
{
    QFETCH(QString, fault);
    const QString link = portPath("ttyUnavailable");
    std::unique_ptr<NullModem> modem;
    if (fault != QLatin1String("missing")) {
        modem = std::make_unique<NullModem>(link);
        QVERIFY2(modem->errorString().isEmpty(), qPrintable(modem->errorString()));
    }
    SimProcess holder;
    if (fault == QLatin1String("held")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(HoldPortVariable), link);
        holder.setProcessEnvironment(environment);
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(holder.waitForStarted());
        QVERIFY(QTest::qWaitFor([&holder] { return !holder.lines().isEmpty(); }, 10000));
        QCOMPARE(holder.lines(), QList<QByteArray>({ "held" }));
    }

    storePort(link, AcerFamily.model);
    BoxAnswerer noBox;
    Vantrel w;
    QSerialPort &port = VantrelProbe::serialPort(w);
    const QString failure = QStringLiteral("Opening port ") + link
        + QStringLiteral("\nFailed to initialize serial port!\n"
                         "Communication with projector not possible.\n");
    if (fault == QLatin1String("unplugged")) {
        QVERIFY(port.isOpen());
        modem->unplug();
        QTRY_VERIFY(!port.isOpen());
        QVERIFY(pressOkInSettings(w));
        QVERIFY2(logText(w).endsWith(failure), qPrintable(logText(w)));
    } else {
        QCOMPARE(logText(w), failure);
    }
    QVERIFY(!port.isOpen());

    // Ticks go on past a poll; nothing is retried or reported again.
    const QString logBefore = logText(w);
    const QString lastCommand = VantrelProbe::lastCommand(w);
    QSignalSpy ticks(&VantrelProbe::pollTimer(w), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 35, 20000);
    QCOMPARE(logText(w), logBefore);
    QVERIFY(!port.isOpen());
    QCOMPARE(VantrelProbe::lastCommand(w), lastCommand);
    if (modem && modem->isOpen())
        QCOMPARE(modem->readAll(), QByteArray());
    QCOMPARE(contactTip(w), QStringLiteral("No Contact"));
    QVERIFY(stillResponsive(w));

    // The port becomes available; the program waits for the user's Ok.
    if (fault == QLatin1String("held")) {
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished());
        QCOMPARE(holder.exitCode(), 0);
    } else {
        modem = std::make_unique<NullModem>(link);
        QVERIFY2(modem->errorString().isEmpty(), qPrintable(modem->errorString()));
    }
    QCOMPARE(modem->expectSilence(500), QByteArray());
    QVERIFY(!port.isOpen());
    QVERIFY(pressOkInSettings(w));
    QVERIFY(port.isOpen());
    QVERIFY(logText(w).endsWith(QStringLiteral("Opening port ") + link
                                + QStringLiteral("\nSerial port successfully opened!\n")));
    QCOMPARE(modem->readBytes(AcerFamily.poll.size() + 1, 10000), AcerFamily.poll + '\r');
    QVERIFY(noBox.waitDone());
}

void TestFaults::projectorNeverAnswers_data()
{
    QTest::addColumn<Family>("family");

    QTest::newRow("Acer") << AcerFamily;
    QTest::newRow("Vivitek") << VivitekFamily;
    QTest::newRow("InFocus") << InFocusFamily;
}

void TestFaults::projectorNeverAnswers()
{
    QFETCH(Family, family);
    const QString link = portPath("ttySilent");
    SimProcess sim;
    QVERIFY(startSimulator(sim,
                           { QStringLiteral("--family"), family.simName, QStringLiteral("--silent"),
                             QStringLiteral("--link"), link }));
    storePort(link, family.model);
    BoxAnswerer noBox;
    Vantrel w;
    QVERIFY(VantrelProbe::serialPort(w).isOpen());

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().size() >= 3, 20000);
    // Waiting for an answer must not turn into a busy loop.
    const double cpuShare = (processCpuSeconds() - cpuBefore) / (double(wall.elapsed()) / 1000.0);
    QVERIFY2(cpuShare < 0.5, qPrintable(QStringLiteral("CPU share %1").arg(cpuShare)));

    // Only polls: the Vivitek state query waits for replies that never come.
    for (const QByteArray &command : sim.received())
        QCOMPARE(command, family.poll);
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    QCOMPARE(contactTip(w), QStringLiteral("No Contact"));
    QCOMPARE(VantrelProbe::contactCounter(w), 50);
    QCOMPARE(ui.on_off_groupBox->fillColor, QColor(100, 100, 40));
    QCOMPARE(ui.vvt_on_off_groupBox->fillColor, QColor(100, 100, 40));
    QVERIFY(stillResponsive(w));
    QVERIFY(noBox.waitDone());
}

void TestFaults::lateReplyRestoresContact_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<QByteArray>("firstReply");
    QTest::addColumn<QByteArray>("lateReply");

    QTest::newRow("Acer") << AcerFamily << QByteArray("Lamp 1\r") << QByteArray("Lamp 0\r");
    QTest::newRow("Vivitek") << VivitekFamily << QByteArray("P1\r") << QByteArray("P0\r");
    QTest::newRow("InFocus") << InFocusFamily << QByteArray("(0-3,1)") << QByteArray("(0-3,0)");
}

void TestFaults::lateReplyRestoresContact()
{
    QFETCH(Family, family);
    QFETCH(QByteArray, firstReply);
    QFETCH(QByteArray, lateReply);
    NullModem modem;
    storePort(modem.portName(), family.model);
    Vantrel w;
    VantrelProbe::ui(w).debugCheckBox->setChecked(true);
    QCOMPARE(modem.readBytes(family.poll.size() + 1), family.poll + '\r');
    QVERIFY(modem.write(firstReply));
    QTRY_COMPARE(contactTip(w), QStringLiteral("Contact"));

    // The projector goes quiet for longer than the program waits.
    QTRY_COMPARE_WITH_TIMEOUT(contactTip(w), QStringLiteral("No Contact"), 15000);
    const int logBefore = logText(w).size();

    QVERIFY(modem.write(lateReply));
    QTRY_COMPARE_WITH_TIMEOUT(contactTip(w), QStringLiteral("Contact"), 10000);
    QVERIFY(VantrelProbe::contactCounter(w) < 49);
    const QString reply = latin1(family.model == 2 ? lateReply : lateReply.chopped(1));
    QVERIFY(logText(w).mid(logBefore).contains(QStringLiteral("-> ") + reply + QLatin1Char('\n')));
    if (family.model == AcerFamily.model)
        QVERIFY(!VantrelProbe::projectorOn(w));
    QVERIFY(VantrelProbe::replyBuffer(w).isEmpty());
    QVERIFY(stillResponsive(w));
}

// Random bytes at the full rate of a 9600 baud line for a minute, while the
// timer runs as ever.
void TestFaults::noiseAtLineRateForAMinute()
{
    NullModem modem;
    storePort(modem.portName(), AcerFamily.model);
    BoxAnswerer noBox;
    Vantrel w;
    QTimer &pollTimer = VantrelProbe::pollTimer(w);
    QSignalSpy ticks(&pollTimer, &QTimer::timeout);
    QCOMPARE(modem.readBytes(AcerFamily.poll.size() + 1), AcerFamily.poll + '\r');
    const int logBefore = logText(w).size();

    constexpr int BytesPerTick = 96;
    constexpr int Total = 960 * 60;
    QRandomGenerator random(20240607);
    int written = 0;
    int longestPartial = 0;
    int run = 0; // bytes since the last carriage return
    int longestRun = 0;
    QTimer feeder;
    feeder.setInterval(100);
    QObject watch;
    QObject::connect(&feeder, &QTimer::timeout, &watch, [&] {
        QByteArray chunk(BytesPerTick, Qt::Uninitialized);
        for (char &byte : chunk) {
            byte = char(random.bounded(256));
            run = byte == '\r' ? 0 : run + 1;
            longestRun = qMax(longestRun, run);
        }
        if (modem.write(chunk))
            written += chunk.size();
        if (written >= Total)
            feeder.stop();
    });
    // Runs after each tick, which was connected first.
    QObject::connect(&pollTimer, &QTimer::timeout, &watch, [&] {
        longestPartial = qMax(longestPartial, VantrelProbe::replyBuffer(w).size());
    });
    feeder.start();
    QTRY_VERIFY_WITH_TIMEOUT(!feeder.isActive(), 300000);
    QCOMPARE(written, Total);
    QVERIFY(stillResponsive(w));
    QTRY_COMPARE_WITH_TIMEOUT(VantrelProbe::serialPort(w).bytesAvailable(), qint64(0), 10000);

    qInfo("%d noise bytes, longest without CR %d: longest partial reply %d, log grew by %d",
          written, longestRun, longestPartial, logText(w).size() - logBefore);
    // The noise held stretches without a terminator longer than the limit.
    QVERIFY(longestRun > Framing::MaxPartialReply);
    QVERIFY2(longestPartial <= Framing::MaxPartialReply,
             qPrintable(QString::number(longestPartial)));
    // Garbage ending in a carriage return reads as an unknown reply and is
    // shown once; nothing multiplies it.
    const int logGrowth = logText(w).size() - logBefore;
    QVERIFY2(logGrowth <= written, qPrintable(QString::number(logGrowth)));

    // The poll schedule kept going: one on the first tick, then every 31st.
    const QByteArray line = modem.drain();
    const int polls = line.count(AcerFamily.poll + '\r') + 1;
    const int expected = 1 + (ticks.count() - 1) / 31;
    QVERIFY2(qAbs(polls - expected) <= 1,
             qPrintable(QStringLiteral("%1 polls in %2 ticks").arg(polls).arg(ticks.count())));

    // The first carriage return ends what is left of the noise; the reply
    // after it frames as ever.
    QVERIFY(!VantrelProbe::projectorOn(w));
    QVERIFY(modem.write("Lamp 1\rLamp 1\r"));
    QTRY_VERIFY(VantrelProbe::projectorOn(w));
    QTRY_VERIFY(VantrelProbe::replyBuffer(w).isEmpty());
    QCOMPARE(contactTip(w), QStringLiteral("Contact"));
    QVERIFY(noBox.waitDone());
}

void TestFaults::repliesSplitIntoSingleBytes_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("lampOn");

    QTest::newRow("Acer") << AcerFamily << QByteArray("Lamp 1\r") << true;
    QTest::newRow("Vivitek") << VivitekFamily << QByteArray("P1\r") << true;
    QTest::newRow("InFocus") << InFocusFamily << QByteArray("(0-3,1)") << false;
}

void TestFaults::repliesSplitIntoSingleBytes()
{
    QFETCH(Family, family);
    QFETCH(QByteArray, reply);
    QFETCH(bool, lampOn);
    NullModem modem;
    storePort(modem.portName(), family.model);
    Vantrel w;
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    QCOMPARE(modem.readBytes(family.poll.size() + 1), family.poll + '\r');
    ui.debugCheckBox->setChecked(true);
    ui.textEdit->clear();
    QSignalSpy ticks(&VantrelProbe::pollTimer(w), &QTimer::timeout);

    const bool keepsTerminator = family.model == InFocusFamily.model;
    for (int i = 0; i < reply.size(); ++i) {
        QVERIFY(modem.write(reply.mid(i, 1)));
        QVERIFY(modem.waitConsumed());
        const int seen = ticks.count();
        QTRY_VERIFY(ticks.count() > seen);
        if (i + 1 < reply.size()) {
            QCOMPARE(VantrelProbe::replyBuffer(w), latin1(reply.left(i + 1)));
            QCOMPARE(contactTip(w), QStringLiteral("No Contact"));
        }
    }
    QCOMPARE(VantrelProbe::replyBuffer(w), QString());
    QCOMPARE(contactTip(w), QStringLiteral("Contact"));
    QCOMPARE(VantrelProbe::projectorOn(w), lampOn);

    // One echo line per tick, each with its one byte; one reply line.
    const QStringList lines = logText(w).split(QLatin1Char('\n'));
    QStringList echoes = lines.filter(QRegularExpression(QStringLiteral("^> ")));
    QStringList expected;
    for (char byte : reply)
        expected.append(QStringLiteral("> ") + hexShown(QByteArray(1, byte)));
    QCOMPARE(echoes, expected);
    const QString handed = latin1(keepsTerminator ? reply : reply.chopped(1));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^-> "))),
             QStringList(QStringLiteral("-> ") + handed));
    QVERIFY(stillResponsive(w));
}

void TestFaults::oddBytesInEveryPosition_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<QByteArray>("reply"); // as the handler gets it
    QTest::addColumn<char>("odd");
    QTest::addColumn<bool>("ascii");

    const QList<QPair<Family, QByteArray>> families
        = { { AcerFamily, "Lamp 1" }, { VivitekFamily, "P1" }, { InFocusFamily, "(0-3,1)" } };
    for (const auto &family : families) {
        for (const char odd : { '\x00', '\x80', '\xff' }) {
            for (const bool ascii : { false, true }) {
                const QByteArray tag = family.first.simName.toLatin1() + " byte "
                    + QByteArray::number(uchar(odd), 16) + (ascii ? " ascii" : " hex");
                QTest::newRow(tag.constData()) << family.first << family.second << odd << ascii;
            }
        }
    }
}

void TestFaults::oddBytesInEveryPosition()
{
    QFETCH(Family, family);
    QFETCH(QByteArray, reply);
    QFETCH(char, odd);
    QFETCH(bool, ascii);
    NullModem modem;
    storePort(modem.portName(), family.model);
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    ui.debugCheckBox->setChecked(true);
    ui.asciiCheckBox->setChecked(ascii);

    VantrelProbe::invoke(w, "OnTimer"); // the first tick polls
    const bool infocus = family.model == InFocusFamily.model;
    // InFocus: the odd byte never follows the closing ")", which ends the reply.
    const int positions = infocus ? reply.size() - 1 : reply.size();
    for (int position = 0; position <= positions; ++position) {
        QByteArray bad = reply;
        bad.insert(position, odd);
        const QByteArray wire = infocus ? bad : bad + '\r';
        const QByteArray good = infocus ? reply : reply + '\r';

        // The Vivitek handler reads a reply by the last command sent.
        VantrelProbe::sendCommand(w, family.poll);
        VantrelProbe::setProjectorOn(w, false);
        modem.drain(50);
        ui.textEdit->clear();
        QVERIFY(feed(w, modem, wire));
        VantrelProbe::invoke(w, "OnTimer");
        const QString log = logText(w);
        const QString echo = ascii ? shown("> " + wire + '\n')
                                   : QStringLiteral("> ") + hexShown(wire) + QLatin1Char('\n');
        QVERIFY2(log.startsWith(echo), qPrintable(log));
        QVERIFY2(log.endsWith(QStringLiteral("-> ") + latin1(bad) + QLatin1Char('\n')),
                 qPrintable(log));
        QVERIFY(VantrelProbe::replyBuffer(w).isEmpty());
        QCOMPARE(VantrelProbe::contactCounter(w), 1);
        if (family.model == AcerFamily.model)
            QVERIFY(!VantrelProbe::projectorOn(w));

        // The next reply is whole again and handled as ever.
        VantrelProbe::sendCommand(w, family.poll);
        VantrelProbe::setProjectorOn(w, false);
        ui.textEdit->clear();
        QVERIFY(feed(w, modem, good));
        VantrelProbe::invoke(w, "OnTimer");
        QVERIFY(logText(w).endsWith(QStringLiteral("-> ") + latin1(reply) + QLatin1Char('\n')));
        QCOMPARE(VantrelProbe::projectorOn(w), !infocus);
    }
    QVERIFY(stillResponsive(w));
}

VANTREL_TEST_MAIN(TestFaults)

#include "tst_faults.moc"
