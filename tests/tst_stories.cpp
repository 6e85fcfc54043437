// Whole user stories on the window, with a simulated projector at the other
// end of the null-modem: its warm-up, its lamp and its settings react the way
// the program expects of a real one.
// ctest-properties: TIMEOUT 300

#include "boxanswerer.h"
#include "nullmodem.h"
#include "portenumeration.h"
#include "projectormodel.h"
#include "testmain.h"
#include "teststore.h"
#include "vantrel.h"
#include "vantrelprobe.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using Family = ProjectorModel::Family;
using Power = ProjectorModel::Power;

Q_DECLARE_METATYPE(ProjectorModel::Family)

namespace {

const QColor transitionColour(200, 200, 0);
const QColor lampOffColour(50, 100, 255);
const QColor lampOnColour(255, 220, 0);
// A poll goes out every 3.1 s; a story waits for the next one and a bit.
const int pollWaitMs = 8000;
const int lampHours = 2417;

// The projector on the test's end of the line, on the wall clock, answering
// as soon as the program's bytes arrive.
class BenchProjector
{
public:
    BenchProjector(NullModem &modem, Family family, bool lampOn, qint64 warmupMs)
        : modem(modem)
        , model(options(family, lampOn, warmupMs), 0)
    {
        clock.start();
        pump.setInterval(5);
        QObject::connect(&pump, &QTimer::timeout, [this] { exchange(); });
        pump.start();
    }

    Power power() { return model.power(clock.elapsed()); }
    int setting(int function) const { return model.vivitekValue(function); }
    // The commands received so far, in order.
    QStringList received() const { return commands; }

private:
    static ProjectorModel::Options options(Family family, bool lampOn, qint64 warmupMs)
    {
        ProjectorModel::Options options;
        options.family = family;
        options.lampOn = lampOn;
        options.warmupMs = warmupMs;
        options.cooldownMs = 300;
        options.lampHours = lampHours;
        return options;
    }

    void exchange()
    {
        const QByteArray in = modem.readAll();
        if (!in.isEmpty())
            model.receive(in, clock.elapsed());
        const QByteArray out = model.takeOutput(clock.elapsed());
        if (!out.isEmpty())
            modem.write(out);
        for (const QString &line : model.takeLog()) {
            if (line.startsWith(QLatin1String("RX \"")))
                commands.append(line.mid(4, line.size() - 5));
        }
    }

    NullModem &modem;
    ProjectorModel model;
    QElapsedTimer clock;
    QTimer pump;
    QStringList commands;
};

// Both boxes always show the same state; a mismatch is reported as such.
QColor lampBox(Vantrel &w)
{
    const Ui::VantrelClass &ui = VantrelProbe::ui(w);
    if (ui.on_off_groupBox->fillColor != ui.vvt_on_off_groupBox->fillColor)
        return QColor(Qt::magenta);
    return ui.on_off_groupBox->fillColor;
}

QString logText(Vantrel &w)
{
    return VantrelProbe::ui(w).textEdit->toPlainText();
}

void click(QWidget *widget)
{
    QVERIFY(widget && widget->isVisible());
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Opens the drop-down list and clicks an entry, as the user picks one.
void choose(QComboBox *combo, int entry)
{
    QVERIFY(combo && combo->isVisible() && entry < combo->count());
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QRect rect = view->visualRect(view->model()->index(entry, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTRY_VERIFY(!view->isVisible());
}

} // namespace

class TestStories : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PortEnumeration::setLister([] { return QStringList(); });
    }
    void switchOnThenOffWithConfirmation_data();
    void switchOnThenOffWithConfirmation();
    void acerKeysAndLampHours();
    void vivitekListChoicesReachProjector_data();
    void vivitekListChoicesReachProjector();
    void closingWhileOnSwitchesOff();
};

void TestStories::switchOnThenOffWithConfirmation_data()
{
    QTest::addColumn<Family>("family");
    QTest::addColumn<QString>("onButton");
    QTest::addColumn<QString>("offButton");
    QTest::addColumn<QString>("offCommand");

    QTest::newRow("acer") << Family::Acer << "powerOn"
                          << "powerOff"
                          << "* 0 IR 002";
    QTest::newRow("vivitek") << Family::Vivitek << "vvtPowerOn"
                             << "vvtPowerOff"
                             << "V99S0002";
}

void TestStories::switchOnThenOffWithConfirmation()
{
    QFETCH(Family, family);
    QFETCH(QString, onButton);
    QFETCH(QString, offButton);
    QFETCH(QString, offCommand);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    BenchProjector projector(modem, family, false, 500);
    TestStore::seed({ { QStringLiteral("ComPort"), modem.portName() },
                      { QStringLiteral("Model"), int(family) } });
    Vantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget *on = w.findChild<QWidget *>(onButton);
    QWidget *off = w.findChild<QWidget *>(offButton);
    const Ui::VantrelClass &ui = VantrelProbe::ui(w);

    // The first poll's answer shows the dark projector.
    QTRY_COMPARE(lampBox(w), lampOffColour);
    QCOMPARE(ui.on_off_groupBox->toolTip(), QStringLiteral("Lamp is Off"));
    QCOMPARE(ui.vvt_on_off_groupBox->toolTip(), QStringLiteral("Lamp is Off"));

    click(on);
    QCOMPARE(lampBox(w), transitionColour);
    QTRY_COMPARE(projector.power(), Power::On);
    QTRY_COMPARE_WITH_TIMEOUT(lampBox(w), lampOnColour, pollWaitMs);
    QCOMPARE(ui.on_off_groupBox->toolTip(), QStringLiteral("Lamp is On"));
    QCOMPARE(ui.vvt_on_off_groupBox->toolTip(), QStringLiteral("Lamp is On"));

    {
        // Second thoughts: nothing is sent, the lamp stays lit.
        BoxAnswerer answerer(QMessageBox::No);
        click(off);
        QVERIFY(answerer.waitDone());
        QCOMPARE(lampBox(w), lampOnColour);
    }
    {
        BoxAnswerer answerer(QMessageBox::Yes);
        click(off);
        QVERIFY(answerer.waitDone());
        QCOMPARE(answerer.box().title, QStringLiteral("Turn off"));
        QCOMPARE(answerer.box().text, QStringLiteral("Turn the projector off?"));
    }
    QCOMPARE(lampBox(w), transitionColour);
    QTRY_COMPARE(projector.power(), Power::Off);
    QTRY_COMPARE_WITH_TIMEOUT(lampBox(w), lampOffColour, pollWaitMs);
    QCOMPARE(projector.received().count(offCommand), 1);

    // Off as reported, so closing asks nothing.
    BoxAnswerer noBox;
    QVERIFY(w.close());
    QVERIFY(noBox.waitDone());
}

// Keys are refused while the lamp warms up and taken once it is on; the
// lamp hours arrive as a bare number.
void TestStories::acerKeysAndLampHours()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    BenchProjector projector(modem, Family::Acer, false, 1500);
    TestStore::seed(
        { { QStringLiteral("ComPort"), modem.portName() }, { QStringLiteral("Model"), 0 } });
    Vantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Ui::VantrelClass &ui = VantrelProbe::ui(w);
    click(ui.info);
    click(ui.debugCheckBox);
    QVERIFY(ui.debugCheckBox->isChecked());

    click(ui.powerOn);
    click(ui.hdmi);
    QTRY_VERIFY(logText(w).contains(QLatin1String("-> *001\n")));
    QVERIFY(logText(w).contains(QLatin1String("Command not available at the moment.\n")));
    QCOMPARE(projector.power(), Power::WarmingUp);

    QTRY_COMPARE(projector.power(), Power::On);
    click(ui.clearLog);
    click(ui.hdmi);
    QTRY_VERIFY(logText(w).contains(QLatin1String("-> *000\n")));
    QVERIFY(!logText(w).contains(QLatin1String("Command not available")));

    click(ui.queryLampTime);
    QTRY_VERIFY(logText(w).contains(QStringLiteral("\n%1\n-> %1\n").arg(lampHours)));
    QCOMPARE(projector.received().count(QStringLiteral("* 0 IR 050")), 2);
}

void TestStories::vivitekListChoicesReachProjector_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("value");

    QTest::newRow("source") << "vvtVideoSourceCbx" << 3 << 220 << 2;
    QTest::newRow("display mode") << "vvtDisplayModeCbx" << 5 << 108 << 4;
    QTest::newRow("lamp mode") << "vvtLampModeCbx" << 3 << 319 << 2;
}

// The state query fills the lists from the projector; a choice in a list then
// changes the projector's setting.
void TestStories::vivitekListChoicesReachProjector()
{
    QFETCH(QString, list);
    QFETCH(int, entry);
    QFETCH(int, function);
    QFETCH(int, value);

    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    BenchProjector projector(modem, Family::Vivitek, true, 0);
    TestStore::seed(
        { { QStringLiteral("ComPort"), modem.portName() }, { QStringLiteral("Model"), 1 } });
    Vantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Ui::VantrelClass &ui = VantrelProbe::ui(w);

    // The simulator starts with lamp mode 1, logo 0, display mode 0, source 0,
    // colour temperature 1 and brightness 50; entry 0 of every list is empty.
    QTRY_COMPARE(ui.vvtColorTempCbx->currentIndex(), 2);
    QCOMPARE(ui.vvtLampModeCbx->currentIndex(), 2);
    QCOMPARE(ui.vvtLogoSelectCbx->currentIndex(), 1);
    QCOMPARE(ui.vvtDisplayModeCbx->currentIndex(), 1);
    QCOMPARE(ui.vvtVideoSourceCbx->currentIndex(), 1);
    QCOMPARE(int(VantrelProbe::vvtBrightness(w)), 50);
    QCOMPARE(lampBox(w), lampOnColour);
    // Filling the lists sent nothing back.
    QVERIFY(projector.received().filter(QStringLiteral("V99S")).isEmpty());

    auto *combo = w.findChild<QComboBox *>(list);
    choose(combo, entry);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(projector.setting(function), value);
    QCOMPARE(combo->currentIndex(), entry);
    QCOMPARE(projector.received().filter(QStringLiteral("V99S")).size(), 1);

    click(ui.vvtLampTime);
    QTRY_VERIFY(logText(w).contains(QStringLiteral("Lamp Time = %1 h\n").arg(lampHours)));
}

void TestStories::closingWhileOnSwitchesOff()
{
    NullModem modem;
    QVERIFY2(modem.isOpen(), qPrintable(modem.errorString()));
    BenchProjector projector(modem, Family::Acer, true, 0);
    TestStore::seed(
        { { QStringLiteral("ComPort"), modem.portName() }, { QStringLiteral("Model"), 0 } });
    Vantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(lampBox(w), lampOnColour);

    BoxAnswerer answerer(QMessageBox::Yes);
    QVERIFY(w.close());
    QVERIFY(answerer.waitDone());
    QCOMPARE(answerer.box().title, QStringLiteral("Projector is on!"));
    QVERIFY(!w.isVisible());
    // The port stays open until the window is gone, so the command arrives.
    QTRY_COMPARE(projector.power(), Power::Off);
    QCOMPARE(projector.received().count(QStringLiteral("* 0 IR 002")), 1);
}

VANTREL_TEST_MAIN(TestStories)
#include "tst_stories.moc"
