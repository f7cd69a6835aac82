// How a diagnosis that cannot go on ends on the page: what the item list and the message boxes say, and
// that the page is ready again with nothing of the run stored.
#include "DiagnosisPageFixture.h"
#include "TestSubnets.h"

#include <QListWidget>

#include <algorithm>
#include <optional>

namespace orva::test {
namespace {

const QString kSerial = QStringLiteral("SN0170"); // the simulator's, as the fixture starts it
const std::string kFlash = "HG_HARDWARE_DIAG STEP=4";

DeviceTemplate Kt540gWith(const std::vector<int>& items) {
    DeviceTemplate t;
    t.model = "KT540G";
    for (int n : items)
        t.flags[static_cast<size_t>(n - 1)] = 1;
    return t;
}

sim::Override Silent(const std::string& prefix) {
    sim::Override o;
    o.prefix = prefix;
    o.noReply = true;
    return o;
}

sim::Override Status(const std::string& prefix, const std::string& status) {
    sim::Override o;
    o.prefix = prefix;
    o.status = status;
    return o;
}

sim::Override Payload(const std::string& prefix, const std::string& bytes) {
    sim::Override o;
    o.prefix = prefix;
    o.payload = bytes;
    return o;
}

sim::Override Late(const std::string& prefix, int ms) {
    sim::Override o;
    o.prefix = prefix;
    o.delayMs = ms;
    return o;
}

bool Sent(const sim::GatewaySimulator& s, const std::string& command) {
    const auto commands = s.commands();
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

// Message boxes and rows named by their text ids are looked up once the case's language is selected.
struct RunEndCase {
    const char* what;
    int subnet;
    std::string model; // the simulated gateway's
    std::vector<sim::Override> overrides;
    std::vector<int> items; // the KT540G template of the run
    RunOutcome outcome;
    bool mismatch;                            // the model-mismatch box comes first
    std::vector<TextId> messages;             // further message boxes of the run, in order
    std::optional<TextId> topItem, topResult; // the row put above the items
    int itemRows;                             // rows of the item list at the end
    int checks;                               // rows of the current-log tab
    std::vector<int> asked;                   // questions the prompt window showed
    QString productForm, barcode;             // the identity fields
};

class RunEndTest : public DiagnosisPageFixture, public ::testing::WithParamInterface<RunEndCase> {};

TEST_P(RunEndTest, PageShowsHowTheRunEnded) {
    const RunEndCase& c = GetParam();
    setUpProgram(c.subnet);
    startSimulator(c.model, c.overrides);
    makePage();
    page->session().setDeviceTemplate(Kt540gWith(c.items));

    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, c.outcome);
    // Whatever came from the worker is on the screen once it has ended.
    QTest::qWait(100);

    QStringList messages;
    if (c.mismatch)
        messages << kModelMismatch;
    for (TextId id : c.messages)
        messages << Q(id);
    EXPECT_EQ(UiPrompts::shownTexts(), messages);
    expectIdle();
    ASSERT_EQ(page->itemList()->topLevelItemCount(), c.itemRows);
    if (c.topItem) {
        EXPECT_EQ(itemColumn(0).front(), Q(*c.topItem));
        EXPECT_EQ(itemColumn(1).front(), Q(*c.topResult));
    } else if (c.itemRows > 0) {
        EXPECT_EQ(itemColumn(0).front(), Q(CheckItemName(1)));
    }
    EXPECT_EQ(page->currentLogTab()->list()->rowCount(), c.checks);
    std::vector<int> asked;
    for (const SeenPrompt& p : seen)
        asked.push_back(p.questionId);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(page->productFormEdit()->text(), c.productForm);
    EXPECT_EQ(page->barcodeEdit()->text(), c.barcode);
    EXPECT_EQ(storedLogs().size(), c.outcome == RunOutcome::Finished ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunEndTest,
    ::testing::Values(RunEndCase{"silent gateway",
                                 orva::test::subnets::gui_diagnosis::kPageA,
                                 "KT540G",
                                 {Silent("CONNECT")},
                                 {1},
                                 RunOutcome::ConnectError,
                                 false,
                                 {},
                                 TextId::ConnectStatus,
                                 TextId::ConnectError,
                                 1,
                                 0,
                                 {},
                                 {},
                                 {}},
                      // Only the exchange counts for CONNECT: any datagram from the gateway connects.
                      RunEndCase{"connect answered with no Base64",
                                 orva::test::subnets::gui_diagnosis::kPageA,
                                 "KT540G",
                                 {Payload("CONNECT", "%%%%")},
                                 {1},
                                 RunOutcome::Finished,
                                 false,
                                 {TextId::DiagFinished},
                                 {},
                                 {},
                                 22,
                                 1,
                                 {WM_DIAG_LAN1_PROMPT},
                                 QStringLiteral("KT540G"),
                                 kSerial},
                      RunEndCase{"gateway of another model",
                                 orva::test::subnets::gui_diagnosis::kPageB,
                                 "KT310",
                                 {},
                                 {1},
                                 RunOutcome::ModelMismatch,
                                 true,
                                 {},
                                 {},
                                 {},
                                 22,
                                 0,
                                 {},
                                 QStringLiteral("KT310"),
                                 kSerial},
                      RunEndCase{"identity not answered",
                                 orva::test::subnets::gui_diagnosis::kPageB,
                                 "KT540G",
                                 {Silent("QUERY_SYSTEM_INFO")},
                                 {1},
                                 RunOutcome::ModelMismatch,
                                 true,
                                 {},
                                 {},
                                 {},
                                 22,
                                 0,
                                 {},
                                 {},
                                 {}},
                      RunEndCase{"telephone start refused",
                                 orva::test::subnets::gui_diagnosis::kPageC,
                                 "KT540G",
                                 {Status(kPotsStart, "HG_HARDWARE_DIAG_FAIL")},
                                 {1, 5},
                                 RunOutcome::PotsStartFailed,
                                 false,
                                 {},
                                 TextId::ItemPotsStart,
                                 TextId::ResultFailure,
                                 23,
                                 1,
                                 {WM_DIAG_LAN1_PROMPT},
                                 QStringLiteral("KT540G"),
                                 kSerial},
                      RunEndCase{"telephone start answered otherwise",
                                 orva::test::subnets::gui_diagnosis::kPageC,
                                 "KT540G",
                                 {Status(kPotsStart, "UNRECOGNIZE_REQUEST")},
                                 {5},
                                 RunOutcome::Finished,
                                 false,
                                 {TextId::DiagFinished},
                                 {},
                                 {},
                                 22,
                                 1,
                                 {WM_DIAG_RING_PROMPT, WM_DIAG_RING_JUDGE},
                                 QStringLiteral("KT540G"),
                                 kSerial}),
    [](const ::testing::TestParamInfo<RunEndCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// The page's own watchdog gives up on a gateway that has not answered CONNECT after ten seconds; its
// answer two seconds later reaches nobody, and the next Start runs as usual.
TEST_F(DiagnosisPageFixture, ConnectTimeOutAndTheLateReplyAfterIt) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageD);
    startSimulator("KT540G", {Late("CONNECT", 12000)});
    makePage(nullptr, SessionOptions{}); // the watchdog and the reply time-out the page really has
    page->session().setDeviceTemplate(Kt540gWith({1}));

    click(page->startButton());
    EXPECT_TRUE(page->running());
    ASSERT_TRUE(waitForRunEnd(30000));
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::ConnectTimeout);

    const auto expectTimedOut = [this](const char* when) {
        SCOPED_TRACE(when);
        expectIdle();
        EXPECT_EQ(itemColumn(0), std::vector<QString>{Q(TextId::ConnectStatus)});
        EXPECT_EQ(itemColumn(1), std::vector<QString>{Q(TextId::ConnectTimeout)});
        EXPECT_TRUE(UiPrompts::shownTexts().isEmpty());
        EXPECT_TRUE(seen.empty());
        EXPECT_TRUE(page->productFormEdit()->text().isEmpty());
        EXPECT_EQ(page->allLogsTab()->list()->rowCount(), 0);
        EXPECT_EQ(sim->commands(), std::vector<std::string>{"CONNECT"});
    };
    expectTimedOut("at the time-out");

    // Past the moment the gateway answers.
    QTest::qWait(3500);
    expectTimedOut("after the late reply");
    EXPECT_TRUE(storedLogs().empty());

    sim->clearOverrides();
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
    EXPECT_EQ(page->itemList()->topLevelItemCount(), 22);
    EXPECT_EQ(page->itemList()->topLevelItem(0)->text(1), QStringLiteral("√"));
    EXPECT_EQ(storedLogs().size(), 1u);
}

// Stop in the middle of a run, at a question or while an exchange is still out.
struct StopCase {
    const char* what;
    std::vector<int> items;
    std::vector<sim::Override> overrides;
    int stopAtPrompt;     // stop once this question is open (0: not at a question)
    std::string stopSent; // ... or once the gateway has this command
};

class StopTest : public DiagnosisPageFixture, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, StopKeepsWhatWasShownAndStoresNothing) {
    const StopCase& c = GetParam();
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    startSimulator("KT540G", c.overrides);
    SessionOptions options;
    options.replyTimeoutSeconds = 5;
    makePage(nullptr, options);
    page->session().setDeviceTemplate(Kt540gWith(c.items));
    if (c.stopAtPrompt)
        held.insert(c.stopAtPrompt);

    click(page->startButton());
    if (c.stopAtPrompt)
        ASSERT_TRUE(waitForPrompt(c.stopAtPrompt));
    else
        ASSERT_TRUE(QTest::qWaitFor([&] { return Sent(*sim, c.stopSent); }, 20000));
    ASSERT_TRUE(page->running());
    UiPrompts::clearShown();
    click(page->stopButton());
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(TextId::CheckStopped)});
    expectIdle();
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(page->session().lastRun().outcome, RunOutcome::Stopped);

    // Long enough for a late reply to have come back: the three checks stay, nothing is added.
    QTest::qWait(2500);
    expectIdle();
    const auto current = rowsOf(page->currentLogTab()->list());
    ASSERT_EQ(current.size(), 3u);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(current[n - 1][1], Q(CheckItemName(n)));
    const auto all = rowsOf(page->allLogsTab()->list());
    ASSERT_EQ(all.size(), 5u); // separator, heading, the three checks; no closing row
    EXPECT_EQ(all[4][1], Q(CheckItemName(3)));
    const auto marks = itemColumn(1);
    ASSERT_EQ(marks.size(), 22u);
    for (int n = 4; n <= 22; ++n)
        EXPECT_TRUE(marks[n - 1].isEmpty()) << n;
    EXPECT_TRUE(page->resultList()->count() == 0);
    EXPECT_EQ(UiPrompts::shownTexts(), QStringList{Q(TextId::CheckStopped)});
    EXPECT_TRUE(storedLogs().empty());
    EXPECT_EQ(page->session().pendingRecords(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, StopTest,
                         ::testing::Values(StopCase{"AtAQuestion", {1, 2, 3, 4}, {}, WM_DIAG_LAN4_PROMPT, {}},
                                           StopCase{
                                               "DuringAnExchange", {1, 2, 3, 13}, {Late(kFlash, 2000)}, 0, kFlash}),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.what); });

} // namespace
} // namespace orva::test
