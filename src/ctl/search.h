#pragma once

#include "invocation.h"
#include "report.h"

// The PJLink search: "%2SRCH" by UDP to port 4352 of an address (the
// broadcast address unless --to names one), then every "%2ACKN=<MAC>" that
// comes back within the timeout, one line each: the sender's address and MAC.
class Search
{
public:
    Search(const Invocation &invocation, Report &report);

    int run(); // the exit code

    // More answers than any network has projectors are a flood: the search
    // stops at this many different ones.
    static constexpr int MaxAnswers = 1000;

private:
    const Invocation &invocation;
    Report &report;
};
