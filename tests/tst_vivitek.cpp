// The Vivitek page: what each button and list entry puts on the line.

#include "rig.h"
#include "testmain.h"
#include "vivitek.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

namespace {

// Picks an entry from the open list as a user does: activated() also for the current entry.
void choose(QComboBox *combo, int entry)
{
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(combo->model()->index(entry, combo->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

// Rows from "name=command;...": a list's entries after the empty one, or buttons.
void addRows(const char *combo, const char *entries, bool lampOn = false, bool sends = true)
{
    const QStringList list = QString(combo ? "=;" : "").append(entries).split(';');
    for (int i = 0; i < list.size(); ++i) {
        const QString name = list[i].section('=', 0, 0);
        const QByteArray command = list[i].section('=', 1).toLatin1();
        QTest::addRow("%s %d %s%s", combo ? combo : "button", i, qPrintable(name),
                      lampOn ? ", lamp on" : "")
            << (combo ? QString(combo) : name) << (combo ? i : -1) << lampOn << name
            << (sends && !command.isEmpty() ? command + '\r' : QByteArray());
    }
}

} // namespace

Q_DECLARE_METATYPE(Vivitek::List)

class TestVivitek : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void userChoicesOnly();
    void refusedLampModeShowsTheReportedOne_data();
    void refusedLampModeShowsTheReportedOne();
    void formListsAreTheTables_data();
    void formListsAreTheTables();
    void steppedValuesAtLimits_data();
    void steppedValuesAtLimits();
};

void TestVivitek::commands_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("entry"); // -1: a button
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("expected");

    addRows(nullptr,
            "vvtPowerOn=V99S0001;vvtPowerOff=V99S0002;vvtLampTime=V99G0004;vvtFirmware=V99G0008;"
            "vvtPModeFront=V99S03080;vvtPModeRear=V99S03081;vvtPModeCeiling=V99S03082;"
            "vvtPModeRearCeiling=V99S03083;vvtUnBlank=V99S03020;vvtBlank=V99S03021;"
            "vvtAspect4_3=V99S03011;vvtAspect16_9=V99S03012;vvtKeyStoneUp=V99S03091;"
            "vvtKeyStoneDown=V99S0309-1;pushButton=");
    // Entry 0 is empty and sends nothing. The source numbers do not follow the list order.
    addRows("vvtVideoSourceCbx",
            "RGB 1=V99S0201;RGB 2=V99S0202;DVI=V99S0203;Video=V99S0204;S-Video=V99S0205;"
            "HDMI 1=V99S0206;HDMI 2=V99S0209;BNC=V99S0207;Component=V99S0208;"
            "Display Port=V99S0210");
    addRows("vvtDisplayModeCbx",
            "Presentation=V99S01080;Bright=V99S01081;Game=V99S01082;Movie=V99S01083;"
            "TV=V99S01084;sRGB=V99S01085;Blackboard=V99S01086;User=V99S01087");
    addRows("vvtLogoSelectCbx", "Standard=V99S03210;Off=V99S03212;User=V99S03211");
    const char *lampModes = "Eco=V99S03190;Normal=V99S03191;Dynamic Eco=V99S03192";
    addRows("vvtLampModeCbx", lampModes, true);
    addRows("vvtLampModeCbx", lampModes, false, false);
    // The user cannot reach this list, but its slot is bound all the same.
    addRows("vvtColorTempCbx", "Warm=V99S01060;Normal=V99S01061;Cold=V99S01062");
}

void TestVivitek::commands()
{
    QFETCH(QString, widget);
    QFETCH(int, entry);
    QFETCH(bool, lampOn);
    QFETCH(QString, caption);
    QFETCH(QByteArray, expected);

    Rig rig(1);
    VantrelProbe::setProjectorOn(rig.window(), lampOn);
    if (entry < 0) {
        QAbstractButton *button = rig.button(widget);
        QVERIFY(button);
        using Answers = QList<QMessageBox::StandardButton>;
        BoxAnswerer answerer(widget == "vvtPowerOff" ? Answers { QMessageBox::Yes } : Answers());
        button->click();
        QVERIFY2(answerer.waitDone(), qPrintable(answerer.problems()));
    } else {
        auto *combo = rig.window().findChild<QComboBox *>(widget);
        QVERIFY(combo);
        QCOMPARE(combo->itemText(entry), caption); // the lists are bound by index
        QVERIFY(QMetaObject::invokeMethod(combo, "activated", Q_ARG(int, entry)));
    }
    QCOMPARE(rig.sent(), expected);
}

void TestVivitek::userChoicesOnly()
{
    Rig rig(1);
    QVERIFY(rig.show());
    VantrelProbe::setProjectorOn(rig.window(), true);
    const auto &ui = rig.ui();
    for (QComboBox *combo : { ui.vvtVideoSourceCbx, ui.vvtDisplayModeCbx, ui.vvtLogoSelectCbx,
                              ui.vvtLampModeCbx, ui.vvtColorTempCbx })
        for (int index : { 2, 1, 0 })
            combo->setCurrentIndex(index);
    QVERIFY(!ui.vvtColorTempCbx->isEnabled());
    QCOMPARE(rig.sent(), QByteArray());

    // The entry that is already selected, chosen again, is sent again.
    choose(ui.vvtVideoSourceCbx, 7);
    choose(ui.vvtVideoSourceCbx, 7);
    QCOMPARE(rig.sent(), QByteArray("V99S0209\rV99S0209\r"));
    // A keyboard step on the closed list is a user choice too.
    ui.vvtVideoSourceCbx->setFocus();
    QTest::keyClick(ui.vvtVideoSourceCbx, Qt::Key_Down);
    QCOMPARE(rig.sent(), QByteArray("V99S0207\r"));

    // A lamp mode is taken only while the lamp is on; a refused choice goes
    // back to the one the projector took.
    VantrelProbe::forgetPendingReplies(rig.window());
    choose(ui.vvtLampModeCbx, 3);
    QCOMPARE(rig.sent(), QByteArray("V99S03192\r"));
    QVERIFY(rig.receive("P\r"));
    VantrelProbe::setProjectorOn(rig.window(), false);
    for (int refused : { 1, 3, 0 }) {
        choose(ui.vvtLampModeCbx, refused);
        QCOMPARE(ui.vvtLampModeCbx->currentText(), QString("Dynamic Eco"));
    }
    QCOMPARE(rig.sent(), QByteArray());
}

// The projector reports Normal, the user chooses Dynamic Eco, the lamp goes
// off and a choice is refused: the list shows what the projector last
// reported or took, never merely the last choice.
void TestVivitek::refusedLampModeShowsTheReportedOne_data()
{
    QTest::addColumn<QByteArray>("answer"); // to the choice of Dynamic Eco, after the poll's
    QTest::addColumn<QString>("shown");
    QTest::newRow("taken") << QByteArray("P\r") << "Dynamic Eco";
    QTest::newRow("refused by the projector") << QByteArray("F\r") << "Normal";
    QTest::newRow("unanswered") << QByteArray() << "Normal";
}

void TestVivitek::refusedLampModeShowsTheReportedOne()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, shown);
    Rig rig(1);
    QVERIFY(rig.show());
    Vantrel &w = rig.window();
    QComboBox *lampMode = rig.ui().vvtLampModeCbx;
    VantrelProbe::forgetPendingReplies(w);
    VantrelProbe::setProjectorOn(w, true);
    VantrelProbe::sendCommand(w, "V99G0319");
    QVERIFY(rig.receive("P1\r"));
    QCOMPARE(lampMode->currentText(), QString("Normal"));
    choose(lampMode, 3);
    // The tick that read the report polled.
    QCOMPARE(rig.sent(), QByteArray("V99G0319\rV99G0007\rV99S03192\r"));
    QVERIFY(rig.receive("P1\r" + answer));

    VantrelProbe::setProjectorOn(w, false);
    for (int refused : { 1, 3 }) {
        choose(lampMode, refused);
        QCOMPARE(lampMode->currentText(), shown);
    }
    QCOMPARE(rig.sent(), QByteArray());
}

void TestVivitek::formListsAreTheTables_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<Vivitek::List>("list");

    QTest::newRow("source") << "vvtVideoSourceCbx" << Vivitek::List::VideoSource;
    QTest::newRow("display mode") << "vvtDisplayModeCbx" << Vivitek::List::DisplayMode;
    QTest::newRow("logo") << "vvtLogoSelectCbx" << Vivitek::List::Logo;
    QTest::newRow("lamp mode") << "vvtLampModeCbx" << Vivitek::List::LampMode;
    QTest::newRow("colour temperature") << "vvtColorTempCbx" << Vivitek::List::ColorTemp;
}

// The command line names the entries by the captions in the library's table;
// they must be the form's, and each name must lead back to its own entry.
void TestVivitek::formListsAreTheTables()
{
    QFETCH(QString, widget);
    QFETCH(Vivitek::List, list);

    Rig rig(1);
    auto *combo = rig.window().findChild<QComboBox *>(widget);
    QVERIFY(combo);
    QCOMPARE(combo->count(), Vivitek::listEntryCount(list));
    for (int entry = 0; entry < combo->count(); ++entry) {
        QCOMPARE(Vivitek::listCaption(list, entry), combo->itemText(entry));
        if (entry > 0)
            QCOMPARE(Vivitek::findListEntry(list, Vivitek::listEntryName(list, entry)), entry);
    }
}

void TestVivitek::steppedValuesAtLimits_data()
{
    QTest::addColumn<QString>("steps"); // keystone button slots, or unconnected brightness slots
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("after");

    auto row = [](const char *name, const char *steps, int start, const char *sent, int after) {
        QTest::newRow(name) << QString(steps) << start << QByteArray(sent) + '\r' << after;
    };
    row("keystone 0 up down down", "vvtKeyStoneUp vvtKeyStoneDown vvtKeyStoneDown", 0,
        "V99S03091\rV99S03090\rV99S0309-1", -1);
    row("keystone -40 down", "vvtKeyStoneDown", -40, "V99S0309-40", -40);
    row("keystone -39 down", "vvtKeyStoneDown", -39, "V99S0309-40", -40);
    row("keystone -40 up", "vvtKeyStoneUp", -40, "V99S0309-39", -39);
    row("keystone 40 up", "vvtKeyStoneUp", 40, "V99S030940", 40);
    row("keystone 39 up", "vvtKeyStoneUp", 39, "V99S030940", 40);
    // A reported value beyond the button range is where the next step starts.
    row("keystone -100 up", "vvtKeyStoneUp", -100, "V99S0309-99", -99);
    row("keystone 100 up", "vvtKeyStoneUp", 100, "V99S0309100", 100);
    row("brightness 100 up", "vvtBrightnessUp", 100, "V99S0101100", 100);
    row("brightness 99 up", "vvtBrightnessUp", 99, "V99S0101100", 100);
    row("brightness 0 down", "vvtBrightnessDown", 0, "V99S01010", 0);
    row("brightness 100 down", "vvtBrightnessDown", 100, "V99S010199", 99);
    row("brightness 200 up", "vvtBrightnessUp", 200, "V99S0101200", 200);
}

void TestVivitek::steppedValuesAtLimits()
{
    QFETCH(QString, steps);
    QFETCH(int, start);
    QFETCH(QByteArray, expected);
    QFETCH(int, after);

    Rig rig(1);
    Vantrel &w = rig.window();
    const bool keystone = steps.contains("KeyStone");
    keystone ? VantrelProbe::setVvtKeystone(w, std::int8_t(start))
             : VantrelProbe::setVvtBrightness(w, std::uint8_t(start));
    // No widget reaches the brightness slots.
    QCOMPARE(w.findChild<QObject *>(steps.section(' ', 0, 0)) != nullptr, keystone);
    for (const QString &step : steps.split(' '))
        QVERIFY(VantrelProbe::invoke(w, qPrintable("on_" + step + "_clicked")));
    QCOMPARE(rig.sent(), expected);
    QCOMPARE(keystone ? VantrelProbe::vvtKeystone(w) : VantrelProbe::vvtBrightness(w), after);
}

VANTREL_TEST_MAIN(TestVivitek)
#include "tst_vivitek.moc"
