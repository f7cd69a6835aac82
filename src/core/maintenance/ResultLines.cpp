#include "core/maintenance/ResultLines.h"

#include "core/app/ClockText.h"
#include "core/maintenance/MaintenanceTexts.h"

#include <cstdarg>
#include <cstdio>

namespace orva {

namespace text = maintenance_text;

namespace {

std::optional<std::string> Lookup(const ReplyFieldMap& fields, const char* name) {
    const auto it = fields.find(name);
    if (it == fields.end())
        return std::nullopt;
    return it->second;
}

} // namespace

std::string SegmentBroadcastAddress(const std::string& gatewayAddress) {
    const auto dot = gatewayAddress.rfind('.');
    return (dot == std::string::npos ? std::string() : gatewayAddress.substr(0, dot)) + ".255";
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}

std::optional<std::string> RestoreResultLine(const ReplyFieldMap& fields, std::time_t when) {
    const auto status = Lookup(fields, "STATUS");
    if (!status)
        return std::nullopt;
    const auto sn = Lookup(fields, "SN");
    const std::string date = LocalTimeText(when, text::kRestoreDateFormat);
    if (*status == text::kRestoreSuccessStatus)
        return FormatText(text::kRestoreSuccess, sn.value_or("").c_str(), date.c_str());
    if (sn)
        return FormatText(text::kRestoreFailureWithSn, sn->c_str(), date.c_str());
    return FormatText(text::kRestoreFailure, date.c_str());
}

std::optional<std::string> UpgradeResultLine(const ReplyFieldMap& fields, std::time_t when) {
    const auto status = Lookup(fields, "STATUS");
    const auto sn = Lookup(fields, "SN");
    if (!status || !sn)
        return std::nullopt;
    const auto buildDate = Lookup(fields, "BUILD_DATE");
    const std::string date = LocalTimeText(when, text::kUpgradeDateFormat);
    if (*status == "UPGRADE_SUCCESS") {
        if (buildDate)
            return FormatText(text::kUpgradeSuccessBuild, sn->c_str(), buildDate->c_str(), date.c_str());
        return FormatText(text::kUpgradeSuccess, sn->c_str(), date.c_str());
    }
    if (*status == "UPGRADE_UNKNOWN")
        return FormatText(text::kUpgradeUnknown, sn->c_str(), date.c_str());
    if (*status == "UPGRADE_FAIL")
        return FormatText(text::kUpgradeFail, sn->c_str(), date.c_str());
    return FormatText(text::kUpgradeOther, date.c_str());
}

} // namespace orva
