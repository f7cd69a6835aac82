// Units swapped on a test line: their options, who answers when, an override for one unit only.
#include "sim/GatewayModel.h"
#include "sim/GatewaySimulator.h"
#include "sim/Options.h"
#include "sim/UnitSwap.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "UdpTestClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace orva::sim {
namespace {

using namespace std::chrono_literals;

bool parseSwapOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool help = false;
    const Result<void> parsed = ParseCommandLine(args, o, help);
    error = parsed.error();
    return parsed.ok();
}

// The DEVTYPE of a QUERY_SYSTEM_INFO answer, "-" when nobody answered.
std::string SerialAnswering(test::UdpTestClient& client, const std::string& address) {
    client.send(address, kIdentityPort, "QUERY_SYSTEM_INFO");
    const std::optional<std::string> reply = client.receive(300ms);
    if (!reply)
        return "-";
    const size_t at = reply->find("DEVTYPE=");
    return at == std::string::npos ? "?" : reply->substr(at + 8, reply->find(' ', at) - at - 8);
}

TEST(SimUnitSwap, OptionsNameTheUnitsAndTheirTimes) {
    Options o;
    std::string error;
    ASSERT_TRUE(parseSwapOptions({"--units", "A1,B<&\"x,C3", "--swap-after", "2.5", "--swap-gap", "0", "--override",
                                  "HG_HARDWARE_DIAG STEP=6", "unit=2", "status=HG_HARDWARE_DIAG_FAIL"},
                                 o, error))
        << error;
    EXPECT_EQ(o.units, (std::vector<std::string>{"A1", "B<&\"x", "C3"}));
    EXPECT_EQ(o.swapAfterMs, 2500);
    EXPECT_EQ(o.swapGapMs, 0);
    ASSERT_EQ(o.overrides.size(), 1u);
    EXPECT_EQ(o.overrides[0].unit, 2);
    EXPECT_EQ(o.overrides[0].gateway, 0);

    Options defaults;
    ASSERT_TRUE(parseSwapOptions({"--units", "ONLY"}, defaults, error)) << error;
    EXPECT_EQ(defaults.swapAfterMs, 10000);
    EXPECT_EQ(defaults.swapGapMs, 3000);
    EXPECT_NE(UsageText().find("--units SN1,SN2"), std::string::npos);
    EXPECT_NE(UsageText().find("unit=K"), std::string::npos);
}

TEST(SimUnitSwap, BadUnitOptionsAreRefusedWithAReason) {
    std::string many;
    for (int i = 0; i < 1001; ++i)
        many += (i ? "," : "") + std::to_string(i);
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--units"}, "needs a value"},
        {{"--units", ""}, "bad --units"},
        {{"--units", "A,,B"}, "bad --units"},
        {{"--units", "A,"}, "bad --units"},
        {{"--units", ",A"}, "bad --units"},
        {{"--units", "A B"}, "bad --units"},
        {{"--units", "A\tB"}, "bad --units"},
        {{"--units", std::string(129, 'S')}, "bad --units"},
        {{"--units", many}, "more than 1000 units"},
        {{"--units", "A", "--swap-after", "-1"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", "0"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", "1.2345"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", "1."}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", ".5"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", "soon"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after", "86401"}, "bad --swap-after"},
        {{"--units", "A", "--swap-after"}, "needs a value"},
        {{"--units", "A", "--swap-gap", "-0.5"}, "bad --swap-gap"},
        {{"--units", "A", "--swap-gap", "2x"}, "bad --swap-gap"},
        {{"--swap-after", "2"}, "need --units"},
        {{"--swap-gap", "1"}, "need --units"},
        {{"--override", "CONNECT", "unit=0"}, "bad unit number"},
        {{"--override", "CONNECT", "unit=-2"}, "bad unit number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[0] + " " + c.args.back().substr(0, 20) : c.args[0]);
        Options o;
        std::string error;
        EXPECT_FALSE(parseSwapOptions(c.args, o, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(SimUnitSwap, EachUnitPlaysItsTurnThenSilence) {
    const Options swapped{.units = {"A", "B"}, .swapAfterMs = 1000, .swapGapMs = 500};
    const std::vector<std::pair<int, int>> turns = {{0, 1},    {999, 1},  {1000, 0}, {1499, 0},   {1500, 2},
                                                    {2499, 2}, {2500, 0}, {2999, 0}, {100000, 0}, {-1, 0}};
    for (const auto& [ms, unit] : turns)
        EXPECT_EQ(UnitPlaying(swapped, std::chrono::milliseconds(ms)), unit) << ms << " ms";
    // Without a gap the next unit follows at once.
    const Options noGap{.units = {"A", "B"}, .swapAfterMs = 1000, .swapGapMs = 0};
    EXPECT_EQ(UnitPlaying(noGap, 999ms), 1);
    EXPECT_EQ(UnitPlaying(noGap, 1000ms), 2);
    EXPECT_EQ(UnitPlaying(noGap, 2000ms), 0);
    // One gateway without --units is there all the time.
    EXPECT_EQ(UnitPlaying(Options{}, 0ms), 1);
    EXPECT_EQ(UnitPlaying(Options{}, 1000000ms), 1);
    EXPECT_EQ(UnitOptions(swapped, 2).sn, "B");
}

// Over the wire: the units answer in their order with their own serial numbers, nobody answers in
// between, and after the last one nobody answers at all.
TEST(SimUnitSwap, UnitsAnswerInOrderSilentInBetween) {
    const int n = test::subnets::sim::kUnitSwap;
    GatewaySimulator sim(Options{.address = test::gatewayAddress(n),
                                 .units = {"UA", "UB", "UC"},
                                 .swapAfterMs = 800,
                                 .swapGapMs = 800});
    const Result<void> startup = sim.start();
    ASSERT_TRUE(startup.ok()) << startup.error();
    EXPECT_NE(sim.listeningLine().find("3 units swapped every 800 ms with 800 ms between"), std::string::npos)
        << sim.listeningLine();

    test::UdpTestClient client;
    std::vector<std::string> seen;
    const auto end = std::chrono::steady_clock::now() + 3 * 1600ms + 700ms;
    while (std::chrono::steady_clock::now() < end) {
        const std::string serial = SerialAnswering(client, sim.address());
        if (seen.empty() || seen.back() != serial)
            seen.push_back(serial);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"UA", "-", "UB", "-", "UC", "-"}));
    bool noted = false;
    for (const JournalEntry& e : sim.journal())
        noted = noted || e.note == "silent: no unit plugged in";
    EXPECT_TRUE(noted);
}

// An override with unit=K changes only the K-th unit's answers; one without applies to all.
TEST(SimUnitSwap, AnOverrideMayNameOneUnit) {
    const int n = test::subnets::sim::kUnitOverride;
    Override usb;
    usb.prefix = "HG_HARDWARE_DIAG STEP=6";
    usb.unit = 2;
    usb.status = "HG_HARDWARE_DIAG_FAIL";
    Override flash;
    flash.prefix = "HG_HARDWARE_DIAG STEP=4";
    flash.fields = {{"FLASHUSEAGE", "91"}};
    GatewaySimulator sim(Options{.address = test::gatewayAddress(n),
                                 .units = {"FIRST", "SECOND"},
                                 .swapAfterMs = 1000,
                                 .swapGapMs = 0,
                                 .overrides = {usb, flash}});
    const Result<void> startup = sim.start();
    ASSERT_TRUE(startup.ok()) << startup.error();
    test::UdpTestClient client;
    const auto started = std::chrono::steady_clock::now();
    struct Turn {
        std::chrono::milliseconds at;
        std::string serial;
        std::string usb;
    };
    for (const Turn& t : {Turn{150ms, "FIRST", "HG_HARDWARE_DIAG_SUCC STEP=6 USBCHECK=OK USBUSAGE=20"},
                          Turn{1300ms, "SECOND", "HG_HARDWARE_DIAG_FAIL STEP=6 USBCHECK=OK USBUSAGE=20"}}) {
        std::this_thread::sleep_until(started + t.at);
        SCOPED_TRACE(t.serial);
        EXPECT_EQ(SerialAnswering(client, sim.address()), t.serial);
        EXPECT_EQ(client.exchange(sim.address(), kHardwarePort, "HG_HARDWARE_DIAG STEP=6"), t.usb);
        EXPECT_EQ(client.exchange(sim.address(), kHardwarePort, "HG_HARDWARE_DIAG STEP=4"),
                  "HG_HARDWARE_DIAG_SUCC STEP=4 FLASHUSEAGE=91");
    }
}

} // namespace
} // namespace orva::sim
