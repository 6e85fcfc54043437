#include "fleet.h"

#include "commandrun.h"
#include "descriptors.h"
#include "metrics.h"
#include "report.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Outcome
{
    Invocation::Target target;
    int exit = ExitCode::Done;
    QStringList printed;
    QStringList warnings;
    QJsonObject result;
    qint64 finishedAtMs = 0;

    // While it runs; the run refers to the other two.
    std::shared_ptr<const Invocation> one;
    std::unique_ptr<Report> report;
    std::unique_ptr<CommandRun> run;

    void take(const Report &from)
    {
        printed = from.printed();
        warnings = from.warnings();
        result = from.result();
    }
};

void write(FILE *stream, const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

} // namespace

Fleet::Fleet(const Invocation &invocation)
    : invocation(invocation)
{ }

bool Fleet::answered(const QJsonObject &result)
{
    const QJsonObject values = result.value(QStringLiteral("values")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.value() != QLatin1String("no answer"))
            return true;
    }
    return false;
}

int Fleet::overall(const QList<int> &codes)
{
    // EX_NOPERM, a login refused, is one of the expected failures too.
    for (const int code :
         { ExitCode::Unavailable, ExitCode::NoAnswer, ExitCode::NoPermission, ExitCode::Refused }) {
        if (codes.contains(code))
            return code;
    }
    for (const int code : codes) {
        if (code != ExitCode::Done)
            return code;
    }
    return ExitCode::Done;
}

int Fleet::run()
{
    std::vector<Outcome> outcomes(std::size_t(invocation.targets.size()));
    std::vector<Outcome *> ready; // in the stored order
    for (int i = 0; i < invocation.targets.size(); ++i) {
        Outcome &outcome = outcomes[std::size_t(i)];
        outcome.target = invocation.targets.at(i);
        if (!outcome.target.error.isEmpty()) {
            // A stored entry that cannot be used: its own error, on its own line.
            Report report(invocation.json, Report::Collected);
            if (!outcome.target.family.isEmpty())
                report.set(QStringLiteral("family"), outcome.target.family);
            outcome.exit = report.finish(ExitCode::Config, outcome.target.error);
            outcome.take(report);
            continue;
        }
        // As the selection read it, the stored list read once for all.
        outcome.one = outcome.target.invocation
            ? outcome.target.invocation
            : std::make_shared<const Invocation>(outcome.target.arguments);
        outcome.report = std::make_unique<Report>(invocation.json, Report::Collected);
        if (outcome.one->outcome != Invocation::Outcome::Run) {
            outcome.exit = outcome.report->finish(
                outcome.one->outcome == Invocation::Outcome::ConfigError ? ExitCode::Config
                                                                         : ExitCode::Usage,
                outcome.one->message);
            outcome.take(*outcome.report);
            continue;
        }
        ready.push_back(&outcome);
    }

    // All at once when the descriptors allow; otherwise each run that ends
    // makes room for the next.
    const int runs = int(ready.size());
    Descriptors::makeRoomFor(runs);
    const QString tooFew = Descriptors::tooFew();
    if (!tooFew.isEmpty())
        return Report(invocation.json).finish(ExitCode::Unavailable, tooFew);
    const int atOnce = Descriptors::concurrentRuns(runs);
    QEventLoop loop;
    int started = 0;
    int ended = 0;
    std::function<void()> startNext = [&] {
        Outcome *outcome = ready[std::size_t(started++)];
        outcome->run = CommandRun::create(*outcome->one, *outcome->report);
        QObject::connect(outcome->run.get(), &CommandRun::finished, &loop,
                         [&, outcome](int exitCode) {
                             outcome->exit = exitCode;
                             outcome->finishedAtMs = QDateTime::currentMSecsSinceEpoch();
                             outcome->take(*outcome->report);
                             // Not from within its own signal: once that has
                             // returned, the run goes, and its line is closed.
                             QTimer::singleShot(0, &loop, [&, outcome] {
                                 outcome->run.reset();
                                 outcome->report.reset();
                                 outcome->one.reset();
                                 if (++ended == runs)
                                     loop.quit();
                                 else if (started < runs)
                                     startNext();
                             });
                         });
        outcome->run->start();
    };
    while (started < std::min(runs, atOnce))
        startNext();
    if (runs > 0)
        loop.exec();

    std::sort(outcomes.begin(), outcomes.end(),
              [](const Outcome &a, const Outcome &b) { return a.target.name < b.target.name; });
    if (invocation.command == Invocation::Command::Metrics) {
        QList<Metrics::Projector> projectors;
        for (const Outcome &outcome : outcomes) {
            const QJsonObject &result = outcome.result;
            projectors.append(
                { outcome.target.name, result.value(QStringLiteral("family")).toString(),
                  outcome.target.group, result, answered(result) ? outcome.finishedAtMs : 0 });
        }
        // Whoever answered or not, the file is written whole: reachable says.
        write(stdout, Metrics::exposition(projectors).chopped(1));
        std::fflush(stdout);
        return ExitCode::Done;
    }

    QList<int> codes;
    QJsonArray array;
    for (const Outcome &outcome : outcomes) {
        const QString name = outcome.target.name;
        codes.append(outcome.exit);
        for (const QString &warning : outcome.warnings)
            write(stderr, QStringLiteral("vantrelctl: %1: %2").arg(name, warning));
        if (invocation.json) {
            QJsonObject object = outcome.result;
            object.insert(QStringLiteral("name"), name);
            object.insert(QStringLiteral("group"), outcome.target.group);
            array.append(object);
            continue;
        }
        // A line for every projector, also one that printed nothing.
        QStringList lines = outcome.printed;
        if (lines.isEmpty())
            lines.append(outcome.exit == ExitCode::Done ? QStringLiteral("done")
                                                        : QLatin1String("error: ")
                                 + outcome.result.value(QStringLiteral("error")).toString());
        for (const QString &line : lines)
            write(stdout, name + QLatin1String(": ") + line);
    }
    if (invocation.json) {
        // JSON is UTF-8 whatever the locale.
        const QByteArray text = QJsonDocument(array).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return overall(codes);
}
