#pragma once
// What a gateway answers to each command of the tool, known by the texts of the tool's own command
// table, before the answer goes on the wire.
#include "sim/Options.h"
#include "sim/UpgradePeer.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orva::sim {

inline constexpr uint16_t kIdentityPort = 7998; // connection, identity, software checks, restore
inline constexpr uint16_t kHardwarePort = 7999;
inline constexpr uint16_t kUpgradeQueryPort = 50003;
inline constexpr uint16_t kImagePort = 54321; // image datagrams and the cancel, never answered
inline constexpr uint16_t kPorts[] = {kIdentityPort, kHardwarePort, kUpgradeQueryPort, kImagePort};

// A status word followed by blank-separated NAME=VALUE fields.
struct ReplyLine {
    std::string status;
    std::vector<std::pair<std::string, std::string>> fields;

    void set(const std::string& name, const std::string& value);
    void drop(const std::string& name);
    std::string text() const;
};

// One datagram to send back, already in wire form (normally Base64 of a reply line).
struct Answer {
    std::string payload;
    int delayMs = 0;
    int gateway = 1;
};

// Serial number of the k-th simulated gateway (1-based): SN, SN-2, SN-3, ...
std::string SerialNumber(const Options& options, int k);

// The answers of every simulated gateway to `command` received on `port`, overrides applied.
// `upgrade` is the gateways' judgement of the last image transfer, which decides the status of
// "QUERY_UPGRADE_MSG"; null when no image was received (the gateways then answer UPGRADE_SUCCESS).
// Empty when nobody answers. `broadcast`: the command came to the segment address, where every
// simulated gateway answers the identity query (each with its own serial as DEVTYPE), as a roll-call
// of the segment hears it.
std::vector<Answer> AnswerCommand(uint16_t port, const std::string& command, const Options& options,
                                  const std::vector<Override>& overrides, const UpgradeVerdict* upgrade = nullptr,
                                  bool broadcast = false);

} // namespace orva::sim
