#include "preferences.h"

#include "storedsettings.h"

#include <QSettings>

#include <memory>

namespace {

const char LanguageKey[] = "Preferences/Language";
const char ReconnectKey[] = "Preferences/Reconnect";

bool store(const char *key, const QVariant &value)
{
    // Under the edit lock, as the projector list is saved, so that an
    // editor reading the store meanwhile writes this value back too.
    const StoredSettings::EditLock lock;
    const std::unique_ptr<QSettings> settings = StoredSettings::open();
    if (!lock.isLocked() || !StoredSettings::canSave(*settings))
        return false;
    settings->setValue(QLatin1String(key), value);
    return StoredSettings::save(*settings);
}

} // namespace

namespace Preferences {

QString language()
{
    const QString value = StoredSettings::open()->value(QLatin1String(LanguageKey)).toString();
    if (value == QLatin1String("de") || value == QLatin1String("fr")
        || value == QLatin1String("system"))
        return value;
    return QString();
}

bool setLanguage(const QString &language)
{
    return store(LanguageKey, language);
}

bool reconnect()
{
    return StoredSettings::open()->value(QLatin1String(ReconnectKey), false).toBool();
}

bool setReconnect(bool on)
{
    return store(ReconnectKey, on);
}

} // namespace Preferences
