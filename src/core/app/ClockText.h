#pragma once
// Moments as the tool writes them: record times, log lines, result lines, journals.
#include <ctime>
#include <string>

namespace orva {

// "2024-03-05 10:00:00": how records, the log file and the diagnosis list write a moment.
inline constexpr const char* kDateTimeFormat = "%Y-%m-%d %H:%M:%S";
// "2024-03-05T10:00:00": the station's and the simulator's journal time stamps.
inline constexpr const char* kIsoDateTimeFormat = "%Y-%m-%dT%H:%M:%S";

// The broken-down local time of `when` (all zero should the C library fail).
std::tm LocalTime(std::time_t when);

// `when` in local time (or UTC) in a strftime format; at most 255 bytes of text.
std::string LocalTimeText(std::time_t when, const char* format = kDateTimeFormat);
std::string UtcTimeText(std::time_t when, const char* format = kDateTimeFormat);

// The local time now as kDateTimeFormat writes it.
std::string LocalTimeText();

} // namespace orva
