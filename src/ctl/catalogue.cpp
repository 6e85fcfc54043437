#include "catalogue.h"

#include "acer.h"
#include "pjlink.h"

namespace Catalogue {

QStringList pressNames(int modelIndex)
{
    QStringList names;
    if (modelIndex == PJLink::ModelIndex) {
        for (const PJLink::ButtonCommand &button : PJLink::buttonCommands())
            names.append(QLatin1String(button.name));
        return names;
    }
    if (modelIndex == Vivitek::ModelIndex) {
        for (const Vivitek::ButtonCommand &button : Vivitek::buttonCommands())
            names.append(QLatin1String(button.name));
        return names;
    }
    for (const Acer::ButtonCommand &button : Acer::buttonCommands()) {
        if (Acer::sendsFor(button, modelIndex))
            names.append(QLatin1String(button.name));
    }
    return names;
}

QList<Vivitek::List> settableLists(int modelIndex)
{
    if (modelIndex != Vivitek::ModelIndex)
        return {};
    return { Vivitek::List::VideoSource, Vivitek::List::DisplayMode, Vivitek::List::Logo,
             Vivitek::List::LampMode };
}

QStringList listNames(int modelIndex)
{
    if (modelIndex == PJLink::ModelIndex)
        return { QStringLiteral("input") };
    QStringList names;
    for (Vivitek::List list : settableLists(modelIndex))
        names.append(Vivitek::listName(list));
    return names;
}

QStringList entryNames(Vivitek::List list)
{
    QStringList names;
    for (int entry = 1; entry < Vivitek::listEntryCount(list); ++entry)
        names.append(Vivitek::listEntryName(list, entry));
    return names;
}

} // namespace Catalogue
