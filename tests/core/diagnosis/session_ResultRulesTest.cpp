// How each result and answer is judged, shown, collected as a fault and written into the record.
#include "core/diagnosis/Prompts.h"
#include "session_Fixture.h"

namespace orva::test {
namespace {

struct RuleCase {
    std::string name;
    int item;
    std::vector<sim::Override> overrides;
    std::string mark;
    std::string result;
    std::string fault; // empty: none
    std::function<void(const DiagRecord&)> checkRecord;
};

sim::Override Reply(const std::string& prefix, std::optional<std::string> status,
                    std::vector<std::pair<std::string, std::string>> fields = {}, std::vector<std::string> drop = {}) {
    sim::Override o;
    o.prefix = prefix;
    o.status = std::move(status);
    o.fields = std::move(fields);
    o.drop = std::move(drop);
    return o;
}

sim::Override Silent(const std::string& prefix) {
    sim::Override o;
    o.prefix = prefix;
    o.noReply = true;
    return o;
}

const std::vector<RuleCase>& RuleCases() {
    static const std::vector<RuleCase> cases = {
        {"LanPortDown",
         1,
         {Reply("HG_HARDWARE_DIAG STEP=1 FENUM=1", std::nullopt, {{"FESTATUS", "DOWN"}})},
         "X",
         "失败",
         "FE1 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.FE1Check, CheckFailed); }},
        {"LanNoReply",
         3,
         {Silent("HG_HARDWARE_DIAG STEP=1 FENUM=3")},
         "X",
         "失败",
         "FE3 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.FE3Check, CheckNotTested); }},
        {"FlashFailedStillShowsUsage",
         13,
         {Reply("HG_HARDWARE_DIAG STEP=4", "HG_HARDWARE_DIAG_FAIL")},
         "X",
         "成功 35%",
         "Flash 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.FlashCheck, CheckNotTested); }},
        {"FlashNoReply",
         13,
         {Silent("HG_HARDWARE_DIAG STEP=4")},
         "X",
         "失败",
         "Flash 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.FlashCheck, CheckNotTested); }},
        {"UsbFailed",
         15,
         {Reply("HG_HARDWARE_DIAG STEP=6", "HG_HARDWARE_DIAG_FAIL")},
         "X",
         "失败",
         "USB 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.USBCheck, CheckFailed); }},
        {"WifiNoReply",
         16,
         {Silent("HG_HARDWARE_DIAG STEP=7")},
         "X",
         "失败",
         "WIFI 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.WifiCheck, CheckFailed); }},
        {"SoftwareVersionExchangeFailed",
         17,
         {Silent("HG_SOFTWARE_DIAG STEP=1")},
         "X",
         "成功 ",
         "软件版本号 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.SoftWareVersionCheck, ""); }},
        {"KeyProcessNotOk",
         18,
         {Reply("HG_SOFTWARE_DIAG STEP=3", std::nullopt, {{"KEYPROCESSCHECK", "NG"}})},
         "X",
         "失败",
         "关键进程不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.PSCheck, "NG"); }},
        {"SystemResource12And40",
         19,
         {},
         "√",
         "成功 CPU:12% Memory:40%",
         "",
         [](const DiagRecord& r) {
             EXPECT_FLOAT_EQ(r.CPULoadCheck, 12.0f);
             EXPECT_FLOAT_EQ(r.MemCheck, 40.0f);
         }},
        {"SystemResource37And52_5",
         19,
         {Reply("HG_SOFTWARE_DIAG STEP=4", std::nullopt, {{"CPULOAD", "37"}, {"MEMLOAD", "52.5"}})},
         "√",
         "成功 CPU:37% Memory:52.5%",
         "",
         [](const DiagRecord& r) {
             EXPECT_FLOAT_EQ(r.CPULoadCheck, 37.0f);
             EXPECT_FLOAT_EQ(r.MemCheck, 52.5f);
         }},
        {"SystemResourceWithoutMemload",
         19,
         {Reply("HG_SOFTWARE_DIAG STEP=4", std::nullopt, {}, {"MEMLOAD"})},
         "√",
         "成功 CPU:12% Memory:%",
         "",
         [](const DiagRecord& r) {
             EXPECT_FLOAT_EQ(r.MemCheck, 0.0f);
             EXPECT_FLOAT_EQ(r.CPULoadCheck, 0.0f); // the reply was incomplete: nothing is read
         }},
        {"AreaR",
         20,
         {Reply("HG_SOFTWARE_DIAG STEP=5", std::nullopt, {{"AREACHECK", "R"}})},
         "√",
         "成功 山西",
         "",
         nullptr},
        {"AreaUnknownCode",
         20,
         {Reply("HG_SOFTWARE_DIAG STEP=5", std::nullopt, {{"AREACHECK", "Z"}})},
         "√",
         "成功 ",
         "",
         nullptr},
        {"IntegrityNotOk",
         21,
         {Reply("HG_SOFTWARE_DIAG STEP=6", std::nullopt, {{"INTEGRITYCHECK", "BAD"}})},
         "X",
         "失败",
         "一致性 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.PreConfigCheck, CheckPassed); }},
        {"DiskOkShowsTheGatewaysWord",
         22,
         {},
         "OK",
         "成功",
         "",
         [](const DiagRecord& r) { EXPECT_EQ(r.DiskIntegrityCheck, CheckPassed); }},
        {"DiskUnrecognised",
         22,
         {Reply("HG_SOFTWARE_DIAG STEP=7", "UNRECOGNIZE_REQUEST")},
         "X",
         "失败",
         "磁盘检查 不正常",
         [](const DiagRecord& r) { EXPECT_EQ(r.DiskIntegrityCheck, CheckNotTested); }},
    };
    return cases;
}

class ResultRuleTest : public SessionFixture, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(ResultRuleTest, MarkResultFaultAndRecord) {
    const RuleCase& c = GetParam();
    startSimulator("KT540G", c.overrides);
    session->setDeviceTemplate(only({c.item}));
    runToEnd();
    ASSERT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    RunSummary run = session->lastRun();
    ASSERT_EQ(run.checks.size(), 1u);
    EXPECT_EQ(run.checks[0].item, c.item);
    EXPECT_EQ(run.checks[0].mark, c.mark);
    EXPECT_EQ(run.checks[0].result, c.result);
    auto status = view.callsOf("status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].a, c.item);
    EXPECT_EQ(status[0].s1, c.mark);
    EXPECT_EQ(run.faults, c.fault.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.fault});
    // The faults go to the results list at the end.
    auto results = view.callsOf("result");
    ASSERT_EQ(results.size(), run.faults.size());
    ASSERT_TRUE(run.record.has_value());
    if (c.checkRecord)
        c.checkRecord(*run.record);
}

INSTANTIATE_TEST_SUITE_P(Rules, ResultRuleTest, ::testing::ValuesIn(RuleCases()),
                         [](const auto& info) { return info.param.name; });

struct PotsCase {
    std::string name;
    std::vector<int> items;
    std::map<int, bool> answers; // by question id (the template selects one port's items only)
    int pos1;
    int pos2;
    std::vector<std::string> faults;
};

class PotsAnswerTest : public SessionFixture, public ::testing::WithParamInterface<PotsCase> {};

TEST_P(PotsAnswerTest, AnswersCombineIntoThePortResult) {
    const PotsCase& c = GetParam();
    startSimulator("KT540G");
    DeviceTemplate t = only({});
    for (int n : c.items)
        t.flags[static_cast<size_t>(n - 1)] = 1;
    session->setDeviceTemplate(t);
    view.answers = c.answers;
    runToEnd();
    ASSERT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    RunSummary run = session->lastRun();
    ASSERT_TRUE(run.record.has_value());
    EXPECT_EQ(run.record->POS1Check, c.pos1);
    EXPECT_EQ(run.record->POS2Check, c.pos2);
    EXPECT_EQ(run.faults, c.faults);
    ASSERT_EQ(run.checks.size(), c.items.size());
    for (size_t i = 0; i < c.items.size(); ++i)
        EXPECT_EQ(run.checks[i].item, c.items[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Pots, PotsAnswerTest,
    ::testing::Values(PotsCase{"NoToRing1", {5, 6, 7}, {{WM_DIAG_RING_JUDGE, false}}, 9, 9, {"POST1响铃 不正常"}},
                      PotsCase{"ThreeYes", {5, 6, 7}, {}, 1, 9, {}}, PotsCase{"OnlyCng1", {7}, {}, 1, 9, {}},
                      PotsCase{"NoToCng1", {7}, {{WM_DIAG_CNG_JUDGE, false}}, 9, 9, {"POST1 cng 不正常"}},
                      PotsCase{"AllPort2No",
                               {8, 9, 10},
                               {{WM_DIAG_RING_JUDGE, false}, {WM_DIAG_DTMF_JUDGE, false}, {WM_DIAG_CNG_JUDGE, false}},
                               9,
                               9,
                               {"POST2响铃 不正常", "POST2 dtmf 不正常", "POST2 cng 不正常"}},
                      PotsCase{"LoopNo", {11}, {{WM_DIAG_LOOP_JUDGE, false}}, 9, 9, {"POST loop 不正常"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(SessionFixture, UplinkAndLedAnswersWriteTheRecord) {
    struct Case {
        bool yes;
        int value;
        std::vector<std::string> faults;
    };
    startSimulator("KT540G");
    for (const Case& c : {Case{true, CheckPassed, {}}, Case{false, CheckNotTested, {"上行链路不正常", "LED 不正常"}}}) {
        view.clear();
        session->setDeviceTemplate(only({12, 14}));
        view.defaultAnswer = c.yes;
        runToEnd();
        RunSummary run = session->lastRun();
        ASSERT_TRUE(run.record.has_value());
        EXPECT_EQ(run.record->PONCheck, c.value);
        EXPECT_EQ(run.record->LEDCheck, c.value);
        EXPECT_EQ(run.faults, c.faults);
        ASSERT_EQ(run.checks.size(), 2u);
        EXPECT_EQ(run.checks[0].mark, c.yes ? "√" : "X");
        EXPECT_EQ(run.checks[1].result, c.yes ? "成功" : "失败");
    }
}

TEST(PromptTable, TitlesModesAndTextsFollowTheModel) {
    SelectLanguage("Chinese");
    struct Case {
        int id;
        int port;
        std::string model;
        int mode;
        std::string title;
        TextId text;
        int value;
    };
    const std::vector<Case> cases = {
        {WM_DIAG_LAN3_PROMPT, 0, "", 0, "LAN3口测试", TextId::PromptLan3, 0},
        {WM_DIAG_UPLINK_PROMPT, 0, "KT310-U", 0, "DSL诊断测试", TextId::PromptDslConnect, 0},
        {WM_DIAG_UPLINK_PROMPT, 0, "KT593G", 0, "光模块诊断测试", TextId::PromptOpticalConnect, 0},
        {WM_DIAG_UPLINK_RESULT, 0, "", 1, "光模块诊断测试", TextId::PromptOpticalRead, 0},
        {WM_DIAG_LED_JUDGE, 0, "KT310", 1, "LED灯诊断测试", TextId::AskLedDsl, 0},
        {WM_DIAG_LED_JUDGE, 0, "KT540G", 1, "LED灯诊断测试", TextId::AskLed, 0},
        {WM_DIAG_DTMF_PROMPT, 2, "", 0, "POTS2口DTMF测试", TextId::PromptPots2Dtmf, 0},
        {WM_DIAG_CNG_JUDGE, 1, "", 1, "POTS1口CNG测试", TextId::AskPots1Cng, 1},
        {WM_DIAG_CNG_JUDGE, 2, "", 1, "POTS2口CNG测试", TextId::AskPots2Cng, 2},
        {WM_DIAG_LOOP_JUDGE, 0, "", 1, "LOOP测试", TextId::AskPotsLoop, 0},
    };
    for (const auto& c : cases) {
        Prompt p = PromptFor(c.id, c.port, c.model);
        EXPECT_EQ(p.mode, c.mode) << c.id;
        EXPECT_EQ(p.title, c.title) << c.id;
        EXPECT_EQ(p.text, Text(c.text)) << c.id;
        EXPECT_EQ(p.value, c.value) << c.id;
        EXPECT_EQ(p.questionId, c.id);
    }
}

TEST_F(SessionFixture, AnswersWithTheWrongIdShowTheirErrorAndSetNothing) {
    startSimulator("KT540G");
    session->setDeviceTemplate(only({1}));
    view.holdPrompts = {WM_DIAG_LAN1_PROMPT};
    std::mutex m;
    std::condition_variable shown;
    bool open = false;
    view.onCall = [&](const FakeView::Call& c) {
        if (c.what == "prompt") {
            std::lock_guard lock(m);
            open = true;
            shown.notify_all();
        }
    };
    ASSERT_TRUE(session->start(gatewayAddress(kSessionSubnet)));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(shown.wait_for(lock, std::chrono::seconds(20), [&] { return open; }));
    }
    EXPECT_FALSE(session->promptAck(12345));
    EXPECT_FALSE(session->promptYes(WM_DIAG_LAN1_PROMPT, 0));
    EXPECT_FALSE(session->promptNo(WM_DIAG_LAN1_PROMPT, 0));
    // Cancel on an information prompt does nothing: the run still waits for its OK.
    EXPECT_FALSE(session->answer(false));
    // A yes/no question that is not the open one is not taken.
    EXPECT_FALSE(session->promptYes(WM_DIAG_LED_JUDGE, 0));
    auto messages = view.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], " OnInfoDlgRet error ");
    EXPECT_EQ(messages[1], " OnJudgeYes error ");
    EXPECT_EQ(messages[2], "msg:" + std::to_string(WM_DIAG_LAN1_PROMPT) + ",OnJudgeNo error");
    ASSERT_TRUE(session->openPrompt().has_value());
    EXPECT_EQ(session->openPrompt()->questionId, WM_DIAG_LAN1_PROMPT);
    EXPECT_TRUE(session->running());

    EXPECT_TRUE(session->promptAck(WM_DIAG_LAN1_PROMPT));
    ASSERT_TRUE(session->waitForRunEnd(std::chrono::seconds(30)));
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    EXPECT_EQ(session->lastRun().checks.size(), 1u);
}

} // namespace
} // namespace orva::test
