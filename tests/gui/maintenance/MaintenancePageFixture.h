#pragma once
// What the maintenance page tests share: a program directory with loopback settings on the test's own
// subnet and button pictures in its skin folder, the language of its settings selected, the GUI notifier
// with prompts answered in advance, and the in-process gateway simulator.
#include "sim/GatewaySimulator.h"
#include "StatusWaitEnder.h"
#include "TestSupport.h"
#include "gui/common/GuiNotifier.h"
#include "gui/common/UiPrompts.h"

#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // From now on the page's status check gets replies that end its last wait (StatusWaitEnder.h).
    void endLastStatusWait();

private:
    std::unique_ptr<sim::GatewaySimulator> sim_;
    bool started_ = false;
    std::optional<StatusWaitEnder> ender_;
};

} // namespace orva::test
