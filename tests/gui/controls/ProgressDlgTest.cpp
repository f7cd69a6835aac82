#include "gui/controls/CProgressDlg.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>

using orva::CProgressDlg;

namespace {

TEST(ProgressDlgTest, ShowsTheDownloadTextModelessAndBusy) {
    CProgressDlg dlg;
    EXPECT_EQ(dlg.Text(), QStringLiteral("更新文件下载中..."));
    EXPECT_FALSE(dlg.isModal());
    EXPECT_TRUE(dlg.IsBusyIndicator());
    EXPECT_EQ(dlg.ProgressValue(), -1);
    dlg.show();
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();
}

struct ProgressCase {
    qint64 done, total;
    int value; // -1: busy
};

class ProgressValueTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressValueTest, ShowsThePercentage) {
    CProgressDlg dlg;
    dlg.SetProgress(GetParam().done, GetParam().total);
    EXPECT_EQ(dlg.ProgressValue(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, ProgressValueTest,
                         ::testing::Values(ProgressCase{0, 200, 0}, ProgressCase{50, 200, 25},
                                           ProgressCase{200, 200, 100}, ProgressCase{300, 200, 100},
                                           ProgressCase{-5, 200, 0}, ProgressCase{10, 0, -1},
                                           ProgressCase{5000000000LL, 10000000000LL, 50}));

TEST(ProgressDlgTest, ProgressFromAWorkerArrivesOnTheWindowsThread) {
    CProgressDlg dlg;
    std::thread([&dlg] { dlg.SetProgress(3, 4); }).join();
    EXPECT_TRUE(dlg.IsBusyIndicator()); // not touched from the worker
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.ProgressValue(), 75);
}

} // namespace
