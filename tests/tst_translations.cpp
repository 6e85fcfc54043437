#include "portstatus.h"
#include "preferences.h"
#include "rig.h"
#include "roomswindow.h"
#include "settings.h"
#include "testmain.h"
#include "translations.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>

namespace {

const QString SourceDir = QStringLiteral(VANTREL_SOURCE_DIR);

// What tools/update-translations.sh gives lupdate: the window's sources, not
// vantrelctl's.
const QStringList TranslatedSources
    = { "src/app",    "src/commands", "src/language", "src/link", "src/network",
        "src/pjlink", "src/sessions", "src/settings", "src/ui" };

// Texts that read the same in the language as in English: names of products
// and signals everywhere, and a few words each language shares with English.
const QSet<QString> SameEverywhere
    = { "Vantrel V 2.0", "Acer",     "Vivitek", "InFocus", "VGA 1/2", "DVI",  "S-Video",
        "HDMI",          "HDMI 1",   "HDMI 2",  "RGB 1",   "RGB 2",   "BNC",  "Composite",
        "e-Key",         "4:3",      "16:9",    "TV",      "sRGB",    "Zoom", "Normal",
        "Logo",          "Standard", "Temp.",   "-" };
std::map<QString, QSet<QString>> SameInLanguage = {
    { "de", { "Name", "Name:", "Filter:", "Filter", "Eco", "Firmware", "Warm", "Video", "Debug" } },
    { "fr", { "Image", "Menu", "Volume", "Volume +", "Volume −", "Contact" } },
};

struct Message
{
    QString context;
    QString source;
    QStringList translations; // one, or one per plural form
    QString type; // "unfinished", "obsolete", "vanished" or empty
    QString location;
};

QList<Message> readTs(const QString &path, QString *language)
{
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("TS")) {
            *language = xml.attributes().value(QLatin1String("language")).toString();
        } else if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = Message();
            message.context = context;
        } else if (name == QLatin1String("location") && message.location.isEmpty()) {
            message.location = xml.attributes().value(QLatin1String("filename")).toString()
                + QLatin1Char(':') + xml.attributes().value(QLatin1String("line")).toString();
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            // Plural forms are elements of their own; a plain translation is text.
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isCharacters() && !xml.isWhitespace())
                    message.translations << xml.text().toString();
                else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
                    message.translations << xml.readElementText();
                else if (xml.isEndElement() && xml.name() == QLatin1String("translation"))
                    break;
            }
            messages.append(message);
        }
    }
    if (xml.hasError())
        qWarning("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return messages;
}

QString describe(const Message &message)
{
    QString text = message.source;
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QStringLiteral("  [%1] \"%2\"%3")
        .arg(message.context, text,
             message.location.isEmpty() ? QString() : QLatin1String(" at ") + message.location);
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(?:\\d+|n)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    found.removeDuplicates();
    return found;
}

QStringList tsFiles()
{
    const QDir dir(SourceDir + QLatin1String("/translations"));
    QStringList files;
    for (const QString &name : dir.entryList({ "vantrel_*.ts" }, QDir::Files))
        files << dir.filePath(name);
    return files;
}

void addTsRows()
{
    QTest::addColumn<QString>("path");
    for (const QString &path : tsFiles())
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

// The texts a user reads, by the object that shows them and where.
QMap<QString, QString> shownTexts(QWidget *top)
{
    QMap<QString, QString> texts;
    const auto add = [&texts](const QObject *object, const char *what, const QString &text) {
        if (!object->objectName().isEmpty() && !text.isEmpty())
            texts.insert(object->objectName() + QLatin1Char('.') + QLatin1String(what), text);
    };
    add(top, "windowTitle", top->windowTitle());
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        add(widget, "toolTip", widget->toolTip());
        add(widget, "accessibleName", widget->accessibleName());
        add(widget, "accessibleDescription", widget->accessibleDescription());
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            add(widget, "text", button->text());
        if (auto *label = qobject_cast<QLabel *>(widget))
            add(widget, "text", label->text());
        if (auto *box = qobject_cast<QGroupBox *>(widget))
            add(widget, "title", box->title());
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            add(widget, "placeholderText", edit->placeholderText());
        if (auto *spin = qobject_cast<QSpinBox *>(widget))
            add(widget, "specialValueText", spin->specialValueText());
        if (auto *menu = qobject_cast<QMenu *>(widget))
            add(widget, "title", menu->title());
        if (auto *list = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < list->count(); ++i)
                add(widget, qPrintable(QStringLiteral("item%1").arg(i)), list->itemText(i));
        }
    }
    for (QAction *action : top->findChildren<QAction *>())
        add(action, "text", action->text());
    return texts;
}

QMap<QString, QString> windowTexts(QString *status)
{
    Rig rig(Acer::ModelIndex);
    rig.tick();
    *status = VantrelProbe::portStatus(rig.window());
    Settings dialog(nullptr, Settings::StoredPort);
    QMap<QString, QString> texts = shownTexts(&rig.window());
    const QMap<QString, QString> dialogTexts = shownTexts(&dialog);
    for (auto it = dialogTexts.cbegin(); it != dialogTexts.cend(); ++it)
        texts.insert(QLatin1String("dialog/") + it.key(), it.value());
    return texts;
}

// The Rooms view with no projectors stored, so no row of a user's own:
// its controls, the columns' titles and the filter's first entry.
QMap<QString, QString> roomsTexts()
{
    TestStore::clear();
    RoomsWindow rooms;
    rooms.load();
    QMap<QString, QString> texts = shownTexts(&rooms);
    const QAbstractItemModel *columns = rooms.findChild<QTableView *>("table")->model();
    for (int column = 0; column < columns->columnCount(); ++column)
        texts.insert(QStringLiteral("table.header%1").arg(column),
                     columns->headerData(column, Qt::Horizontal).toString());
    // A refused login's detail, in a row's state and tooltip.
    texts.insert(QStringLiteral("state.loginsRefused"),
                 PortStatus::reason(PortStatus::Problem::PasswordRejected,
                                    QStringLiteral("MD5 and SHA-256 logins refused"))
                     .section(QLatin1Char('('), 1));
    return texts;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { Translations::load(QLocale(QLocale::English)); }
    void tsFilesAreFinished_data() { addTsRows(); }
    void tsFilesAreFinished();
    void sourcesHaveNoUntranslatedText_data() { addTsRows(); }
    void sourcesHaveNoUntranslatedText();
    void windowIsTranslated_data();
    void windowIsTranslated();
    void roomsAreTranslated_data();
    void roomsAreTranslated();
    void vantrelctlStaysEnglish();
};

void TestTranslations::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(tsFiles().size() >= 2);
}

// Every entry translated, none left over, and each translation keeps the
// placeholders and the line ends of its English text.
void TestTranslations::tsFilesAreFinished()
{
    QFETCH(QString, path);
    QString language;
    const QList<Message> messages = readTs(path, &language);
    QVERIFY(messages.size() > 100);
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("vantrel_%1.ts").arg(language));
    QStringList problems;
    for (const Message &message : messages) {
        QString problem;
        if (!message.type.isEmpty())
            problem = message.type;
        else if (message.translations.isEmpty() || message.translations.contains(QString()))
            problem = QStringLiteral("empty");
        for (const QString &translation : message.translations) {
            if (!problem.isEmpty())
                break;
            if (placeholders(translation) != placeholders(message.source))
                problem = QStringLiteral("placeholders differ: \"%1\"").arg(translation);
            else if (translation.endsWith(QLatin1Char('\n')) != message.source.endsWith('\n')
                     || translation.startsWith(QLatin1Char(' ')) != message.source.startsWith(' '))
                problem = QStringLiteral("leading blank or line end differs");
            else if ((message.source.endsWith(QChar(0x2026))
                      || message.source.endsWith(QLatin1String("...")))
                     && !translation.endsWith(QChar(0x2026))
                     && !translation.endsWith(QLatin1String("...")))
                // An entry that opens a dialog says so in every language.
                problem = QStringLiteral("no \"…\" at the end: \"%1\"").arg(translation);
            else if (language == QLatin1String("fr")
                     && QRegularExpression(QStringLiteral("[^\\x{a0}]:(\\s|$)"))
                            .match(translation)
                            .hasMatch())
                // French puts a no-break space before a colon that ends a phrase.
                problem = QStringLiteral("a colon without a no-break space before it: \"%1\"")
                              .arg(translation);
        }
        if (!problem.isEmpty())
            problems << describe(message) + QLatin1String(": ") + problem;
    }
    QVERIFY2(problems.isEmpty(),
             qPrintable(QStringLiteral("%1 entries of %2 to fix in Qt Linguist:\n%3")
                            .arg(problems.size())
                            .arg(QFileInfo(path).fileName(), problems.join('\n'))));
}

// What lupdate finds in the sources now against what the file holds: a text
// added or changed since the file was last brought up to date shows here,
// with where it is.
void TestTranslations::sourcesHaveNoUntranslatedText()
{
    QFETCH(QString, path);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QFileInfo(path).fileName());
    QVERIFY(QFile::copy(path, copy));
    QProcess lupdate;
    lupdate.setWorkingDirectory(SourceDir);
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(VANTREL_LUPDATE),
                  QStringList { "-silent", "-no-obsolete", "-locations", "absolute" }
                      + TranslatedSources + QStringList { "-ts", copy });
    QVERIFY2(lupdate.waitForFinished(60000), qPrintable(lupdate.errorString()));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    QString language;
    QStringList missing;
    for (Message message : readTs(copy, &language)) {
        if (message.type != QLatin1String("unfinished"))
            continue;
        message.location
            = QDir(SourceDir).relativeFilePath(QDir(dir.path()).absoluteFilePath(message.location));
        missing << describe(message);
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("%1 texts of the sources are not translated in %2; run "
                                       "tools/update-translations.sh and translate them:\n%3")
                            .arg(missing.size())
                            .arg(QFileInfo(path).fileName(), missing.join('\n'))));
}

void TestTranslations::windowIsTranslated_data()
{
    QTest::addColumn<QString>("chosen"); // in the Language menu; empty: English
    QTest::addColumn<QString>("system"); // the desktop's locale
    QTest::addColumn<QString>("language"); // what the window shows
    QTest::addColumn<QString>("yes"); // Qt's own text for the Yes button
    const auto row
        = [](const char *name, const char *chosen, const char *system, const char *language,
             const char *yes) { QTest::newRow(name) << chosen << system << language << yes; };
    row("none chosen, German desktop", "", "de_DE", "en", "&Yes");
    row("system, German desktop", "system", "de_DE", "de", "&Ja");
    row("de", "de", "en_GB", "de", "&Ja");
    row("fr", "fr", "de_DE", "fr", "&Oui");
}

// The language is the one chosen in the program's own menu, at the next
// start: with none chosen the window is English as written and no
// translator is installed. In a language the window and the settings dialog
// show no English text, and a message box shows Qt's own buttons in it too.
void TestTranslations::windowIsTranslated()
{
    QFETCH(QString, chosen);
    QFETCH(QString, system);
    QFETCH(QString, language);
    QFETCH(QString, yes);

    QString englishStatus;
    const QMap<QString, QString> english = windowTexts(&englishStatus);
    QVERIFY(english.size() > 150);

    {
        Rig rig(Acer::ModelIndex);
        QAction *choice = nullptr;
        for (QAction *action : rig.window().findChild<QMenu *>("menuLanguage")->actions())
            choice = action->data().toString() == chosen ? action : choice;
        QVERIFY(choice);
        choice->trigger();
        QVERIFY(choice->isChecked());
        QCOMPARE(TestStore::value("Preferences/Language").toString(), chosen);
        QCOMPARE(Preferences::language(), chosen);
        QVERIFY(!rig.window().statusBar()->currentMessage().isEmpty());
        // Applied at the next start: what main() does.
        QCOMPARE(
            Translations::loadChosen(QLocale(system), { QStringLiteral(VANTREL_TRANSLATIONS_DIR) }),
            language != "en");
    }
    QCOMPARE(QCoreApplication::instance()->findChildren<QTranslator *>().isEmpty(),
             language == "en");
    QString status;
    const QMap<QString, QString> translated = windowTexts(&status);
    QCOMPARE(translated.keys(), english.keys());
    // The port's name is the user's, in any language, and each window has its own.
    static const QRegularExpression port(QStringLiteral("/dev/\\S+"));
    const auto samePort = [](QString text) { return text.replace(port, QStringLiteral("PORT")); };
    QCOMPARE(samePort(status) == samePort(englishStatus), language == "en");
    QStringList wrong;
    const QSet<QString> same = SameEverywhere + SameInLanguage[language];
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        const bool unchanged = samePort(translated.value(it.key())) == samePort(it.value());
        if (language == "en" ? !unchanged
                             : unchanged && !same.contains(it.value())
                    && !it.value().startsWith(QLatin1String("/dev/")))
            wrong << QStringLiteral("  %1: \"%2\"").arg(it.key(), translated.value(it.key()));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));

    Rig rig(Acer::ModelIndex);
    QStringList buttons;
    QString text;
    BoxAnswerer answerer;
    answerer.thenDrive([&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        text = box->text();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        box->button(QMessageBox::No)->click();
    });
    rig.ui().powerOff->click();
    QVERIFY(answerer.waitDone());
    QCOMPARE(text == QLatin1String("Turn the projector off?"), language == "en");
    QVERIFY2(buttons.contains(yes), qPrintable(buttons.join(' ')));
}

void TestTranslations::roomsAreTranslated_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("de") << "de";
    QTest::newRow("fr") << "fr";
}

// The Rooms view built in the language shows no English text either.
void TestTranslations::roomsAreTranslated()
{
    QFETCH(QString, language);

    const QMap<QString, QString> english = roomsTexts();
    QVERIFY(english.size() > 20);
    QCOMPARE(english.value("table.header0"), QStringLiteral("Name"));

    QVERIFY(Translations::load(QLocale(language), { QStringLiteral(VANTREL_TRANSLATIONS_DIR) }));
    const QMap<QString, QString> translated = roomsTexts();
    QCOMPARE(translated.keys(), english.keys());
    QStringList untranslated;
    const QSet<QString> same = SameEverywhere + SameInLanguage.at(language);
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        if (translated.value(it.key()) == it.value() && !same.contains(it.value()))
            untranslated << QStringLiteral("  %1: \"%2\"").arg(it.key(), it.value());
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join('\n')));
}

// Scripts read vantrelctl's output: a German session gets it in English,
// though the texts it shares with the window have translations.
void TestTranslations::vantrelctlStaysEnglish()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString port = dir.filePath(QStringLiteral("ttyGone"));
    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("de"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    ctl.setProcessEnvironment(environment);
    ctl.setProcessChannelMode(QProcess::MergedChannels);
    ctl.start(QStringLiteral(VANTRELCTL_EXE_PATH), { "--port", port, "status" });
    QVERIFY(ctl.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(ctl.readAll()).trimmed(),
             QStringLiteral("vantrelctl: %1: not present").arg(port));
}

VANTREL_TEST_MAIN(TestTranslations)
#include "tst_translations.moc"
