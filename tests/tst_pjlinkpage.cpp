// The PJLink page on its own: a page on the window's form, its session over
// a real link to the simulated projector on 127.0.0.1, on the test's clock.
// What goes on the wire, what the widgets show, and what the page tells the
// window for its log, status bar and power boxes.

#include "pjlink.h"
#include "pjlinkhost.h"
#include "pjlinkpage.h"
#include "projectorlink.h"
#include "testmain.h"

#include <QMainWindow>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>

Q_DECLARE_METATYPE(LampColours::State)

namespace {

PjlinkModel::Options projector(int pjClass)
{
    PjlinkModel::Options options;
    options.pjClass = pjClass;
    return options;
}

// A page on a form of its own, the link to the projector, and a window
// played by lists: the log, the status-bar messages, the power boxes.
struct PageRig
{
    explicit PageRig(const PjlinkModel::Options &options)
        : host(options)
    {
        form.setupUi(&window);
        host.useClock([this] { return now; });
        PJLinkPageHost callbacks;
        callbacks.now = [this] { return now; };
        callbacks.log = [this](const QString &text) { log << text; };
        callbacks.showMessage = [this](const QString &text, int timeoutMs) {
            messages << QStringLiteral("%1 (%2 ms)").arg(text).arg(timeoutMs);
        };
        callbacks.answered = [this] { return !std::exchange(contact, true); };
        callbacks.inContact = [this] { return contact; };
        callbacks.showContact = [this] { ++contactsShown; };
        callbacks.showTransition = [this] { lamp = LampColours::State::Switching; };
        callbacks.showLamp = [this](LampColours::State state, const QString &toolTip, bool on) {
            lamp = state;
            lampToolTip = toolTip;
            projectorOn = on;
        };
        page = std::make_unique<PJLinkPage>(form, link, callbacks);
        QObject::connect(&link, &ProjectorLink::opened, [this] { page->opened(); });
        QObject::connect(&link, &QIODevice::readyRead, [this] { page->receive(link.readAll()); });
        QObject::connect(&link, &ProjectorLink::lost, [this] { page->disconnected(); });
    }

    bool start(bool active = true)
    {
        QString error;
        if (!host.listen(0, 0, &error))
            return false;
        page->reset(active);
        link.connectTo(QStringLiteral("127.0.0.1:%1").arg(host.tcpPort()), PJLink::ModelIndex);
        return QTest::qWaitFor([this] { return !link.isOpening(); }, 5000) && link.isOpen();
    }

    // A command out waits for its answer, in real time but bounded: one
    // that is not coming is counted and not waited for again.
    void settle()
    {
        const auto done = [this] { return !page->client().waiting() || !link.isOpen(); };
        if (done() || stalled)
            return;
        stalled = !QTest::qWaitFor(done, 2000);
    }
    // Ticks of 100 ms on the test's clock, the 31st of each polling.
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            settle();
            now += 100;
            page->tick(++ticks % 31 == 0);
            host.service();
        }
        settle();
    }
    bool tickUntil(const std::function<bool()> &done, int maxTicks)
    {
        for (int i = 0; i < maxTicks && !done(); ++i)
            tick();
        return done();
    }
    QStringList received() const { return host.received(); }
    bool complete() const
    {
        return form.pjInputCbx->count() > 0 && form.pjClassValue->text() != QLatin1String("-");
    }

    qint64 now = 0;
    int ticks = 0;
    PjlinkHost host;
    QMainWindow window;
    Ui::VantrelClass form;
    ProjectorLink link;
    std::unique_ptr<PJLinkPage> page;
    bool contact = false;
    bool stalled = false;
    int contactsShown = 0;
    LampColours::State lamp = LampColours::State::NoContact;
    QString lampToolTip;
    bool projectorOn = false;
    QStringList log;
    QStringList messages;
};

} // namespace

class TestPJLinkPage : public QObject
{
    Q_OBJECT

private slots:
    void controlsOnTheWire_data();
    void controlsOnTheWire();
    void userSeesTheOutcome_data();
    void userSeesTheOutcome();
    void powerBoxesFollowTheProjector_data();
    void powerBoxesFollowTheProjector();
    void resetForgetsTheProjector_data();
    void resetForgetsTheProjector();
};

// Each control puts its own command on the wire, and the page then shows
// what the projector reports: a toggle after its answer, an input after the
// next read of the state.
void TestPJLinkPage::controlsOnTheWire_data()
{
    QTest::addColumn<int>("pjClass");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("power on") << 1 << "power" << QStringList { "%1POWR 1" };
    QTest::newRow("picture mute, then off again")
        << 1 << "picture" << QStringList { "%1AVMT 11", "%1AVMT 10" };
    QTest::newRow("sound mute") << 1 << "sound" << QStringList { "%1AVMT 21", "%1AVMT 20" };
    QTest::newRow("input") << 1 << "input" << QStringList { "%1INPT 31" };
    QTest::newRow("class 2 input") << 2 << "input" << QStringList { "%2INPT 3A" };
    QTest::newRow("freeze, then thaw") << 2 << "freeze" << QStringList { "%2FREZ 1", "%2FREZ 0" };
    QTest::newRow("volume up") << 2 << "volumeUp" << QStringList { "%2SVOL 1" };
    QTest::newRow("volume down") << 2 << "volumeDown" << QStringList { "%2SVOL 0" };
}

void TestPJLinkPage::controlsOnTheWire()
{
    QFETCH(int, pjClass);
    QFETCH(QString, control);
    QFETCH(QStringList, sent);
    PjlinkModel::Options options = projector(pjClass);
    options.lampOn = true;
    PageRig rig(options);
    QVERIFY(rig.start());
    QVERIFY(rig.tickUntil([&] { return rig.complete(); }, 100));
    Ui::VantrelClass &ui = rig.form;

    for (int i = 0; i < sent.size(); ++i) {
        const QString &expected = sent.at(i);
        const bool on = i == 0; // a toggle goes on first, then off
        const int before = rig.received().size();
        int input = -1;
        if (control == QLatin1String("power")) {
            rig.page->send(PJLink::power(true));
        } else if (control == QLatin1String("picture")) {
            rig.page->setPictureMute(on);
        } else if (control == QLatin1String("sound")) {
            rig.page->setSoundMute(on);
        } else if (control == QLatin1String("freeze")) {
            rig.page->setFrozen(on);
        } else if (control == QLatin1String("volumeUp")) {
            rig.page->volumeUp();
        } else if (control == QLatin1String("volumeDown")) {
            rig.page->volumeDown();
        } else {
            input = ui.pjInputCbx->findData(expected.mid(7).toLatin1());
            QVERIFY(input > 0);
            rig.page->chooseInput(input);
        }
        rig.tick(31); // the answer, and the state it changed read back
        const QStringList after = rig.received().mid(before);
        QVERIFY(!after.isEmpty());
        QCOMPARE(after.first(), expected);
        QCOMPARE(after.count(expected), 1);
        if (control == QLatin1String("picture"))
            QCOMPARE(ui.pjPictureMute->isChecked(), on);
        if (control == QLatin1String("sound"))
            QCOMPARE(ui.pjSoundMute->isChecked(), on);
        if (control == QLatin1String("freeze"))
            QCOMPARE(ui.pjFreeze->isChecked(), on);
        if (input >= 0)
            QCOMPARE(ui.pjInputCbx->currentIndex(), input);
    }
    QCOMPARE(rig.messages, QStringList());
    QVERIFY(!rig.stalled);
}

// The user's command refused or held: its wording in the status bar (held
// until it is sent, others for ten seconds) and in the log.
void TestPJLinkPage::userSeesTheOutcome_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("warmingUp");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("ERR1") << QByteArray("XYZW 1") << false
                          << QStringList {
                                 "XYZW 1: the projector does not know this command (10000 ms)"
                             };
    QTest::newRow("ERR2")
        << QByteArray("INPT 59") << false
        << QStringList { "Input Network 9: the projector does not take this value (10000 ms)" };
    QTest::newRow("ERR3, in standby")
        << QByteArray("INPT 31") << false
        << QStringList { "Input Digital 1: the projector cannot do this now (busy, warming up, "
                         "cooling down or in standby) (10000 ms)" };
    QTest::newRow("held while warming up, then sent")
        << QByteArray("INPT 31") << true
        << QStringList { "Input Digital 1: will be sent when the projector is on (0 ms)",
                         "Input Digital 1 sent: the projector is on (10000 ms)" };
    QTest::newRow("no PJLink command")
        << QByteArray("powr 1") << false
        << QStringList { "powr 1 was not sent: it is not a PJLink command (10000 ms)" };
}

void TestPJLinkPage::userSeesTheOutcome()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, warmingUp);
    QFETCH(QStringList, messages);
    PjlinkModel::Options options = projector(1);
    options.warmupMs = 20000;
    PageRig rig(options);
    QVERIFY(rig.start());
    QVERIFY(rig.tickUntil([&] { return rig.complete(); }, 100));
    if (warmingUp) {
        rig.page->send(PJLink::power(true));
        rig.tick(31);
    }
    rig.log.clear();
    rig.page->send(PJLink::setting(1, command.left(4).constData(), command.mid(5)));
    QVERIFY(rig.tickUntil([&] { return rig.messages.size() >= messages.size(); }, 31 * 10));
    QCOMPARE(rig.messages, messages);
    // Each in the log too, but the one that says it was sent after all.
    const QString first = messages.first().section(QLatin1String(" ("), 0, 0);
    QCOMPARE(rig.log.filter(first).size(), command.startsWith("powr") ? 0 : 1);
}

// Contact regained paints the boxes from the known power, or as switching
// while it is not known; later answers repaint them.
void TestPJLinkPage::powerBoxesFollowTheProjector_data()
{
    QTest::addColumn<bool>("lampOn");
    QTest::addColumn<QString>("action");
    QTest::addColumn<LampColours::State>("state");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("projectorOn");

    using S = LampColours::State;
    QTest::newRow("off") << false << "" << S::LampOff << "Lamp is Off" << false;
    QTest::newRow("on") << true << "" << S::LampOn << "Lamp is On" << true;
    QTest::newRow("warming up") << false << "on" << S::WarmingUp << "Warming up" << true;
    QTest::newRow("cooling down") << true << "off" << S::CoolingDown << "Cooling down" << false;
}

void TestPJLinkPage::powerBoxesFollowTheProjector()
{
    QFETCH(bool, lampOn);
    QFETCH(QString, action);
    QFETCH(LampColours::State, state);
    QFETCH(QString, toolTip);
    QFETCH(bool, projectorOn);
    PjlinkModel::Options options = projector(1);
    options.lampOn = lampOn;
    options.warmupMs = 20000;
    options.cooldownMs = 20000;
    PageRig rig(options);
    QVERIFY(rig.start());
    QVERIFY(rig.tickUntil([&] { return rig.contactsShown > 0; }, 5));
    QCOMPARE(rig.contactsShown, 1);
    QVERIFY(rig.tickUntil([&] { return rig.complete(); }, 100));
    if (!action.isEmpty()) {
        rig.page->send(PJLink::power(action == QLatin1String("on")));
        // The box and the lamp row read one state: never "Lamp is Off"
        // beside a lit lamp, nor "Lamp is On" beside none.
        for (int i = 0; i < 31 * 2; ++i) {
            rig.tick();
            const bool lit = rig.form.pjLampsValue->text().contains(QLatin1String("lit"));
            QVERIFY2(rig.lamp != LampColours::State::LampOff || !lit, qPrintable(rig.lampToolTip));
            QVERIFY2(rig.lamp != LampColours::State::LampOn || lit, qPrintable(rig.lampToolTip));
        }
    }
    QCOMPARE(rig.lamp, state);
    QCOMPARE(rig.lampToolTip, toolTip);
    QCOMPARE(rig.projectorOn, projectorOn);
    QCOMPARE(rig.contactsShown, 1);

    // Contact lost and regained: the boxes at once show what is known.
    rig.lamp = LampColours::State::NoContact;
    rig.contact = false;
    rig.tick(31);
    QCOMPARE(rig.contactsShown, 2);
    QCOMPARE(rig.lamp, state);
}

// Another projector or family: the page shows nothing of the last one, and
// a page whose family is not chosen sends nothing, whatever is asked of it.
void TestPJLinkPage::resetForgetsTheProjector_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("another PJLink projector") << true;
    QTest::newRow("another family") << false;
}

void TestPJLinkPage::resetForgetsTheProjector()
{
    QFETCH(bool, active);
    PjlinkModel::Options options = projector(2);
    options.errorStatus = "012000";
    PageRig rig(options);
    QVERIFY(rig.start());
    QVERIFY(rig.tickUntil([&] { return rig.complete(); }, 100));
    Ui::VantrelClass &ui = rig.form;
    QCOMPARE(ui.pjNameValue->text(), QStringLiteral("Room 101 Projector"));
    QCOMPARE(ui.pjInfoValue->text(), QStringLiteral("projector-sim"));
    QCOMPARE(ui.pjLampHealth->toolTip(), QStringLiteral("lamp: warning"));
    QVERIFY(ui.pjVolumeUp->isEnabled());

    rig.page->reset(active);
    QCOMPARE(ui.pjInputCbx->count(), 0);
    for (const QLabel *label : { ui.pjNameValue, ui.pjMakeValue, ui.pjInfoValue, ui.pjClassValue,
                                 ui.pjLampsValue, ui.pjFilterValue })
        QCOMPARE(label->text(), QStringLiteral("-"));
    QCOMPARE(ui.pjLampHealth->styleSheet(), QString());
    QVERIFY(!ui.pjVolumeUp->isEnabled());

    if (active)
        return;
    const int before = rig.received().size();
    rig.log.clear();
    rig.page->opened();
    rig.page->send(PJLink::power(true));
    rig.page->volumeUp();
    rig.tick(31 * 2);
    QCOMPARE(rig.received().mid(before), QStringList());
    QCOMPARE(rig.messages, QStringList());
    QCOMPARE(rig.log, QStringList());
}

VANTREL_TEST_MAIN(TestPJLinkPage)
#include "tst_pjlinkpage.moc"
