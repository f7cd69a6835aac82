#include "sim/TimeText.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace orva::sim {

std::string LocalTimeText() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    char out[48];
    std::snprintf(out, sizeof out, "%s.%03d", date, static_cast<int>(ms));
    return out;
}

} // namespace orva::sim
