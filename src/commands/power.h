#pragma once

#include <QByteArray>
#include <QColor>

// Power commands and lamp indicator colours of all families.
namespace Power {

// Empty for a family the program does not know: nothing is sent then.
QByteArray onCommand(int modelIndex);
QByteArray offCommand(int modelIndex);
// The status poll of the poll cycle; Acer's for anything but Vivitek and InFocus.
QByteArray pollCommand(int modelIndex);
int baudRate(int modelIndex);

QColor transitionColour();
QColor lampOffColour();
QColor lampOnColour();
QColor noContactColour();

} // namespace Power
