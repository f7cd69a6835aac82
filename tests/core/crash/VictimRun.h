#pragma once
// Runs the crash victim in a process of its own, detached from any terminal, with exactly the
// environment given.
#include <string>
#include <sys/types.h>
#include <vector>

namespace orva::test {

struct VictimRun {
    pid_t pid = -1;
    bool exited = false; // false: ended by a signal (or had to be stopped)
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

VictimRun RunVictim(const std::vector<std::string>& args, const std::vector<std::string>& environment,
                    const std::string& outputFile);

// Runs a shell command and returns what it printed (both streams).
std::string CommandOutput(const std::string& command);
bool ProgramAvailable(const std::string& name);

} // namespace orva::test
