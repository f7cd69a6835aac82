// The report of a finished diagnosis against the simulator's reporting service on 127.0.0.1.
#include "UploadFixture.h"

#include "sim/ServiceEndpoints.h"
#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"

#include <httplib.h>

#include <memory>
#include <optional>

namespace orva::test {
namespace {

class SimService {
public:
    explicit SimService(sim::ReportMode mode) : services_(options(mode)) {
        const Result<void> startup = services_.start();
        if (!startup)
            throw std::runtime_error(startup.error());
        // The endpoints cannot be stopped before their accept loop has begun (the stop would be lost
        // and the destructor would wait for ever): one answered request shows the loop is running.
        httplib::Client probe("127.0.0.1", services_.httpPort());
        if (!probe.Get("/probe"))
            throw std::runtime_error("reporting service does not answer");
    }
    std::string url() const { return services_.httpUrl() + sim::ServiceEndpoints::kReportPath; }
    std::vector<sim::ReceivedReport> reports() const { return services_.reports(); }

private:
    static sim::Options options(sim::ReportMode mode) {
        sim::Options o;
        o.udp = false;
        o.http = "127.0.0.1:0";
        o.reportMode = mode;
        return o;
    }
    sim::ServiceEndpoints services_;
};

const std::vector<DiagRecord> kPending = {SampleRecord("SN-OLDER"), SampleRecord("SN-NEWEST", "张伟")};

const LogEntry kSaved{"SAVE", "云平台上传记录成功"};
const LogEntry kNotSaved{"SAVE", "云平台上传失败，暂存到本地:"};

struct ModeCase {
    const char* name;
    sim::ReportMode mode;
    bool accepted;
};

const ModeCase kModes[] = {
    {"CodeZero", sim::ReportMode::Ok, true},
    {"CodeOne", sim::ReportMode::Code1, false},
    {"Html500", sim::ReportMode::Html500, false},
    {"ConnectionDropped", sim::ReportMode::Silent, false},
};

class ReportNewest : public UploadTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ReportNewest, SendsTheNewestAndKeepsWhatWasNotAccepted) {
    SimService service(GetParam().mode);
    RecordStore store(dbPath());
    const ReportOutcome outcome = reportNewest(kPending, store, config(service.url()));

    const auto reports = service.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].sn, "SN-NEWEST");
    EXPECT_NE(reports[0].body.find("\r\n<Operator>张伟</Operator>\r\n"), std::string::npos) << reports[0].body;
    EXPECT_FALSE(store.isOpen());
    EXPECT_TRUE(notes.messages().empty());

    if (GetParam().accepted) {
        EXPECT_EQ(outcome, ReportOutcome::Accepted);
        EXPECT_EQ(log(), std::vector<LogEntry>{kSaved});
        EXPECT_TRUE(uploadSns().empty());
    } else {
        EXPECT_EQ(outcome, ReportOutcome::KeptForUpload);
        // The second line is the document exactly as it was sent.
        EXPECT_EQ(log(), (std::vector<LogEntry>{kNotSaved, {"SAVE", reports[0].body}}));
        EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-OLDER", "SN-NEWEST"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ReportNewest, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

using ReportNewestOther = UploadTest;

// Why a report was not accepted, in the words the technician reads ("" for an acceptance).
TEST_F(ReportNewestOther, EachRefusalSaysWhy) {
    struct Case {
        const char* name;
        std::optional<sim::ReportMode> service; // none: nothing listens
        int runNet;
        bool withUrl;
        std::string problem; // the start of it
    };
    const std::vector<Case> cases = {
        {"Accepted", sim::ReportMode::Ok, 1, true, ""},
        {"CodeOne", sim::ReportMode::Code1, 1, true, "the reporting service did not accept it (Code 1)"},
        {"ErrorPage", sim::ReportMode::Html500, 1, true, "the reporting service did not accept it (HTTP 500, no report reply)"},
        {"Dropped", sim::ReportMode::Silent, 1, true, "no answer from http://127.0.0.1:"},
        {"Refused", std::nullopt, 1, true, "no answer from http://127.0.0.1:9/report (Failed to connect to 127.0.0.1 port 9"},
        {"ReportsOff", sim::ReportMode::Ok, 0, true, "reports are switched off (RunNet=0 in setting.ini)"},
        {"NoUrl", sim::ReportMode::Ok, 1, false, "setting.ini names no ReportURL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<SimService> service;
        if (c.service)
            service = std::make_unique<SimService>(*c.service);
        const std::string url = !c.withUrl ? "" : service ? service->url() : "http://127.0.0.1:9/report";
        std::string problem = "not set";
        const bool accepted = sendNewest(kPending, config(url, c.runNet), {}, &problem);
        EXPECT_EQ(accepted, c.problem.empty());
        if (c.problem.empty())
            EXPECT_EQ(problem, "");
        else
            EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
    }
}

TEST_F(ReportNewestOther, RunNetZeroMakesNoRequestAndKeepsTheRecords) {
    SimService service(sim::ReportMode::Ok);
    RecordStore store(dbPath());
    EXPECT_EQ(reportNewest(kPending, store, config(service.url(), 0)), ReportOutcome::KeptForUpload);
    EXPECT_TRUE(service.reports().empty());
    const auto entries = log();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], kNotSaved);
    EXPECT_EQ(entries[1].tag, "SAVE");
    EXPECT_EQ(entries[1].message.rfind("<DeviceList>\r\n<DeviceDiag>\r\n<Operator>张伟</Operator>\r\n", 0), 0u);
    EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-OLDER", "SN-NEWEST"}));
}

TEST_F(ReportNewestOther, UnreachableServiceKeepsTheRecords) {
    // Port 9 (discard) has no listener on loopback here: the connection is refused.
    RecordStore store(dbPath());
    EXPECT_EQ(reportNewest(kPending, store, config("http://127.0.0.1:9/report")), ReportOutcome::KeptForUpload);
    EXPECT_EQ(log().size(), 2u);
    EXPECT_EQ(uploadSns().size(), 2u);
}

TEST_F(ReportNewestOther, EmptyListTellsTheTechnicianAndSendsNothing) {
    SimService service(sim::ReportMode::Ok);
    RecordStore store(dbPath());
    EXPECT_EQ(reportNewest({}, store, config(service.url())), ReportOutcome::NothingToReport);
    EXPECT_EQ(notes.messages(), std::vector<std::string>{Text(TextId::NoReportResult)});
    EXPECT_EQ(Text(TextId::NoReportResult), "当前没有检测结果");
    EXPECT_TRUE(service.reports().empty());
    EXPECT_TRUE(log().empty());
    EXPECT_FALSE(fileExists(dbPath()));
}

TEST_F(ReportNewestOther, StoreThatCannotOpenIsReportedAndNothingKept) {
    RecordStore store(dir.file("missing-dir/orvalog.db"));
    EXPECT_EQ(reportNewest(kPending, store, config("", 0)), ReportOutcome::NotKept);
    EXPECT_EQ(notes.messages(), std::vector<std::string>{"SQLITE_CANTOPEN[14]: unable to open database file"});
    EXPECT_EQ(log().size(), 2u);
}

// The forms the diagnosis run and the front ends use take the program directory and the settings.
class UploadDefaults : public UploadTest {
protected:
    UploadDefaults() { SetProgramDirectory(dir.path()); }
    ~UploadDefaults() override {
        SetSettings(AppSettings{});
        SetProgramDirectory("");
    }
};

TEST_F(UploadDefaults, ConfigComesFromTheSettings) {
    AppSettings s;
    s.ReportURL = "http://127.0.0.1:1/r";
    s.RunNet = 0;
    s.HttpTimeout = 7;
    s.TlsVerify = 0;
    s.CaFile = "/x/ca.pem";
    SetSettings(s);
    const UploadConfig c = UploadConfig::FromSettings();
    EXPECT_EQ(c.reportUrl, "http://127.0.0.1:1/r");
    EXPECT_EQ(c.runNet, 0);
    EXPECT_EQ(c.http.timeout, std::chrono::seconds(7));
    EXPECT_FALSE(c.http.tlsVerify);
    EXPECT_EQ(c.http.caFile, "/x/ca.pem");
    EXPECT_EQ(c.userAgent, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)");
}

TEST_F(UploadDefaults, ReportAndPassUseTheProgramDatabase) {
    SimService service(sim::ReportMode::Code1);
    AppSettings s;
    s.ReportURL = service.url();
    s.RunNet = 1;
    SetSettings(s);
    EXPECT_EQ(reportNewest(kPending), ReportOutcome::KeptForUpload);
    EXPECT_EQ(uploadSns().size(), 2u);

    // The pass sends both stored rows; the service refuses them again.
    const UploadPassResult pass = uploadStoredRecords();
    EXPECT_TRUE(pass.opened);
    EXPECT_EQ(pass.rows, 2);
    EXPECT_EQ(pass.failed, 2);
    EXPECT_EQ(service.reports().size(), 3u);
    EXPECT_EQ(uploadSns().size(), 2u);
}

} // namespace
} // namespace orva::test
