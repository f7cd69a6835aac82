// The reporting service misbehaves while a diagnosis finishes: the run still ends, the record is in
// logs, and since the service did not take it, it waits in uploads for the next pass.
#include "HttpPeers.h"
#include "DiagnosisRig.h"
#include "TestSubnets.h"

namespace orva::test {
namespace {

constexpr int kReportFaultsSubnet =
    orva::test::subnets::faults_gateway::kReportFaults; // the gateway suite's subnet: its cases run one at a time

class ReportFaultsTest : public DiagnosisRig {
protected:
    ReportFaultsTest() : DiagnosisRig(kReportFaultsSubnet) {}

    // Reports go to `url`, with a short HTTP time-out.
    void reportTo(const std::string& url) {
        AppSettings s = Settings();
        s.RunNet = 1;
        s.ReportURL = url;
        s.HttpTimeout = 2;
        SetSettings(s);
    }

    int uploads() const {
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("uploads"))
            return -1;
        const int n = static_cast<int>(store.readUploads().rows.size());
        store.close();
        return n;
    }
};

TEST_F(ReportFaultsTest, RecordIsStoredAndKeptForUploadWhateverTheServiceDoes) {
    for (const auto fault :
         {ServerFault::Hang, ServerFault::CloseMidBody, ServerFault::HugeWithoutLength, ServerFault::SlowBeyondLimit}) {
        SCOPED_TRACE(FaultName(fault));
        BadHttpServer server(fault, "<Response><Code>0</Code></Response>");
        reportTo(server.url("/report"));
        const int before = std::max(uploads(), 0);
        const RunSummary s = runOnce();
        ASSERT_EQ(s.outcome, RunOutcome::Finished);
        EXPECT_EQ(server.requests(), 1);
        EXPECT_EQ(uploads(), before + 1);
        ASSERT_FALSE(storedLogs().empty());
        EXPECT_EQ(storedLogs().back().record.sn, simOptions.sn);
    }
}

TEST_F(ReportFaultsTest, SlowButTimelyServiceTakesTheReport) {
    BadHttpServer server(ServerFault::SlowWithinLimit, "<Response><Code>0</Code></Response>");
    reportTo(server.url("/report"));
    AppSettings s = Settings();
    s.HttpTimeout = 30;
    SetSettings(s);
    const int before = std::max(uploads(), 0);
    ASSERT_EQ(runOnce().outcome, RunOutcome::Finished);
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(uploads(), before);
}

} // namespace
} // namespace orva::test
