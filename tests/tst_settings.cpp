#include "portenumeration.h"
#include "portstatus.h"
#include "preferences.h"
#include "projectorlist.h"
#include "projectorsdialog.h"
#include "settings.h"
#include "storedsettings.h"
#include "storewriter.h"
#include "testmain.h"
#include "teststore.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

// The settings dialog and the projectors dialog on the real store: what they
// preselect, what Ok writes, what else writes, and the one way to write.
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
    void editList_data();
    void editList();
    void okKeepsWhatOthersStored_data();
    void okKeepsWhatOthersStored();
    void damagedStore_data();
    void damagedStore();
    void editLockOpening_data();
    void editLockOpening();
    void writerNeverWaits_data();
    void writerNeverWaits();
    void hugeSizeReadPromptly();
    void passwordNeverReadable();
    void editSeesASaveItsCacheMissed();
    void sameSizeSavesChangeTheTime_data();
    void sameSizeSavesChangeTheTime();
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
    // A number that names no family leaves the list without a choice, and Ok stores -1.
    row("model 7", Two, { { "Model", 7 } }, 0, -1);
    row("model -1", Two, { { "Model", -1 } }, 0, -1);
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

    // Addresses of network serial servers: never absent devices.
    row("stored raw TCP address", Two, { { "ComPort", "tcp://192.0.2.7:4001" } }, 2, 0, Present);
    row("stored RFC 2217 address, IPv6", Two,
        { { "ComPort", "rfc2217://[fe80::1%eth0]:2217" }, { "Model", 2 } }, 2, 2, Present);
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
    QVERIFY(!portCombo->isEditable());
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
        // The two keys and nothing else: no list, no current projector.
        QCOMPARE(TestStore::keys(), QStringList({ "ComPort", "Model" }));
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

void TestSettings::editList_data()
{
    QTest::addColumn<QStringList>("steps"); // "verb argument", done in the dialog in turn
    QTest::addColumn<QString>(
        "stored"); // the list after, "name:model:port:group|...", current first
    QTest::addColumn<QString>("box"); // the text of the one box Ok shows; empty: none

    const QString before = "b:1:ttyUSB0:north|a:0:ttyS0:";
    QTest::newRow("nothing changed") << QStringList { "ok" } << before << "";
    QTest::newRow("add one") << QStringList { "add", "name c", "model 2", "port ttyS0", "ok" }
                             << "c:2:ttyS0:|a:0:ttyS0:|b:1:ttyUSB0:north"
                             << "";
    QTest::newRow("add one, leave it unnamed: named after its port")
        << QStringList { "add", "name ", "port ttyS0", "ok" }
        << "ttyS0:1:ttyS0:|a:0:ttyS0:|b:1:ttyUSB0:north"
        << "";
    QTest::newRow("rename and regroup, then choose another")
        << QStringList { "name b2", "group south", "select a", "ok" }
        << "a:0:ttyS0:|b2:1:ttyUSB0:south"
        << "";
    QTest::newRow("edits of two entries")
        << QStringList { "model 2", "select a", "port ttyUSB0", "group east", "ok" }
        << "a:0:ttyUSB0:east|b:2:ttyUSB0:north"
        << "";
    QTest::newRow("remove the current one") << QStringList { "remove", "ok" } << "a:0:ttyS0:"
                                            << "";
    QTest::newRow("remove both") << QStringList { "remove", "remove", "ok" } << ""
                                 << "";
    QTest::newRow("remove, then add")
        << QStringList { "remove", "remove", "add", "name z", "ok" } << "z:0:ttyS0:"
        << "";
    QTest::newRow("two of a name: refused, then cancelled")
        << QStringList { "name a", "ok", "cancel" } << before
        << "Projector \"a\": two projectors are called \"a\".";
    QTest::newRow("a name that reads as an option: refused, then fixed")
        << QStringList { "add", "name -x", "ok", "name x", "ok" }
        << "x:1:ttyS0:|a:0:ttyS0:|b:1:ttyUSB0:north"
        << "Projector \"-x\": a name does not start with \"-\".";
    // A PJLink projector: an address in place of the port, and a password
    // that only such an entry keeps.
    QTest::newRow("PJLink: address and password")
        << QStringList { "model 3", "address 192.0.2.7:4353", "password s3cret", "ok" }
        << "b:3:192.0.2.7:4353:north:password|a:0:ttyS0:"
        << "";
    QTest::newRow("PJLink: an address that is none, refused, then fixed")
        << QStringList { "model 3", "address [::1", "ok", "address [::1]", "ok" }
        << "b:3:[::1]:north|a:0:ttyS0:"
        << "Projector \"b\": the address: \"[::1\" is not an IPv6 address in brackets.";
    QTest::newRow("PJLink, then a serial family again: no password kept")
        << QStringList { "model 3", "address beamer", "password pw", "model 0", "port ttyS0", "ok" }
        << "b:0:ttyS0:north|a:0:ttyS0:"
        << "";
    // The port field takes what the system does not list.
    QTest::newRow("a network serial server typed")
        << QStringList { "type rfc2217://projector.invalid:2217", "ok" }
        << "b:1:rfc2217://projector.invalid:2217:north|a:0:ttyS0:"
        << "";
    QTest::newRow("a path typed") << QStringList { "select a", "type /dev/serial/by-id/usb-typed",
                                                   "ok" }
                                  << "a:0:/dev/serial/by-id/usb-typed:|b:1:ttyUSB0:north"
                                  << "";
    QTest::newRow("edits cancelled")
        << QStringList { "name q", "add", "remove", "remove", "cancel" } << before << "";
}

// The list as the dialog edits it, read back from the real store.
void TestSettings::editList()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, stored);
    QFETCH(QString, box);
    PortEnumeration::setLister([] { return Two; });
    TestStore::seed({ { "ComPort", "ttyUSB0" },
                      { "Model", 1 },
                      { "Projector", "b" },
                      { "Projectors/size", 2 },
                      { "Projectors/1/Name", "a" },
                      { "Projectors/1/Model", 0 },
                      { "Projectors/1/Port", "ttyS0" },
                      { "Projectors/2/Name", "b" },
                      { "Projectors/2/Model", 1 },
                      { "Projectors/2/Port", "ttyUSB0" },
                      { "Projectors/2/Group", "north" } });

    ProjectorsDialog dialog;
    QCOMPARE(combo(&dialog, "projector_comboBox")->currentText(), QString("b"));
    const auto edit = [](QWidget *shown, const char *name) {
        return shown->findChild<QLineEdit *>(QLatin1String(name));
    };
    bool refused = false;
    DialogDriver driver([&](QDialog *shown) {
        for (const QString &step : steps) {
            const QString verb = step.section(' ', 0, 0);
            const QString argument = step.section(' ', 1);
            if (verb == "add" || verb == "remove")
                QTest::mouseClick(shown->findChild<QPushButton *>(verb + "Projector"),
                                  Qt::LeftButton);
            else if (verb == "select")
                combo(shown, "projector_comboBox")
                    ->setCurrentIndex(combo(shown, "projector_comboBox")->findText(argument));
            else if (verb == "name" || verb == "group") {
                QLineEdit *field = edit(shown, verb == "name" ? "name_lineEdit" : "group_lineEdit");
                field->selectAll();
                QTest::keyClick(field, Qt::Key_Delete);
                QTest::keyClicks(field, argument);
            } else if (verb == "address" || verb == "password") {
                QLineEdit *field
                    = edit(shown, verb == "address" ? "address_lineEdit" : "password_lineEdit");
                QVERIFY(field->isVisible());
                QVERIFY(!combo(shown, "port_comboBox")->isVisible());
                if (verb == "password")
                    QCOMPARE(field->echoMode(), QLineEdit::Password);
                field->selectAll();
                QTest::keyClick(field, Qt::Key_Delete);
                QTest::keyClicks(field, argument);
            } else if (verb == "model")
                combo(shown, "model_comboBox")->setCurrentIndex(argument.toInt());
            else if (verb == "port")
                combo(shown, "port_comboBox")
                    ->setCurrentIndex(combo(shown, "port_comboBox")->findText(argument));
            else if (verb == "type") // over the list: an address, a path
                combo(shown, "port_comboBox")->setEditText(argument);
            else if (verb == "ok" || verb == "cancel") {
                // A refusal's box is answered while the click runs.
                BoxAnswerer refusal;
                if (!box.isEmpty() && verb == "ok" && !refused) {
                    refused = true;
                    refusal.thenPress(QMessageBox::Ok);
                }
                shown->findChild<QPushButton *>(verb == "ok" ? "applySettings" : "cancelSettings")
                    ->click();
                if (refusal.expectedCount() > 0) {
                    QVERIFY(refusal.waitDone());
                    QCOMPARE(refusal.box().text, box);
                    QVERIFY(shown->isVisible());
                }
            }
        }
    });
    dialog.exec();
    QVERIFY(driver.waitDone());

    const ProjectorList projectors = ProjectorList::read();
    QStringList listed;
    for (const ProjectorList::Projector &p : projectors.entries()) {
        QString entry = QStringList { p.name, QString::number(p.model), p.port, p.group }.join(':');
        // Whether there is one, never what it is.
        if (!p.password.isEmpty())
            entry += QLatin1String(":password");
        if (&p == projectors.current())
            listed.prepend(entry);
        else
            listed.append(entry);
    }
    QCOMPARE(listed.join('|'), stored);
    if (stored.contains(QLatin1String(":password"))) {
        const QString expected = QStringLiteral("s3cret");
        QVERIFY(projectors.current()->password == expected);
        // For its owner's eyes alone.
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(!(QFile::permissions(TestStore::fileName()) & others));
        QVERIFY(dialog.SelectedPassword() == expected);
    }
    // What an older Vantrel reads is the current one.
    const ProjectorList::Projector *current = projectors.current();
    QCOMPARE(TestStore::value("ComPort"), current ? QVariant(current->port) : QVariant());
    if (dialog.IsApplied())
        QCOMPARE(dialog.SelectedPort(), current ? current->port : QString());
}

namespace {

const QVariantMap TwoStored = { { "ComPort", "ttyUSB0" },
                                { "Model", 1 },
                                { "Projector", "b" },
                                { "Projectors/size", 2 },
                                { "Projectors/1/Name", "a" },
                                { "Projectors/1/Model", 0 },
                                { "Projectors/1/Port", "ttyS0" },
                                { "Projectors/2/Name", "b" },
                                { "Projectors/2/Model", 1 },
                                { "Projectors/2/Port", "ttyUSB0" },
                                { "Projectors/2/Group", "north" } };

// vantrelctl on this run's store, as a script runs it while the dialog is open.
int vantrelctl(const QStringList &arguments)
{
    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", TestStore::runDirectory() + "/config");
    ctl.setProcessEnvironment(environment);
    ctl.start(VANTRELCTL_EXE_PATH, arguments);
    return ctl.waitForFinished(30000) ? ctl.exitCode() : -1;
}

// The list as stored, "name:model:port:group|...", the current one first.
QString storedList()
{
    const ProjectorList projectors = ProjectorList::read();
    QStringList listed;
    for (const ProjectorList::Projector &p : projectors.entries()) {
        const QString entry
            = QStringList { p.name, QString::number(p.model), p.port, p.group }.join(':');
        if (&p == projectors.current())
            listed.prepend(entry);
        else
            listed.append(entry);
    }
    return listed.join('|');
}

} // namespace

void TestSettings::okKeepsWhatOthersStored_data()
{
    QTest::addColumn<QString>("meanwhile"); // vantrelctl projector ..., while the dialog is open
    QTest::addColumn<QStringList>("steps"); // "name N", "add", "select N", then Ok
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("box"); // what Ok refuses with; empty: none

    QTest::newRow("added there, nothing changed here")
        << "add c --family acer --port ttyS1" << QStringList()
        << "b:1:ttyUSB0:north|a:0:ttyS0:|c:0:ttyS1:"
        << "";
    QTest::newRow("added there, renamed here")
        << "add c --family acer --port ttyS1" << QStringList { "name b2" }
        << "b2:1:ttyUSB0:north|a:0:ttyS0:|c:0:ttyS1:"
        << "";
    QTest::newRow("added there, added here")
        << "add c --family acer --port ttyS1" << QStringList { "add", "name d" }
        << "d:1:ttyS0:|a:0:ttyS0:|b:1:ttyUSB0:north|c:0:ttyS1:"
        << "";
    QTest::newRow("added there, two names swapped here")
        << "add c --family acer --port ttyS1"
        << QStringList { "name x", "select a", "name b", "select x", "name a" }
        << "a:1:ttyUSB0:north|b:0:ttyS0:|c:0:ttyS1:"
        << "";
    QTest::newRow("removed there, untouched here")
        << "remove a" << QStringList() << "b:1:ttyUSB0:north"
        << "";
    // The projector Ok chooses is the one the window drives: it stays.
    QTest::newRow("removed there, chosen here")
        << "remove b" << QStringList() << "b:1:ttyUSB0:north|a:0:ttyS0:"
        << "";
    QTest::newRow("added there under the name added here")
        << "add c --family acer --port ttyS1" << QStringList { "add", "name c" }
        << "b:1:ttyUSB0:north|a:0:ttyS0:|c:0:ttyS1:"
        << "Projector \"c\": two projectors are called \"c\".";
}

// Ok applies what was done in the dialog to the list as it is stored by
// then, not the list as it was when the dialog opened.
void TestSettings::okKeepsWhatOthersStored()
{
    QFETCH(QString, meanwhile);
    QFETCH(QStringList, steps);
    QFETCH(QString, stored);
    QFETCH(QString, box);
    PortEnumeration::setLister([] { return Two; });
    TestStore::seed(TwoStored);

    ProjectorsDialog dialog;
    DialogDriver driver([&](QDialog *shown) {
        QCOMPARE(vantrelctl(QStringList { "projector" } + meanwhile.split(' ')), 0);
        for (const QString &step : steps) {
            if (step == "add") {
                QTest::mouseClick(shown->findChild<QPushButton *>("addProjector"), Qt::LeftButton);
            } else if (step.startsWith("select ")) {
                QComboBox *list = combo(shown, "projector_comboBox");
                list->setCurrentIndex(list->findText(step.mid(7)));
            } else {
                auto *name = shown->findChild<QLineEdit *>("name_lineEdit");
                name->selectAll();
                QTest::keyClick(name, Qt::Key_Delete);
                QTest::keyClicks(name, step.section(' ', 1));
            }
        }
        BoxAnswerer refusal;
        if (!box.isEmpty())
            refusal.thenPress(QMessageBox::Ok);
        shown->findChild<QPushButton *>("applySettings")->click();
        if (!box.isEmpty()) {
            QVERIFY(refusal.waitDone());
            QCOMPARE(refusal.box().title, QString("Projectors not saved"));
            QCOMPARE(refusal.box().text, box);
            shown->findChild<QPushButton *>("cancelSettings")->click();
        }
    });
    dialog.exec();
    QVERIFY(driver.waitDone());
    QCOMPARE(dialog.IsApplied(), box.isEmpty());
    QCOMPARE(storedList(), stored);
}

void TestSettings::damagedStore_data()
{
    QTest::addColumn<QString>("writer");
    for (const char *writer : { "projectors dialog", "settings dialog", "list", "keys", "values" })
        QTest::newRow(writer) << writer;
}

// A hand edit that QSettings would misread: every writer, the dialogs, the
// list, the two keys and the Rooms view's and the preferences' values, goes
// through the one save, which leaves such a file as it is.
void TestSettings::damagedStore()
{
    QFETCH(QString, writer);
    PortEnumeration::setLister([] { return Two; });
    TestStore::seed(TwoStored);
    QFile file(TestStore::fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray damaged = file.readAll();
    file.close();
    // The quote takes in the lines after it, "size" among them.
    damaged.replace("1\\Port=ttyS0", "1\\Port=\"ttyS0");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(damaged), damaged.size());
    file.close();
    const int line = damaged.left(damaged.indexOf("\"ttyS0")).count('\n') + 1;
    const QString problem = QString("%1:%2: a quote (\") that is not closed on its line")
                                .arg(file.fileName())
                                .arg(line);
    const QString refusal
        = problem + "; the settings file is left as it is until this is put right";

    if (writer == "list") {
        ProjectorList projectors = ProjectorList::read();
        QCOMPARE(projectors.damage(), problem);
        QVERIFY(projectors.add({ "c", 0, "ttyC", {}, {} }));
        QCOMPARE(projectors.save(), StoredSettings::Saved::Damaged);
    } else if (writer == "keys") {
        QCOMPARE(StoredSettings::write({ "ttyC", 2 }), StoredSettings::Saved::Damaged);
    } else if (writer == "values") {
        StoreWriter values;
        QSignalSpy finished(&values, &StoreWriter::finished);
        values.setValues({ { "Rooms/PollSeconds", 30 } });
        Preferences::setReconnect(values, true);
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(1).at(0).toString(), refusal);
        QCOMPARE(values.unsaved().size(), 2); // kept for another try
    } else {
        // Said at Ok. The settings dialog's choice applies to this session
        // only; the projectors dialog said so when it opened too, and keeps
        // the edits on show.
        const bool keys = writer == "settings dialog";
        Settings settings;
        ProjectorsDialog projectors;
        QDialog &dialog = keys ? static_cast<QDialog &>(settings) : projectors;
        if (!keys) {
            QCOMPARE(projectors.StoreDamage(), problem);
            QCOMPARE(projectors.findChild<QLabel *>("findStatus")->text(), problem);
        }
        DialogDriver driver([&](QDialog *shown) {
            BoxAnswerer box;
            box.thenPress(QMessageBox::Ok);
            shown->findChild<QPushButton *>("applySettings")->click();
            QVERIFY(box.waitDone());
            QCOMPARE(box.box().title,
                     QString(keys ? "Settings not saved" : "Projectors not saved"));
            QCOMPARE(box.box().text,
                     keys ? QString(refusal).replace(0, 1, refusal.at(0).toUpper())
                             + ".\nThe choice applies to this session only."
                          : "The projectors could not be saved: " + refusal + '.');
            if (keys)
                return;
            QVERIFY(shown->isVisible());
            shown->findChild<QPushButton *>("cancelSettings")->click();
        });
        dialog.exec();
        QVERIFY(driver.waitDone());
        QCOMPARE(keys ? settings.IsApplied() : projectors.IsApplied(), keys);
    }
    QCOMPARE(storeBytes(), damaged);
}

void TestSettings::editLockOpening_data()
{
    QTest::addColumn<QString>("left"); // what lies where the lock goes
    QTest::addColumn<QString>("problem"); // %l: the lock's file; empty: it is taken

    const auto row = [](const char *name, const char *left, const char *problem) {
        QTest::newRow(name) << left << problem;
    };
    const char *const link = "the lock %l is a link; nothing is saved while it is there";
    row("nothing", "", "");
    // Left behind by a program that ended: nobody holds it.
    row("a stale lock file", "file", "");
    row("a stale read-only lock file", "read-only", "");
    row("held by another program", "held",
        "settings are being changed by another program (lock %l)");
    // Planted: never followed, nothing made where they lead.
    row("a dangling link", "dangling link", link);
    row("a link to a file", "link", link);
    row("a FIFO", "fifo",
        "the lock %l is not a file of this user's; nothing is saved while it is there");
    row("a directory", "directory", "the lock %l cannot be opened: Is a directory");
}

// The edit lock is a regular file of the user's own, opened without
// following links or blocking, and taken over when nobody holds it.
void TestSettings::editLockOpening()
{
    QFETCH(QString, left);
    QFETCH(QString, problem);
    TestStore::seed(TwoStored);
    const QString lock = StoredSettings::EditLock::fileName();
    QCOMPARE(lock, TestStore::fileName() + ".edit.lock");
    const QString target = TestStore::runDirectory() + "/lock-target";
    QFile::remove(target);
    QVERIFY(QFile(target).open(QIODevice::WriteOnly));
    if (left != "link")
        QFile::remove(target);

    int held = -1;
    if (left == "file" || left == "read-only" || left == "held") {
        QFile stale(lock);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        if (left == "read-only")
            QVERIFY(QFile::setPermissions(lock, QFile::ReadOwner));
        if (left == "held") {
            held = ::open(QFile::encodeName(lock).constData(), O_RDONLY);
            QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
        }
    } else if (left.endsWith("link")) {
        QVERIFY(QFile::link(target, lock));
    } else if (left == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
    } else if (left == "directory") {
        QVERIFY(QDir().mkpath(lock));
    }
    const auto cleanUp = qScopeGuard([&] {
        if (held >= 0)
            ::close(held);
        QFile::remove(lock);
        QDir().rmdir(lock);
        QFile::remove(target);
    });

    {
        const StoredSettings::EditLock taken(StoredSettings::EditLock::Wait::Once);
        QCOMPARE(taken.problem(), QString(problem).replace("%l", lock));
        QCOMPARE(taken.isLocked(), problem.isEmpty());
        QCOMPARE(taken.isBusy(), left == "held");
        if (taken.isLocked()) {
            ProjectorList projectors = ProjectorList::read();
            QVERIFY(projectors.add({ "c", 0, "ttyC", {}, {} }));
            QVERIFY(projectors.write());
        }
    }
    QCOMPARE(QFile::exists(target), left == "link");
    QCOMPARE(ProjectorList::read().find("c") != nullptr, problem.isEmpty());
    // Its holder removes it on letting go.
    if (problem.isEmpty())
        QVERIFY(!QFileInfo::exists(lock));
}

void TestSettings::writerNeverWaits_data()
{
    QTest::addColumn<bool>("letGo"); // the other program lets go of the lock in time
    QTest::newRow("let go meanwhile: saved then") << true;
    QTest::newRow("held throughout: said so, kept for another try") << false;
}

// A writer on the GUI thread never waits for the lock: its call returns at
// once, the event loop runs on, and the value is saved once the lock is free.
void TestSettings::writerNeverWaits()
{
    QFETCH(bool, letGo);
    TestStore::clear();
    const QString lock = StoredSettings::EditLock::fileName();
    QVERIFY(QDir().mkpath(QFileInfo(lock).absolutePath()));
    int held = ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CREAT, 0600);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
    const auto release = [&held] {
        if (held >= 0)
            ::close(std::exchange(held, -1));
    };
    const auto cleanUp = qScopeGuard(release);

    StoreWriter writer(nullptr, letGo ? std::chrono::seconds(10) : std::chrono::milliseconds(300));
    QSignalSpy finished(&writer, &StoreWriter::finished);
    writer.setValues({ { "Rooms/PollSeconds", 30 } });
    QVERIFY(writer.isWaiting());
    QCOMPARE(finished.size(), 0);
    // A later value joins the one waiting.
    writer.setValues({ { "Rooms/LampLifeHours", 2000 } });
    // The event loop turns meanwhile: another timer fires.
    bool ticked = false;
    QTimer::singleShot(0, [&ticked] { ticked = true; });
    QTRY_VERIFY(ticked);
    if (letGo)
        release();
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.size(), 1);
    if (letGo) {
        QCOMPARE(finished.at(0).at(0).toString(), QString());
        QVERIFY(!writer.gaveUpWaiting());
    } else {
        QCOMPARE(finished.at(0).at(0).toString(),
                 "settings are being changed by another program (lock " + lock + ')');
        QVERIFY(writer.gaveUpWaiting());
        QVERIFY(!TestStore::contains("Rooms/PollSeconds"));
        QCOMPARE(writer.unsaved().size(), 2);
        // Another try, once the lock is free, saves what was kept.
        release();
        writer.setValues({ { "Rooms/PollSeconds", 40 } });
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.at(1).at(0).toString(), QString());
    }
    QCOMPARE(TestStore::value("Rooms/PollSeconds").toInt(), letGo ? 30 : 40);
    QCOMPARE(TestStore::value("Rooms/LampLifeHours").toInt(), 2000);
    QVERIFY(writer.unsaved().isEmpty());
}

// A size no list has is read no further than the most there may be, at once.
void TestSettings::hugeSizeReadPromptly()
{
    TestStore::seed(TwoStored);
    TestStore::set("Projectors/size", 2147483647);
    ProjectorList projectors;
    std::unique_ptr<QThread> reader(
        QThread::create([&projectors] { projectors = ProjectorList::read(); }));
    reader->start();
    if (!reader->wait(30000)) {
        reader->terminate();
        reader->wait();
        QFAIL("reading the list did not end");
    }
    QCOMPARE(projectors.entries().size(), 2);
    QCOMPARE(projectors.note(),
             TestStore::fileName()
                 + " claims 2147483647 projectors; the first 1000 were read, the rest ignored");
}

// The window's writer too: no other user ever reads the password.
void TestSettings::passwordNeverReadable()
{
    ProjectorList projectors;
    QVERIFY(projectors.add({ "a", 0, "ttyS0", {}, {} }));
    QVERIFY(projectors.add({ "hall", 3, "127.0.0.1", "s3cret", {} }));
    SecretWatch watch(QFileInfo(TestStore::fileName()).absolutePath(), "s3cret");
    for (int run = 0; run < 20; ++run) {
        QFile::remove(TestStore::fileName());
        QVERIFY(projectors.write());
        struct stat info;
        QVERIFY(::stat(QFile::encodeName(TestStore::fileName()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }
    QTRY_VERIFY(watch.looks() > 0);
    QCOMPARE(watch.exposed(), 0);
}

// QSettings keeps what this process read of the store and trusts it while
// the file's size and time are as it noted them; a read made while another
// editor saved can be noted with the newer file's. Here that other save is
// one it cannot tell from what it read: the same size, the same time. An
// edit under the lock still starts from the file, and keeps that save.
void TestSettings::editSeesASaveItsCacheMissed()
{
    TestStore::clear();
    ProjectorList seeded;
    QVERIFY(seeded.add({ "a", 0, "ttyA", {}, {} }));
    QVERIFY(seeded.write());
    // A time of its own, to the millisecond, which this process then notes.
    const QDateTime noted = QDateTime::currentDateTime().addSecs(-60);
    QFile file(TestStore::fileName());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(noted, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(ProjectorList::read().find("a")->port, QString("ttyA"));

    const qint64 size = QFileInfo(TestStore::fileName()).size();
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("Port=ttyA"));
    bytes.replace("Port=ttyA", "Port=ttyB");
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    QVERIFY(file.flush());
    QVERIFY(file.setFileTime(noted, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(QFileInfo(TestStore::fileName()).size(), size);

    {
        const StoredSettings::EditLock lock;
        QVERIFY(lock.isLocked());
        ProjectorList projectors = ProjectorList::read();
        QCOMPARE(projectors.find("a")->port, QString("ttyB"));
        QVERIFY(projectors.add({ "b", 0, "ttyC", {}, {} }));
        QVERIFY(projectors.write());
    }
    QCOMPARE(storedList(), "a:0:ttyB:|b:0:ttyC:");
}

void TestSettings::sameSizeSavesChangeTheTime_data()
{
    QTest::addColumn<bool>("list"); // the list, or the two keys alone
    QTest::addColumn<int>("aheadSeconds"); // the file's time ahead of the clock before each save

    QTest::newRow("the list, saved in quick succession") << true << 0;
    QTest::newRow("the two keys, saved in quick succession") << false << 0;
    // After the clock was set back, or from a machine whose clock was ahead.
    QTest::newRow("the list, its time ahead of the clock") << true << 3600;
    QTest::newRow("the two keys, their time ahead of the clock") << false << 3600;
}

// Every process keeps the store it read and reads it again only when the
// file's size or time changed: a save of the same size that leaves the
// file a time it had before would leave another editor reading and writing
// back the old list. Each save moves the time on, whatever the clock says.
void TestSettings::sameSizeSavesChangeTheTime()
{
    QFETCH(bool, list);
    QFETCH(int, aheadSeconds);

    TestStore::clear();
    ProjectorList projectors;
    ProjectorList::Projector projector { "a", 0, "ttyA", {}, {} };
    if (list) {
        QVERIFY(projectors.add(projector));
        QVERIFY(projectors.write());
    } else {
        QCOMPARE(StoredSettings::write({ QString(), 0 }), StoredSettings::Saved::Done);
    }
    for (int run = 0; run < 50; ++run) {
        if (aheadSeconds > 0) {
            QFile file(TestStore::fileName());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(aheadSeconds),
                                     QFileDevice::FileModificationTime));
        }
        const QFileInfo before(TestStore::fileName());
        const QDateTime was = before.lastModified();
        if (list) {
            projector.port = run % 2 ? "ttyA" : "ttyB";
            QVERIFY(projectors.replace("a", projector));
            QVERIFY(projectors.write());
        } else {
            QCOMPARE(StoredSettings::write({ QString(), run % 2 ? 0 : 1 }),
                     StoredSettings::Saved::Done);
        }
        const QFileInfo after(TestStore::fileName());
        QCOMPARE(after.size(), before.size());
        QVERIFY2(
            after.lastModified() > was,
            qPrintable(QString("save %1 kept %2").arg(run).arg(was.toString(Qt::ISODateWithMs))));
    }
}

VANTREL_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
