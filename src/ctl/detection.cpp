#include "detection.h"

#include "family.h"
#include "portenumeration.h"
#include "projectorfinder.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>

Detection::Detection(const Invocation &invocation, Report &report)
    : invocation(invocation)
    , report(report)
{ }

int Detection::run()
{
    report.set(QStringLiteral("command"), invocation.commandName);
    QStringList ports = invocation.scan ? PortEnumeration::availablePortNames() : QStringList();
    ports += invocation.ports;

    ProjectorFinder finder;
    if (Family::isKnown(invocation.model))
        finder.setFamilies({ invocation.model });
    // --timeout is the wait for each answer, here each family's on each port.
    if (invocation.timeoutGiven)
        finder.setWaitMs(invocation.timeoutMs);
    QEventLoop loop;
    QObject::connect(&finder, &ProjectorFinder::finished, &loop, &QEventLoop::quit);
    finder.start(ports);
    loop.exec();

    using Result = ProjectorFinder::Result;
    QJsonArray entries;
    int answered = 0;
    for (const Result &result : finder.results()) {
        QJsonObject entry { { QStringLiteral("port"), result.port } };
        QString said;
        switch (result.outcome) {
        case Result::Found:
            ++answered;
            entry.insert(QStringLiteral("family"), Family::key(result.model));
            said = Family::displayName(result.model);
            break;
        case Result::Unavailable:
            entry.insert(QStringLiteral("family"), QJsonValue::Null);
            entry.insert(QStringLiteral("error"), result.reason);
            said = result.reason;
            break;
        case Result::NoAnswer:
        case Result::Pending:
            entry.insert(QStringLiteral("family"), QJsonValue::Null);
            said = QStringLiteral("no answer");
            break;
        }
        entries.append(entry);
        report.print(result.port + QLatin1String(": ") + said);
    }
    report.setList(entries);
    if (finder.results().isEmpty())
        return report.finish(ExitCode::NoAnswer,
                             QStringLiteral("no serial port to probe; give one with --port"));
    if (answered == 0)
        return report.finish(ExitCode::NoAnswer, QStringLiteral("no projector answered"));
    return report.finish(ExitCode::Done);
}
