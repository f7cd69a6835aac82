#include "sim/UpgradePeer.h"

#include "core/protocol/Base64.h"

#include <string>

namespace orva::sim {

namespace {

constexpr uint32_t kInfoType = 2754;
constexpr size_t kInfoSize = 12;
constexpr size_t kChunk = 1000;
constexpr size_t kDataSize = 1004;

// Read independently of the sender's encoder, so a fault in either shows up as a mismatch.
uint32_t Big32(std::string_view d, size_t at) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(d[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 8) |
           static_cast<uint32_t>(static_cast<uint8_t>(d[at + 3]));
}

uint16_t Big16(std::string_view d, size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(d[at]) << 8) | static_cast<uint8_t>(d[at + 1]));
}

std::string HostOf(const std::string& source) {
    return source.substr(0, source.rfind(':'));
}

bool IsCancel(std::string_view datagram) {
    std::string command;
    if (!Base64Decode(datagram, command))
        return false;
    return command.rfind("HG_UPGRADE_CANCEL", 0) == 0;
}

} // namespace

UpgradePeer::UpgradePeer(std::string buildDate) : buildDate_(std::move(buildDate)) {}

ImageDatagramKind UpgradePeer::receive(const std::string& source, std::string_view datagram) {
    std::lock_guard lock(mutex_);
    if (datagram.size() == kInfoSize && Big32(datagram, 0) == kInfoType) {
        Transfer t;
        t.begun = ++counter_;
        t.haveInfo = true;
        t.blockCount = Big32(datagram, 4);
        t.length = Big32(datagram, 8);
        transfers_[source] = std::move(t);
        return ImageDatagramKind::Info;
    }
    if (datagram.size() == kDataSize) {
        auto it = transfers_.find(source);
        if (it == transfers_.end()) {
            Transfer t;
            t.begun = ++counter_;
            t.problem = "data before the image-info datagram";
            it = transfers_.emplace(source, std::move(t)).first;
        }
        receiveData(it->second, datagram);
        return ImageDatagramKind::Data;
    }
    if (IsCancel(datagram)) {
        const std::string host = HostOf(source);
        for (auto& [from, transfer] : transfers_)
            if (HostOf(from) == host)
                transfer.cancelled = true;
        return ImageDatagramKind::Cancel;
    }
    return ImageDatagramKind::Other;
}

void UpgradePeer::receiveData(Transfer& t, std::string_view datagram) {
    ++t.datagrams;
    const uint16_t sequence = Big16(datagram, kChunk);
    const uint16_t count = Big16(datagram, kChunk + 2);
    auto note = [&](std::string problem) {
        if (t.problem.empty())
            t.problem = std::move(problem);
    };
    if (sequence != t.nextSequence)
        note("sequence " + std::to_string(sequence) + " where " + std::to_string(t.nextSequence) + " was due");
    if (count == 0 || count > kChunk)
        note("count " + std::to_string(count) + " in datagram " + std::to_string(sequence));
    if (t.lastChunkSeen)
        note("data after a short last datagram");
    if (t.haveInfo && t.bytes.size() + count > t.length)
        note("more data than the announced " + std::to_string(t.length) + " bytes");
    t.nextSequence = static_cast<uint16_t>(sequence + 1);
    if (count < kChunk)
        t.lastChunkSeen = true;
    t.bytes.append(datagram.substr(0, count <= kChunk ? count : kChunk));
}

UpgradeVerdict UpgradePeer::judge(const Transfer* t) const {
    UpgradeVerdict v;
    v.status = "UPGRADE_FAIL";
    if (!t) {
        v.status = "UPGRADE_UNKNOWN";
        v.reason = "no image received";
    } else if (t->cancelled) {
        v.reason = "transfer cancelled";
    } else if (!t->problem.empty()) {
        v.reason = t->problem;
    } else if (!t->haveInfo) {
        v.reason = "no image-info datagram";
    } else if (t->blockCount != (t->length >= kChunk ? t->length / kChunk + 1 : 0)) {
        v.reason =
            "block count " + std::to_string(t->blockCount) + " does not belong to length " + std::to_string(t->length);
    } else if (t->bytes.size() != t->length) {
        v.reason = "incomplete: " + std::to_string(t->bytes.size()) + " of " + std::to_string(t->length) + " bytes";
    } else if (t->datagrams != (t->length + kChunk - 1) / kChunk) {
        v.reason = std::to_string(t->datagrams) + " data datagrams for " + std::to_string(t->length) + " bytes";
    } else {
        v.status = "UPGRADE_SUCCESS";
        v.buildDate = buildDate_;
    }
    if (statusOverride_) {
        v.status = *statusOverride_;
        v.reason = "status overridden";
    }
    return v;
}

const UpgradePeer::Transfer* UpgradePeer::latest() const {
    const Transfer* found = nullptr;
    for (const auto& [source, transfer] : transfers_)
        if (!found || transfer.begun > found->begun)
            found = &transfer;
    return found;
}

UpgradeVerdict UpgradePeer::verdict() const {
    std::lock_guard lock(mutex_);
    return judge(latest());
}

UpgradeVerdict UpgradePeer::verdict(const std::string& source) const {
    std::lock_guard lock(mutex_);
    const auto it = transfers_.find(source);
    return judge(it == transfers_.end() ? nullptr : &it->second);
}

std::string UpgradePeer::image(const std::string& source) const {
    std::lock_guard lock(mutex_);
    const auto it = transfers_.find(source);
    return it == transfers_.end() ? std::string() : it->second.bytes;
}

std::string UpgradePeer::latestImage() const {
    std::lock_guard lock(mutex_);
    const Transfer* t = latest();
    return t ? t->bytes : std::string();
}

bool UpgradePeer::seenImage() const {
    std::lock_guard lock(mutex_);
    return !transfers_.empty();
}

void UpgradePeer::setStatusOverride(std::optional<std::string> status) {
    std::lock_guard lock(mutex_);
    statusOverride_ = std::move(status);
}

void UpgradePeer::reset() {
    std::lock_guard lock(mutex_);
    transfers_.clear();
    counter_ = 0;
}

} // namespace orva::sim
