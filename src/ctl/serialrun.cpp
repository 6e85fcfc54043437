#include "serialrun.h"

#include "session.h"

#include <QTimer>

SerialRun::SerialRun(const Invocation &invocation, Report &report)
    : CommandRun(invocation, report)
{ }

void SerialRun::start()
{
    // Interim: the blocking session, run from the event loop.
    QTimer::singleShot(0, this, [this] { end(Session(invocation, report).run()); });
}
