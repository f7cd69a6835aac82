// The check table the run walks: each row consistent with what the technician does for it, the reply
// rules, and the questions it asks.
#include "core/app/TextTable.h"
#include "core/diagnosis/CheckItems.h"
#include "core/diagnosis/CheckRules.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/protocol/DeviceReply.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace orva {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

void Fill(DeviceReply& reply, const Fields& fields) {
    for (const auto& [name, value] : fields)
        reply.Put(name, value);
}

// What each role asks of the technician is what the row's steps ask.
TEST(CheckTable, RowsAskWhatTheirRoleSays) {
    for (const CheckItem& item : CheckItems()) {
        const CheckSteps& s = item.steps;
        SCOPED_TRACE(item.number);
        EXPECT_NE(s.command.op, CheckCommand::None);
        EXPECT_EQ(s.rule == ReplyRule::OperatorJudges, s.judge != 0);
        EXPECT_EQ(s.fill != FillWhen::Never, s.set != nullptr);
        EXPECT_EQ(s.fill == FillWhen::Never, std::string(item.recordField).empty());
        if (s.closeOnStop)
            EXPECT_NE(s.close.op, CheckCommand::None);
        EXPECT_EQ(item.telephone, item.number >= 5 && item.number <= 11);
        switch (item.role) {
        case OperatorRole::None:
            EXPECT_EQ(s.prompt, 0);
            EXPECT_EQ(s.judge, 0);
            break;
        case OperatorRole::ConnectsCable:
            EXPECT_NE(s.prompt, 0);
            EXPECT_EQ(s.judge, 0);
            break;
        case OperatorRole::PreparesThenJudges:
            EXPECT_NE(s.prompt, 0);
            EXPECT_NE(s.judge, 0);
            break;
        case OperatorRole::PreparesUplink:
            EXPECT_NE(s.judge, 0);
            ASSERT_NE(item.dslSteps, nullptr);
            EXPECT_NE(item.dslSteps->prompt, 0);
            EXPECT_EQ(item.dslSteps->judge, 0);
            break;
        }
        EXPECT_EQ(item.dslSteps != nullptr, item.role == OperatorRole::PreparesUplink);
    }
}

TEST(CheckTable, QuestionsAreTheTablesPromptsAndJudgements) {
    std::set<int> prompts, judges;
    for (const CheckItem& item : CheckItems())
        for (const CheckSteps* s : {&item.steps, item.dslSteps})
            if (s) {
                if (s->prompt)
                    prompts.insert(s->prompt);
                if (s->judge)
                    judges.insert(s->judge);
            }
    EXPECT_EQ(prompts.size(), 10u);
    EXPECT_EQ(judges.size(), 6u);
    for (int id : prompts) {
        EXPECT_TRUE(IsAcknowledgePrompt(id)) << id;
        EXPECT_FALSE(IsJudgeQuestion(id)) << id;
    }
    for (int id : judges) {
        EXPECT_TRUE(IsJudgeQuestion(id)) << id;
        EXPECT_FALSE(IsAcknowledgePrompt(id)) << id;
    }
    EXPECT_FALSE(IsAcknowledgePrompt(0));
    EXPECT_FALSE(IsJudgeQuestion(WM_DIAG_FLASH_RESULT));
}

TEST(CheckTable, AnAnswerNamesItsItemByQuestionAndPort) {
    const std::vector<std::tuple<int, int, int>> cases = {
        {WM_DIAG_RING_JUDGE, 1, 5}, {WM_DIAG_RING_JUDGE, 2, 8},  {WM_DIAG_DTMF_JUDGE, 0, 6},
        {WM_DIAG_CNG_JUDGE, 2, 10}, {WM_DIAG_LOOP_JUDGE, 0, 11}, {WM_DIAG_UPLINK_RESULT, 0, 12},
        {WM_DIAG_LED_JUDGE, 2, 14},
    };
    for (const auto& [id, value, item] : cases) {
        const CheckItem* found = ItemJudgedBy(id, value);
        ASSERT_NE(found, nullptr) << id;
        EXPECT_EQ(found->number, item) << id << " " << value;
    }
    EXPECT_EQ(ItemJudgedBy(WM_DIAG_LAN1_PROMPT, 0), nullptr);
}

TEST(CheckRules, EachRuleJudgesItsReply) {
    SelectLanguage("Chinese");
    constexpr const char* kSucc = "HG_HARDWARE_DIAG_SUCC";
    struct Case {
        int item;
        Fields reply;
        std::string mark;
        std::string result;
        bool fault;
    };
    const std::vector<Case> cases = {
        {1, {{"STATUS", kSucc}, {"FESTATUS", "OK"}}, "√", "成功", false},
        {1, {{"STATUS", kSucc}, {"FESTATUS", "DOWN"}}, "X", "失败", true},
        {2, {{"STATUS", "HG_HARDWARE_DIAG_FAIL"}, {"FESTATUS", "OK"}}, "X", "失败", true},
        {13, {{"STATUS", kSucc}, {"FLASHUSEAGE", "35"}}, "√", "成功 35%", false},
        {13, {{"STATUS", "HG_HARDWARE_DIAG_FAIL"}, {"FLASHUSEAGE", "35"}}, "X", "成功 35%", true},
        {13, {{"RET", "ERROR"}, {"FLASHUSEAGE", "35"}}, "X", "失败", true},
        {15, {{"STATUS", kSucc}}, "√", "成功", false},
        {16, {}, "X", "失败", true},
        {17, {{"STATUS", kSucc}, {"SOFTWAREVERSION", "V1"}}, "√", "成功 V1", false},
        {17, {{"STATUS", "HG_SOFTWARE_DIAG_FAIL"}}, "X", "成功 ", true},
        {18, {{"KEYPROCESSCHECK", "OK"}}, "√", "成功", false},
        {19, {{"CPULOAD", "12"}, {"MEMLOAD", "40"}}, "√", "成功 CPU:12% Memory:40%", true},
        {19, {{"MEMLOAD", "40"}}, "X", "成功 CPU:% Memory:40%", true},
        {21, {{"INTEGRITYCHECK", "BAD"}}, "X", "失败", true},
        {22, {{"STATUS", "UNRECOGNIZE_REQUEST"}, {"DISKCHECK", "OK"}}, "X", "失败", true},
        {22, {{"STATUS", "X"}, {"DISKCHECK", "GOOD"}}, "GOOD", "成功", false},
    };
    for (const auto& c : cases) {
        DeviceReply reply;
        Fill(reply, c.reply);
        const ItemResult r = JudgeReply(CheckItemAt(c.item).steps, reply, kSucc);
        EXPECT_EQ(r.mark, c.mark) << c.item;
        EXPECT_EQ(r.result, c.result) << c.item;
        EXPECT_EQ(r.fault, c.fault) << c.item;
    }
    EXPECT_EQ(JudgeAnswer(true).mark, "√");
    EXPECT_EQ(JudgeAnswer(false).result, "失败");
    EXPECT_TRUE(JudgeAnswer(false).fault);
}

TEST(CheckRules, DetailTextsTakeReplyFieldsAndRegions) {
    DeviceReply reply;
    Fill(reply, {{"A", "1"}, {"B", "two"}});
    EXPECT_EQ(ExpandDetail("", reply), "");
    EXPECT_EQ(ExpandDetail(" {A}% {B}", reply), " 1% two");
    EXPECT_EQ(ExpandDetail(" {MISSING}|", reply), " |");
    EXPECT_EQ(ExpandDetail(" {A", reply), " {A");
    EXPECT_EQ(ExpandDetail(" {NONE|region}", reply), " ");
}

} // namespace
} // namespace orva
