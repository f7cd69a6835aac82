#include "gui/common/UiPrompts.h"
#include "gui/common/GuiNotifier.h"

#include "TestSupport.h"
#include "core/app/LogFile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace orva;
using Kind = UiPrompts::Kind;

namespace {

class UiPromptsTest : public ::testing::Test {
protected:
    UiPromptsTestScope scope;
};

TEST_F(UiPromptsTest, QuestionsTakeTheQueuedAnswersThenNo) {
    UiPrompts::queueAnswer(true);
    UiPrompts::queueAnswer(false);
    UiPrompts::queueAnswer(true);
    EXPECT_TRUE(UiPrompts::askYesNo(nullptr, QStringLiteral("确定退出吗?"), QStringLiteral("退出")));
    EXPECT_FALSE(UiPrompts::askOkCancel(nullptr, QStringLiteral("下载新版本?")));
    UiPrompts::information(nullptr, QStringLiteral("检测进行中，不能切换。"));
    EXPECT_TRUE(UiPrompts::askOkCancel(nullptr, QStringLiteral("重试?")));
    EXPECT_FALSE(UiPrompts::askYesNo(nullptr, QStringLiteral("nothing queued")));
    EXPECT_EQ(UiPrompts::pendingAnswers(), 0);

    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 5u);
    const struct {
        Kind kind;
        const char* text;
        const char* caption;
        bool accepted;
    } expected[] = {
        {Kind::YesNo, "确定退出吗?", "退出", true},
        {Kind::OkCancel, "下载新版本?", "Velmar终端诊断工具", false},
        {Kind::Information, "检测进行中，不能切换。", "Velmar终端诊断工具", true},
        {Kind::OkCancel, "重试?", "Velmar终端诊断工具", true},
        {Kind::YesNo, "nothing queued", "Velmar终端诊断工具", false},
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].kind, expected[i].kind) << i;
        EXPECT_EQ(shown[i].text, QString::fromUtf8(expected[i].text)) << i;
        EXPECT_EQ(shown[i].caption, QString::fromUtf8(expected[i].caption)) << i;
        EXPECT_EQ(shown[i].accepted, expected[i].accepted) << i;
    }
    UiPrompts::clearShown();
    EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
}

// The real box: Return presses its default button, Yes unless the caller asked for No. The test
// record says which default a question had.
TEST(UiPromptsRealBox, ReturnAnswersWithTheDefaultButton) {
    for (const bool yesByDefault : {true, false}) {
        SCOPED_TRACE(yesByDefault);
        QString defaultText;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
            EXPECT_EQ(box->defaultButton(), box->button(yesByDefault ? QMessageBox::Yes : QMessageBox::No));
            QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(UiPrompts::askYesNo(nullptr, QStringLiteral("restore?"), {}, yesByDefault), yesByDefault);
        EXPECT_FALSE(defaultText.isEmpty());
    }
    UiPromptsTestScope scope;
    UiPrompts::askYesNo(nullptr, QStringLiteral("restore?"), {}, false);
    UiPrompts::askYesNo(nullptr, QStringLiteral("quit?"));
    ASSERT_EQ(UiPrompts::shown().size(), 2u);
    EXPECT_FALSE(UiPrompts::shown()[0].yesByDefault);
    EXPECT_TRUE(UiPrompts::shown()[1].yesByDefault);
}

TEST_F(UiPromptsTest, FileDialogsTakeTheQueuedNamesAnEmptyOneCancels) {
    UiPrompts::queueFileName(QStringLiteral("/tmp/x/setup.exe"));
    UiPrompts::queueFileName(QString());
    UiPrompts::FileDialogOptions save;
    save.defaultFileName = QStringLiteral("setup.exe");
    save.defaultSuffix = QStringLiteral("exe");
    save.filter = UiPrompts::filterFromClassic(QStringLiteral("(*.exe)|*.exe|All files (*.*)|*.*||"));
    EXPECT_EQ(UiPrompts::getSaveFileName(nullptr, save), QStringLiteral("/tmp/x/setup.exe"));
    EXPECT_EQ(UiPrompts::getOpenFileName(nullptr, {}), QString());
    EXPECT_EQ(UiPrompts::getOpenFileName(nullptr, {}), QString()); // nothing queued: cancelled

    const auto shown = UiPrompts::shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, Kind::SaveFile);
    EXPECT_TRUE(shown[0].accepted);
    EXPECT_EQ(shown[0].caption, QStringLiteral("setup.exe"));
    EXPECT_EQ(shown[0].filter, QStringLiteral("(*.exe);;All files (*.*)"));
    EXPECT_EQ(shown[1].kind, Kind::OpenFile);
    EXPECT_FALSE(shown[1].accepted);
    EXPECT_FALSE(shown[2].accepted);
}

TEST_F(UiPromptsTest, TurningTestModeOnAgainForgetsEverything) {
    UiPrompts::queueAnswer(true);
    UiPrompts::queueFileName(QStringLiteral("a"));
    UiPrompts::information(nullptr, QStringLiteral("x"));
    UiPrompts::setTestMode(true);
    EXPECT_EQ(UiPrompts::pendingAnswers(), 0);
    EXPECT_EQ(UiPrompts::pendingFileNames(), 0);
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_TRUE(UiPrompts::testMode());
}

struct FilterCase {
    const char* classic;
    const char* qt;
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTest, ClassicFiltersBecomeQtFilters) {
    EXPECT_EQ(UiPrompts::filterFromClassic(QString::fromUtf8(GetParam().classic)), QString::fromUtf8(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(Filters, FilterTest,
                         ::testing::Values(FilterCase{"(*.exe)|*.exe|All files (*.*)|*.*||",
                                                      "(*.exe);;All files (*.*)"},
                                           FilterCase{"镜像文件|*.bin;*.img||", "镜像文件 (*.bin *.img)"},
                                           FilterCase{"Excel (*.xls)|*.xls|", "Excel (*.xls)"}, FilterCase{"", ""}));

// A worker's prompt is answered on the UI thread while the worker waits; the test's event loop is that
// thread.
void runOnWorker(const std::function<void()>& work) {
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

TEST_F(UiPromptsTest, ObserverSeesEachPromptOnTheUiThreadAlsoFromAWorker) {
    QThread* const ui = QThread::currentThread();
    std::vector<bool> onUi;
    UiPrompts::setObserver([&](const UiPrompts::Shown&) { onUi.push_back(QThread::currentThread() == ui); });
    UiPrompts::queueAnswer(true);
    bool answer = false;
    runOnWorker([&] { answer = UiPrompts::askYesNo(nullptr, QStringLiteral("from a worker")); });
    UiPrompts::information(nullptr, QStringLiteral("from the UI thread"));
    EXPECT_TRUE(answer);
    EXPECT_EQ(onUi, (std::vector<bool>{true, true}));
}

// The messages of the log's lines for boxes that were not shown.
std::vector<std::string> UnshownBoxes(const std::string& logPath) {
    const std::string log = test::readFile(logPath);
    const std::string head = "[MessageBox](";
    std::vector<std::string> texts;
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = log.substr(at, end - at);
        const std::size_t colon = line.find("):");
        if (line.rfind(head, 0) == 0 && colon != std::string::npos)
            texts.push_back(line.substr(colon + 2));
    }
    return texts;
}

class GuiNotifierTest : public UiPromptsTest {
protected:
    std::vector<int> exits;
    GuiNotifier gui{[this](int code) { exits.push_back(code); }};
};

TEST_F(GuiNotifierTest, WorkerCallsReachTheUiThreadAndReturnTheAnswers) {
    gui.install();
    ASSERT_EQ(&notifier(), &gui);
    QThread* const ui = QThread::currentThread();
    std::vector<std::pair<QString, bool>> seen;
    UiPrompts::setObserver(
        [&](const UiPrompts::Shown& s) { seen.emplace_back(s.text, QThread::currentThread() == ui); });
    UiPrompts::queueAnswer(true);
    UiPrompts::queueAnswer(true);
    bool yes = false, ok = false;
    runOnWorker([&] {
        notifier().messageBox("未找到配置文件");
        yes = notifier().askYesNo("确定退出吗?", "退出");
        ok = notifier().askOkCancel("重试?");
    });
    EXPECT_TRUE(yes);
    EXPECT_TRUE(ok);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(QStringLiteral("未找到配置文件"), true));
    EXPECT_EQ(seen[1], std::make_pair(QStringLiteral("确定退出吗?"), true));
    EXPECT_EQ(seen[2], std::make_pair(QStringLiteral("重试?"), true));
    EXPECT_EQ(UiPrompts::shown()[1].caption, QStringLiteral("退出"));
}

TEST_F(GuiNotifierTest, FatalExitShowsTheBoxThenExitsWithTheCode) {
    gui.install();
    std::vector<QString> order;
    UiPrompts::setObserver([&](const UiPrompts::Shown& s) {
        order.push_back(s.text);
        EXPECT_TRUE(exits.empty()); // the box comes first
    });
    runOnWorker([&] { notifier().fatalExit("镜像传输失败", 1); });
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("镜像传输失败")}));
    EXPECT_EQ(exits, (std::vector<int>{1}));
}

// Once the main window closes, no box is shown: each goes to orva.log and gets its safe answer, from a
// worker and from the UI thread alike.
TEST_F(GuiNotifierTest, WhileShuttingDownBoxesAreLoggedAndAnsweredWithTheirDefault) {
    test::TempProgramDir dir("orva-gui-notifier");
    ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
    gui.install();
    EXPECT_FALSE(gui.shuttingDown());
    GuiNotifier::BeginShutdownOfInstalled();
    EXPECT_TRUE(gui.shuttingDown());
    UiPrompts::queueAnswer(true);
    UiPrompts::queueAnswer(true);
    bool yes = true, ok = true;
    runOnWorker([&] {
        notifier().messageBox("the store cannot be opened");
        yes = notifier().askYesNo("quit?", "Exit");
        notifier().fatalExit("device.ini is missing", 3);
    });
    ok = notifier().askOkCancel("retry?");
    EXPECT_FALSE(yes);
    EXPECT_FALSE(ok);
    EXPECT_EQ(exits, std::vector<int>{3});
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_EQ(UiPrompts::pendingAnswers(), 2);
    EXPECT_EQ(UnshownBoxes(dir.file("orva.log")), (std::vector<std::string>{"the store cannot be opened", "Exit: quit?",
                                                                            "device.ini is missing", "retry?"}));
}

// A worker already waiting for a box the UI thread has not taken up yet is released by the shutdown,
// without the UI thread ever turning to it (it would be waiting for that worker).
TEST_F(GuiNotifierTest, AWorkerWaitingForABoxIsReleasedByTheShutdown) {
    test::TempProgramDir dir("orva-gui-notifier");
    ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
    gui.install();
    std::atomic<bool> asking{false};
    std::atomic<bool> answered{false};
    bool yes = true;
    std::thread worker([&] {
        asking = true;
        yes = notifier().askYesNo("upload failed");
        answered = true;
    });
    while (!asking)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // into its wait; no event is processed here
    EXPECT_FALSE(answered);
    gui.beginShutdown();
    worker.join(); // would never return if the worker still waited for this thread
    EXPECT_FALSE(yes);
    // The call it left queued does nothing when the loop gets to it.
    QCoreApplication::processEvents();
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_EQ(UnshownBoxes(dir.file("orva.log")), std::vector<std::string>{"upload failed"});
}

TEST(GuiNotifierLifetimeTest, UninstallsItselfWhenDestroyed) {
    {
        GuiNotifier gui([](int) {});
        gui.install();
        EXPECT_EQ(&notifier(), &gui);
    }
    EXPECT_EQ(dynamic_cast<GuiNotifier*>(&notifier()), nullptr); // the plain one again
}

} // namespace
