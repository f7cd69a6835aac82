#pragma once
// One unit a station diagnosed, as its outputs show it: the verdict line, the JSON line, the JUnit suite.
#include "core/diagnosis/DiagnosisSession.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace orva::cli {

// Longest texts taken from a gateway or a run into the station's outputs, in bytes.
inline constexpr size_t kMaxSerialText = 128;
inline constexpr size_t kMaxFieldText = 512;

// A text read from a gateway made safe to print and to store: valid UTF-8, control characters as U+FFFD,
// at most `limit` bytes (cut at a character, "…" added).
std::string BoundedText(std::string_view text, size_t limit);

struct StationUnit {
    int number = 0;       // from 1, in the order tested
    std::string serial;   // bounded
    std::string mac;
    std::string model;
    std::string address;
    std::string verdict;  // "passed", "failed", "not-finished"
    std::string outcome;  // how the run ended ("finished", "connect-timeout", ...)
    std::string problem;  // why a unit without a failed check did not pass; empty otherwise
    double seconds = 0;
    std::string started;  // UTC, "YYYY-MM-DDTHH:MM:SS"
    std::vector<CheckOutcome> checks; // every check run, texts bounded
    nlohmann::json report = nlohmann::json::object(); // stored, reported, kept_for_upload, report_problem

    bool passed() const { return verdict == "passed"; }
    std::vector<const CheckOutcome*> failedChecks() const;
};

// "SN: passed" or "SN: failed: name (fault), ...", for a person.
std::string VerdictLine(const StationUnit& unit);
// The unit's line of station --json.
nlohmann::json UnitJson(const StationUnit& unit);
// The current UTC time as StationUnit::started spells it.
std::string UtcTimestamp();

} // namespace orva::cli
