#pragma once

#include "vantrel.h"

// The bench's way into the window (a friend of Vantrel): it drives the tick
// by hand, so that nothing but the tick being measured runs, and reads what
// the window shows. Only members that the previous release has too, so that
// bench/compare-before.sh can build the same bench against it.
class VantrelProbe
{
public:
    static ProjectorLink &serialPort(Vantrel &w) { return w.serialPort; }
    static QTimer &pollTimer(Vantrel &w) { return w.pollTimer; }
    static QTextEdit *log(Vantrel &w) { return w.ui.textEdit; }
    static void log(Vantrel &w, const QString &text) { w.Log(text); }
    static void onTimer(Vantrel &w) { w.OnTimer(); }
    static bool projectorOn(const Vantrel &w) { return w.projectorOn; }
};
