#pragma once
// The tool's one event log, orva.log in the program directory. Lines are "[tag](time):message",
// stored in GBK with CR LF line ends and flushed by the call that writes them.
#include <cstdio>
#include <mutex>
#include <string>

namespace orva {

class LogFile {
public:
    static LogFile& instance();

    // Opens (creating or emptying) the file. The same path again changes nothing and succeeds; a failed
    // open keeps the path held before, and the file open before stays open and keeps receiving lines.
    // A symlink, or anything but a regular file, at the path fails like a file that cannot be created.
    bool open(const std::string& path);
    // Appends one line; false when no file is open or the line could not be written.
    bool write(const std::string& tag, const std::string& message);
    std::string path() const;

    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

private:
    LogFile() = default;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string path_;
};

} // namespace orva
