#pragma once
// The gateways that answered one broadcast listen. A gateway answers once, but a listen hears whatever
// arrives: a gateway that repeats itself, or a host that floods the port, must not become thousands of
// result lines and a summary of thousands of gateways. A gateway is its source address with its serial
// number; the first reply of each counts, repeats count nothing. Only the first kShownGateways get a
// result line each, so a segment that answers in the thousands cannot flood the page; the rest are
// counted and named by one closing line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

namespace orva {

// Distinct gateways of one listen, by outcome.
struct GatewayCount {
    size_t answered = 0;
    size_t succeeded = 0;
    size_t failed = 0;
    size_t unknown = 0; // answered with a state that is neither (an upgrade's UPGRADE_UNKNOWN)
    // The roll-call taken before (all 0 without one): gateways it knew, those of them that succeeded,
    // and those that never answered.
    size_t known = 0;
    size_t knownSucceeded = 0;
    size_t neverAnswered = 0;
    // Every known gateway succeeded; false without a roll-call.
    bool everyKnownSucceeded() const { return known > 0 && knownSucceeded == known; }
    bool operator==(const GatewayCount&) const = default;
};

class GatewayReplies {
public:
    static constexpr size_t kShownGateways = 1024;
    // Distinct gateways remembered at the most (a segment holds 253): past this a flood of made-up serial
    // numbers is not remembered and not counted, so a long listen stays within a few megabytes.
    static constexpr size_t kMaxRemembered = size_t{1} << 18;

    enum class Verdict {
        Repeat, // this gateway was heard already (or kMaxRemembered are): no line, no count
        Show,   // a new gateway whose line is shown
        Hide,   // a new gateway, counted, but past the lines shown
    };

    // Files the reply of the gateway at `source` (dotted address) with serial number `serial` (empty when
    // the reply had none) and its outcome.
    Verdict add(const std::string& source, const std::string& serial, bool succeeded, bool unknown = false);

    const GatewayCount& count() const { return count_; }
    // New gateways that got no line of their own.
    size_t hidden() const { return count_.answered > kShownGateways ? count_.answered - kShownGateways : 0; }
    // The closing line (printf format with one %zu, the number of hidden gateways), once any is hidden.
    std::optional<std::string> closingLine(const char* format) const;

private:
    // A digest of (source, serial) rather than the texts: a flood of distinct serial numbers during a
    // long listen must not keep hundreds of bytes per datagram.
    std::unordered_set<uint64_t> seen_;
    GatewayCount count_;
};

} // namespace orva
