#pragma once
// orva-cli started as a separate process with its output captured, as a script runs it.
#include "ChildProcess.h"

#include <string>
#include <vector>

namespace orva::test {

struct CliOutcome {
    int code = -1; // the exit code, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// The orva-cli under test: ORVA_TEST_CLI_BINARY runs the cases against another build (an earlier one,
// to compare its lines).
std::string CliProgram();

class CliRunner {
public:
    // Starts orva-cli with stdin from /dev/null and without the caller's ORVA_* variables; `env` adds
    // "NAME=value" entries of its own.
    explicit CliRunner(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

    void signal(int sig) { child_.kill(sig); }
    // Standard output read so far, without waiting for more than `ms` milliseconds.
    const std::string& readOutFor(int ms) { return child_.readFor(ms); }
    // Reads both streams to their end and waits for the exit.
    CliOutcome finish();

private:
    ChildProcess child_;
};

inline CliOutcome RunCli(const std::vector<std::string>& args) {
    return CliRunner(args).finish();
}

} // namespace orva::test
