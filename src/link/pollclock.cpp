#include "pollclock.h"

PollClock::Tick PollClock::advance()
{
    Tick tick;
    if (++pollTickCounter > PollEvery - 1) {
        tick.poll = true;
        pollTickCounter = 0;
        ++requeryTickCounter;
    } else if (requeryTickCounter > 100) {
        tick.requeryCheck = true;
        requeryTickCounter = 1;
    } else {
        ++requeryTickCounter;
    }
    return tick;
}
