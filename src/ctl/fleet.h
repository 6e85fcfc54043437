#pragma once

#include "invocation.h"

#include <QJsonObject>
#include <QList>

// One command on several stored projectors at once: each is a run of its own
// on this thread's event loop, with its own line and its own --timeout, so
// the whole takes about as long as the slowest one, and one that fails never
// holds up the others.
class Fleet
{
public:
    explicit Fleet(const Invocation &invocation);

    int run(); // the exit code

    // The one code that stands for all: 0 when every one succeeded, else the
    // first present of the port, no answer, the login, a refusal, then any.
    static int overall(const QList<int> &codes);
    // Whether query's JSON result holds an answer to at least one question.
    static bool answered(const QJsonObject &result);

private:
    const Invocation &invocation;
};
