// The restore page driven through its widgets: the restore of a segment of three gateways, the address
// field, the reply time-out a restore needs.
#include "MaintenancePageFixture.h"
#include "TestSubnets.h"
#include "controls/CPngButton.h"
#include "maintenance/AddressEdit.h"
#include "maintenance/CDlgReset.h"
#include "protocol/CommandChannel.h"

#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <regex>

namespace orva::test {
namespace {

constexpr int kRestoreSubnet = orva::test::subnets::gui_maintenance::kRestore;

class ResetPage : public MaintenancePageFixture {};

[[maybe_unused]] QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

#ifdef ORVA_GUI_MAINTENANCE_SIMULATOR

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
    EXPECT_TRUE(PromptTexts().empty());

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
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    EXPECT_TRUE(page.running());
    ASSERT_TRUE(WaitUntil([&] { return !page.running() && page.startButton()->isEnabled(); }));
    EXPECT_EQ(page.resultList()->count(), 0);
    EXPECT_TRUE(gateways.received("HG_REVOCERY_PRECONFIG"));
    EXPECT_TRUE(PromptTexts().empty());
}

#else

TEST_F(ResetPage, SimulatorCases) {
    GTEST_SKIP() << "the gateway simulator (orva_sim) is not linked into this suite";
}

#endif

TEST_F(ResetPage, ARestoreWithoutAReplyTimeoutGetsTheDefaultOne) {
    useSettings(kRestoreSubnet, {{"resetlistentime", "1"}});
    CommandChannel::Instance().SetReplyTimeout(-1);
    {
        CDlgReset page;
        page.onStart();
        EXPECT_TRUE(page.running());
        EXPECT_EQ(CommandChannel::Instance().ReplyTimeout(), CDlgReset::kDefaultReplyTimeout);
        // Leaving the page abandons the restore.
    }
    // Without a time-out the channel would have shown "未正确设置超时".
    EXPECT_TRUE(PromptTexts().empty());
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
