#include "boxanswerer.h"
#include "nullmodem.h"
#include "testmain.h"
#include "teststore.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

// The harness checked against a real QSerialPort. What matters most is that it
// cannot let a fault through: that would make other tests pass for nothing.
class TestNullModem : public QObject
{
    Q_OBJECT

private slots:
    // Raw both ways: no byte translated, swallowed or added, each piece of a
    // split write reaching the port on its own.
    void bytesArriveExactlyInAnySplit()
    {
        QByteArray everyByte;
        for (int i = 0; i < 256; ++i)
            everyByte.append(char(i));
        NullModem modem;
        QSerialPort port(modem.portName());
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        const QByteArray large = everyByte.repeated(40);
        QCOMPARE(port.write(large), qint64(large.size()));
        QCOMPARE(modem.readBytes(large.size()), large);
        QCOMPARE(modem.readAll(), QByteArray());

        QByteArray received;
        int arrivals = 0;
        connect(&port, &QSerialPort::readyRead, this, [&] {
            received += port.readAll();
            ++arrivals;
        });
        for (const QList<int> &chunks : { QList<int> { 3, 1, 200 }, QList<int> { 255 } }) {
            received.clear();
            arrivals = 0;
            QVERIFY(modem.writeSplit(everyByte, chunks));
            QTRY_COMPARE(received, everyByte);
            QVERIFY(arrivals > chunks.size());
        }
    }

    // Values other than the program's, so a read-back stuck at 8N1 without flow
    // control would show. (A pty keeps 8 data bits and no parity whatever is asked.)
    void lineSettingsReadBack()
    {
        NullModem modem;
        QSerialPort port(modem.portName());
        QVERIFY(port.open(QIODevice::ReadWrite) && port.setBaudRate(38400)
                && port.setStopBits(QSerialPort::TwoStop)
                && port.setFlowControl(QSerialPort::HardwareControl));
        NullModem::LineSettings line = modem.lineSettings();
        QVERIFY(line.valid && line.inputBaud == 38400 && line.outputBaud == 38400);
        QCOMPARE(line.stopBits, QSerialPort::TwoStop);
        QCOMPARE(line.flowControl, QSerialPort::HardwareControl);
        QVERIFY(port.setBaudRate(4800) && port.setStopBits(QSerialPort::OneStop)
                && port.setFlowControl(QSerialPort::SoftwareControl));
        line = modem.lineSettings();
        QVERIFY(line.inputBaud == 4800 && line.outputBaud == 4800);
        QCOMPARE(line.stopBits, QSerialPort::OneStop);
        QCOMPARE(line.flowControl, QSerialPort::SoftwareControl);
    }

    // A link outlives its modem's hang-up, follows the newest modem (the kernel
    // may hand it the same slave) and goes with that one.
    void linkFollowsTheNewestModem()
    {
        const QString link = TestStore::runDirectory() + QStringLiteral("/ttyLink");
        auto first = std::make_unique<NullModem>(link);
        QSerialPort port(link);
        QVERIFY(port.open(QIODevice::ReadWrite));
        first->hangUp();
        port.close();
        QVERIFY(!first->write("late") && !first->lineSettings().valid);
        {
            NullModem second(link);
            first.reset();
            QCOMPARE(QFileInfo(link).symLinkTarget(), second.slavePath());
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            port.write("back\r");
            QCOMPARE(second.readBytes(5), QByteArray("back\r"));
        }
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void settingsStoreIsPrivateToTheRun()
    {
        const QString runDir = TestStore::runDirectory() + QLatin1Char('/');
        QSettings store(TestStore::Organisation, TestStore::Application);
        QVERIFY2(store.fileName().startsWith(runDir), qPrintable(store.fileName()));
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                    .startsWith(runDir));
    }

    // A missing, stray or unanswerable box fails the test.
    void boxFaultsAreReported()
    {
        {
            BoxAnswerer missing(QMessageBox::Ok);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("expected 1 modal box"));
            QVERIFY(!missing.waitDone(50));
        }
        {
            BoxAnswerer none;
            QMessageBox::information(nullptr, "Stray", "Nobody asked.");
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("unexpected QMessageBox \"Stray\""));
            QVERIFY(!none.waitDone());
        }
        {
            BoxAnswerer wrong(QMessageBox::Yes);
            QMessageBox::information(nullptr, "Only Ok", "No Yes here.");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no button Yes"));
            QVERIFY(!wrong.waitDone());
        }
    }
};

VANTREL_TEST_MAIN(TestNullModem)
#include "tst_nullmodem.moc"
