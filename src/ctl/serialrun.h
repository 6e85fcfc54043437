#pragma once

#include "commandrun.h"

// A command on a projector of the serial families (a serial port or a
// network serial server).
class SerialRun : public CommandRun
{
    Q_OBJECT

public:
    SerialRun(const Invocation &invocation, Report &report);
    void start() override;
};
