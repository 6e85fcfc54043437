#pragma once

#include "vivitek.h"

#include <QList>
#include <QStringList>

// The names press and set take for each family, from the protocol library's
// tables: what list prints and what a wrong name is answered with.
namespace Catalogue {

// The buttons of the family's control page. InFocus shares Acer's page but
// not its Acer-only keys; power is on and off, not a button. PJLink's are
// the mutes, freeze and the volume steps.
QStringList pressNames(int modelIndex);
// Vivitek's lists but the colour temperature, which the window does not let
// the user choose either; none for the other families.
QList<Vivitek::List> settableLists(int modelIndex);
// PJLink has "input", whose entries are the projector's own.
QStringList listNames(int modelIndex);
QStringList entryNames(Vivitek::List list);

} // namespace Catalogue
