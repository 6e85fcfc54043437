#pragma once

#include <QString>
#include <QStringList>

// The projector families by their model number, the value stored under
// "Model": 0 Acer, 1 Vivitek, 2 InFocus on a serial line, 3 PJLink on the
// network. Any other number is a bad stored value, which every caller has to
// survive.
namespace Family {

constexpr int Count = 4;

bool isKnown(int modelIndex);
// The family the window takes a stored number for: the number itself when it
// names a family, else Acer, whose page a bad value always showed.
int orDefault(int modelIndex);
// "Acer", "Vivitek", "InFocus", "PJLink (network)", or "???" for an
// unknown number.
QString displayName(int modelIndex);
// "acer", "vivitek", "infocus", "pjlink", or empty for an unknown number.
QString key(int modelIndex);
QStringList keys();
// The model number of a key, or -1.
int fromKey(const QString &key);
// Line speed in baud: InFocus runs at 19200, everything else at 9600.
int baudRate(int modelIndex);
// Whether the family is reached by its own network protocol rather than a
// serial line (which may itself run through a network serial server).
bool isNetwork(int modelIndex);

} // namespace Family
