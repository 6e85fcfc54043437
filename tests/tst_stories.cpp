// Whole user stories on the window against the projector simulator, whose
// warm-up, lamp and settings react as the program expects of a real projector.
// ctest-properties: TIMEOUT 300

#include "rig.h"
#include "simprocess.h"
#include "testmain.h"
#include "teststore.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

#ifndef PROJECTOR_SIM_PATH
#define PROJECTOR_SIM_PATH "" // every story then fails to start
#endif

namespace {

const int pollWaitMs = 8000; // a poll goes out every 3.1 s: the next one and a bit

// A Rig's window moved from its null-modem to the simulator and left to its
// own timer, as a user runs it.
struct Story : Rig
{
    using Rig::Rig;

    bool start(const QStringList &options)
    {
        const QString family = QStringList { "acer", "vivitek", "infocus" }.value(
            VantrelProbe::modelIndex(window()));
        const QString link = TestStore::runDirectory() + QStringLiteral("/ttyProjector");
        if (!sim.startSimulator(PROJECTOR_SIM_PATH,
                                QStringList { "--family", family, "--link", link } + options))
            return false;
        TestStore::set(QStringLiteral("ComPort"), link);
        VantrelProbe::configure(window(), false);
        VantrelProbe::pollTimer(window()).start();
        return show();
    }
    // How many commands that start so the simulator received.
    int sent(const QByteArray &start) const { return sim.lines().join().count("RX \"" + start); }

    SimProcess sim;
};

bool click(QWidget *widget)
{
    return widget && widget->isVisible() && (QTest::mouseClick(widget, Qt::LeftButton), true);
}

} // namespace

class TestStories : public QObject
{
    Q_OBJECT

private slots:
    void switchOnThenOffWithConfirmation_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QByteArray>("onCommand");
        QTest::addColumn<QByteArray>("offCommand");

        QTest::newRow("acer") << 0 << QByteArray("OKOKOKOKOK") << QByteArray("* 0 IR 002");
        QTest::newRow("vivitek") << 1 << QByteArray("V99S0001") << QByteArray("V99S0002");
        QTest::newRow("infocus") << 2 << QByteArray("(PWR1)") << QByteArray("(PWR0)");
    }

    void switchOnThenOffWithConfirmation()
    {
        QFETCH(int, model);
        QFETCH(QByteArray, onCommand);
        QFETCH(QByteArray, offCommand);
        const QString on = model == 1 ? "vvtPowerOn" : "powerOn";
        const QString off = model == 1 ? "vvtPowerOff" : "powerOff";
        // InFocus replies are not interpreted, so its lamp box keeps the transition colour.
        const bool interpreted = model != 2;

        Story story(model);
        QVERIFY(story.start({ "--warmup-ms", "500", "--cooldown-ms", "300" }));
        if (interpreted)
            QTRY_COMPARE(story.boxColour(), Rig::LampOffColour);

        QVERIFY(click(story.button(on)));
        QCOMPARE(story.boxColour(), Rig::TransitionColour);
        QTRY_VERIFY(story.sim.has("-- power: on"));
        if (interpreted)
            QTRY_COMPARE_WITH_TIMEOUT(story.boxColour(), Rig::LampOnColour, pollWaitMs);

        // Second thoughts: nothing is sent, the lamp box stays as it was.
        const QColor before = story.boxColour();
        BoxAnswerer no(QMessageBox::No);
        QVERIFY(click(story.button(off)));
        QVERIFY(no.waitDone());
        QCOMPARE(story.boxColour(), before);

        BoxAnswerer yes(QMessageBox::Yes);
        QVERIFY(click(story.button(off)));
        QVERIFY(yes.waitDone());
        QCOMPARE(yes.box().title, QStringLiteral("Turn off"));
        QCOMPARE(story.boxColour(), Rig::TransitionColour);
        QTRY_VERIFY(story.sim.has("-- power: off"));
        if (interpreted)
            QTRY_COMPARE_WITH_TIMEOUT(story.boxColour(), Rig::LampOffColour, pollWaitMs);
        QVERIFY(story.boxesAgree());
        QCOMPARE(story.sent(onCommand), 1);
        QCOMPARE(story.sent(offCommand), 1);

        // Off as reported, so closing asks nothing.
        BoxAnswerer noBox;
        QVERIFY(story.window().close());
        QVERIFY(noBox.waitDone());
    }

    // Keys are refused while the lamp warms up and taken once it is on; the lamp
    // hours arrive as a bare number.
    void acerKeysAndLampHours()
    {
        Story story(0, true);
        QVERIFY(story.start({ "--warmup-ms", "1500", "--lamp-hours", "2417" }));
        const Ui::VantrelClass &ui = story.ui();
        QVERIFY(click(ui.powerOn));
        QVERIFY(click(ui.hdmi));
        QTRY_VERIFY(story.log().contains(QLatin1String("-> *001\n")));
        QVERIFY(story.log().contains(QLatin1String("Command not available at the moment.\n")));
        QVERIFY(story.sim.has("-- power: warming up") && !story.sim.has("-- power: on"));

        QTRY_VERIFY(story.sim.has("-- power: on"));
        story.clearLog();
        QVERIFY(click(ui.hdmi));
        QTRY_VERIFY(story.log().contains(QLatin1String("-> *000\n")));
        QVERIFY(!story.log().contains(QLatin1String("Command not available")));

        QVERIFY(click(ui.queryLampTime));
        QTRY_VERIFY(story.log().contains(QLatin1String("\n2417\n-> 2417\n")));
        QCOMPARE(story.sent("* 0 IR 050"), 2);
    }

    // The state query fills the lists from the projector; a choice in a list then
    // changes the projector's setting.
    void vivitekListsFollowAndSteerTheProjector()
    {
        Story story(1);
        QVERIFY(story.start({ "--lamp", "on" }));
        const Ui::VantrelClass &ui = story.ui();

        // The simulator starts with lamp mode 1, colour temperature 1 and
        // brightness 50; entry 0 of every list is empty.
        QTRY_COMPARE(ui.vvtColorTempCbx->currentIndex(), 2);
        QCOMPARE(ui.vvtLampModeCbx->currentIndex(), 2);
        QCOMPARE(int(VantrelProbe::vvtBrightness(story.window())), 50);
        QCOMPARE(story.sent("V99S"), 0);

        const struct
        {
            QComboBox *list;
            int entry;
            QByteArray command, reply;
        } choices[] = { { ui.vvtVideoSourceCbx, 3, "V99S0203", "P" },
                        { ui.vvtDisplayModeCbx, 5, "V99S01084", "P4" },
                        { ui.vvtLampModeCbx, 3, "V99S03192", "P2" } };
        for (const auto &choice : choices) {
            // Picked from the open list as the user picks it.
            choice.list->showPopup();
            QAbstractItemView *view = choice.list->view();
            QTRY_VERIFY(view->isVisible());
            const QModelIndex entry = view->model()->index(choice.entry, 0);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(entry).center());
            QTRY_COMPARE(story.sim.replyTo(choice.command), choice.reply);
            QCOMPARE(choice.list->currentIndex(), choice.entry);
        }
        QCOMPARE(story.sent("V99S"), 3);
    }
};

VANTREL_TEST_MAIN(TestStories)
#include "tst_stories.moc"
