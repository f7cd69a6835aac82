// A DSL gateway (KT310, KT310-U) asks its own uplink and LED questions; in either language the technician
// must read what to do before the answer goes into the record.
#include "DiagnosisPageFixture.h"
#include "TestSubnets.h"

#include "core/diagnosis/DeviceModels.h"

namespace orva::test {
namespace {

constexpr int kDslSubnet = orva::test::subnets::gui_diagnosis::kDslPrompts;

struct DslCase {
    std::string language;
    std::string model;
};

TEST_F(DiagnosisPageFixture, DslQuestionsHaveTextInBothLanguages) {
    for (const DslCase& c : {DslCase{"English", "KT310"}, DslCase{"English", "KT310-U"}, DslCase{"Chinese", "KT310"}}) {
        SCOPED_TRACE(c.language + " " + c.model);
        setUpProgram(kDslSubnet, c.language);
        std::array<int, kCheckItemCount> flags{};
        flags[11] = 1; // the uplink (DSL line)
        flags[13] = 1; // the LEDs
        ASSERT_TRUE(SaveDeviceTemplate(c.model, flags));
        startSimulator(c.model);
        makePage();
        page->modelCombo()->setCurrentText(Q(c.model));
        click(page->confirmButton());
        ASSERT_EQ(CurrentDeviceType(), c.model);

        seen.clear();
        click(page->startButton());
        ASSERT_TRUE(waitForRunEnd());
        EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);

        std::map<int, SeenPrompt> byId;
        for (const SeenPrompt& p : seen)
            byId.emplace(p.questionId, p);
        ASSERT_EQ(byId.count(WM_DIAG_UPLINK_PROMPT), 1u);
        ASSERT_EQ(byId.count(WM_DIAG_LED_JUDGE), 1u);
        const SeenPrompt& uplink = byId.at(WM_DIAG_UPLINK_PROMPT);
        const SeenPrompt& led = byId.at(WM_DIAG_LED_JUDGE);
        EXPECT_EQ(uplink.title, QStringLiteral("DSL诊断测试"));
        EXPECT_FALSE(uplink.text.isEmpty());
        EXPECT_EQ(uplink.text, Q(TextId::PromptDslConnect));
        EXPECT_EQ(led.mode, 1);
        EXPECT_FALSE(led.text.isEmpty());
        EXPECT_EQ(led.text, Q(TextId::AskLedDsl));
        // Not the optical models' texts: the DSL questions are asked.
        EXPECT_NE(uplink.text, Q(TextId::PromptOpticalConnect));

        answerer.stop();
        QObject::disconnect(&answerer, nullptr, nullptr, nullptr);
        page.reset();
        sim->stop();
        sim.reset();
    }
}

} // namespace
} // namespace orva::test
