#pragma once
// Who is on the segment before a restore or an image transfer. "QUERY_SYSTEM_INFO" goes to the
// segment's broadcast address on the identity port, and every distinct gateway that answers within the
// roll-call's short listen is known. Afterwards the restore or the upgrade check can say which known
// gateway never answered, and the check need not listen on once every known gateway has.
//
// A gateway is keyed as the result lines key it: its source address with its serial number. An
// identity reply carries the serial as "DEVTYPE" (what the diagnosis reads as the serial); a reply
// that also has "SN" is keyed by that. Nobody answering leaves the roll-call empty, and an empty
// roll-call changes nothing in what the restore or the check does or shows.
#include "core/app/TextTable.h"
#include "core/maintenance/GatewayReplies.h"
#include "core/protocol/ExchangeTarget.h"

#include <cstddef>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orva {

struct KnownGateway {
    std::string address; // dotted source address of its identity reply
    std::string serial;
    bool operator==(const KnownGateway&) const = default;
};

// The longest roll-call listen a setting may ask for: the roll-call runs before every restore and
// transfer, and a typing error must not hold each of them for minutes.
inline constexpr int kMaxRollCallSeconds = 10;
// `rollcalltime` as the sessions use it: negative gives 0 (no roll-call), beyond the maximum the maximum.
int UsableRollCallTime(int seconds);

class RollCall {
public:
    // Gateways kept; a /24 holds 253, so this is already far beyond any real segment.
    static constexpr size_t kMaxGateways = 1024;
    // A serial longer than this, or holding anything but printable ASCII without blanks, is not one.
    static constexpr size_t kMaxSerialLength = 64;

    enum class Verdict {
        Added,   // a new gateway
        Repeat,  // a gateway heard already
        Ignored, // not an identity reply, or no usable serial
        Beyond,  // a usable reply past kMaxGateways: counted, not kept
    };

    // Files one decoded reply (reply text as the tool reads it) from `source`.
    Verdict add(const std::string& reply, const std::string& source);

    const std::vector<KnownGateway>& gateways() const { return gateways_; }
    bool empty() const { return gateways_.empty(); }
    size_t ignored() const { return ignored_; }
    size_t beyond() const { return beyond_; }

private:
    std::vector<KnownGateway> gateways_;
    std::unordered_set<std::string> keys_;
    size_t ignored_ = 0;
    size_t beyond_ = 0;
};

// Asks the segment of `segment.address` (sent there as it is: the sessions' own broadcast
// destination) on the identity port, with the target's reply time-out, and listens `seconds`. Empty
// when `seconds` is 0, nobody answered, the exchange failed or a stop request ended it.
RollCall TakeRollCall(const ExchangeTarget& segment, int seconds, std::stop_token stop = {});

// Which known gateways have answered one restore or status check.
class Attendance {
public:
    Attendance() = default;
    explicit Attendance(const RollCall& rollCall);

    // A gateway's first reply to the restore or the check: marks the known gateway it names, with its
    // outcome. A reply without a serial names the first unmarked known gateway at its address; one whose
    // serial is known but from another address names the first unmarked known gateway of that serial.
    // False when it names no known gateway (or one marked already).
    bool mark(const std::string& address, const std::string& serial, bool succeeded);

    size_t known() const { return gateways_.size(); }
    size_t answered() const { return answered_; }
    size_t succeeded() const { return succeeded_; }
    // Every known gateway has answered; false without a roll-call.
    bool complete() const { return !gateways_.empty() && answered_ == gateways_.size(); }
    // The known gateways that have not answered, in the order they answered the roll-call.
    std::vector<KnownGateway> silent() const;

private:
    std::vector<KnownGateway> gateways_;
    std::vector<bool> marked_;
    std::unordered_map<std::string, size_t> byKey_;
    size_t answered_ = 0;
    size_t succeeded_ = 0;
};

// What the result list shows of a roll-call before the restore's or the check's own lines: one line per
// known gateway, the count, and how many replies were ignored or past the limit. None for an empty
// roll-call, whose restore or check shows exactly what it would without one.
std::vector<std::string> RollCallLines(const RollCall& rollCall);
// The closing line of a known gateway that never answered; `id` is RestoreNeverAnswered or
// UpgradeNeverAnswered.
std::string NeverAnsweredLine(TextId id, const KnownGateway& gateway);
// The roll-call's figures in a listen's count (left 0 without a roll-call).
void CountAttendance(const Attendance& attendance, GatewayCount& count);

} // namespace orva
