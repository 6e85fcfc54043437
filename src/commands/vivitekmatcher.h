#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A Vivitek projector answers every command with exactly one reply, "P..."
// or "F", in the order the commands were sent; but it may answer late, after
// the next poll or click has gone out. So each reply belongs to the oldest
// command still waiting for one. A command whose answer does not come within
// the timeout is given up together with its place in the order, so one lost
// reply cannot shift every later match.
//
// Time is whatever clock the caller counts in (poll-cycle ticks in the
// window, milliseconds in the command-line program), passed in as now.
class VivitekMatcher
{
public:
    explicit VivitekMatcher(qint64 timeout);

    void sent(const QString &command, qint64 now);
    // The command a reply arriving now answers, or an empty string when no
    // command is waiting (an unsolicited reply).
    QString answer(qint64 now);
    void clear();
    int waiting(qint64 now);
    // The commands still waiting, oldest first, each with when it was sent.
    QList<QPair<QString, qint64>> waitingCommands(qint64 now);

    // Commands a silent projector cannot make us hold on to without end.
    static constexpr int MaxWaiting = 64;
    // How long the window waits for an answer before it gives a command up:
    // as long as contact lasts without a reply, 50 ticks of 100 ms.
    static constexpr int GiveUpMs = 5000;

private:
    void expire(qint64 now);

    struct Sent
    {
        QString command;
        qint64 at;
    };

    qint64 timeout;
    QList<Sent> queue;
};
