#pragma once
// Ctrl-C and SIGTERM for a command that runs until it is done or stopped.

namespace orva::cli {

// SIGINT and SIGTERM, while it lives, write one byte ('s') to a pipe instead of ending the process; the
// view's end of a run writes 'e' to the same pipe (writeFd()). The default handling comes back after.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool ok() const { return fds_[0] >= 0; }
    int readFd() const { return fds_[0]; }
    int writeFd() const { return fds_[1]; }
    // Waits up to `ms` milliseconds for a stop signal: true when one came. An 'e' left over from a
    // run is read and forgotten.
    bool waitForStop(int ms);

private:
    int fds_[2] = {-1, -1};
};

} // namespace orva::cli
