// One command, at most one reply: success, every failure path with its error text, and stopping.
#include "ChannelFixture.h"
#include "TestSubnets.h"
#include "core/protocol/Base64.h"
#include "core/protocol/BroadcastDestination.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <thread>

namespace orva::test {
namespace {

constexpr int kTransactSubnet = orva::test::subnets::protocol::kTransact;

class TransactTest : public ChannelFixture {
protected:
    TransactTest() : ChannelFixture(kTransactSubnet) {}

    // Sends a marker datagram on a good exchange and waits for it, so that the gateway's record shows
    // whether an earlier call sent anything.
    std::vector<std::string> receivedUpToMarker(FakeGateway& gw) {
        const int timeout = channel().ReplyTimeout();
        channel().SetReplyTimeout(1);
        std::string reply, error;
        EXPECT_EQ(channel().Transact("MARKER", reply, error, 0), 0);
        channel().SetReplyTimeout(timeout);
        EXPECT_TRUE(gw.waitForPayload(Base64Encode("MARKER")));
        auto got = gw.received();
        EXPECT_FALSE(got.empty());
        if (!got.empty()) {
            EXPECT_EQ(got.back(), Base64Encode("MARKER"));
            got.pop_back();
        }
        return got;
    }
};

TEST_F(TransactTest, ReplyIsDecodedIntoTheReplyText) {
    FakeGateway gw(gateway(), AnswerEveryTime("CONNECT_SUCC SN=1"));
    aimAt(gw, gateway());
    std::string reply = "old", error = "untouched";
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
    EXPECT_EQ(reply, "CONNECT_SUCC SN=1");
    EXPECT_EQ(error, "untouched");
}

TEST_F(TransactTest, EmptyOrOverlongCommandSendsNothing) {
    FakeGateway gw(gateway());
    aimAt(gw, gateway());
    for (const std::string& command : {std::string(), std::string(256, 'A')}) {
        std::string reply = "old", error;
        EXPECT_EQ(channel().Transact(command, reply, error, 1), -1);
        EXPECT_EQ(error, "输入参数错误");
        EXPECT_EQ(reply, "old");
    }
    EXPECT_TRUE(receivedUpToMarker(gw).empty());
}

TEST_F(TransactTest, LongestCommandGoesOutWhole) {
    FakeGateway gw(gateway());
    aimAt(gw, gateway());
    const std::string command(255, 'C');
    std::string reply, error;
    EXPECT_EQ(channel().Transact(command, reply, error, 0), 0);
    ASSERT_TRUE(gw.waitForDatagrams(1));
    EXPECT_EQ(gw.received().at(0), Base64Encode(command));
}

TEST_F(TransactTest, ReplyTimeoutNeverSetShowsAMessageAndSendsNothing) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    aimAt(gw, gateway());
    channel().SetReplyTimeout(-1);
    std::string reply = "old", error = "untouched";
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), -1);
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(reply, "old");
    EXPECT_EQ(notifier_.messages(), std::vector<std::string>{"未正确设置超时"});
    EXPECT_TRUE(receivedUpToMarker(gw).empty());
}

TEST_F(TransactTest, NoReplyWithinTheTimeoutFails) {
    FakeGateway gw(gateway());
    aimAt(gw, gateway());
    const int fds = OpenDescriptorCount();
    std::string reply = "old", error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), -1);
    EXPECT_EQ(error, "recvfrom data error!\n");
    EXPECT_EQ(reply, "old");
    EXPECT_EQ(gw.received(), std::vector<std::string>{Base64Encode("CONNECT")});
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST_F(TransactTest, WaitFlagOtherThanOneOnlySends) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    aimAt(gw, gateway());
    for (int flag : {0, 2, -1}) {
        SCOPED_TRACE(flag);
        std::string reply = "old", error = "untouched";
        EXPECT_EQ(channel().Transact("HG_UPGRADE_CANCEL", reply, error, flag), 0);
        EXPECT_EQ(reply, "old");
        EXPECT_EQ(error, "untouched");
    }
    EXPECT_TRUE(gw.waitForDatagrams(3));
}

TEST_F(TransactTest, UndecodableReplyLeavesTheReplyTextAlone) {
    const std::vector<std::string> payloads = {"", "abc", "ab!d", "Zg==Zm8=", "CONNECT_SUCC"};
    for (const auto& payload : payloads) {
        SCOPED_TRACE(payload);
        FakeGateway gw(gateway(), [payload](const std::string&) { return std::vector<Answer>{Answer{payload, {}}}; });
        aimAt(gw, gateway());
        std::string reply = "old", error = "untouched";
        EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
        EXPECT_EQ(reply, "old");
        EXPECT_EQ(error, "untouched");
    }
}

TEST_F(TransactTest, ReplyBytesAreKeptUpToTheFirstZero) {
    struct Case {
        std::string decoded;
        std::string text;
    };
    const std::vector<Case> cases = {
        {std::string("SUCC\0SN=1", 9), "SUCC"},
        {std::string("\0SUCC", 5), ""},
        {"SUCC SN=\xC0\xFF\x80", "SUCC SN=\xC0\xFF\x80"},
        {std::string(600, 'R'), std::string(600, 'R')}, // 800 Base64 characters: exactly the buffer
    };
    for (const auto& c : cases) {
        FakeGateway gw(gateway(), [&](const std::string&) {
            return std::vector<Answer>{Answer{Base64Encode(c.decoded), {}}};
        });
        aimAt(gw, gateway());
        std::string reply = "old", error;
        EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
        EXPECT_EQ(reply, c.text);
    }
}

TEST_F(TransactTest, DatagramLongerThanTheReceiveBufferIsAFailedReceive) {
    const std::string line(603, 'R'); // 804 Base64 characters
    FakeGateway gw(gateway(), AnswerEveryTime(line));
    aimAt(gw, gateway());
    std::string reply = "old", error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), -1);
    EXPECT_EQ(error, "recvfrom data error!\n");
    EXPECT_EQ(reply, "old");
}

// A gateway asked on the segment address answers from its own address, so a broadcast exchange takes
// the first readable reply from another host once the wait is over. Asked at one gateway's address, a
// reply from another host is not the gateway's: a silent gateway times out, whoever else speaks up.
TEST_F(TransactTest, ReplyFromAnotherHostCountsOnlyWhenTheCommandWentToABroadcastAddress) {
    struct Case {
        std::string name;
        std::string asked;
        int result;
        std::string reply;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"Unicast", gateway(), -1, "old", "recvfrom data error!\n"},
        {"SegmentBroadcast", broadcast(), 0, "CONNECT_SUCC DEVTYPE=SPOOFED", "untouched"},
    };
    const std::string other = host(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGateway gw(c.asked, [other](const std::string&) {
            return std::vector<Answer>{ReplyLine("CONNECT_SUCC DEVTYPE=SPOOFED", other)};
        });
        aimAt(gw, c.asked);
        std::string reply = "old", error = "untouched";
        EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), c.result);
        EXPECT_EQ(reply, c.reply);
        EXPECT_EQ(error, c.error);
    }
}

// The gateway's own reply wins over a host that answers first, whatever the destination.
TEST_F(TransactTest, GatewaysOwnReplyIsTakenAfterAnotherHostsEarlierOne) {
    const std::string other = host(7);
    FakeGateway gw(gateway(), [other](const std::string&) {
        Answer own = ReplyLine("CONNECT_SUCC DEVTYPE=REAL");
        own.delayMs = 300;
        return std::vector<Answer>{ReplyLine("CONNECT_SUCC DEVTYPE=SPOOFED", other), own};
    });
    aimAt(gw, gateway());
    std::string reply, error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
    EXPECT_EQ(reply, "CONNECT_SUCC DEVTYPE=REAL");
}

TEST(BroadcastDestination, BroadcastAddressesAreTheOnesOthersMayAnswerFor) {
    struct Case {
        const char* address;
        bool broadcast;
    };
    // Addresses are only judged here, never sent to.
    const Case cases[] = {
        {"255.255.255.255", true}, {"127.0.21.255", true},   {"192.168.1.255", true}, // judged only, never sent to
        {"10.255.255.255", true},                                                     // judged only, never sent to
        {"127.0.21.1", false},     {"192.168.1.1", false},                            // judged only, never sent to
        {"127.0.21.254", false},   {"255.255.255.0", false}, {"0.0.0.0", false},
    };
    for (const Case c : cases) {
        SCOPED_TRACE(c.address);
        in_addr a{};
        ASSERT_EQ(::inet_pton(AF_INET, c.address, &a), 1);
        EXPECT_EQ(IsBroadcastDestination(a.s_addr), c.broadcast);
    }
    // Whatever broadcast address an interface of this host has (a /25 ends in .127) is one as well.
    ifaddrs* list = nullptr;
    ASSERT_EQ(::getifaddrs(&list), 0);
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (!(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr || !i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
        EXPECT_TRUE(IsBroadcastDestination(b->sin_addr.s_addr)) << i->ifa_name;
    }
    ::freeifaddrs(list);
}

TEST_F(TransactTest, AddressThatIsNotDottedDecimalSendsNothing) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    for (const std::string address : {"", "gateway", "127.0.21", "127.0.21.256", "127.0.21.1 ", "0x7f.0.21.1"}) {
        SCOPED_TRACE(address);
        aimAt(gw, address);
        std::string reply = "old", error;
        EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), -1);
        EXPECT_EQ(error, "sendto data error!\n");
        EXPECT_EQ(reply, "old");
    }
    aimAt(gw, gateway());
    EXPECT_TRUE(receivedUpToMarker(gw).empty());
}

TEST_F(TransactTest, ZeroReplyTimeoutWaitsWithoutLimit) {
    // The answer comes well after the pause; a zero time-out must not give up before it.
    FakeGateway gw(gateway(), [](const std::string&) {
        Answer late = ReplyLine("LATE_SUCC");
        late.delayMs = 400;
        return std::vector<Answer>{late};
    });
    aimAt(gw, gateway());
    channel().SetReplyTimeout(0);
    std::string reply, error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
    EXPECT_EQ(reply, "LATE_SUCC");
}

TEST_F(TransactTest, StopDuringTheWaitAbandonsTheExchange) {
    FakeGateway gw(gateway());
    aimAt(gw, gateway());
    channel().SetReplyTimeout(3600);
    const int fds = OpenDescriptorCount();
    std::stop_source stop;
    std::jthread stopper([&] {
        gw.waitForDatagrams(1);
        stop.request_stop();
    });
    std::string reply = "old", error;
    // Returns only because of the stop: the time-out is an hour.
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1, stop.get_token()), -1);
    EXPECT_EQ(error, "stopped\n");
    EXPECT_EQ(reply, "old");
    stopper.join();
    EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST_F(TransactTest, AlreadyStoppedExchangeSendsNothing) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    aimAt(gw, gateway());
    std::stop_source stop;
    stop.request_stop();
    std::string reply = "old", error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1, stop.get_token()), -1);
    EXPECT_EQ(error, "stopped\n");
    EXPECT_TRUE(receivedUpToMarker(gw).empty());
}

TEST_F(TransactTest, OnlyTheLowSixteenBitsOfThePortCount) {
    FakeGateway gw(gateway(), AnswerEveryTime("SUCC"));
    aimAt(gw, gateway());
    channel().SetPort(65536 + gw.port());
    std::string reply, error;
    EXPECT_EQ(channel().Transact("CONNECT", reply, error, 1), 0);
    EXPECT_EQ(reply, "SUCC");
}

TEST_F(TransactTest, SettingsAreKeptAndReadBack) {
    channel().SetAddress("127.0.21.9");
    channel().SetPort(65536 + 7998);
    channel().SetReplyTimeout(15);
    channel().SetListenTime(5);
    EXPECT_EQ(channel().Address(), "127.0.21.9");
    EXPECT_EQ(channel().Port(), 65536 + 7998);
    EXPECT_EQ(channel().ReplyTimeout(), 15);
    EXPECT_EQ(channel().ListenTime(), 5);
    EXPECT_EQ(&CommandChannel::Instance(), &channel());
}

} // namespace
} // namespace orva::test
