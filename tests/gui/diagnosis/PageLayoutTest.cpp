// Where the diagnosis page puts its controls: the log tabs inside the log area however wide the main
// window makes the page, and captions that fit their place in either language.
#include "DiagnosisPageFixture.h"

#include "TestSubnets.h"
#include "gui/controls/CLabelEx.h"

#include <QFontMetrics>
#include <QFrame>

namespace orva::test {
namespace {

struct LayoutCase {
    std::string language;
    int extraWidth; // beyond the width the page was laid out for, as the main window may give it
};

class PageLayoutTest : public DiagnosisPageFixture, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(PageLayoutTest, ControlsStayInsideTheirPlaces) {
    const LayoutCase& c = GetParam();
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageC, c.language);
    makePage();
    const QSize design = page->designSize();
    page->resize(design.width() + c.extraWidth, design.height());
    QTest::qWait(10);

    const QFrame* logFrame = page->findChild<QFrame*>(QStringLiteral("logFrame"));
    ASSERT_NE(logFrame, nullptr);
    // The tabs' rectangle: 20 in from the left, from 420 to 600 down, 25 in from the laid-out right edge.
    const QRect expected(QPoint(20, 420), QPoint(design.width() - 25 - 1, 600 - 1));
    for (const QWidget* tab :
         {static_cast<QWidget*>(page->currentLogTab()), static_cast<QWidget*>(page->allLogsTab())}) {
        EXPECT_EQ(tab->geometry(), expected) << tab->objectName().toStdString();
        EXPECT_TRUE(logFrame->geometry().contains(tab->geometry())) << tab->objectName().toStdString();
    }

    const CLabelEx* caption = page->findChild<CLabelEx*>(QStringLiteral("addressCaption"));
    ASSERT_NE(caption, nullptr);
    const int textWidth = QFontMetrics(caption->font()).horizontalAdvance(caption->text());
    EXPECT_LE(textWidth + 4, caption->width()) << caption->text().toStdString();
    EXPECT_FALSE(caption->geometry().intersects(page->confirmButton()->geometry()));
    EXPECT_FALSE(caption->geometry().intersects(page->addressEdit()->geometry()));
    EXPECT_GE(page->addressEdit()->width(),
              QFontMetrics(page->addressEdit()->font()).horizontalAdvance(QStringLiteral("255.255.255.255")));
    EXPECT_LT(page->addressEdit()->geometry().right(), page->startButton()->geometry().left());
}

INSTANTIATE_TEST_SUITE_P(Cases, PageLayoutTest,
                         ::testing::Values(LayoutCase{"Chinese", 0}, LayoutCase{"Chinese", 120},
                                           LayoutCase{"English", 0}, LayoutCase{"English", 120}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             return info.param.language + "_" + std::to_string(info.param.extraWidth);
                         });

TEST_F(DiagnosisPageFixture, LogCellsShowTheirWholeTextOnHovering) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageC);
    makePage();
    const std::string heading = "SN:SN0170,诊断时间：2026-12-10 06:00:00";
    page->allLogsTab()->appendResultRow("检测设备：KT540G", heading);
    const DiagLogList* list = page->allLogsTab()->list();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 0)->toolTip(), QStringLiteral("1"));
    EXPECT_EQ(list->item(0, 1)->toolTip(), QStringLiteral("检测设备：KT540G"));
    EXPECT_EQ(list->item(0, 2)->toolTip(), Q(heading));
}

} // namespace
} // namespace orva::test
