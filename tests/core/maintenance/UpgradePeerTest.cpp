// The simulated gateway's judgement of an image transfer, fed with datagrams built by the sender's code.
#include "sim/UpgradePeer.h"
#include "TestSupport.h"
#include "core/maintenance/ImageDatagrams.h"
#include "core/protocol/Base64.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orva {
namespace {

using test::PatternImage;

using sim::ImageDatagramKind;
using sim::UpgradePeer;

const std::string kSource = "127.0.0.1:40000";

std::string Bytes(const auto& datagram) {
    return std::string(reinterpret_cast<const char*>(datagram.data()), datagram.size());
}

// The datagrams of a transfer, in order: info first.
std::vector<std::string> Transfer(const std::string& image) {
    std::vector<std::string> out{Bytes(BuildImageInfoDatagram(static_cast<uint32_t>(image.size())))};
    for (size_t i = 0; i < ImageDataDatagramCount(static_cast<uint32_t>(image.size())); ++i)
        out.push_back(Bytes(BuildImageDataDatagram(image, i)));
    return out;
}

void Feed(UpgradePeer& peer, const std::vector<std::string>& datagrams, const std::string& source = kSource) {
    for (const auto& d : datagrams)
        peer.receive(source, d);
}

TEST(UpgradePeer, CompleteTransfersSucceedWithTheImage) {
    for (size_t size : {size_t{0}, size_t{500}, size_t{2000}, size_t{2500}, size_t{66'000'000}}) {
        UpgradePeer peer("20240115");
        const std::string image = PatternImage(size, 13, 5);
        Feed(peer, Transfer(image));
        const auto v = peer.verdict();
        EXPECT_EQ(v.status, "UPGRADE_SUCCESS") << size << ": " << v.reason;
        EXPECT_EQ(v.buildDate, "20240115");
        EXPECT_TRUE(peer.image(kSource) == image) << size;
    }
}

TEST(UpgradePeer, FaultyTransfersFail) {
    struct Case {
        const char* name;
        std::function<void(std::vector<std::string>&)> spoil;
    };
    const std::vector<Case> cases = {
        {"no info datagram", [](auto& d) { d.erase(d.begin()); }},
        {"a datagram missing", [](auto& d) { d.erase(d.begin() + 2); }},
        {"last datagram missing", [](auto& d) { d.pop_back(); }},
        {"a datagram twice", [](auto& d) { d.insert(d.begin() + 2, d[2]); }},
        {"two datagrams swapped", [](auto& d) { std::swap(d[1], d[2]); }},
        {"wrong block count", [](auto& d) { d[0][7] = 4; }},
        {"short datagram in the middle", [](auto& d) { d[1][1003] = 10; }},
        {"cancelled", [](auto& d) { d.push_back(Base64Encode("HG_UPGRADE_CANCEL")); }},
    };
    const std::string image = PatternImage(2500, 13, 5);
    for (const auto& c : cases) {
        UpgradePeer peer;
        auto datagrams = Transfer(image);
        c.spoil(datagrams);
        Feed(peer, datagrams);
        EXPECT_EQ(peer.verdict().status, "UPGRADE_FAIL") << c.name;
        EXPECT_FALSE(peer.verdict().reason.empty()) << c.name;
    }
}

TEST(UpgradePeer, CancelComesFromAnotherPortOfTheSameHost) {
    UpgradePeer peer;
    Feed(peer, Transfer(PatternImage(1500, 13, 5)), "127.0.0.1:40000");
    Feed(peer, Transfer(PatternImage(1500, 13, 5)), "127.0.0.2:40000");
    EXPECT_EQ(peer.receive("127.0.0.1:40001", Base64Encode("HG_UPGRADE_CANCEL")), ImageDatagramKind::Cancel);
    EXPECT_EQ(peer.verdict("127.0.0.1:40000").status, "UPGRADE_FAIL");
    EXPECT_EQ(peer.verdict("127.0.0.2:40000").status, "UPGRADE_SUCCESS");
}

TEST(UpgradePeer, NewInfoDatagramStartsAgainAndVerdictFollowsTheLatestTransfer) {
    UpgradePeer peer;
    auto broken = Transfer(PatternImage(2500, 13, 5));
    broken.pop_back();
    Feed(peer, broken, "127.0.0.1:40000");
    EXPECT_EQ(peer.verdict().status, "UPGRADE_FAIL");
    Feed(peer, Transfer(PatternImage(2500, 13, 5)), "127.0.0.1:40002");
    EXPECT_EQ(peer.verdict().status, "UPGRADE_SUCCESS");
    Feed(peer, Transfer(PatternImage(700, 13, 5)), "127.0.0.1:40000"); // the first sender starts over
    EXPECT_EQ(peer.verdict("127.0.0.1:40000").status, "UPGRADE_SUCCESS");
}

TEST(UpgradePeer, KindsOverrideAndNothingSeen) {
    UpgradePeer peer;
    EXPECT_EQ(peer.verdict().status, "UPGRADE_UNKNOWN");
    EXPECT_EQ(peer.receive(kSource, "hello"), ImageDatagramKind::Other);
    const auto datagrams = Transfer(PatternImage(1200, 13, 5));
    EXPECT_EQ(peer.receive(kSource, datagrams[0]), ImageDatagramKind::Info);
    EXPECT_EQ(peer.receive(kSource, datagrams[1]), ImageDatagramKind::Data);
    EXPECT_EQ(peer.receive(kSource, datagrams[2]), ImageDatagramKind::Data);
    peer.setStatusOverride("UPGRADE_UNKNOWN");
    EXPECT_EQ(peer.verdict().status, "UPGRADE_UNKNOWN");
    peer.setStatusOverride(std::nullopt);
    EXPECT_EQ(peer.verdict().status, "UPGRADE_SUCCESS");
    peer.reset();
    EXPECT_EQ(peer.verdict().status, "UPGRADE_UNKNOWN");
}

} // namespace
} // namespace orva
