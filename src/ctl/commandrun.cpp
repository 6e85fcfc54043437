#include "commandrun.h"

#include "pjlink.h"
#include "pjlinkrun.h"
#include "serialrun.h"

#include <QEventLoop>
#include <QTimer>

CommandRun::CommandRun(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
{ }

std::unique_ptr<CommandRun> CommandRun::create(const Invocation &invocation, Report &report)
{
    if (invocation.model == PJLink::ModelIndex)
        return std::make_unique<PJLinkRun>(invocation, report);
    return std::make_unique<SerialRun>(invocation, report);
}

int CommandRun::runToEnd(const Invocation &invocation, Report &report)
{
    const std::unique_ptr<CommandRun> run = create(invocation, report);
    QEventLoop loop;
    QObject::connect(run.get(), &CommandRun::finished, &loop, &QEventLoop::quit);
    run->start();
    if (!run->isFinished())
        loop.exec();
    return run->exitCode();
}

void CommandRun::end(int exitCode)
{
    if (done)
        return;
    done = true;
    code = exitCode;
    // Queued, so that a caller connecting after start() still hears it.
    QTimer::singleShot(0, this, [this] { emit finished(code); });
}
