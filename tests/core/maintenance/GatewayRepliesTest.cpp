// Gateways of one listen: a repeat counts nothing, new gateways past the lines shown are still counted.
#include "core/maintenance/GatewayReplies.h"

#include <gtest/gtest.h>

namespace orva::test {
namespace {

TEST(GatewayReplies, AGatewayIsItsAddressWithItsSerialNumber) {
    struct Step {
        const char* source;
        const char* serial;
        bool succeeded;
        GatewayReplies::Verdict verdict;
    };
    using V = GatewayReplies::Verdict;
    GatewayReplies gateways;
    for (const Step& s : {
             Step{"127.0.1.2", "SN1", true, V::Show},
             Step{"127.0.1.2", "SN1", false, V::Repeat}, // a repeat does not change the first outcome
             Step{"127.0.1.3", "SN1", true, V::Show},    // the same serial elsewhere is another gateway
             Step{"127.0.1.2", "SN2", false, V::Show},   // as is another serial from the same address
             Step{"127.0.1.2", "", false, V::Show},      // a reply without serial number
             Step{"127.0.1.2", "", true, V::Repeat},
             Step{"127.0.1.23", "", true, V::Show}, // "127.0.1.2" + "3..." must not run together
         }) {
        SCOPED_TRACE(std::string(s.source) + " " + s.serial);
        EXPECT_EQ(gateways.add(s.source, s.serial, s.succeeded), s.verdict);
    }
    EXPECT_EQ(gateways.count(), (GatewayCount{5, 3, 2}));
    EXPECT_EQ(gateways.hidden(), 0u);
    EXPECT_FALSE(gateways.closingLine("%zu more").has_value());
}

TEST(GatewayReplies, LinesStopAtTheCapAndTheRestAreCounted) {
    GatewayReplies gateways;
    constexpr size_t kGateways = GatewayReplies::kShownGateways + 76;
    size_t shown = 0;
    for (size_t i = 0; i < kGateways; ++i) {
        const auto verdict = gateways.add("127.0.1.2", "SN" + std::to_string(i), i % 2 == 0);
        shown += verdict == GatewayReplies::Verdict::Show;
        EXPECT_EQ(verdict,
                  i < GatewayReplies::kShownGateways ? GatewayReplies::Verdict::Show : GatewayReplies::Verdict::Hide)
            << i;
        // A hidden gateway repeating itself is still a repeat.
        EXPECT_EQ(gateways.add("127.0.1.2", "SN" + std::to_string(i), true), GatewayReplies::Verdict::Repeat);
    }
    EXPECT_EQ(shown, 1024u);
    EXPECT_EQ(gateways.count(), (GatewayCount{kGateways, kGateways / 2, kGateways / 2}));
    EXPECT_EQ(gateways.hidden(), 76u);
    EXPECT_EQ(gateways.closingLine("%zu more"), "76 more");
}

// A flood of made-up serial numbers during a long listen: past the gateways it remembers, the listen
// neither keeps nor counts more, and what it counted stays as it was.
TEST(GatewayReplies, AFloodOfSerialsIsRememberedOnlyUpToItsBound) {
    GatewayReplies gateways;
    for (size_t i = 0; i < GatewayReplies::kMaxRemembered; ++i)
        ASSERT_NE(gateways.add("127.0.1.3", "F" + std::to_string(i), true), GatewayReplies::Verdict::Repeat) << i;
    EXPECT_EQ(gateways.add("127.0.1.3", "ONE-MORE", true), GatewayReplies::Verdict::Repeat);
    EXPECT_EQ(gateways.add("127.0.1.4", "F0", false), GatewayReplies::Verdict::Repeat);
    EXPECT_EQ(gateways.count().answered, GatewayReplies::kMaxRemembered);
    EXPECT_EQ(gateways.count().succeeded, GatewayReplies::kMaxRemembered);
    EXPECT_EQ(gateways.hidden(), GatewayReplies::kMaxRemembered - GatewayReplies::kShownGateways);
}

} // namespace
} // namespace orva::test
