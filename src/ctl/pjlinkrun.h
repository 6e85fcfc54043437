#pragma once

#include "commandrun.h"

// A command on a PJLink projector.
class PJLinkRun : public CommandRun
{
    Q_OBJECT

public:
    PJLinkRun(const Invocation &invocation, Report &report);
    void start() override;
};
