// The restore page driven through its widgets: the question before the broadcast, the restore of a
// segment of three gateways, the address field, the reply time-out a restore needs.
#include "MaintenancePageFixture.h"
#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/maintenance/AddressEdit.h"
#include "gui/maintenance/CDlgReset.h"
#include "core/protocol/CommandChannel.h"

#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <regex>

namespace orva::test {
namespace {

constexpr int kRestoreSubnet = orva::test::subnets::gui_maintenance::kRestore;

class ResetPage : public MaintenancePageFixture {};

// The question the page asks before a restore of the segment of subnet N, in Chinese.
std::string ChineseQuestion(int subnetN) {
    return subnet(subnetN) + "0/24 网段上的每一个网关都将恢复出厂设置，现有配置将全部丢失。是否继续？";
}

[[maybe_unused]] QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

TEST_F(ResetPage, ThreeGatewaysGiveThreeLinesInArrivalOrderWhileThePageRuns) {
    useSettings(kRestoreSubnet, {{"resetlistentime", "1"}});
    // Gateway 2 fails at once, gateway 3 fails later without saying who it is, gateway 1 restores last.
    Gateways gateways(kRestoreSubnet, {"--override", "HG_REVOCERY_PRECONFIG", "gateway=1", "delay=500", "--override",
                                       "HG_REVOCERY_PRECONFIG", "gateway=2", "status=HG_REVOCERY_PRECONFIG_FAIL",
                                       "--override", "HG_REVOCERY_PRECONFIG", "gateway=3", "delay=250",
                                       "status=HG_REVOCERY_PRECONFIG_FAIL", "drop=SN"});
    ASSERT_TRUE(gateways.started());
    CDlgReset page;
    page.show();
    EXPECT_EQ(page.addressEdit()->text().toStdString(), gatewayAddress(kRestoreSubnet));

    // Both restores are confirmed.
    UiPrompts::queueAnswer(true);
    UiPrompts::queueAnswer(true);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    EXPECT_TRUE(page.running());
    EXPECT_FALSE(page.startButton()->isEnabled());
    // A second press while the restore runs starts nothing.
    page.onStart();
    ASSERT_TRUE(WaitUntil([&] { return !page.running() && page.startButton()->isEnabled(); }));

    const std::string date = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";
    const std::string sn = Gateways::kSn;
    const std::vector<std::string> expected{"SN = " + sn + "-2，网关恢复出厂设置失败。日期：" + date,
                                            "网关恢复出厂设置失败。日期：" + date,
                                            "SN = " + sn + "，网关恢复出厂设置成功。日期：" + date};
    const QStringList lines = Lines(page.resultList());
    ASSERT_EQ(lines.size(), 3);
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_TRUE(std::regex_match(lines[k].toStdString(), std::regex(expected[k]))) << lines[k].toStdString();

    const auto journal = gateways.sim().journal();
    ASSERT_EQ(gateways.sim().commands(), std::vector<std::string>{"HG_REVOCERY_PRECONFIG"});
    EXPECT_EQ(journal.front().destination, subnet(kRestoreSubnet) + "255");
    EXPECT_EQ(journal.front().port, 7998);
    // The time-out the technician set stays.
    EXPECT_EQ(CommandChannel::Instance().ReplyTimeout(), 1);
    // Only the question; the press while the restore ran asked nothing.
    EXPECT_EQ(PromptTexts(), std::vector<std::string>{ChineseQuestion(kRestoreSubnet)});

    // The list keeps its lines; a second restore adds to them.
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !page.running() && page.startButton()->isEnabled(); }));
    EXPECT_EQ(page.resultList()->count(), 6);
}

TEST_F(ResetPage, NoGatewayAnsweringLeavesTheListEmptyAndThePageIdle) {
    useSettings(kRestoreSubnet, {{"resetlistentime", "1"}});
    Gateways gateways(kRestoreSubnet, {"--override", "HG_REVOCERY_PRECONFIG", "no-reply"});
    ASSERT_TRUE(gateways.started());
    CDlgReset page;
    UiPrompts::queueAnswer(true);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    EXPECT_TRUE(page.running());
    ASSERT_TRUE(WaitUntil([&] { return !page.running() && page.startButton()->isEnabled(); }));
    EXPECT_EQ(page.resultList()->count(), 0);
    EXPECT_TRUE(gateways.received("HG_REVOCERY_PRECONFIG"));
    EXPECT_EQ(PromptTexts(), std::vector<std::string>{ChineseQuestion(kRestoreSubnet)});
}

// The question names the segment of the address typed, not the one in the settings, in the language
// selected; No (also the answer Return gives) sends nothing and leaves the page as it was.
struct QuestionCase {
    const char* language;
    const char* typed; // on subnet kRestoreSubnet
    std::string question;
};

class RestoreQuestion : public MaintenancePageFixture, public ::testing::WithParamInterface<QuestionCase> {};

TEST_P(RestoreQuestion, NamesTheSegmentAndNoSendsNothing) {
    const QuestionCase& c = GetParam();
    useSettings(kRestoreSubnet, {{"resetlistentime", "1"}, {"Language", c.language}});
    Gateways gateways(kRestoreSubnet, {});
    ASSERT_TRUE(gateways.started());
    CDlgReset page;
    page.addressEdit()->clear();
    QTest::keyClicks(page.addressEdit(), QString::fromUtf8(c.typed));

    UiPrompts::queueAnswer(false);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, UiPrompts::Kind::YesNo);
    EXPECT_FALSE(shown[0].yesByDefault);
    EXPECT_EQ(shown[0].text.toStdString(), c.question);
    EXPECT_FALSE(page.running());
    EXPECT_TRUE(page.startButton()->isEnabled());
    // Long enough for a broadcast to have arrived.
    QTest::qWait(300);
    EXPECT_TRUE(gateways.sim().journal().empty());
    EXPECT_EQ(page.resultList()->count(), 0);

    // A Yes afterwards restores the segment named.
    UiPrompts::queueAnswer(true);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !page.running() && page.startButton()->isEnabled(); }));
    ASSERT_FALSE(gateways.sim().journal().empty());
    EXPECT_EQ(gateways.sim().journal().front().destination, subnet(kRestoreSubnet) + "255");
}

INSTANTIATE_TEST_SUITE_P(
    Languages, RestoreQuestion,
    ::testing::Values(QuestionCase{"Chinese", "127.0.175.9", ChineseQuestion(kRestoreSubnet)},
                      // A half-typed address names the segment it is read as.
                      QuestionCase{"Chinese", "127.0.175", ChineseQuestion(kRestoreSubnet)},
                      QuestionCase{"English", "127.0.175.200",
                                   "Every gateway on 127.0.175.0/24 will be restored to its factory defaults and "
                                   "lose its configuration. Continue?"}),
    [](const auto& info) { return std::string(info.param.language) + std::to_string(info.index); });

TEST_F(ResetPage, ARestoreWithoutAReplyTimeoutGetsTheDefaultOne) {
    useSettings(kRestoreSubnet, {{"resetlistentime", "1"}});
    CommandChannel::Instance().SetReplyTimeout(-1);
    {
        CDlgReset page;
        UiPrompts::queueAnswer(true);
        page.onStart();
        EXPECT_TRUE(page.running());
        EXPECT_EQ(CommandChannel::Instance().ReplyTimeout(), CDlgReset::kDefaultReplyTimeout);
        // Leaving the page abandons the restore.
    }
    // Without a time-out the channel would have shown "未正确设置超时"; only the question was asked.
    EXPECT_EQ(PromptTexts(), std::vector<std::string>{ChineseQuestion(kRestoreSubnet)});
}

struct AddressCase {
    const char* typed;
    const char* field; // what the field holds after typing
    const char* read;  // what a restore uses
};

class AddressField : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressField, HoldsOnlyAnAddressAndReadsAsFourParts) {
    const AddressCase& c = GetParam();
    AddressEdit edit;
    QTest::keyClicks(&edit, QString::fromUtf8(c.typed));
    EXPECT_EQ(edit.text().toStdString(), c.field);
    EXPECT_EQ(edit.address(), c.read);
}

INSTANTIATE_TEST_SUITE_P(Typing, AddressField,
                         ::testing::Values(AddressCase{"127.20.30.40", "127.20.30.40", "127.20.30.40"},
                                           AddressCase{"127.0.5", "127.0.5", "127.0.5.0"},
                                           AddressCase{"127..3.", "127..3.", "127.0.3.0"},
                                           // Letters, a part over 255 and a fifth part are refused.
                                           AddressCase{"127x.0.3", "127.0.3", "127.0.3.0"},
                                           AddressCase{"1272.0.1", "127.0.1", "127.0.1.0"},
                                           AddressCase{"127.0.0.1.5", "127.0.0.15", "127.0.0.15"}));

} // namespace
} // namespace orva::test
