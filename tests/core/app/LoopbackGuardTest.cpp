#include "core/app/LoopbackGuard.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct GuardCase {
    const char* address;
    bool loopback;
};

class LoopbackGuardTest : public ::testing::TestWithParam<GuardCase> {};

TEST_P(LoopbackGuardTest, OnlyLoopbackPassesWhileTheOptionIsOn) {
    const GuardCase& c = GetParam();
    EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback);
    EXPECT_EQ(DestinationAllowed(c.address, true), c.loopback);
    // A site's own build may send anywhere.
    EXPECT_TRUE(DestinationAllowed(c.address, false));
}

// Addresses are only judged here, never sent to.
INSTANTIATE_TEST_SUITE_P(Addresses, LoopbackGuardTest,
                         ::testing::Values(GuardCase{"127.0.0.1", true}, GuardCase{"127.0.5.255", true},
                                           GuardCase{"127.255.255.255", true}, GuardCase{"127.0.0.0", true},
                                           GuardCase{"192.168.1.1", false},   // judged, never sent to
                                           GuardCase{"192.168.1.255", false}, // judged, never sent to
                                           GuardCase{"255.255.255.255", false}, GuardCase{"0.0.0.0", false},
                                           GuardCase{"126.255.255.255", false}, GuardCase{"128.0.0.1", false},
                                           GuardCase{"10.0.0.1", false}, // judged, never sent to
                                           GuardCase{"192.0.2.1", false}, GuardCase{"localhost", false},
                                           GuardCase{"", false}, GuardCase{"127.1", false},
                                           GuardCase{"0x7f.0.0.1", false}));

TEST(LoopbackGuard, RefusalNamesTheAddressAndTheOption) {
    const std::string text = LoopbackRefusal("192.0.2.1");
    EXPECT_NE(text.find("192.0.2.1"), std::string::npos);
    EXPECT_NE(text.find("-DORVA_LOOPBACK_ONLY=OFF"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

} // namespace
} // namespace orva
