#include "translations.h"

#include "preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const char TranslatorName[] = "vantrel-translator";

QString qtTranslationsPath()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

bool install(QCoreApplication *app, const QLocale &locale, const QString &name,
             const QStringList &directories)
{
    auto *translator = new QTranslator(app);
    translator->setObjectName(QLatin1String(TranslatorName));
    for (const QString &directory : directories) {
        if (translator->load(locale, name, QStringLiteral("_"), directory)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

} // namespace

QStringList Translations::directories()
{
    const QDir program(QCoreApplication::applicationDirPath());
    return { program.filePath(QStringLiteral("translations")),
             QDir::cleanPath(program.filePath(QStringLiteral("../share/vantrel/translations"))) };
}

bool Translations::load(const QLocale &locale, const QStringList &directories)
{
    QCoreApplication *app = QCoreApplication::instance();
    for (QTranslator *old : app->findChildren<QTranslator *>(QLatin1String(TranslatorName),
                                                             Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    // QTranslator goes through the locale's languages in order; English
    // first means the source texts, even where a later language has a file.
    if (locale.uiLanguages().value(0).startsWith(QLatin1String("en")))
        return false;
    install(app, locale, QStringLiteral("qtbase"), { qtTranslationsPath() });
    return install(app, locale, QStringLiteral("vantrel"), directories);
}

bool Translations::loadChosen(const QLocale &system, const QStringList &directories)
{
    const QString language = Preferences::language();
    if (language.isEmpty())
        return load(QLocale(QLocale::English), directories);
    return load(language == QLatin1String("system") ? system : QLocale(language), directories);
}
