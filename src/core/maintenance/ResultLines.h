#pragma once
// What the maintenance pages make of one gateway reply, and the small text helpers they share. Pure
// functions: the caller supplies the reply fields and the moment the reply was handled.
#include <ctime>
#include <map>
#include <optional>
#include <string>

namespace orva {

using ReplyFieldMap = std::map<std::string, std::string>;

// The segment broadcast address of a gateway address: the text up to its last "." followed by ".255",
// whatever the network's mask ("10.20.30.40" gives "10.20.30.255"; a text without "." gives ".255").
std::string SegmentBroadcastAddress(const std::string& gatewayAddress);

// printf-style formatting into a string of the right size.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The restore result line for a reply to "HG_REVOCERY_PRECONFIG"; none when it carries no "STATUS".
std::optional<std::string> RestoreResultLine(const ReplyFieldMap& fields, std::time_t when);

// The upgrade result line for a reply to "QUERY_UPGRADE_MSG"; none when "STATUS" or "SN" is missing.
std::optional<std::string> UpgradeResultLine(const ReplyFieldMap& fields, std::time_t when);

} // namespace orva
