#include "portenumeration.h"
#include "portstatus.h"
#include "settings.h"
#include "testmain.h"
#include "teststore.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTest>
#include <QWindow>

// The settings dialog on the real store: what it preselects, what Ok writes, what else writes.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void preselectThenLeave_data();
    void preselectThenLeave();
    void storeEditedByHand_data();
    void storeEditedByHand();
    void systemNamesAreStoredNames();
};

namespace {

QComboBox *combo(QWidget *dialog, const char *name)
{
    return dialog->findChild<QComboBox *>(QLatin1String(name));
}

// The file as it lies on disk, so "nothing written" excludes a rewrite of the same values.
QByteArray storeBytes()
{
    QFile file(TestStore::fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no store file>");
}

const QStringList Two = { "ttyS0", "ttyUSB0" };

} // namespace

void TestSettings::initTestCase()
{
    // A file that is no port, and one the working directory makes a relative name resolve to.
    QFile file(TestStore::runDirectory() + QStringLiteral("/not-a-port"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QFile relative(TestStore::runDirectory() + QStringLiteral("/relative-port"));
    QVERIFY(relative.open(QIODevice::WriteOnly));
    QVERIFY(QDir::setCurrent(TestStore::runDirectory()));
}

void TestSettings::preselectThenLeave_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("way"); // how the dialog is left
    QTest::addColumn<QString>("port"); // what it selects and stores

    // appended: the stored port is added to what the system lists, as it is
    // when it exists, marked when it is absent.
    enum Appended { No, Present, Absent };
    const auto row = [](const char *name, const QStringList &ports, const QVariantMap &stored,
                        int portIndex, int model, Appended appended = No, const char *way = "Ok") {
        const QString port = stored.value("ComPort").toString();
        QStringList items = ports;
        if (appended != No)
            items.append(appended == Absent ? port + " (not present)" : port);
        QTest::newRow(name) << ports << stored << items << portIndex << model << way
                            << (portIndex < ports.size() ? ports.value(portIndex) : port);
    };
    row("empty store", Two, {}, 0, 0);
    row("second port, InFocus", Two, { { "ComPort", "ttyUSB0" }, { "Model", 2 } }, 1, 2);
    row("same name twice", { "ttyS0", "ttyUSB0", "ttyUSB0" }, { { "ComPort", "ttyUSB0" } }, 1, 0);
    // A number that names no family shows as Acer, as the window takes it.
    row("model 7", Two, { { "Model", 7 } }, 0, 0);
    row("model -1", Two, { { "Model", -1 } }, 0, 0);
    row("model abc", Two, { { "Model", "abc" } }, 0, 0);
    row("model empty", Two, { { "Model", "" } }, 0, 0);
    row("percent signs, not present", Two, { { "ComPort", "/dev/ttyV%1%2" } }, 2, 0, Absent);
    row("no ports, none stored", {}, { { "Model", 1 } }, -1, 1);

    // Ports the system does not list: kept and chosen, never swapped for the first listed.
    const QString file = TestStore::runDirectory() + QStringLiteral("/not-a-port");
    row("existing absolute path", Two, { { "ComPort", file }, { "Model", 1 } }, 2, 1, Present);
    row("existing absolute path, nothing listed", {}, { { "ComPort", file } }, 0, 0, Present);
    row("absolute path that is listed", Two + QStringList(file), { { "ComPort", file } }, 2, 0);
    row("missing absolute path", Two, { { "ComPort", "/dev/ttyVantrelMissing0" } }, 2, 0, Absent);
    row("missing by-id link", Two,
        { { "ComPort", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" } }, 2, 0,
        Absent);
    row("name differs in case", Two, { { "ComPort", "TTYUSB0" }, { "Model", 1 } }, 2, 1, Absent);
    row("name not present, no ports", {}, { { "ComPort", "ttyVantrelGone" }, { "Model", 1 } }, 0, 1,
        Absent);
    // A bare name is a device in /dev, whatever the working directory holds.
    row("relative name of a file here", Two, { { "ComPort", "relative-port" } }, 2, 0, Absent);

    // Names that must come back from the store exactly as they went in.
    const auto trip = [&row](const char *name, const QString &port) {
        row(name, { "ttyS0", port }, { { "ComPort", port }, { "Model", 2 } }, 1, 2);
    };
    trip("Windows device namespace", QStringLiteral("\\\\.\\COM10"));
    trip("spaces inside and around", QStringLiteral("  with  spaces "));
    trip("INI syntax", QStringLiteral("[General] a=b; #c, \"d\""));
    trip("line break, tab, unicode", QStringLiteral("one\ntwo\tPrüf-端口-🔌"));
    trip("very long", QStringLiteral("ttyLong").repeated(600));

    for (const char *way : { "Cancel", "Escape", "close()", "title bar" })
        row(way, Two, { { "ComPort", "ttyUSB0" }, { "Model", 2 } }, 1, 2, No, way);
}

void TestSettings::preselectThenLeave()
{
    QFETCH(QStringList, ports);
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, items);
    QFETCH(int, portIndex);
    QFETCH(int, model);
    QFETCH(QString, way);
    QFETCH(QString, port);

    PortEnumeration::setLister([ports] { return ports; });
    TestStore::seed(stored);
    const QByteArray before = storeBytes();

    Settings dialog;
    QComboBox *portCombo = combo(&dialog, "port_comboBox");
    QStringList shown;
    for (int i = 0; i < portCombo->count(); ++i)
        shown.append(portCombo->itemText(i));
    QCOMPARE(shown, items);
    QCOMPARE(portCombo->currentIndex(), portIndex);
    QCOMPARE(dialog.SelectedPort(), port);
    QCOMPARE(dialog.SelectedModel(), model);
    QCOMPARE(combo(&dialog, "model_comboBox")->currentText(),
             QStringList({ "Acer", "Vivitek", "InFocus" }).value(model));
    QVERIFY(!dialog.IsApplied());
    QCOMPARE(storeBytes(), before);

    const bool ok = way == QLatin1String("Ok");
    if (ok)
        TestStore::clear(); // Ok writes both keys, whatever the store holds by then
    QCloseEvent closeEvent; // what the title bar's close button delivers
    DialogDriver driver([way, ok, &closeEvent](QDialog *shown) {
        if (ok)
            return shown->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
        // A choice made and then abandoned must not reach the store.
        combo(shown, "port_comboBox")->setCurrentIndex(0);
        combo(shown, "model_comboBox")->setCurrentIndex(1);
        if (way == QLatin1String("Cancel"))
            shown->findChild<QPushButton *>(QStringLiteral("cancelSettings"))->click();
        else if (way == QLatin1String("Escape"))
            QTest::keyClick(combo(shown, "port_comboBox"), Qt::Key_Escape);
        else if (way == QLatin1String("close()"))
            shown->close();
        else
            QCoreApplication::sendEvent(shown->windowHandle(), &closeEvent);
    });
    dialog.exec();
    QVERIFY(driver.waitDone());
    QCOMPARE(dialog.IsApplied(), ok);
    if (ok) {
        // With a port, also the list of one that port names, as the current projector.
        QCOMPARE(TestStore::keys().size(), port.isEmpty() ? 2 : 7);
        if (!port.isEmpty()) {
            QCOMPARE(TestStore::value("Projectors/1/Port").toString(), port);
            QCOMPARE(TestStore::value("Projectors/1/Model").toInt(), model);
            QCOMPARE(TestStore::value("Projector"), TestStore::value("Projectors/1/Name"));
        }
        QCOMPARE(TestStore::value("ComPort").toString(), port);
        QCOMPARE(TestStore::value("Model").toInt(), model);
    } else {
        QCOMPARE(storeBytes(), before);
    }
}

// The README tells users to write a port's path into the file themselves.
void TestSettings::storeEditedByHand_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("port");

    const QString byId = QStringLiteral("/dev/serial/by-id/usb-Prüf_端口-if00");
    QTest::newRow("UTF-8, as an editor writes it")
        << ("[General]\nComPort=" + byId.toUtf8() + "\nModel=1\n") << byId;
    // What earlier versions wrote: everything beyond ASCII escaped.
    QTest::newRow("escaped by an earlier version")
        << QByteArray("[General]\nComPort=/dev/serial/by-id/usb-Pr\\xfc\\x66_\\x7aef\\x53e3-if00\n"
                      "Model=1\n")
        << byId;
}

void TestSettings::storeEditedByHand()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, port);
    PortEnumeration::setLister([] { return Two; });
    QVERIFY(QDir().mkpath(QFileInfo(TestStore::fileName()).absolutePath()));
    QFile store(TestStore::fileName());
    QVERIFY(store.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && store.write(file) == file.size());
    store.close();

    Settings dialog;
    QCOMPARE(dialog.SelectedPort(), port);
    QCOMPARE(combo(&dialog, "port_comboBox")->currentText(), port + " (not present)");
    DialogDriver driver(
        [](QDialog *shown) { shown->findChild<QPushButton *>("applySettings")->click(); });
    dialog.exec();
    QVERIFY(driver.waitDone());
    // Written back as it came: still the same path for the next start.
    QCOMPARE(TestStore::value("ComPort").toString(), port);
    QVERIFY(storeBytes().contains(port.toUtf8()));
}

// The names the system lists are the names stored, and they open the listed device.
void TestSettings::systemNamesAreStoredNames()
{
    PortEnumeration::setLister({});
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        QSKIP("this machine lists no serial port");
    const QStringList listed = PortEnumeration::availablePortNames();
    QCOMPARE(listed.size(), ports.size());
    for (int i = 0; i < ports.size(); ++i) {
        QCOMPARE(listed.at(i), ports.at(i).portName());
        QCOMPARE(PortStatus::systemLocation(listed.at(i)), ports.at(i).systemLocation());
        QSerialPort port(listed.at(i));
        QCOMPARE(QSerialPortInfo(port).systemLocation(), ports.at(i).systemLocation());
    }
    TestStore::seed({ { "ComPort", listed.last() } });
    Settings dialog;
    QCOMPARE(dialog.SelectedPort(), listed.last());
    QCOMPARE(combo(&dialog, "port_comboBox")->currentText(), listed.last());
}

VANTREL_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
