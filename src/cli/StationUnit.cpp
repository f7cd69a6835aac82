#include "cli/StationUnit.h"

#include "core/app/ClockText.h"
#include "core/web/Utf8.h"

#include <ctime>

namespace orva::cli {

std::string BoundedText(std::string_view text, size_t limit) {
    const std::string valid = Utf8Sanitize(text.substr(0, limit + 4)); // a cut character becomes U+FFFD
    std::string out;
    for (size_t i = 0; i < valid.size();) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(valid, i, cp);
        const size_t step = length == 0 ? 1 : length;
        // U+FFFD, as the session shows a control character.
        const std::string piece = cp < 0x20 || cp == 0x7f ? std::string("\xEF\xBF\xBD") : valid.substr(i, step);
        if (out.size() + piece.size() > limit) {
            out += "…";
            break;
        }
        out += piece;
        i += step;
    }
    return out;
}

std::vector<const CheckOutcome*> StationUnit::failedChecks() const {
    std::vector<const CheckOutcome*> failed;
    for (const CheckOutcome& c : checks)
        if (!c.fault.empty())
            failed.push_back(&c);
    return failed;
}

std::string VerdictLine(const StationUnit& unit) {
    const std::string serial = unit.serial.empty() ? "(no serial number)" : unit.serial;
    if (unit.passed())
        return serial + ": passed";
    std::string line = serial + ": " + (unit.verdict == "failed" ? "failed" : "not finished (" + unit.outcome + ")");
    std::string separator = ": ";
    for (const CheckOutcome* c : unit.failedChecks()) {
        line += separator + c->name + " (" + c->fault + ")";
        separator = ", ";
    }
    if (!unit.problem.empty())
        line += separator + unit.problem;
    return line;
}

nlohmann::json UnitJson(const StationUnit& unit) {
    nlohmann::json failed = nlohmann::json::array();
    for (const CheckOutcome* c : unit.failedChecks())
        failed.push_back(
            {{"number", c->item}, {"name", c->name}, {"mark", c->mark}, {"result", c->result}, {"fault", c->fault}});
    nlohmann::json line = {
        {"unit", unit.number},
        {"sn", unit.serial},
        {"mac", unit.mac},
        {"model", unit.model},
        {"address", unit.address},
        {"verdict", unit.verdict},
        {"outcome", unit.outcome},
        {"seconds", static_cast<double>(static_cast<long long>(unit.seconds * 10 + 0.5)) / 10},
        {"started", unit.started},
        {"checks", unit.checks.size()},
        {"failed", failed},
        {"problem", unit.problem.empty() ? nlohmann::json(nullptr) : nlohmann::json(unit.problem)},
    };
    for (const auto& [key, value] : unit.report.items())
        line[key] = value;
    return line;
}

std::string UtcTimestamp() {
    return UtcTimeText(std::time(nullptr), kIsoDateTimeFormat);
}

} // namespace orva::cli
