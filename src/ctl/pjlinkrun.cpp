#include "pjlinkrun.h"

#include "pjlinkcommandline.h"

#include <QTimer>

PJLinkRun::PJLinkRun(const Invocation &invocation, Report &report)
    : CommandRun(invocation, report)
{ }

void PJLinkRun::start()
{
    // Interim: the blocking command line, run from the event loop.
    QTimer::singleShot(0, this, [this] { end(PJLinkCommandLine(invocation, report).run()); });
}
