#include "portenumeration.h"
#include "rig.h"
#include "testmain.h"
#include "teststore.h"

#include "infocus.h"
#include "projectorlist.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <memory>

// Applying the stored or chosen family and port: at start-up, and through the dialog.
class TestConfigure : public QObject
{
    Q_OBJECT

private slots:
    void fromStore_data();
    void fromStore();
    void throughDialog_data();
    void throughDialog();
    void projectorMenu_data();
    void projectorMenu();
    void findProjector_data();
    void findProjector();
    void storeProblemsShown_data();
    void storeProblemsShown();
    void removedElsewhere_data();
    void removedElsewhere();
    void storeReadNotApplied_data();
    void storeReadNotApplied();
};

namespace {

const QString Opened = QStringLiteral("Serial port successfully opened!\n");
const QString Failed = QStringLiteral("Failed to initialize serial port!\n"
                                      "Communication with projector not possible.\n");

QByteArray storeBytes()
{
    QFile file(TestStore::fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no store file>");
}

const QStringList Labels = { "Acer", "Vivitek", "InFocus" };

// The family label, "???" for a number that names none.
QString labelOf(int model)
{
    return Labels.value(model, QStringLiteral("???"));
}

// The stored projectors in the Projector menu, without the menu's own entries.
QList<QAction *> projectorEntries(QMenu *menu)
{
    QList<QAction *> entries;
    for (QAction *action : menu->actions()) {
        if (action->actionGroup())
            entries.append(action);
    }
    return entries;
}

// Acer's poll for any family the program does not know.
QByteArray pollOf(int model)
{
    return model == 1 ? "V99G0007\r" : model == 2 ? "(CST)\r" : "* 0 Lamp ?\r";
}

// Opens the dialog as a user does, picks a port and family unless empty/-1, leaves by button.
void chooseInDialog(Rig &rig, const QString &opener, const QString &port, int model,
                    const char *button)
{
    DialogDriver driver([=](QDialog *dialog) {
        auto *ports = dialog->findChild<QComboBox *>("port_comboBox");
        if (!port.isEmpty())
            ports->setCurrentIndex(ports->findText(port));
        if (model >= 0)
            dialog->findChild<QComboBox *>("model_comboBox")->setCurrentIndex(model);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    });
    if (opener == QLatin1String("button"))
        QTest::mouseClick(rig.ui().connectionStatus, Qt::LeftButton);
    else
        rig.ui().actionSettings->trigger();
    QVERIFY(driver.waitDone());
}

// Lets the Vivitek state query take its first step, so a restart shows as a full list.
void releaseFirstQuery(Rig &rig)
{
    rig.tick();
    QVERIFY(rig.receive("P1\r"));
    QCOMPARE(rig.sent(),
             pollOf(Vivitek::ModelIndex) + Vivitek::stateQueries()[0].toLatin1() + '\r');
    QCOMPARE(VantrelProbe::pendingQueries(rig.window()), Vivitek::stateQueries().mid(1));
}

} // namespace

void TestConfigure::fromStore_data()
{
    // "modem" is the null-modem's device, "MODEM" that in upper case, "file" a plain file.
    QTest::addColumn<QString>("storedPort");
    QTest::addColumn<QVariant>("storedModel");
    QTest::addColumn<bool>("modemListed");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("baud");

    const QString missing = QStringLiteral("/dev/ttyVantrelMissing0");
    QTest::newRow("Acer") << "modem" << QVariant(0) << false << true << 0 << 9600;
    QTest::newRow("Vivitek") << "modem" << QVariant(1) << false << true << 1 << 9600;
    QTest::newRow("InFocus") << "modem" << QVariant(2) << false << true << 2 << 19200;
    // A stored number that names no family: "???", Acer's poll and speed, no reply understood.
    QTest::newRow("Model 7") << "modem" << QVariant(7) << false << true << -1 << 9600;
    QTest::newRow("Model -1") << "modem" << QVariant(-1) << false << true << -1 << 9600;
    QTest::newRow("Model abc") << "modem" << QVariant("abc") << false << true << 0 << 9600;
    QTest::newRow("Model empty") << "modem" << QVariant("") << false << true << 0 << 9600;
    QTest::newRow("ComPort empty, listed") << "" << QVariant(2) << true << true << 2 << 19200;
    QTest::newRow("ComPort empty, none") << "" << QVariant(0) << false << false << 0 << 9600;
    // A stored port that is not there is kept and waited for, never swapped
    // for whatever the system lists first.
    QTest::newRow("ComPort in caps, listed")
        << "MODEM" << QVariant(0) << true << false << 0 << 9600;
    QTest::newRow("ComPort in caps, none") << "MODEM" << QVariant(0) << false << false << 0 << 9600;
    QTest::newRow("ComPort missing, listed")
        << missing << QVariant(1) << true << false << 1 << 9600;
    QTest::newRow("ComPort missing, none") << missing << QVariant(0) << false << false << 0 << 9600;
    // Listed since it exists, but no terminal: the open fails, the Vivitek query starts anyway.
    QTest::newRow("ComPort a plain file") << "file" << QVariant(1) << true << false << 1 << 9600;
}

void TestConfigure::fromStore()
{
    QFETCH(QString, storedPort);
    QFETCH(QVariant, storedModel);
    QFETCH(bool, modemListed);
    QFETCH(bool, opens);
    QFETCH(int, model);
    QFETCH(int, baud);

    BoxAnswerer noDialog;
    Rig rig(storedModel.toInt());
    QFile plain(TestStore::runDirectory() + QStringLiteral("/plain-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("untouched") == 9);
    plain.close();
    // The rig's own start-up is the case where it stored the same; otherwise start over.
    QByteArray before = storeBytes();
    if (storedPort != QLatin1String("modem") || storedModel.userType() != QMetaType::Int) {
        const QStringList listed = modemListed ? QStringList(rig.modem.portName()) : QStringList();
        PortEnumeration::setLister([listed] { return listed; });
        const QString port = storedPort == QLatin1String("modem") ? rig.modem.portName()
            : storedPort == QLatin1String("MODEM")                ? rig.modem.portName().toUpper()
            : storedPort == QLatin1String("file")                 ? plain.fileName()
                                                                  : storedPort;
        TestStore::seed({ { "ComPort", port }, { "Model", storedModel } });
        before = storeBytes();
        VantrelProbe::configure(rig.window(), false); // what start-up runs
        const QString tried = !storedPort.isEmpty() ? port
            : opens                                 ? rig.modem.portName()
                                                    : QString();
        QCOMPARE(rig.log(), "Opening port " + tried + '\n' + (opens ? Opened : Failed));
    }
    QVERIFY(noDialog.waitDone());

    QCOMPARE(rig.ui().model_label->text(), labelOf(model));
    QCOMPARE(rig.ui().model_stackedWidget->currentIndex(), model == Vivitek::ModelIndex ? 1 : 0);
    QCOMPARE(VantrelProbe::modelIndex(rig.window()), model);
    QCOMPARE(VantrelProbe::pendingQueries(rig.window()),
             model == Vivitek::ModelIndex ? Vivitek::stateQueries() : QStringList());
    QCOMPARE(VantrelProbe::serialPort(rig.window()).isOpen(), opens);
    if (opens)
        QCOMPARE(rig.modem.lineSettings().outputBaud, baud);

    rig.tick(PollClock::PollEvery);
    QCOMPARE(opens ? rig.sent() : rig.modem.expectSilence(), opens ? pollOf(model) : QByteArray());
    if (opens) {
        QCOMPARE(VantrelProbe::portStatus(rig.window()),
                 QString("Connected to %1 (%2, %3 baud)")
                     .arg(rig.modem.portName(), labelOf(model), QString::number(baud)));
    }
    if (opens && model >= 0) {
        // The family's replies are read as its own: the lamp shows, or for
        // InFocus, which tells none, contact does.
        QVERIFY(rig.receive(model == 1 ? "P1\r" : model == 2 ? "(0-3,1)" : "LAMP 1\r"));
        QVERIFY(rig.showsContact());
        QCOMPARE(VantrelProbe::projectorOn(rig.window()), model != 2);
    }
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), QByteArray("untouched"));

    // Looking at the dialog and cancelling does not repair the store either.
    chooseInDialog(rig, "menu", QString(), -1, "cancelSettings");
    QCOMPARE(storeBytes(), before);
}

void TestConfigure::throughDialog_data()
{
    // chosen: "other" (another, enumerated port), "same" (the rig's port, picked again),
    // "kept" (nothing picked), "link" (the store names a symlink to the rig's port).
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("baud"); // afterwards
    QTest::addColumn<QString>("opener"); // the menu or the status button

    QTest::newRow("Acer, cancelled") << 0 << 2 << "other" << false << 9600 << "menu";
    QTest::newRow("Vivitek, cancelled") << 1 << 2 << "other" << false << 9600 << "button";
    QTest::newRow("Acer to InFocus") << 0 << 2 << "other" << true << 19200 << "menu";
    QTest::newRow("Vivitek to InFocus") << 1 << 2 << "other" << true << 19200 << "button";
    QTest::newRow("InFocus to Vivitek") << 2 << 1 << "other" << true << 9600 << "menu";
    QTest::newRow("InFocus to Acer, same port") << 2 << 0 << "same" << true << 9600 << "menu";
    QTest::newRow("Acer to InFocus, same port") << 0 << 2 << "same" << true << 19200 << "button";
    // Unchanged settings still reopen the port and restart the query.
    QTest::newRow("Vivitek unchanged") << 1 << 1 << "kept" << true << 9600 << "button";
    QTest::newRow("Acer on a stable link") << 0 << 0 << "link" << true << 9600 << "menu";
}

void TestConfigure::throughDialog()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, chosen);
    QFETCH(bool, ok);
    QFETCH(int, baud);
    QFETCH(QString, opener);

    Rig rig(from);
    NullModem second;
    PortEnumeration::setLister([&second] { return QStringList(second.portName()); });
    QVERIFY(rig.show());
    QString name = rig.modem.portName(); // the pty's own path: absolute, never enumerated
    if (chosen == QLatin1String("link")) {
        name = TestStore::runDirectory() + QStringLiteral("/by-id-port0");
        QVERIFY(QFile::link(rig.modem.slavePath(), name));
        TestStore::set("ComPort", name);
        VantrelProbe::configure(rig.window(), false); // what start-up runs
    }
    if (from == Vivitek::ModelIndex)
        releaseFirstQuery(rig);
    const bool other = chosen == QLatin1String("other");
    const bool pick = other || chosen == QLatin1String("same");
    NullModem &now = ok && other ? second : rig.modem;
    const QString nowName = ok && other ? second.portName() : name;
    const int model = ok ? to : from;
    const QString log = rig.log();
    const QStringList queries = VantrelProbe::pendingQueries(rig.window());
    const QByteArray stored = storeBytes();
    QSignalSpy closed(&VantrelProbe::serialPort(rig.window()), &QIODevice::aboutToClose);

    chooseInDialog(rig, opener, pick ? (other ? second.portName() : name) : QString(),
                   pick ? to : -1, ok ? "applySettings" : "cancelSettings");

    QCOMPARE(closed.count(), ok ? 1 : 0);
    QVERIFY(VantrelProbe::serialPort(rig.window()).isOpen());
    QCOMPARE(rig.log(), ok ? log + "Opening port " + nowName + '\n' + Opened : log);
    QCOMPARE(VantrelProbe::modelIndex(rig.window()), model);
    QCOMPARE(rig.ui().model_label->text(), Labels.value(model));
    QCOMPARE(rig.ui().model_stackedWidget->currentIndex(), model == Vivitek::ModelIndex ? 1 : 0);
    QCOMPARE(now.lineSettings().inputBaud, baud);
    QCOMPARE(now.lineSettings().outputBaud, baud);
    if (!ok || to == Vivitek::ModelIndex)
        QCOMPARE(VantrelProbe::pendingQueries(rig.window()),
                 ok ? Vivitek::stateQueries() : queries);
    QCOMPARE(TestStore::value("ComPort").toString(), nowName);
    QCOMPARE(TestStore::value("Model").toInt(), model);
    if (!ok)
        QCOMPARE(storeBytes(), stored);

    // The poll goes out on that port alone, and an answer comes back over it.
    // A Vivitek projector that still owes the first query's answer is polled
    // again once that answer is given up.
    rig.tick(model == Vivitek::ModelIndex && !ok ? 2 * PollClock::PollEvery : PollClock::PollEvery);
    QCOMPARE(now.readBytes(pollOf(model).size()), pollOf(model));
    QCOMPARE((&now == &second ? rig.modem : second).expectSilence(), QByteArray());
    if (model == Acer::ModelIndex) {
        QVERIFY(now.write("LAMP 0\r") && now.waitConsumed());
        QVERIFY(rig.tickUntil([&rig] { return rig.showsContact(); }));
        QCOMPARE(rig.boxColour(), Rig::LampOffColour);
    }
}

void TestConfigure::projectorMenu_data()
{
    QTest::addColumn<QString>("way"); // the menu's entry, or its shortcut
    QTest::newRow("menu") << "menu";
    QTest::newRow("Ctrl+digit") << "key";
}

// Three named projectors of three families, one after the other: each gets
// the polls in its own words, and nothing of the one before stays.
void TestConfigure::projectorMenu()
{
    QFETCH(QString, way);
    Rig rig(Acer::ModelIndex);
    NullModem vivitek, infocus;
    ProjectorList projectors;
    QVERIFY(projectors.add({ "room-101", Acer::ModelIndex, rig.modem.portName(), {}, "north" }));
    QVERIFY(projectors.add({ "room & 102", Vivitek::ModelIndex, vivitek.portName(), {}, {} }));
    QVERIFY(projectors.add({ "room-103", InFocus::ModelIndex, infocus.portName(), {}, {} }));
    QVERIFY(projectors.write());
    VantrelProbe::configure(rig.window(), false); // what start-up runs
    QVERIFY(rig.show());
    rig.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&rig.window()));

    QMenu *menu = rig.window().findChild<QMenu *>("menuProjector");
    QStringList entries;
    for (const QAction *action : projectorEntries(menu)) {
        entries << action->text() + ' ' + action->shortcut().toString()
                + (action->isChecked() ? " *" : "");
    }
    QCOMPARE(entries,
             QStringList({ "room-101 (north) Ctrl+1 *", "room && 102 Ctrl+2", "room-103 Ctrl+3" }));
    QVERIFY(rig.receive("LAMP 1\r"));
    QVERIFY(VantrelProbe::projectorOn(rig.window()));

    const struct
    {
        int index;
        NullModem &modem;
        QByteArray poll;
        int baud;
    } steps[] = { { 2, infocus, "(CST)\r", 19200 },
                  { 1, vivitek, "V99G0007\r", 9600 },
                  { 0, rig.modem, "* 0 Lamp ?\r", 9600 } };
    for (const auto &step : steps) {
        for (NullModem *modem : { &rig.modem, &vivitek, &infocus })
            modem->readAll(); // what went out before
        QAction *action = projectorEntries(menu).at(step.index);
        const QString name = action->data().toString();
        if (way == "menu")
            action->trigger();
        else
            QTest::keyClick(&rig.window(), Qt::Key(Qt::Key_1 + step.index), Qt::ControlModifier);
        QVERIFY2(projectorEntries(menu).at(step.index)->isChecked(), qPrintable(name));
        QCOMPARE(rig.window().windowTitle(), "Vantrel V 2.0 - " + name);
        QVERIFY(rig.window().statusBar()->findChildren<QLabel *>().at(1)->text() == name);
        // The lamp of the last one is not this one's: closing asks nothing.
        QVERIFY(!VantrelProbe::projectorOn(rig.window()));
        QCOMPARE(rig.boxColour(), Rig::TransitionColour);
        // The next start begins with it, also an older Vantrel's.
        QCOMPARE(TestStore::value("Projector").toString(), name);
        QCOMPARE(TestStore::value("ComPort").toString(), step.modem.portName());
        QCOMPARE(TestStore::value("Model").toInt(), VantrelProbe::modelIndex(rig.window()));

        rig.tick(PollClock::PollEvery);
        QCOMPARE(step.modem.readBytes(step.poll.size()), step.poll);
        QCOMPARE(step.modem.lineSettings().outputBaud, step.baud);
        for (NullModem *other : { &rig.modem, &vivitek, &infocus }) {
            if (other != &step.modem)
                QCOMPARE(other->expectSilence(50), QByteArray());
        }
    }
}

void TestConfigure::findProjector_data()
{
    // How the search ends ("found", or "stopped" with its Cancel), then the
    // button that leaves the dialog.
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("way");

    QTest::newRow("found, Ok") << "found"
                               << "applySettings";
    QTest::newRow("found, Cancel") << "found"
                                   << "cancelSettings";
    QTest::newRow("stopped, Cancel") << "stopped"
                                     << "cancelSettings";
}

// The projector sits on the window's own port, opened for Acer, but is a
// Vivitek; another port stays silent. The window lets go of its port for
// the search and takes it up again afterwards, as the dialog decided.
void TestConfigure::findProjector()
{
    QFETCH(QString, search);
    QFETCH(QString, way);

    Rig rig(Acer::ModelIndex);
    NullModem silent;
    PortEnumeration::setLister([&silent] { return QStringList(silent.portName()); });
    QVERIFY(rig.show());
    const QString own = rig.modem.portName();
    const QByteArray stored = storeBytes();

    DialogDriver driver([&](QDialog *dialog) {
        auto *find = dialog->findChild<QPushButton *>("findProjector");
        auto *ports = dialog->findChild<QComboBox *>("port_comboBox");
        auto *models = dialog->findChild<QComboBox *>("model_comboBox");
        auto *status = dialog->findChild<QLabel *>("findStatus");
        QCOMPARE(ports->currentText(), own);
        QTest::mouseClick(find, Qt::LeftButton);
        QVERIFY(!find->isEnabled());
        // The polls of the families at 9600 baud together, on both ports.
        QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
        QCOMPARE(silent.readBytes(11), QByteArray("* 0 Lamp ?\r"));
        QCOMPARE(rig.modem.readBytes(9), QByteArray("V99G0007\r"));
        if (search == QLatin1String("stopped")) {
            QTest::mouseClick(dialog->findChild<QPushButton *>("cancelFind"), Qt::LeftButton);
            QVERIFY(find->isEnabled());
            QCOMPARE(status->text(), QString("Search cancelled."));
            // The ports are free again at once.
            QSerialPort other;
            other.setPortName(silent.portName());
            QVERIFY(other.open(QIODevice::ReadWrite));
        } else {
            QVERIFY(rig.modem.write("P0\r"));
            // The silent port got each family's poll, at its speed, and nothing else.
            QCOMPARE(silent.readBytes(15), QByteArray("V99G0007\r(CST)\r"));
            QCOMPARE(silent.lineSettings().outputBaud, 19200);
            QTRY_VERIFY_WITH_TIMEOUT(find->isEnabled(), 10000);
            QCOMPARE(status->text(), "Found Vivitek on " + own + '.');
            QCOMPARE(rig.modem.expectSilence(50), QByteArray());
        }
        QCOMPARE(models->currentIndex(), search == "found" ? 1 : 0);
        QCOMPARE(ports->currentText(), own);
        QTest::mouseClick(dialog->findChild<QPushButton *>(way), Qt::LeftButton);
    });
    rig.window().findChild<QAction *>("actionProjectors")->trigger();
    QVERIFY(driver.waitDone(20000));

    const bool applied = way == QLatin1String("applySettings");
    const int model = applied ? Vivitek::ModelIndex : Acer::ModelIndex;
    QVERIFY(VantrelProbe::serialPort(rig.window()).isOpen());
    QCOMPARE(VantrelProbe::modelIndex(rig.window()), model);
    QCOMPARE(TestStore::value("Model").toInt(), model);
    if (!applied)
        QCOMPARE(storeBytes(), stored);
    // Its projector hears from the window again, as the family it now has.
    rig.tick(PollClock::PollEvery);
    QVERIFY(rig.modem.drain().endsWith(pollOf(model)));
}

void TestConfigure::storeProblemsShown_data()
{
    QTest::addColumn<QByteArray>("from"); // replaced in the store as written
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("shown"); // %f: the store's file
    QTest::addColumn<bool>("damaged");

    // QSettings reads the rest, so the list is all there, but a save would drop the line.
    QTest::newRow("a line that is no setting")
        << QByteArray("size=2\n") << QByteArray("size=2\nroom-c ttyS9\n")
        << "%f:14: a line that is neither \"[section]\" nor \"key=value\". The settings file is "
           "left as it is until it is put right by hand."
        << true;
    QTest::newRow("a size of 2^31-1")
        << QByteArray("size=2") << QByteArray("size=2147483647")
        << "%f claims 2147483647 projectors; the first 1000 were read, the rest ignored" << false;
}

// At the start the window says what is wrong with the store, in the status
// bar and the log, and writes nothing to a file that does not parse.
void TestConfigure::storeProblemsShown()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, shown);
    QFETCH(bool, damaged);

    Rig rig(Acer::ModelIndex);
    NullModem other;
    ProjectorList projectors;
    QVERIFY(projectors.add({ "a", Acer::ModelIndex, rig.modem.portName(), {}, {} }));
    QVERIFY(projectors.add({ "b", Acer::ModelIndex, other.portName(), {}, {} }));
    QVERIFY(projectors.write());
    QByteArray bytes = storeBytes();
    bytes.replace(from, to);
    QFile file(TestStore::fileName());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();
    shown.replace("%f", TestStore::fileName());

    // The window reads the list as this does: bounded first, so a read
    // without end fails here and now rather than at the test's time limit.
    std::unique_ptr<QThread> reader(QThread::create([] { ProjectorList::read(); }));
    reader->start();
    if (!reader->wait(30000)) {
        reader->terminate();
        reader->wait();
        QFAIL("reading the list did not end");
    }
    BoxAnswerer noBox;
    rig.clearLog();
    VantrelProbe::configure(rig.window(), false); // what start-up runs
    QCOMPARE(rig.window().statusBar()->currentMessage(), shown);
    QVERIFY2(rig.log().startsWith(shown + '\n'), qPrintable(rig.log()));
    QVERIFY(noBox.waitDone());

    // Choosing another projector is not saved in a file that does not parse.
    QMenu *menu = rig.window().findChild<QMenu *>("menuProjector");
    QAction *second = nullptr;
    for (QAction *action : projectorEntries(menu))
        second = action->data().toString() == "b" ? action : second;
    QVERIFY(second);
    second->trigger();
    QCOMPARE(rig.window().windowTitle(), QString("Vantrel V 2.0 - b"));
    if (damaged)
        QCOMPARE(storeBytes(), bytes);
    else
        QCOMPARE(TestStore::value("Projector").toString(), QString("b"));
}

void TestConfigure::removedElsewhere_data()
{
    QTest::addColumn<bool>("folderRemade"); // the configuration folder deleted and made again first
    QTest::newRow("store as it was") << false;
    QTest::newRow("configuration folder deleted and made again") << true;
}

// Removed by vantrelctl while the window drives it: the window reloads the
// list and drives what the store names current, without a restart, and
// leaves what the lamp last reported as it was.
void TestConfigure::removedElsewhere()
{
    QFETCH(bool, folderRemade);
    Rig rig(Acer::ModelIndex);
    NullModem other;
    ProjectorList projectors;
    QVERIFY(projectors.add({ "a", Acer::ModelIndex, rig.modem.portName(), {}, {} }));
    QVERIFY(projectors.add({ "b", InFocus::ModelIndex, other.portName(), {}, {} }));
    QVERIFY(projectors.write());
    QVERIFY(!VantrelProbe::watchesStore(rig.window()));
    VantrelProbe::configure(rig.window(), false);
    QCOMPARE(rig.window().windowTitle(), QString("Vantrel V 2.0 - a"));
    QVERIFY(VantrelProbe::watchesStore(rig.window()));
    VantrelProbe::setProjectorOn(rig.window(), true);

    const QString config = TestStore::runDirectory() + "/config";
    if (folderRemade) {
        const QByteArray bytes = storeBytes();
        // Looked at by the window's watcher before the folder comes back.
        QSignalSpy lookedAt(VantrelProbe::storeWatcher(rig.window())->findChild<QTimer *>(),
                            &QTimer::timeout);
        QVERIFY(QDir(config).removeRecursively());
        QVERIFY(lookedAt.wait(5000));
        QVERIFY(QDir().mkpath(QFileInfo(TestStore::fileName()).absolutePath()));
        QFile file(TestStore::fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
    }

    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config);
    ctl.setProcessEnvironment(environment);
    ctl.start(VANTRELCTL_EXE_PATH, { "projector", "remove", "a" });
    QVERIFY(ctl.waitForFinished(30000));
    QCOMPARE(ctl.exitCode(), 0);

    QTRY_COMPARE(rig.window().windowTitle(), QString("Vantrel V 2.0 - b"));
    QCOMPARE(VantrelProbe::modelIndex(rig.window()), int(InFocus::ModelIndex));
    QVERIFY(rig.log().contains("a was removed from the settings file; b takes its place.\n"));
    QVERIFY(VantrelProbe::projectorOn(rig.window()));
    QMenu *menu = rig.window().findChild<QMenu *>("menuProjector");
    QCOMPARE(projectorEntries(menu).size(), 1);
    QCOMPARE(projectorEntries(menu).at(0)->data().toString(), QString("b"));
    // The removed one hears nothing more; the other gets the polls.
    rig.modem.readAll();
    rig.tick(PollClock::PollEvery);
    QCOMPARE(other.readBytes(6), QByteArray("(CST)\r"));
    QCOMPARE(rig.modem.expectSilence(50), QByteArray());
}

void TestConfigure::storeReadNotApplied_data()
{
    QTest::addColumn<bool>("named"); // the store holds a list of named projectors
    QTest::addColumn<QByteArray>("file"); // what the store's file then holds; %p: another port

    QTest::newRow("two keys rewritten by hand")
        << false << QByteArray("[General]\nComPort=%p\nModel=2\n");
    QTest::newRow("named list emptied") << true << QByteArray();
    QTest::newRow("named list cut before its entries")
        << true << QByteArray("[General]\nComPort=%p\nModel=2\n");
}

// Only the start and the settings dialog apply the two keys; a change of the
// store's file is followed for a projector of a stored list only, and a read
// that holds no list changes nothing: the port, family and lamp state stay.
void TestConfigure::storeReadNotApplied()
{
    QFETCH(bool, named);
    QFETCH(QByteArray, file);
    Rig rig(Acer::ModelIndex);
    NullModem other;
    if (named) {
        ProjectorList projectors;
        QVERIFY(projectors.add({ "a", Acer::ModelIndex, rig.modem.portName(), {}, {} }));
        QVERIFY(projectors.write());
        VantrelProbe::configure(rig.window(), false);
    }
    QCOMPARE(VantrelProbe::watchesStore(rig.window()), named);
    VantrelProbe::setProjectorOn(rig.window(), true);
    rig.clearLog();

    QFile store(TestStore::fileName());
    QVERIFY(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray bytes = QByteArray(file).replace("%p", other.portName().toUtf8());
    QCOMPARE(store.write(bytes), bytes.size());
    store.close();
    VantrelProbe::reloadProjectors(rig.window());

    QCOMPARE(rig.log(), QString());
    QCOMPARE(VantrelProbe::modelIndex(rig.window()), int(Acer::ModelIndex));
    QVERIFY(VantrelProbe::projectorOn(rig.window()));
    QVERIFY(VantrelProbe::serialPort(rig.window()).isOpen());
    rig.modem.readAll();
    rig.tick(PollClock::PollEvery);
    QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QCOMPARE(other.expectSilence(50), QByteArray());
}

VANTREL_TEST_MAIN(TestConfigure)
#include "tst_configure.moc"
