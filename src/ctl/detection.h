#pragma once

#include "invocation.h"
#include "report.h"

// detect: looks for a projector on every serial port the system lists and
// every port given, and reports which family answered on each.
class Detection
{
public:
    Detection(const Invocation &invocation, Report &report);

    int run(); // the exit code

private:
    const Invocation &invocation;
    Report &report;
};
