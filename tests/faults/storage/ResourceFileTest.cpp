// res/setting.ini, res/device.ini and res/login.xml cut short, made of binary bytes, or holding a 10 MB
// line: orva-cli ends with a clear message or does its work, never crashes or hangs, and an online login
// leaves a login file from which the same user can log in offline.
#include "ChildProcess.h"
#include "FaultSupport.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/web/LoginFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <random>

namespace orva::test {
namespace {

constexpr int kSubnet = orva::test::subnets::faults_resfiles::kResourceFile;
constexpr std::size_t kHugeLine = 10 * 1024 * 1024;

enum class Corruption { Truncated, Binary, HugeLine };

const char* Name(Corruption c) {
    switch (c) {
    case Corruption::Truncated:
        return "Truncated";
    case Corruption::Binary:
        return "Binary";
    case Corruption::HugeLine:
        return "HugeLine";
    }
    return "";
}

std::string BinaryBytes() {
    std::mt19937 gen(183);
    std::string bytes(4096, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

// The file's good text spoilt. A huge line goes where a reader meets it before the lines it needs.
std::string Corrupt(const std::string& file, const std::string& good, Corruption c) {
    switch (c) {
    case Corruption::Truncated:
        return good.substr(0, good.size() / 2);
    case Corruption::Binary:
        return BinaryBytes();
    case Corruption::HugeLine:
        if (file == "login.xml") // an element with a 10 MB text ahead of the real entries
            return "<Login>\r\n<Nhuge>" + std::string(kHugeLine, 'h') + "</Nhuge>\r\n" + good.substr(good.find('<', 1));
        // A 10 MB value and a 10 MB line without '=' at the top of the first section.
        {
            const std::size_t afterHeader = good.find('\n', good.find('[')) + 1;
            return good.substr(0, afterHeader) + "Huge=" + std::string(kHugeLine, 'v') + "\n" +
                   std::string(kHugeLine, 'w') + "\n" + good.substr(afterHeader);
        }
    }
    return good;
}

struct ResCase {
    std::string file; // under res/
    Corruption corruption;
    int code;         // orva-cli diagnose's exit code
    std::string said; // a part of standard output or error
};

class ResourceFiles : public ::testing::TestWithParam<ResCase> {
protected:
    void SetUp() override {
        dir.writeSettings(kSubnet, {{"RunNet", "0"}});
        ShipDeviceIni(dir.path());
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech02", "other"));
        ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
        ASSERT_TRUE(StartSimulator(gateway, kSubnet, {.sn = "RES-1"}));
    }
    void TearDown() override { gateway->stop(); }
    void spoil(const std::string& file, Corruption c) {
        const std::string path = dir.file("res/" + file);
        writeFile(path, Corrupt(file, readFile(path), c));
    }
    ChildOutcome run(const std::vector<std::string>& args) {
        ChildProcess cli(CliPath(), args);
        return cli.finish();
    }

    TempProgramDir dir{"orva-faults-res"};
    std::unique_ptr<sim::GatewaySimulator> gateway;
};

TEST_P(ResourceFiles, TheToolSaysWhatIsWrongOrDoesItsWork) {
    const ResCase& c = GetParam();
    spoil(c.file, c.corruption);
    // The address is always given: a spoilt setting.ini must not send anything off this machine.
    const ChildOutcome o = run(DiagnoseArgs(dir.path(), gatewayAddress(kSubnet)));
    EXPECT_EQ(o.signal, 0) << o.err;
    EXPECT_EQ(o.code, c.code) << o.out << o.err;
    EXPECT_NE((o.out + o.err).find(c.said), std::string::npos) << o.out << o.err;
    if (c.code == 0) {
        const auto doc = nlohmann::json::parse(o.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << o.out;
        EXPECT_TRUE(doc["stored"].get<bool>());
    }
}

const char* kFinished = "\"completed\": true";
// The model's template is gone with the spoilt part, so the run has nothing to check: that must not pass.
// A list cut short or spoilt offers no model: the one asked for is named with what the list has.
const char* kNotListed = "--model KT540G: ";

INSTANTIATE_TEST_SUITE_P(Files, ResourceFiles,
                         ::testing::Values(ResCase{"setting.ini", Corruption::Truncated, 0, kFinished},
                                           ResCase{"setting.ini", Corruption::Binary, 0, kFinished},
                                           ResCase{"setting.ini", Corruption::HugeLine, 0, kFinished},
                                           ResCase{"device.ini", Corruption::Truncated, 64, kNotListed},
                                           ResCase{"device.ini", Corruption::Binary, 64, kNotListed},
                                           ResCase{"device.ini", Corruption::HugeLine, 0, kFinished},
                                           ResCase{"login.xml", Corruption::Truncated, 0, kFinished},
                                           ResCase{"login.xml", Corruption::Binary, 0, kFinished},
                                           ResCase{"login.xml", Corruption::HugeLine, 0, kFinished}),
                         [](const auto& info) {
                             std::string n = info.param.file.substr(0, info.param.file.find('.'));
                             n[0] = static_cast<char>(n[0] - 'a' + 'A');
                             return n + Name(info.param.corruption);
                         });

class LoginFileSpoilt : public ResourceFiles {};

TEST_P(LoginFileSpoilt, OfflineLoginRefusesClearlyAndAnOnlineLoginMendsTheFile) {
    const Corruption c = GetParam().corruption;
    spoil("login.xml", c);
    // Offline: the login service is not reachable (nothing listens on port 9).
    dir.writeSettings(kSubnet, {{"RunNet", "1"}, {"ReportURL", ""}});
    const std::vector<std::string> logs = CliArgs(dir.path(), {"logs"});
    ChildOutcome o = run(logs);
    EXPECT_EQ(o.signal, 0);
    if (c == Corruption::HugeLine) {
        // The real entries are still readable behind the huge one.
        EXPECT_EQ(o.code, 0) << o.err;
    } else {
        EXPECT_EQ(o.code, 77) << o.err;
        EXPECT_NE(o.err.find("login failed"), std::string::npos) << o.err;
    }

    // Online (the canned reply of a tool without network) the credentials are written again ...
    dir.writeSettings(kSubnet, {{"RunNet", "0"}});
    o = run(logs);
    EXPECT_EQ(o.code, 0) << o.err;
    // ... so that the next offline login of the same user succeeds.
    dir.writeSettings(kSubnet, {{"RunNet", "1"}, {"ReportURL", ""}});
    o = run(logs);
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(CheckOfflineCredentials(dir.file("res/login.xml"), "tech01", "pw"), OfflineCheck::Match);
}

INSTANTIATE_TEST_SUITE_P(Corruptions, LoginFileSpoilt,
                         ::testing::Values(ResCase{"login.xml", Corruption::Truncated, 0, ""},
                                           ResCase{"login.xml", Corruption::Binary, 0, ""},
                                           ResCase{"login.xml", Corruption::HugeLine, 0, ""}),
                         [](const auto& info) { return std::string(Name(info.param.corruption)); });

// An online login whose login file cannot be written in full (a file-size limit below the file's size)
// keeps the entries already there: the other users can still log in offline.
TEST_F(ResourceFiles, ALoginFileThatCannotBeRewrittenKeepsItsEntries) {
    const std::string path = dir.file("res/login.xml");
    const std::string before = readFile(path);
    ChildOptions options;
    options.fileSizeLimit = static_cast<long>(before.size() / 2);
    ChildProcess cli(CliPath(), {"--dir", dir.path(), "--user", "tech03", "--password", "new", "logs"}, options);
    const ChildOutcome o = cli.finish();
    EXPECT_EQ(o.signal, 0) << o.err;
    EXPECT_NE(o.code, 77) << o.err; // the login itself succeeded
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(CheckOfflineCredentials(path, "tech01", "pw"), OfflineCheck::Match);
    EXPECT_EQ(CheckOfflineCredentials(path, "tech02", "other"), OfflineCheck::Match);
}

} // namespace
} // namespace orva::test
