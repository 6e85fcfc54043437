#include "pjlinkrefresh.h"

#include <utility>

using PJLink::query;

namespace {

QByteArray key(const PJLink::Command &command)
{
    return QByteArray::number(command.pjClass) + command.name + command.parameter;
}

} // namespace

void PJLinkRefresh::connected(qint64 now)
{
    pjClass = 1;
    classKnown = false;
    classTwoList = true;
    classTwoInput = true;
    queries.clear();
    add(query(1, "CLSS"));
    lastRead = now;
}

void PJLinkRefresh::classReported(int reported)
{
    const bool first = !classKnown;
    classKnown = true;
    pjClass = reported >= 2 ? 2 : 1;
    if (first)
        addPage();
}

void PJLinkRefresh::inputsReported(const QList<QByteArray> &inputs)
{
    if (pjClass != 2)
        return;
    for (const QByteArray &input : inputs)
        add(query(2, "INNM", input));
}

void PJLinkRefresh::accepted(const PJLink::Command &command)
{
    if (command.isQuery())
        return;
    if (command.name == "INPT")
        add(inputQuery());
    else if (command.name == "AVMT")
        add(query(1, "AVMT"));
    else if (command.name == "FREZ")
        add(query(2, "FREZ"));
    else if (command.name == "POWR") {
        // The power box and the lamp row read one state: both are asked
        // again, the power first.
        add(query(1, "POWR"));
        add(query(1, "LAMP"));
    }
}

void PJLinkRefresh::refused(const PJLink::Command &command, PJLink::Error error)
{
    if (command.name == "CLSS") {
        // Every projector has class 1: the page is read as that.
        classReported(1);
        return;
    }
    const bool unknown
        = error == PJLink::Error::Undefined || error == PJLink::Error::OutOfParameter;
    if (!unknown || command.pjClass != 2)
        return;
    if (command.name == "INST" && std::exchange(classTwoList, false))
        add(query(1, "INST"));
    else if (command.name == "INPT" && std::exchange(classTwoInput, false))
        add(query(1, "INPT"));
}

void PJLinkRefresh::answered(const PJLink::Command &command)
{
    failures.remove(key(command));
}

bool PJLinkRefresh::unreadable(const PJLink::Command &command)
{
    int &failed = failures[key(command)];
    // Given up before: the state's next reading tries again, once.
    if (failed >= MaxTries)
        return false;
    if (++failed < MaxTries) {
        add(command);
        return false;
    }
    if (command.name == "CLSS")
        classReported(1);
    return true;
}

QList<PJLink::Command> PJLinkRefresh::poll(qint64 now)
{
    QList<PJLink::Command> due { query(1, "POWR") };
    due.first().origin = PJLink::Command::Origin::Poll;
    if (lastRead >= 0 && classKnown && now - lastRead >= EveryMs) {
        addState();
        lastRead = now;
    }
    return due + take();
}

QList<PJLink::Command> PJLinkRefresh::take()
{
    QList<PJLink::Command> due;
    due.swap(queries);
    return due;
}

void PJLinkRefresh::add(const PJLink::Command &command)
{
    PJLink::Command refresh = command;
    refresh.origin = PJLink::Command::Origin::Refresh;
    refresh.retry = false;
    if (!queries.contains(refresh))
        queries.append(refresh);
}

void PJLinkRefresh::addPage()
{
    for (const char *name : { "NAME", "INF1", "INF2", "INFO", "LAMP" })
        add(query(1, name));
    add(query(pjClass == 2 && classTwoList ? 2 : 1, "INST"));
    add(inputQuery());
    for (const char *name : { "AVMT", "ERST" })
        add(query(1, name));
    if (pjClass == 2) {
        for (const char *name : { "FREZ", "FILT", "IRES" })
            add(query(2, name));
    }
}

void PJLinkRefresh::addState()
{
    add(inputQuery());
    for (const char *name : { "AVMT", "ERST", "LAMP" })
        add(query(1, name));
    if (pjClass == 2) {
        for (const char *name : { "FREZ", "FILT", "IRES" })
            add(query(2, name));
    }
}

PJLink::Command PJLinkRefresh::inputQuery() const
{
    return query(pjClass == 2 && classTwoInput ? 2 : 1, "INPT");
}
