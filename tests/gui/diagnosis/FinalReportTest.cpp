// The end of a diagnosis on the page: the record is stored when the last check ends, before the closing
// box; closing the page while the final report hangs ends at once with the record kept for upload; a
// record that could not be stored keeps Start from sending anything.
#include "DiagnosisPageFixture.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"

#include <chrono>

namespace orva::test {
namespace {

constexpr int kFinalReportSubnet = orva::test::subnets::gui_diagnosis::kFinalReport;

DeviceTemplate SoftwareVersionOnly() {
    DeviceTemplate t;
    t.model = "KT540G";
    t.flags[16] = 1;
    return t;
}

class FinalReport : public DiagnosisPageFixture {
protected:
    void TearDown() override {
        UiPrompts::setObserver(nullptr);
        DiagnosisPageFixture::TearDown();
        if (service)
            service->stop();
    }
    // Reports go to the simulator's reporting service, which sits on each one for half a minute.
    void useHangingService() {
        ASSERT_TRUE(StartServices(service, {.reportMode = sim::ReportMode::Slow, .slowMs = 30000}));
        dir.writeSettings(kFinalReportSubnet, {{"RunNet", "1"}, {"ReportURL", service->httpUrl() + "/report"}});
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
    }
    std::vector<std::string> uploadSerials() {
        RecordStore store;
        std::vector<std::string> out;
        if (store.open("uploads"))
            for (const auto& row : store.readUploads().rows)
                out.push_back(RecordFromRow(row).record.sn);
        return out;
    }

    std::unique_ptr<sim::ServiceEndpoints> service;
};

TEST_F(FinalReport, TheRecordIsStoredBeforeTheClosingBox) {
    setUpProgram(kFinalReportSubnet);
    startSimulator();
    makePage();
    page->session().setDeviceTemplate(SoftwareVersionOnly());
    std::vector<StoredRecord> atBox;
    std::vector<std::string> uploadsAtBox;
    std::string boxTime;
    UiPrompts::setObserver([&](const UiPrompts::Shown& shown) {
        if (shown.text == Q(TextId::DiagFinished)) {
            atBox = storedLogs();
            uploadsAtBox = uploadSerials();
            boxTime = RecordStore::NowText();
        }
    });
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(atBox.size(), 1u);
    EXPECT_EQ(atBox[0].record.sn, "SN0170");
    EXPECT_LE(atBox[0].datetime, boxTime);
    // RunNet 0: no report is made, so the record stays for the upload pass.
    EXPECT_EQ(uploadsAtBox, std::vector<std::string>{"SN0170"});
    EXPECT_EQ(uploadSerials(), std::vector<std::string>{"SN0170"});
    EXPECT_TRUE(notifier.messages().empty());
}

TEST_F(FinalReport, ClosingThePageWhileTheReportHangsEndsAtOnceWithTheRecordKept) {
    setUpProgram(kFinalReportSubnet);
    useHangingService();
    startSimulator();
    makePage();
    page->session().setDeviceTemplate(SoftwareVersionOnly());
    click(page->startButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service->reports().empty(); }, 30000));
    EXPECT_FALSE(page->running()); // back to idle: the closing box has been shown
    const auto began = std::chrono::steady_clock::now();
    answerer.stop();
    page.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
    const auto logs = storedLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].record.sn, "SN0170");
    EXPECT_EQ(uploadSerials(), std::vector<std::string>{"SN0170"});
}

TEST_F(FinalReport, StartSendsNothingWhenTheRecordCouldNotBeStored) {
    setUpProgram(kFinalReportSubnet);
    startSimulator();
    makePage();
    // The page made the file when it was created; it now turns into a folder.
    std::filesystem::remove(dir.file("orvalog.db"));
    std::filesystem::create_directory(dir.file("orvalog.db"));
    click(page->startButton());
    EXPECT_EQ(notifier.messages(), std::vector<std::string>{"SQLITE_CANTOPEN[14]: unable to open database file"});
    expectIdle();
    QTest::qWait(300);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(sim->commands().empty());
    EXPECT_EQ(page->itemList()->topLevelItemCount(), 0);
}

} // namespace
} // namespace orva::test
