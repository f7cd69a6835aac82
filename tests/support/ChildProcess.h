#pragma once
// A program of the tool started as a child process, the way a technician's machine runs it: stdin from
// /dev/null, output captured, every signal at its default, optionally with a file-size limit; killed
// or waited for.
#include <string>
#include <sys/types.h>
#include <vector>

namespace orva::test {

// The caller's environment without its ORVA_* variables, after `extra` ("NAME=value" entries).
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra = {});
// Pointers to the words, ending in a null, for exec; the words must outlive them.
std::vector<char*> NullTerminated(std::vector<std::string>& words);

struct ChildOutcome {
    int code = -1;  // exit code, or -1 when a signal ended it
    int signal = 0; // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
};

struct ChildOptions {
    std::vector<std::string> env; // "NAME=value" added to the caller's environment (ORVA_* left out)
    long fileSizeLimit = -1;      // RLIMIT_FSIZE in bytes for the child; -1 keeps the caller's
};

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void kill(int sig);
    // Reads what arrives for up to `ms` milliseconds; returns standard output so far.
    const std::string& readFor(int ms);
    // Reads standard output until it holds `lines` newline characters or `ms` milliseconds of silence
    // pass; true when it got there.
    bool waitForLines(std::size_t lines, int ms);
    // Reads both streams to their end and reaps the child.
    ChildOutcome finish();
    pid_t pid() const { return pid_; }

private:
    void pump(int timeoutMs);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    std::string text_[2];
    bool reaped_ = false;
};

} // namespace orva::test
