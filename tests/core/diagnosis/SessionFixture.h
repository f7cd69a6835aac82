#pragma once
// A diagnosis session against the in-process gateway simulator, with a view that records every call
// and answers the prompts from a script.
#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/protocol/CommandChannel.h"
#include "core/records/RecordStore.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orva::test {

// The subnet of this suite.
inline constexpr int kSessionSubnet = orva::test::subnets::session::kSession;

class FakeView final : public DiagnosisView {
public:
    struct Call {
        std::string what; // "status", "top", "log", "prompt", "message", "result", "identity", ...
        int a = 0;        // item, tab, log number, question id
        int b = 0;
        std::string s1{};
        std::string s2{};
    };

    // Answer for a question id: true yes/OK, false no/Cancel. Missing ids: `defaultAnswer`.
    std::map<int, bool> answers;
    bool defaultAnswer = true;
    // When set, prompts with these ids are left open (the test answers or stops).
    std::vector<int> holdPrompts;
    // Called (outside the view's lock) after a call was recorded.
    std::function<void(const Call&)> onCall;
    DiagnosisSession* session = nullptr;

    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<Call> callsOf(const std::string& what) const {
        std::vector<Call> out;
        for (auto& c : calls())
            if (c.what == what)
                out.push_back(c);
        return out;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (auto& c : callsOf("message"))
            out.push_back(c.s1);
        return out;
    }
    std::vector<Prompt> prompts() const {
        std::lock_guard lock(mutex_);
        return prompts_;
    }
    std::vector<RunOutcome> outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
        prompts_.clear();
        outcomes_.clear();
    }

    // The events are recorded as the rows and columns the page changes for them.
    void runStarting(const std::string&) override {
        record({"clearItems"});
        record({"clearLog", static_cast<int>(LogTab::Current)});
        record({"clearResults"});
    }
    void itemsShown(const std::vector<ItemRow>& rows) override {
        record({"rows", static_cast<int>(rows.size()), rows.empty() ? 0 : rows[0].ticked ? 1 : 0});
    }
    void itemsTicked(const std::vector<bool>& t) override { record({"ticks", static_cast<int>(t.size())}); }
    void itemFinished(int item, const std::string& mark, bool scroll) override {
        record({"status", item, 0, mark});
        if (scroll)
            record({"scroll", item});
    }
    void stepFailed(const std::string& c0, const std::string& c1) override { record({"top", 0, 0, c0, c1}); }
    void faultsShown(const std::vector<std::string>& faults) override {
        for (const std::string& text : faults)
            record({"result", 0, 0, text});
    }
    void logRowAdded(LogTab tab, int number, const std::string& item, const std::string& result) override {
        record({"log", static_cast<int>(tab), number, item, result});
    }
    void identityRead(const std::string& productClass, const std::string& serial) override {
        record({"identity", 0, 0, productClass, serial});
    }
    void questionOpened(const Prompt& p, int item) override {
        {
            std::lock_guard lock(mutex_);
            prompts_.push_back(p);
        }
        record({"prompt", p.questionId, p.value, p.title, p.text});
        bool held = false;
        for (int id : holdPrompts)
            held = held || id == p.questionId;
        if (!held) {
            auto it = answers.find(p.questionId);
            const bool yes = p.mode == 0 || (it == answers.end() ? defaultAnswer : it->second);
            if (session)
                session->answer(yes);
        }
        if (item != 0)
            record({"scroll", item});
    }
    void questionClosed() override { record({"hidePrompt"}); }
    void runningChanged(bool running) override { record({"running", running ? 1 : 0}); }
    void message(const std::string& text) override { record({"message", 0, 0, text}); }
    void runEnded(RunOutcome outcome) override {
        {
            std::lock_guard lock(mutex_);
            outcomes_.push_back(outcome);
        }
        record({"ended", static_cast<int>(outcome)});
    }

private:
    void record(Call c) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(c);
        }
        if (onCall)
            onCall(c);
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::vector<Prompt> prompts_;
    std::vector<RunOutcome> outcomes_;
};

// Program directory with settings and device.ini, the log open, Chinese texts, a simulator on the
// suite's subnet and a session with short time-outs.
class SessionFixture : public ::testing::Test {
protected:
    // A file of cases may take a subnet of its own.
    virtual int subnetN() const { return kSessionSubnet; }

    void SetUp() override {
        dir.writeSettings(subnetN(), {{"RunNet", "0"}});
        writeFile(dir.file("res/device.ini"),
                  "[DeviceName]\nList=KT540G,KT540G-U,KT593G,KT310,KT310-U,ZERO\n[DeviceCount]\nCount=6\n"
                  "[DeviceInfo]\n"
                  "KT540G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n"
                  "KT593G=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1\n"
                  "KT310=1,1,1,1,1,1,1,1,1,1,1,1,1,1,0,1,1,1,1,1,1,1\n"
                  "ZERO=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n");
        SetProgramDirectory(dir.path());
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
        SelectLanguage("Chinese");
        ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
        SetCurrentDeviceType("");
        makeSession();
    }
    void TearDown() override {
        session.reset();
        if (sim)
            sim->stop();
        SetCurrentDeviceType("");
    }

    void makeSession(SessionOptions options = shortOptions()) {
        session.reset();
        session = std::make_unique<DiagnosisSession>(view, nullptr, options);
        view.session = session.get();
        session->initialise();
        session->setOperator("tech01");
    }
    static SessionOptions shortOptions() {
        SessionOptions o;
        o.replyTimeoutSeconds = 1;
        return o;
    }

    // Starts the simulator as a gateway of `model`.
    void startSimulator(const std::string& model = "KT540G", std::vector<sim::Override> overrides = {}) {
        ASSERT_TRUE(
            StartSimulator(sim, subnetN(), {.model = model, .sn = "SN0001", .overrides = std::move(overrides)}));
    }

    // Starts a run and waits for its end.
    void runToEnd() {
        ASSERT_TRUE(session->start(gatewayAddress(subnetN())));
        ASSERT_TRUE(session->waitForRunEnd(std::chrono::seconds(60)));
    }

    // A template of KT540G that selects only these items.
    static DeviceTemplate only(std::initializer_list<int> items, const std::string& model = "KT540G") {
        DeviceTemplate t;
        t.model = model;
        for (int n : items)
            t.flags[static_cast<size_t>(n - 1)] = 1;
        return t;
    }

    std::vector<StoredRecord> storedLogs() {
        RecordStore store;
        if (!store.open("logs"))
            return {};
        auto rows = store.logsAfter(0);
        store.close();
        return rows;
    }

    // Commands the simulator received, with the port they arrived at.
    std::vector<std::pair<int, std::string>> received() const {
        std::vector<std::pair<int, std::string>> out;
        for (const auto& e : sim->journal())
            if (e.kind == sim::JournalEntry::Kind::Command)
                out.emplace_back(e.port, e.command);
        return out;
    }

    TempProgramDir dir{"orva-session"};
    RecordingNotifier notifier;
    FakeView view;
    std::unique_ptr<sim::GatewaySimulator> sim;
    std::unique_ptr<DiagnosisSession> session;
};

} // namespace orva::test
