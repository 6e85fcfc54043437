#include "boxanswerer.h"
#include "nullmodem.h"
#include "testmain.h"
#include "teststore.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QVector>

#include <memory>

// The harness itself, checked against a real QSerialPort.
class TestNullModem : public QObject
{
    Q_OBJECT

private slots:
    void bytesWrittenArriveExactly_data();
    void bytesWrittenArriveExactly();
    void repliesArriveInAnySplit_data();
    void repliesArriveInAnySplit();
    void lineSettingsReadBack_data();
    void lineSettingsReadBack();
    void symlinkNamesThePort();
    void newModemTakesOverTheLink();
    void hangUpMakesThePortReportAnError();
    void settingsStoreIsPrivateToTheRun();
    void boxesAreAnsweredInARow();
    void missingAndStrayBoxesAreReported();
    void dialogDriverRunsItsAction();
};

static bool openPort(QSerialPort &port, const QString &name, qint32 baud = 9600)
{
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    return port.setBaudRate(baud) && port.setDataBits(QSerialPort::Data8)
        && port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop)
        && port.setFlowControl(QSerialPort::NoFlowControl);
}

void TestNullModem::bytesWrittenArriveExactly_data()
{
    QTest::addColumn<QByteArray>("payload");

    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));

    QTest::newRow("command and CR") << QByteArray("* 0 Lamp ?\r");
    QTest::newRow("CR LF untranslated") << QByteArray("\r\n\n\r");
    QTest::newRow("XON XOFF pass through") << QByteArray("\x11\x13\x11", 3);
    QTest::newRow("every byte value") << everyByte;
    QTest::newRow("larger than one read") << everyByte.repeated(40);
}

void TestNullModem::bytesWrittenArriveExactly()
{
    QFETCH(QByteArray, payload);
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    QSerialPort port;
    QVERIFY2(openPort(port, modem.portName()), qPrintable(port.errorString()));

    QCOMPARE(port.write(payload), qint64(payload.size()));
    QCOMPARE(modem.readBytes(payload.size()), payload);
    QCOMPARE(modem.readAll(), QByteArray());
}

void TestNullModem::repliesArriveInAnySplit_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("chunks");

    const QByteArray reply("P12345\r");
    QTest::newRow("whole") << reply << QList<int>();
    QTest::newRow("byte by byte") << reply << QVector<int>(reply.size(), 1).toList();
    QTest::newRow("uneven") << reply << QList<int> { 3, 1, 2 };
    QTest::newRow("terminator alone") << reply << QList<int> { reply.size() - 1 };
}

void TestNullModem::repliesArriveInAnySplit()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, chunks);
    NullModem modem;
    QSerialPort port;
    QVERIFY2(openPort(port, modem.portName()), qPrintable(port.errorString()));
    QByteArray received;
    int arrivals = 0;
    connect(&port, &QSerialPort::readyRead, this, [&] {
        received += port.readAll();
        ++arrivals;
    });

    QVERIFY(modem.writeSplit(reply, chunks));
    QTRY_COMPARE(received, reply);
    // Each piece reached the port on its own.
    QVERIFY(arrivals >= chunks.size() + (chunks.isEmpty() ? 1 : 0));
}

void TestNullModem::lineSettingsReadBack_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");
    QTest::addColumn<QSerialPort::FlowControl>("flow");

    QTest::newRow("9600 8N1") << 9600 << QSerialPort::Data8 << QSerialPort::NoParity
                              << QSerialPort::OneStop << QSerialPort::NoFlowControl;
    QTest::newRow("19200 8N1") << 19200 << QSerialPort::Data8 << QSerialPort::NoParity
                               << QSerialPort::OneStop << QSerialPort::NoFlowControl;
    // A Linux pty keeps 8 data bits and no parity whatever is asked, so only
    // speed, stop bits and flow control can vary here.
    QTest::newRow("38400 8N2 RTS/CTS") << 38400 << QSerialPort::Data8 << QSerialPort::NoParity
                                       << QSerialPort::TwoStop << QSerialPort::HardwareControl;
    QTest::newRow("4800 8N1 XON/XOFF") << 4800 << QSerialPort::Data8 << QSerialPort::NoParity
                                       << QSerialPort::OneStop << QSerialPort::SoftwareControl;
}

void TestNullModem::lineSettingsReadBack()
{
    QFETCH(qint32, baud);
    QFETCH(QSerialPort::DataBits, dataBits);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(QSerialPort::StopBits, stopBits);
    QFETCH(QSerialPort::FlowControl, flow);
    NullModem modem;
    QSerialPort port(modem.portName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QVERIFY(port.setBaudRate(baud));
    QVERIFY(port.setDataBits(dataBits));
    QVERIFY(port.setParity(parity));
    QVERIFY(port.setStopBits(stopBits));
    QVERIFY(port.setFlowControl(flow));

    const NullModem::LineSettings line = modem.lineSettings();
    QVERIFY(line.valid);
    QCOMPARE(line.inputBaud, baud);
    QCOMPARE(line.outputBaud, baud);
    QCOMPARE(line.dataBits, dataBits);
    QCOMPARE(line.parity, parity);
    QCOMPARE(line.stopBits, stopBits);
    QCOMPARE(line.flowControl, flow);
}

void TestNullModem::symlinkNamesThePort()
{
    const QString link = QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttySymlink"));
    {
        NullModem modem(link);
        QVERIFY2(modem.errorString().isEmpty(), qPrintable(modem.errorString()));
        QCOMPARE(modem.portName(), link);
        QCOMPARE(QFileInfo(link).symLinkTarget(), modem.slavePath());

        QSerialPort port;
        QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
        port.write("V99G0004\r");
        QCOMPARE(modem.readBytes(9), QByteArray("V99G0004\r"));
        // Closing and reopening the port must not disturb the master side.
        port.close();
        QVERIFY(openPort(port, link));
        QVERIFY(modem.write("P1234\r"));
        QTRY_COMPARE(port.bytesAvailable(), qint64(6));
        QCOMPARE(port.readAll(), QByteArray("P1234\r"));
    }
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestNullModem::newModemTakesOverTheLink()
{
    const QString link = QDir(TestStore::runDirectory()).filePath(QStringLiteral("ttyReplug"));
    auto first = std::make_unique<NullModem>(link);
    QSerialPort port;
    QVERIFY(openPort(port, link));
    first->hangUp();
    port.close();

    // The kernel may hand the new modem the same slave number; the old
    // modem must still leave the new link alone.
    NullModem second(link);
    first.reset();
    QCOMPARE(QFileInfo(link).symLinkTarget(), second.slavePath());

    QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
    port.write("back\r");
    QCOMPARE(second.readBytes(5), QByteArray("back\r"));
}

void TestNullModem::hangUpMakesThePortReportAnError()
{
    NullModem modem;
    QSerialPort port;
    QVERIFY(openPort(port, modem.portName()));
    QSignalSpy errors(&port, &QSerialPort::errorOccurred);

    modem.hangUp();
    QTRY_VERIFY(!errors.isEmpty());
    const auto error = errors.first().first().value<QSerialPort::SerialPortError>();
    QVERIFY2(error == QSerialPort::ReadError || error == QSerialPort::ResourceError,
             qPrintable(port.errorString()));
    port.close();

    QVERIFY(!modem.write("late"));
    QCOMPARE(modem.readBytes(1), QByteArray());
    QVERIFY(!modem.lineSettings().valid);
}

void TestNullModem::settingsStoreIsPrivateToTheRun()
{
    const QString runDir = TestStore::runDirectory() + QLatin1Char('/');
    QVERIFY(
        QSettings(TestStore::Organisation, TestStore::Application).fileName().startsWith(runDir));
    QVERIFY(QSettings(QSettings::IniFormat, QSettings::UserScope, TestStore::Organisation,
                      TestStore::Application)
                .fileName()
                .startsWith(runDir));
    QVERIFY(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).startsWith(runDir));

    TestStore::seed(
        { { QStringLiteral("ComPort"), QStringLiteral("ttyS1") }, { QStringLiteral("Model"), 2 } });
    QSettings store(TestStore::Organisation, TestStore::Application);
    QCOMPARE(store.value(QStringLiteral("ComPort")).toString(), QStringLiteral("ttyS1"));
    QCOMPARE(store.value(QStringLiteral("Model")).toInt(), 2);

    TestStore::clear();
    store.sync();
    QCOMPARE(store.allKeys(), QStringList());
}

void TestNullModem::boxesAreAnsweredInARow()
{
    QWidget parent;
    BoxAnswerer answerer({ QMessageBox::Yes, QMessageBox::Ok });
    QMessageBox::StandardButton first = QMessageBox::NoButton;
    QMessageBox::StandardButton second = QMessageBox::NoButton;
    // The second box opens inside the first one's caller, as a slot would.
    QTimer::singleShot(0, &parent, [&] {
        first = QMessageBox::question(&parent, QStringLiteral("First"), QStringLiteral("Go on?"),
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (first == QMessageBox::Yes)
            second
                = QMessageBox::warning(&parent, QStringLiteral("Second"), QStringLiteral("Done."));
    });

    QVERIFY(answerer.waitDone());
    QCOMPARE(first, QMessageBox::Yes);
    QTRY_COMPARE(second, QMessageBox::Ok);
    QCOMPARE(answerer.seenCount(), 2);
    const BoxAnswerer::Box question = answerer.box(0);
    QCOMPARE(question.title, QStringLiteral("First"));
    QCOMPARE(question.text, QStringLiteral("Go on?"));
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(question.defaultButton, QMessageBox::No);
    QVERIFY(question.parent == &parent);
    QCOMPARE(answerer.box(1).icon, QMessageBox::Warning);
}

void TestNullModem::missingAndStrayBoxesAreReported()
{
    {
        BoxAnswerer missing(QMessageBox::Ok);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("expected 1 modal box"));
        QVERIFY(!missing.waitDone(50));
    }
    {
        BoxAnswerer none;
        QMessageBox::information(nullptr, QStringLiteral("Stray"), QStringLiteral("Nobody asked."));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unexpected QMessageBox \"Stray\""));
        QVERIFY(!none.waitDone());
        QCOMPARE(none.box().expected, false);
    }
    {
        BoxAnswerer wrong(QMessageBox::Yes);
        QMessageBox::information(nullptr, QStringLiteral("Only Ok"),
                                 QStringLiteral("No Yes here."));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no button Yes"));
        QVERIFY(!wrong.waitDone());
    }
}

void TestNullModem::dialogDriverRunsItsAction()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Driven"));
    DialogDriver driver([](QDialog *shown) { shown->accept(); }, 2);

    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.box(1).title, QStringLiteral("Driven"));
}

VANTREL_TEST_MAIN(TestNullModem)

#include "tst_nullmodem.moc"
