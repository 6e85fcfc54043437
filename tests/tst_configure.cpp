#include "colorgroupbox.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "power.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// Applying the stored or chosen family and port to the window: at start-up
// without a dialog, and through the settings dialog with Ok or without it.
class TestConfigure : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void startUpAppliesStoredFamily_data();
    void startUpAppliesStoredFamily();
    void leavingTheDialogChangesNothing_data();
    void leavingTheDialogChangesNothing();
    void okReopensAtFamilySpeed_data();
    void okReopensAtFamilySpeed();
    void okWithoutChangeRestartsVivitekQuery();
    void badStoredValues_data();
    void badStoredValues();
    void unlistedDevicePath_data();
    void unlistedDevicePath();
};

namespace {

const QString OpenedLines = QStringLiteral("Serial port successfully opened!\n");
const QString FailedLines = QStringLiteral("Failed to initialize serial port!\n"
                                           "Communication with projector not possible.\n");

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

QString logText(Vantrel &w)
{
    return VantrelProbe::ui(w).textEdit->toPlainText();
}

QByteArray pollOf(int modelIndex)
{
    return Power::pollCommand(modelIndex) + '\r';
}

// Any PollEvery consecutive ticks hold exactly one status poll.
void runPollPeriod(Vantrel &w)
{
    for (int i = 0; i < PollClock::PollEvery; ++i)
        VantrelProbe::invoke(w, "OnTimer");
}

// A window on the stored settings whose ticks the test runs itself.
std::unique_ptr<Vantrel> startWindow()
{
    auto w = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*w).stop();
    return w;
}

void openSettings(Vantrel &w, const QString &opener)
{
    if (opener == QLatin1String("status button"))
        QTest::mouseClick(VantrelProbe::ui(w).connectionStatus, Qt::LeftButton);
    else
        VantrelProbe::ui(w).actionSettings->trigger();
}

// Opens the settings dialog as the user does, picks a port and a family and
// leaves it with the named button.
void chooseInDialog(Vantrel &w, const QString &opener, const QString &port, int model,
                    const char *button)
{
    DialogDriver driver([port, model, button](QDialog *dialog) {
        auto *ports = dialog->findChild<QComboBox *>(QStringLiteral("port_comboBox"));
        auto *models = dialog->findChild<QComboBox *>(QStringLiteral("model_comboBox"));
        QVERIFY(ports->findText(port) >= 0);
        ports->setCurrentIndex(ports->findText(port));
        models->setCurrentIndex(model);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    });
    openSettings(w, opener);
    QVERIFY(driver.waitDone());
}

// Lets the Vivitek state query take its first step, so that a restart of it
// shows as a full list again.
void releaseFirstQuery(Vantrel &w, NullModem &modem)
{
    runPollPeriod(w);
    QCOMPARE(modem.readBytes(9), pollOf(Vivitek::ModelIndex));
    QVERIFY(modem.write("P1\r"));
    QVERIFY(modem.waitConsumed());
    VantrelProbe::invoke(w, "OnTimer");
    QCOMPARE(modem.readBytes(9), Vivitek::stateQueries().first().toLatin1() + '\r');
    QCOMPARE(VantrelProbe::pendingQueries(w), Vivitek::stateQueries().mid(1));
}

} // namespace

void TestConfigure::init()
{
    TestStore::clear();
    listPorts({});
}

void TestConfigure::cleanupTestCase()
{
    PortEnumeration::setLister({});
}

void TestConfigure::startUpAppliesStoredFamily_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("modelIndex");
    QTest::addColumn<int>("baud");

    QTest::newRow("Acer") << 0 << "Acer" << 0 << 0 << 9600;
    QTest::newRow("Vivitek") << 1 << "Vivitek" << 1 << 1 << 9600;
    QTest::newRow("InFocus") << 2 << "InFocus" << 0 << 2 << 19200;
    QTest::newRow("7") << 7 << "???" << 0 << -1 << 9600;
    QTest::newRow("-1") << -1 << "???" << 0 << -1 << 9600;
}

void TestConfigure::startUpAppliesStoredFamily()
{
    QFETCH(int, stored);
    QFETCH(QString, label);
    QFETCH(int, page);
    QFETCH(int, modelIndex);
    QFETCH(int, baud);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    TestStore::seed({ { "ComPort", modem.portName() }, { "Model", stored } });
    const QByteArray before = storeBytes();

    BoxAnswerer noDialog;
    const auto w = startWindow();
    QVERIFY(noDialog.waitDone());

    Ui::VantrelClass &ui = VantrelProbe::ui(*w);
    QCOMPARE(ui.model_label->text(), label);
    QCOMPARE(ui.model_stackedWidget->currentIndex(), page);
    QCOMPARE(VantrelProbe::modelIndex(*w), modelIndex);
    QCOMPARE(VantrelProbe::pendingQueries(*w),
             modelIndex == Vivitek::ModelIndex ? Vivitek::stateQueries() : QStringList());

    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w), "Opening port " + modem.portName() + '\n' + OpenedLines);
    const NullModem::LineSettings line = modem.lineSettings();
    QCOMPARE(line.inputBaud, baud);
    QCOMPARE(line.outputBaud, baud);
    QCOMPARE(line.stopBits, QSerialPort::OneStop);
    QCOMPARE(line.flowControl, QSerialPort::NoFlowControl);
    QCOMPARE(VantrelProbe::serialPort(*w).dataBits(), QSerialPort::Data8);
    QCOMPARE(VantrelProbe::serialPort(*w).parity(), QSerialPort::NoParity);

    VantrelProbe::invoke(*w, "OnTimer");
    QCOMPARE(modem.readBytes(pollOf(modelIndex).size()), pollOf(modelIndex));
    QCOMPARE(storeBytes(), before);
}

void TestConfigure::leavingTheDialogChangesNothing_data()
{
    QTest::addColumn<QString>("opener");
    QTest::addColumn<int>("model");

    for (const char *opener : { "menu", "status button" }) {
        QTest::addRow("%s, Acer", opener) << QString::fromLatin1(opener) << 0;
        QTest::addRow("%s, Vivitek", opener) << QString::fromLatin1(opener) << 1;
    }
}

void TestConfigure::leavingTheDialogChangesNothing()
{
    QFETCH(QString, opener);
    QFETCH(int, model);

    NullModem first;
    NullModem second;
    QVERIFY(first.isOpen() && second.isOpen());
    listPorts({ second.portName() });
    TestStore::seed({ { "ComPort", first.portName() }, { "Model", model } });

    const auto w = startWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    if (model == Vivitek::ModelIndex)
        releaseFirstQuery(*w, first);
    if (QTest::currentTestFailed())
        return;

    Ui::VantrelClass &ui = VantrelProbe::ui(*w);
    const QString log = logText(*w);
    const QString label = ui.model_label->text();
    const int page = ui.model_stackedWidget->currentIndex();
    const QStringList pending = VantrelProbe::pendingQueries(*w);
    const QByteArray stored = storeBytes();
    QSignalSpy closed(&VantrelProbe::serialPort(*w), &QIODevice::aboutToClose);

    // Another port and InFocus picked, then abandoned.
    chooseInDialog(*w, opener, second.portName(), 2, "cancelSettings");

    QCOMPARE(closed.count(), 0);
    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w), log);
    QCOMPARE(ui.model_label->text(), label);
    QCOMPARE(ui.model_stackedWidget->currentIndex(), page);
    QCOMPARE(VantrelProbe::modelIndex(*w), model);
    QCOMPARE(VantrelProbe::pendingQueries(*w), pending);
    QCOMPARE(storeBytes(), stored);
    QCOMPARE(first.lineSettings().outputBaud, 9600);

    runPollPeriod(*w);
    QCOMPARE(first.readBytes(pollOf(model).size()), pollOf(model));
    QCOMPARE(second.expectSilence(), QByteArray());
}

void TestConfigure::okReopensAtFamilySpeed_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("otherPort");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("page");

    QTest::newRow("Acer to InFocus, other port") << 0 << 2 << true << 19200 << "InFocus" << 0;
    QTest::newRow("Vivitek to InFocus, other port") << 1 << 2 << true << 19200 << "InFocus" << 0;
    QTest::newRow("InFocus to Vivitek, other port") << 2 << 1 << true << 9600 << "Vivitek" << 1;
    QTest::newRow("InFocus to Acer, same port") << 2 << 0 << false << 9600 << "Acer" << 0;
    QTest::newRow("Acer to InFocus, same port") << 0 << 2 << false << 19200 << "InFocus" << 0;
}

void TestConfigure::okReopensAtFamilySpeed()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, otherPort);
    QFETCH(int, baud);
    QFETCH(QString, label);
    QFETCH(int, page);

    NullModem first;
    NullModem second;
    QVERIFY(first.isOpen() && second.isOpen());
    listPorts({ second.portName() });
    TestStore::seed({ { "ComPort", first.portName() }, { "Model", from } });

    const auto w = startWindow();
    NullModem &target = otherPort ? second : first;
    const QString log = logText(*w);
    QSignalSpy closed(&VantrelProbe::serialPort(*w), &QIODevice::aboutToClose);

    chooseInDialog(*w, "menu", target.portName(), to, "applySettings");

    QCOMPARE(closed.count(), 1);
    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w), log + "Opening port " + target.portName() + '\n' + OpenedLines);
    QCOMPARE(VantrelProbe::modelIndex(*w), to);
    QCOMPARE(VantrelProbe::ui(*w).model_label->text(), label);
    QCOMPARE(VantrelProbe::ui(*w).model_stackedWidget->currentIndex(), page);
    QCOMPARE(target.lineSettings().inputBaud, baud);
    QCOMPARE(target.lineSettings().outputBaud, baud);
    QCOMPARE(TestStore::value("ComPort").toString(), target.portName());
    QCOMPARE(TestStore::value("Model").toInt(), to);

    runPollPeriod(*w);
    QCOMPARE(target.readBytes(pollOf(to).size()), pollOf(to));
    if (otherPort)
        QCOMPARE(first.expectSilence(), QByteArray());
}

void TestConfigure::okWithoutChangeRestartsVivitekQuery()
{
    NullModem modem;
    QVERIFY(modem.isOpen());
    TestStore::seed({ { "ComPort", modem.portName() }, { "Model", 1 } });
    const auto w = startWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    releaseFirstQuery(*w, modem);
    if (QTest::currentTestFailed())
        return;

    QSignalSpy closed(&VantrelProbe::serialPort(*w), &QIODevice::aboutToClose);
    DialogDriver driver([](QDialog *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("applySettings")),
                          Qt::LeftButton);
    });
    openSettings(*w, "status button");
    QVERIFY(driver.waitDone());

    QCOMPARE(closed.count(), 1);
    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w).count("Opening port " + modem.portName() + '\n' + OpenedLines), 2);
    QCOMPARE(VantrelProbe::pendingQueries(*w), Vivitek::stateQueries());
    QCOMPARE(VantrelProbe::ui(*w).model_label->text(), QStringLiteral("Vivitek"));

    runPollPeriod(*w);
    QCOMPARE(modem.readBytes(9), pollOf(Vivitek::ModelIndex));
}

void TestConfigure::badStoredValues_data()
{
    // Port names: "modem" is the null-modem's device, "MODEM" the same in
    // upper case, "file" an existing plain file; anything else as it stands.
    QTest::addColumn<QString>("storedPort");
    QTest::addColumn<QVariant>("storedModel");
    QTest::addColumn<bool>("modemEnumerated");
    QTest::addColumn<QString>("openedPort");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("modelIndex");

    const QString missing = QStringLiteral("/dev/ttyVantrelMissing0");

    QTest::newRow("Model abc") << "modem" << QVariant("abc") << false << "modem" << true << "Acer"
                               << 0;
    QTest::newRow("Model empty") << "modem" << QVariant("") << false << "modem" << true << "Acer"
                                 << 0;
    QTest::newRow("Model 7") << "modem" << QVariant(7) << false << "modem" << true << "???" << -1;
    QTest::newRow("Model -1") << "modem" << QVariant(-1) << false << "modem" << true << "???" << -1;
    QTest::newRow("ComPort empty, port listed")
        << "" << QVariant(2) << true << "modem" << true << "InFocus" << 2;
    QTest::newRow("ComPort empty, no port")
        << "" << QVariant(0) << false << "" << false << "Acer" << 0;
    QTest::newRow("ComPort in other case, port listed")
        << "MODEM" << QVariant(0) << true << "modem" << true << "Acer" << 0;
    QTest::newRow("ComPort in other case, no port")
        << "MODEM" << QVariant(0) << false << "" << false << "Acer" << 0;
    QTest::newRow("ComPort missing, port listed")
        << missing << QVariant(1) << true << "modem" << true << "Vivitek" << 1;
    QTest::newRow("ComPort missing, no port")
        << missing << QVariant(0) << false << "" << false << "Acer" << 0;
    // Listed because it exists, but it is no terminal: the open fails, and
    // the Vivitek query is started all the same.
    QTest::newRow("ComPort a plain file")
        << "file" << QVariant(1) << true << "file" << false << "Vivitek" << 1;
}

void TestConfigure::badStoredValues()
{
    QFETCH(QString, storedPort);
    QFETCH(QVariant, storedModel);
    QFETCH(bool, modemEnumerated);
    QFETCH(QString, openedPort);
    QFETCH(bool, opens);
    QFETCH(QString, label);
    QFETCH(int, modelIndex);

    NullModem modem;
    QVERIFY(modem.isOpen());
    const QString file = TestStore::runDirectory() + QStringLiteral("/plain-file");
    {
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plain.write("untouched");
    }
    const auto resolve = [&](const QString &name) {
        if (name == QLatin1String("modem"))
            return modem.portName();
        if (name == QLatin1String("MODEM"))
            return modem.portName().toUpper();
        if (name == QLatin1String("file"))
            return file;
        return name;
    };

    listPorts(modemEnumerated ? QStringList(modem.portName()) : QStringList());
    TestStore::seed({ { "ComPort", resolve(storedPort) }, { "Model", storedModel } });
    const QByteArray before = storeBytes();

    const auto w = startWindow();
    QCOMPARE(VantrelProbe::ui(*w).model_label->text(), label);
    QCOMPARE(VantrelProbe::ui(*w).model_stackedWidget->currentIndex(),
             modelIndex == Vivitek::ModelIndex ? 1 : 0);
    QCOMPARE(VantrelProbe::modelIndex(*w), modelIndex);
    QCOMPARE(VantrelProbe::pendingQueries(*w),
             modelIndex == Vivitek::ModelIndex ? Vivitek::stateQueries() : QStringList());
    QCOMPARE(VantrelProbe::serialPort(*w).isOpen(), opens);
    QCOMPARE(logText(*w),
             "Opening port " + resolve(openedPort) + '\n' + (opens ? OpenedLines : FailedLines));

    // The window keeps ticking, over the port or without one.
    runPollPeriod(*w);
    if (opens)
        QCOMPARE(modem.readBytes(pollOf(modelIndex).size()), pollOf(modelIndex));
    else
        QCOMPARE(modem.expectSilence(), QByteArray());
    QFile plain(file);
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), QByteArray("untouched"));

    // Looking at the dialog and cancelling does not repair the store either.
    DialogDriver driver([](QDialog *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancelSettings")),
                          Qt::LeftButton);
    });
    openSettings(*w, "menu");
    QVERIFY(driver.waitDone());
    QCOMPARE(storeBytes(), before);
}

void TestConfigure::unlistedDevicePath_data()
{
    QTest::addColumn<bool>("viaLink");

    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("stable link to it") << true;
}

void TestConfigure::unlistedDevicePath()
{
    QFETCH(bool, viaLink);

    const auto modem = viaLink
        ? std::make_unique<NullModem>(TestStore::runDirectory() + QStringLiteral("/by-id-port0"))
        : std::make_unique<NullModem>();
    QVERIFY2(modem->isOpen() && modem->errorString().isEmpty(), qPrintable(modem->errorString()));
    const QString path = modem->portName();
    listPorts({ QStringLiteral("ttyVantrelFake0") });
    TestStore::seed({ { "ComPort", path }, { "Model", 0 } });

    const auto w = startWindow();
    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w), "Opening port " + path + '\n' + OpenedLines);

    QStringList listed;
    QString preselected;
    DialogDriver driver([&](QDialog *dialog) {
        auto *ports = dialog->findChild<QComboBox *>(QStringLiteral("port_comboBox"));
        for (int i = 0; i < ports->count(); ++i)
            listed.append(ports->itemText(i));
        preselected = ports->currentText();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("applySettings")),
                          Qt::LeftButton);
    });
    openSettings(*w, "menu");
    QVERIFY(driver.waitDone());
    QCOMPARE(listed, QStringList({ "ttyVantrelFake0", path }));
    QCOMPARE(preselected, path);

    QVERIFY(VantrelProbe::serialPort(*w).isOpen());
    QCOMPARE(logText(*w).count("Opening port " + path + '\n' + OpenedLines), 2);
    QCOMPARE(TestStore::value("ComPort").toString(), path);

    // A full exchange over it: the poll goes out and the answer is understood.
    runPollPeriod(*w);
    QCOMPARE(modem->readBytes(pollOf(0).size()), pollOf(0));
    QVERIFY(modem->write("LAMP 0\r"));
    QVERIFY(modem->waitConsumed());
    VantrelProbe::invoke(*w, "OnTimer");
    QCOMPARE(VantrelProbe::ui(*w).connectionStatus->toolTip(), QStringLiteral("Contact"));
    QCOMPARE(VantrelProbe::ui(*w).on_off_groupBox->fillColor, Power::lampOffColour());
}

VANTREL_TEST_MAIN(TestConfigure)
#include "tst_configure.moc"
