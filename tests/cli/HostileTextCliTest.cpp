// A gateway whose reply fields hold escape sequences, CR LF and other control characters: orva-cli
// prints, logs, stores and reports them as U+FFFD, so nothing of them reaches the technician's
// terminal, forges a line of orva.log or makes the report document unreadable.
#include "CliRunner.h"

#include "core/records/RecordStore.h"
#include "core/web/LoginFile.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string_view>

namespace orva::test {
namespace {

constexpr int kHostileTextSubnet = orva::test::subnets::cli::kHostileText;

// U+FFFD, and the "?" the GBK log writes for it.
#define FFFD "\xEF\xBF\xBD"

struct HostileValue {
    const char* name;
    std::string sent;  // the field value as the gateway sends it
    std::string shown; // what every front end, the row and the report hold instead
    std::string inLog; // the same in orva.log's GBK
};

const std::vector<HostileValue>& HostileValues() {
    static const std::vector<HostileValue> values = {
        {"TitleAndClearScreen", "V1\x1b]0;owned\x07\x1b[2J\x1b[H", "V1" FFFD "]0;owned" FFFD FFFD "[2J" FFFD "[H",
         "V1?]0;owned??[2J?[H"},
        // No blank inside: the tab stands where the time's blank would be, so the value is one token.
        {"ForgedSaveLine", "V1\r\n[SAVE](2026-01-01\t08:00:00):forged\r\nX",
         "V1" FFFD FFFD "[SAVE](2026-01-01" FFFD "08:00:00):forged" FFFD FFFD "X",
         "V1??[SAVE](2026-01-01?08:00:00):forged??X"},
        {"BackspacesAndDelete",
         "OK\b\b\b\x7f\x7f"
         "FAKE",
         "OK" FFFD FFFD FFFD FFFD FFFD "FAKE", "OK?????FAKE"},
        {"BellFormFeedVerticalTab", "\a\f\vV2\x01\x1f", FFFD FFFD FFFD "V2" FFFD FFFD, "???V2??"},
    };
    return values;
}

// Every byte of a terminal's text is printable or one of `allowed`.
std::string FirstControlByte(const std::string& text, std::string_view allowed = "\n") {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && allowed.find(text[i]) == std::string_view::npos) || b == 0x7F)
            return "byte " + std::to_string(b) + " at " + std::to_string(i) + ": " +
                   text.substr(i > 40 ? i - 40 : 0, 80);
    }
    return {};
}

// orva.log's lines without their CR LF (a report body logged with its own CR LF ends in CR CR LF).
std::vector<std::string> LogLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

sim::Override Fields(const std::string& prefix, std::vector<std::pair<std::string, std::string>> fields) {
    sim::Override o;
    o.prefix = prefix;
    o.fields = std::move(fields);
    return o;
}

class HostileTextCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartServices(service, {.reportMode = sim::ReportMode::Ok}));
        // Reports go to the service; the login stays offline, against the remembered credentials.
        dir.writeSettings(kHostileTextSubnet,
                          {{"RunNet", "1"}, {"LoginURL", ""}, {"ReportURL", service->httpUrl() + "/report"}});
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
        writeFile(dir.file("res/device.ini"), "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\n"
                                              "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n");
        ASSERT_TRUE(StartSimulator(gateway, kHostileTextSubnet, {.sn = "CLI0205"}));
    }
    void TearDown() override {
        if (gateway)
            gateway->stop();
        if (service)
            service->stop();
    }
    std::vector<std::string> cli(std::vector<std::string> words) const {
        std::vector<std::string> args = {"--dir", dir.path(), "--user", "tech01", "--password", "pw"};
        args.insert(args.end(), words.begin(), words.end());
        return args;
    }
    void expectCleanLog(const std::string& forbiddenStart) const {
        for (const auto& line : LogLines(readFile(dir.file("orva.log")))) {
            EXPECT_EQ(FirstControlByte(line), "");
            EXPECT_NE(line.rfind(forbiddenStart, 0), 0u) << "forged line: " << line;
        }
    }

    TempProgramDir dir{"orva-cli-hostile"};
    std::unique_ptr<sim::ServiceEndpoints> service;
    std::unique_ptr<sim::GatewaySimulator> gateway;
};

TEST_F(HostileTextCliTest, DiagnoseShowsLogsStoresAndReportsControlCharactersAsReplacements) {
    for (const auto& v : HostileValues()) {
        SCOPED_TRACE(v.name);
        // The software version is shown and stored, the serial number (DEVTYPE) stored and reported,
        // the process check's value stored.
        gateway->setOverrides({Fields("HG_SOFTWARE_DIAG STEP=1", {{"SOFTWAREVERSION", v.sent}}),
                               Fields("HG_SOFTWARE_DIAG STEP=3", {{"KEYPROCESSCHECK", v.sent}}),
                               Fields("QUERY_SYSTEM_INFO", {{"DEVTYPE", v.sent}})});
        const size_t reportsBefore = service->reports().size();
        const CliOutcome o = RunCli(cli({"diagnose", "--address", gatewayAddress(kHostileTextSubnet), "--model",
                                         "KT540G", "--answers", "yes", "--reply-timeout", "1"}));
        EXPECT_EQ(o.code, 1) << o.out << o.err; // the process check did not say OK
        EXPECT_EQ(FirstControlByte(o.out), "");
        EXPECT_EQ(FirstControlByte(o.err), "");
        EXPECT_NE(o.out.find(v.shown), std::string::npos) << o.out;

        // orva.log: the value as "?" where the control characters were, and no line of the gateway's.
        expectCleanLog("[SAVE](2026-01-01");
        EXPECT_NE(readFile(dir.file("orva.log")).find(v.inLog), std::string::npos);

        // The stored row holds what was shown.
        RecordStore store(dir.file("orvalog.db"));
        ASSERT_TRUE(store.open("logs"));
        const auto rows = store.logsAfter(0);
        store.close();
        ASSERT_FALSE(rows.empty());
        const DiagRecord& stored = rows.back().record;
        EXPECT_EQ(stored.SoftWareVersionCheck, v.shown);
        EXPECT_EQ(stored.PSCheck, v.shown);
        EXPECT_EQ(stored.sn, v.shown);

        // The report the service received.
        ASSERT_TRUE(service->waitForReports(reportsBefore + 1, std::chrono::seconds(5)));
        const std::string body = service->reports().back().body;
        for (const char* element : {"SN", "SoftWareVersionCheck", "PSCheck"}) {
            const std::string e(element);
            EXPECT_NE(body.find("<" + e + ">" + v.shown + "</" + e + ">"), std::string::npos) << body;
        }
        for (const char c : body) {
            const auto b = static_cast<unsigned char>(c);
            EXPECT_FALSE(b < 0x20 && b != '\t' && b != '\n' && b != '\r') << "byte " << int(b) << " in " << body;
        }
    }
}

TEST_F(HostileTextCliTest, IdentifyPrintsNoControlCharacter) {
    const std::string forged = "\r\n[SAVE](2026-01-01\t08:00:00):forged";
    sim::Override connect;
    connect.prefix = "CONNECT";
    connect.status = "CONNECT_SUCC\x1b]0;owned\x07\x1b[2J";
    sim::Override identity;
    identity.prefix = "QUERY_SYSTEM_INFO";
    identity.raw = "QUERY_SYSTEM_INFO_SUCC SWVERSION=\x1b[H\x1b[2JV1 HDVERSION=H" + forged +
                   " PRODUCTCLASS=KT540G\b\b\x7f CPUCLASS=\x01\x02\x03 DEVTYPE=D\x1b[31mred";
    gateway->setOverrides({connect, identity});
    const CliOutcome o = RunCli(cli({"identify", "--address", gatewayAddress(kHostileTextSubnet)}));
    EXPECT_EQ(o.code, 0) << o.out << o.err;
    EXPECT_EQ(FirstControlByte(o.out), "");
    EXPECT_EQ(FirstControlByte(o.err), "");
    const std::vector<std::string> expected = {
        "STATUS=CONNECT_SUCC" FFFD "]0;owned" FFFD FFFD "[2J",
        "SWVERSION=" FFFD "[H" FFFD "[2JV1",
        "HDVERSION=H" FFFD FFFD "[SAVE](2026-01-01" FFFD "08:00:00):forged",
        "PRODUCTCLASS=KT540G" FFFD FFFD FFFD,
        "CPUCLASS=" FFFD FFFD FFFD,
        "DEVTYPE=D" FFFD "[31mred",
    };
    for (const auto& line : expected)
        EXPECT_NE(o.out.find("\n" + line + "\n"), std::string::npos) << line << "\n" << o.out;
    // No printed line starts with what the gateway put behind its CR LF.
    EXPECT_EQ(o.out.find("\n[SAVE]"), std::string::npos) << o.out;
}

TEST_F(HostileTextCliTest, RestoreListsTheGatewayWithoutItsControlCharacters) {
    dir.writeSettings(kHostileTextSubnet, {{"RunNet", "0"}, {"resetlistentime", "1"}});
    gateway->setOverrides({Fields("HG_REVOCERY_PRECONFIG", {{"SN", "GW\x1b[2J\x1b[H\r\n[SAVE]\tforged"}})});
    const CliOutcome o = RunCli(cli({"restore", "--yes", "--reply-timeout", "1"}));
    EXPECT_EQ(o.code, 0) << o.out << o.err;
    EXPECT_EQ(FirstControlByte(o.out), "");
    EXPECT_EQ(FirstControlByte(o.err), "");
    EXPECT_NE(o.out.find("SN = GW" FFFD "[2J" FFFD "[H" FFFD FFFD "[SAVE]" FFFD "forged，网关恢复出厂设置成功。"),
              std::string::npos)
        << o.out;
    expectCleanLog("[SAVE]\t");
}

TEST_F(HostileTextCliTest, LogsPrintsOldRowsWithoutTheirControlCharacters) {
    // A row stored before replies were cleaned.
    DiagRecord r;
    r.sn = "OLD\x1b]0;owned\x07";
    r.DeviceType = "KT540G";
    r.Operator = "tech01";
    r.SoftWareVersionCheck = "V1\r\n[SAVE]\tforged";
    {
        RecordStore store(dir.file("orvalog.db"));
        ASSERT_TRUE(store.open("logs"));
        ASSERT_EQ(store.insert("logs", {r}, "2026-03-01 10:00:00"), RecordStore::Stored);
        store.close();
    }
    const CliOutcome o = RunCli(cli({"logs", "--sn", r.sn}));
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(FirstControlByte(o.out, "\t\n"), ""); // tabs stand between the columns
    EXPECT_NE(o.out.find("OLD" FFFD "]0;owned" FFFD), std::string::npos) << o.out;
    // Header and one row: the row's line feed did not make a line of its own.
    EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 2) << o.out;
}

} // namespace
} // namespace orva::test

#undef FFFD
