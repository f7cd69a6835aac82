#include "gui/common/UiDispatcher.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace orva;
using namespace std::chrono_literals;

namespace {

// Takes the UI thread's events until `done` holds (or a generous time has passed).
template <class Pred> bool processUntil(Pred done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Joins its worker while it closes, as a page joins its session's workers: a worker still waiting
// for this thread would hold both for good.
class JoiningWindow : public QWidget {
public:
    std::thread worker;
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (refuseClose) {
            event->ignore();
            return;
        }
        if (worker.joinable())
            worker.join();
        QWidget::closeEvent(event);
    }
};

// Holds back the calls queued to the object it watches, as a UI thread busy elsewhere would: each one
// is counted and never carried out.
class HoldCalls : public QObject {
public:
    std::atomic<int> held{0};

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MetaCall)
            return false;
        ++held;
        return true;
    }
};

TEST(UiDispatcherTest, AWorkersCallRunsOnTheUiThreadAndReturnsOnceItRan) {
    QObject context;
    std::atomic<bool> returned{false};
    bool result = false;
    auto ranOn = std::make_shared<QThread*>(nullptr);
    std::thread worker([&] {
        result = CallOnUi(&context, [ranOn] { *ranOn = QThread::currentThread(); });
        returned = true;
    });
    ASSERT_TRUE(processUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(*ranOn, context.thread());
}

TEST(UiDispatcherTest, OnTheContextsOwnThreadTheCallRunsAtOnce) {
    QWidget window;
    bool ran = false;
    EXPECT_TRUE(CallOnUi(&window, [&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(UiDispatcherTest, AWorkerBlockedInCallOnUiIsReleasedWithFalseWhenTheWindowCloses) {
    JoiningWindow window;
    window.show();
    std::atomic<int> step{0};
    std::atomic<bool> go{false};
    auto secondRan = std::make_shared<std::atomic<bool>>(false);
    bool first = false;
    bool second = true;
    window.worker = std::thread([&] {
        first = CallOnUi(&window, [] {});
        step = 1;
        while (!go)
            std::this_thread::yield();
        second = CallOnUi(&window, [secondRan] { *secondRan = true; });
        step = 2;
    });
    ASSERT_TRUE(processUntil([&] { return step == 1; }));
    // From here the UI thread takes no event until the window has closed: the second call waits.
    go = true;
    std::this_thread::sleep_for(100ms);
    window.close(); // joins the worker
    EXPECT_FALSE(window.worker.joinable());
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_EQ(step, 2);
    // The call given up does not run when the UI thread comes to it, and a closed window takes no more.
    QCoreApplication::processEvents();
    EXPECT_FALSE(*secondRan);
    bool afterClose = true;
    std::thread late([&] { afterClose = CallOnUi(&window, [] {}); });
    late.join();
    EXPECT_FALSE(afterClose);
}

TEST(UiDispatcherTest, AWorkerBlockedInCallOnUiIsReleasedWithFalseWhenTheContextIsDestroyed) {
    auto* context = new QObject;
    HoldCalls hold;
    context->installEventFilter(&hold);
    auto ran = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> returned{false};
    bool result = true;
    std::thread worker([&] {
        result = CallOnUi(context, [ran] { *ran = true; });
        returned = true;
    });
    ASSERT_TRUE(processUntil([&] { return hold.held == 1; }));
    EXPECT_FALSE(returned);
    delete context;
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(*ran);
}

TEST(UiDispatcherTest, AWindowWhoseCloseWasRefusedOrThatIsShownAgainTakesCallsAgain) {
    JoiningWindow window;
    window.show();
    const auto callFromWorker = [&] {
        std::atomic<bool> returned{false};
        bool result = false;
        std::thread worker([&] {
            result = CallOnUi(&window, [] {});
            returned = true;
        });
        EXPECT_TRUE(processUntil([&] { return returned.load(); }));
        worker.join();
        return result;
    };
    window.refuseClose = true;
    EXPECT_FALSE(window.close());
    QCoreApplication::processEvents();
    EXPECT_TRUE(callFromWorker());

    window.refuseClose = false;
    EXPECT_TRUE(window.close());
    QCoreApplication::processEvents();
    window.show();
    EXPECT_TRUE(callFromWorker());
}

TEST(UiDispatcherTest, PostedCallsRunLaterInTheirOrderAndAreDroppedWithTheirContext) {
    QObject context;
    auto* gone = new QObject;
    std::vector<int> order;
    auto goneRan = std::make_shared<bool>(false);
    std::thread worker([&] {
        PostToUi(&context, [&] { order.push_back(1); });
        PostToUi(gone, [goneRan] { *goneRan = true; });
        PostToUi(&context, [&] { order.push_back(2); });
    });
    worker.join();
    PostToUi(&context, [&] { order.push_back(3); });
    EXPECT_TRUE(order.empty());
    delete gone;
    ASSERT_TRUE(processUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(*goneRan);
}

} // namespace
