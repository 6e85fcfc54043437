#include "colorgroupbox.h"
#include "lampcolours.h"
#include "projectorsdialog.h"
#include "rig.h"
#include "roomswindow.h"
#include "testmain.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <cmath>

namespace {

struct Announcement
{
    QObject *object;
    QAccessible::Event type;
};
QList<Announcement> announcements;

void recordAnnouncement(QAccessibleEvent *event)
{
    announcements.append({ event->object(), event->type() });
}

QString accessibleText(QObject *object, QAccessible::Text text)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(text) : QString();
}

double luminance(const QColor &colour)
{
    const auto linear
        = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The controls a user operates, by the classes the windows and dialog use; a
// combo box's own line edit, a line edit's clear button and a table's corner
// button are part of them, and Qt's hidden helpers are no controls of ours.
QList<QWidget *> controls(QWidget *top)
{
    QList<QWidget *> found;
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (qobject_cast<QComboBox *>(widget->parentWidget())
            || qobject_cast<QLineEdit *>(widget->parentWidget())
            || qobject_cast<QTableView *>(widget->parentWidget())
            || widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QLineEdit *>(widget))
            found.append(widget);
    }
    return found;
}

// What a screen reader follows between a label and its field, in either direction.
bool related(QWidget *label, QWidget *field)
{
    for (const auto &[from, to] : { std::pair(label, field), std::pair(field, label) }) {
        const auto relations
            = QAccessible::queryAccessibleInterface(from)->relations(QAccessible::AllRelations);
        for (const auto &relation : relations) {
            if (relation.first->object() == to)
                return true;
        }
    }
    return false;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void powerBoxSaysTheState_data();
    void powerBoxSaysTheState();
    void stateChangeIsAnnounced();
    void connectionIconSaysTheState();
    void everyControlHasAName();
    void labelsNameTheirFields();
    void roomsControlsHaveNames();
};

void TestAccessibility::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt gives accessible events only to an active platform bridge, which
    // the offscreen platform has not: the boxes' own announcements are heard.
    ColorGroupBox::announced = recordAnnouncement;
}

void TestAccessibility::powerBoxSaysTheState_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("silentTicks");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("pjlinkPower"); // -1: none reported
    QTest::addColumn<int>("state");

    using S = LampColours::State;
    const auto row = [](const char *name, int model, const QByteArray &reply, int silent,
                        const QString &click, int power, S state) {
        QTest::newRow(name) << model << reply << silent << click << power << int(state);
    };
    row("at start", 0, "", 0, "", -1, S::Switching);
    row("Acer lamp on", 0, "LAMP 1\r", 0, "", -1, S::LampOn);
    row("Acer lamp off", 0, "LAMP 0\r", 0, "", -1, S::LampOff);
    row("Acer silent", 0, "", 1, "", -1, S::NoContact);
    row("Acer lamp on, then silent", 0, "LAMP 1\r", 50, "", -1, S::NoContact);
    row("Acer lamp off, power on", 0, "LAMP 0\r", 0, "powerOn", -1, S::Switching);
    row("Vivitek power on", 1, "", 0, "vvtPowerOn", -1, S::Switching);
    row("InFocus answers", 2, "(0)", 0, "", -1, S::InContact);
    row("InFocus answers, power on", 2, "(0)", 0, "powerOn", -1, S::InContact);
    row("InFocus silent", 2, "", 1, "", -1, S::NoContact);
    row("InFocus power on unanswered", 2, "", 1, "powerOn", -1, S::Switching);
    row("PJLink off", 0, "", 0, "", 0, S::LampOff);
    row("PJLink on", 0, "", 0, "", 1, S::LampOn);
    row("PJLink cooling down", 0, "", 0, "", 2, S::CoolingDown);
    row("PJLink warming up", 0, "", 0, "", 3, S::WarmingUp);
}

// Every box says in words, as its accessible description, what its colour
// shows; the two of the Acer and Vivitek pages hold their power buttons and
// nothing else, and a box that shows the words as text too keeps them
// readable on the fill.
void TestAccessibility::powerBoxSaysTheState()
{
    QFETCH(int, model);
    QFETCH(QByteArray, reply);
    QFETCH(int, silentTicks);
    QFETCH(QString, click);
    QFETCH(int, pjlinkPower);
    QFETCH(int, state);

    Rig rig(model);
    if (!reply.isEmpty())
        QVERIFY(rig.receive(reply));
    rig.tick(silentTicks);
    if (!click.isEmpty())
        rig.button(click)->click();
    if (pjlinkPower >= 0)
        VantrelProbe::showPJLinkLamp(rig.window(), pjlinkPower);

    const auto expected = LampColours::State(state);
    const QString words = LampColours::words(expected);
    QVERIFY(!words.isEmpty());
    for (ColorGroupBox *box :
         { rig.ui().on_off_groupBox, rig.ui().vvt_on_off_groupBox, rig.ui().pj_on_off_groupBox }) {
        QCOMPARE(box->fillColor, LampColours::colour(expected));
        QCOMPARE(accessibleText(box, QAccessible::Description), words);
        auto *label = box->findChild<QLabel *>();
        QCOMPARE(!label, box != rig.ui().pj_on_off_groupBox);
        if (!label)
            continue;
        QCOMPARE(label->text(), words);
        const QColor ink = label->palette().color(QPalette::WindowText);
        QVERIFY2(contrast(ink, box->fillColor) >= 4.5,
                 qPrintable(QStringLiteral("%1 on %2").arg(ink.name(), box->fillColor.name())));
        // The title stays what it was.
        QVERIFY(!box->title().contains(words));
    }
}

// A change is announced once per box; a state asserted again, as the
// no-contact state is on every silent tick, announces nothing.
void TestAccessibility::stateChangeIsAnnounced()
{
    Rig rig(Acer::ModelIndex);
    ColorGroupBox *box = rig.ui().on_off_groupBox;
    const auto changes = [box] {
        int count = 0;
        for (const Announcement &a : announcements)
            count += a.object == box && a.type == QAccessible::DescriptionChanged;
        return count;
    };
    rig.tick(); // no contact
    QCOMPARE(box->stateWords(), LampColours::words(LampColours::State::NoContact));
    announcements.clear();
    rig.tick(10);
    QCOMPARE(changes(), 0);

    // Regained contact leaves the box to the lamp report: one change.
    QVERIFY(rig.receive("LAMP 1\r"));
    QCOMPARE(changes(), 1);
    QCOMPARE(accessibleText(box, QAccessible::Description),
             LampColours::words(LampColours::State::LampOn));
    QVERIFY(rig.receive("LAMP 1\r"));
    QCOMPARE(changes(), 1);
    QVERIFY(rig.receive("LAMP 0\r"));
    QCOMPARE(changes(), 2);
}

void TestAccessibility::connectionIconSaysTheState()
{
    Rig rig(2);
    QAbstractButton *icon = rig.ui().connectionStatus;
    rig.tick();
    const QString none = accessibleText(icon, QAccessible::Name);
    QCOMPARE(none, QStringLiteral("No contact with the projector"));
    QVERIFY(rig.receive("(0)"));
    QCOMPARE(accessibleText(icon, QAccessible::Name),
             QStringLiteral("In contact with the projector"));
    rig.tick(50);
    QCOMPARE(accessibleText(icon, QAccessible::Name), none);
    QVERIFY(!accessibleText(icon, QAccessible::Description).isEmpty());
}

// Every control has a name for a screen reader to say, and Tab reaches it,
// but for the window's buttons that never take focus: a screen reader
// presses those through their action.
void TestAccessibility::everyControlHasAName()
{
    Rig rig(Acer::ModelIndex);
    ProjectorsDialog dialog;
    for (QWidget *top :
         { static_cast<QWidget *>(&rig.window()), static_cast<QWidget *>(&dialog) }) {
        const QList<QWidget *> all = controls(top);
        QVERIFY(all.size() > 10);
        for (QWidget *control : all) {
            const QString what = control->objectName();
            QVERIFY2(!accessibleText(control, QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(what));
            QAccessibleActionInterface *actions
                = QAccessible::queryAccessibleInterface(control)->actionInterface();
            const QStringList names = actions ? actions->actionNames() : QStringList();
            QVERIFY2(control->focusPolicy() & Qt::TabFocus
                         || names.contains(QAccessibleActionInterface::pressAction())
                         || names.contains(QAccessibleActionInterface::toggleAction()),
                     qPrintable(what));
        }
    }
    const Ui::VantrelClass &ui = rig.ui();
    // Two controls of a page with the same name could not be told apart.
    for (QWidget *page : { ui.page, ui.page_2, ui.page_3, static_cast<QWidget *>(&dialog) }) {
        QStringList names;
        // On Linux a combo box is named by its current entry, and told apart by its label.
        for (QWidget *control : controls(page)) {
            if (!qobject_cast<QComboBox *>(control))
                names << accessibleText(control, QAccessible::Name);
        }
        const QStringList all = names;
        names.removeDuplicates();
        QVERIFY2(names.size() == all.size(), qPrintable(all.join(QLatin1String(", "))));
    }
    QCOMPARE(accessibleText(ui.up, QAccessible::Name), QStringLiteral("Up"));
    QCOMPARE(accessibleText(ui.down, QAccessible::Name), QStringLiteral("Down"));
    QCOMPARE(accessibleText(ui.left, QAccessible::Name), QStringLiteral("Left"));
    QCOMPARE(accessibleText(ui.right, QAccessible::Name), QStringLiteral("Right"));
    QCOMPARE(accessibleText(ui.textEdit, QAccessible::Name), QStringLiteral("Traffic log"));
    // A health indicator's level, shown as its colour, is read as its description.
    for (QLabel *health : { ui.pjFanHealth, ui.pjLampHealth, ui.pjTemperatureHealth,
                            ui.pjCoverHealth, ui.pjFilterHealth, ui.pjOtherHealth }) {
        QVERIFY2(accessibleText(health, QAccessible::Name).endsWith(QLatin1String(" health")),
                 qPrintable(health->objectName()));
        QVERIFY(accessibleText(health, QAccessible::Description).endsWith("not known yet"));
    }

    // Pressed by a screen reader, a button that takes no focus sends its
    // command: a push button shown pressed a moment first, as by a click.
    rig.sent();
    for (QAbstractButton *button :
         { static_cast<QAbstractButton *>(ui.powerOn), static_cast<QAbstractButton *>(ui.up) }) {
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        QVERIFY(clicked.count() == 1 || clicked.wait());
    }
    QCOMPARE(rig.sent(), QByteArray("OKOKOKOKOK\r* 0 IR 009\r"));
}

// A label names its field: it is the field's label, and a field without a
// text of its own takes the label's as its name.
void TestAccessibility::labelsNameTheirFields()
{
    Rig rig(Acer::ModelIndex);
    ProjectorsDialog dialog;
    int labelled = 0;
    for (QWidget *top :
         { static_cast<QWidget *>(&rig.window()), static_cast<QWidget *>(&dialog) }) {
        for (QLabel *label : top->findChildren<QLabel *>()) {
            if (!label->text().endsWith(QLatin1Char(':')))
                continue;
            QVERIFY2(label->buddy(), qPrintable(label->objectName()));
            QVERIFY2(related(label, label->buddy()), qPrintable(label->objectName()));
            ++labelled;
        }
    }
    QCOMPARE(labelled, 13); // six on the PJLink page, seven in the dialog
    QCOMPARE(accessibleText(dialog.findChild<QLineEdit *>("name_lineEdit"), QAccessible::Name),
             QStringLiteral("Name:"));
}

// The Rooms view: every control named, each told apart, its labels naming
// their fields, and Tab going from the filters through the table to the
// commands below it.
void TestAccessibility::roomsControlsHaveNames()
{
    TestStore::clear();
    RoomsWindow rooms;
    rooms.load();
    const QList<QWidget *> all = controls(&rooms);
    QCOMPARE(all.size(), 9); // the filter, two combo boxes and six buttons
    QStringList names;
    for (QWidget *control : all) {
        const QString what = control->objectName();
        const QString name = accessibleText(control, QAccessible::Name).trimmed();
        QVERIFY2(!name.isEmpty(), qPrintable(what));
        QVERIFY2(control->focusPolicy() & Qt::TabFocus, qPrintable(what));
        names << name;
    }
    const QStringList named = names;
    names.removeDuplicates();
    QVERIFY2(names.size() == named.size(), qPrintable(named.join(QLatin1String(", "))));
    QCOMPARE(accessibleText(rooms.findChild<QLineEdit *>("textFilter"), QAccessible::Name),
             QStringLiteral("Filter"));
    // On Linux a combo box is named by its current entry ("All groups",
    // "Input…"); elsewhere by the name the form gives it.
    QCOMPARE(rooms.findChild<QComboBox *>("groupFilter")->accessibleName(),
             QStringLiteral("Group"));
    QCOMPARE(rooms.findChild<QComboBox *>("input")->accessibleName(), QStringLiteral("Input"));
    QCOMPARE(accessibleText(rooms.findChild<QTableView *>("table"), QAccessible::Name),
             QStringLiteral("Projectors"));

    // Each label names the field beside it, the spin boxes included.
    int labelled = 0;
    for (QLabel *label : rooms.findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        QVERIFY2(label->buddy(), qPrintable(label->objectName()));
        QVERIFY2(related(label, label->buddy()), qPrintable(label->objectName()));
        QCOMPARE(accessibleText(label->buddy(), QAccessible::Name), label->text());
        ++labelled;
    }
    QCOMPARE(labelled, 2);
    QCOMPARE(rooms.findChild<QLabel *>("pollLabel")->buddy(),
             rooms.findChild<QSpinBox *>("pollSeconds"));
    QCOMPARE(rooms.findChild<QLabel *>("lampLifeLabel")->buddy(),
             rooms.findChild<QSpinBox *>("lampLife"));

    QStringList order;
    for (QWidget *widget = rooms.findChild<QWidget *>("textFilter"); order.size() < 12;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus && !widget->objectName().startsWith("qt_"))
            order << widget->objectName();
    }
    QCOMPARE(order,
             QStringList({ "textFilter", "groupFilter", "pollSeconds", "lampLife", "table",
                           "powerOn", "powerOff", "input", "pictureMute", "soundMute", "unmute",
                           "exportInventory" }));
}

VANTREL_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
