#include "commandrun.h"

#include "pjlink.h"
#include "pjlinkrun.h"
#include "serialrun.h"

#include "descriptors.h"

#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstring>

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

void CommandRun::noteProblem(PortStatus::Problem problem, const QString &detail)
{
    using P = PortStatus::Problem;
    const char *key = "other";
    switch (problem) {
    case P::InUse:
        key = "in_use";
        break;
    case P::Refused:
        key = "refused";
        break;
    case P::TimedOut:
        key = "timed_out";
        break;
    case P::NoPortChosen:
    case P::NotPresent:
    case P::BadAddress:
    case P::HostNotFound:
        key = "not_found";
        break;
    case P::PermissionDenied:
        key = "permission_denied";
        break;
    case P::Lost:
    case P::ConnectionLost:
        key = "connection_lost";
        break;
    case P::PasswordRejected:
    case P::PasswordMissing:
        key = "password_rejected";
        break;
    case P::NoGreeting:
        key = "no_answer";
        break;
    case P::NotPJLink:
        key = "not_pjlink";
        break;
    case P::None:
    case P::LineSettingsRefused:
    case P::Other:
        break;
    }
    // Out of descriptors the socket or the port cannot even be made: the
    // program's own want, never the projector's fault.
    if (problem == P::Other
        && (detail.contains(QString::fromLocal8Bit(std::strerror(EMFILE)))
            || detail.contains(QString::fromLocal8Bit(std::strerror(ENFILE)))
            || detail.contains(QLatin1String("Insufficient resources"))
            || Descriptors::exhausted()))
        key = "out_of_descriptors";
    report.set(QStringLiteral("problem"), QLatin1String(key));
}
