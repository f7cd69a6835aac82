#include "core/maintenance/GatewayReplies.h"

#include "core/maintenance/ResultLines.h"

#include <string_view>

namespace orva {

namespace {

// FNV-1a over the address, a separator no dotted address holds, and the serial number.
uint64_t GatewayKey(const std::string& source, const std::string& serial) {
    uint64_t h = 0xcbf29ce484222325ull;
    const auto mix = [&h](std::string_view bytes) {
        for (const unsigned char c : bytes) {
            h ^= c;
            h *= 0x100000001b3ull;
        }
    };
    mix(source);
    mix(std::string_view("\0", 1));
    mix(serial);
    return h;
}

} // namespace

GatewayReplies::Verdict GatewayReplies::add(const std::string& source, const std::string& serial, bool succeeded,
                                            bool unknown) {
    const uint64_t key = GatewayKey(source, serial);
    if (seen_.size() >= kMaxRemembered || !seen_.insert(key).second)
        return Verdict::Repeat;
    ++count_.answered;
    ++(unknown ? count_.unknown : succeeded ? count_.succeeded : count_.failed);
    return count_.answered <= kShownGateways ? Verdict::Show : Verdict::Hide;
}

std::optional<std::string> GatewayReplies::closingLine(const char* format) const {
    if (hidden() == 0)
        return std::nullopt;
    return FormatText(format, hidden());
}

} // namespace orva
