#include "portenumeration.h"
#include "settings.h"
#include "testmain.h"
#include "teststore.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWindow>

// The settings dialog against the real store: what it preselects, what Ok
// writes, and that every other way out writes nothing.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void preselectionAndOk_data();
    void preselectionAndOk();
    void okRewritesBothKeys();
    void leavingWithoutOkWritesNothing_data();
    void leavingWithoutOkWritesNothing();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
};

namespace {

QComboBox *portCombo(QWidget *dialog)
{
    return dialog->findChild<QComboBox *>(QStringLiteral("port_comboBox"));
}

QComboBox *modelCombo(QWidget *dialog)
{
    return dialog->findChild<QComboBox *>(QStringLiteral("model_comboBox"));
}

void clickButton(QWidget *dialog, const char *name)
{
    auto *button = dialog->findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

// The store's file as it lies on disk, so "nothing written" means not even
// a rewrite of the same values.
QByteArray storeBytes()
{
    QFile file(TestStore::fileName());
    if (!file.exists())
        return QByteArrayLiteral("<no store file>");
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return file.readAll();
}

void listPorts(const QStringList &ports)
{
    PortEnumeration::setLister([ports] { return ports; });
}

} // namespace

void TestSettings::initTestCase()
{
    // An existing absolute path that is no port, for the rows that store one.
    QFile file(TestStore::runDirectory() + QStringLiteral("/not-a-port"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    // A relative name resolves against the working directory; give it
    // something to find there so only the "absolute" rule keeps it out.
    QFile relative(TestStore::runDirectory() + QStringLiteral("/relative-port"));
    QVERIFY(relative.open(QIODevice::WriteOnly));
    QVERIFY(QDir::setCurrent(TestStore::runDirectory()));
}

void TestSettings::init()
{
    TestStore::clear();
    listPorts({ QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0") });
}

void TestSettings::cleanupTestCase()
{
    PortEnumeration::setLister({});
}

void TestSettings::preselectionAndOk_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QStringList>("expectedItems");
    QTest::addColumn<int>("expectedPortIndex");
    QTest::addColumn<int>("expectedModel");

    const QStringList two = { QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0") };
    const QString missing = QStringLiteral("/dev/ttyVantrelMissing0");
    const QString file = TestStore::runDirectory() + QStringLiteral("/not-a-port");

    QTest::newRow("empty store") << two << QVariantMap() << two << 0 << 0;
    QTest::newRow("second port, InFocus")
        << two << QVariantMap { { "ComPort", "ttyUSB0" }, { "Model", 2 } } << two << 1 << 2;
    QTest::newRow("name differs in case")
        << two << QVariantMap { { "ComPort", "TTYUSB0" }, { "Model", 1 } } << two << 0 << 1;
    const QStringList twins = { "ttyS0", "ttyUSB0", "ttyUSB0" };
    QTest::newRow("two ports of that name")
        << twins << QVariantMap { { "ComPort", "ttyUSB0" } } << twins << 1 << 0;
    QTest::newRow("stored port gone")
        << two << QVariantMap { { "ComPort", "ttyACM3" }, { "Model", 2 } } << two << 0 << 2;
    QTest::newRow("model 7") << two << QVariantMap { { "Model", 7 } } << two << 0 << -1;
    QTest::newRow("model 3") << two << QVariantMap { { "Model", 3 } } << two << 0 << -1;
    QTest::newRow("model -1") << two << QVariantMap { { "Model", -1 } } << two << 0 << -1;
    QTest::newRow("model abc") << two << QVariantMap { { "Model", "abc" } } << two << 0 << 0;
    QTest::newRow("model empty") << two << QVariantMap { { "Model", "" } } << two << 0 << 0;
    QTest::newRow("no ports at all")
        << QStringList() << QVariantMap { { "ComPort", "ttyS0" }, { "Model", 1 } } << QStringList()
        << -1 << 1;

    // Ports the system does not enumerate, named by an absolute path.
    QTest::newRow("existing absolute path")
        << two << QVariantMap { { "ComPort", file }, { "Model", 1 } } << (two + QStringList(file))
        << 2 << 1;
    QTest::newRow("existing absolute path, nothing enumerated")
        << QStringList() << QVariantMap { { "ComPort", file } } << QStringList(file) << 0 << 0;
    QTest::newRow("missing absolute path")
        << two << QVariantMap { { "ComPort", missing } } << two << 0 << 0;
    QTest::newRow("existing relative name")
        << two << QVariantMap { { "ComPort", "relative-port" } } << two << 0 << 0;
    QTest::newRow("absolute path that is enumerated")
        << (two + QStringList(file)) << QVariantMap { { "ComPort", file } }
        << (two + QStringList(file)) << 2 << 0;
}

void TestSettings::preselectionAndOk()
{
    QFETCH(QStringList, ports);
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, expectedItems);
    QFETCH(int, expectedPortIndex);
    QFETCH(int, expectedModel);

    listPorts(ports);
    TestStore::seed(stored);
    const QByteArray before = storeBytes();

    Settings dialog;
    QCOMPARE(items(portCombo(&dialog)), expectedItems);
    QCOMPARE(portCombo(&dialog)->currentIndex(), expectedPortIndex);
    const QString expectedPort = expectedItems.value(expectedPortIndex);
    QCOMPARE(dialog.SelectedPort(), expectedPort);
    QCOMPARE(dialog.SelectedModel(), expectedModel);
    QCOMPARE(modelCombo(&dialog)->currentText(),
             QStringList({ "Acer", "Vivitek", "InFocus" }).value(expectedModel));
    QVERIFY(!dialog.IsApplied());
    // Reading the store must not touch it.
    QCOMPARE(storeBytes(), before);

    // Ok stores exactly what is shown, an empty port and -1 included.
    dialog.show();
    clickButton(&dialog, "applySettings");
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.IsApplied());
    QSettings store(TestStore::Organisation, TestStore::Application);
    QCOMPARE(store.value("ComPort"), QVariant(expectedPort));
    QCOMPARE(store.value("Model").toInt(), expectedModel);
    // The closed dialog still answers with what it showed.
    QCOMPARE(dialog.SelectedPort(), expectedPort);
    QCOMPARE(dialog.SelectedModel(), expectedModel);
}

void TestSettings::okRewritesBothKeys()
{
    TestStore::seed({ { "ComPort", "ttyUSB0" }, { "Model", 2 } });
    Settings dialog;
    DialogDriver driver([](QDialog *shown) {
        // Whatever happened to the store meanwhile, Ok writes both keys
        // from the dialog, changed or not.
        TestStore::clear();
        clickButton(shown, "applySettings");
    });
    dialog.exec();
    QVERIFY(driver.waitDone());

    QVERIFY(dialog.IsApplied());
    QCOMPARE(TestStore::value("ComPort"), QVariant("ttyUSB0"));
    QCOMPARE(TestStore::value("Model").toInt(), 2);
    QStringList keys = TestStore::keys();
    keys.sort();
    QCOMPARE(keys, QStringList({ "ComPort", "Model" }));
}

void TestSettings::leavingWithoutOkWritesNothing_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("seeded");

    for (const char *way : { "Cancel", "Escape", "close()", "title bar" }) {
        QTest::addRow("%s, stored values", way) << QString::fromLatin1(way) << true;
        QTest::addRow("%s, empty store", way) << QString::fromLatin1(way) << false;
    }
}

void TestSettings::leavingWithoutOkWritesNothing()
{
    QFETCH(QString, way);
    QFETCH(bool, seeded);

    if (seeded)
        TestStore::seed({ { "ComPort", "ttyUSB0" }, { "Model", 2 } });
    const QByteArray before = storeBytes();

    Settings dialog;
    DialogDriver driver([way](QDialog *shown) {
        // A choice made and then abandoned must not reach the store.
        portCombo(shown)->setCurrentIndex(0);
        modelCombo(shown)->setCurrentIndex(1);
        if (way == QLatin1String("Cancel")) {
            clickButton(shown, "cancelSettings");
        } else if (way == QLatin1String("Escape")) {
            QTest::keyClick(portCombo(shown), Qt::Key_Escape);
        } else if (way == QLatin1String("close()")) {
            shown->close();
        } else {
            // What the window system delivers for the title bar's close button.
            QCloseEvent event;
            QCoreApplication::sendEvent(shown->windowHandle(), &event);
        }
    });
    dialog.exec();
    QVERIFY(driver.waitDone());

    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.IsApplied());
    QCOMPARE(storeBytes(), before);
}

void TestSettings::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("model");

    QTest::newRow("COM port") << QStringLiteral("COM3") << 0;
    QTest::newRow("device path") << QStringLiteral("/dev/ttyUSB0") << 1;
    QTest::newRow("Windows device namespace") << QStringLiteral("\\\\.\\COM10") << 2;
    QTest::newRow("spaces inside and around") << QStringLiteral("  port  with spaces ") << 1;
    QTest::newRow("INI syntax") << QStringLiteral("[General] a=b; #c, \"d\"") << 2;
    QTest::newRow("line break and tab") << QStringLiteral("one\ntwo\tthree") << 0;
    QTest::newRow("unicode") << QStringLiteral("Prüfstand-端口-порт-🔌") << 2;
    QTest::newRow("very long") << QStringLiteral("ttyLong").repeated(600) << 1;
}

void TestSettings::valuesRoundTrip()
{
    QFETCH(QString, port);
    QFETCH(int, model);

    listPorts({ QStringLiteral("ttyS0"), port });
    {
        Settings dialog;
        DialogDriver driver([model](QDialog *shown) {
            portCombo(shown)->setCurrentIndex(1);
            modelCombo(shown)->setCurrentIndex(model);
            clickButton(shown, "applySettings");
        });
        dialog.exec();
        QVERIFY(driver.waitDone());
        QVERIFY(dialog.IsApplied());
    }

    QSettings store(TestStore::Organisation, TestStore::Application);
    QCOMPARE(store.value("ComPort").toString(), port);
    QCOMPARE(store.value("Model").toInt(), model);

    // And back into a new dialog, as at the next start.
    Settings again;
    QCOMPARE(again.SelectedPort(), port);
    QCOMPARE(portCombo(&again)->currentIndex(), 1);
    QCOMPARE(again.SelectedModel(), model);
}

VANTREL_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
