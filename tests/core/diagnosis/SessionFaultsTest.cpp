// A record keeps the faults its run showed: an LED judged "no", a LAN port that is down and a flash
// check the gateway never answered are stored beside the logs row, item by item, in the language of the
// run, while the row itself keeps the values it always had.
#include "SessionFixture.h"

#include "TestSubnets.h"

namespace orva::test {
namespace {

class SessionFaults : public SessionFixture {
protected:
    int subnetN() const override { return orva::test::subnets::session::kFaults; }
};

TEST_F(SessionFaults, EachFailedCheckIsStoredWithItsItemAndFault) {
    sim::Override lan2Down;
    lan2Down.prefix = "HG_HARDWARE_DIAG STEP=1 FENUM=2";
    lan2Down.fields = {{"FESTATUS", "DOWN"}};
    sim::Override flashSilent;
    flashSilent.prefix = "HG_HARDWARE_DIAG STEP=4";
    flashSilent.noReply = true;
    startSimulator("KT540G", {lan2Down, flashSilent});

    struct Case {
        const char* language;
        std::vector<RecordFault> faults;
    };
    const std::vector<Case> cases = {
        {"Chinese", {{2, "FE2 不正常"}, {13, "Flash 不正常"}, {14, "LED 不正常"}}},
        {"English", {{2, "FE2 Error"}, {13, "Flash Error"}, {14, "LED Error"}}},
    };
    int logId = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        SelectLanguage(c.language);
        view.clear();
        // LAN1 and USB pass: only failed checks leave a fault.
        session->setDeviceTemplate(only({1, 2, 13, 14, 15}));
        view.answers[WM_DIAG_LED_JUDGE] = false;
        runToEnd();
        ++logId;

        const RunSummary run = session->lastRun();
        ASSERT_TRUE(run.record.has_value());
        EXPECT_EQ(run.record->faults, c.faults);
        std::vector<std::string> shown;
        for (const RecordFault& f : c.faults)
            shown.push_back(f.text);
        EXPECT_EQ(run.faults, shown);

        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        const std::vector<StoredRecord> logs = store.logsAfter(logId - 1);
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].id, logId);
        // The row keeps its values: the LED judged "no" and the unanswered flash check stay 9, as a
        // check that never ran; only the faults tell them apart.
        EXPECT_EQ(logs[0].record.LEDCheck, CheckNotTested);
        EXPECT_EQ(logs[0].record.FlashCheck, CheckNotTested);
        EXPECT_EQ(logs[0].record.FE1Check, CheckPassed);
        EXPECT_EQ(logs[0].record.FE2Check, CheckFailed);
        EXPECT_EQ(logs[0].record.USBCheck, CheckPassed);
        EXPECT_EQ(logs[0].record.WifiCheck, CheckNotTested);
        EXPECT_EQ(store.faultsOfLog(logId), (std::optional<std::vector<RecordFault>>{c.faults}));
    }
    SelectLanguage("Chinese");
}

TEST_F(SessionFaults, ARunWithoutFailuresStoresNoFaults) {
    startSimulator("KT540G");
    session->setDeviceTemplate(only({1, 14, 15}));
    view.defaultAnswer = true;
    runToEnd();
    const RunSummary run = session->lastRun();
    ASSERT_TRUE(run.record.has_value());
    EXPECT_TRUE(run.record->faults.empty());
    RecordStore store;
    ASSERT_TRUE(store.open("logs"));
    EXPECT_EQ(store.logsAfter(0).at(0).record.LEDCheck, CheckPassed);
    EXPECT_EQ(store.faultsOfLog(1), (std::optional<std::vector<RecordFault>>{std::vector<RecordFault>{}}));
}

} // namespace
} // namespace orva::test
