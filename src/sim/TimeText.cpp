#include "sim/TimeText.h"

#include "core/app/ClockText.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace orva::sim {

std::string LocalTimeText() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms));
    return orva::LocalTimeText(t, orva::kIsoDateTimeFormat) + millis;
}

} // namespace orva::sim
