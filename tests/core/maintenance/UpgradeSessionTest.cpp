// Image upgrades over loopback: the broadcast datagrams as a receiver on the segment sees them, the
// cancel, the status check with several gateways, and transfers that cannot start.
#include "core/maintenance/UpgradeSession.h"
#include "MaintenanceFixture.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpPeer.h"
#include "core/protocol/CommandChannel.h"
#include "sim/UpgradePeer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <regex>
#include <thread>

namespace orva::test {
namespace {

using namespace std::chrono_literals;

constexpr uint16_t kImagePort = 54321;
constexpr uint16_t kQueryPort = 50003;

std::string Big32(uint32_t v) {
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}
uint16_t Big16(const std::string& s, size_t at) {
    return static_cast<uint16_t>((uint8_t(s[at]) << 8) | uint8_t(s[at + 1]));
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Sends a marker to the receiver and waits for it: everything sent before it has then been read.
void Drain(UdpPeer& receiver, const std::string& address, uint16_t port) {
    const size_t before = receiver.count();
    UdpPeer sender("127.0.0.1", 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    sender.reply(to, "marker");
    for (size_t n = before + 1; receiver.waitFor(n, 2s); ++n)
        if (receiver.arrivals().back().bytes == "marker")
            return;
    FAIL() << "marker did not arrive";
}

// The channel settings a diagnosis left behind, which the upgrade must give back.
void SetChannelAsDiagnosisLeftIt(int subnetN) {
    auto& channel = CommandChannel::Instance();
    channel.SetAddress(gatewayAddress(subnetN));
    channel.SetPort(7999);
    channel.SetReplyTimeout(7);
}

void ExpectChannelAsDiagnosisLeftIt(int subnetN) {
    const auto& channel = CommandChannel::Instance();
    EXPECT_EQ(channel.Address(), gatewayAddress(subnetN));
    EXPECT_EQ(channel.Port(), 7999);
    EXPECT_EQ(channel.ReplyTimeout(), 7);
}

struct TransferCase {
    int subnet;
    size_t length;
    uint32_t blockCount;
    std::vector<uint16_t> counts;
    std::vector<std::string> progress; // before each datagram, 100 after the last, then 0 on the way back to idle
};

void PrintTo(const TransferCase& c, std::ostream* os) {
    *os << c.length << " bytes";
}

class ImageTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(ImageTransfer, DatagramsArePacedAndTheCheckFollows) {
    const TransferCase& c = GetParam();
    TempProgramDir dir("orva-upgrade");
    UseSettings(dir, c.subnet, {{"upgradeinterval", "0.002"}, {"waittime", "0"}, {"updatelistentime", "0"}});
    const std::string broadcast = subnet(c.subnet) + "255";
    UdpPeer images(broadcast, kImagePort);
    UdpPeer queries(broadcast, kQueryPort);
    ASSERT_TRUE(images.ok() && queries.ok());
    RecordingNotifier notifier;
    SetChannelAsDiagnosisLeftIt(c.subnet);

    const std::string image = PatternImage(c.length, 31, 7);
    writeFile(dir.file("image.bin"), image);
    RecordingUpgradeView view;
    UpgradeSession session(view);
    session.setImagePath(dir.file("image.bin"));
    ASSERT_TRUE(session.startTransfer());
    EXPECT_TRUE(session.running());
    session.wait();
    EXPECT_FALSE(session.running());

    // The check started: the status query went out once the transfer was done.
    ASSERT_TRUE(queries.waitFor(1, 2s));
    EXPECT_EQ(DecodePayload(queries.arrivals()[0].bytes), "QUERY_UPGRADE_MSG");

    Drain(images, broadcast, kImagePort);
    auto arrivals = images.arrivals();
    arrivals.pop_back(); // the marker
    ASSERT_EQ(arrivals.size(), 1 + c.counts.size());
    EXPECT_EQ(arrivals[0].bytes, Big32(2754) + Big32(c.blockCount) + Big32(static_cast<uint32_t>(c.length)));
    size_t offset = 0;
    for (size_t i = 0; i < c.counts.size(); ++i) {
        const std::string& d = arrivals[i + 1].bytes;
        ASSERT_EQ(d.size(), 1004u);
        EXPECT_EQ(Big16(d, 1000), i + 1);
        EXPECT_EQ(Big16(d, 1002), c.counts[i]);
        EXPECT_EQ(d.substr(0, c.counts[i]), image.substr(offset, c.counts[i]));
        EXPECT_EQ(d.substr(c.counts[i], 1000 - c.counts[i]), std::string(1000 - c.counts[i], '\0'));
        offset += c.counts[i];
    }
    // Each datagram left at least the interval after the one before (kernel arrival stamps).
    for (size_t k = 1; k < arrivals.size(); ++k)
        EXPECT_GE(arrivals[k].kernelNs - arrivals[k - 1].kernelNs, 2'000'000) << "gap before datagram " << k;

    EXPECT_EQ(view.events("progress "), c.progress);
    EXPECT_EQ(view.events("status "),
              (std::vector<std::string>{"正在传输文件...", "设备自动重启请等待，正在升级，大约需要三分钟...",
                                        "升级完毕,正在检查升级状态...", "hidden"}));
    EXPECT_EQ(view.events().front(), "status 正在传输文件...");
    EXPECT_EQ(view.events()[1], "disabled");
    EXPECT_TRUE(Contains(view.events(), "enabled"));
    EXPECT_TRUE(notifier.messages().empty());
    ExpectChannelAsDiagnosisLeftIt(c.subnet);
    EXPECT_EQ(LogLinesWithoutTime(dir),
              (std::vector<std::string>{"[镜像传输完成检查]:开启检测线程", "[镜像传输完成检查]:进入检测线程",
                                        "[镜像传输完成检查]:发送IP： " + broadcast + ",  Port：50003,   超时：30",
                                        "[镜像传输完成检查]:结束检测线程"}));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ImageTransfer,
    ::testing::Values(
        TransferCase{
            orva::test::subnets::maintenance::kTransfer2500, 2500, 3, {1000, 1000, 500}, {"0", "40", "80", "100", "0"}},
        TransferCase{orva::test::subnets::maintenance::kTransfer2000, 2000, 3, {1000, 1000}, {"0", "50", "100", "0"}},
        TransferCase{orva::test::subnets::maintenance::kTransfer500, 500, 0, {500}, {"0", "100", "0"}},
        // The smallest image; an empty file is refused (ImageFileTest.cpp).
        TransferCase{orva::test::subnets::maintenance::kTransfer1, 1, 0, {1}, {"0", "100", "0"}}),
    [](const auto& info) { return "bytes" + std::to_string(info.param.length); });

TEST(UpgradeSession, CancelStopsTheDatagramsAndTellsTheGateways) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kUpgradeCancel;
    TempProgramDir dir("orva-upgrade");
    UseSettings(dir, kSubnet, {{"upgradeinterval", "0.002"}, {"waittime", "0"}, {"updatelistentime", "0"}});
    const std::string broadcast = subnet(kSubnet) + "255";
    sim::UpgradePeer peer;
    UdpPeer images(broadcast, kImagePort, [&](UdpPeer&, const Arrival& a) { peer.receive(a.source, a.bytes); });
    UdpPeer queries(broadcast, kQueryPort);
    ASSERT_TRUE(images.ok() && queries.ok());
    RecordingNotifier notifier;
    SetChannelAsDiagnosisLeftIt(kSubnet);
    writeFile(dir.file("image.bin"), PatternImage(400'000, 31, 7)); // 400 datagrams, most of a second

    RecordingUpgradeView view;
    UpgradeSession session(view);
    EXPECT_FALSE(session.cancel()); // nothing runs yet
    session.setImagePath(dir.file("image.bin"));
    ASSERT_TRUE(session.startTransfer());
    ASSERT_TRUE(images.waitFor(21, 5s));
    EXPECT_FALSE(session.startTransfer()); // a second start while one runs starts nothing
    EXPECT_TRUE(session.transferring());

    ASSERT_TRUE(session.cancel());
    EXPECT_FALSE(session.running());
    ExpectChannelAsDiagnosisLeftIt(kSubnet);

    Drain(images, broadcast, kImagePort);
    auto arrivals = images.arrivals();
    arrivals.pop_back(); // the marker
    ASSERT_GE(arrivals.size(), 22u);
    EXPECT_LT(arrivals.size(), 402u);
    // The cancel is the last datagram on the image port, and there is exactly one.
    EXPECT_EQ(DecodePayload(arrivals.back().bytes), "HG_UPGRADE_CANCEL");
    EXPECT_EQ(arrivals[0].bytes.size(), 12u);
    for (size_t k = 1; k + 1 < arrivals.size(); ++k)
        ASSERT_EQ(arrivals[k].bytes.size(), 1004u) << "datagram " << k;
    EXPECT_EQ(peer.verdict().status, "UPGRADE_FAIL");
    EXPECT_EQ(peer.verdict().reason, "transfer cancelled");

    // Nothing more arrives later either.
    const size_t afterCancel = images.count();
    std::this_thread::sleep_for(50ms);
    Drain(images, broadcast, kImagePort);
    EXPECT_EQ(images.count(), afterCancel + 1);
    EXPECT_EQ(queries.count(), 0u); // no check after a cancel

    EXPECT_EQ(notifier.messages(), (std::vector<std::string>{"当前未有传输", "已经终止传输"}));
    const auto events = view.events();
    const std::vector<std::string> tail(events.end() - 4, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"enabled", "progress 0", "status 升级传输已经取消", "status hidden"}));
    EXPECT_EQ(LogLinesWithoutTime(dir),
              (std::vector<std::string>{"[镜像传输取消]:镜像传输取消",
                                        "[镜像传输取消]:发送IP： " + broadcast + ",  Port：54321,   超时：30"}));

    // Back to idle: a further cancel finds nothing, and the same image can be sent again.
    EXPECT_FALSE(session.cancel());
    EXPECT_EQ(notifier.messages().back(), "当前未有传输");
    ASSERT_TRUE(session.startTransfer());
    session.wait();
    EXPECT_EQ(peer.verdict().status, "UPGRADE_SUCCESS") << peer.verdict().reason;
    EXPECT_TRUE(queries.waitFor(1, 2s));
}

TEST(UpgradeSession, ThreeGatewaysAnswerTheStatusQuery) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kThreeGatewaysStatus;
    TempProgramDir dir("orva-upgrade");
    UseSettings(dir, kSubnet, {{"upgradeinterval", "0.001"}, {"waittime", "0"}, {"updatelistentime", "1"}});
    const std::string broadcast = subnet(kSubnet) + "255";
    constexpr size_t kImageBytes = 5'500;
    constexpr size_t kImageDatagrams = 1 + (kImageBytes + 999) / 1000; // the image info, then the data
    sim::UpgradePeer peer("20240115");
    UdpPeer images(broadcast, kImagePort, [&](UdpPeer&, const Arrival& a) { peer.receive(a.source, a.bytes); });
    UdpPeer queries(broadcast, kQueryPort, [&](UdpPeer& self, const Arrival& a) {
        if (DecodePayload(a.bytes) != "QUERY_UPGRADE_MSG")
            return;
        // Every datagram is queued on the image socket before the query goes out, but the image peer's
        // thread may not have taken the last ones in yet: judge the transfer only once it has.
        EXPECT_TRUE(images.waitFor(kImageDatagrams, 10s)) << images.count() << " image datagrams";
        const auto v = peer.verdict();
        self.reply(a.from, CommandPayload(v.status + " SN=GW1 BUILD_DATE=" + v.buildDate));
        self.reply(a.from, CommandPayload("UPGRADE_UNKNOWN SN=GW2"));
        self.reply(a.from, CommandPayload("UPGRADE_SUCCESS BUILD_DATE=20240115")); // no SN: ignored
        self.reply(a.from, "not Base64!");                                         // ignored
        self.reply(a.from, CommandPayload("UPGRADE_FAIL SN=GW3"));
    });
    ASSERT_TRUE(images.ok() && queries.ok());
    RecordingNotifier notifier;
    SetChannelAsDiagnosisLeftIt(kSubnet);
    writeFile(dir.file("image.bin"), PatternImage(kImageBytes, 31, 7));

    RecordingUpgradeView view;
    UpgradeSession session(view);
    session.setImagePath(dir.file("image.bin"));
    ASSERT_TRUE(session.startTransfer());
    ASSERT_TRUE(queries.waitFor(1, 10s));
    // While the check runs there is no transfer to cancel.
    EXPECT_FALSE(session.cancel());
    EXPECT_TRUE(session.running());
    // An answer after the listen time (one that would give no line anyway) changes nothing.
    std::jthread late([&, to = queries.arrivals()[0].from] {
        std::this_thread::sleep_for(1500ms);
        queries.reply(to, CommandPayload("UPGRADE_FAIL"));
    });
    session.wait();
    late.join();

    const std::string date = R"(\d{4}-\d{2}-\d{2},\d{2}:\d{2}:\d{2}\.)";
    const auto lines = view.events("line ");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex("SN = GW1，升级成功. 软件编译日期：20240115.软件升级日期：" + date)))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("SN = GW2，升级状态未知. 软件升级日期：" + date))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("SN = GW3，升级失败. 软件升级日期：" + date))) << lines[2];

    EXPECT_EQ(notifier.messages(), (std::vector<std::string>{"当前未有传输"}));
    ExpectChannelAsDiagnosisLeftIt(kSubnet);
    const std::string state = "[镜像传输完成检查]:发送CheckUpdateOK后收到状态为：SUCC";
    EXPECT_EQ(
        LogLinesWithoutTime(dir),
        (std::vector<std::string>{"[镜像传输完成检查]:开启检测线程", "[镜像传输完成检查]:进入检测线程",
                                  "[镜像传输完成检查]:发送IP： " + broadcast + ",  Port：50003,   超时：30", state,
                                  "[镜像回包消息]:UPGRADE_SUCCESS  GW1", state, "[镜像回包消息]:UPGRADE_UNKNOWN  GW2",
                                  state, "[镜像回包消息]:UPGRADE_FAIL  GW3", "[镜像传输完成检查]:结束检测线程"}));
}

struct BadImageCase {
    int subnet;
    const char* name;
    std::string (*path)(const TempProgramDir&);
    std::string (*message)(const std::string& path);
};

void PrintTo(const BadImageCase& c, std::ostream* os) {
    *os << c.name;
}

class BadImage : public ::testing::TestWithParam<BadImageCase> {};

TEST_P(BadImage, IsReportedAndTheSessionReturnsToIdle) {
    const BadImageCase& c = GetParam();
    TempProgramDir dir("orva-upgrade");
    UseSettings(dir, c.subnet, {{"upgradeinterval", "0.001"}, {"waittime", "0"}, {"updatelistentime", "0"}});
    const std::string broadcast = subnet(c.subnet) + "255";
    UdpPeer images(broadcast, kImagePort);
    ASSERT_TRUE(images.ok());
    RecordingNotifier notifier;
    const std::string path = c.path(dir);
    const std::string message = c.message(path);

    RecordingUpgradeView view;
    UpgradeSession session(view);
    session.setImagePath(path);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(session.startTransfer());
    session.wait();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(session.running());
    EXPECT_NE(err.find(message + "\n"), std::string::npos) << err;
    EXPECT_EQ(notifier.messages(), std::vector<std::string>{message});
    EXPECT_EQ(view.events(), (std::vector<std::string>{"status 正在传输文件...", "disabled", "failed " + message,
                                                       "enabled", "progress 0", "status hidden"}));
    EXPECT_TRUE(Contains(LogLinesWithoutTime(dir), "[镜像传输失败]:" + message));
    Drain(images, broadcast, kImagePort);
    EXPECT_EQ(images.count(), 1u); // the marker alone: nothing was sent

    // Idle again: the next press tries again.
    EXPECT_TRUE(session.startTransfer());
    session.wait();
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadImage,
    ::testing::Values(BadImageCase{orva::test::subnets::maintenance::kMissingImage, "missing",
                                   [](const TempProgramDir& d) { return d.file("no-such-image.bin"); },
                                   [](const std::string& p) { return "Batch upgrade: No " + p + " file found!"; }},
                      // A directory exists and opens, but is no image.
                      BadImageCase{orva::test::subnets::maintenance::kDirectoryImage, "unreadable",
                                   [](const TempProgramDir& d) { return d.file("res"); },
                                   [](const std::string& p) {
                                       return "Batch upgrade: " + p + " is a directory, not an image file!";
                                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpgradeSession, NoImageChosen) {
    RecordingNotifier notifier;
    RecordingUpgradeView view;
    UpgradeSession session(view);
    EXPECT_FALSE(session.startTransfer());
    EXPECT_FALSE(session.running());
    EXPECT_EQ(notifier.messages(), std::vector<std::string>{"请选择镜像"});
    EXPECT_TRUE(view.events().empty());
}

// A gateway that repeats its status reply is one gateway: one line, one pair of log lines, one count.
// The check ends at `updatelistentime` although its replies may take 30 s, here with the last reply
// early in the listen.
TEST(UpgradeSession, RepeatedStatusRepliesCountOnceAndTheCheckEndsAtItsListenTime) {
    constexpr int kSubnet = orva::test::subnets::maintenance::kRepeatedStatusReplies;
    constexpr int kRepeats = 3'000;
    constexpr int kListenSeconds = 2;
    TempProgramDir dir("orva-upgrade");
    UseSettings(dir, kSubnet, {{"waittime", "0"}, {"updatelistentime", std::to_string(kListenSeconds)}});
    const std::string broadcast = subnet(kSubnet) + "255";
    UdpPeer queries(broadcast, kQueryPort, [&](UdpPeer& self, const Arrival& a) {
        if (DecodePayload(a.bytes) != "QUERY_UPGRADE_MSG")
            return;
        const std::string success = CommandPayload("UPGRADE_SUCCESS SN=U1 BUILD_DATE=20240115");
        self.reply(a.from, success);
        self.reply(a.from, CommandPayload("UPGRADE_FAIL SN=U2"));
        for (int i = 1; i < kRepeats; ++i) {
            self.reply(a.from, success);
            if (i % 200 == 0) // in bursts the receive buffer holds
                std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(queries.ok());
    RecordingNotifier notifier;
    SetChannelAsDiagnosisLeftIt(kSubnet);

    RecordingUpgradeView view;
    UpgradeSession session(view);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(session.startCheck());
    session.wait();
    const auto took = std::chrono::steady_clock::now() - begin;

    const auto lines = view.events("line ");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("SN = U1，升级成功. 软件编译日期：20240115.", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("SN = U2，升级失败.", 0), 0u) << lines[1];
    EXPECT_EQ(view.summary(), (GatewayCount{2, 1, 1}));
    const auto log = LogLinesWithoutTime(dir);
    EXPECT_EQ(std::count(log.begin(), log.end(), "[镜像回包消息]:UPGRADE_SUCCESS  U1"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "[镜像回包消息]:UPGRADE_FAIL  U2"), 1);
    EXPECT_GE(took, std::chrono::seconds(kListenSeconds));
    EXPECT_LT(took, std::chrono::seconds(kListenSeconds + 2))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    ExpectChannelAsDiagnosisLeftIt(kSubnet);
}

} // namespace
} // namespace orva::test
