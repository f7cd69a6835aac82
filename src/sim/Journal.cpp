#include "sim/Journal.h"

#include <nlohmann/json.hpp>

namespace orva::sim {

std::string JournalEntry::toJson() const {
    nlohmann::json j;
    j["time"] = time;
    j["port"] = port;
    j["source"] = source;
    j["destination"] = destination;
    switch (kind) {
    case Kind::Command:
        j["command"] = command;
        break;
    case Kind::Image:
        j["image"] = true;
        j["length"] = length;
        j["head"] = head;
        break;
    case Kind::Undecodable:
        j["undecodable"] = true;
        j["length"] = length;
        j["head"] = head;
        break;
    }
    if (!note.empty())
        j["note"] = note;
    // Commands are ASCII, but a peer may send anything: never let a stray byte stop the journal.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool Journal::openFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    file_.open(path, std::ios::app | std::ios::binary);
    return file_.is_open();
}

void Journal::add(JournalEntry entry) {
    {
        std::lock_guard lock(mutex_);
        if (file_.is_open())
            file_ << entry.toJson() << '\n' << std::flush;
        entries_.push_back(std::move(entry));
    }
    changed_.notify_all();
}

std::vector<JournalEntry> Journal::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<std::string> Journal::commands() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_) {
        if (e.kind == JournalEntry::Kind::Command)
            out.push_back(e.command);
    }
    return out;
}

size_t Journal::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

bool Journal::waitFor(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return entries_.size() >= n; });
}

void Journal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    images_.clear();
}

void Journal::appendImage(const std::string& source, const std::string& bytes) {
    std::lock_guard lock(mutex_);
    images_[source] += bytes;
}

std::string Journal::imageBytes(const std::string& source) const {
    std::lock_guard lock(mutex_);
    auto it = images_.find(source);
    return it == images_.end() ? std::string() : it->second;
}

std::map<std::string, std::string> Journal::images() const {
    std::lock_guard lock(mutex_);
    return images_;
}

} // namespace orva::sim
