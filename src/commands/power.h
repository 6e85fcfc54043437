#pragma once

#include <QByteArray>

// The power commands and the status poll of every family.
namespace Power {

// Empty for a family the program does not know: nothing is sent then.
QByteArray onCommand(int modelIndex);
QByteArray offCommand(int modelIndex);
// The status poll of the poll cycle; Acer's for anything but Vivitek and InFocus.
QByteArray pollCommand(int modelIndex);

} // namespace Power
