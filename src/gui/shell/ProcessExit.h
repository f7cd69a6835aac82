#pragma once
// Ending the process at once, as the login dialog's Cancel and a missing settings file do. Tests put a
// hook in its place that records the code; the caller then carries on as if the call had returned, so
// code after ExitProcess must leave things in a harmless state.
#include <functional>

namespace orva {

using ExitHook = std::function<void(int code)>;

// Flushes the standard streams and ends the process with `code`, or calls the hook when one is set.
void ExitProcess(int code);
// An empty hook restores the real exit.
void SetExitHook(ExitHook hook);

} // namespace orva
