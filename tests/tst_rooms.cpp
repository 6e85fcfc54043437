// The Rooms view over the simulators: every row's state from its own
// session, commands for the selection only, the current projector taken
// from the window and never opened twice, and the desktop notices on a
// private session bus.
// ctest-properties: LABELS e2e TIMEOUT 300

#include "desktopnotifier.h"
#include "inventory.h"
#include "noticerules.h"
#include "rig.h"
#include "roomswindow.h"
#include "serialserver.h"
#include "simprocess.h"
#include "testmain.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>
#include <QTextDocument>

#include <map>
#include <memory>

namespace {

QString nextLink()
{
    static int count = 0;
    return TestStore::runDirectory() + QStringLiteral("/ttyRoom%1").arg(++count);
}

QString writePassword(const QByteArray &password)
{
    QFile file(TestStore::runDirectory() + QStringLiteral("/rooms-password"));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(password + '\n');
    return file.fileName();
}

int rowNamed(const RoomsModel &model, const QString &name)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.projectorAt(row).name == name)
            return row;
    }
    return -1;
}

QString cell(const RoomsModel &model, const QString &name, int column)
{
    const int row = rowNamed(model, name);
    return row < 0 ? QStringLiteral("(no row)") : model.index(row, column).data().toString();
}

// A private session bus, gone with the test.
class PrivateBus
{
public:
    bool start()
    {
        daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon.start(QStringLiteral("dbus-daemon"),
                     { "--session", "--nofork", "--nopidfile", "--print-address=1" });
        if (!daemon.waitForStarted())
            return false;
        if (!QTest::qWaitFor([this] { return daemon.canReadLine(); }, 10000))
            return false;
        address = QString::fromLatin1(daemon.readLine().trimmed());
        return !address.isEmpty();
    }
    QDBusConnection connect(const QString &name)
    {
        return QDBusConnection::connectToBus(address, name);
    }
    ~PrivateBus()
    {
        daemon.terminate();
        daemon.waitForFinished(3000);
    }

    QString address;

private:
    QProcess daemon;
};

void selectNamed(RoomsWindow &view, const QStringList &names)
{
    auto *table = view.findChild<QTableView *>(QStringLiteral("table"));
    table->clearSelection();
    for (const QString &name : names) {
        const QModelIndex index
            = view.filter().mapFromSource(view.model().index(rowNamed(view.model(), name), 0));
        table->selectionModel()->select(index,
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// As on desktops where a single click activates an item.
class SingleClickStyle : public QProxyStyle
{
public:
    SingleClickStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    { }
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ItemView_ActivateItemOnSingleClick)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

// What a desktop shows: every notice it was given.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList shown;
    // "replaces ID, icon, urgency U, entry E" of each.
    QStringList details;

public slots:
    uint Notify(const QString &application, uint replaces, const QString &icon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(actions)
        Q_UNUSED(timeout)
        shown.append(application + QLatin1String(": ") + summary + QLatin1String(": ") + body);
        const QVariant urgency = hints.value(QStringLiteral("urgency"));
        details.append(QStringLiteral("replaces %1, %2, urgency %3 (%4), entry %5")
                           .arg(replaces)
                           .arg(icon)
                           .arg(urgency.toInt())
                           .arg(QLatin1String(urgency.typeName()))
                           .arg(hints.value(QStringLiteral("desktop-entry")).toString()));
        return uint(100 + shown.size());
    }
};

class TestRooms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyRowAndOffForTheSelection();
    void currentProjectorFromTheWindow();
    void openByDoubleClickOrEnter_data();
    void openByDoubleClickOrEnter();
    void inputsAndMutesForPJLinkRows_data();
    void inputsAndMutesForPJLinkRows();
    void windowsPJLinkProjectorAmongTheSelection_data();
    void windowsPJLinkProjectorAmongTheSelection();
    void inputListFollowsTheAnswer();
    void sortsHoursAsNumbers_data();
    void sortsHoursAsNumbers();
    void columnsFitTheWindow();
    void oneNoticeWhenSilent_data();
    void oneNoticeWhenSilent();
    void lampNoticeWhenLifeIsSet();
    void noticeRules_data();
    void noticeRules();
    void oneNoticeWhenHealthTurnsToWarning();
    void silentWithoutNotificationService();
    void inventoryCells_data();
    void inventoryCells();
    void stateInWords_data();
    void stateInWords();
    void intervalAndLampLifeKept();
};

void TestRooms::initTestCase()
{
    // The views' notices must not reach the desktop of whoever runs the tests.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QByteArray("unix:path=") + TestStore::runDirectory().toLocal8Bit() + "/no-bus");
}

void TestRooms::everyRowAndOffForTheSelection()
{
    const QString password = writePassword("aula");
    const struct
    {
        const char *name, *group;
        int model;
        QStringList simulator; // none: nothing there
        const char *via; // "", "raw" or "rfc2217": through ser2net
        const char *storedPassword;
        const char *state;
    } rooms[] = {
        { "hall",
          "north",
          3,
          { "--family", "pjlink", "--pjlink-class", "2", "--lamp", "on", "--password-file",
            password },
          "",
          "aula",
          "Lamp on" },
        { "aula", "south", 3, { "--family", "pjlink" }, "", "", "Lamp off" },
        { "locked",
          "south",
          3,
          { "--family", "pjlink", "--password-file", password },
          "",
          "wrong",
          // After the first refusal, only the greeting is read.
          "password rejected (refused earlier, not tried again)" },
        { "room-1", "north", 0, { "--family", "acer", "--lamp", "on" }, "", "", "Lamp on" },
        { "room-2", "south", 1, { "--family", "vivitek", "--lamp", "on" }, "", "", "Lamp on" },
        { "room-3", "", 2, { "--family", "infocus", "--lamp", "on" }, "", "", "Contact" },
        { "room-4", "north", 0, { "--family", "acer", "--lamp", "on" }, "raw", "", "Lamp on" },
        { "room-5",
          "south",
          1,
          { "--family", "vivitek", "--lamp", "on" },
          "rfc2217",
          "",
          "Lamp on" },
        { "gone", "", 0, {}, "", "", "not present" },
    };
    ProjectorList projectors;
    std::map<QString, std::unique_ptr<SimProcess>> sims;
    std::vector<std::unique_ptr<SerialServer>> servers;
    for (const auto &room : rooms) {
        QString port = nextLink();
        if (!room.simulator.isEmpty()) {
            const bool pjlink = room.model == 3;
            auto sim = std::make_unique<SimProcess>();
            QVERIFY(sim->startSimulator(
                QStringLiteral(PROJECTOR_SIM_PATH),
                room.simulator + QStringList { "--cooldown-ms", "200" }
                    + (pjlink ? QStringList() : QStringList { "--link", port })));
            if (pjlink)
                port = sim->tcpAddress();
            if (*room.via) {
                servers.push_back(std::make_unique<SerialServer>(port));
                QVERIFY2(servers.back()->start(), qPrintable(servers.back()->errorString()));
                port = QLatin1String(room.via) == QLatin1String("raw")
                    ? servers.back()->rawAddress()
                    : servers.back()->rfc2217Address();
            }
            sims[room.name] = std::move(sim);
        }
        QVERIFY(projectors.add(
            { room.name, room.model, port, QString::fromLatin1(room.storedPassword), room.group }));
    }
    // Eleven more, for twenty rooms in all.
    QMap<QString, QString> expected;
    for (const auto &room : rooms)
        expected.insert(room.name, room.state);
    for (int i = 1; i <= 11; ++i) {
        const bool pjlink = i % 2 == 0;
        const QString name = QStringLiteral("extra-%1").arg(i, 2, 10, QLatin1Char('0'));
        QString port = nextLink();
        auto sim = std::make_unique<SimProcess>();
        QVERIFY(sim->startSimulator(
            QStringLiteral(PROJECTOR_SIM_PATH),
            pjlink ? QStringList { "--family", "pjlink" }
                   : QStringList { "--family", "acer", "--lamp", "on", "--link", port }));
        if (pjlink)
            port = sim->tcpAddress();
        sims[name] = std::move(sim);
        QVERIFY(projectors.add({ name, pjlink ? 3 : 0, port, {}, QStringLiteral("east") }));
        expected.insert(name, pjlink ? QStringLiteral("Lamp off") : QStringLiteral("Lamp on"));
    }
    QVERIFY(projectors.write());

    RoomsWindow view;
    view.model().setPollInterval(300);
    view.load();
    view.show();
    QCOMPARE(view.model().rowCount(), 20);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QTRY_COMPARE_WITH_TIMEOUT(cell(view.model(), it.key(), RoomsModel::State), it.value(),
                                  15000);
    QTRY_COMPARE(cell(view.model(), "hall", RoomsModel::LampHours), QStringLiteral("1250"));
    QCOMPARE(cell(view.model(), "room-1", RoomsModel::Family), QStringLiteral("Acer"));
    // The reason in full in the row's tooltip, and what the projector says
    // of itself, as text.
    const auto toolTip = [&](const char *name) {
        QTextDocument shown;
        shown.setHtml(view.model()
                          .index(rowNamed(view.model(), name), RoomsModel::Name)
                          .data(Qt::ToolTipRole)
                          .toString());
        return shown.toPlainText();
    };
    // Refused once, then only the greeting read at each poll.
    QTRY_COMPARE(toolTip("locked"),
                 QStringLiteral("locked: password rejected (refused earlier, not tried again)"));
    QTRY_VERIFY(toolTip("hall").endsWith(QLatin1String("\nOther info: projector-sim")));

    // Export: the inventory of the rows shown, one line each after the header.
    const QString exported = TestStore::runDirectory() + QStringLiteral("/rooms.csv");
    QVERIFY(view.exportTo(exported));
    QFile csv(exported);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 22); // the header, twenty rooms and the last line end
    QVERIFY(lines.first().startsWith("name,group,family,address,make,model,serial,software,"));
    QVERIFY(lines.at(1).startsWith("aula,south,pjlink,127.0.0.1:"));

    // Sorted by name; the group and text filters narrow the rows.
    RoomsFilter &filter = view.filter();
    QCOMPARE(filter.index(0, RoomsModel::Name).data().toString(), QStringLiteral("aula"));
    filter.setGroup(QStringLiteral("north"));
    QCOMPARE(filter.rowCount(), 3);
    filter.setText(QStringLiteral("ROOM"));
    QCOMPARE(filter.rowCount(), 2);
    filter.setGroup(QString());
    filter.setText(QString());
    QCOMPARE(filter.rowCount(), 20);

    // Off for hall and room-4 (through ser2net): only they hear it.
    auto *table = view.findChild<QTableView *>(QStringLiteral("table"));
    QVERIFY(table);
    for (const char *name : { "hall", "room-4" }) {
        const QModelIndex index
            = filter.mapFromSource(view.model().index(rowNamed(view.model(), name), 0));
        table->selectionModel()->select(index,
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QCOMPARE(view.selectedRows().size(), 2);
    view.findChild<QPushButton *>(QStringLiteral("powerOff"))->click();
    for (const char *name : { "hall", "room-4" })
        QTRY_COMPARE_WITH_TIMEOUT(cell(view.model(), name, RoomsModel::State),
                                  QStringLiteral("Lamp off"), 10000);
    QVERIFY(sims.at("hall")->received().contains("%1POWR 0"));
    QCOMPARE(sims.at("room-4")->received().count("* 0 IR 002"), 1);
    for (const auto &[name, sim] : sims) {
        if (name == QLatin1String("hall") || name == QLatin1String("room-4"))
            continue;
        for (const QByteArray &command : sim->received())
            QVERIFY2(!command.contains("POWR 0") && command != "* 0 IR 002" && command != "V99S0002"
                         && command != "(PWR0)",
                     qPrintable(name));
        QCOMPARE(cell(view.model(), name, RoomsModel::State), expected.value(name));
    }

    // Closing the view ends its polling: every PJLink connection it opened
    // is closed, and no timer is left to open another.
    view.close();
    QVERIFY(!view.model().isPolling());
    for (const auto &[name, sim] : sims) {
        const auto count = [&sim = sim](const char *what) {
            int n = 0;
            for (const QByteArray &line : sim->lines())
                n += line.startsWith("-- connection ") && line.endsWith(what) ? 1 : 0;
            return n;
        };
        if (count(" opened") > 0)
            QTRY_COMPARE_WITH_TIMEOUT(count(" closed"), count(" opened"), 10000);
    }
}

void TestRooms::currentProjectorFromTheWindow()
{
    Rig rig(Acer::ModelIndex);
    const QString other = nextLink();
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               { "--family", "acer", "--link", other }));
    ProjectorList projectors;
    QVERIFY(projectors.add({ "front", Acer::ModelIndex, rig.modem.portName(), {}, {} }));
    QVERIFY(projectors.add({ "back", Acer::ModelIndex, other, {}, {} }));
    projectors.setCurrent(QStringLiteral("front"));
    QVERIFY(projectors.write());
    VantrelProbe::configure(rig.window(), false);

    QCOMPARE(rig.ui().actionRooms->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    rig.ui().actionRooms->trigger();
    auto *view = rig.window().findChild<RoomsWindow *>();
    QVERIFY(view && view->isVisible());
    QCOMPARE(view->windowTitle(), QStringLiteral("Rooms — Vantrel"));
    RoomsModel &model = view->model();
    model.setPollInterval(300);
    QVERIFY(model.isCurrent(rowNamed(model, "front")));
    QVERIFY(!model.isCurrent(rowNamed(model, "back")));

    // The window's answer shows in its row; the view never opened its line.
    QVERIFY(rig.receive("Lamp 1\r"));
    rig.modem.readAll(); // the window's own polls
    QTRY_COMPARE(cell(model, "front", RoomsModel::State), QStringLiteral("Lamp on"));
    QTRY_COMPARE(cell(model, "back", RoomsModel::State), QStringLiteral("Lamp off"));
    QTRY_VERIFY(sim.received().count("* 0 Lamp ?") >= 3);
    // The window does not tick here: whatever came would be the view's.
    QCOMPARE(rig.modem.expectSilence(300), QByteArray());

    // Opening "back" hands its line to the window, and "front" to the view.
    const QModelIndex back = view->filter().mapFromSource(model.index(rowNamed(model, "back"), 0));
    auto *table = view->findChild<QTableView *>(QStringLiteral("table"));
    table->setCurrentIndex(back);
    emit table->activated(back);
    QCOMPARE(rig.window().windowTitle(), QStringLiteral("Vantrel V 2.0 - back"));
    QVERIFY(model.isCurrent(rowNamed(model, "back")));
    QVERIFY(!model.isCurrent(rowNamed(model, "front")));
    QCOMPARE(rig.modem.readBytes(11), QByteArray("* 0 Lamp ?\r"));
    QVERIFY(rig.modem.write("Lamp 0\r"));
    QTRY_COMPARE(cell(model, "front", RoomsModel::State), QStringLiteral("Lamp off"));

    // Back to "front" by the window's own menu: the view lets its line go
    // within a second, and the window, trying again at its next poll, has it.
    QAction *front = nullptr;
    for (QAction *action : rig.ui().menuProjector->actions()) {
        if (action->data().toString() == QLatin1String("front"))
            front = action;
    }
    QVERIFY(front);
    front->trigger();
    QTRY_VERIFY(model.isCurrent(rowNamed(model, "front")));
    QVERIFY(!model.isCurrent(rowNamed(model, "back")));
    rig.modem.readAll();
    QTRY_VERIFY(VantrelProbe::serialPort(rig.window()).isOpen()
                || (rig.tick(PollClock::PollEvery), false));
    QVERIFY(rig.receive("Lamp 1\r"));
    QTRY_COMPARE(cell(model, "front", RoomsModel::State), QStringLiteral("Lamp on"));
}

void TestRooms::openByDoubleClickOrEnter_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("clickActivates"); // the desktop's style
    QTest::addColumn<QStringList>("opened");

    const QStringList back { QStringLiteral("back") };
    QTest::newRow("Enter") << "Enter" << false << back;
    QTest::newRow("Return") << "Return" << false << back;
    QTest::newRow("double-click") << "double-click" << false << back;
    QTest::newRow("a click selects") << "click" << false << QStringList();
    QTest::newRow("Enter, a desktop that activates on a click") << "Enter" << true << back;
    QTest::newRow("double-click, a desktop that activates on a click")
        << "double-click" << true << back;
    QTest::newRow("a click selects, on a desktop that activates on a click")
        << "click" << true << QStringList();
}

void TestRooms::openByDoubleClickOrEnter()
{
    QFETCH(QString, gesture);
    QFETCH(bool, clickActivates);
    QFETCH(QStringList, opened);

    // Nothing listens there: the rows need no answer.
    ProjectorList projectors;
    QVERIFY(projectors.add({ "front", PJLink::ModelIndex, "127.0.0.1:9", {}, {} }));
    QVERIFY(projectors.add({ "back", PJLink::ModelIndex, "127.0.0.1:9", {}, {} }));
    QVERIFY(projectors.write());

    const QString style = QApplication::style()->objectName();
    if (clickActivates)
        QApplication::setStyle(new SingleClickStyle);
    const auto restore = qScopeGuard([&] {
        if (clickActivates && !QApplication::setStyle(style))
            QApplication::setStyle(QStringLiteral("Fusion"));
    });

    QString current = QStringLiteral("front");
    QStringList asked;
    RoomsHost host;
    host.currentName = [&] { return current; };
    host.currentState = [] { return ProjectorState(); };
    host.open = [&](const QString &name) {
        asked.append(name);
        current = name;
    };
    RoomsWindow view;
    view.setHost(host);
    view.load();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    auto *table = view.findChild<QTableView *>(QStringLiteral("table"));
    const QModelIndex back = view.filter().mapFromSource(
        view.model().index(rowNamed(view.model(), "back"), RoomsModel::Name));
    const QPoint at = table->visualRect(back).center();
    table->setFocus();
    if (gesture == QLatin1String("Enter") || gesture == QLatin1String("Return")) {
        table->setCurrentIndex(back);
        QTest::keyClick(table, gesture == QLatin1String("Enter") ? Qt::Key_Enter : Qt::Key_Return);
    } else if (gesture == QLatin1String("double-click")) {
        // As a desktop sends it: a click, then the second press as a double-click.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    } else {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(view.selectedRows(), QList<int> { rowNamed(view.model(), "back") });
    }
    QCOMPARE(asked, opened);
    QCOMPARE(view.model().isCurrent(rowNamed(view.model(), "back")), !opened.isEmpty());
    QCOMPARE(view.model().isCurrent(rowNamed(view.model(), "front")), opened.isEmpty());
}

void TestRooms::inputsAndMutesForPJLinkRows_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("control"); // "input CODE" or the button's name
    QTest::addColumn<QByteArray>("heard"); // by the selected PJLink projectors
    QTest::addColumn<bool>("offered");

    QTest::newRow("input, two PJLink rows and a serial one")
        << QStringList { "pj-a", "pj-b", "acer" } << "input 31" << QByteArray("%1INPT 31") << true;
    QTest::newRow("input, the list of a PJLink row behind a serial one")
        << QStringList { "acer", "pj-b" } << "input 32" << QByteArray("%1INPT 32") << true;
    QTest::newRow("picture mute") << QStringList { "pj-c" } << "pictureMute"
                                  << QByteArray("%1AVMT 11") << true;
    QTest::newRow("sound mute, PJLink and serial rows")
        << QStringList { "pj-a", "vivitek", "acer" } << "soundMute" << QByteArray("%1AVMT 21")
        << true;
    QTest::newRow("unmute") << QStringList { "pj-b", "pj-c" } << "unmute" << QByteArray("%1AVMT 30")
                            << true;
    QTest::newRow("serial rows alone: no input, no mutes")
        << QStringList { "acer", "vivitek" } << "pictureMute" << QByteArray() << false;
}

void TestRooms::inputsAndMutesForPJLinkRows()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, control);
    QFETCH(QByteArray, heard);
    QFETCH(bool, offered);

    ProjectorList projectors;
    std::map<QString, std::unique_ptr<SimProcess>> sims;
    for (const char *name : { "pj-a", "pj-b", "pj-c" }) {
        auto sim = std::make_unique<SimProcess>();
        QVERIFY(sim->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                    { "--family", "pjlink", "--lamp", "on" }));
        QVERIFY(projectors.add({ name, PJLink::ModelIndex, sim->tcpAddress(), {}, {} }));
        sims[name] = std::move(sim);
    }
    for (const auto &[name, model] : { std::pair<const char *, int> { "acer", Acer::ModelIndex },
                                       { "vivitek", Vivitek::ModelIndex } }) {
        const QString port = nextLink();
        auto sim = std::make_unique<SimProcess>();
        QVERIFY(sim->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                    { "--family", name, "--lamp", "on", "--link", port }));
        QVERIFY(projectors.add({ name, model, port, {}, {} }));
        sims[name] = std::move(sim);
    }
    QVERIFY(projectors.write());

    RoomsWindow view;
    view.load();
    view.show();
    RoomsModel &model = view.model();
    for (const auto &[name, sim] : sims)
        QTRY_COMPARE_WITH_TIMEOUT(cell(model, name, RoomsModel::State), QStringLiteral("Lamp on"),
                                  10000);
    for (const char *name : { "pj-a", "pj-b", "pj-c" })
        QTRY_VERIFY(!model.stateAt(rowNamed(model, name)).inputs.isEmpty());
    std::map<QString, int> before;
    for (const auto &[name, sim] : sims)
        before[name] = sim->received().size();

    selectNamed(view, selected);
    auto *input = view.findChild<QComboBox *>(QStringLiteral("input"));
    for (QWidget *widget : { static_cast<QWidget *>(input),
                             static_cast<QWidget *>(view.findChild<QPushButton *>("pictureMute")),
                             static_cast<QWidget *>(view.findChild<QPushButton *>("soundMute")),
                             static_cast<QWidget *>(view.findChild<QPushButton *>("unmute")) })
        QCOMPARE(widget->isEnabled(), offered);
    QVERIFY(view.findChild<QPushButton *>("powerOff")->isEnabled());
    if (!offered)
        return;

    if (control.startsWith(QLatin1String("input "))) {
        const int index = input->findData(control.section(' ', 1).toLatin1());
        QVERIFY2(index > 0, qPrintable(control));
        input->setCurrentIndex(index);
        emit input->activated(index);
        QCOMPARE(input->currentIndex(), 0);
    } else {
        view.findChild<QPushButton *>(control)->click();
    }

    // Each selected PJLink projector hears it once, and then is asked how it stands.
    for (const auto &[name, sim] : sims) {
        if (model.projectorAt(rowNamed(model, name)).model != PJLink::ModelIndex
            || !selected.contains(name))
            continue;
        QTRY_COMPARE_WITH_TIMEOUT(sim->received().count(heard), 1, 10000);
    }
    // The rest heard nothing of the kind: the other PJLink projector, and the
    // serial ones only their polls.
    const QByteArray kind = heard.left(6);
    for (const auto &[name, sim] : sims) {
        const QList<QByteArray> received = sim->received().mid(before[name]);
        for (const QByteArray &command : received) {
            if (model.projectorAt(rowNamed(model, name)).model == PJLink::ModelIndex) {
                if (!selected.contains(name))
                    QVERIFY2(!command.startsWith(kind) || command.endsWith('?'),
                             qPrintable(name + ": " + command));
            } else {
                QVERIFY2(command == Acer::StatusPoll || command == "* 0 Lamp"
                             || command.startsWith("V99G"),
                         qPrintable(name + ": " + command));
            }
        }
    }
}

void TestRooms::windowsPJLinkProjectorAmongTheSelection_data()
{
    QTest::addColumn<QString>("lamp"); // both projectors' at start
    QTest::addColumn<QString>("control"); // "input CODE" or the button's name
    QTest::addColumn<QByteArray>("heard");
    QTest::addColumn<QString>("shown"); // what the rows show afterwards

    QTest::newRow("on") << "off"
                        << "powerOn" << QByteArray("%1POWR 1") << "Lamp on";
    QTest::newRow("off") << "on"
                         << "powerOff" << QByteArray("%1POWR 0") << "Lamp off";
    QTest::newRow("input") << "on"
                           << "input 32" << QByteArray("%1INPT 32") << "input 32";
    QTest::newRow("picture mute") << "on"
                                  << "pictureMute" << QByteArray("%1AVMT 11")
                                  << "picture 1, sound 0";
    QTest::newRow("sound mute") << "on"
                                << "soundMute" << QByteArray("%1AVMT 21") << "picture 0, sound 1";
}

// The window's projector selected with another: each hears the command once,
// the window's over the window's own connection, never a second one.
void TestRooms::windowsPJLinkProjectorAmongTheSelection()
{
    QFETCH(QString, lamp);
    QFETCH(QString, control);
    QFETCH(QByteArray, heard);
    QFETCH(QString, shown);

    std::map<QString, std::unique_ptr<SimProcess>> sims;
    for (const char *name : { "front", "back" }) {
        sims[name] = std::make_unique<SimProcess>();
        QVERIFY(sims[name]->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                           { "--family", "pjlink", "--lamp", lamp, "--warmup-ms",
                                             "300", "--cooldown-ms", "300" }));
    }
    const QString front = sims["front"]->tcpAddress();
    Rig rig(QVariantMap { { "Projectors/size", 2 },
                          { "Projectors/1/Name", "front" },
                          { "Projectors/1/Model", PJLink::ModelIndex },
                          { "Projectors/1/Port", front },
                          { "Projectors/2/Name", "back" },
                          { "Projectors/2/Model", PJLink::ModelIndex },
                          { "Projectors/2/Port", sims["back"]->tcpAddress() },
                          { "Projector", "front" },
                          { "ComPort", front },
                          { "Model", PJLink::ModelIndex } },
            false);
    VantrelProbe::pollTimer(rig.window()).start();
    rig.ui().actionRooms->trigger();
    auto *view = rig.window().findChild<RoomsWindow *>();
    QVERIFY(view);
    RoomsModel &model = view->model();
    model.setPollInterval(300);
    QVERIFY(model.isCurrent(rowNamed(model, "front")));
    const auto shows = [&](const QString &name) {
        if (control.startsWith(QLatin1String("power")))
            return cell(model, name, RoomsModel::State);
        const ProjectorState state = model.stateAt(rowNamed(model, name));
        if (control.startsWith(QLatin1String("input ")))
            return QStringLiteral("input ") + QString::fromLatin1(state.input);
        return state.mutes ? QStringLiteral("picture %1, sound %2")
                                 .arg(int(state.mutes->picture))
                                 .arg(int(state.mutes->sound))
                           : QStringLiteral("mutes unknown");
    };
    for (const char *name : { "front", "back" }) {
        QTRY_VERIFY_WITH_TIMEOUT(!model.stateAt(rowNamed(model, name)).inputs.isEmpty()
                                     && model.stateAt(rowNamed(model, name)).mutes,
                                 10000);
        QVERIFY2(shows(name) != shown, qPrintable(name + QLatin1String(": ") + shows(name)));
    }

    selectNamed(*view, { "front", "back" });
    if (control.startsWith(QLatin1String("input "))) {
        auto *input = view->findChild<QComboBox *>(QStringLiteral("input"));
        const int index = input->findData(control.section(' ', 1).toLatin1());
        QVERIFY2(index > 0, qPrintable(control));
        input->setCurrentIndex(index);
        emit input->activated(index);
    } else {
        view->findChild<QPushButton *>(control)->click();
    }

    for (const auto &[name, sim] : sims)
        QTRY_COMPARE_WITH_TIMEOUT(sim->received().count(heard), 1, 10000);
    for (const char *name : { "front", "back" })
        QTRY_COMPARE_WITH_TIMEOUT(shows(name), shown, 10000);
    // Nothing sent twice on the way.
    for (const auto &[name, sim] : sims)
        QVERIFY2(sim->received().count(heard) == 1,
                 qPrintable(name + QLatin1String(": ") + sim->received().join(", ")));
    QCOMPARE(sims["front"]->lines().count("-- connection 1 opened"), 1);
    for (const QByteArray &line : sims["front"]->lines())
        QVERIFY2(!line.startsWith("-- connection 2"), line.constData());
}

// Rows chosen at once, before their projector has said which inputs it has.
void TestRooms::inputListFollowsTheAnswer()
{
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH), { "--family", "pjlink" }));
    ProjectorList projectors;
    QVERIFY(projectors.add({ "hall", PJLink::ModelIndex, sim.tcpAddress(), {}, {} }));
    QVERIFY(projectors.write());
    RoomsWindow view;
    view.load();
    selectNamed(view, { "hall" });
    auto *input = view.findChild<QComboBox *>(QStringLiteral("input"));
    QVERIFY(input->isEnabled());
    QCOMPARE(input->count(), 1);
    // "11 12 21 31 32" after "Input…".
    QTRY_COMPARE_WITH_TIMEOUT(input->count(), 6, 10000);
    QCOMPARE(input->itemData(4).toByteArray(), QByteArray("31"));
}

void TestRooms::sortsHoursAsNumbers_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("column");
    QTest::newRow("lamp hours") << "--lamp-hours" << int(RoomsModel::LampHours);
    QTest::newRow("filter hours") << "--filter-hours" << int(RoomsModel::FilterHours);
}

void TestRooms::sortsHoursAsNumbers()
{
    QFETCH(QString, option);
    QFETCH(int, column);
    ProjectorList projectors;
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (const auto &[name, hours] : { std::pair<const char *, const char *> { "a", "10000" },
                                       { "b", "900" },
                                       { "c", "1250" },
                                       { "d", "95" } }) {
        sims.push_back(std::make_unique<SimProcess>());
        QVERIFY(sims.back()->startSimulator(
            QStringLiteral(PROJECTOR_SIM_PATH),
            { "--family", "pjlink", "--pjlink-class", "2", option, hours }));
        QVERIFY(projectors.add({ name, PJLink::ModelIndex, sims.back()->tcpAddress(), {}, {} }));
    }
    // Nothing known: before every number.
    QVERIFY(projectors.add({ "e", PJLink::ModelIndex, "127.0.0.1:9", {}, {} }));
    QVERIFY(projectors.write());

    RoomsWindow view;
    view.load();
    for (const char *name : { "a", "b", "c", "d" })
        QTRY_VERIFY_WITH_TIMEOUT(!cell(view.model(), name, column).isEmpty(), 10000);
    RoomsFilter &filter = view.filter();
    const auto order = [&] {
        QStringList names;
        for (int row = 0; row < filter.rowCount(); ++row)
            names << filter.index(row, RoomsModel::Name).data().toString();
        return names.join(' ');
    };
    filter.sort(column, Qt::AscendingOrder);
    QCOMPARE(order(), QStringLiteral("e d b c a"));
    filter.sort(column, Qt::DescendingOrder);
    QCOMPARE(order(), QStringLiteral("a c b d e"));
}

// A long port path does not push the health and last answer out of sight:
// it is cut in its middle, and the other columns keep their fit.
void TestRooms::columnsFitTheWindow()
{
    ProjectorList projectors;
    QVERIFY(projectors.add({ "hall",
                             Acer::ModelIndex,
                             "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3D4E5F6-if00-port0",
                             {},
                             {} }));
    QVERIFY(projectors.add({ "aula", PJLink::ModelIndex, "127.0.0.1:9", {}, {} }));
    QVERIFY(projectors.write());
    // The window's projector, whose health the test sets.
    ProjectorState fromWindow;
    fromWindow.reachable = true;
    fromWindow.health = PJLink::parseHealth("000000");
    RoomsHost host;
    host.currentName = [] { return QStringLiteral("aula"); };
    host.currentState = [&] { return fromWindow; };
    RoomsWindow view;
    view.setHost(host);
    view.load();
    view.show();
    QVERIFY(view.width() <= QGuiApplication::primaryScreen()->availableGeometry().width());
    auto *table = view.findChild<QTableView *>(QStringLiteral("table"));
    QCOMPARE(table->textElideMode(), Qt::ElideMiddle);
    QVERIFY(table->fontMetrics().horizontalAdvance(cell(view.model(), "hall", RoomsModel::Address))
            > RoomsWindow::MaxColumnWidth);
    QCOMPARE(table->columnWidth(RoomsModel::Address), RoomsWindow::MaxColumnWidth);
    QVERIFY(table->columnWidth(RoomsModel::Name) < RoomsWindow::MaxColumnWidth / 2);

    // A longer health widens its column, long after the view opened.
    QTRY_COMPARE(cell(view.model(), "aula", RoomsModel::Health), QStringLiteral("ok"));
    fromWindow.health = PJLink::parseHealth("220000");
    QTRY_COMPARE(cell(view.model(), "aula", RoomsModel::Health),
                 QStringLiteral("fan: error, lamp: error"));
    const int wide
        = table->fontMetrics().horizontalAdvance(QStringLiteral("fan: error, lamp: error"));
    QTRY_VERIFY(table->columnWidth(RoomsModel::Health) > wide);
    QCOMPARE(table->columnWidth(RoomsModel::Address), RoomsWindow::MaxColumnWidth);
}

void TestRooms::oneNoticeWhenSilent_data()
{
    QTest::addColumn<QString>("family"); // "pjlink", "acer" or "window": the window's current one
    QTest::addColumn<QString>("told");
    QTest::newRow("PJLink") << "pjlink"
                            << "No longer answers: connection refused";
    QTest::newRow("serial") << "acer"
                            << "No longer answers: not present";
    QTest::newRow("the window's projector") << "window"
                                            << "No longer answers: No contact";
}

void TestRooms::oneNoticeWhenSilent()
{
    QFETCH(QString, family);
    QFETCH(QString, told);

    const bool pjlink = family == QLatin1String("pjlink");
    const bool window = family == QLatin1String("window");
    QString port = nextLink();
    auto sim = std::make_unique<SimProcess>();
    if (!window) {
        QVERIFY(sim->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                    pjlink ? QStringList { "--family", "pjlink" }
                                           : QStringList { "--family", "acer", "--link", port }));
        if (pjlink)
            port = sim->tcpAddress();
    }
    ProjectorState fromWindow;
    fromWindow.reachable = true;
    fromWindow.power = 0;
    RoomsHost host;
    host.currentName = [&] { return window ? QStringLiteral("hall") : QString(); };
    host.currentState = [&] { return fromWindow; };

    RoomsModel model;
    model.setHost(host);
    model.setPollInterval(200);
    QSignalSpy notices(&model, &RoomsModel::notice);
    model.load({ { "hall", pjlink ? PJLink::ModelIndex : Acer::ModelIndex, port, {}, {} } });
    QTRY_COMPARE_WITH_TIMEOUT(cell(model, "hall", RoomsModel::State), QStringLiteral("Lamp off"),
                              10000);
    QTRY_COMPARE(model.missedPollsAt(0), 0);
    // What is so as the view opens is no change.
    QTRY_VERIFY(!model.noticeRules().opening());

    if (window)
        fromWindow.reachable = false;
    else
        sim.reset();
    QTRY_VERIFY_WITH_TIMEOUT(model.missedPollsAt(0) >= 8, 20000);
    QCOMPARE(notices.size(), 1);
    const Notice notice = notices.first().at(0).value<Notice>();
    QCOMPARE(notice.projector, QStringLiteral("hall"));
    QCOMPARE(notice.text, told);
    QVERIFY(notice.critical);
}

void TestRooms::lampNoticeWhenLifeIsSet()
{
    SimProcess sim;
    QVERIFY(sim.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                               { "--family", "pjlink", "--lamp-hours", "1850" }));
    RoomsModel model;
    model.setPollInterval(200);
    QSignalSpy notices(&model, &RoomsModel::notice);
    model.load({ { "hall", PJLink::ModelIndex, sim.tcpAddress(), {}, {} } });
    QTRY_COMPARE_WITH_TIMEOUT(cell(model, "hall", RoomsModel::LampHours), QStringLiteral("1850"),
                              10000);
    QTRY_VERIFY(!model.noticeRules().opening());
    // Off by default; the lamp is off and its hours stay: no change of its
    // state brings the notice, setting the life does. The steps on the way
    // there tell nothing.
    QCOMPARE(model.noticeRules().lampLife(), 0);
    model.setLampLife(500);
    model.setLampLife(1000);
    model.setLampLife(3000);
    model.setLampLife(2000);
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 1, 10000);
    QCOMPARE(notices.first().at(0).value<Notice>().text,
             QStringLiteral("Lamp at 1850 hours, past 90 % of its 2000 hours"));
}

void TestRooms::noticeRules_data()
{
    QTest::addColumn<QStringList>("steps"); // one reading each, 10 s apart
    QTest::addColumn<int>("lampLife");
    QTest::addColumn<int>("openingSeconds"); // 0: no opening
    QTest::addColumn<QStringList>("notices");

    // Each step: "R" reachable or "-" not, ERST digits or "-", lamp hours or
    // "-", "X" rejected or "-", the projector ("hall" if not given); or
    // "wait S": S seconds without a reading; a sixth word is why it cannot
    // be reached. Held: 30 s; again: 15 min.
    const QString away = QStringLiteral("hall: No longer answers: No contact [critical]");
    const QString back = QStringLiteral("hall: Answers again [recovered]");
    QTest::newRow("silent for the third poll, once")
        << QStringList { "R", "-", "-", "-", "-", "-" } << 0 << 0 << QStringList { away };
    QTest::newRow("two missed polls tell nothing")
        << QStringList { "R", "-", "-", "R", "-", "-", "R" } << 0 << 0 << QStringList();
    QTest::newRow("back for less than the hold: the one notice stands")
        << QStringList { "R", "-", "-", "-", "R", "R", "-", "-", "-" } << 0 << 0
        << QStringList { away };
    QTest::newRow("back for the hold, gone again: once in 15 minutes") << QStringList {
        "R", "-", "-", "-", "R", "R", "R", "R", "-", "-", "-", "-", "wait 900", "-"
    } << 0 << 0 << QStringList { away, back, away };
    QTest::newRow("never answered: nothing got worse")
        << QStringList { "-", "-", "-", "-" } << 0 << 0 << QStringList();
    QTest::newRow("health ok to warning, once it held")
        << QStringList { "R 000000", "R 010000", "R 010000", "R 010000", "R 010000", "R 010000" }
        << 0 << 0 << QStringList { "hall: Health: lamp: warning" };
    QTest::newRow("health flipping at every reading tells nothing")
        << QStringList { "R 000000", "R 010000", "R 000000", "R 010000", "R 000000",
                         "R 010000", "R 000000", "R 010000", "R 000000", "R 010000" }
        << 0 << 0 << QStringList();
    QTest::newRow("warning from the start is no change")
        << QStringList { "R 010000", "R 010000", "R 010000", "R 010000", "R 010000" } << 0 << 0
        << QStringList();
    QTest::newRow("an error is critical, its end takes its place")
        << QStringList { "R 000000", "R 102000", "R 102000", "R 102000", "R 102000",
                         "R 000000", "R 000000", "R 000000", "R 000000" }
        << 0 << 0
        << QStringList { "hall: Health: fan: warning, temperature: error [critical]",
                         "hall: Health: ok [recovered]" };
    QTest::newRow("lamp past 90 % of 2000 hours, once")
        << QStringList { "R - 1799", "R - 1800", "R - 1801" } << 2000 << 0
        << QStringList { "hall: Lamp at 1800 hours, past 90 % of its 2000 hours" };
    QTest::newRow("lamp hours without a life given")
        << QStringList { "R - 1799", "R - 5000" } << 0 << 0 << QStringList();
    QTest::newRow("password rejected, once")
        << QStringList { "- - - -", "- - - X", "- - - X", "- - - X" } << 0 << 0
        << QStringList { "hall: Password rejected" };
    QTest::newRow("opening: what was so is one summary, later changes told")
        << QStringList { "R 010000 - - hall",    "- - - X door",      "R - 1900 - aula",
                         "- - - - gone refused", "R 000000 - - east", "R 010000 - - east",
                         "R 010000 - - east",    "R 010000 - - east", "R 010000 - - east" }
        << 2000 << 40
        << QStringList { "4 projector(s) need attention", "east: Health: lamp: warning" };
    QTest::newRow("opening with nothing wrong: no summary")
        << QStringList { "R 000000", "R 000000", "R 000000", "R 000000", "R 000000", "R 000000" }
        << 0 << 40 << QStringList();
}

void TestRooms::noticeRules()
{
    QFETCH(QStringList, steps);
    QFETCH(int, lampLife);
    QFETCH(int, openingSeconds);
    QFETCH(QStringList, notices);
    qint64 clock = 1000000;
    NoticeRules rules;
    rules.setClock([&clock] { return clock; });
    rules.setLampLife(lampLife);
    if (openingSeconds > 0)
        rules.startOpening(openingSeconds * 1000);
    QStringList told;
    const auto take = [&told](const QList<Notice> &given) {
        for (const Notice &notice : given) {
            QString line
                = notice.projector.isEmpty() ? notice.text : notice.projector + ": " + notice.text;
            if (notice.critical)
                line += QLatin1String(" [critical]");
            if (notice.recovered)
                line += QLatin1String(" [recovered]");
            told += line;
        }
    };
    QHash<QString, int> missed;
    for (const QString &step : steps) {
        const QStringList parts = step.split(' ');
        if (parts.at(0) == QLatin1String("wait")) {
            clock += parts.at(1).toLongLong() * 1000;
            continue;
        }
        clock += 10000;
        ProjectorState state;
        state.reachable = parts.at(0) == QLatin1String("R");
        const QString name = parts.value(4, QStringLiteral("hall"));
        missed[name] = state.reachable ? 0 : missed.value(name) + 1;
        if (parts.value(1).size() == 6)
            state.health = PJLink::parseHealth(parts.at(1).toLatin1());
        if (!parts.value(2).isEmpty() && parts.value(2) != QLatin1String("-"))
            state.lamps = QList<PJLink::Lamp> { { parts.at(2).toInt(), true } };
        state.passwordRejected = parts.value(3) == QLatin1String("X");
        state.problem = parts.value(5);
        take(rules.check(name, state, missed.value(name)));
        take(rules.takeSummary());
    }
    QCOMPARE(told, notices);
}

void TestRooms::oneNoticeWhenHealthTurnsToWarning()
{
    PrivateBus bus;
    QVERIFY(bus.start());
    QDBusConnection serviceSide = bus.connect(QStringLiteral("rooms-service"));
    NotificationService service;
    QVERIFY(serviceSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                       QDBusConnection::ExportAllSlots));
    QVERIFY(serviceSide.registerService(QStringLiteral("org.freedesktop.Notifications")));

    auto healthy = std::make_unique<SimProcess>();
    QVERIFY(healthy->startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                    { "--family", "pjlink", "--erst", "000000" }));
    const QString address = healthy->tcpAddress();
    RoomsModel model;
    DesktopNotifier notifier(bus.connect(QStringLiteral("rooms-client")));
    connect(&model, &RoomsModel::notice, &notifier, &DesktopNotifier::notify);
    model.setPollInterval(200);
    model.load({ { "hall", PJLink::ModelIndex, address, {}, {} } });
    QTRY_COMPARE_WITH_TIMEOUT(cell(model, "hall", RoomsModel::Health), QStringLiteral("ok"), 10000);
    QTRY_VERIFY(!model.noticeRules().opening());
    const QModelIndex health = model.index(0, RoomsModel::Health);
    QVERIFY(health.data(Qt::DecorationRole).isNull());

    // The same projector after a restart, its lamp now in trouble.
    healthy.reset();
    SimProcess troubled;
    QVERIFY(troubled.startSimulator(
        QStringLiteral(PROJECTOR_SIM_PATH),
        { "--family", "pjlink", "--erst", "010000", "--port", address.section(':', 1) }));
    QTRY_COMPARE_WITH_TIMEOUT(service.shown.size(), 1, 20000);
    QCOMPARE(service.shown.first(), QStringLiteral("Vantrel: hall: Health: lamp: warning"));
    // A sign beside the words, not a colour.
    QCOMPARE(cell(model, "hall", RoomsModel::Health), QStringLiteral("lamp: warning"));
    QVERIFY(!health.data(Qt::DecorationRole).value<QIcon>().isNull());
    // The warning read again and again is told once.
    QTRY_VERIFY_WITH_TIMEOUT(troubled.received().count("%1ERST ?") >= 3, 20000);
    QTRY_COMPARE(notifier.pending(), 0);
    QCOMPARE(service.shown.size(), 1);
    QCOMPARE(notifier.shown(), 1);
    const QString entry = QStringLiteral(VANTREL_APP_ID);
    QCOMPARE(service.details.first(),
             QStringLiteral("replaces 0, %1, urgency 1 (uchar), entry %1").arg(entry));

    // Well again: the notice takes the warning's place.
    const QString port = address.section(':', 1);
    troubled.stop();
    SimProcess again;
    QVERIFY(again.startSimulator(QStringLiteral(PROJECTOR_SIM_PATH),
                                 { "--family", "pjlink", "--erst", "000000", "--port", port }));
    QTRY_COMPARE_WITH_TIMEOUT(service.shown.size(), 2, 20000);
    QCOMPARE(service.shown.last(), QStringLiteral("Vantrel: hall: Health: ok"));
    QCOMPARE(service.details.last(),
             QStringLiteral("replaces 101, %1, urgency 1 (uchar), entry %1").arg(entry));
    // A projector that stopped answering is critical.
    notifier.notify({ QStringLiteral("door"), QStringLiteral("No longer answers: No contact"),
                      Notice::Fault::Unreachable, true, false });
    QTRY_COMPARE(service.shown.size(), 3);
    QCOMPARE(service.details.last(),
             QStringLiteral("replaces 0, %1, urgency 2 (uchar), entry %1").arg(entry));
}

void TestRooms::silentWithoutNotificationService()
{
    PrivateBus bus;
    QVERIFY(bus.start());
    DesktopNotifier notifier(bus.connect(QStringLiteral("nobody-listens")));
    notifier.notify({ QStringLiteral("hall"), QStringLiteral("Password rejected"),
                      Notice::Fault::Password, false, false });
    QTRY_COMPARE(notifier.pending(), 0);
    QCOMPARE(notifier.shown(), 0);
    // No bus at all.
    DesktopNotifier unconnected(QDBusConnection(QStringLiteral("no-such-bus")));
    unconnected.notify({ QStringLiteral("hall"), QStringLiteral("Password rejected"),
                         Notice::Fault::Password, false, false });
    QCOMPARE(unconnected.pending(), 0);
}

void TestRooms::inventoryCells_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "room-1"
                           << "room-1";
    QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                             << "\"'=HYPERLINK(\"\"x\"\")\"";
    QTest::newRow("plus") << "+1"
                          << "'+1";
    QTest::newRow("minus") << "-1"
                           << "'-1";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("comma") << "1250, 80"
                           << "\"1250, 80\"";
    QTest::newRow("line break") << "a\r\nb"
                                << "\"a\r\nb\"";
    const auto row = [](const char *name, const char *value, const char *written) {
        QTest::newRow(name) << value << written;
    };
    row("lone CR", "a\rb", "\"a\rb\"");
    row("semicolon, a formula after it", "part;=cmd|' /C calc'!A0", "\"part;=cmd|' /C calc'!A0\"");
    row("blanks before a formula", "  =1+1", "\"'  =1+1\"");
    row("TAB first", "\t=1+1", "\"'\t=1+1\"");
    row("CR first", "\r=1+1", "\"'\r=1+1\"");
    row("blank first", " room", "\" room\"");
    QTest::newRow("empty") << ""
                           << "";
}

void TestRooms::inventoryCells()
{
    QFETCH(QString, value);
    QFETCH(QString, written);
    QCOMPARE(Inventory::cell(value), written);
}

// The state column in words, as PJLink numbers the power states.
void TestRooms::stateInWords_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("power");
    QTest::addColumn<QString>("words");
    QTest::newRow("POWR=0") << true << 0 << "Lamp off";
    QTest::newRow("POWR=1") << true << 1 << "Lamp on";
    QTest::newRow("POWR=2") << true << 2 << "Cooling down";
    QTest::newRow("POWR=3") << true << 3 << "Warming up";
    QTest::newRow("not yet asked") << true << -1 << "Contact";
    QTest::newRow("silent") << false << 1 << "No contact";
}

void TestRooms::stateInWords()
{
    QFETCH(bool, reachable);
    QFETCH(int, power);
    QFETCH(QString, words);
    ProjectorState state;
    state.reachable = reachable;
    state.power = power;
    QCOMPARE(state.stateText(), words);
}

void TestRooms::intervalAndLampLifeKept()
{
    TestStore::clear();
    {
        RoomsWindow view;
        QCOMPARE(view.model().pollInterval(), 10000);
        view.findChild<QSpinBox *>(QStringLiteral("pollSeconds"))->setValue(30);
        view.findChild<QSpinBox *>(QStringLiteral("lampLife"))->setValue(2000);
        QCOMPARE(view.model().pollInterval(), 30000);
        QCOMPARE(view.model().lampLife(), 2000);
    }
    RoomsWindow again;
    QCOMPARE(again.model().pollInterval(), 30000);
    QCOMPARE(again.model().lampLife(), 2000);
}

VANTREL_TEST_MAIN(TestRooms)
#include "tst_rooms.moc"
