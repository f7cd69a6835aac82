#pragma once
// A diagnosis of a KT540G with every check selected, run by a DiagnosisSession against the
// in-process gateway simulator on the suite's own subnet; every question is answered yes. What a run
// should give when the gateway behaves is known, so a case states only what its fault changes.
#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/DeviceModels.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/records/RecordStore.h"

#include "SimulatorPeers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace orva::test {

// Answers every prompt with OK / yes as soon as it is shown.
class YesView final : public DiagnosisView {
public:
    DiagnosisSession* session = nullptr;

    void questionOpened(const Prompt&, int) override {
        if (session)
            session->answer(true);
    }
    void message(const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

class DiagnosisRig : public ::testing::Test {
protected:
    explicit DiagnosisRig(int subnetN) : subnet_(subnetN) {}

    void SetUp() override {
        dir.writeSettings(subnet_, {{"RunNet", "0"}});
        writeFile(dir.file("res/device.ini"), "[DeviceName]\nList=KT540G\n[DeviceCount]\nCount=1\n[DeviceInfo]\n"
                                              "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n");
        SetProgramDirectory(dir.path());
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
        SelectLanguage("Chinese");
        ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));

        ASSERT_TRUE(StartSimulator(sim, subnet_, {.model = "KT540G", .sn = "SN0185"}));
        simOptions = sim->options();

        SessionOptions so;
        so.replyTimeoutSeconds = 1;
        session = std::make_unique<DiagnosisSession>(view, nullptr, so);
        view.session = session.get();
        session->initialise();
        session->setOperator("tech01");
        ASSERT_EQ(session->confirmModel("KT540G"), DiagnosisSession::ConfirmResult::Confirmed);
    }

    void TearDown() override {
        session.reset();
        if (sim)
            sim->stop();
        SetCurrentDeviceType("");
    }

    // One whole run; its summary.
    RunSummary runOnce() {
        const size_t before = storedLogs().size();
        EXPECT_TRUE(session->start(gatewayAddress(subnet_)));
        EXPECT_TRUE(session->waitForRunEnd(std::chrono::seconds(120)));
        RunSummary s = session->lastRun();
        // A finished run has stored exactly one new row.
        if (s.ended && s.outcome == RunOutcome::Finished) {
            EXPECT_EQ(storedLogs().size(), before + 1);
        }
        return s;
    }

    // The record of a run in which the gateway behaved.
    DiagRecord expectedRecord() const {
        DiagRecord r;
        r.Operator = "tech01";
        r.sn = simOptions.sn;
        r.DeviceType = "KT540G";
        r.FE1Check = r.FE2Check = r.FE3Check = r.FE4Check = CheckPassed;
        r.POS1Check = r.POS2Check = r.PONCheck = r.FlashCheck = r.LEDCheck = r.USBCheck = r.WifiCheck = CheckPassed;
        r.SoftWareVersionCheck = "V1.0.3";
        r.PSCheck = "OK";
        r.CPULoadCheck = 12;
        r.MemCheck = 40;
        r.PreConfigCheck = r.DiskIntegrityCheck = CheckPassed;
        return r;
    }

    std::vector<StoredRecord> storedLogs() const {
        RecordStore store(dir.file("orvalog.db"));
        if (!store.open("logs"))
            return {};
        auto rows = store.logsAfter(0);
        store.close();
        return rows;
    }

    // Items shown as failed ("X").
    static std::set<int> failedItems(const RunSummary& s) {
        std::set<int> out;
        for (const auto& c : s.checks)
            if (c.mark == "X")
                out.insert(c.item);
        return out;
    }

    // The newest stored record, with the PC's adapter address left out of the comparison.
    DiagRecord newestStored(const DiagRecord& like) const {
        auto rows = storedLogs();
        if (rows.empty())
            return {};
        DiagRecord r = rows.back().record;
        r.Mac = like.Mac;
        return r;
    }

    int subnet_;
    TempProgramDir dir{"orva-faults-net"};
    RecordingNotifier notifier;
    YesView view;
    sim::Options simOptions;
    std::unique_ptr<sim::GatewaySimulator> sim;
    std::unique_ptr<DiagnosisSession> session;
};

} // namespace orva::test
