#include "core/protocol/DeviceReply.h"

namespace orva {

void DeviceReply::Put(const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    values_.emplace(name, value); // keeps the first value
}

std::string DeviceReply::Get(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

bool DeviceReply::Contains(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return values_.count(name) != 0;
}

void DeviceReply::Clear() {
    std::lock_guard lock(mutex_);
    values_.clear();
}

std::map<std::string, std::string> DeviceReply::Snapshot() const {
    std::lock_guard lock(mutex_);
    return values_;
}

} // namespace orva
