#pragma once

// Where the start's time goes, for whoever tunes it: with QUORVIN_STARTUP_TRACE set, every
// mark() prints one line to stderr,
//   "startup-trace <ms since the epoch> <ms since the process began> <CPU ms> <step>",
// and otherwise costs a branch. The first column is exact (the start-up benchmark subtracts its
// own exec time from it); the second counts from the kernel's start time of the process, which
// has a resolution of one clock tick (usually 10 ms), so it also holds the loading of the shared
// libraries before main(). The third is the CPU time of all the process's threads so far: on a
// busy machine it tells the work done from the wait for a core.
namespace StartupTrace {

bool enabled();
void mark(const char* step);

}  // namespace StartupTrace
