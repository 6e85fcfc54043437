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

private:
    struct Answer
    {
        enum Outcome { Replied, NoAnswer, Lost };
        Outcome outcome = NoAnswer;
        PJLink::Reply reply;
    };

    int open();
    Answer ask(const PJLink::Command &command);
    // For a command that changes something: done, refused, or why not answered.
    int change(const PJLink::Command &command);
    int unanswered(const PJLink::Command &command);
    int lost();
    // The class, the inputs and (class 2) their names, into state.
    int readInputs();

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
    QElapsedTimer clock; // the session's, in milliseconds
};
