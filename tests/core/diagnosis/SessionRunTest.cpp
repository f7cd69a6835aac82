// Whole runs against the simulator: the order of checks and commands, the record, the logs.
#include "SessionFixture.h"

#include <iconv.h>

namespace orva::test {
namespace {

std::string FromGbk(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out.data();
    size_t oLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    out.resize(out.size() - oLeft);
    return out;
}

std::vector<std::string> CheckResultLines(const std::string& logPath) {
    std::vector<std::string> lines;
    const std::string text = FromGbk(readFile(logPath));
    size_t pos = 0;
    while ((pos = text.find("[CheckResult](", pos)) != std::string::npos) {
        size_t colon = text.find("):", pos);
        size_t end = text.find("\r\n", colon);
        lines.push_back(text.substr(colon + 2, end - colon - 2));
        pos = end;
    }
    return lines;
}

using Sent = std::pair<int, std::string>;

TEST_F(SessionFixture, FullKT540GRunWithEveryAnswerYes) {
    startSimulator("KT540G");
    ASSERT_EQ(session->confirmModel("KT540G"), DiagnosisSession::ConfirmResult::Confirmed);
    runToEnd();
    EXPECT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});

    // Every check, in item order, on the current-log tab, numbered from 1.
    auto rows = session->logRows(LogTab::Current);
    ASSERT_EQ(rows.size(), 22u);
    for (int n = 1; n <= 22; ++n) {
        EXPECT_EQ(rows[n - 1].number, n);
        EXPECT_EQ(rows[n - 1].item, CheckItemName(n));
    }
    EXPECT_EQ(rows[12].result, "成功 35%");
    EXPECT_EQ(rows[16].result, "成功 V1.0.3");
    EXPECT_EQ(rows[18].result, "成功 CPU:12% Memory:40%");
    EXPECT_EQ(rows[19].result, "成功 通用版本");
    EXPECT_EQ(rows[21].result, "成功");
    RunSummary run = session->lastRun();
    ASSERT_EQ(run.checks.size(), 22u);
    for (const auto& c : run.checks)
        EXPECT_EQ(c.mark, c.item == 22 ? "OK" : "√") << c.name;
    EXPECT_TRUE(run.faults.empty());
    EXPECT_TRUE(view.callsOf("result").empty());

    // Identity first on 7998, hardware on 7999, software on 7998 again.
    const std::vector<Sent> expected = {
        {7998, "CONNECT"},
        {7998, "QUERY_SYSTEM_INFO"},
        {7998, "QUERY_SYSTEM_INFO"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=1"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=2"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=3"},
        {7999, "HG_HARDWARE_DIAG STEP=1 FENUM=4"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=START"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=0"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=0"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=0"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=RINGON POSNUM=1"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=PLAYDTMF POSNUM=1"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCNGTONE POSNUM=1"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STARTCALLLOOP POSNUM=0"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STOP"},
        {7999, "HG_HARDWARE_DIAG STEP=3 METHOD=START"},
        {7999, "HG_HARDWARE_DIAG STEP=3 METHOD=STOP"},
        {7999, "HG_HARDWARE_DIAG STEP=4"},
        {7999, "HG_HARDWARE_DIAG STEP=5  METHOD=ON"},
        {7999, "HG_HARDWARE_DIAG STEP=5  METHOD=OFF"},
        {7999, "HG_HARDWARE_DIAG STEP=6"},
        {7999, "HG_HARDWARE_DIAG STEP=7"},
        {7998, "HG_SOFTWARE_DIAG STEP=1"},
        {7998, "HG_SOFTWARE_DIAG STEP=3"},
        {7998, "HG_SOFTWARE_DIAG STEP=4"},
        {7998, "HG_SOFTWARE_DIAG STEP=5"},
        {7998, "HG_SOFTWARE_DIAG STEP=6"},
        {7998, "HG_SOFTWARE_DIAG STEP=7"},
    };
    EXPECT_EQ(received(), expected);

    // The questions, in order, as the prompt window showed them.
    const std::vector<std::tuple<int, int, std::string, int>> questions = {
        {WM_DIAG_LAN1_PROMPT, 0, "LAN1口测试", 0},       {WM_DIAG_LAN2_PROMPT, 0, "LAN2口测试", 0},
        {WM_DIAG_LAN3_PROMPT, 0, "LAN3口测试", 0},       {WM_DIAG_LAN4_PROMPT, 0, "LAN4口测试", 0},
        {WM_DIAG_RING_PROMPT, 0, "POTS1口响铃测试", 0},  {WM_DIAG_RING_JUDGE, 1, "POTS1口响铃测试", 1},
        {WM_DIAG_DTMF_PROMPT, 0, "POTS1口DTMF测试", 0},  {WM_DIAG_DTMF_JUDGE, 1, "POTS1口DTMF测试", 1},
        {WM_DIAG_CNG_PROMPT, 0, "POTS1口CNG测试", 0},    {WM_DIAG_CNG_JUDGE, 1, "POTS1口CNG测试", 1},
        {WM_DIAG_RING_PROMPT, 0, "POTS2口响铃测试", 0},  {WM_DIAG_RING_JUDGE, 1, "POTS2口响铃测试", 2},
        {WM_DIAG_DTMF_PROMPT, 0, "POTS2口DTMF测试", 0},  {WM_DIAG_DTMF_JUDGE, 1, "POTS2口DTMF测试", 2},
        {WM_DIAG_CNG_PROMPT, 0, "POTS2口CNG测试", 0},    {WM_DIAG_CNG_JUDGE, 1, "POTS2口CNG测试", 2},
        {WM_DIAG_LOOP_PROMPT, 0, "LOOP测试", 0},         {WM_DIAG_LOOP_JUDGE, 1, "LOOP测试", 0},
        {WM_DIAG_UPLINK_PROMPT, 0, "光模块诊断测试", 0}, {WM_DIAG_UPLINK_RESULT, 1, "光模块诊断测试", 0},
        {WM_DIAG_LED_PROMPT, 0, "LED灯诊断测试", 0},     {WM_DIAG_LED_JUDGE, 1, "LED灯诊断测试", 0},
    };
    auto prompts = view.prompts();
    ASSERT_EQ(prompts.size(), questions.size());
    for (size_t i = 0; i < questions.size(); ++i) {
        const auto& [id, mode, title, value] = questions[i];
        EXPECT_EQ(prompts[i].questionId, id) << i;
        EXPECT_EQ(prompts[i].mode, mode) << i;
        EXPECT_EQ(prompts[i].title, title) << i;
        EXPECT_EQ(prompts[i].value, value) << i;
    }
    EXPECT_EQ(prompts[0].text, Text(TextId::PromptLan1));
    EXPECT_EQ(prompts[11].text, Text(TextId::AskPots2Ring));
    EXPECT_EQ(prompts[18].text, Text(TextId::PromptOpticalConnect));
    EXPECT_EQ(prompts[19].text, Text(TextId::PromptOpticalRead));
    EXPECT_EQ(prompts[21].text, Text(TextId::AskLed));

    // The stored row.
    auto logs = storedLogs();
    ASSERT_EQ(logs.size(), 1u);
    const DiagRecord& r = logs[0].record;
    EXPECT_EQ(r.Operator, "tech01");
    EXPECT_EQ(r.sn, "SN0001");
    EXPECT_EQ(r.DeviceType, "KT540G");
    for (int v : {r.FE1Check, r.FE2Check, r.FE3Check, r.FE4Check, r.POS1Check, r.POS2Check, r.PONCheck, r.FlashCheck,
                  r.LEDCheck, r.USBCheck, r.WifiCheck, r.PreConfigCheck, r.DiskIntegrityCheck})
        EXPECT_EQ(v, CheckPassed);
    EXPECT_EQ(r.SoftWareVersionCheck, "V1.0.3");
    EXPECT_EQ(r.PSCheck, "OK");
    EXPECT_FLOAT_EQ(r.CPULoadCheck, 12.0f);
    EXPECT_FLOAT_EQ(r.MemCheck, 40.0f);
    ASSERT_TRUE(run.record.has_value());
    EXPECT_EQ(*run.record, r);
    EXPECT_EQ(run.stored, RecordStore::Stored);
    EXPECT_EQ(session->pendingRecords(), 0);

    // Two log lines per check: the item's name, then its result.
    auto lines = CheckResultLines(dir.file("orva.log"));
    ASSERT_EQ(lines.size(), 44u);
    EXPECT_EQ(lines[0], "第一个LAN1口测试");
    EXPECT_EQ(lines[1], "成功");
    EXPECT_EQ(lines[36], "系统资源");
    EXPECT_EQ(lines[37], "成功 CPU:12% Memory:40%");

    // The page: idle again, the finished message, the identity fields.
    EXPECT_FALSE(session->running());
    EXPECT_EQ(view.messages().back(), "诊断完毕");
    auto identity = view.callsOf("identity");
    ASSERT_EQ(identity.size(), 1u);
    EXPECT_EQ(identity[0].s1, "KT540G");
    EXPECT_EQ(identity[0].s2, "SN0001");
}

struct ModelCase {
    std::string model;
    bool potsStartStop;
    bool dsl;
};

class ModelRunTest : public SessionFixture, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelRunTest, ModelSpecificSteps) {
    const ModelCase& c = GetParam();
    startSimulator(c.model);
    ASSERT_EQ(session->confirmModel(c.model), DiagnosisSession::ConfirmResult::Confirmed);
    runToEnd();
    ASSERT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    std::vector<std::string> commands;
    for (auto& [port, cmd] : received())
        commands.push_back(cmd);
    auto count = [&](const std::string& cmd) { return std::count(commands.begin(), commands.end(), cmd); };
    EXPECT_EQ(count("HG_HARDWARE_DIAG STEP=2 METHOD=START"), c.potsStartStop ? 1 : 0);
    EXPECT_EQ(count("HG_HARDWARE_DIAG STEP=2 METHOD=STOP"), c.potsStartStop ? 1 : 0);
    EXPECT_EQ(count("HG_HARDWARE_DIAG STEP=3 METHOD=START"), 1);
    EXPECT_EQ(count("HG_HARDWARE_DIAG STEP=3 METHOD=STOP"), c.dsl ? 0 : 1);

    bool askedReading = false;
    std::string uplinkTitle, ledText;
    for (const auto& p : view.prompts()) {
        if (p.questionId == WM_DIAG_UPLINK_RESULT)
            askedReading = true;
        if (p.questionId == WM_DIAG_UPLINK_PROMPT)
            uplinkTitle = p.title;
        if (p.questionId == WM_DIAG_LED_JUDGE)
            ledText = p.text;
    }
    EXPECT_EQ(askedReading, !c.dsl);
    EXPECT_EQ(uplinkTitle, c.dsl ? "DSL诊断测试" : "光模块诊断测试");
    EXPECT_EQ(ledText, Text(c.dsl ? TextId::AskLedDsl : TextId::AskLed));

    auto logs = storedLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].record.DeviceType, c.model);
    // The DSL uplink passes on the gateway's status alone.
    EXPECT_EQ(logs[0].record.PONCheck, CheckPassed);
    EXPECT_EQ(logs[0].record.USBCheck, c.model == "KT310" ? CheckNotTested : CheckPassed);
}

INSTANTIATE_TEST_SUITE_P(Models, ModelRunTest,
                         ::testing::Values(ModelCase{"KT310", false, true}, ModelCase{"KT593G", false, false},
                                           ModelCase{"KT540G", true, false}),
                         [](const auto& info) { return info.param.model; });

TEST_F(SessionFixture, AllZerosTemplateStillConnectsChecksTheModelAndStoresANotTestedRecord) {
    startSimulator("ZERO");
    ASSERT_EQ(session->confirmModel("ZERO"), DiagnosisSession::ConfirmResult::Confirmed);
    runToEnd();
    ASSERT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});
    const std::vector<Sent> expected = {
        {7998, "CONNECT"},
        {7998, "QUERY_SYSTEM_INFO"},
        {7998, "QUERY_SYSTEM_INFO"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=START"},
        {7999, "HG_HARDWARE_DIAG STEP=2 METHOD=STOP"},
    };
    EXPECT_EQ(received(), expected);
    EXPECT_TRUE(view.prompts().empty());
    EXPECT_TRUE(session->logRows(LogTab::Current).empty());
    auto logs = storedLogs();
    ASSERT_EQ(logs.size(), 1u);
    DiagRecord expectedRecord;
    expectedRecord.Operator = "tech01";
    expectedRecord.sn = "SN0001";
    expectedRecord.DeviceType = "ZERO";
    expectedRecord.Mac = logs[0].record.Mac; // whatever adapter this machine has
    EXPECT_EQ(logs[0].record, expectedRecord);
}

TEST_F(SessionFixture, TwoRunsInARowNumberTheLogTabs) {
    startSimulator("KT540G");
    session->setDeviceTemplate(only({13, 15, 16}));
    runToEnd();
    view.clear();
    runToEnd();
    ASSERT_EQ(view.outcomes(), std::vector<RunOutcome>{RunOutcome::Finished});

    // The current tab shows the second run only, from 1.
    auto current = session->logRows(LogTab::Current);
    ASSERT_EQ(current.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(current[i].number, i + 1);
    EXPECT_EQ(view.callsOf("clearLog").size(), 1u);

    // The all-logs tab: separator, heading, three checks, closing row; twice, numbered on.
    auto all = session->logRows(LogTab::All);
    ASSERT_EQ(all.size(), 12u);
    for (int run = 0; run < 2; ++run) {
        const auto* r = &all[static_cast<size_t>(run * 6)];
        EXPECT_EQ(r[0].item, "------------------------------------------------");
        EXPECT_EQ(r[0].result, r[0].item);
        EXPECT_EQ(r[1].item, "检测设备：KT540G");
        EXPECT_EQ(r[1].result.rfind("SN:SN0001,诊断时间：", 0), 0u) << r[1].result;
        EXPECT_EQ(r[2].item, CheckItemName(13));
        EXPECT_EQ(r[4].item, CheckItemName(16));
        EXPECT_EQ(r[5].item, " ");
        EXPECT_EQ(r[5].result, " ");
    }
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i].number, static_cast<int>(i) + 1);
    EXPECT_EQ(storedLogs().size(), 2u);
}

} // namespace
} // namespace orva::test
