#pragma once

#include <QString>

// Open files for many projectors at once. Each run holds a socket or a serial
// port (with its lock) until it ends; 500 of them pass the soft limit of 1024
// that many systems start a program with, while the hard limit is usually far
// higher and is there to be taken by a program that needs it.
namespace Descriptors {

// At most this many descriptors for one projector's run at a time.
constexpr int PerRun = 3;
// Besides what the program holds when it asks (standard streams, the event
// loop, the exporter's listener and pipes): the settings store and its lock,
// read now and then, and the odd file the libraries open.
constexpr int Margin = 12;

// Descriptors the process holds now; 0 where that cannot be known.
int openNow();

// Held for the program itself: what is open now, and the margin.
int reserve();

// Descriptors the soft limit leaves besides the reserve; a large number
// when there is no limit.
int available();

// Raises the soft limit on open files, as far as the hard limit allows, so
// that `runs` projectors and `extra` other descriptors fit. Linux only;
// elsewhere nothing changes.
void makeRoomFor(int runs, int extra = 0);

// How many of `runs` projectors may be asked at once within the soft limit
// (with `extra` descriptors held besides): all of them when they fit, never
// fewer than one. The others wait for a place, so a big fleet takes longer
// rather than failing for want of descriptors.
int concurrentRuns(int runs, int extra = 0);

// Empty when the soft limit leaves room for one projector's run besides the
// reserve and `extra`; otherwise what to tell the user.
QString tooFew(int extra = 0);

// Whether the program is within a run's worth of its limit now: a socket
// or port that could not be made then failed for want of descriptors.
bool exhausted();

} // namespace Descriptors
