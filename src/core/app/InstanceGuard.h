#pragma once
// Only one copy of the tool per program directory: an exclusive lock on orva.lock there, held for as long
// as the guard lives (normally the whole process). The lock goes with the process, so a copy that
// crashed never blocks the next start.
#include <string>

namespace orva {

class InstanceGuard {
public:
    // Tries, without waiting, to lock orva.lock in ProgramDirectory() (or in `programDirectory`, which ends
    // with '/'), creating the file when needed.
    InstanceGuard();
    explicit InstanceGuard(const std::string& programDirectory);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // False when another copy holds the lock, or when the lock file could not be opened at all.
    bool acquired() const { return fd_ >= 0; }
    // True only when another copy holds the lock: this copy must end. A lock file that cannot be created
    // (a read-only program directory) is not another copy; the caller decides whether to go on without it.
    bool heldElsewhere() const { return heldElsewhere_; }
    // errno of the failed open of the lock file, 0 when it was opened.
    int openError() const { return openError_; }
    const std::string& lockPath() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    bool heldElsewhere_ = false;
    int openError_ = 0;
};

} // namespace orva
