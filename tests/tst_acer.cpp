// The Acer page over the null-modem: what each button puts on the line, and
// what each reply from an Acer projector does to the window.

#include "acer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrelprobe.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

namespace {

const QColor TransitionColour(200, 200, 0);
const QColor LampOffColour(50, 100, 255);
const QColor LampOnColour(255, 220, 0);

enum Lamp { Untouched, Off, On };

// A window on one end of the null-modem, its poll timer stopped so that only
// the test decides when a tick runs.
struct Rig
{
    explicit Rig(int model)
    {
        TestStore::seed({ { "ComPort", modem.portName() }, { "Model", model } });
        PortEnumeration::setLister([] { return QStringList(); });
        window = std::make_unique<Vantrel>();
        VantrelProbe::pollTimer(*window).stop();
        ui().textEdit->clear();
    }

    Ui::VantrelClass &ui() { return VantrelProbe::ui(*window); }

    bool show()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    QAbstractButton *button(const QString &name)
    {
        return window->findChild<QAbstractButton *>(name);
    }

    // Puts a few bytes (well within the pty's line buffer) on the line and
    // runs ticks until the program has taken them all; a tick completes at
    // most one reply.
    bool receive(const QByteArray &bytes)
    {
        if (!modem.write(bytes) || !modem.waitConsumed())
            return false;
        QSerialPort &port = VantrelProbe::serialPort(*window);
        for (int tick = 0; tick < 1000 && port.bytesAvailable() > 0; ++tick)
            VantrelProbe::invoke(*window, "OnTimer");
        return port.bytesAvailable() == 0;
    }

    // For more than the pty's line buffer holds: the rest reaches the port
    // only as the program reads, so tick until the outcome shows.
    bool tickUntil(const std::function<bool()> &done)
    {
        QSerialPort &port = VantrelProbe::serialPort(*window);
        QSignalSpy arrived(&port, &QIODevice::readyRead);
        const QDeadlineTimer deadline(20000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            if (port.bytesAvailable() == 0 && arrived.isEmpty())
                arrived.wait(100);
            arrived.clear();
            VantrelProbe::invoke(*window, "OnTimer");
        }
        return true;
    }

    QString log() { return ui().textEdit->toPlainText(); }

    NullModem modem;
    std::unique_ptr<Vantrel> window;
};

// The commands of the page, written out here rather than taken from the
// program's table, so a wrong entry there fails.
struct Expected
{
    const char *widget;
    QByteArray bytes;
    bool acerOnly;
};

const QList<Expected> &expectedCommands()
{
    static const QList<Expected> commands = {
        { "queryLampTime", "* 0 Lamp\r", false },
        { "queryModel", "* 0 IR 035\r", false },
        { "menu", "* 0 IR 008\r", true },
        { "up", "* 0 IR 009\r", false },
        { "right", "* 0 IR 011\r", false },
        { "down", "* 0 IR 010\r", false },
        { "left", "* 0 IR 012\r", false },
        { "ok", "* 0 IR 013\r", false },
        { "keystone", "* 0 IR 004\r", false },
        { "hide", "* 0 IR 030\r", false },
        { "keystoneUpp", "* 0 IR 042\r", false },
        { "keystoneDown", "* 0 IR 043\r", false },
        { "resolution", "* 0 IR 036\r", false },
        { "aspect4_3", "* 0 IR 022\r", true },
        { "aspect16_9", "* 0 IR 021\r", true },
        { "brightness", "* 0 IR 025\r", false },
        { "contrast", "* 0 IR 026\r", false },
        { "color", "* 0 IR 048\r", false },
        { "eKey", "* 0 IR 047\r", false },
        { "analogRGB", "* 0 IR 015\r", false },
        { "sVideo", "* 0 IR 018\r", false },
        { "dvi", "* 0 IR 029\r", false },
        { "hdmi", "* 0 IR 050\r", false },
        { "colorTemperature", "* 0 IR 027\r", false },
        { "zoom", "* 0 IR 046\r", false },
        { "searchVideo", "* 0 IR 031\r", false },
        { "compositeVideo", "* 0 IR 019\r", false },
        { "company", "* 0 IR 037\r", false },
        { "freeze", "* 0 IR 007\r", false },
    };
    return commands;
}

} // namespace

class TestAcer : public QObject
{
    Q_OBJECT

private slots:
    void buttonTableCoversThePage();
    void buttonSendsItsCommand_data();
    void buttonSendsItsCommand();
    void keysClickThePad_data();
    void keysClickThePad();
    void replies_data();
    void replies();
    void repliesOfAnyBytesKeepTheWindowWorking_data();
    void repliesOfAnyBytesKeepTheWindowWorking();
    void debugShowsHandlerLineBeforeReplyLine();
    void inFocusRepliesAreNotInterpreted();
    void refreshRate_data();
    void refreshRate();
    void charactersBeyondLatin1CountAsZero();
};

void TestAcer::buttonTableCoversThePage()
{
    Rig rig(Acer::ModelIndex);
    QSet<QString> onPage;
    for (QAbstractButton *button : rig.ui().page->findChildren<QAbstractButton *>())
        onPage.insert(button->objectName());

    QSet<QString> written { "powerOn", "powerOff" };
    for (const Expected &expected : expectedCommands())
        written.insert(QString::fromLatin1(expected.widget));
    QCOMPARE(written, onPage);

    QSet<QString> inTable { "powerOn", "powerOff" };
    for (const Acer::ButtonCommand &entry : Acer::buttonCommands())
        inTable.insert(QString::fromLatin1(entry.widget));
    QCOMPARE(inTable, onPage);
}

void TestAcer::buttonSendsItsCommand_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("expected");

    for (const Expected &command : expectedCommands()) {
        QTest::addRow("Acer %s", command.widget)
            << 0 << QString::fromLatin1(command.widget) << command.bytes;
        QTest::addRow("InFocus %s", command.widget)
            << 2 << QString::fromLatin1(command.widget)
            << (command.acerOnly ? QByteArray() : command.bytes);
    }
}

void TestAcer::buttonSendsItsCommand()
{
    QFETCH(int, model);
    QFETCH(QString, widget);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    QCOMPARE(rig.ui().model_stackedWidget->currentIndex(), 0);
    QAbstractButton *button = rig.button(widget);
    QVERIFY(button);
    QVERIFY(button->isVisible());

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(rig.modem.readBytes(expected.size()), expected);
    QCOMPARE(rig.modem.expectSilence(200), QByteArray());
}

void TestAcer::keysClickThePad_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("expected");

    const struct
    {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QByteArray expected;
    } keys[] = {
        { "Return", Qt::Key_Return, Qt::NoModifier, "* 0 IR 013\r" },
        { "Enter", Qt::Key_Enter, Qt::KeypadModifier, "* 0 IR 013\r" },
        { "Left", Qt::Key_Left, Qt::NoModifier, "* 0 IR 012\r" },
        { "Up", Qt::Key_Up, Qt::NoModifier, "* 0 IR 009\r" },
        { "Right", Qt::Key_Right, Qt::NoModifier, "* 0 IR 011\r" },
        { "Down", Qt::Key_Down, Qt::NoModifier, "* 0 IR 010\r" },
        { "Space", Qt::Key_Space, Qt::NoModifier, QByteArray() },
    };
    for (const auto &key : keys) {
        QTest::addRow("Acer page, %s", key.name)
            << 0 << int(key.key) << int(key.modifiers) << key.expected;
        QTest::addRow("Vivitek page, %s", key.name)
            << 1 << int(key.key) << int(key.modifiers) << key.expected;
    }
}

void TestAcer::keysClickThePad()
{
    QFETCH(int, model);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    QCOMPARE(rig.ui().model_stackedWidget->currentIndex(), model == 1 ? 1 : 0);

    QTest::keyClick(rig.window.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // The click is animated: the bytes follow once the button comes back up.
    QCOMPARE(rig.modem.readBytes(expected.size()), expected);
    QCOMPARE(rig.modem.expectSilence(300), QByteArray());
}

void TestAcer::replies_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("lamp");

    QTest::newRow("LAMP 1") << QByteArray("LAMP 1\r") << QString() << int(On);
    QTest::newRow("lamp 1") << QByteArray("lamp 1\r") << QString() << int(On);
    QTest::newRow("Lamp 1") << QByteArray("Lamp 1\r") << QString() << int(On);
    QTest::newRow("lAmP 1") << QByteArray("lAmP 1\r") << QString() << int(On);
    QTest::newRow("LAMP 0") << QByteArray("LAMP 0\r") << QString() << int(Off);
    QTest::newRow("lamp 0") << QByteArray("lamp 0\r") << QString() << int(Off);
    QTest::newRow("LaMp 0") << QByteArray("LaMp 0\r") << QString() << int(Off);
    QTest::newRow("trailing blank")
        << QByteArray("LAMP 1 \r") << QString("LAMP 1 \n") << int(Untouched);
    QTest::newRow("leading zero") << QByteArray("LAMP 01\r") << QString("LAMP 01\n")
                                  << int(Untouched);
    QTest::newRow("LAMP 2") << QByteArray("LAMP 2\r") << QString("LAMP 2\n") << int(Untouched);
    QTest::newRow("refused") << QByteArray("*001\r")
                             << QString("Command not available at the moment.\n") << int(Untouched);
    QTest::newRow("accepted") << QByteArray("*000\r") << QString() << int(Untouched);
    QTest::newRow("accepted, one zero more")
        << QByteArray("*0000\r") << QString("*0000\n") << int(Untouched);
    QTest::newRow("Res 60 Hz") << QByteArray("Res \x04\x00\x03\x00\x01\r", 10)
                               << QString("1024 x 768 @ 60 Hz\n") << int(Untouched);
    QTest::newRow("Res 50 Hz") << QByteArray("Res \x05\x00\x04\x00\x00\r", 10)
                               << QString("1280 x 1024 @ 50 Hz\n") << int(Untouched);
    QTest::newRow("Res 120 Hz") << QByteArray("Res \x07\x80\x04\x38\x06\r", 10)
                                << QString("1920 x 1080 @ 120 Hz\n") << int(Untouched);
    QTest::newRow("Res index 7") << QByteArray("Res \x04\x00\x03\x00\x07\r", 10)
                                 << QString("1024 x 768 @ 0 Hz\n") << int(Untouched);
    QTest::newRow("Res index 9") << QByteArray("Res \x04\x00\x03\x00\x09\r", 10)
                                 << QString("1024 x 768 @ 0 Hz\n") << int(Untouched);
    QTest::newRow("Res high bytes") << QByteArray("Res \xff\xff\xff\xff\xff\r", 10)
                                    << QString("65535 x 65535 @ 0 Hz\n") << int(Untouched);
    QTest::newRow("Res trailing bytes") << QByteArray("Res \x03\x20\x02\x58\x04tail\r", 14)
                                        << QString("800 x 600 @ 75 Hz\n") << int(Untouched);
    QTest::newRow("Res 8 characters")
        << QByteArray("Res \x04\x00\x03\x00\r", 9) << QString() << int(Untouched);
    QTest::newRow("Res alone") << QByteArray("Res\r") << QString() << int(Untouched);
    QTest::newRow("RES is no report")
        << QByteArray("RES \x04\x00\x03\x00\x01\r", 10)
        << QString::fromLatin1("RES \x04\x00\x03\x00\x01\n", 10) << int(Untouched);
    // 1024 x 781: the low height byte is a carriage return and cuts the report.
    QTest::newRow("CR inside the fields") << QByteArray("Res \x04\x00\x03\r\x01\r", 10)
                                          << QString::fromLatin1("\x01\n", 2) << int(Untouched);
    QTest::newRow("lamp hours") << QByteArray("1250\r") << QString("1250\n") << int(Untouched);
    QTest::newRow("Latin-1 text") << QByteArray("d\xe9j\xe0 vu\r") << QString("d\u00e9j\u00e0 vu\n")
                                  << int(Untouched);
    QTest::newRow("empty reply") << QByteArray("\r") << QString("\n") << int(Untouched);
    QTest::newRow("line feed kept")
        << QByteArray("*000\r\n*001\r") << QString("\n*001\n") << int(Untouched);
    QTest::newRow("two replies") << QByteArray("Lamp 1\r*001\r")
                                 << QString("Command not available at the moment.\n") << int(On);
}

void TestAcer::replies()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, log);
    QFETCH(int, lamp);

    Rig rig(Acer::ModelIndex);
    ColorGroupBox *boxes[] = { rig.ui().on_off_groupBox, rig.ui().vvt_on_off_groupBox };
    // Start from the opposite state, so both directions of projectorOn show.
    VantrelProbe::setProjectorOn(*rig.window, lamp != On);
    for (ColorGroupBox *box : boxes)
        box->setToolTip("before");

    QVERIFY(rig.receive(line));
    QCOMPARE(rig.log(), log);

    switch (lamp) {
    case Untouched:
        QCOMPARE(VantrelProbe::projectorOn(*rig.window), true);
        for (ColorGroupBox *box : boxes) {
            QCOMPARE(box->fillColor, TransitionColour);
            QCOMPARE(box->toolTip(), QString("before"));
        }
        break;
    case On:
    case Off:
        QCOMPARE(VantrelProbe::projectorOn(*rig.window), lamp == On);
        for (ColorGroupBox *box : boxes) {
            QCOMPARE(box->fillColor, lamp == On ? LampOnColour : LampOffColour);
            QCOMPARE(box->toolTip(), QString(lamp == On ? "Lamp is On" : "Lamp is Off"));
        }
        break;
    }
}

void TestAcer::repliesOfAnyBytesKeepTheWindowWorking_data()
{
    QTest::addColumn<QByteArray>("line");

    QByteArray everyValue;
    for (int value = 0; value < 256; ++value) {
        everyValue.append(char(value));
        if (value != '\r')
            everyValue.append('\r');
    }
    QByteArray allValuesInOne;
    for (int value = 0; value < 256; ++value) {
        if (value != '\r')
            allValuesInOne.append(char(value));
    }

    QTest::newRow("each byte value as a reply") << everyValue;
    QTest::newRow("every byte value in one reply") << allValuesInOne + '\r';
    QTest::newRow("NULs") << QByteArray(1500, '\0') + '\r';
    QTest::newRow("high bytes") << QByteArray(1500, '\xff') + '\r';
    QTest::newRow("long Res") << "Res " + QByteArray(5000, '\x80') + '\r';
    QTest::newRow("very long") << QByteArray(100000, 'x') + '\r';
    QTest::newRow("Res then cut") << QByteArray("Res\rRes \r*\rRES\r", 15);
}

void TestAcer::repliesOfAnyBytesKeepTheWindowWorking()
{
    QFETCH(QByteArray, line);

    Rig rig(Acer::ModelIndex);
    // The reply after the garbage is understood as ever.
    QVERIFY(rig.modem.write(line + "LAMP 1\r"));
    QVERIFY(rig.tickUntil([&] { return VantrelProbe::projectorOn(*rig.window); }));
    QCOMPARE(rig.ui().on_off_groupBox->fillColor, LampOnColour);
}

void TestAcer::debugShowsHandlerLineBeforeReplyLine()
{
    Rig rig(Acer::ModelIndex);
    rig.ui().debugCheckBox->setChecked(true);
    rig.ui().asciiCheckBox->setChecked(false);
    QVERIFY(rig.receive("hello\r"));
    QVERIFY2(rig.log().contains("> 68 65 6c 6c 6f 0d \nhello\n-> hello\n"), qPrintable(rig.log()));

    rig.ui().textEdit->clear();
    QVERIFY(rig.receive("*001\r"));
    QVERIFY2(rig.log().contains("\nCommand not available at the moment.\n-> *001\n"),
             qPrintable(rig.log()));
}

void TestAcer::inFocusRepliesAreNotInterpreted()
{
    Rig rig(2);
    VantrelProbe::setProjectorOn(*rig.window, false);
    QVERIFY(rig.receive("LAMP 1)\r*001)"));
    QCOMPARE(rig.log(), QString());
    QCOMPARE(VantrelProbe::projectorOn(*rig.window), false);
    QCOMPARE(rig.ui().on_off_groupBox->fillColor, TransitionColour);
}

void TestAcer::refreshRate_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("hertz");

    const int table[][2] = { { 0, 50 },  { 1, 60 }, { 2, 70 }, { 3, 72 },  { 4, 75 }, { 5, 85 },
                             { 6, 120 }, { 7, 0 },  { 8, 0 },  { 255, 0 }, { -1, 0 } };
    for (const auto &row : table)
        QTest::addRow("%d", row[0]) << row[0] << row[1];
}

void TestAcer::refreshRate()
{
    QFETCH(int, index);
    QFETCH(int, hertz);
    QCOMPARE(Acer::refreshRate(index), hertz);
}

void TestAcer::charactersBeyondLatin1CountAsZero()
{
    // Never from the line, but the decoder must not wrap them into a byte.
    QString reply = QStringLiteral("Res ");
    reply += QChar(0x0104);
    reply += QChar(0x00);
    reply += QChar(0x03);
    reply += QChar(0x0100);
    reply += QChar(0x0101);
    const Acer::Reply result = Acer::interpretReply(reply);
    QCOMPARE(result.action, Acer::Reply::Log);
    QCOMPARE(result.logText, QString("0 x 768 @ 50 Hz\n"));
}

VANTREL_TEST_MAIN(TestAcer)
#include "tst_acer.moc"
