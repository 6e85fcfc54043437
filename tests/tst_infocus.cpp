// InFocus: its own power and poll commands at 19200 baud, replies framed at
// ")" that keep contact and do nothing else.

#include "boxanswerer.h"
#include "colorgroupbox.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {

const QByteArray Poll = "(CST)\r";

std::unique_ptr<Vantrel> openInFocusWindow(NullModem &modem)
{
    TestStore::seed({ { "ComPort", modem.portName() }, { "Model", 2 } });
    PortEnumeration::setLister([] { return QStringList(); });
    auto w = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*w).stop();
    return w;
}

void tick(Vantrel &w)
{
    QVERIFY(VantrelProbe::invoke(w, "OnTimer"));
}

QByteArray sentSoFar(Vantrel &w, NullModem &modem)
{
    const QByteArray marker = "#mark#";
    VantrelProbe::sendCommand(w, marker);
    QByteArray out;
    while (!out.endsWith(marker + '\r')) {
        const QByteArray byte = modem.readBytes(1);
        if (byte.isEmpty())
            return out + "<marker missing>";
        out += byte;
    }
    out.chop(marker.size() + 1);
    return out;
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool showsContact(Vantrel &w)
{
    const QAbstractButton *status = VantrelProbe::ui(w).connectionStatus;
    const QIcon connect(QPixmap(":/Vantrel/Resources/connect.png"));
    return status->toolTip() == "Contact" && iconImage(status->icon()) == iconImage(connect);
}

} // namespace

class TestInFocus : public QObject
{
    Q_OBJECT

private slots:
    void commandsAndLineSpeed();
    void framing_data();
    void framing();
    void replyLeavesNoOtherTrace_data();
    void replyLeavesNoOtherTrace();
};

void TestInFocus::commandsAndLineSpeed()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    auto w = openInFocusWindow(modem);
    QCOMPARE(VantrelProbe::serialPort(*w).baudRate(), 19200);
    const NullModem::LineSettings line = modem.lineSettings();
    QVERIFY(line.valid);
    QCOMPARE(line.inputBaud, 19200);
    QCOMPARE(line.outputBaud, 19200);

    tick(*w);
    QCOMPARE(modem.readBytes(6), Poll);
    QCOMPARE(sentSoFar(*w, modem), QByteArray());

    const auto &ui = VantrelProbe::ui(*w);
    ui.powerOn->click();
    QCOMPARE(modem.readBytes(7), QByteArray("(PWR1)\r"));
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
    ui.vvtPowerOn->click();
    QCOMPARE(sentSoFar(*w, modem), QByteArray("(PWR1)\r"));

    BoxAnswerer answerer(QMessageBox::Yes);
    ui.powerOff->click();
    QVERIFY2(answerer.waitDone(), qPrintable(answerer.problems()));
    QCOMPARE(sentSoFar(*w, modem), QByteArray("(PWR0)\r"));
}

void TestInFocus::framing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("left"); // replyBuffer after the tick
    QTest::addColumn<QString>("leftLater"); // ... and after one more tick

    QTest::newRow("bracket") << QByteArray("(0)") << true << QString() << QString();
    QTest::newRow("bracket CR") << QByteArray("(0)\r") << true << QString() << QString("\r");
    QTest::newRow("CR inside") << QByteArray("(1\r)") << true << QString() << QString();
    QTest::newRow("two replies") << QByteArray("(0)(1)") << true << QString() << QString();
    QTest::newRow("no bracket yet")
        << QByteArray("(0\r") << false << QString("(0\r") << QString("(0\r");
}

void TestInFocus::framing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    QFETCH(QString, left);
    QFETCH(QString, leftLater);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openInFocusWindow(modem);
    tick(*w);
    QCOMPARE(modem.readBytes(6), Poll);
    QVERIFY(!showsContact(*w));

    QVERIFY(modem.write(bytes));
    QVERIFY(modem.waitConsumed());
    tick(*w);
    QCOMPARE(showsContact(*w), complete);
    QCOMPARE(VantrelProbe::contactCounter(*w), complete ? 1 : 50);
    QCOMPARE(VantrelProbe::replyBuffer(*w), left);

    tick(*w);
    QCOMPARE(VantrelProbe::replyBuffer(*w), leftLater);
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

void TestInFocus::replyLeavesNoOtherTrace_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("lampOn");

    // Texts that would mean something to the other families' handlers.
    QTest::newRow("(0), lamp off") << QByteArray("(0)") << false;
    QTest::newRow("(1), lamp on") << QByteArray("(1)") << true;
    QTest::newRow("Lamp 1") << QByteArray("Lamp 1)") << false;
    QTest::newRow("P0") << QByteArray("P0)") << true;
    QTest::newRow("refused") << QByteArray("*001)") << true;
}

void TestInFocus::replyLeavesNoOtherTrace()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, lampOn);

    NullModem modem;
    QVERIFY(modem.isOpen());
    auto w = openInFocusWindow(modem);
    const auto &ui = VantrelProbe::ui(*w);
    VantrelProbe::setProjectorOn(*w, lampOn);
    tick(*w);
    QCOMPARE(modem.readBytes(6), Poll);

    const QString logBefore = ui.textEdit->toPlainText();
    const QList<ColorGroupBox *> boxes = { ui.on_off_groupBox, ui.vvt_on_off_groupBox };
    QList<QPair<QColor, QString>> looks;
    for (ColorGroupBox *box : boxes)
        looks.append({ box->fillColor, box->toolTip() });

    QVERIFY(modem.write(reply));
    QVERIFY(modem.waitConsumed());
    tick(*w);
    QVERIFY(showsContact(*w));

    QCOMPARE(VantrelProbe::projectorOn(*w), lampOn);
    QCOMPARE(ui.textEdit->toPlainText(), logBefore);
    for (int i = 0; i < boxes.size(); ++i) {
        QCOMPARE(boxes[i]->fillColor, looks[i].first);
        QCOMPARE(boxes[i]->toolTip(), looks[i].second);
    }
    QCOMPARE(sentSoFar(*w, modem), QByteArray());
}

VANTREL_TEST_MAIN(TestInFocus)
#include "tst_infocus.moc"
