#pragma once

#include "invocation.h"

// The inventory of the chosen stored projectors: a session for each, all
// side by side on this thread's event loop, until each has told what it
// tells or cannot be reached, and at most four timeouts. Prints the whole
// table whoever answered: the state column says.
class InventoryRun
{
public:
    explicit InventoryRun(const Invocation &invocation);

    int run(); // the exit code

private:
    const Invocation &invocation;
};
