#pragma once

#include "pjlink.h"

#include <QList>

// Which queries go out with each poll of a PJLink projector: the power query
// every time, and at most one more, so that a poll never waits behind a
// burst. The rest of the state is read after connecting, after each accepted
// command that changes it, and every 30 s; what the window shows once (the
// class, the inputs, the names) after connecting. Time is the caller's clock
// in milliseconds.
class PJLinkRefresh
{
public:
    static constexpr qint64 EveryMs = 30000;

    // A new connection: everything is read again, the class first.
    void connected(qint64 now);
    void disconnected();
    // Class 2 adds freeze, filter hours and input resolution to the state.
    void classReported(int pjClass);
    // On class 2 the names of the inputs are read too.
    void inputsReported(const QList<QByteArray> &inputs);
    // The state a command changed is read at the next poll.
    void accepted(const PJLink::Command &command);
    // A query that got no answer is asked again.
    void retry(const PJLink::Command &command);
    // The queries of the poll due now.
    QList<PJLink::Command> poll(qint64 now);
    int waiting() const { return queries.size() + later.size(); }

private:
    // The state goes before what is shown once, so the 30 s reading is not
    // held up by a long list of input names.
    enum class Place { First, State, Later };
    void add(const PJLink::Command &command, Place place = Place::State);
    void addState();

    int pjClass = 1;
    qint64 lastRead = -1; // when the state was last put in line; -1 while not connected
    QList<PJLink::Command> queries;
    QList<PJLink::Command> later;
};
