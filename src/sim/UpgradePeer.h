#pragma once
// The gateway side of an image upgrade: reassembles the image datagrams that arrive on port 54321, one
// transfer per sender, and decides what the gateway answers to "QUERY_UPGRADE_MSG" afterwards. A
// transfer succeeds only when the image-info datagram came first and everything it announced arrived
// in order: the length, the block count that belongs to it, consecutive sequence numbers from 1
// (wrapping after 65535 to 0), full 1000-byte chunks but for the last, no gap and nothing extra.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orva::sim {

enum class ImageDatagramKind { Info, Data, Cancel, Other };

struct UpgradeVerdict {
    std::string status;    // "UPGRADE_SUCCESS", "UPGRADE_FAIL" or "UPGRADE_UNKNOWN" (no image seen)
    std::string buildDate; // with "UPGRADE_SUCCESS" only
    std::string reason;    // why the transfer did not succeed, for the journal
};

class UpgradePeer {
public:
    explicit UpgradePeer(std::string buildDate = "20240115");

    // One datagram that arrived on the image port from `source` ("a.b.c.d:port"). An image-info
    // datagram begins a new transfer of that sender; "HG_UPGRADE_CANCEL" (Base64, as the command
    // channel sends it, from a socket of its own) cancels the transfers of every sender on that host.
    ImageDatagramKind receive(const std::string& source, std::string_view datagram);

    // The verdict on the transfer begun last, from whichever sender: the status query arrives from
    // another socket than the image, so it cannot be matched by port.
    UpgradeVerdict verdict() const;
    UpgradeVerdict verdict(const std::string& source) const;
    // The image bytes reassembled from `source` so far.
    std::string image(const std::string& source) const;
    // The image bytes of the transfer begun last, from whichever sender.
    std::string latestImage() const;
    // False until the first image datagram (info or data) arrived, and again after reset().
    bool seenImage() const;
    // Makes every verdict carry this status (a scripted misbehaviour); nullopt returns to the real one.
    void setStatusOverride(std::optional<std::string> status);
    void reset();

private:
    struct Transfer {
        uint64_t begun = 0;
        bool haveInfo = false;
        uint32_t blockCount = 0;
        uint32_t length = 0;
        std::string bytes;
        size_t datagrams = 0;
        uint16_t nextSequence = 1;
        bool lastChunkSeen = false;
        bool cancelled = false;
        std::string problem; // the first inconsistency seen
    };

    UpgradeVerdict judge(const Transfer* transfer) const;
    const Transfer* latest() const; // with mutex_ held
    void receiveData(Transfer& transfer, std::string_view datagram);

    mutable std::mutex mutex_;
    std::string buildDate_;
    std::optional<std::string> statusOverride_;
    std::map<std::string, Transfer> transfers_;
    uint64_t counter_ = 0;
};

} // namespace orva::sim
