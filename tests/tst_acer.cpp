// The Acer page over the null-modem: what each button puts on the line, and
// what each reply from an Acer projector does to the window.

#include "acer.h"
#include "colorgroupbox.h"
#include "rig.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QTest>

namespace {

enum Lamp { Same, Off, On };

// Written out rather than taken from the program's table, so a wrong entry there fails.
const char *const Commands[][2] = {
    // clang-format off
    { "queryLampTime", "* 0 Lamp" }, { "queryModel", "* 0 IR 035" }, { "menu", "* 0 IR 008" },
    { "up", "* 0 IR 009" }, { "right", "* 0 IR 011" }, { "down", "* 0 IR 010" },
    { "left", "* 0 IR 012" }, { "ok", "* 0 IR 013" }, { "keystone", "* 0 IR 004" },
    { "hide", "* 0 IR 030" }, { "keystoneUpp", "* 0 IR 042" }, { "keystoneDown", "* 0 IR 043" },
    { "resolution", "* 0 IR 036" }, { "aspect4_3", "* 0 IR 022" }, { "aspect16_9", "* 0 IR 021" },
    { "brightness", "* 0 IR 025" }, { "contrast", "* 0 IR 026" }, { "color", "* 0 IR 048" },
    { "eKey", "* 0 IR 047" }, { "analogRGB", "* 0 IR 015" }, { "sVideo", "* 0 IR 018" },
    { "dvi", "* 0 IR 029" }, { "hdmi", "* 0 IR 050" }, { "colorTemperature", "* 0 IR 027" },
    { "zoom", "* 0 IR 046" }, { "searchVideo", "* 0 IR 031" }, { "compositeVideo", "* 0 IR 019" },
    { "company", "* 0 IR 037" }, { "freeze", "* 0 IR 007" },
    // clang-format on
};
const QStringList AcerOnly = { "menu", "aspect4_3", "aspect16_9" }; // not for InFocus
const char *const Pad[] = { "ok", "left", "up", "right", "down" };

} // namespace

class TestAcer : public QObject
{
    Q_OBJECT

private slots:
    void buttonSendsItsCommand_data();
    void buttonSendsItsCommand();
    void keysClickThePad_data();
    void keysClickThePad();
    void replies_data();
    void replies();
    void debugShowsHandlerLineBeforeReplyLine();
    void resolutionDecoding();
};

void TestAcer::buttonSendsItsCommand_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("expected");

    for (const auto &command : Commands) {
        const QByteArray bytes = QByteArray(command[1]) + '\r';
        QTest::addRow("Acer %s", command[0]) << 0 << QString(command[0]) << bytes;
        QTest::addRow("InFocus %s", command[0])
            << 2 << QString(command[0]) << (AcerOnly.contains(command[0]) ? QByteArray() : bytes);
    }
}

void TestAcer::buttonSendsItsCommand()
{
    QFETCH(int, model);
    QFETCH(QString, widget);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    QAbstractButton *button = rig.button(widget);
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(rig.sent(), expected);
}

void TestAcer::keysClickThePad_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");

    for (int model : { 0, 1 }) {
        const auto row = [model](const char *name, Qt::Key key, const char *button,
                                 const QByteArray &expected) {
            QTest::addRow("%s page, %s", model ? "Vivitek" : "Acer", name)
                << model << int(key) << QString(button) << expected;
        };
        row("Return", Qt::Key_Return, "ok", "* 0 IR 013\r");
        row("Enter", Qt::Key_Enter, "ok", "* 0 IR 013\r");
        row("Left", Qt::Key_Left, "left", "* 0 IR 012\r");
        row("Up", Qt::Key_Up, "up", "* 0 IR 009\r");
        row("Right", Qt::Key_Right, "right", "* 0 IR 011\r");
        row("Down", Qt::Key_Down, "down", "* 0 IR 010\r");
        row("Space", Qt::Key_Space, "", "");
    }
}

void TestAcer::keysClickThePad()
{
    QFETCH(int, model);
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);

    Rig rig(model);
    QVERIFY(rig.show());
    QCOMPARE(rig.ui().model_stackedWidget->currentIndex(), model);
    QTest::keyClick(&rig.window(), Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    // The click is animated: the key's own button, and only that, goes down at once.
    for (const char *pad : Pad)
        QCOMPARE(rig.button(pad)->isDown(), button == pad);
    for (const char *pad : Pad)
        QTRY_VERIFY(!rig.button(pad)->isDown());
    QCOMPARE(rig.sent(), expected);
}

void TestAcer::replies_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("lamp");

    const auto row = [](const char *name, const QByteArray &line, const QString &log, Lamp lamp) {
        QTest::newRow(name) << line << log << int(lamp);
    };
    row("LAMP 1", "LAMP 1\r", "", On);
    row("lAmP 1", "lAmP 1\r", "", On);
    row("LAMP 0", "LAMP 0\r", "", Off);
    row("LaMp 0", "LaMp 0\r", "", Off);
    // Blanks and control characters around a lamp reply are strays.
    row("trailing blank", "LAMP 1 \r", "", On);
    row("leading blank and tab", " \tLamp 0\r", "", Off);
    row("LF before the CR", "Lamp 0\n\r", "", Off);
    row("NUL and DEL around", QByteArray("\0Lamp 1\x7f\r", 9), "", On);
    row("blank inside", "LAMP  1\r", "LAMP  1\n", Same);
    row("leading zero", "LAMP 01\r", "LAMP 01\n", Same);
    row("refused", "*001\r", "Command not available at the moment.\n", Same);
    row("accepted", "*000\r", "", Same);
    row("accepted, one zero more", "*0000\r", "*0000\n", Same);
    row("Res 60 Hz", QByteArray("Res \x04\x00\x03\x00\x01\r", 10), "1024 x 768 @ 60 Hz\n", Same);
    row("Res 120 Hz", QByteArray("Res \x07\x80\x04\x38\x06\r", 10), "1920 x 1080 @ 120 Hz\n", Same);
    row("Res high bytes, index 7", "Res \xff\xff\xff\xff\x07\r", "65535 x 65535 @ 0 Hz\n", Same);
    row("Res trailing bytes", "Res \x03\x20\x02\x58\x04tail\r", "800 x 600 @ 75 Hz\n", Same);
    row("Res 8 characters", QByteArray("Res \x04\x00\x03\x00\r", 9), "", Same);
    row("Res alone", "Res\r", "", Same);
    row("RES is no report", QByteArray("RES \x04\x00\x03\x00\x01\r", 10),
        QString::fromLatin1("RES \x04\x00\x03\x00\x01\n", 10), Same);
    // The low height byte is a carriage return: it cuts the report short.
    row("CR inside the fields", QByteArray("Res \x04\x00\x03\r\x01\r", 10),
        QString::fromLatin1("\x01\n", 2), Same);
    row("Latin-1 text", "d\xe9j\xe0 vu\r", QString::fromUtf8("d\u00e9j\u00e0 vu\n"), Same);
    row("empty reply", "\r", "\n", Same);
    row("two replies", "Lamp 1\r*001\r", "Command not available at the moment.\n", On);

    // Garbage of any kind, then a reply that must be understood as ever; a null log is not checked.
    QByteArray eachValue;
    QByteArray allInOne;
    for (int value = 0; value < 256; ++value) {
        eachValue.append(char(value));
        if (value != '\r') {
            eachValue.append('\r');
            allInOne.append(char(value));
        }
    }
    row("each byte value as a reply", eachValue + "LAMP 1\r", QString(), On);
    row("every byte value in one reply", allInOne + "\rLAMP 1\r", QString(), On);
    row("long Res", "Res " + QByteArray(1000, '\x80') + "\rLAMP 1\r", "32896 x 32896 @ 0 Hz\n", On);
}

void TestAcer::replies()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, log);
    QFETCH(int, lamp);

    Rig rig(Acer::ModelIndex);
    ColorGroupBox *boxes[] = { rig.ui().on_off_groupBox, rig.ui().vvt_on_off_groupBox };
    // Start from the opposite state, so both directions of projectorOn show.
    VantrelProbe::setProjectorOn(rig.window(), lamp != On);
    for (ColorGroupBox *box : boxes)
        box->setToolTip("before");

    QVERIFY(rig.receive(line));
    if (!log.isNull())
        QCOMPARE(rig.log(), log);
    QCOMPARE(VantrelProbe::projectorOn(rig.window()), lamp != Off);
    QVERIFY(rig.boxesAgree());
    const QColor colours[] = { Rig::TransitionColour, Rig::LampOffColour, Rig::LampOnColour };
    QCOMPARE(rig.boxColour(), colours[lamp]);
    const char *toolTips[] = { "before", "Lamp is Off", "Lamp is On" };
    for (ColorGroupBox *box : boxes)
        QCOMPARE(box->toolTip(), QString(toolTips[lamp]));
}

void TestAcer::debugShowsHandlerLineBeforeReplyLine()
{
    Rig rig(Acer::ModelIndex, true);
    rig.ui().asciiCheckBox->setChecked(false);
    rig.tick(); // the first tick polls
    rig.clearLog();
    QVERIFY(rig.receive("hi\r*001\r"));
    QCOMPARE(rig.log(),
             QString("> 68 69 0d \nhi\n-> hi\n> 2a 30 30 31 0d \n"
                     "Command not available at the moment.\n-> *001\n"));
}

void TestAcer::resolutionDecoding()
{
    const int hertz[] = { 50, 60, 70, 72, 75, 85, 120, 0, 0 };
    for (int index = 0; index < 9; ++index)
        QCOMPARE(Acer::refreshRate(index), hertz[index]);

    // Never from the line, but the decoder must not wrap them into a byte.
    const QString wide
        = QStringLiteral("Res ") + QChar(0x104) + QChar(0) + QChar(3) + QChar(0x100) + QChar(0x101);
    QCOMPARE(Acer::interpretReply(wide).logText, QString("0 x 768 @ 50 Hz\n"));
}

VANTREL_TEST_MAIN(TestAcer)
#include "tst_acer.moc"
