#include "core/app/ClockText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace orva {
namespace {

// 2024-03-05 10:00:00 UTC, a Tuesday.
constexpr std::time_t kMoment = 1709632800;

// Sets TZ for one test and puts the old value back.
class ClockText : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ"))
            saved_ = tz;
        ::setenv("TZ", "CST-8", 1); // China Standard Time, UTC+8, no daylight saving
        ::tzset();
    }
    void TearDown() override {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(ClockText, LocalAndUtcTextsOfOneMoment) {
    struct Case {
        const char* label;
        std::string got;
        const char* want;
    };
    const Case cases[] = {
        {"local, record form", LocalTimeText(kMoment), "2024-03-05 18:00:00"},
        {"utc, record form", UtcTimeText(kMoment), "2024-03-05 10:00:00"},
        {"local, journal form", LocalTimeText(kMoment, kIsoDateTimeFormat), "2024-03-05T18:00:00"},
        {"utc, station form", UtcTimeText(kMoment, kIsoDateTimeFormat), "2024-03-05T10:00:00"},
        {"local, the day's change", LocalTimeText(kMoment + 6 * 3600), "2024-03-06 00:00:00"},
        {"empty format", LocalTimeText(kMoment, ""), ""},
        // More text than the helper holds gives nothing rather than a cut text.
        {"too long", LocalTimeText(kMoment, std::string(300, 'x').c_str()), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << c.label;
    const std::tm local = LocalTime(kMoment);
    EXPECT_EQ(local.tm_year + 1900, 2024);
    EXPECT_EQ(local.tm_hour, 18);
    EXPECT_EQ(LocalTimeText().size(), std::string("2024-03-05 18:00:00").size());
}

} // namespace
} // namespace orva
