#include "family.h"

#include "acer.h"
#include "infocus.h"
#include "pjlink.h"
#include "vivitek.h"

#include <QCoreApplication>

namespace Family {

namespace {

// Shown in the window's language; vantrelctl, which loads no translation,
// prints them as they stand.
const char *const displayNames[Count]
    = { QT_TRANSLATE_NOOP("Family", "Acer"), QT_TRANSLATE_NOOP("Family", "Vivitek"),
        QT_TRANSLATE_NOOP("Family", "InFocus"), QT_TRANSLATE_NOOP("Family", "PJLink (network)") };
const char *const keyNames[Count] = { "acer", "vivitek", "infocus", "pjlink" };

} // namespace

bool isKnown(int modelIndex)
{
    return modelIndex >= 0 && modelIndex < Count;
}

int orDefault(int modelIndex)
{
    return isKnown(modelIndex) ? modelIndex : Acer::ModelIndex;
}

QString displayName(int modelIndex)
{
    return isKnown(modelIndex) ? QCoreApplication::translate("Family", displayNames[modelIndex])
                               : QStringLiteral("???");
}

QString key(int modelIndex)
{
    return isKnown(modelIndex) ? QLatin1String(keyNames[modelIndex]) : QString();
}

QStringList keys()
{
    QStringList all;
    for (int model = 0; model < Count; ++model)
        all.append(key(model));
    return all;
}

int fromKey(const QString &key)
{
    return keys().indexOf(key);
}

int baudRate(int modelIndex)
{
    return modelIndex == InFocus::ModelIndex ? InFocus::BaudRate : 9600;
}

bool isNetwork(int modelIndex)
{
    return modelIndex == PJLink::ModelIndex;
}

} // namespace Family
