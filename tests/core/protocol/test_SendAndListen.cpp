// Broadcast exchanges: every reply within the listen time reaches the callback, in arrival order.
#include "ChannelFixture.h"
#include "TestSubnets.h"
#include "core/protocol/Base64.h"
#include "core/protocol/DeviceCommands.h"
#include "core/protocol/ListenReply.h"

#include <thread>

namespace orva::test {
namespace {

constexpr int kListenSubnet = orva::test::subnets::protocol::kSendAndListen;

class SendAndListenTest : public ChannelFixture {
protected:
    SendAndListenTest() : ChannelFixture(kListenSubnet) {}

    // Each reply seen by the callback, with what LastListenReply held while the callback ran.
    struct Seen {
        std::string reply;
        std::string last;
        bool operator==(const Seen&) const = default;
    };
    ListenCallback recorder() {
        return [this](const std::string& reply) { seen_.push_back({reply, LastListenReply()}); };
    }
    std::vector<Seen> seen_;
};

// Three gateways on the segment, each answering the broadcast from its own address.
FakeGateway::Responder ThreeGateways(const std::string& prefix) {
    return [prefix](const std::string&) {
        return std::vector<Answer>{ReplyLine("HG_REVOCERY_PRECONFIG_SUCC SN=A2", prefix + "2"),
                                   ReplyLine("HG_REVOCERY_PRECONFIG_FAIL SN=A3", prefix + "3"),
                                   ReplyLine("HG_REVOCERY_PRECONFIG_SUCC SN=A4", prefix + "4")};
    };
}

TEST_F(SendAndListenTest, ThreeGatewaysGiveThreeCallbacksInArrivalOrder) {
    FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
    aimAt(segment, broadcast());
    std::string error;
    EXPECT_EQ(channel().SendAndListen("HG_REVOCERY_PRECONFIG", recorder(), error), 0);
    const std::vector<Seen> expected = {
        {"HG_REVOCERY_PRECONFIG_SUCC SN=A2", "HG_REVOCERY_PRECONFIG_SUCC SN=A2"},
        {"HG_REVOCERY_PRECONFIG_FAIL SN=A3", "HG_REVOCERY_PRECONFIG_FAIL SN=A3"},
        {"HG_REVOCERY_PRECONFIG_SUCC SN=A4", "HG_REVOCERY_PRECONFIG_SUCC SN=A4"},
    };
    EXPECT_EQ(seen_, expected);
    EXPECT_EQ(segment.received(), std::vector<std::string>{Base64Encode("HG_REVOCERY_PRECONFIG")});
}

TEST_F(SendAndListenTest, NoGatewayAnsweringEndsAfterTheListenTimeWithAReceiveError) {
    FakeGateway segment(broadcast());
    aimAt(segment, broadcast());
    const int fds = OpenDescriptorCount();
    std::string error;
    EXPECT_EQ(channel().SendAndListen("HG_REVOCERY_PRECONFIG", recorder(), error), 0);
    EXPECT_EQ(error, "recvfrom data error!\n");
    EXPECT_TRUE(seen_.empty());
    EXPECT_TRUE(segment.waitForDatagrams(1));
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST_F(SendAndListenTest, UndecodableAndOversizedDatagramsAreSkipped) {
    const std::string prefix = subnet(kListenSubnet);
    FakeGateway segment(broadcast(), [prefix](const std::string&) {
        return std::vector<Answer>{ReplyLine("FIRST", prefix + "2"), Answer{"not*base64", prefix + "3"},
                                   ReplyLine(std::string(603, 'X'), prefix + "4"), ReplyLine("LAST", prefix + "5")};
    });
    aimAt(segment, broadcast());
    std::string error;
    EXPECT_EQ(channel().SendAndListen("QUERY_UPGRADE_MSG", recorder(), error), 0);
    EXPECT_EQ(seen_, (std::vector<Seen>{{"FIRST", "FIRST"}, {"LAST", "LAST"}}));
}

TEST_F(SendAndListenTest, UnsetTimesShowTheirMessageAndSendNothing) {
    struct Case {
        int replyTimeout;
        int listenTime;
        const char* message;
    };
    for (const Case c :
         {Case{-1, 1, "未正确设置超时"}, Case{1, -1, "未正确设置等待监听的超时"}, Case{-1, -1, "未正确设置超时"}}) {
        FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
        aimAt(segment, broadcast());
        channel().SetReplyTimeout(c.replyTimeout);
        channel().SetListenTime(c.listenTime);
        const size_t before = notifier_.messages().size();
        std::string error = "untouched";
        EXPECT_EQ(channel().SendAndListen("HG_REVOCERY_PRECONFIG", recorder(), error), -1);
        EXPECT_EQ(error, "untouched");
        const auto messages = notifier_.messages();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back(), c.message);

        channel().SetReplyTimeout(1);
        channel().SetListenTime(0);
        EXPECT_EQ(channel().SendAndListen("MARKER", {}, error), 0);
        ASSERT_TRUE(segment.waitForPayload(Base64Encode("MARKER")));
        EXPECT_EQ(segment.received().size(), 1u);
    }
    EXPECT_TRUE(seen_.empty());
}

TEST_F(SendAndListenTest, EmptyCommandIsRefused) {
    std::string error;
    EXPECT_EQ(channel().SendAndListen("", recorder(), error), -1);
    EXPECT_EQ(error, "输入参数错误");
}

TEST_F(SendAndListenTest, WholeSegmentOfLongRepliesArrives) {
    // 253 gateways answer at once with 600-byte reply lines (800 Base64 characters each).
    const std::string prefix = subnet(kListenSubnet);
    FakeGateway segment(broadcast(), [prefix](const std::string&) {
        std::vector<Answer> answers;
        for (int h = 2; h <= 254; ++h) {
            std::string line = "UPGRADE_SUCCESS SN=" + std::to_string(h) + " PAD=";
            line.resize(600, 'P');
            answers.push_back(ReplyLine(line, prefix + std::to_string(h)));
        }
        return answers;
    });
    aimAt(segment, broadcast());
    std::string error;
    EXPECT_EQ(channel().SendAndListen("QUERY_UPGRADE_MSG", recorder(), error), 0);
    ASSERT_EQ(seen_.size(), 253u);
    for (size_t i = 0; i < seen_.size(); ++i)
        EXPECT_EQ(seen_[i].reply.rfind("UPGRADE_SUCCESS SN=" + std::to_string(i + 2) + " ", 0), 0u) << i;
}

TEST_F(SendAndListenTest, StopFromAnotherThreadEndsTheListenAtOnce) {
    // Counted before the fake segment exists: while it answers it opens sockets of its own.
    const int fds = OpenDescriptorCount();
    {
        FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
        aimAt(segment, broadcast());
        channel().SetReplyTimeout(3600);
        channel().SetListenTime(3600);
        std::stop_source stop;
        std::jthread stopper([&] {
            segment.waitForDatagrams(1);
            stop.request_stop();
        });
        std::string error;
        EXPECT_EQ(channel().SendAndListen("HG_REVOCERY_PRECONFIG", recorder(), error, stop.get_token()), -1);
        EXPECT_EQ(error, "stopped\n");
    }
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST_F(SendAndListenTest, StopFromTheCallbackDeliversNoFurtherReply) {
    FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
    aimAt(segment, broadcast());
    channel().SetListenTime(3600);
    std::stop_source stop;
    std::string error;
    EXPECT_EQ(channel().SendAndListen(
                  "HG_REVOCERY_PRECONFIG",
                  [&](const std::string& reply) {
                      seen_.push_back({reply, LastListenReply()});
                      stop.request_stop();
                  },
                  error, stop.get_token()),
              -1);
    EXPECT_EQ(error, "stopped\n");
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].reply, "HG_REVOCERY_PRECONFIG_SUCC SN=A2");
}

TEST_F(SendAndListenTest, ListenTimeIsReadAgainOnEveryPass) {
    // Shortening the listen time from the callback ends the loop after the reply in hand.
    FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
    aimAt(segment, broadcast());
    channel().SetListenTime(3600);
    std::string error = "untouched";
    EXPECT_EQ(channel().SendAndListen(
                  "HG_REVOCERY_PRECONFIG",
                  [&](const std::string& reply) {
                      seen_.push_back({reply, LastListenReply()});
                      channel().SetListenTime(0);
                  },
                  error),
              0);
    EXPECT_EQ(seen_.size(), 1u);
    EXPECT_EQ(error, "untouched");
}

TEST_F(SendAndListenTest, EachReplyComesWithItsSender) {
    FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
    aimAt(segment, broadcast());
    std::vector<std::pair<std::string, std::string>> seen; // reply, sender address
    std::vector<uint16_t> ports;
    std::string error;
    EXPECT_EQ(channel().SendAndListen(
                  "HG_REVOCERY_PRECONFIG",
                  [&](const std::string& reply, const ReplySource& from) {
                      seen.emplace_back(reply, from.address);
                      ports.push_back(from.port);
                  },
                  error),
              0);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"HG_REVOCERY_PRECONFIG_SUCC SN=A2", host(2)},
        {"HG_REVOCERY_PRECONFIG_FAIL SN=A3", host(3)},
        {"HG_REVOCERY_PRECONFIG_SUCC SN=A4", host(4)},
    };
    EXPECT_EQ(seen, expected);
    for (const uint16_t port : ports)
        EXPECT_NE(port, 0);
}

// The listen ends at its listen time, not a reply time-out later: with a reply time-out of 30 s a
// 2 s listen is over well before 4 s, whether the segment stays silent, answers all the time, or
// falls silent half-way. The margin is generous for a loaded machine; it bounds the behaviour.
TEST_F(SendAndListenTest, ListenEndsAtItsListenTimeWhateverTheRepliesDo) {
    using namespace std::chrono;
    constexpr int kListenSeconds = 2;
    struct Case {
        std::string name;
        int answers; // one every 100 ms
    };
    const std::string prefix = subnet(kListenSubnet);
    for (const Case& c : {Case{"Silent", 0}, Case{"AnsweringThroughout", 30}, Case{"SilentAfterOneSecond", 10}}) {
        SCOPED_TRACE(c.name);
        FakeGateway segment(broadcast(), [&c, prefix](const std::string&) {
            std::vector<Answer> answers;
            for (int i = 0; i < c.answers; ++i) {
                Answer a = ReplyLine("UPGRADE_SUCCESS SN=" + std::to_string(i), prefix + "2");
                a.delayMs = 100;
                answers.push_back(a);
            }
            return answers;
        });
        aimAt(segment, broadcast());
        channel().SetReplyTimeout(30);
        channel().SetListenTime(kListenSeconds);
        size_t replies = 0;
        std::string error;
        const auto begin = steady_clock::now();
        EXPECT_EQ(channel().SendAndListen(
                      "QUERY_UPGRADE_MSG", [&](const std::string&) { ++replies; }, error),
                  0);
        const auto took = steady_clock::now() - begin;
        EXPECT_GE(took, seconds(kListenSeconds));
        EXPECT_LT(took, seconds(kListenSeconds + 2)) << duration_cast<milliseconds>(took).count() << " ms";
        if (c.answers == 0)
            EXPECT_EQ(replies, 0u);
        else
            EXPECT_GE(replies, std::min<size_t>(static_cast<size_t>(c.answers), 10u));
    }
}

class MaintenanceCommandsTest : public SendAndListenTest {};

TEST_F(MaintenanceCommandsTest, BroadcastsReturnTrueWithOrWithoutAnswers) {
    {
        FakeGateway segment(broadcast(), ThreeGateways(subnet(kListenSubnet)));
        aimAt(segment, broadcast());
        EXPECT_TRUE(DeviceCommands::RestorePreconfig(recorder()));
        EXPECT_EQ(seen_.size(), 3u);
    }
    seen_.clear();
    {
        FakeGateway segment(broadcast());
        aimAt(segment, broadcast());
        EXPECT_TRUE(DeviceCommands::QueryUpgradeStatus(recorder()));
        EXPECT_TRUE(seen_.empty());
        EXPECT_EQ(segment.received(), std::vector<std::string>{Base64Encode("QUERY_UPGRADE_MSG")});
    }
    // A start that fails looks the same to the caller.
    channel().SetListenTime(-1);
    EXPECT_TRUE(DeviceCommands::RestorePreconfig(recorder()));
    EXPECT_TRUE(seen_.empty());
}

TEST_F(MaintenanceCommandsTest, CancelSendsOneDatagramAndReadsNothing) {
    FakeGateway gw(gateway(), AnswerEveryTime("SHOULD_NOT_BE_READ"));
    aimAt(gw, gateway());
    EXPECT_FALSE(DeviceCommands::CancelUpgrade());
    ASSERT_TRUE(gw.waitForDatagrams(1));
    EXPECT_EQ(gw.received(), std::vector<std::string>{Base64Encode("HG_UPGRADE_CANCEL")});
}

} // namespace
} // namespace orva::test
