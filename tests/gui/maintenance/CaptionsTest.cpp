// What the two maintenance pages show when they open, in Chinese and in English.
#include "MaintenancePageFixture.h"
#include "TestSubnets.h"
#include "gui/controls/CPngButton.h"
#include "gui/maintenance/AddressEdit.h"
#include "gui/maintenance/CDlgImgUpdate.h"
#include "gui/maintenance/CDlgReset.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include <gtest/gtest.h>

namespace orva::test {
namespace {

constexpr int kCaptionSubnet = orva::test::subnets::gui_maintenance::kCaptions;

struct CaptionCase {
    const char* language;
    // Restore page
    const char* deviceInfo;
    const char* address;
    const char* operation;
    const char* resetTitle;
    // Upgrade page
    const char* chooseImage;
    const char* afterTransfer;
    const char* note1Start; // the notes are long: their beginning
    const char* note2Start;
    const char* upgradeTitle;
};

void PrintTo(const CaptionCase& c, std::ostream* os) {
    *os << c.language;
}

class PageCaptions : public MaintenancePageFixture, public ::testing::WithParamInterface<CaptionCase> {};

QString U(const char* s) {
    return QString::fromUtf8(s);
}

TEST_P(PageCaptions, ResetPageOpensWithItsCaptionsAndTheMaintenanceAddress) {
    const CaptionCase& c = GetParam();
    useSettings(kCaptionSubnet, {{"Language", c.language}});
    CDlgReset page;
    EXPECT_EQ(page.deviceInfoGroup()->title(), U(c.deviceInfo));
    EXPECT_EQ(page.addressCaption()->text(), U(c.address));
    EXPECT_EQ(page.operationGroup()->title(), U(c.operation));
    EXPECT_EQ(page.windowTitle(), U(c.resetTitle));
    EXPECT_EQ(page.addressEdit()->address(), gatewayAddress(kCaptionSubnet));
    EXPECT_TRUE(page.startButton()->HasImage());
    EXPECT_TRUE(page.startButton()->isEnabled());
    EXPECT_EQ(page.resultList()->count(), 0);
    EXPECT_FALSE(page.running());
    EXPECT_EQ(page.designSize(), QSize(862, 574));
    // The caption ends before the field begins, however long it is.
    EXPECT_LE(page.addressCaption()->geometry().right(), page.addressEdit()->geometry().left());
}

TEST_P(PageCaptions, UpgradePageOpensIdleWithItsCaptions) {
    const CaptionCase& c = GetParam();
    useSettings(kCaptionSubnet, {{"Language", c.language}});
    CDlgImgUpdate page;
    page.show();
    EXPECT_EQ(page.chooseImageCaption()->text(), U(c.chooseImage));
    EXPECT_EQ(page.resultCaption()->text(), U("升级结果："));
    EXPECT_EQ(page.afterTransferCaption()->text(), U(c.afterTransfer));
    EXPECT_TRUE(page.transferNote1()->text().startsWith(U(c.note1Start)));
    EXPECT_TRUE(page.transferNote2()->text().startsWith(U(c.note2Start)));
    EXPECT_EQ(page.windowTitle(), U(c.upgradeTitle));
    // The notes and the status label stay hidden until there is something to say.
    EXPECT_FALSE(page.afterTransferCaption()->isVisible());
    EXPECT_FALSE(page.transferNote1()->isVisible());
    EXPECT_FALSE(page.transferNote2()->isVisible());
    EXPECT_FALSE(page.statusLabel()->isVisible());
    EXPECT_EQ(page.progressBar()->minimum(), 0);
    EXPECT_EQ(page.progressBar()->maximum(), 100);
    EXPECT_EQ(page.progressBar()->value(), 0);
    EXPECT_EQ(page.pathEdit()->text(), QString());
    for (CPngButton* b : {page.browseButton(), page.transferButton(), page.cancelButton()})
        EXPECT_TRUE(b->HasImage());
    EXPECT_FALSE(page.running());
    EXPECT_EQ(page.designSize(), QSize(748, 595));
    EXPECT_LE(page.chooseImageCaption()->geometry().right(), page.pathEdit()->geometry().left());
}

INSTANTIATE_TEST_SUITE_P(
    Languages, PageCaptions,
    ::testing::Values(CaptionCase{"Chinese", "设置维护信息", "维护地址：", "操作", "", "选择镜像：", "镜像传输完成后：",
                                  "1）若设备语音1灯被点亮", "2）若设备语音1灯没被点亮", ""},
                      CaptionCase{"English", "Device Info", "Maintenance IP adress:", "Operation",
                                  "Restore to Factory Defaults", "Choose Image", "After Image Transported：",
                                  "engilsh-1）", "engilsh-2）", "Image Upgrade"}),
    [](const auto& info) { return std::string(info.param.language); });

} // namespace
} // namespace orva::test
