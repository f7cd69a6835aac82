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

    // False when another copy holds the lock (or the file could not be opened): this copy must end.
    bool acquired() const { return fd_ >= 0; }
    const std::string& lockPath() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace orva
