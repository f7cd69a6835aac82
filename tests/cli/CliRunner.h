#pragma once
// orva-cli started as a separate process with its output captured, as a script runs it.
#include <string>
#include <sys/types.h>
#include <vector>

namespace orva::test {

struct CliOutcome {
    int code = -1;
    std::string out;
    std::string err;
};

// The caller's environment without its ORVA_* variables, after `extra` ("NAME=value" entries).
std::vector<std::string> CliEnvironment(const std::vector<std::string>& extra = {});
// Pointers to the words, ending in a null, for exec and spawn; the words must outlive them.
std::vector<char*> NullTerminated(std::vector<std::string>& words);

class CliRunner {
public:
    // Starts orva-cli with stdin from /dev/null and without the caller's ORVA_* variables; `env` adds
    // "NAME=value" entries of its own.
    explicit CliRunner(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~CliRunner();
    CliRunner(const CliRunner&) = delete;
    CliRunner& operator=(const CliRunner&) = delete;

    void signal(int sig);
    // Standard output read so far, without waiting for more than `ms` milliseconds.
    const std::string& readOutFor(int ms);
    // Reads both streams to their end and waits for the exit.
    CliOutcome finish();

private:
    void pump(int timeoutMs);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    std::string text_[2];
    bool waited_ = false;
};

inline CliOutcome RunCli(const std::vector<std::string>& args) {
    return CliRunner(args).finish();
}

} // namespace orva::test
