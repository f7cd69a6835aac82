// The simulator's answers to an identity query: once per simulated gateway when it was asked of the
// segment (a roll-call), once when it was asked of the gateway address, overrides applied per gateway.
#include "core/protocol/Base64.h"
#include "sim/GatewayModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::sim {
namespace rollcall_answers {

std::vector<std::string> Texts(const std::vector<Answer>& answers) {
    std::vector<std::string> out;
    for (const Answer& a : answers) {
        std::string text;
        EXPECT_TRUE(Base64Decode(a.payload, text));
        out.push_back(text);
    }
    return out;
}

std::string Identity(const std::string& serial) {
    return "QUERY_SYSTEM_INFO_SUCC SWVERSION=V1.0.3 HDVERSION=HW2.0 PRODUCTCLASS=KT540G CPUCLASS=BCM6838 DEVTYPE=" +
           serial;
}

TEST(RollCallAnswers, EveryGatewayAnswersTheSegmentOnlyTheAddressedOneTheGateway) {
    Options options;
    options.gateways = 3;
    options.sn = "RC";
    Override silent;
    silent.prefix = "QUERY_SYSTEM_INFO";
    silent.gateway = 2;
    silent.noReply = true;
    struct Case {
        const char* name;
        bool broadcast;
        std::vector<Override> overrides;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"segment", true, {}, {Identity("RC"), Identity("RC-2"), Identity("RC-3")}},
        {"segment, the second silent", true, {silent}, {Identity("RC"), Identity("RC-3")}},
        {"gateway address", false, {}, {Identity("RC")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts(AnswerCommand(kIdentityPort, "QUERY_SYSTEM_INFO", options, c.overrides, nullptr, c.broadcast)),
                  c.expected)
            << c.name;
    // The other commands of the identity port do not multiply on the segment.
    EXPECT_EQ(AnswerCommand(kIdentityPort, "CONNECT", options, {}, nullptr, true).size(), 1u);
}

} // namespace rollcall_answers
} // namespace orva::sim
