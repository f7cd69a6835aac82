// The image upgrade page driven through its widgets: browse, transfer and the status check against
// three simulated gateways, a cancel in the middle of a transfer, a missing image and files that are
// no image, the presses that only answer with a message.
#include "MaintenancePageFixture.h"
#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/maintenance/CDlgImgUpdate.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

namespace orva::test {
namespace {

constexpr int kUpgradeSubnet = orva::test::subnets::gui_maintenance::kUpgrade;
constexpr int kCancelSubnet = orva::test::subnets::gui_maintenance::kCancel;
constexpr int kIdleSubnet = orva::test::subnets::gui_maintenance::kIdle;
constexpr int kNotAnImageSubnet = orva::test::subnets::gui_maintenance::kNotAnImage;

const std::map<std::string, std::string> kFastUpgrade = {
    {"updatelistentime", "1"}, {"waittime", "0"}, {"upgradeinterval", "0.0005"}};

[[maybe_unused]] std::string Image(size_t size) {
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 131 + 17) & 0xFF);
    return image;
}

class ImgUpdatePage : public MaintenancePageFixture {
protected:
    // Chooses `path` with the browse button.
    static void browse(CDlgImgUpdate& page, const std::string& path) {
        UiPrompts::queueFileName(QString::fromStdString(path));
        QTest::mouseClick(page.browseButton(), Qt::LeftButton);
    }
    static bool idle(const CDlgImgUpdate& page) {
        return !page.running() && page.transferButton()->isEnabled() && page.statusLabel()->isHidden();
    }
};

TEST_F(ImgUpdatePage, BrowseAndTransferReportEveryGatewayOnceTheImageIsIn) {
    useSettings(kUpgradeSubnet, kFastUpgrade);
    Gateways gateways(kUpgradeSubnet, {});
    ASSERT_TRUE(gateways.started());
    // 5,500 bytes: six data datagrams, the last of 500 bytes.
    const std::string image = Image(5'500);
    writeFile(dir().file("image.bin"), image);

    CDlgImgUpdate page;
    page.show();
    std::vector<int> progress;
    QObject::connect(page.progressBar(), &QProgressBar::valueChanged, [&](int v) { progress.push_back(v); });

    browse(page, dir().file("image.bin"));
    ASSERT_EQ(UiPrompts::shown().size(), 1u);
    EXPECT_EQ(UiPrompts::shown()[0].kind, UiPrompts::Kind::OpenFile);
    EXPECT_EQ(UiPrompts::shown()[0].filter, QStringLiteral("所有文件(*.*)"));
    EXPECT_EQ(page.pathEdit()->text().toStdString(), dir().file("image.bin"));
    EXPECT_EQ(page.imagePath(), dir().file("image.bin"));

    gateways.endLastStatusWait();
    QTest::mouseClick(page.transferButton(), Qt::LeftButton);
    EXPECT_TRUE(page.running());
    ASSERT_TRUE(WaitUntil([&] { return page.statusLabel()->isVisible(); }));

    // While the gateways are asked, Cancel has no transfer to stop.
    ASSERT_TRUE(WaitUntil([&] { return gateways.received("QUERY_UPGRADE_MSG"); }));
    EXPECT_FALSE(page.transferButton()->isEnabled());
    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(PromptTexts().back(), "当前未有传输");
    EXPECT_TRUE(page.running());

    ASSERT_TRUE(WaitUntil([&] { return idle(page); }));
    EXPECT_EQ(gateways.sim().upgradeVerdict().status, "UPGRADE_SUCCESS") << gateways.sim().upgradeVerdict().reason;
    EXPECT_EQ(gateways.sim().upgradeImage(), image);
    // The share already sent before each datagram, all of it once the last is out, then back to 0.
    EXPECT_EQ(progress, (std::vector<int>{18, 36, 54, 72, 90, 100, 0}));
    EXPECT_EQ(page.progressBar()->value(), 0);

    const std::string sn = Gateways::kSn;
    const std::string tail = std::string("，升级成功. 软件编译日期：") + Gateways::kBuildDate +
                             R"(.软件升级日期：\d{4}-\d{2}-\d{2},\d{2}:\d{2}:\d{2}\.)";
    std::vector<std::string> lines;
    for (int i = 0; i < page.resultList()->count(); ++i)
        lines.push_back(page.resultList()->item(i)->text().toStdString());
    ASSERT_EQ(lines.size(), 3u);
    // One line per gateway, in whichever order they answered.
    for (const std::string& serial : {sn, sn + "-2", sn + "-3"}) {
        const std::regex line("SN = " + serial + tail);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return std::regex_match(l, line); }),
                  1)
            << serial;
    }
    // The browse dialog (no caption of its own) and the cancel's answer; the transfer itself asks nothing.
    EXPECT_EQ(PromptTexts(), (std::vector<std::string>{"", "当前未有传输"}));
}

TEST_F(ImgUpdatePage, CancelStopsTheTransferAndTellsTheGateways) {
    useSettings(kCancelSubnet, {{"updatelistentime", "1"}, {"waittime", "0"}, {"upgradeinterval", "0.002"}});
    Gateways gateways(kCancelSubnet, {});
    ASSERT_TRUE(gateways.started());
    // 1,000 data datagrams, two seconds at least: long enough to cancel in the middle.
    writeFile(dir().file("big.bin"), Image(1'000'000));

    CDlgImgUpdate page;
    browse(page, dir().file("big.bin"));
    QTest::mouseClick(page.transferButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return page.progressBar()->value() >= 5; }));
    ASSERT_TRUE(page.running());
    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);

    EXPECT_FALSE(page.running());
    ASSERT_TRUE(WaitUntil([&] { return idle(page); }));
    EXPECT_EQ(page.progressBar()->value(), 0);
    EXPECT_EQ(PromptTexts().back(), "已经终止传输");
    ASSERT_TRUE(WaitUntil([&] { return gateways.received("HG_UPGRADE_CANCEL"); }));
    EXPECT_EQ(gateways.sim().upgradeVerdict().reason, "transfer cancelled");
    EXPECT_FALSE(gateways.received("QUERY_UPGRADE_MSG"));
    EXPECT_EQ(page.resultList()->count(), 0);

    // Nothing runs any more; the image stays chosen for another transfer.
    QTest::mouseClick(page.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(PromptTexts().back(), "当前未有传输");
    EXPECT_EQ(page.imagePath(), dir().file("big.bin"));
}

TEST_F(ImgUpdatePage, WhatIsNoImageFileIsRefusedWithAMessageAndNothingIsSent) {
    useSettings(kNotAnImageSubnet, kFastUpgrade);
    Gateways gateways(kNotAnImageSubnet, {});
    ASSERT_TRUE(gateways.started());
    const std::string fifo = dir().file("image.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeFile(dir().file("empty.bin"), "");
    const std::string folder = dir().file("images");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    // Sparse: 5 GiB long, no room taken.
    const std::string huge = dir().file("huge.bin");
    writeFile(huge, "");
    ASSERT_EQ(::truncate(huge.c_str(), 5LL << 30), 0);
    // A link to itself: there is a name, but nothing can be opened through it.
    const std::string loop = dir().file("loop.bin");
    ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
    const auto is = [](const std::string& path, const std::string& what) { return "Batch upgrade: " + path + " " + what; };
    const std::pair<std::string, std::string> cases[] = {
        {fifo, is(fifo, "is a FIFO (named pipe), not an image file!")},
        {"/dev/zero", is("/dev/zero", "is a character device, not an image file!")},
        {dir().file("empty.bin"), is(dir().file("empty.bin"), "is empty (0 bytes), not an image file!")},
        {folder, is(folder, "is a directory, not an image file!")},
        {huge, is(huge, "is larger than 4294967295 bytes, too large for one image!")},
        {loop, "Batch upgrade: open " + loop + " file failed! (Too many levels of symbolic links)"},
    };
    CDlgImgUpdate page;
    page.show();
    std::vector<int> progress;
    QObject::connect(page.progressBar(), &QProgressBar::valueChanged, [&](int v) { progress.push_back(v); });
    for (const auto& [path, line] : cases) {
        SCOPED_TRACE(path);
        const size_t before = UiPrompts::shown().size();
        browse(page, path);
        QTest::mouseClick(page.transferButton(), Qt::LeftButton);
        // The browse dialog and the message box; then the page is idle again.
        const bool ended = WaitUntil([&] { return idle(page) && UiPrompts::shown().size() == before + 2; }, 10000);
        if (!ended) {
            // A worker stuck opening the FIFO would keep the page from closing: give it a writer.
            const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        ASSERT_TRUE(ended);
        // One box with the reason, none after it, and the bar never moved.
        QTest::qWait(100);
        ASSERT_EQ(UiPrompts::shown().size(), before + 2);
        EXPECT_EQ(UiPrompts::shown().back().kind, UiPrompts::Kind::Information);
        EXPECT_EQ(PromptTexts().back(), line);
        EXPECT_TRUE(progress.empty());
        EXPECT_EQ(page.progressBar()->value(), 0);
        EXPECT_TRUE(page.statusLabel()->isHidden());
        EXPECT_EQ(page.resultList()->count(), 0);
    }
    EXPECT_TRUE(gateways.sim().images().empty());
    EXPECT_FALSE(gateways.received("QUERY_UPGRADE_MSG"));
}

TEST_F(ImgUpdatePage, AMissingImageIsReportedAndThePageReturnsToIdle) {
    useSettings(kIdleSubnet, kFastUpgrade);
    CDlgImgUpdate page;
    const std::string missing = dir().file("no-such-image.bin");
    browse(page, missing);
    QTest::mouseClick(page.transferButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return idle(page) && UiPrompts::shown().size() == 2; }));
    EXPECT_EQ(PromptTexts().back(), "Batch upgrade: No " + missing + " file found!");
    EXPECT_EQ(page.progressBar()->value(), 0);
    EXPECT_EQ(page.resultList()->count(), 0);
    // The page takes the next press as before.
    QTest::mouseClick(page.transferButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return idle(page) && UiPrompts::shown().size() == 3; }));
}

// Presses that find nothing to do: each answers with its message and leaves the page idle.
struct IdlePressCase {
    const char* name;
    std::function<void(CDlgImgUpdate&)> press;
    std::vector<std::string> prompts; // the texts shown, a file dialog's being its caption (empty)
};

void PrintTo(const IdlePressCase& c, std::ostream* os) {
    *os << c.name;
}

class IdlePress : public MaintenancePageFixture, public ::testing::WithParamInterface<IdlePressCase> {};

TEST_P(IdlePress, AnswersAndChangesNothing) {
    const IdlePressCase& c = GetParam();
    useSettings(kIdleSubnet, kFastUpgrade);
    CDlgImgUpdate page;
    page.show();
    c.press(page);
    EXPECT_EQ(PromptTexts(), c.prompts);
    EXPECT_FALSE(page.running());
    EXPECT_TRUE(page.transferButton()->isEnabled());
    EXPECT_TRUE(page.statusLabel()->isHidden());
    EXPECT_EQ(page.imagePath(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Presses, IdlePress,
    ::testing::Values(IdlePressCase{"transferWithoutImage",
                                    [](CDlgImgUpdate& p) { QTest::mouseClick(p.transferButton(), Qt::LeftButton); },
                                    {"请选择镜像"}},
                      // Return presses the default button.
                      IdlePressCase{"returnWithoutImage",
                                    [](CDlgImgUpdate& p) { QTest::keyClick(&p, Qt::Key_Return); },
                                    {"请选择镜像"}},
                      IdlePressCase{"cancelWithoutTransfer",
                                    [](CDlgImgUpdate& p) { QTest::mouseClick(p.cancelButton(), Qt::LeftButton); },
                                    {"当前未有传输"}},
                      // A browse dialog closed without a file keeps the path as it was.
                      IdlePressCase{"browseCancelled",
                                    [](CDlgImgUpdate& p) { QTest::mouseClick(p.browseButton(), Qt::LeftButton); },
                                    {""}},
                      // Text typed into the path field is not an image choice.
                      IdlePressCase{"typedPathIsNotChosen",
                                    [](CDlgImgUpdate& p) {
                                        QTest::keyClicks(p.pathEdit(), QStringLiteral("/tmp/typed.bin"));
                                        QTest::mouseClick(p.transferButton(), Qt::LeftButton);
                                    },
                                    {"请选择镜像"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva::test
