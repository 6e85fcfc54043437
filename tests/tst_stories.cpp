// Whole user stories on the window against the projector simulator, whose
// warm-up, lamp and settings react as the program expects of a real projector.
// ctest-properties: TIMEOUT 300

#include "droppingprojector.h"
#include "pjlinkhost.h"
#include "rig.h"
#include "simprocess.h"
#include "testmain.h"
#include "teststore.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

#include <memory>

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

// A PJLink projector on 127.0.0.1 and a window that has it stored, both on
// the test's clock: the window's ticks, 100 ms each. What the window sends is
// answered before the next tick, so minutes of polls take no time.
struct NetworkStory
{
    explicit NetworkStory(const PjlinkModel::Options &options)
        : host(options)
    {
        host.useClock([this] { return rig ? VantrelProbe::tickCount(rig->window()) * 100 : 0; });
    }

    bool start(const QString &password, bool debug = false)
    {
        QString error;
        if (!host.listen(0, 0, &error))
            return false;
        const QString address = QStringLiteral("127.0.0.1:%1").arg(host.tcpPort());
        QVariantMap store { { "Projectors/size", 1 },
                            { "Projectors/1/Name", "room" },
                            { "Projectors/1/Model", 3 },
                            { "Projectors/1/Port", address },
                            { "Projector", "room" },
                            { "ComPort", address },
                            { "Model", 3 } };
        if (!password.isEmpty())
            store.insert("Projectors/1/Password", password);
        rig = std::make_unique<Rig>(store, debug);
        return QTest::qWaitFor([this] { return link().isOpen() || !link().isOpening(); }, 5000)
            && link().isOpen();
    }

    Vantrel &window() { return rig->window(); }
    Ui::VantrelClass &ui() { return rig->ui(); }
    ProjectorLink &link() { return VantrelProbe::serialPort(window()); }
    // A command the window sent waits for its answer to arrive. Real time
    // is waited for only while something moves: the window's bytes on their
    // way, the projector taking them in and answering. An answer that is not
    // coming (a fault), or comes later on the test's clock, costs no more
    // than QuietMs once, so a story that goes wrong fails in ticks, not in
    // minutes.
    bool settle()
    {
        const auto done = [this] {
            return !VantrelProbe::pjlink(window()).waiting() || link().bytesAvailable() > 0
                || !link().isOpen();
        };
        if (done())
            return true;
        // What the window still holds to send: a command not yet written,
        // or waiting for a connection.
        const auto unsent = [this] { return link().bytesToWrite(); };
        if (host.lines().size() == quietLines && unsent() == quietUnsent)
            return false; // nothing new since the projector last fell quiet
        const QDeadlineTimer limit(5000);
        QDeadlineTimer quiet(QuietMs);
        int seenLines = host.lines().size();
        qint64 seenUnsent = unsent();
        while (!done() && !limit.hasExpired()) {
            QTest::qWait(1);
            if (host.lines().size() != seenLines || unsent() != seenUnsent) {
                seenLines = host.lines().size();
                seenUnsent = unsent();
                quiet.setRemainingTime(QuietMs);
            } else if (quiet.hasExpired()) {
                break;
            }
        }
        if (done())
            return true;
        ++stalls;
        quietLines = host.lines().size();
        quietUnsent = unsent();
        return false;
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            settle();
            rig->tick();
            host.service();
        }
        settle();
    }
    bool tickUntil(const std::function<bool()> &done, int maxTicks = 2000)
    {
        for (int i = 0; i < maxTicks && !done(); ++i)
            tick();
        return done();
    }
    // The command lines the projector received, login digests left in.
    QStringList received() const { return host.received(); }
    bool has(const QString &line) const { return host.lines().contains(line); }
    QString status() const { return rig->window().statusBar()->currentMessage(); }

    static constexpr int QuietMs = 1000;
    PjlinkHost host;
    std::unique_ptr<Rig> rig;
    // The projector's lines and the window's unsent bytes when the projector
    // last fell quiet.
    int quietLines = -1;
    qint64 quietUnsent = -1;
    int stalls = 0; // times the window waited for an answer that did not come
};

PjlinkModel::Options projector(int pjClass, const QByteArray &password = QByteArray())
{
    PjlinkModel::Options options;
    options.pjClass = pjClass;
    options.password = password;
    return options;
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

    // The page fills from the answers: the inputs (named on class 2), the
    // one in use, the lamps, the health row, the class 2 controls; the login
    // digest goes in front of the first command only.
    void pjlinkPageShowsTheProjector_data()
    {
        QTest::addColumn<int>("pjClass");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("lamps");

        QTest::newRow("class 1, open")
            << 1 << QByteArray()
            << QStringList { "RGB 1", "RGB 2", "Video 1", "Digital 1", "Digital 2" }
            << "1250 h, off";
        QTest::newRow("class 2, password")
            << 2 << QByteArray("JBMIAProjectorLink")
            << QStringList { "Computer 1", "Computer 2", "Video", "HDMI 1", "HDMI 2", "HDBaseT" }
            << "1: 1250 h, off\n2: 1251 h, off";
    }

    void pjlinkPageShowsTheProjector()
    {
        QFETCH(int, pjClass);
        QFETCH(QByteArray, password);
        QFETCH(QStringList, inputs);
        QFETCH(QString, lamps);
        PjlinkModel::Options options = projector(pjClass, password);
        options.lamps = pjClass;
        options.errorStatus = "012000";
        NetworkStory story(options);
        QVERIFY(story.start(QString::fromLatin1(password), true)); // traffic in the log
        Ui::VantrelClass &ui = story.ui();
        QCOMPARE(ui.model_stackedWidget->currentIndex(), 2);
        QVERIFY(story.tickUntil([&] { return ui.pjInputCbx->count() == inputs.size(); }, 400));
        // A minute and a half of polls and refreshes leaves the page as it is.
        story.tick(31 * 30);

        QStringList shown;
        for (int i = 0; i < ui.pjInputCbx->count(); ++i)
            shown << ui.pjInputCbx->itemText(i);
        QCOMPARE(shown, inputs);
        QCOMPARE(ui.pjInputCbx->currentIndex(), 0); // the simulator starts on input 11
        QCOMPARE(ui.pjLampsValue->text(), lamps);
        QCOMPARE(ui.pjClassValue->text(), QString::number(pjClass));
        QCOMPARE(ui.pjNameValue->text(), QStringLiteral("Room 101 Projector"));
        QCOMPARE(ui.pjFanHealth->toolTip(), QStringLiteral("fan: ok"));
        QCOMPARE(ui.pjLampHealth->toolTip(), QStringLiteral("lamp: warning"));
        QCOMPARE(ui.pjTemperatureHealth->toolTip(), QStringLiteral("temperature: error"));
        QVERIFY(ui.pjLampHealth->styleSheet() != ui.pjFanHealth->styleSheet());
        QVERIFY(ui.pjTemperatureHealth->styleSheet() != ui.pjLampHealth->styleSheet());
        QCOMPARE(ui.pjFreeze->isEnabled(), pjClass == 2);
        QCOMPARE(ui.pjVolumeUp->isEnabled(), pjClass == 2);
        QCOMPARE(story.rig->boxColour(), Rig::LampOffColour);
        QCOMPARE(ui.pj_on_off_groupBox->fillColor, Rig::LampOffColour);
        QCOMPARE(ui.pjFilterValue->text(),
                 pjClass == 2 ? QStringLiteral("320 h") : QStringLiteral("-"));

        // One connection, one login, in front of the first command; with a
        // password, after "PJLINK 2" refused on a connection of its own by
        // this projector, which takes MD5 only.
        QStringList received = story.received();
        QVERIFY(!received.isEmpty());
        QVERIFY(
            !story.has(password.isEmpty() ? "-- connection 2 opened" : "-- connection 3 opened"));
        if (!password.isEmpty()) {
            QCOMPARE(received.takeFirst(), QStringLiteral("PJLINK 2"));
            QString greeting;
            for (const QString &line : story.host.lines()) {
                if (line.startsWith(QLatin1String("TX \"PJLINK 1 ")))
                    greeting = line;
            }
            const QByteArray token = greeting.mid(13, 8).toLatin1();
            const QByteArray digest
                = QCryptographicHash::hash(token + password, QCryptographicHash::Md5).toHex();
            QCOMPARE(received.first(), QString::fromLatin1(digest + "%1POWR ?"));
            // Neither the password nor the login made of it shows in the log.
            const QString log = story.rig->log();
            QVERIFY(log.contains(QLatin1String("< 25 31 50 4f 57 52 20 3f 0d")));
            QVERIFY(!log.contains(QString::fromLatin1(password)));
            QVERIFY(!log.contains(QString::fromLatin1(digest.toHex(' '))));
        } else {
            QCOMPARE(received.first(), QStringLiteral("%1POWR ?"));
        }
        const QRegularExpression command(QStringLiteral("^%[12][A-Z0-9]{4} "));
        for (const QString &line : received.mid(1))
            QVERIFY2(command.match(line).hasMatch(), qPrintable(line));
    }

    // Within a second of the connection on the window's clock the class 2
    // page is complete. Answers are read as they arrive, so a click behind a
    // query under way goes out with that answer, with no tick at all. What
    // the projector calls itself shows as plain text, whatever markup and
    // direction overrides it holds.
    void pjlinkPageCompleteAtOnce()
    {
        PjlinkModel::Options options = projector(2, "secret");
        options.lampOn = true;
        options.lamps = 2;
        options.name = "<h1><font color=red>Big</font></h1>\xe2\x80\xae<img src=\"/etc/hostname\">";
        NetworkStory story(options);
        QVERIFY(story.start(QStringLiteral("secret"), true));
        Ui::VantrelClass &ui = story.ui();
        const qint64 opened = VantrelProbe::tickCount(story.window());
        const auto complete = [&] {
            for (const QLabel *label : { ui.pjNameValue, ui.pjMakeValue, ui.pjClassValue,
                                         ui.pjLampsValue, ui.pjFilterValue }) {
                if (label->text() == QLatin1String("-"))
                    return false;
            }
            return !ui.pjResolutionValue->text().isEmpty() && ui.pjInputCbx->count() == 6
                && ui.pjInputCbx->itemText(5) == QLatin1String("HDBaseT")
                && ui.pjInputCbx->currentIndex() == 0 && ui.pjFreeze->isEnabled()
                && !ui.pjOtherHealth->toolTip().contains(QLatin1String("not known"));
        };
        story.settle();
        QVERIFY(story.tickUntil(complete, 10));
        QVERIFY(VantrelProbe::tickCount(story.window()) - opened <= 10);
        QCOMPARE(ui.pjMakeValue->text(), QStringLiteral("SIMULATOR PJ-SIM 2"));
        QCOMPARE(ui.pjLampsValue->text(), QStringLiteral("1: 1250 h, lit\n2: 1251 h, lit"));
        QCOMPARE(ui.pjFilterValue->text(), QStringLiteral("320 h"));
        QCOMPARE(ui.pjResolutionValue->text(), QStringLiteral("1920x1080"));

        const QString name
            = QStringLiteral("<h1><font color=red>Big</font></h1><img src=\"/etc/hostname\">");
        QCOMPARE(ui.pjNameValue->text(), name);
        for (const QLabel *label : { ui.pjNameValue, ui.pjMakeValue, ui.pjClassValue,
                                     ui.pjLampsValue, ui.pjFilterValue, ui.pjResolutionValue })
            QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(!story.rig->log().contains(QChar(0x202e)));

        // A query under way, and a click behind it: out with its answer.
        const qint64 ticks = VantrelProbe::tickCount(story.window());
        VantrelProbe::sendPJLink(story.window(), PJLink::query(1, "LAMP"));
        QVERIFY(VantrelProbe::pjlink(story.window()).waiting());
        QVERIFY(click(ui.pjVolumeUp) || (ui.pjVolumeUp->click(), true));
        QVERIFY(QTest::qWaitFor([&] { return story.has("TX \"%2SVOL=OK\""); }, 5000));
        QCOMPARE(VantrelProbe::tickCount(story.window()), ticks);
        const QStringList received = story.received();
        QCOMPARE(received.mid(received.size() - 2), QStringList({ "%1LAMP ?", "%2SVOL 1" }));
    }

    // An answer longer than a tick may read, with a line behind it in the
    // same burst: the tick drops what waits beyond its bound, and the answer
    // it cut goes with it. No value is made of its two ends.
    void pjlinkDroppedInputSplicesNoAnswer()
    {
        PjlinkModel::Options options = projector(1);
        options.name = QByteArray(5000, 'A') + '\r' + QByteArray(100, 'B');
        NetworkStory story(options);
        QVERIFY(story.start(QString()));
        Ui::VantrelClass &ui = story.ui();
        QVERIFY(story.tickUntil([&] { return ui.pjNameValue->text() != QLatin1String("-"); }));
        QCOMPARE(ui.pjNameValue->text(), QStringLiteral("unreadable"));
        QVERIFY2(story.rig->log().contains(QLatin1String("Dropped ")),
                 qPrintable(story.rig->log()));
        // The answers after it are read whole.
        QVERIFY(story.tickUntil([&] { return ui.pjLampsValue->text() != QLatin1String("-"); }));
        QCOMPARE(ui.pjLampsValue->text(), QStringLiteral("1250 h, off"));
    }

    // Each control of the page puts its own command on the wire, and
    // nothing else goes out from it.
    void pjlinkPageCommandsOnTheWire_data()
    {
        QTest::addColumn<int>("pjClass");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("sent");

        QTest::newRow("on") << 1 << "pjPowerOn" << QStringList { "%1POWR 1" };
        QTest::newRow("picture mute, then off again")
            << 1 << "pjPictureMute" << QStringList { "%1AVMT 11", "%1AVMT 10" };
        QTest::newRow("sound mute")
            << 1 << "pjSoundMute" << QStringList { "%1AVMT 21", "%1AVMT 20" };
        QTest::newRow("input") << 1 << "pjInputCbx" << QStringList { "%1INPT 31" };
        QTest::newRow("class 2 input") << 2 << "pjInputCbx" << QStringList { "%2INPT 3A" };
        QTest::newRow("freeze") << 2 << "pjFreeze" << QStringList { "%2FREZ 1", "%2FREZ 0" };
        QTest::newRow("volume up") << 2 << "pjVolumeUp" << QStringList { "%2SVOL 1" };
        QTest::newRow("volume down") << 2 << "pjVolumeDown" << QStringList { "%2SVOL 0" };
    }

    void pjlinkPageCommandsOnTheWire()
    {
        QFETCH(int, pjClass);
        QFETCH(QString, control);
        QFETCH(QStringList, sent);
        PjlinkModel::Options options = projector(pjClass, "secret");
        options.lampOn = true;
        NetworkStory story(options);
        QVERIFY(story.start(QStringLiteral("secret")));
        QVERIFY(story.rig->show());
        Ui::VantrelClass &ui = story.ui();
        QVERIFY(story.tickUntil(
            [&] { return ui.pjInputCbx->count() > 0 && ui.pjClassValue->text() != "-"; }));
        story.tick(31 * 12);

        for (const QString &expected : sent) {
            const QStringList before = story.received();
            if (control == QLatin1String("pjInputCbx")) {
                const int index = ui.pjInputCbx->findData(expected.mid(7).toLatin1());
                QVERIFY(index >= 0);
                ui.pjInputCbx->setCurrentIndex(index);
                QMetaObject::invokeMethod(ui.pjInputCbx, "activated", Q_ARG(int, index));
            } else {
                QVERIFY(click(story.rig->button(control)));
            }
            QVERIFY(story.tickUntil([&] { return story.received().size() > before.size(); }, 5));
            QCOMPARE(story.received().mid(before.size()).first(), expected);
            story.tick(31); // the answer, and the state it changed read back
        }
        QVERIFY(story.status().isEmpty());
        if (control == QLatin1String("pjPictureMute"))
            QVERIFY(!ui.pjPictureMute->isChecked());
    }

    // Closing with the lamp on and answering Yes: the off command goes out
    // even behind a query still waiting for its answer.
    void pjlinkOffOnClose()
    {
        PjlinkModel::Options options = projector(1, "secret");
        options.lampOn = true;
        NetworkStory story(options);
        QVERIFY(story.start(QStringLiteral("secret")));
        QVERIFY(story.tickUntil([&] { return VantrelProbe::projectorOn(story.window()); }, 40));
        VantrelProbe::sendPJLink(story.window(), PJLink::query(1, "LAMP"));
        QVERIFY(VantrelProbe::pjlink(story.window()).waiting());
        BoxAnswerer yes(QMessageBox::Yes);
        QVERIFY(story.window().close());
        QVERIFY(yes.waitDone());
        QCOMPARE(story.received().mid(story.received().size() - 2),
                 QStringList({ "%1LAMP ?", "%1POWR 0" }));
        QVERIFY(story.has("TX \"%1POWR=OK\""));
    }

    // A wrong or a missing password: the status bar says which, and the
    // projector is not asked again until the settings change. A wrong one
    // is tried once with the newer login, which an older projector refuses.
    void pjlinkLoginRefused_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("tries"); // connections
        QTest::newRow("wrong") << "guessed"
                               << "password rejected (MD5 and SHA-256 logins refused)" << 2;
        QTest::newRow("missing") << ""
                                 << "needs a password" << 1;
    }

    void pjlinkLoginRefused()
    {
        QFETCH(QString, stored);
        QFETCH(QString, status);
        QFETCH(int, tries);
        // Kept out of the checks' own text, which a failure prints.
        const QByteArray password = "JBMIAProjectorLink";
        NetworkStory story(projector(1, password));
        story.start(stored, true); // the login is judged at the first command
        story.tick(31 * 5);
        QVERIFY(VantrelProbe::portStatus(story.window()).endsWith(status));
        QVERIFY(story.has(QStringLiteral("-- connection %1 opened").arg(tries)));
        QVERIFY(!story.has(QStringLiteral("-- connection %1 opened").arg(tries + 1)));
        QVERIFY(story.received().size() <= tries);
        QVERIFY(!story.rig->log().contains(QString::fromLatin1(password)));
        if (!stored.isEmpty()) {
            QVERIFY(!story.rig->log().contains(stored));
            QVERIFY(!VantrelProbe::portStatus(story.window()).contains(stored));
        }
    }

    // A projector that drops every connection on the first command: the
    // window connects again at most once a poll, and the status bar says why.
    void pjlinkDroppedConnections()
    {
        DroppingProjector projector("PJLINK 0");
        const QString address = projector.address();
        Rig rig(QVariantMap { { "Projectors/size", 1 },
                              { "Projectors/1/Name", "room" },
                              { "Projectors/1/Model", 3 },
                              { "Projectors/1/Port", address },
                              { "Projector", "room" },
                              { "ComPort", address },
                              { "Model", 3 } },
                false);
        ProjectorLink &link = VantrelProbe::serialPort(rig.window());
        const int polls = 4;
        for (int i = 0; i < 31 * polls; ++i) {
            rig.tick();
            // What the tick began, an opening or a query, ends before the next.
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return !link.isOpening()
                        && (!link.isOpen() || !VantrelProbe::pjlink(rig.window()).waiting());
                },
                10000));
        }
        QVERIFY(projector.connections() >= 2);
        QVERIFY2(projector.connections() <= polls + 1,
                 qPrintable(QString::number(projector.connections())));
        QVERIFY(VantrelProbe::portStatus(rig.window()).endsWith(QStringLiteral("connection lost")));
    }

    // An input chosen while the lamp warms up is refused; it goes out again
    // once the projector reports it is on, and the status bar says so.
    void pjlinkInputHeldDuringWarmUp()
    {
        PjlinkModel::Options options = projector(1);
        options.warmupMs = 20000;
        NetworkStory story(options);
        QVERIFY(story.start(QString()));
        Ui::VantrelClass &ui = story.ui();
        QVERIFY(story.tickUntil([&] { return ui.pjInputCbx->count() > 0; }));
        QVERIFY(click(ui.pjPowerOn) || (ui.pjPowerOn->click(), true));
        story.tick(31);
        const int digital = ui.pjInputCbx->findData(QByteArray("31"));
        QMetaObject::invokeMethod(ui.pjInputCbx, "activated", Q_ARG(int, digital));
        QVERIFY(story.tickUntil(
            [&] { return story.status().contains("will be sent when the projector is on"); }, 20));
        QCOMPARE(story.received().count("%1INPT 31"), 1);
        QVERIFY(story.has("TX \"%1INPT=ERR3\""));

        QVERIFY(story.tickUntil([&] { return story.received().count("%1INPT 31") == 2; }, 400));
        QVERIFY(story.tickUntil([&] { return ui.pjInputCbx->currentIndex() == digital; }, 100));
        QVERIFY(story.status().contains("sent"));
        QCOMPARE(story.rig->boxColour(), Rig::LampOnColour);
    }

    // The user's own command refused: the wording of its error in the
    // status bar and the log.
    void pjlinkRefusalsWorded_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("wording");
        QTest::newRow("ERR1") << QByteArray("XYZW 1") << "does not know this command";
        QTest::newRow("ERR2") << QByteArray("INPT 99") << "does not take this value";
        QTest::newRow("ERR3, in standby") << QByteArray("INPT 31") << "cannot do this now";
    }

    void pjlinkRefusalsWorded()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, wording);
        NetworkStory story(projector(1));
        QVERIFY(story.start(QString()));
        story.tick(31);
        VantrelProbe::sendPJLink(story.window(),
                                 PJLink::setting(1, command.left(4).constData(), command.mid(5)));
        QVERIFY(story.tickUntil([&] { return !story.status().isEmpty(); }, 40));
        QVERIFY2(story.status().contains(wording), qPrintable(story.status()));
        QVERIFY(story.rig->log().contains(wording));
    }

    // A projector that closes idle connections is reached again at the next
    // poll: no log line, no change in the status bar, no lost contact.
    void pjlinkIdleCloseReconnectsQuietly()
    {
        PjlinkModel::Options options = projector(1, "secret");
        options.idleCloseMs = 2000;
        NetworkStory story(options);
        QVERIFY(story.start(QStringLiteral("secret")));
        story.tick(31 * 12);
        const QString status = VantrelProbe::portStatus(story.window());
        story.rig->clearLog();
        // The first connection refused "PJLINK 2"; the second is the one
        // that idles.
        QVERIFY(story.tickUntil([&] { return story.has("-- connection 4 opened"); }, 31 * 5));
        story.tick(31);
        QVERIFY(story.has("-- connection 2 idle, closing it"));
        // A command that met the closed connection went out again on the next.
        QCOMPARE(story.stalls, 0);
        QCOMPARE(story.rig->log(), QString());
        QCOMPARE(VantrelProbe::portStatus(story.window()), status);
        QCOMPARE(story.rig->boxColour(), Rig::LampOffColour);
        QVERIFY(story.rig->showsContact());
    }
};

VANTREL_TEST_MAIN(TestStories)
#include "tst_stories.moc"
