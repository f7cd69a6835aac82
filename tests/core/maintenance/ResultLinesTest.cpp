// What the restore and upgrade pages show for one reply.
#include "core/maintenance/ResultLines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace orva {
namespace {

// 2023-11-14 22:13:20 UTC
constexpr std::time_t kWhen = 1'700'000'000;

class ResultLines : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(ResultLines, BroadcastAddressReplacesTheLastPart) {
    struct Case {
        const char* address;
        const char* broadcast;
    };
    for (const Case c : {Case{"127.0.130.1", "127.0.130.255"}, Case{"127.1.2.3", "127.1.2.255"},
                         Case{"127.0.0", "127.0.255"}, Case{"localhost", ".255"}, Case{"", ".255"}})
        EXPECT_EQ(SegmentBroadcastAddress(c.address), c.broadcast) << c.address;
}

TEST_F(ResultLines, RestoreLines) {
    struct Case {
        ReplyFieldMap fields;
        std::optional<std::string> line;
    };
    const std::vector<Case> cases = {
        {{{"STATUS", "HG_REVOCERY_PRECONFIG_SUCC"}, {"SN", "SN001"}},
         "SN = SN001，网关恢复出厂设置成功。日期：2023-11-14 22:13:20"},
        {{{"STATUS", "HG_REVOCERY_PRECONFIG_SUCC"}}, "SN = ，网关恢复出厂设置成功。日期：2023-11-14 22:13:20"},
        {{{"STATUS", "HG_REVOCERY_PRECONFIG_FAIL"}, {"SN", "SN002"}},
         "SN = SN002，网关恢复出厂设置失败。日期：2023-11-14 22:13:20"},
        {{{"STATUS", "BUSY"}}, "网关恢复出厂设置失败。日期：2023-11-14 22:13:20"},
        {{{"SN", "SN003"}}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RestoreResultLine(c.fields, kWhen), c.line);
}

TEST_F(ResultLines, UpgradeLines) {
    struct Case {
        ReplyFieldMap fields;
        std::optional<std::string> line;
    };
    const std::vector<Case> cases = {
        {{{"STATUS", "UPGRADE_SUCCESS"}, {"SN", "A1"}, {"BUILD_DATE", "20240115"}},
         "SN = A1，升级成功. 软件编译日期：20240115.软件升级日期：2023-11-14,22:13:20."},
        {{{"STATUS", "UPGRADE_SUCCESS"}, {"SN", "A1"}}, "SN = A1，升级成功. 软件升级日期：2023-11-14,22:13:20."},
        {{{"STATUS", "UPGRADE_UNKNOWN"}, {"SN", "A2"}, {"BUILD_DATE", "x"}},
         "SN = A2，升级状态未知. 软件升级日期：2023-11-14,22:13:20."},
        {{{"STATUS", "UPGRADE_FAIL"}, {"SN", "A3"}}, "SN = A3，升级失败. 软件升级日期：2023-11-14,22:13:20."},
        {{{"STATUS", "UPGRADE_BROKEN"}, {"SN", "A4"}}, "升级失败. 软件升级日期：2023-11-14,22:13:20."},
        {{{"STATUS", "UPGRADE_SUCCESS"}}, std::nullopt}, // no SN
        {{{"SN", "A5"}}, std::nullopt},                  // no STATUS
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpgradeResultLine(c.fields, kWhen), c.line);
}

} // namespace
} // namespace orva
