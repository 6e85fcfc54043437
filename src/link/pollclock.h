#pragma once

// The two tick counters of the poll cycle: a status poll on the first tick and
// every 31st after it, and a re-query check on the first non-poll tick once
// more than 100 ticks have passed.
class PollClock
{
public:
    struct Tick
    {
        bool poll = false;
        bool requeryCheck = false;
    };

    Tick advance();

    static constexpr int PollEvery = 31;

private:
    int pollTickCounter = 50;
    int requeryTickCounter = 0;
};
