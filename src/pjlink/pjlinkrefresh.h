#pragma once

#include "pjlink.h"

#include <QList>
#include <QMap>

// Which queries a PJLink projector is asked, and when. After connecting the
// class is asked; once it is known, everything the page shows is asked at
// once (the client sends them back to back, one waiting at a time). Then
// the power with every poll, the state every 30 s, and what a command
// changed right after it was accepted (a power command: the power and the
// lamps, which the page shows together). A value whose answer cannot be read
// is asked again at most twice and then given up as unreadable. Time is
// the caller's clock in milliseconds.
class PJLinkRefresh
{
public:
    static constexpr qint64 EveryMs = 30000;
    // Tries of one query before its value counts as unreadable.
    static constexpr int MaxTries = 3;

    // A new connection: everything is read again, the class first.
    void connected(qint64 now);
    // The class decides what the rest is asked with: class 2 adds freeze,
    // filter hours, input resolution and the names of the inputs.
    void classReported(int pjClass);
    void inputsReported(const QList<QByteArray> &inputs);
    // The state a command changed is read again at once.
    void accepted(const PJLink::Command &command);
    // A query refused: a class 2 query of the inputs (or of the input in
    // use) that the projector does not know is asked as class 1.
    void refused(const PJLink::Command &command, PJLink::Error error);
    // An answer was read: the query is readable again.
    void answered(const PJLink::Command &command);
    // No answer, or one of no sense. True when the value is given up now,
    // after its last try; the query is asked again otherwise.
    bool unreadable(const PJLink::Command &command);
    // The power query of a poll, and the state when it is due again.
    QList<PJLink::Command> poll(qint64 now);
    // The queries to send now, in order.
    QList<PJLink::Command> take();
    // Queries due and not taken yet.
    int pending() const { return int(queries.size()); }

private:
    void add(const PJLink::Command &command);
    void addPage();
    void addState();
    PJLink::Command inputQuery() const;

    int pjClass = 1;
    bool classKnown = false;
    bool classTwoList = true; // %2INST, until refused
    bool classTwoInput = true; // %2INPT, until refused
    qint64 lastRead = -1; // when the state was last asked; -1 while not connected
    QList<PJLink::Command> queries;
    // Failed tries of each query since its last answer; MaxTries: given up.
    QMap<QByteArray, int> failures;
};
