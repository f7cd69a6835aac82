#pragma once
// Shared by the shell and login suites: the application object, a program directory with settings and
// a skin, the exit hook, waiting for windows, and the gateway simulator's web services as a process.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/UiPrompts.h"
#include "gui/shell/Page.h"
#include "gui/shell/ProcessExit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace orva::guitest {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "orva-gui-test";
        static char* argv[] = {name, nullptr};
        // Never a real display, however the suite is started.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

inline const bool kQtEnvironmentRegistered = (::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment), true);

// Where the programs of this build live (the simulator, the rendered skin).
inline std::string BinDir() {
    if (const char* dir = std::getenv("ORVA_BIN_DIR"))
        return dir;
    return (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "bin").string();
}

// Writes a strip of five pictures of w x h each, so buttons have a size even without the rendered skin.
inline void WritePicture(const std::string& path, int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    image.save(QString::fromStdString(path), "PNG");
}

// Records every ExitProcess call instead of ending the test.
class ExitRecorder {
public:
    ExitRecorder() {
        SetExitHook([this](int code) {
            std::lock_guard lock(mutex_);
            codes_.push_back(code);
        });
    }
    ~ExitRecorder() { SetExitHook({}); }
    std::vector<int> codes() const {
        std::lock_guard lock(mutex_);
        return codes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> codes_;
};

// A program directory with a loopback-only setting.ini (on subnet N), the rendered skin when the build
// has one, the process-wide settings and program directory pointing at it, and the language selected.
class ProgramFixture {
public:
    ProgramFixture(int subnetN, const std::map<std::string, std::string>& extra, const std::string& tag) : dir_(tag) {
        dir_.writeSettings(subnetN, extra);
        copySkin();
        // The diagnosis page reads the shipped model list as it is created.
        std::error_code ec;
        std::filesystem::copy_file(std::filesystem::path(BinDir()) / "res" / "device.ini", dir_.file("res/device.ini"),
                                   std::filesystem::copy_options::overwrite_existing, ec);
        SetProgramDirectory(dir_.path());
        AppSettings settings;
        LoadAppSettings(SettingsFilePath(), settings);
        SetSettings(settings);
        ResetLanguageForTests();
        SelectLanguage(settings.Language);
    }
    ~ProgramFixture() {
        SetSettings(AppSettings{});
        SetProgramDirectory("");
        ResetLanguageForTests();
    }
    const test::TempProgramDir& dir() const { return dir_; }
    std::string path() const { return dir_.path(); }
    std::string skinFile(const std::string& name) const { return dir_.file("res/common/" + name); }

private:
    void copySkin() {
        std::error_code ec;
        const std::filesystem::path from = std::filesystem::path(BinDir()) / "res" / "common";
        std::filesystem::create_directories(dir_.file("res/common"), ec);
        if (std::filesystem::is_directory(from, ec))
            std::filesystem::copy(
                from, dir_.file("res/common"),
                std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
    }

    test::TempProgramDir dir_;
};

// Waits (processing events) until the condition holds; false when it did not within the bound.
inline bool WaitUntil(const std::function<bool()>& condition, int boundMs = 20000) {
    return QTest::qWaitFor(condition, boundMs);
}

// Calls `action` once `condition` holds, checking from the event loop (so it also fires inside nested
// loops that a blocking call runs). Gives up after the bound and calls `onTimeout` instead.
inline void WhenTrue(std::function<bool()> condition, std::function<void()> action,
                     std::function<void()> onTimeout = {}, int boundMs = 20000) {
    auto* timer = new QTimer;
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        const bool ready = condition();
        if (!ready && elapsed->elapsed() < boundMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete elapsed;
        if (ready)
            action();
        else if (onTimeout)
            onTimeout();
    });
    timer->start();
}

template <typename T> T* FindTopLevel(bool visibleOnly = true) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && (!visibleOnly || t->isVisible()))
            return t;
    }
    return nullptr;
}

// orva-gateway-sim serving only its web endpoints on 127.0.0.1 (a free port), for the time of a test.
class SimulatorServices {
public:
    explicit SimulatorServices(const std::vector<std::string>& extraArgs)
        : program_(BinDir() + "/orva-gateway-sim", withBase(extraArgs)) {
        program_.waitForLines(1, 30000);
        const std::string text = program_.readFor(0);
        const auto at = text.find("http 127.0.0.1:");
        if (at == std::string::npos) {
            stop();
            throw std::runtime_error("simulator did not start: " + text);
        }
        port_ = std::stoi(text.substr(at + 15));
    }
    ~SimulatorServices() { stop(); }
    SimulatorServices(const SimulatorServices&) = delete;
    SimulatorServices& operator=(const SimulatorServices&) = delete;

    void stop() {
        program_.kill(SIGTERM);
        program_.finish();
    }
    int port() const { return port_; }
    std::string loginUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/login"; }

private:
    static std::vector<std::string> withBase(const std::vector<std::string>& extraArgs) {
        std::vector<std::string> args = {"--no-udp", "--http", "127.0.0.1:0"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        return args;
    }

    test::ChildProcess program_;
    int port_ = 0;
};

// A page with nothing on it, for tests of the main window; a test says when it counts as running.
class StandInPage : public Page {
public:
    explicit StandInPage(QWidget* parent = nullptr) : Page(parent) {}

    bool running() const override { return running_.load(); }
    void setRunning(bool running) { running_.store(running); }

private:
    std::atomic<bool> running_{false};
};

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace orva::guitest
