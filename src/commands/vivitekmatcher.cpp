#include "vivitekmatcher.h"

VivitekMatcher::VivitekMatcher(qint64 timeout)
    : timeout(timeout)
{ }

void VivitekMatcher::sent(const QString &command, qint64 now)
{
    expire(now);
    if (queue.size() >= MaxWaiting)
        queue.removeFirst();
    queue.append({ command, now });
}

QString VivitekMatcher::answer(qint64 now)
{
    expire(now);
    return queue.isEmpty() ? QString() : queue.takeFirst().command;
}

void VivitekMatcher::clear()
{
    queue.clear();
}

int VivitekMatcher::waiting(qint64 now)
{
    expire(now);
    return queue.size();
}

QList<QPair<QString, qint64>> VivitekMatcher::waitingCommands(qint64 now)
{
    expire(now);
    QList<QPair<QString, qint64>> commands;
    for (const Sent &sent : queue)
        commands.append({ sent.command, sent.at });
    return commands;
}

void VivitekMatcher::expire(qint64 now)
{
    while (!queue.isEmpty() && now - queue.first().at > timeout)
        queue.removeFirst();
}
