#include "core/app/ClockText.h"

namespace orva {
namespace {

std::string Format(const std::tm& tm, const char* format) {
    char text[256];
    const std::size_t n = std::strftime(text, sizeof text, format, &tm);
    return std::string(text, n);
}

} // namespace

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string LocalTimeText(std::time_t when, const char* format) {
    return Format(LocalTime(when), format);
}

std::string UtcTimeText(std::time_t when, const char* format) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    return Format(utc, format);
}

std::string LocalTimeText() {
    return LocalTimeText(std::time(nullptr));
}

} // namespace orva
