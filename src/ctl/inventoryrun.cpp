#include "inventoryrun.h"

#include "descriptors.h"
#include "inventory.h"
#include "projectorsession.h"
#include "report.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

InventoryRun::InventoryRun(const Invocation &invocation)
    : invocation(invocation)
{ }

int InventoryRun::run()
{
    // Every session holds its line from the start.
    Descriptors::makeRoomFor(int(invocation.targets.size()));
    std::vector<std::unique_ptr<ProjectorSession>> sessions;
    for (const Invocation::Target &target : invocation.targets) {
        // Its port, family and password, as a run on it alone would take
        // them, from the stored list the selection read once for all.
        const std::shared_ptr<const Invocation> one = target.invocation
            ? target.invocation
            : std::make_shared<const Invocation>(target.arguments);
        auto session = std::make_unique<ProjectorSession>(ProjectorList::Projector {
            target.name, one->model, one->port, one->password, target.group });
        session->setReplyTimeout(invocation.timeoutMs);
        session->setPollInterval(invocation.timeoutMs);
        session->start();
        sessions.push_back(std::move(session));
    }

    QEventLoop loop;
    const auto check = [&] {
        if (std::all_of(sessions.begin(), sessions.end(),
                        [](const std::unique_ptr<ProjectorSession> &s) { return s->settled(); }))
            loop.quit();
    };
    for (const auto &session : sessions)
        QObject::connect(session.get(), &ProjectorSession::stateChanged, &loop, check);
    // Settling also follows answers that change nothing.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, check);
    watch.start(50);
    QTimer::singleShot(4 * invocation.timeoutMs, &loop, &QEventLoop::quit);
    QTimer::singleShot(0, &loop, check);
    loop.exec();

    QList<Inventory::Row> rows;
    for (const auto &session : sessions) {
        const ProjectorList::Projector &projector = session->projector();
        rows.append(
            { projector.name, projector.group, projector.model, projector.port, session->state() });
        session->stop();
    }
    std::sort(rows.begin(), rows.end(),
              [](const Inventory::Row &a, const Inventory::Row &b) { return a.name < b.name; });
    const QByteArray text = invocation.json ? Inventory::json(rows) : Inventory::csv(rows);
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    std::fflush(stdout);
    return ExitCode::Done;
}
