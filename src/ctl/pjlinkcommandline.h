#pragma once

#include "invocation.h"
#include "pjlink.h"
#include "pjlinksession.h"
#include "pjlinkstate.h"
#include "projectorlink.h"
#include "report.h"

#include <QElapsedTimer>

// One run of the program against a PJLink projector: the connection, with
// its greeting and login, through the same link the window uses; then the
// command, each query waiting up to the timeout for the answer that names it.
class PJLinkCommandLine
{
public:
    PJLinkCommandLine(const Invocation &invocation, Report &report);

    int run(); // the exit code

    // What send keeps of the replies, as for the serial families.
    static constexpr int MaxHeard = 64 * 1024;

private:
    struct Answer
    {
        enum Outcome { Replied, NoAnswer, Lost };
        Outcome outcome = NoAnswer;
        PJLink::Reply reply;
    };

    int open();
    Answer ask(const PJLink::Command &command);
    // On class 2, the class 2 form of a query; when the projector refuses it,
    // the class 1 form, which serves where the other is missing.
    Answer askEitherClass(PJLink::Command command, PJLink::Command *asked);
    // For a command that changes something: done, refused, or why not answered.
    int change(const PJLink::Command &command);
    int noAnswer(const PJLink::Command &command);
    int lost();
    // The class, the inputs and (class 2) their names, into state; what was
    // not answered is added to unanswered, what was refused to refusals.
    int readInputs();
    // Names what did not come: the exit code for a run that otherwise did.
    int finishMissing();

    int list();
    int status();
    int setInput();
    int query();
    int send();

    const Invocation &invocation;
    Report &report;
    ProjectorLink link;
    PJLinkSession session;
    PJLinkState state;
    QStringList unanswered; // the commands, as shown
    QStringList refusals; // "\"%2INST ?\": the projector does not know this command"
    QElapsedTimer clock; // the session's, in milliseconds
};
