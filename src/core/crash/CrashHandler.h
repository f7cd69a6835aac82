#pragma once
// What happens when the tool crashes: the user is asked whether a dump should be written beside the
// program, the dump (an ELF core file, `gdb orva DUMP` opens it) is written, its place announced, and
// the process ends with exit code 0.
#include <string>

namespace orva {

// Catches SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (on an alternate signal stack) and unhandled
// C++ exceptions. The name (at most 260 characters kept) is the caption of the boxes and the start of
// the dump's file name. The dump goes into ProgramDirectory() as it is at this call, so call this
// after the program directory is settled. With showErrors, a failed installation is reported through
// notifier(). Returns whether the handler is installed. Call it again to change the name.
//
// The boxes come from the program orva-crash-prompt beside the executable (ORVA_CRASH_PROMPT names
// another one); without it the question is asked on the terminal. ORVA_CRASH_ANSWER=yes|no answers
// it in advance.
bool InstallCrashHandler(const std::string& appName, bool showErrors);

// Gives the calling thread its own alternate signal stack, so that a stack overflow on it still
// reaches the handler. The installing thread has one already; the stack is released when the thread
// ends. Returns false when it could not be set up (the handler still runs on the thread's own stack).
bool EnableCrashStackForThisThread();

} // namespace orva
