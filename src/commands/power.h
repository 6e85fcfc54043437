#pragma once

#include <QByteArray>
#include <QString>

// The power commands and the status poll of every family.
namespace Power {

// Empty for a family the program does not know: nothing is sent then.
QByteArray onCommand(int modelIndex);
QByteArray offCommand(int modelIndex);
// The status poll of the poll cycle; Acer's for anything but Vivitek and InFocus.
QByteArray pollCommand(int modelIndex);
// Whether a framed reply is that family's answer to its status poll: Acer
// "Lamp 0" or "Lamp 1", Vivitek "P" and a number, InFocus "(0-3,s)". A
// refusal or anything else is not, so a device of another kind that happens
// to answer is not taken for a projector.
bool answersPoll(int modelIndex, const QString &reply);

} // namespace Power
