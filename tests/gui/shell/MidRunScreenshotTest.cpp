// The screenshots' picture of a diagnosis in the middle of its run: taken against a simulated gateway
// while a question is open, the run stopped afterwards, and nothing sent when the maintenance address
// is not on loopback.
#include "GuiTestSupport.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "gui/shell/CDlgMain.h"
#include "gui/shell/MidRunScreenshot.h"

#include <QImage>

#include <algorithm>
#include <memory>

namespace orva {
namespace {

using guitest::Q;

constexpr int kMidRunSubnet = orva::test::subnets::gui_shell::kMidRun;

class MidRunScreenshot : public ::testing::Test {
protected:
    void open(const std::map<std::string, std::string>& settings) {
        program_ = std::make_unique<guitest::ProgramFixture>(kMidRunSubnet, settings, "orva-gui-midrun");
        main_ = std::make_unique<CDlgMain>("11-2.2-33333333", "http://127.0.0.1:9/login", "http://127.0.0.1:9/report");
        main_->initialise();
        main_->show();
    }
    void TearDown() override {
        main_.reset();
        if (sim_)
            sim_->stop();
        program_.reset();
    }
    CorvaDlg& page() const { return *static_cast<CorvaDlg*>(main_->page(PageId::Diagnosis)); }
    std::string picture() const { return program_->dir().file("midrun.png"); }
    // The LAN port commands the gateway received, by port number.
    std::vector<int> lanPortsAsked() const {
        std::vector<int> ports;
        const std::string lan = "HG_HARDWARE_DIAG STEP=1 FENUM=";
        for (const std::string& command : sim_->commands())
            if (command.rfind(lan, 0) == 0)
                ports.push_back(std::stoi(command.substr(lan.size())));
        return ports;
    }

    std::unique_ptr<guitest::ProgramFixture> program_;
    std::unique_ptr<sim::GatewaySimulator> sim_;
    std::unique_ptr<CDlgMain> main_;
};

TEST_F(MidRunScreenshot, PicturesTheOpenQuestionBesideMarkedItemsAndStopsTheRun) {
    open({});
    ASSERT_TRUE(test::StartSimulator(sim_, kMidRunSubnet, {.model = "KT540G"}));

    ASSERT_TRUE(RenderDiagnosisMidRun(*main_, Q(picture())));
    const QImage shot(Q(picture()));
    EXPECT_EQ(shot.size(), main_->size());

    // Two LAN ports judged, the third one's question was open: its command never went out.
    EXPECT_EQ(lanPortsAsked(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(page().running());
    EXPECT_EQ(page().session().lastRun().outcome, RunOutcome::Stopped);
    EXPECT_FALSE(page().judge()->isVisible());
    // The boxes of the run were recorded, not left open, and the tool is back to real boxes.
    EXPECT_FALSE(UiPrompts::testMode());
}

TEST_F(MidRunScreenshot, SendsNothingOffLoopback) {
    // A documentation address (TEST-NET-1): refused before the page starts anything.
    open({{"MaintenanceAddress", "192.0.2.1"}});
    EXPECT_FALSE(RenderDiagnosisMidRun(*main_, Q(picture())));
    EXPECT_FALSE(test::fileExists(picture()));
    EXPECT_FALSE(page().session().lastRun().started);
    EXPECT_FALSE(page().running());
}

} // namespace
} // namespace orva
