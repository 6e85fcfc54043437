#include "portenumeration.h"
#include "settings.h"
#include "testmain.h"
#include "teststore.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
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

    const auto row = [](const char *name, const QStringList &ports, const QVariantMap &stored,
                        int portIndex, int model, bool appended = false, const char *way = "Ok") {
        const QStringList items = ports + QStringList(stored.value("ComPort").toString());
        QTest::newRow(name) << ports << stored << (appended ? items : ports) << portIndex << model
                            << way;
    };
    row("empty store", Two, {}, 0, 0);
    row("second port, InFocus", Two, { { "ComPort", "ttyUSB0" }, { "Model", 2 } }, 1, 2);
    row("name differs in case", Two, { { "ComPort", "TTYUSB0" }, { "Model", 1 } }, 0, 1);
    row("same name twice", { "ttyS0", "ttyUSB0", "ttyUSB0" }, { { "ComPort", "ttyUSB0" } }, 1, 0);
    row("no ports at all", {}, { { "ComPort", "ttyS0" }, { "Model", 1 } }, -1, 1);
    row("model 7", Two, { { "Model", 7 } }, 0, -1);
    row("model -1", Two, { { "Model", -1 } }, 0, -1);
    row("model abc", Two, { { "Model", "abc" } }, 0, 0);
    row("model empty", Two, { { "Model", "" } }, 0, 0);

    // Ports the system does not enumerate, named by an absolute path.
    const QString file = TestStore::runDirectory() + QStringLiteral("/not-a-port");
    row("existing absolute path", Two, { { "ComPort", file }, { "Model", 1 } }, 2, 1, true);
    row("existing absolute path, nothing enumerated", {}, { { "ComPort", file } }, 0, 0, true);
    row("absolute path that is enumerated", Two + QStringList(file), { { "ComPort", file } }, 2, 0);
    row("missing absolute path", Two, { { "ComPort", "/dev/ttyVantrelMissing0" } }, 0, 0);
    row("existing relative name", Two, { { "ComPort", "relative-port" } }, 0, 0);

    // Names that must come back from the store exactly as they went in.
    const auto trip = [&](const char *name, const QString &port) {
        row(name, { "ttyS0", port }, { { "ComPort", port }, { "Model", 2 } }, 1, 2);
    };
    trip("Windows device namespace", QStringLiteral("\\\\.\\COM10"));
    trip("spaces inside and around", QStringLiteral("  with  spaces "));
    trip("INI syntax", QStringLiteral("[General] a=b; #c, \"d\""));
    trip("line break, tab, unicode", QStringLiteral("one\ntwo\tPrüf-端口-🔌"));
    trip("very long", QStringLiteral("ttyLong").repeated(600));

    for (const char *way : { "Cancel", "Escape", "close()", "title bar" })
        row(way, Two, { { "ComPort", "ttyUSB0" }, { "Model", 2 } }, 1, 2, false, way);
}

void TestSettings::preselectThenLeave()
{
    QFETCH(QStringList, ports);
    QFETCH(QVariantMap, stored);
    QFETCH(QStringList, items);
    QFETCH(int, portIndex);
    QFETCH(int, model);
    QFETCH(QString, way);

    PortEnumeration::setLister([ports] { return ports; });
    TestStore::seed(stored);
    const QByteArray before = storeBytes();
    const QString port = items.value(portIndex);

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
        QCOMPARE(TestStore::keys().size(), 2);
        QCOMPARE(TestStore::value("ComPort").toString(), port);
        QCOMPARE(TestStore::value("Model").toInt(), model);
    } else {
        QCOMPARE(storeBytes(), before);
    }
}

VANTREL_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
