// The upgrade page's "重新查询" button after a transfer with a roll-call: it asks the gateways for
// their state again and sends no image, and the roll-call's lines stand in the result list.
#include "MaintenancePageFixture.h"
#include "TestSubnets.h"
#include "core/app/AppSettings.h"
#include "gui/controls/CPngButton.h"
#include "gui/maintenance/CDlgImgUpdate.h"
#include "sim/Journal.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace orva::test {
namespace query_again {

constexpr int kQueryAgainSubnet = orva::test::subnets::gui_maintenance::kQueryAgain;

class QueryAgainPage : public MaintenancePageFixture {};

std::vector<std::string> Lines(const CDlgImgUpdate& page) {
    std::vector<std::string> lines;
    for (int i = 0; i < page.resultList()->count(); ++i)
        lines.push_back(page.resultList()->item(i)->text().toStdString());
    return lines;
}

size_t Containing(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

TEST_F(QueryAgainPage, ReRunsOnlyTheStatusQuery) {
    useSettings(kQueryAgainSubnet,
                {{"updatelistentime", "20"}, {"waittime", "0"}, {"upgradeinterval", "0.0005"}, {"rollcalltime", "1"}});
    Gateways gateways(kQueryAgainSubnet, {});
    ASSERT_TRUE(gateways.started());
    std::string image(4000, '\x33');
    writeFile(dir().file("image.bin"), image);

    CDlgImgUpdate page;
    page.show();
    EXPECT_EQ(page.queryAgainButton()->text().toStdString(), "重新查询");
    int done = 0;
    QObject::connect(&page, &CDlgImgUpdate::upgradeDone, [&] { ++done; });

    UiPrompts::queueFileName(QString::fromStdString(dir().file("image.bin")));
    QTest::mouseClick(page.browseButton(), Qt::LeftButton);
    QTest::mouseClick(page.transferButton(), Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return !page.queryAgainButton()->isEnabled(); })) << "disabled while the session runs";
    // Every gateway of the roll-call answers, so the check ends long before its 20 s.
    ASSERT_TRUE(WaitUntil([&] { return done == 1 && !page.running(); }, 15000));
    EXPECT_EQ(gateways.sim().upgradeImage(), image);
    std::vector<std::string> lines = Lines(page);
    EXPECT_EQ(Containing(lines, "点名：SN = "), 3u);
    EXPECT_EQ(Containing(lines, "点名：3个网关在线。"), 1u);
    EXPECT_EQ(Containing(lines, "升级成功"), 3u);
    EXPECT_EQ(Containing(lines, "未应答"), 0u);
    EXPECT_TRUE(page.queryAgainButton()->isEnabled());

    // Query again: one gateway is silent this time.
    gateways.sim().clearJournal();
    sim::Override silent;
    silent.prefix = "QUERY_UPGRADE_MSG";
    silent.gateway = 3;
    silent.noReply = true;
    gateways.sim().addOverride(silent);
    // A short listen for this query: the silent gateway keeps it to its end.
    AppSettings settings = Settings();
    settings.updatelistentime = 1;
    SetSettings(settings);
    QTest::mouseClick(page.queryAgainButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return done == 2 && !page.running(); }, 15000));

    for (const auto& e : gateways.sim().journal()) {
        EXPECT_NE(e.kind, sim::JournalEntry::Kind::Image) << "no image datagram the second time";
        EXPECT_EQ(e.command, "QUERY_UPGRADE_MSG") << "only the status query, the roll-call is kept";
    }
    EXPECT_TRUE(gateways.received("QUERY_UPGRADE_MSG"));
    lines = Lines(page);
    EXPECT_EQ(Containing(lines, "升级成功"), 3u + 2u);
    ASSERT_EQ(Containing(lines, "未应答升级状态查询"), 1u);
    EXPECT_EQ(lines.back(), std::string("SN = ") + Gateways::kSn + "-3（" + gatewayAddress(kQueryAgainSubnet) +
                                "）在点名中在线，但未应答升级状态查询。");
}

} // namespace query_again
} // namespace orva::test
