// Closing the main window while a worker asks for a message box: the window waits for its workers as
// it goes, so a worker still waiting for the box would hold the tool for ever. The box goes to orva.log
// instead and the tool ends.
#include "GuiTestSupport.h"

#include "TestSubnets.h"
#include "core/app/LogFile.h"
#include "gui/common/GuiNotifier.h"
#include "gui/controls/CPngButton.h"
#include "core/records/UploadPass.h"
#include "gui/shell/CDlgMain.h"
#include "gui/web/CDlgLogin.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <thread>

namespace orva {
namespace {

using guitest::Q;
using namespace std::chrono_literals;

constexpr int kClosingSubnet = orva::test::subnets::gui_shell::kClosing;
constexpr const char* kBoxText = "upload pass: the reporting service refused the record";

// Ends the whole test program when the guarded steps do not finish in time: a deadlock cannot be
// failed from inside, since the thread that would report it is the one stuck.
class Watchdog {
public:
    Watchdog(std::chrono::seconds bound, const char* what)
        : thread_([this, bound, what] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, bound, [this] { return done_; })) {
                  std::fprintf(stderr, "deadlock: %s did not finish within %lld s\n", what,
                               static_cast<long long>(bound.count()));
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

// What the upload pass's worker does: asks for a box at once, or only once the window has begun to close.
enum class Asking { WhileOpen, AfterClosing, RealPassOverSpoiltStore };

struct ClosingCase {
    const char* label;
    Asking asking;
};

void PrintTo(const ClosingCase& c, std::ostream* os) {
    *os << c.label;
}

class ClosingTest : public ::testing::TestWithParam<ClosingCase> {
protected:
    void SetUp() override {
        program_ = std::make_unique<guitest::ProgramFixture>(
            kClosingSubnet, std::map<std::string, std::string>{{"Version", "11-2.2-33333333"}}, "orva-gui-closing");
        ASSERT_TRUE(LogFile::instance().open(program_->dir().file("orva.log")));
        notifier_.install();
        main_ = std::make_unique<CDlgMain>("11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report");
        main_->setPageFactory([](PageId, QWidget* parent) { return new guitest::StandInPage(parent); });
    }
    void TearDown() override {
        main_.reset();
        program_.reset();
    }

    // The upload pass of the case; `asking_` is set just before its box is asked for.
    std::unique_ptr<UploadPass> makePass(Asking asking) {
        if (asking == Asking::RealPassOverSpoiltStore) {
            UploadConfig config;
            config.runNet = 0;
            asking_ = true; // its box comes as soon as the store fails to open
            return std::make_unique<UploadPass>(program_->dir().file("orvalog.db"), config);
        }
        return std::make_unique<UploadPass>([this, asking](std::stop_token) {
            if (asking == Asking::AfterClosing)
                while (!notifier_.shuttingDown())
                    std::this_thread::sleep_for(1ms);
            asking_ = true;
            notifier().messageBox(kBoxText);
            answered_ = true;
            return UploadPassResult{};
        });
    }

    bool logIn() {
        QTimer::singleShot(0, [this] {
            ASSERT_TRUE(
                guitest::WaitUntil([this] { return main_->loginDialog() && main_->loginDialog()->isVisible(); }));
            main_->loginDialog()->loginButton()->click();
        });
        return main_->runLogin();
    }

    std::vector<std::string> logLines() const {
        const std::string log = test::readFile(program_->dir().file("orva.log"));
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(log.substr(at, end - at));
        return lines;
    }

    UiPromptsTestScope prompts_;
    guitest::ExitRecorder exits_;
    GuiNotifier notifier_{[](int) {}};
    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<CDlgMain> main_;
    std::atomic<bool> asking_{false};
    std::atomic<bool> answered_{false};
};

TEST_P(ClosingTest, TheToolEndsAndTheBoxIsLogged) {
    const ClosingCase& c = GetParam();
    if (c.asking == Asking::RealPassOverSpoiltStore)
        test::writeFile(program_->dir().file("orvalog.db"), std::string(4096, '\x5A'));
    main_->setUploadFactory([this, &c] { return makePass(c.asking); });
    main_->initialise();
    main_->show();
    ASSERT_TRUE(logIn());

    {
        Watchdog watchdog(30s, "closing the main window");
        // From here on this thread takes no events until the window is gone, as when the technician
        // closes it while the box is still on its way.
        if (c.asking == Asking::WhileOpen) {
            while (!asking_)
                std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(200ms);
        UiPrompts::queueAnswer(true);
        main_->closeButton()->click();
        EXPECT_TRUE(notifier_.shuttingDown());
        main_.reset(); // waits for the upload pass
    }
    QCoreApplication::processEvents(); // a box left queued is not shown late either
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(Text(TextId::ExitConfirm))});
    if (c.asking != Asking::RealPassOverSpoiltStore) {
        EXPECT_TRUE(answered_.load());
    }

    std::vector<std::string> boxes;
    for (const std::string& line : logLines()) {
        const std::size_t colon = line.find("):");
        if (line.rfind("[MessageBox](", 0) == 0 && colon != std::string::npos)
            boxes.push_back(line.substr(colon + 2));
    }
    ASSERT_EQ(boxes.size(), 1u);
    if (c.asking == Asking::RealPassOverSpoiltStore) {
        EXPECT_NE(boxes[0].find("not a database"), std::string::npos) << boxes[0];
    } else {
        EXPECT_EQ(boxes[0], kBoxText);
    }
}

INSTANTIATE_TEST_SUITE_P(Workers, ClosingTest,
                         ::testing::Values(ClosingCase{"box_asked_before_the_close", Asking::WhileOpen},
                                           ClosingCase{"box_asked_while_closing", Asking::AfterClosing},
                                           ClosingCase{"upload_pass_over_a_spoilt_store",
                                                       Asking::RealPassOverSpoiltStore}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace orva
