#pragma once
// What the maintenance page tests share: a program directory with loopback settings on the test's own
// subnet and button pictures in its skin folder, the language of its settings selected, the GUI notifier
// with prompts answered in advance, and the in-process gateway simulator.
#include "TestSupport.h"
#include "common/GuiNotifier.h"
#include "common/UiPrompts.h"

#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The simulator comes with the orva_sim library; a build that does not link it leaves out the cases
// that need gateways (they are reported as skipped).
#if __has_include("GatewaySimulator.h")
#define ORVA_GUI_MAINTENANCE_SIMULATOR 1
#include "GatewaySimulator.h"

#include <memory>
#include <optional>
#include <thread>
#endif

namespace orva::test {

class MaintenancePageFixture : public ::testing::Test {
protected:
    MaintenancePageFixture();
    // Settings for subnet N with `extra`, loaded as the process settings, language selected.
    void useSettings(int subnetN, const std::map<std::string, std::string>& extra);
    void TearDown() override;

    const TempProgramDir& dir() const { return dir_; }

    TempProgramDir dir_{"orva-gmaint"};
    UiPromptsTestScope prompts_;
    GuiNotifier notifier_{[](int) {}};
};

// Waits, handling events, until the condition holds; false when it did not within the bound.
bool WaitUntil(const std::function<bool()>& condition, int boundMs = 30000);

// The texts of the prompts shown so far, as UTF-8.
std::vector<std::string> PromptTexts();

#ifdef ORVA_GUI_MAINTENANCE_SIMULATOR

// A simulator of three gateways (serial numbers kSn, kSn-2, kSn-3) on 127.0.N.1 and its segment
// broadcast address, set up with command-line arguments.
class Gateways {
public:
    static constexpr const char* kSn = "GUIMAINT01";
    static constexpr const char* kBuildDate = "20250607";

    Gateways(int subnetN, std::vector<std::string> extraArgs);
    ~Gateways();

    bool started() const { return started_; }
    sim::GatewaySimulator& sim() { return *sim_; }
    // Whether a command was journalled.
    bool received(const std::string& command) const;

    // The status check listens for a whole reply time-out (30 s) past its listen time when nothing more
    // comes, and real gateways answer once. From now on the checking socket gets a reply without "SN"
    // every 200 ms, which the page ignores but which ends that last wait.
    void endLastStatusWait();

private:
    std::unique_ptr<sim::GatewaySimulator> sim_;
    bool started_ = false;
    std::jthread ender_;
};

#endif

} // namespace orva::test
