#pragma once
// Holds the other threads of the process still for a moment after a crash, each parked in a signal
// handler that has recorded its registers, so that the dump shows every thread as it was. They run
// on once released.
#include "core/crash/CoreFileWriter.h"

#include <cstddef>

namespace orva::crash {

// Installs the handler of the parking signal. Call once, at installation.
bool InstallThreadFreeze();
// Parks every other thread that takes the signal in time and writes their registers into out.
// Threads that block the signal, or do not answer within about a second, are left out.
// Async-signal-safe.
std::size_t FreezeOtherThreads(ThreadContext* out, std::size_t capacity);
// Lets the parked threads run on. Async-signal-safe.
void ReleaseOtherThreads();

} // namespace orva::crash
