#pragma once
// What the gateway simulator pretends to be and how it misbehaves on purpose.
#include "core/app/Result.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orva::sim {

// A change to the answer of every command that starts with `prefix` as whole words (the prefix is the
// whole command, or is followed by a blank in it, or itself ends in a blank or '='). Several overrides may match one
// command; they are applied from the shortest prefix to the longest (and in insertion order for equal
// lengths), so a narrow override refines a broad one.
struct Override {
    std::string prefix;
    int gateway = 0;                                         // 0: every simulated gateway, k: only the k-th
    int unit = 0;                                            // 0: every unit of --units, k: only the k-th
    bool noReply = false;                                    // stay silent
    std::optional<int> delayMs;                              // answer this much later
    std::optional<std::string> status;                       // replace the status word
    std::vector<std::pair<std::string, std::string>> fields; // set (or add) fields
    std::vector<std::string> drop;                           // remove fields
    std::optional<std::string> raw;                          // send this reply line instead (still Base64-encoded)
    std::optional<std::string> payload;                      // send these bytes as the datagram, not encoded at all
};

enum class ReportMode { Ok, Code1, Html500, Silent, Slow };

struct HttpUser {
    std::string name;
    std::string password;
};

// Every member has its default here, so a test can name only the ones it sets ({.sn = "GW"}).
struct Options {
    bool showVersion = false; // --version: print the version and end
    std::string address = "127.0.0.1";
    int gateways = 1;
    std::string model = "KT540G";
    std::string sn = "SIM0A1B2C3D4E";
    std::string buildDate = "20240115";
    // Units swapped on a test line (--units): each serial number in turn answers for swapAfterMs, then
    // nobody answers for swapGapMs (the unit is being unplugged), then the next; after the last, nobody.
    // Empty: the one gateway `sn` answers all the time.
    std::vector<std::string> units{};
    int swapAfterMs = 10000;
    int swapGapMs = 3000;
    std::vector<Override> overrides{};
    // Image data datagrams (1-based, counted per sender from its image-info datagram) that are lost on
    // the way: journalled, but never reach the gateways, so the transfer ends incomplete.
    std::vector<int> dropImageDatagrams{};
    std::string journalFile{}; // empty: journal kept in memory only
    bool udp = true;           // false: serve only the web endpoints

    // Service endpoints (HTTP/HTTPS on loopback).
    std::string http{};  // "127.0.0.1:PORT", empty: none
    std::string https{}; // "127.0.0.1:PORT", empty: none
    std::string certFile{};
    std::string keyFile{};
    std::vector<HttpUser> users{};
    std::string updateVersion{}; // empty: no update announced
    std::string reportsFile{};
    ReportMode reportMode = ReportMode::Ok;
    int slowMs = 5000;
    // Every reportFailEvery-th report received (counted from 1 since the start) is answered in
    // reportFailMode instead of reportMode; 0: never.
    int reportFailEvery = 0;
    ReportMode reportFailMode = ReportMode::Code1;
};

// Parses one override setting ("no-reply", "delay=MS", "status=WORD", "raw=TEXT", "payload=TEXT",
// "drop=NAME", "gateway=K", "unit=K" or a field "NAME=VALUE") into `o`.
Result<void> ParseOverrideSetting(const std::string& setting, Override& o);

// Command-line parsing into `options`: a failure says what is wrong with the usage; `help` is set for
// --help.
Result<void> ParseCommandLine(const std::vector<std::string>& args, Options& options, bool& help);

std::string UsageText();

} // namespace orva::sim
