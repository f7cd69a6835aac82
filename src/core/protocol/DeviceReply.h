#pragma once
// The locked name-to-text map into which command operations write what they read. Put never
// overwrites, so callers Clear it before each command whose results they read.
#include <map>
#include <mutex>
#include <string>

namespace orva {

class DeviceReply {
public:
    // Keeps the first value when the name is already present.
    void Put(const std::string& name, const std::string& value);
    // The value, or empty text when the name was never put.
    std::string Get(const std::string& name) const;
    bool Contains(const std::string& name) const;
    void Clear();
    // A copy of every name and value, taken under the lock.
    std::map<std::string, std::string> Snapshot() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> values_;
};

} // namespace orva
