// The settings across restarts of the real program, also with a damaged or unwritable store.
// ctest-properties: LABELS persistence TIMEOUT 300

#include "nullmodem.h"
#include "portenumeration.h"
#include "simprocess.h"
#include "testmain.h"
#include "vantrelprobe.h"

#include <QComboBox>
#include <QDirIterator>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

QByteArray pollOf(int model)
{
    return model == 1 ? "V99G0007\r" : model == 2 ? "(CST)\r" : "* 0 Lamp ?\r";
}

// Starts the vantrel executable on the store under configDir: does its poll come in the
// stored family's words and at its speed? The store must name the modem, or the program
// opens the first port the system lists, which may be the machine's console.
bool programPolls(const QString &configDir, NullModem &modem, int model)
{
    SimProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(VANTREL_EXE_PATH), QStringList());
    const QByteArray poll = pollOf(model);
    return app.waitForStarted() && modem.readBytes(poll.size(), 15000) == poll
        && modem.lineSettings().inputBaud == (model == 2 ? 19200 : 9600)
        && app.state() == QProcess::Running;
}

// Every entry under dir with its files' contents, to tell that nothing changed.
QByteArray snapshot(const QString &dir)
{
    QByteArray all;
    QDirIterator entries(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        QFile entry(entries.next());
        all += entry.fileName().toUtf8() + '{'
            + (entry.open(QIODevice::ReadOnly) ? entry.readAll() : "-") + '}';
    }
    return all;
}

// Root ignores permission bits; for root the immutable attribute does it.
bool setReadOnly(const QString &path, bool readOnly)
{
    if (::geteuid() == 0)
        return QProcess::execute("chattr", { "-f", readOnly ? "+i" : "-i", path }) == 0;
    const QFileDevice::Permissions readable = QFile::ReadOwner | QFile::ExeOwner;
    return QFile::setPermissions(path, readOnly ? readable : readable | QFile::WriteOwner);
}

} // namespace

class TestPersistence : public QObject
{
    Q_OBJECT

private slots:
    void okThenRestart_data();
    void okThenRestart();
    void hugeListStartsPromptly();
};

void TestPersistence::okThenRestart_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("before"); // the family of a valid store naming the port; -1: none
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("chosen"); // -1: no family picked
    QTest::addColumn<bool>("writable"); // Ok reaches the store

    QTest::newRow("Acer, empty store") << "ttyUSB0" << -1 << "" << 0 << true;
    QTest::newRow("Vivitek, blanks and non-ASCII") << "tty Projektör 1" << -1 << "" << 1 << true;
    QTest::newRow("InFocus, characters the store quotes")
        << "tty;#=,\"q\"\\[x] %" << 0 << "" << 2 << true;
    // The dialog shows no family for a stored one it does not know; Ok stores -1.
    QTest::newRow("unknown family, none chosen") << "ttyS 7" << 7 << "" << -1 << true;
    // A file that does not parse is never written over.
    QTest::newRow("random bytes") << "ttyRandom" << -1 << "random" << 1 << false;
    QTest::newRow("directory in place of the file") << "ttyDir" << -1 << "directory" << 1 << false;
    QTest::newRow("file in place of the folder") << "ttyFolder" << -1 << "folder" << 1 << false;
    QTest::newRow("read-only store") << "ttyReadOnly" << 2 << "read-only" << 1 << false;
    QTest::newRow("lock that can never be taken") << "ttyLock" << 2 << "lock" << 1 << false;
}

// Ok stores what the next start of the program reads back; a damaged store
// starts the program with what can be read, and Ok neither hangs nor fails:
// it applies the choice whether or not the store takes it.
void TestPersistence::okThenRestart()
{
    QFETCH(QString, portName);
    QFETCH(int, before);
    QFETCH(QString, damage);
    QFETCH(int, chosen);
    QFETCH(bool, writable);
    const int applied = chosen;
    QTemporaryDir config(TestStore::runDirectory() + "/config-XXXXXX");
    QVERIFY(config.isValid());
    const QString port = TestStore::runDirectory() + '/' + portName;
    auto modem = std::make_unique<NullModem>(port);
    QVERIFY2(modem->isOpen(), qPrintable(modem->errorString()));

    const QString folder = config.filePath("Toskeld");
    const QString file = folder + "/Vantrel.conf";
    if (before >= 0) {
        QSettings store(file, QSettings::IniFormat);
        store.setValue("ComPort", port);
        store.setValue("Model", before);
    }
    auto undo = qScopeGuard([&] { setReadOnly(file, false), setReadOnly(folder, false); });
    if (damage == "random") {
        QVector<quint32> noise(1024);
        QRandomGenerator(4711).fillRange(noise.data(), noise.size());
        QFile garbage(file);
        QVERIFY(QDir().mkpath(folder) && garbage.open(QIODevice::WriteOnly));
        QCOMPARE(garbage.write(reinterpret_cast<const char *>(noise.constData()), 4096), 4096);
    } else if (damage == "directory") {
        QVERIFY(QDir().mkpath(file));
    } else if (damage == "folder") {
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
    } else if (damage == "read-only") {
        if (!setReadOnly(file, true) || !setReadOnly(folder, true))
            QSKIP("this file system cannot make the store read-only");
        if (QFile(folder + "/probe").open(QIODevice::WriteOnly))
            QSKIP("the read-only store is writable here");
    } else if (damage == "lock") {
        QVERIFY(QDir().mkpath(file + ".lock"));
    }
    const QByteArray untouched = snapshot(config.path());
    // Nothing has to be written to start: the program reads the store.
    if (before >= 0)
        QVERIFY(programPolls(config.path(), *modem, before));
    // Ended by a signal, the program left the line in exclusive use.
    modem = std::make_unique<NullModem>(port);

    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        auto restore = qScopeGuard([] {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               qEnvironmentVariable("XDG_CONFIG_HOME"));
        });
        // The store's port is not the first one listed, so the dialog has to take it.
        PortEnumeration::setLister([port] { return QStringList { "ttyNone", port }; });
        BoxAnswerer noBox;
        Vantrel w;
        VantrelProbe::pollTimer(w).stop();
        BoxAnswerer settings;
        settings.thenDrive([&](QDialog *dialog) {
            auto *ports = dialog->findChild<QComboBox *>("port_comboBox");
            ports->setCurrentIndex(ports->findText(port));
            if (chosen >= 0)
                dialog->findChild<QComboBox *>("model_comboBox")->setCurrentIndex(chosen);
            dialog->findChild<QPushButton *>("applySettings")->click();
        });
        // A store that cannot be written is said so, not passed over in silence.
        if (!writable)
            settings.thenPress(QMessageBox::Ok);
        VantrelProbe::ui(w).actionSettings->trigger();
        QVERIFY2(settings.waitDone(), qPrintable(settings.problems()));
        if (!writable) {
            QCOMPARE(settings.box(1).title, QString("Settings not saved"));
            QVERIFY(settings.box(1).text.contains("applies to this session only"));
        }
        QCOMPARE(VantrelProbe::modelIndex(w), applied);
        QVERIFY(VantrelProbe::ui(w).textEdit->toPlainText().endsWith(
            "Opening port " + port + "\nSerial port successfully opened!\n"));
        VantrelProbe::invoke(w, "OnTimer"); // polls
        QCOMPARE(modem->readBytes(pollOf(applied).size()), pollOf(applied));
        QVERIFY(noBox.waitDone());
    } // the window closes the port, which the program can then take

    if (!writable) {
        QCOMPARE(snapshot(config.path()), untouched);
        return;
    }
    QSettings store(file, QSettings::IniFormat);
    QCOMPARE(store.value("ComPort"), QVariant(port));
    QCOMPARE(store.value("Model"), QVariant(applied));
    const QByteArray written = snapshot(config.path());
    QVERIFY(programPolls(config.path(), *modem, applied));
    // Starting does not write the store.
    QCOMPARE(snapshot(config.path()), written);
}

// A list that claims 2^31-1 entries: the program reads a thousand at most
// and polls its projector, rather than read for the better part of an hour.
void TestPersistence::hugeListStartsPromptly()
{
    QTemporaryDir config(TestStore::runDirectory() + "/config-XXXXXX");
    QVERIFY(config.isValid());
    NullModem modem(TestStore::runDirectory() + "/ttyHuge");
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    {
        QSettings store(config.filePath("Toskeld/Vantrel.conf"), QSettings::IniFormat);
        store.setValue("ComPort", modem.portName());
        store.setValue("Model", 1);
        store.setValue("Projector", "a");
        store.setValue("Projectors/1/Name", "a");
        store.setValue("Projectors/1/Model", 1);
        store.setValue("Projectors/1/Port", modem.portName());
        store.setValue("Projectors/size", 2147483647);
    }
    QVERIFY(programPolls(config.path(), modem, 1));
}

VANTREL_TEST_MAIN(TestPersistence)

#include "tst_persistence.moc"
