// vantrelctl: the projector from the command line, for scripts and schedules.

#include "commandrun.h"
#include "detection.h"
#ifdef VANTREL_EXPORTER
#include "exporter.h"
#endif
#include "fleet.h"
#include "inventoryrun.h"
#include "invocation.h"
#include "projectoredit.h"
#include "report.h"
#include "search.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrelctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));

    const Invocation invocation(QCoreApplication::arguments());
    Report report(invocation.json);
    switch (invocation.outcome) {
    case Invocation::Outcome::Help:
    case Invocation::Outcome::Version:
        std::fputs(qPrintable(invocation.message), stdout);
        return ExitCode::Done;
    case Invocation::Outcome::UsageError:
        return report.finish(ExitCode::Usage, invocation.message);
    case Invocation::Outcome::ConfigError:
        return report.finish(ExitCode::Config, invocation.message);
    case Invocation::Outcome::Run:
        break;
    }
    for (const QString &warning : invocation.warnings)
        report.warn(warning);
    if (invocation.command == Invocation::Command::Projector)
        return ProjectorEdit(invocation, report).run();
    if (invocation.command == Invocation::Command::Exporter) {
#ifdef VANTREL_EXPORTER
        return Exporter(invocation).run();
#else
        return report.finish(ExitCode::Unavailable,
                             QStringLiteral("exporter is built on Linux only"));
#endif
    }
    if (invocation.command == Invocation::Command::Detect)
        return Detection(invocation, report).run();
    if (invocation.inventory)
        return InventoryRun(invocation).run();
    if (!invocation.targets.isEmpty())
        return Fleet(invocation).run();
    if (invocation.command == Invocation::Command::Search)
        return Search(invocation, report).run();
    return CommandRun::runToEnd(invocation, report);
}
