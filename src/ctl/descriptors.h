#pragma once

// Open files for many projectors at once. Each run holds a socket or a serial
// port (with its lock) until it ends; 500 of them pass the soft limit of 1024
// that many systems start a program with, while the hard limit is usually far
// higher and is there to be taken by a program that needs it.
namespace Descriptors {

// At most this many descriptors for one projector's run at a time.
constexpr int PerRun = 3;
// Kept for the program itself: standard streams, the event loop, the
// settings store and its lock, the exporter's own listener and pipes.
constexpr int Reserve = 64;

// Raises the soft limit on open files, as far as the hard limit allows, so
// that `runs` projectors and `extra` other descriptors fit. Linux only;
// elsewhere nothing changes.
void makeRoomFor(int runs, int extra = 0);

// How many of `runs` projectors may be asked at once within the soft limit
// (with `extra` descriptors held besides): all of them when they fit, never
// fewer than one. The others wait for a place, so a big fleet takes longer
// rather than failing for want of descriptors.
int concurrentRuns(int runs, int extra = 0);

} // namespace Descriptors
