#pragma once

#include "vivitek.h"

#include <QString>

// What a serial family's replies mean, read one way for vantrelctl and the
// session engine alike.
namespace Replies {

// Whether the projector refused the command: Acer "*001", Vivitek anything
// but "P...", InFocus "(ERR)".
bool refused(int modelIndex, const QString &reply);

// "on" or "off" for an Acer or Vivitek answer to the status poll; empty for
// a refusal and anything else.
QString lamp(int modelIndex, const QString &reply);

// What a Vivitek success reply to a get-command says, as the window shows
// it: "on"/"off", a number, a list entry's caption. Empty for other commands.
QString vivitekValue(Vivitek::Meaning meaning, const QString &reply);

// The line the window would log for an Acer reply, a resolution decoded;
// empty when it logs nothing or shows the reply as the lamp state.
QString acerText(const QString &reply);

} // namespace Replies
