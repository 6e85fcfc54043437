// The settings across a restart of the real program, and a settings store
// that is damaged or cannot be written.
// ctest-properties: LABELS persistence TIMEOUT 300

#include "boxanswerer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "simprocess.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Set for the child run of okInDamagedStore: the store's folder and the port.
constexpr char ChildConfigVariable[] = "VANTREL_TEST_DAMAGED_CONFIG";
constexpr char ChildPortVariable[] = "VANTREL_TEST_DAMAGED_PORT";

// The vantrel executable as a user starts it, on the store under configDir.
// The store must name a port of the test's: with none, the program opens the
// first port the system lists, which may be the machine's console.
bool startProgram(SimProcess &app, const QString &configDir)
{
#ifdef VANTREL_EXE_PATH
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(QStringLiteral(VANTREL_EXE_PATH), QStringList());
    return app.waitForStarted();
#else
    Q_UNUSED(app);
    Q_UNUSED(configDir);
    return false;
#endif
}

QString configHome()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME");
}

QString storeFolder(const QString &configDir)
{
    return configDir + QStringLiteral("/Toskeld");
}

QString storeFile(const QString &configDir)
{
    return storeFolder(configDir) + QStringLiteral("/Vantrel.conf");
}

// What lies at path, byte for byte, so a test can tell that nothing changed.
QByteArray snapshot(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        QByteArray listing = "directory:";
        for (const QString &entry : QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                         | QDir::Hidden | QDir::System))
            listing += ' ' + entry.toUtf8() + '{' + snapshot(path + QLatin1Char('/') + entry) + '}';
        return listing;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return info.exists() ? "unreadable" : "missing";
    return "file:" + file.readAll();
}

// Read-only also for root, who ignores permission bits: there the immutable
// attribute, where the file system has one.
bool setReadOnly(const QString &path, bool readOnly)
{
    if (::geteuid() != 0) {
        const bool folder = QFileInfo(path).isDir();
        QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::ReadGroup;
        if (folder)
            permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup;
        if (!readOnly)
            permissions |= QFileDevice::WriteOwner;
        return QFile::setPermissions(path, permissions);
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// The settings dialog's action: pick the port and, unless model is -1, the
// family, then press Ok.
DialogDriver::Action chooseAndApply(const QString &port, int model)
{
    return [port, model](QDialog *dialog) {
        auto *ports = dialog->findChild<QComboBox *>(QStringLiteral("port_comboBox"));
        ports->setCurrentIndex(ports->findText(port));
        if (model >= 0)
            dialog->findChild<QComboBox *>(QStringLiteral("model_comboBox"))
                ->setCurrentIndex(model);
        dialog->findChild<QPushButton *>(QStringLiteral("applySettings"))->click();
    };
}

QByteArray pollOf(int model)
{
    return model == 1 ? "V99G0007\r" : model == 2 ? "(CST)\r" : "* 0 Lamp ?\r";
}

} // namespace

class TestPersistence : public QObject
{
    Q_OBJECT

private slots:
    void okValuesSurviveRestart_data();
    void okValuesSurviveRestart();
    void damagedStore_data();
    void damagedStore();
    void okInDamagedStore();
};

void TestPersistence::okValuesSurviveRestart_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("storedBefore"); // -1: empty store
    QTest::addColumn<int>("chosen"); // -1: no family picked
    QTest::addColumn<int>("stored");

    QTest::newRow("Acer") << "ttyUSB0" << -1 << 0 << 0;
    QTest::newRow("Vivitek, blanks and non-ASCII") << "tty Projektör 1" << -1 << 1 << 1;
    QTest::newRow("InFocus, characters the store quotes") << "tty;#=,\"q\"\\[x] %" << 0 << 2 << 2;
    QTest::newRow("unknown family left as it is") << "ttyS 7" << 7 << -1 << -1;
}

void TestPersistence::okValuesSurviveRestart()
{
    QFETCH(QString, portName);
    QFETCH(int, storedBefore);
    QFETCH(int, chosen);
    QFETCH(int, stored);
    const QString port = QDir(TestStore::runDirectory()).filePath(portName);
    NullModem modem(port);
    QVERIFY2(modem.errorString().isEmpty(), qPrintable(modem.errorString()));
    if (storedBefore < 0)
        TestStore::clear();
    else
        TestStore::seed({ { QStringLiteral("Model"), storedBefore } });
    PortEnumeration::setLister([port] { return QStringList { QStringLiteral("ttyNone"), port }; });

    {
        BoxAnswerer noBox;
        Vantrel w;
        VantrelProbe::pollTimer(w).stop();
        DialogDriver settings(chooseAndApply(port, chosen));
        VantrelProbe::ui(w).actionSettings->trigger();
        QVERIFY(settings.waitDone());
        QVERIFY(VantrelProbe::serialPort(w).isOpen());
        QVERIFY(noBox.waitDone());
    } // the window closes the port, which the program can then take
    QCOMPARE(TestStore::value(QStringLiteral("ComPort")), QVariant(port));
    QCOMPARE(TestStore::value(QStringLiteral("Model")).toInt(), stored);
    const QByteArray store = snapshot(TestStore::fileName());
    QCOMPARE(modem.drain(100), QByteArray());

    // The program reads both values back: its poll arrives on this port,
    // in the stored family's words and at its speed.
    SimProcess app;
    QVERIFY(startProgram(app, configHome()));
    const QByteArray poll = pollOf(stored);
    QCOMPARE(modem.readBytes(poll.size(), 15000), poll);
    QVERIFY2(app.state() == QProcess::Running, app.lines().join('\n').constData());
    QCOMPARE(modem.lineSettings().inputBaud, stored == 2 ? 19200 : 9600);
    app.stop();
    // Starting does not write the store.
    QCOMPARE(snapshot(TestStore::fileName()), store);
}

void TestPersistence::damagedStore_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("readable"); // a valid store lies behind the damage
    QTest::addColumn<bool>("writable"); // Ok reaches the store

    QTest::newRow("random bytes") << "random" << false << true;
    QTest::newRow("directory in place of the file") << "directory" << false << false;
    QTest::newRow("file in place of the folder") << "folder" << false << false;
    QTest::newRow("read-only store") << "read-only" << true << false;
    QTest::newRow("lock that can never be taken") << "lock" << true << false;
}

// A damaged store starts the program with what can be read, and Ok neither
// hangs nor fails: it applies the choice whether or not the store takes it.
void TestPersistence::damagedStore()
{
    QFETCH(QString, damage);
    QFETCH(bool, readable);
    QFETCH(bool, writable);
    QTemporaryDir config(TestStore::runDirectory() + QStringLiteral("/damaged-XXXXXX"));
    QVERIFY(config.isValid());
    const QString port = config.filePath(QStringLiteral("ttyDamaged"));
    NullModem modem(port);
    QVERIFY2(modem.errorString().isEmpty(), qPrintable(modem.errorString()));

    const QString folder = storeFolder(config.path());
    const QString file = storeFile(config.path());
    if (readable) {
        QSettings store(file, QSettings::IniFormat);
        store.setValue(QStringLiteral("ComPort"), port);
        store.setValue(QStringLiteral("Model"), 2);
        store.sync();
        QCOMPARE(store.status(), QSettings::NoError);
    }
    auto undo = qScopeGuard([&] {
        setReadOnly(file, false);
        setReadOnly(folder, false);
    });
    if (damage == QLatin1String("random")) {
        QVERIFY(QDir().mkpath(folder));
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        QRandomGenerator random(4711);
        QByteArray bytes(4096, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        QCOMPARE(garbage.write(bytes), qint64(bytes.size()));
    } else if (damage == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(file));
    } else if (damage == QLatin1String("folder")) {
        QFile notAFolder(folder);
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        notAFolder.write("not a folder\n");
    } else if (damage == QLatin1String("read-only")) {
        if (!setReadOnly(file, true) || !setReadOnly(folder, true))
            QSKIP("this file system cannot make the store read-only");
        if (QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            QSKIP("the read-only store is writable here");
    } else if (damage == QLatin1String("lock")) {
        QVERIFY(QDir().mkpath(file + QStringLiteral(".lock")));
    }
    const QByteArray before = snapshot(config.path() + QStringLiteral("/Toskeld"));

    if (readable) {
        // Nothing has to be written to start: the program reads the store.
        SimProcess app;
        QVERIFY(startProgram(app, config.path()));
        QCOMPARE(modem.readBytes(6, 15000), QByteArray("(CST)\r"));
        QVERIFY2(app.state() == QProcess::Running, app.lines().join('\n').constData());
        QCOMPARE(modem.lineSettings().inputBaud, 19200);
    }
    // Without a readable store the program falls back to the first port the
    // system lists; the child below starts the window on a listed port of
    // the test's instead.

    modem.drain(100);

    // In a process of its own, so that a hang fails the case instead of
    // stopping the whole run.
    SimProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildConfigVariable), config.path());
    environment.insert(QString::fromLatin1(ChildPortVariable), port);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("okInDamagedStore") });
    QVERIFY(child.waitForStarted());
    const bool finished = child.waitForFinished(20000);
    QVERIFY2(finished, "Ok in the settings dialog hung");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.lines().join('\n').constData());
    QCOMPARE(modem.readBytes(9, 5000), pollOf(1));

    if (!writable) {
        QCOMPARE(snapshot(config.path() + QStringLiteral("/Toskeld")), before);
        return;
    }
    // Ok replaced the damaged store with a good one, which the next start reads.
    {
        QSettings store(file, QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("ComPort")), QVariant(port));
        QCOMPARE(store.value(QStringLiteral("Model")).toInt(), 1);
    }
    SimProcess app;
    QVERIFY(startProgram(app, config.path()));
    QCOMPARE(modem.readBytes(9, 15000), pollOf(1));
    QVERIFY2(app.state() == QProcess::Running, app.lines().join('\n').constData());
}

// The part of damagedStore that runs in its own process.
void TestPersistence::okInDamagedStore()
{
    const QString config = qEnvironmentVariable(ChildConfigVariable);
    const QString port = qEnvironmentVariable(ChildPortVariable);
    if (config.isEmpty() || port.isEmpty())
        QSKIP("runs only as the child process of damagedStore");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    PortEnumeration::setLister([port] { return QStringList(port); });

    BoxAnswerer noBox;
    Vantrel w;
    VantrelProbe::pollTimer(w).stop();
    QSerialPort &serial = VantrelProbe::serialPort(w);
    const QString opened = QStringLiteral("Opening port ") + port
        + QStringLiteral("\nSerial port successfully opened!\n");
    QCOMPARE(VantrelProbe::ui(w).textEdit->toPlainText(), opened);
    QVERIFY(serial.isOpen());

    DialogDriver settings(chooseAndApply(port, 1));
    VantrelProbe::ui(w).actionSettings->trigger();
    QVERIFY(settings.waitDone());
    QCOMPARE(VantrelProbe::modelIndex(w), 1);
    QVERIFY(serial.isOpen());
    QCOMPARE(VantrelProbe::ui(w).textEdit->toPlainText(), opened + opened);

    VantrelProbe::invoke(w, "OnTimer"); // polls
    QTRY_COMPARE(serial.bytesToWrite(), qint64(0));
    QVERIFY(noBox.waitDone());
}

VANTREL_TEST_MAIN(TestPersistence)

#include "tst_persistence.moc"
