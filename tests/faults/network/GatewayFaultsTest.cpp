// The gateway misbehaves on one command of a diagnosis: it answers with random bytes, with text that
// is not Base64, with a datagram over the 800-byte receive buffer, too late, not at all, or with bytes
// above 127. The run still finishes; only the item whose command was hit fails, and the stored record
// differs from a good run's exactly where that item writes.
#include "DiagnosisRig.h"

#include "TestSubnets.h"
#include "core/protocol/Base64.h"

#include <functional>
#include <random>
#include <sstream>

namespace orva::test {
namespace {

constexpr int kGatewayFaultsSubnet = orva::test::subnets::faults_gateway::kGatewayFaults;

std::string Describe(const DiagRecord& r) {
    std::ostringstream out;
    for (const auto& t : RecordColumnTexts(r))
        out << t << "|";
    return out.str();
}

// Bytes that are not Base64 text: any byte value, NUL and '=' included; the length is no multiple of 4.
std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += static_cast<char>(gen() & 0xFF);
    out[1] = '\0';
    out[2] = '\xFF';
    return out;
}

sim::Override Payload(const std::string& prefix, const std::string& bytes) {
    sim::Override o;
    o.prefix = prefix;
    o.payload = bytes;
    return o;
}
sim::Override Raw(const std::string& prefix, const std::string& line) {
    sim::Override o;
    o.prefix = prefix;
    o.raw = line;
    return o;
}
sim::Override Delay(const std::string& prefix, int ms) {
    sim::Override o;
    o.prefix = prefix;
    o.delayMs = ms;
    return o;
}
sim::Override Silent(const std::string& prefix) {
    sim::Override o;
    o.prefix = prefix;
    o.noReply = true;
    return o;
}
sim::Override Field(const std::string& prefix, const std::string& name, const std::string& value) {
    sim::Override o;
    o.prefix = prefix;
    o.fields.emplace_back(name, value);
    return o;
}

// A reply line padded with a field to exactly `length` bytes.
std::string Padded(const std::string& line, size_t length) {
    std::string out = line + " PAD=";
    out.resize(length, 'p');
    return out;
}

struct GatewayFault {
    std::string name;
    sim::Override fault;
    std::function<void(DiagRecord&)> changes; // what the fault does to a good run's record
    std::set<int> failed;                     // items shown as failed
};

const std::vector<GatewayFault>& Faults() {
    static const std::vector<GatewayFault> cases = {
        {"RandomBytesToLan2",
         Payload("HG_HARDWARE_DIAG STEP=1 FENUM=2", RandomBytes(37, 7)),
         [](DiagRecord& r) { r.FE2Check = CheckNotTested; },
         {2}},
        {"NotBase64ToFlash",
         Payload("HG_HARDWARE_DIAG STEP=4", "SEdfSEFSRFdBUkVfRElBR19TVUND!!=="),
         [](DiagRecord& r) { r.FlashCheck = CheckNotTested; },
         {13}},
        {"EmptyDatagramToLan1",
         Payload("HG_HARDWARE_DIAG STEP=1 FENUM=1", ""),
         [](DiagRecord& r) { r.FE1Check = CheckNotTested; },
         {1}},
        // 603 bytes of reply line are 804 Base64 characters: a failed receive.
        {"Over800BytesToUsb",
         Raw("HG_HARDWARE_DIAG STEP=6", Padded("HG_HARDWARE_DIAG_SUCC STEP=6 USBCHECK=OK", 603)),
         [](DiagRecord& r) { r.USBCheck = CheckFailed; },
         {15}},
        // 600 bytes are exactly 800 characters: still a reply.
        {"Exactly800BytesToWifi",
         Raw("HG_HARDWARE_DIAG STEP=7", Padded("HG_HARDWARE_DIAG_SUCC STEP=7 WIFISTATUS=OK", 600)),
         [](DiagRecord&) {},
         {}},
        {"LateReplyToLan3",
         Delay("HG_HARDWARE_DIAG STEP=1 FENUM=3", 1600),
         [](DiagRecord& r) { r.FE3Check = CheckNotTested; },
         {3}},
        {"SlowButInTimeToLan4", Delay("HG_HARDWARE_DIAG STEP=1 FENUM=4", 400), [](DiagRecord&) {}, {}},
        {"NoReplyToSoftwareVersion",
         Silent("HG_SOFTWARE_DIAG STEP=1"),
         [](DiagRecord& r) { r.SoftWareVersionCheck.clear(); },
         {17}},
        {"RandomBytesToConnect", Payload("CONNECT", RandomBytes(21, 11)), [](DiagRecord&) {}, {}},
        // Every reply byte is one character: 0xE9 and 0xFF are é and ÿ, kept as text.
        {"HighBytesInSoftwareVersion",
         Field("HG_SOFTWARE_DIAG STEP=1", "SOFTWAREVERSION", "V1.0.3-\xE9\xFF"),
         [](DiagRecord& r) { r.SoftWareVersionCheck = "V1.0.3-\xC3\xA9\xC3\xBF"; },
         {}},
        {"HighBytesInKeyProcess",
         Field("HG_SOFTWARE_DIAG STEP=3", "KEYPROCESSCHECK", "\x80\xC0"),
         [](DiagRecord& r) { r.PSCheck = "\xC2\x80\xC3\x80"; },
         {18}},
        // The reply text ends at a zero byte: MEMLOAD behind it is never seen, so the loads are not
        // taken at all (both need to be there), though the item shows CPULOAD.
        {"ZeroByteInSystemResource",
         Raw("HG_SOFTWARE_DIAG STEP=4", std::string("HG_SOFTWARE_DIAG_SUCC STEP=4 CPULOAD=12\0 MEMLOAD=40", 51)),
         [](DiagRecord& r) { r.CPULoadCheck = r.MemCheck = 0; },
         {}},
    };
    return cases;
}

class GatewayFaultsTest : public DiagnosisRig {
protected:
    GatewayFaultsTest() : DiagnosisRig(kGatewayFaultsSubnet) {}
};

TEST_F(GatewayFaultsTest, GoodRunGivesTheExpectedRecord) {
    const RunSummary s = runOnce();
    ASSERT_TRUE(s.ended);
    EXPECT_EQ(s.outcome, RunOutcome::Finished);
    ASSERT_TRUE(s.record);
    DiagRecord expected = expectedRecord();
    expected.Mac = s.record->Mac;
    EXPECT_EQ(Describe(*s.record), Describe(expected));
    EXPECT_EQ(Describe(newestStored(expected)), Describe(expected));
    EXPECT_TRUE(failedItems(s).empty());
}

TEST_F(GatewayFaultsTest, OnlyTheItemWhoseReplyWasSpoiledFails) {
    for (const auto& c : Faults()) {
        SCOPED_TRACE(c.name);
        sim->setOverrides({c.fault});
        const RunSummary s = runOnce();
        ASSERT_TRUE(s.ended);
        ASSERT_EQ(s.outcome, RunOutcome::Finished);
        ASSERT_TRUE(s.record);
        DiagRecord expected = expectedRecord();
        expected.Mac = s.record->Mac;
        c.changes(expected);
        EXPECT_EQ(Describe(*s.record), Describe(expected));
        EXPECT_EQ(Describe(newestStored(expected)), Describe(expected));
        EXPECT_EQ(failedItems(s), c.failed);
        EXPECT_EQ(s.faults.size(), c.failed.size());
    }
}

TEST_F(GatewayFaultsTest, UnreadableIdentityEndsTheRunWithoutARecord) {
    // Without a readable product class the gateway cannot be the chosen model.
    for (const auto& payload : {RandomBytes(40, 3), std::string("QUERY_SYSTEM_INFO_SUCC")}) {
        sim->setOverrides({Payload("QUERY_SYSTEM_INFO", payload)});
        const size_t before = storedLogs().size();
        const RunSummary s = runOnce();
        EXPECT_EQ(s.outcome, RunOutcome::ModelMismatch);
        EXPECT_FALSE(s.record);
        EXPECT_EQ(storedLogs().size(), before);
    }
}

} // namespace
} // namespace orva::test
