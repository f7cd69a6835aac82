#pragma once
// Every datagram the simulator received, in arrival order, for tests and for the --journal file.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace orva::sim {

struct JournalEntry {
    enum class Kind { Command, Image, Undecodable };
    std::string time; // local time, "YYYY-MM-DDTHH:MM:SS.mmm"
    uint16_t port = 0;
    std::string source;      // "a.b.c.d:port" of the sender
    std::string destination; // the local address the datagram arrived at (gateway or segment broadcast)
    Kind kind = Kind::Command;
    std::string command; // the decoded command line (Kind::Command)
    size_t length = 0;   // datagram length
    std::string head;    // first bytes in hex (image and undecodable datagrams)
    std::string note;    // why an upgrade query got its status, or that an image datagram was dropped

    std::string toJson() const;
};

class Journal {
public:
    // Appends JSON lines to `path` from now on; false when the file cannot be opened.
    bool openFile(const std::string& path);
    void add(JournalEntry entry);

    std::vector<JournalEntry> entries() const;
    std::vector<std::string> commands() const; // only Kind::Command entries
    size_t size() const;
    // True once at least n entries are there; false when the time-out passed first.
    bool waitFor(size_t n, std::chrono::milliseconds timeout) const;
    void clear();

    // Image datagrams appended per sender, in arrival order.
    void appendImage(const std::string& source, const std::string& bytes);
    std::string imageBytes(const std::string& source) const;
    std::map<std::string, std::string> images() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<JournalEntry> entries_;
    std::map<std::string, std::string> images_;
    std::ofstream file_;
};

} // namespace orva::sim
