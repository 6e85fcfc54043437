#include "colorgroupbox.h"
#include "portenumeration.h"
#include "projectorlist.h"
#include "rig.h"
#include "settings.h"
#include "storedsettings.h"
#include "testmain.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMetaMethod>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QTranslator>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// In declaration order, the meta-object's slot indices.
const char SlotTableText[]
    = "on_info_clicked() on_connectionStatus_clicked() on_clearLog_clicked() on_freeze_clicked() "
      "on_company_clicked() on_compositeVideo_clicked() on_searchVideo_clicked() on_zoom_clicked() "
      "on_colorTemperature_clicked() on_hdmi_clicked() on_dvi_clicked() on_sVideo_clicked() "
      "on_analogRGB_clicked() on_eKey_clicked() on_color_clicked() on_contrast_clicked() "
      "on_brightness_clicked() on_aspect16_9_clicked() on_aspect4_3_clicked() "
      "on_resolution_clicked() on_keystoneDown_clicked() on_keystoneUpp_clicked() "
      "on_hide_clicked() on_keystone_clicked() on_powerOff_clicked() on_ok_clicked() "
      "on_left_clicked() on_down_clicked() on_right_clicked() on_up_clicked() on_menu_clicked() "
      "on_queryModel_clicked() on_queryLampTime_clicked() on_powerOn_clicked() OnTimer() OnAbout() "
      "on_actionSettings_triggered() on_actionFileExit_triggered() on_vvtPowerOn_clicked() "
      "on_vvtPowerOff_clicked() on_vvtLampTime_clicked() on_vvtFirmware_clicked() "
      "on_vvtKeyStoneUp_clicked() on_vvtKeyStoneDown_clicked() on_vvtPModeFront_clicked() "
      "on_vvtPModeRear_clicked() on_vvtPModeCeiling_clicked() on_vvtPModeRearCeiling_clicked() "
      "on_vvtVideoSourceCbx_activated(int) on_vvtDisplayModeCbx_activated(int) "
      "on_vvtUnBlank_clicked() on_vvtBlank_clicked() on_vvtLogoSelectCbx_activated(int) "
      "on_vvtAspect4_3_clicked() on_vvtAspect16_9_clicked() on_vvtLampModeCbx_activated(int) "
      "on_vvtColorTempCbx_activated(int) on_vvtBrightnessUp_clicked() "
      "on_vvtBrightnessDown_clicked()";

// Fusion without the group box frame, which would cover the fill's edge.
class FramelessGroupBoxStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_FrameGroupBox)
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        titleRect = subControlRect(control, option, SC_GroupBoxLabel, widget);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    mutable QRect titleRect;
};

// Every text passed through tr() or the form's translation comes out marked:
// a text that must read as written shows it is not.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QStringLiteral("[tr]") + QString::fromUtf8(source);
    }
};

// What a menu shows, separators as "-".
QString entries(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts.join('|');
}

// The title, then what the status bar shows: its message or its visible labels.
QString titleAndStatus(Vantrel &w)
{
    QCoreApplication::sendPostedEvents();
    QStringList shown;
    if (!w.statusBar()->currentMessage().isEmpty())
        shown << w.statusBar()->currentMessage();
    for (const QLabel *label : w.statusBar()->findChildren<QLabel *>()) {
        if (label->isVisibleTo(w.statusBar()) && !label->text().isEmpty())
            shown << label->text();
    }
    return w.windowTitle() + QStringLiteral(" | ") + shown.join(QStringLiteral(" · "));
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void slotTableAndWiring();
    void describedForm_data();
    void describedForm();
    void aboutBox();
    void closeConfirmation_data();
    void closeConfirmation();
    void pendingHeight();
    void colorGroupBoxFill();
    void saveLog_data();
    void saveLog();
    void longOrOddPortName_data();
    void longOrOddPortName();
    void settingsDialog_data();
    void settingsDialog();
};

void TestWindow::slotTableAndWiring()
{
    Rig rig;
    Vantrel &w = rig.window();
    const QMetaObject &meta = Vantrel::staticMetaObject;
    const QByteArrayList table = QByteArray(SlotTableText).split(' ');
    QCOMPARE(meta.methodCount() - meta.methodOffset(), table.size());
    for (int i = 0; i < table.size(); ++i) {
        const QByteArray &signature = table.at(i);
        const QMetaMethod slot = meta.method(meta.methodOffset() + i);
        QCOMPARE(slot.methodSignature(), signature);
        QVERIFY(slot.methodType() == QMetaMethod::Slot && slot.access() == QMetaMethod::Private);
        QCOMPARE(slot.parameterNames(),
                 slot.parameterCount() ? QByteArrayList { "index" } : QByteArrayList());
        // Wired by name but for the brightness pair and two by hand; disconnect() proves it.
        if (!signature.startsWith("on_") || signature.startsWith("on_vvtBrightness"))
            continue;
        const int split = signature.lastIndexOf('_', signature.indexOf('('));
        QObject *sender = w.findChild<QObject *>(QString::fromLatin1(signature.mid(3, split - 3)));
        const QByteArray signal = QByteArray::number(QSIGNAL_CODE) + signature.mid(split + 1);
        const QByteArray method = QByteArray::number(QSLOT_CODE) + signature;
        QVERIFY2(sender && QObject::disconnect(sender, signal, &w, method), signature);
    }
    QVERIFY(VantrelProbe::pollTimer(w).disconnect(SIGNAL(timeout()), &w, SLOT(OnTimer())));
    QVERIFY(rig.ui().actionAbout->disconnect(SIGNAL(triggered()), &w, SLOT(OnAbout())));
    // Nothing else reaches the window's slots: not the brightness pair, not a stray object.
    QList<QObject *> everyObject = w.findChildren<QObject *>();
    for (QObject *object : everyObject << &w << &VantrelProbe::pollTimer(w))
        QVERIFY2(!object->disconnect(&w), qPrintable(object->objectName()));
}

void TestWindow::describedForm_data()
{
    // aspect: what is pinned; object: where; expected: as the form shows it.
    QTest::addColumn<QString>("aspect");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("expected");
    const auto row = [](const QString &aspect, const QString &object, const QString &expected) {
        // A list of widgets goes by what they share.
        const QString what = aspect == "focus" && object.contains(' ') ? expected : object;
        QTest::newRow(qPrintable(aspect + ' ' + what)) << aspect << object << expected;
    };

    // The program's own menu sits between File and Help.
    row("menu", "menuBar", "File|Projector|Help");
    row("menu", "menuSettings", "Settings|-|Exit");
    row("menu", "menuAbout", "About");
    row("menu", "menuLanguage", QString::fromUtf8("English|System language|Deutsch|Français"));
    // After the projector list.
    row("own menu", "menuProjector", QString::fromUtf8("-|Rooms…|Save log…|Language"));
    row("shortcut", "actionRooms", "Ctrl+R");

    row("focus", "VantrelClass", "StrongFocus");
    const QString noFocus
        = "connectionStatus debugCheckBox powerOn powerOff analogRGB dvi sVideo hdmi "
          "compositeVideo searchVideo brightness contrast colorTemperature zoom freeze hide "
          "queryLampTime queryModel resolution company keystoneUpp keystoneDown keystone up left "
          "ok right down menu eKey aspect4_3 aspect16_9 vvtPowerOn vvtPowerOff vvtKeyStoneUp "
          "vvtKeyStoneDown";
    row("focus", noFocus, "NoFocus");
    const QString ownFocus
        = "info asciiCheckBox clearLog textEdit color vvtUnBlank vvtBlank vvtAspect4_3 "
          "vvtAspect16_9 vvtLampModeCbx vvtLampTime vvtFirmware vvtColorTempCbx vvtPModeFront "
          "vvtPModeRear vvtPModeCeiling vvtPModeRearCeiling vvtVideoSourceCbx vvtLogoSelectCbx "
          "pushButton vvtDisplayModeCbx";
    row("focus", ownFocus, "default");

    row("children", "on_off_groupBox", "powerOn powerOff");
    row("children", "vvt_on_off_groupBox", "vvtPowerOn vvtPowerOff");

    // A serial port chosen in Settings; a named projector on the same port.
    row("title", "port from Settings", "Vantrel V 2.0 | ");
    row("title", "named projector",
        "Vantrel V 2.0 - hall | Connected to %port (Acer, 9600 baud) · hall");

    // Shown as written whatever the language.
    row("as written", "LAMP 1", "Lamp is On");
    row("as written", "LAMP 0", "Lamp is Off");
    row("as written", "P1250", "Lamp Time = 1250 h\n");
}

// The form, menus, slots, focus and texts a user of a serial port chosen in
// Settings gets; the program's own additions switch on only beside them.
void TestWindow::describedForm()
{
    QFETCH(QString, aspect);
    QFETCH(QString, object);
    QFETCH(QString, expected);

    MarkingTranslator marking;
    if (aspect == "as written")
        QCoreApplication::installTranslator(&marking);
    Rig rig(object == "P1250" ? Vivitek::ModelIndex : Acer::ModelIndex);
    Vantrel &w = rig.window();
    Ui::VantrelClass &ui = rig.ui();

    if (aspect == "menu" || aspect == "own menu") {
        QWidget *menu = w.findChild<QWidget *>(object);
        QVERIFY(menu);
        const QString shown = entries(menu->actions());
        if (aspect == "menu") {
            QCOMPARE(shown, expected);
        } else {
            // In this order below the projector list, whatever else comes between.
            const QStringList shownEntries = shown.split('|');
            int at = 0;
            for (const QString &entry : expected.split('|'))
                at = at < 0 ? at : shownEntries.indexOf(entry, qMax(at, 1));
            QVERIFY2(at > 0, qPrintable(shown));
        }
    } else if (aspect == "shortcut") {
        QCOMPARE(w.findChild<QAction *>(object)->shortcut().toString(), expected);
    } else if (aspect == "focus") {
        for (const QString &name : object.split(' ')) {
            QWidget *widget = name == w.objectName() ? &w : w.findChild<QWidget *>(name);
            QVERIFY2(widget, qPrintable(name));
            // "default": what buttons, check boxes, lists and the text pane of
            // Qt take, a click and Tab alike (a list the wheel too).
            if (expected == "default")
                QVERIFY2((widget->focusPolicy() & Qt::StrongFocus) == Qt::StrongFocus,
                         qPrintable(name));
            else
                QVERIFY2(widget->focusPolicy()
                             == (expected == "NoFocus" ? Qt::NoFocus : Qt::StrongFocus),
                         qPrintable(name));
        }
    } else if (aspect == "children") {
        QStringList names;
        for (const QObject *child : w.findChild<QWidget *>(object)->children()) {
            if (child->isWidgetType())
                names << child->objectName();
        }
        QCOMPARE(names.join(' '), expected);
    } else if (aspect == "title") {
        if (object == "named projector") {
            ProjectorList projectors;
            QVERIFY(projectors.add({ "hall", Acer::ModelIndex, rig.modem.portName(), {}, {} }));
            QVERIFY(projectors.write());
            VantrelProbe::configure(w, false);
        }
        QCOMPARE(titleAndStatus(w), expected.replace("%port", rig.modem.portName()));
    } else if (aspect == "as written") {
        QCOMPARE(ui.on_off_groupBox->title(), QStringLiteral("[tr]On/Off"));
        if (object == "P1250") {
            ui.vvtLampTime->click();
            rig.clearLog();
            QVERIFY(rig.receive("P1250\r"));
            QCOMPARE(rig.log(), expected);
        } else {
            QVERIFY(rig.receive(object.toLatin1() + '\r'));
            QCOMPARE(ui.on_off_groupBox->toolTip(), expected);
            QCOMPARE(ui.vvt_on_off_groupBox->toolTip(), expected);
        }
    }
    QCoreApplication::removeTranslator(&marking);
}

void TestWindow::aboutBox()
{
    Rig rig;
    BoxAnswerer answerer(QMessageBox::Ok);
    rig.ui().actionAbout->trigger();
    QVERIFY(answerer.waitDone());
    QCOMPARE(answerer.box().title, QStringLiteral("About"));
    const QStringList parts = answerer.box().text.split(QStringLiteral("\n\n"));
    QCOMPARE(parts.size(), 5);
    QCOMPARE(parts.mid(0, 2), QStringList({ "Vantrel", "Serial RS-232 Remote Control" }));
    QCOMPARE(parts.at(3), QStringLiteral("This program is available for Windows And Linux"));
}

void TestWindow::closeConfirmation_data()
{
    QTest::addColumn<int>("answer"); // NoButton: the lamp is off, no question
    QTest::addColumn<bool>("viaExit");
    QTest::newRow("lamp off, Exit") << int(QMessageBox::NoButton) << true;
    QTest::newRow("lamp on, Exit, No") << int(QMessageBox::No) << true;
    QTest::newRow("lamp on, Yes: power off") << int(QMessageBox::Yes) << false;
}

void TestWindow::closeConfirmation()
{
    QFETCH(int, answer);
    QFETCH(bool, viaExit);
    Rig rig;
    QVERIFY(rig.show());
    VantrelProbe::setProjectorOn(rig.window(), answer != QMessageBox::NoButton);
    BoxAnswerer answerer;
    if (answer != QMessageBox::NoButton)
        answerer.thenPress(QMessageBox::StandardButton(answer));
    viaExit ? rig.ui().actionFileExit->trigger() : void(rig.window().close());
    QVERIFY(answerer.waitDone());
    QVERIFY(!rig.window().isVisible());
    if (answer != QMessageBox::NoButton) {
        QCOMPARE(answerer.box().title, QStringLiteral("Projector is on!"));
        QCOMPARE(answerer.box().text,
                 QStringLiteral("The projectorn is On.\nDo you want to turn it off?"));
        QCOMPARE(answerer.box().buttons, QMessageBox::Yes | QMessageBox::No);
    }
    QCOMPARE(rig.sent(), QByteArray(answer == QMessageBox::Yes ? "* 0 IR 002\r" : ""));
}

void TestWindow::pendingHeight()
{
    Rig rig;
    Vantrel &w = rig.window();
    Ui::VantrelClass &ui = rig.ui();
    QVERIFY(rig.show());
    QCOMPARE(VantrelProbe::pendingHeight(w), 200);
    // resize() keeps to the minimum size the layout gives the window.
    rig.tick();
    QCOMPARE(w.height(), qMax(200, w.minimumHeight()));
    ui.info->click();
    QTRY_VERIFY(ui.infoFrame->height() > 0
                && ui.infoFrame->geometry().bottom() < ui.centralWidget->height());
    const int shownHeight = w.height();
    const int paneHeight = ui.infoFrame->height();

    ui.info->click();
    QCOMPARE(VantrelProbe::pendingHeight(w), shownHeight - paneHeight - 10);
    QCOMPARE(w.height(), shownHeight); // nothing moves before the tick
    QTRY_VERIFY(w.minimumHeight() < shownHeight);
    rig.tick();
    QCOMPARE(w.height(), qMax(shownHeight - paneHeight - 10, w.minimumHeight()));
    QVERIFY(w.height() < shownHeight);
}

void TestWindow::colorGroupBoxFill()
{
    for (const auto &[size, colour] :
         { std::pair(QSize(100, 60), QColor()), std::pair(QSize(157, 93), Rig::LampOffColour) }) {
        FramelessGroupBoxStyle style(QStringLiteral("Fusion"));
        ColorGroupBox box;
        box.setStyle(&style);
        box.setTitle(QStringLiteral("Power"));
        box.resize(size);
        if (colour.isValid())
            box.fillColor = colour;
        const QRgb expected = colour.isValid() ? colour.rgb() : Rig::TransitionColour.rgb();
        const QImage image = box.grab().toImage();
        const QRect fill(QPoint(1, 8), QPoint(size.width() - 2, size.height() - 2));
        int titleInk = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool filled = image.pixel(x, y) == expected;
                if (style.titleRect.contains(x, y))
                    titleInk += fill.contains(x, y) && !filled;
                else if (filled != fill.contains(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
            }
        }
        QVERIFY(titleInk > 0); // the title is drawn over the fill
    }
}

void TestWindow::saveLog_data()
{
    QTest::addColumn<QString>("name"); // in the run's directory; empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("before"); // an older file of that name; empty: none
    QTest::addColumn<bool>("saved");

    QTest::newRow("new file") << "log-new.txt" << QByteArray() << true;
    QTest::newRow("older file, replace it") << "log-old.txt" << QByteArray("older\n") << true;
    QTest::newRow("cancelled") << "" << QByteArray() << false;
    QTest::newRow("no such folder") << "not-a-folder/log.txt" << QByteArray() << false;
}

// What the pane holds goes to the file the user picks, as UTF-8, whole or not at all.
void TestWindow::saveLog()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    QFETCH(bool, saved);
    const QString path = TestStore::runDirectory() + '/' + name;
    QFile::remove(path);
    if (!before.isEmpty()) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(before) == before.size());
    }
    QFile notAFolder(TestStore::runDirectory() + "/not-a-folder");
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));

    Rig rig(0, true);
    rig.ui().asciiCheckBox->setChecked(true);
    rig.tick();
    QVERIFY(rig.receive("Projekt\xf6r 7\r"));
    const QString pane = rig.log();
    QVERIFY(pane.contains(QString::fromUtf8("-> Projektör 7\n")));

    BoxAnswerer answerer;
    answerer.thenDrive([&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(files);
        if (name.isEmpty())
            return dialog->reject();
        // Typed, as a user does: selectFile() leaves a focused name field alone.
        files->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        dialog->accept(); // QFileDialog hides it; the dialog checks the name as for a click
    });
    if (!before.isEmpty())
        answerer.thenPress(QMessageBox::Yes); // the file dialog's own question
    if (!name.isEmpty() && !saved)
        answerer.thenPress(QMessageBox::Ok);
    rig.ui().actionSaveLog->trigger();
    QVERIFY2(answerer.waitDone(), qPrintable(answerer.problems()));
    if (!name.isEmpty() && !saved)
        QCOMPARE(answerer.boxes().last().title, QString("Log not saved"));

    QFile file(path);
    if (saved) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), pane.toUtf8());
    } else if (!name.isEmpty()) {
        QCOMPARE(file.exists(), !before.isEmpty());
    }
}

void TestWindow::longOrOddPortName_data()
{
    QTest::addColumn<QString>("name"); // in the run's directory; empty: a path of 300 characters
    QTest::addColumn<bool>("elided"); // must be; false: as the width allows
    QTest::newRow("by-id link")
        << "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0-with-a-longer-name" << true;
    // QSerialPort cannot open it: its lock file's name would be too long.
    QTest::newRow("300 characters") << "" << true;
    QTest::newRow("percent signs") << "p%1%2%3" << false;
}

// A long name never widens the window: the status line shortens the name and
// keeps what it says of the port whole. Every name is shown as it is.
void TestWindow::longOrOddPortName()
{
    QFETCH(QString, name);
    QFETCH(bool, elided);
    QString path = TestStore::runDirectory() + '/' + name;
    if (name.isEmpty()) {
        path += QString(150, 'd') + '/';
        path += QString(300 - path.size(), 'p');
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    Rig rig;
    Vantrel &w = rig.window();
    rig.ui().actionReconnect->trigger(); // the port is waited for
    QVERIFY(rig.show());
    const int width = w.width();
    const ElidingLabel &status = VantrelProbe::portStatusLabel(w);
    const auto shows = [&](const QString &whole) {
        QCoreApplication::sendPostedEvents();
        QCOMPARE(status.text(), whole);
        const QString shown = status.shownText();
        QVERIFY2(status.fontMetrics().horizontalAdvance(shown) <= status.contentsRect().width(),
                 qPrintable(shown));
        // What follows the name, the state of the port, is never shortened.
        QVERIFY2(shown.endsWith(whole.mid(whole.indexOf(path) + path.size())), qPrintable(shown));
        QVERIFY(shown != whole || !elided);
        // The whole text as it stands, markup in the port's name included.
        QTextDocument toolTip;
        toolTip.setHtml(status.toolTip());
        QCOMPARE(toolTip.toPlainText(), shown != whole ? whole : QString());
        QCOMPARE(w.width(), width);
        QVERIFY(w.minimumSizeHint().width() <= width);
    };

    std::unique_ptr<NullModem> modem;
    if (name.isEmpty())
        modem = std::make_unique<NullModem>(path);
    // The status bar speaks of the port for a named projector only.
    ProjectorList projectors;
    QVERIFY(projectors.add({ "long", Acer::ModelIndex, path, {}, {} }));
    QVERIFY(projectors.write());
    VantrelProbe::configure(w, false);
    QVERIFY(rig.log().startsWith("Opening port " + path + '\n'));
    QVERIFY(status.text().startsWith(path + ": "));
    shows(status.text());
    if (name.isEmpty())
        return;

    modem = std::make_unique<NullModem>(path);
    rig.tick(PollClock::PollEvery);
    shows("Connected to " + path + " (Acer, 9600 baud)");
    QCOMPARE(modem->readBytes(11), QByteArray("* 0 Lamp ?\r"));
    modem->unplug();
    QTRY_VERIFY(!VantrelProbe::serialPort(w).isOpen());
    QVERIFY(rig.log().endsWith("Lost serial port " + path + ": the device has gone away.\n"));
    shows(path + ": device lost, waiting for it to return");
}

namespace {

// The settings dialog's form as headings and what each holds.
QMap<QString, QString> settingsForm(Settings &dialog)
{
    QMap<QString, QString> form;
    const auto item = [](QLayoutItem *item) {
        if (QWidget *widget = item->widget()) {
            QStringList parts { widget->objectName() };
            if (widget->property("text").isValid())
                parts << '"' + widget->property("text").toString() + '"';
            if (auto *combo = qobject_cast<QComboBox *>(widget))
                for (int i = 0; i < combo->count(); ++i)
                    parts << '"' + combo->itemText(i) + '"';
            return parts.join(' ');
        }
        if (QLayout *layout = item->layout())
            return layout->objectName() + " spacing " + QString::number(layout->spacing());
        return QString("spacer %1 x %2")
            .arg(item->sizeHint().width())
            .arg(item->sizeHint().height());
    };
    form["window"] = QString("%1 \"%2\" %3 x %4")
                         .arg(dialog.objectName(), dialog.windowTitle())
                         .arg(dialog.width())
                         .arg(dialog.height());
    QLayout *outer = dialog.layout();
    QStringList parts {
        QString("%1 margins %2:").arg(item(outer)).arg(outer->contentsMargins().left())
    };
    for (int i = 0; i < outer->count(); ++i)
        parts << item(outer->itemAt(i));
    form["layout"] = parts.join(' ');
    auto *grid = dialog.findChild<QGridLayout *>("gridLayout");
    parts.clear();
    for (int row = 0; row < grid->rowCount(); ++row)
        parts << item(grid->itemAtPosition(row, 0)) + " | " + item(grid->itemAtPosition(row, 1));
    form["rows"] = parts.join(" / ");
    QLayout *buttons = dialog.findChild<QHBoxLayout *>("horizontalLayout");
    parts.clear();
    for (int i = 0; i < buttons->count(); ++i)
        parts << item(buttons->itemAt(i));
    form["buttons"] = parts.join(" | ");
    const QMetaObject &meta = Settings::staticMetaObject;
    parts.clear();
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        parts << meta.method(i).methodSignature();
    form["meta-object"] = parts.join(' ');
    // Each slot from its button's clicked(), and nothing else reaching the dialog.
    parts.clear();
    for (const QString name : { "cancelSettings", "applySettings" }) {
        const QByteArray slot
            = QByteArray::number(QSLOT_CODE) + "on_" + name.toLatin1() + "_clicked()";
        if (QObject::disconnect(dialog.findChild<QPushButton *>(name), SIGNAL(clicked()), &dialog,
                                slot.constData()))
            parts << name;
    }
    for (QObject *object : dialog.findChildren<QObject *>())
        if (QObject::disconnect(object, nullptr, &dialog, nullptr))
            parts << "also " + object->objectName();
    form["wiring"] = parts.join(' ');
    parts.clear();
    for (QWidget *w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            parts << w->objectName();
    form["tab order"] = parts.join(' ');
    // Buddies, tool tips, names for a screen reader, default buttons, minimum sizes.
    parts.clear();
    for (QWidget *w : dialog.findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(w);
        auto *button = qobject_cast<QPushButton *>(w);
        if ((label && label->buddy()) || !w->toolTip().isEmpty() || !w->accessibleName().isEmpty()
            || (button && button->isDefault()) || !w->minimumSize().isNull())
            parts << w->objectName();
    }
    form["extras"] = parts.join(' ');
    return form;
}

} // namespace

void TestWindow::settingsDialog_data()
{
    // "form HEADING": what the form holds under it; otherwise a store, a step,
    // and the label, family, title and store afterwards.
    QTest::addColumn<QString>("expected");

    QTest::newRow("form window") << "SettingsClass \"Settings\" 211 x 100";
    QTest::newRow("form layout")
        << "verticalLayout spacing 6 margins 11: gridLayout spacing 6 horizontalLayout spacing 6";
    QTest::newRow("form rows") << "label_2 \"Model:\" | model_comboBox \"Acer\" \"Vivitek\" "
                                  "\"InFocus\" / label \"Com Port:\" | port_comboBox";
    QTest::newRow("form buttons")
        << "applySettings \"Ok\" | spacer 40 x 20 | cancelSettings \"Cancel\"";
    QTest::newRow("form meta-object") << "on_cancelSettings_clicked() on_applySettings_clicked()";
    QTest::newRow("form wiring") << "cancelSettings applySettings";
    QTest::newRow("form tab order") << "model_comboBox port_comboBox applySettings cancelSettings";
    QTest::newRow("form extras") << "";

    // Described: a family no list holds reads "???"; Ok stores -1 and the
    // two keys alone, and the window drives no named projector.
    QTest::newRow("ok, Model 7 and no choice") << "??? -1 Vantrel V 2.0 keys";
    QTest::newRow("ok, a named list stays as it stands") << "Acer 0 Vantrel V 2.0 list kept";
    // Extension: the program's own dialog makes the projector shown current.
    QTest::newRow("projectors, b chosen") << "Vivitek 1 Vantrel V 2.0 - b list b";
    // Ok saves at once (the rows above). Extension's trigger: another program
    // holds the lock; the window goes on polling, and Ok saves once it is let go.
    QTest::newRow("ok, the lock held meanwhile") << "Acer 0 Vantrel V 2.0 keys";
}

// The settings dialog as described, pinned as a table, and what Ok and the
// Projectors… dialog leave in the window and the store.
void TestWindow::settingsDialog()
{
    QFETCH(QString, expected);
    const QString tag = QTest::currentDataTag();
    if (tag.startsWith("form ")) {
        // As a first start finds it: nothing stored, no port listed.
        TestStore::clear();
        PortEnumeration::setLister([] { return QStringList(); });
        const auto restore = qScopeGuard([] { PortEnumeration::setLister({}); });
        Settings dialog;
        QCOMPARE(settingsForm(dialog).value(tag.mid(5), "<none>"), expected);
        return;
    }

    Rig rig;
    const bool named = tag.contains("named") || tag.startsWith("projectors");
    if (named) {
        ProjectorList projectors;
        QVERIFY(projectors.add({ "a", 0, rig.modem.portName(), {}, {} }));
        QVERIFY(projectors.add({ "b", 1, rig.modem.portName(), {}, "north" }));
        QVERIFY(projectors.write());
        VantrelProbe::configure(rig.window(), false); // what start-up runs
        QCOMPARE(rig.window().windowTitle(), QString("Vantrel V 2.0 - a"));
    }
    if (tag.contains("Model 7")) {
        TestStore::set("Model", 7);
        VantrelProbe::configure(rig.window(), false);
        QCOMPARE(rig.ui().model_label->text(), QString("???"));
    }
    QFile file(TestStore::fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    int held = -1;
    const auto cleanUp = qScopeGuard([&held] {
        if (held >= 0)
            ::close(held);
    });
    if (tag.contains("held")) {
        const QByteArray lock = QFile::encodeName(StoredSettings::EditLock::fileName());
        held = ::open(lock.constData(), O_RDONLY | O_CREAT, 0600);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
    }
    DialogDriver driver([&](QDialog *dialog) {
        if (tag.startsWith("projectors")) {
            auto *list = dialog->findChild<QComboBox *>("projector_comboBox");
            list->setCurrentIndex(list->findText("b"));
        }
        dialog->findChild<QPushButton *>("applySettings")->click();
        if (held < 0)
            return;
        // Ok came back at once: the dialog waits, the window polls.
        QVERIFY(dialog->isVisible());
        rig.modem.readAll();
        VantrelProbe::pollTimer(rig.window()).start();
        QCOMPARE(rig.modem.readBytes(11, 10000), QByteArray("* 0 Lamp ?\r"));
        VantrelProbe::pollTimer(rig.window()).stop();
        ::close(std::exchange(held, -1));
    });
    (tag.startsWith("projectors") ? rig.window().findChild<QAction *>("actionProjectors")
                                  : rig.ui().actionSettings)
        ->trigger();
    QVERIFY(driver.waitDone(20000));

    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    const auto list
        = [](const QByteArray &bytes) { return bytes.mid(bytes.indexOf("[Projectors]")); };
    QStringList shown { rig.ui().model_label->text(),
                        QString::number(VantrelProbe::modelIndex(rig.window())),
                        rig.window().windowTitle() };
    if (!named)
        shown << (TestStore::keys() == QStringList({ "ComPort", "Model" }) ? "keys" : "more");
    else if (tag.startsWith("ok"))
        shown << (list(after) == list(before) ? "list kept" : "list changed");
    else
        shown << "list" << TestStore::value("Projector").toString();
    QCOMPARE(shown.join(' '), expected);
    QCOMPARE(TestStore::value("Model").toInt(), VantrelProbe::modelIndex(rig.window()));
}

VANTREL_TEST_MAIN(TestWindow)

#include "tst_window.moc"
