#include "preferences.h"

#include "storedsettings.h"
#include "storewriter.h"

#include <QSettings>

namespace {

const QString LanguageKey = QStringLiteral("Preferences/Language");
const QString ReconnectKey = QStringLiteral("Preferences/Reconnect");

} // namespace

namespace Preferences {

QString language()
{
    const QString value = StoredSettings::open()->value(LanguageKey).toString();
    if (value == QLatin1String("de") || value == QLatin1String("fr")
        || value == QLatin1String("system"))
        return value;
    return QString();
}

void setLanguage(StoreWriter &writer, const QString &language)
{
    writer.setValues({ { LanguageKey, language } });
}

bool reconnect()
{
    return StoredSettings::open()->value(ReconnectKey, false).toBool();
}

void setReconnect(StoreWriter &writer, bool on)
{
    writer.setValues({ { ReconnectKey, on } });
}

} // namespace Preferences
