#include "pjlinkrefresh.h"

using PJLink::query;

void PJLinkRefresh::connected(qint64 now)
{
    pjClass = 1;
    queries.clear();
    later.clear();
    // The class decides what else is asked; the inputs fill the page's list.
    add(query(1, "CLSS"));
    add(query(1, "INST"));
    addState();
    for (const char *name : { "NAME", "INF1", "INF2" })
        add(query(1, name), Place::Later);
    lastRead = now;
}

void PJLinkRefresh::disconnected()
{
    queries.clear();
    later.clear();
    lastRead = -1;
}

void PJLinkRefresh::classReported(int reported)
{
    const int before = pjClass;
    pjClass = reported >= 2 ? 2 : 1;
    if (pjClass == 2 && before != 2) {
        for (const char *name : { "FREZ", "FILT", "IRES" })
            add(query(2, name));
        // Inputs asked before the class was known came as class 1's list,
        // which leaves out those only class 2 has (such as "3A").
        const PJLink::Command classOneList = query(1, "INST");
        if (!queries.contains(classOneList) && !later.contains(classOneList))
            add(query(2, "INST"));
    }
}

void PJLinkRefresh::inputsReported(const QList<QByteArray> &inputs)
{
    if (pjClass != 2)
        return;
    for (const QByteArray &input : inputs)
        add(query(2, "INNM", input), Place::Later);
}

void PJLinkRefresh::accepted(const PJLink::Command &command)
{
    if (command.isQuery())
        return;
    if (command.name == "INPT" || command.name == "AVMT")
        add(query(1, command.name.constData()), Place::First);
    else if (command.name == "FREZ")
        add(query(2, "FREZ"), Place::First);
    else if (command.name == "POWR")
        add(query(1, "LAMP"), Place::First); // whether the lamp is lit
}

void PJLinkRefresh::retry(const PJLink::Command &command)
{
    add(command, Place::First);
}

QList<PJLink::Command> PJLinkRefresh::poll(qint64 now)
{
    QList<PJLink::Command> due { query(1, "POWR") };
    due.first().origin = PJLink::Command::Origin::Poll;
    if (lastRead >= 0 && now - lastRead >= EveryMs) {
        addState();
        lastRead = now;
    }
    QList<PJLink::Command> &from = queries.isEmpty() ? later : queries;
    if (!from.isEmpty()) {
        PJLink::Command extra = from.takeFirst();
        // The inputs of class 2 are listed by its own query.
        if (extra.name == "INST")
            extra.pjClass = pjClass;
        due.append(extra);
    }
    return due;
}

void PJLinkRefresh::add(const PJLink::Command &command, Place place)
{
    PJLink::Command refresh = command;
    refresh.origin = PJLink::Command::Origin::Refresh;
    refresh.retry = false;
    if (place == Place::First) {
        queries.removeAll(refresh);
        later.removeAll(refresh);
        queries.prepend(refresh);
        return;
    }
    if (queries.contains(refresh) || later.contains(refresh))
        return;
    (place == Place::Later ? later : queries).append(refresh);
}

void PJLinkRefresh::addState()
{
    for (const char *name : { "INPT", "AVMT", "ERST", "LAMP" })
        add(query(1, name));
    if (pjClass == 2) {
        for (const char *name : { "FREZ", "FILT", "IRES" })
            add(query(2, name));
    }
}
