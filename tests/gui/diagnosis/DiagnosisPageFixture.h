#pragma once
// The diagnosis page in a program directory of its own (loopback settings on the case's subnet, the
// shipped device.ini), the prompts in test mode, and a technician who answers the prompt window by
// clicking its buttons.
#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CPngButton.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CPage1Dlg.h"
#include "gui/diagnosis/CPage2Dlg.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/records/RecordStore.h"

#include "SimulatorPeers.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orva::test {

// The model-mismatch message and the command that starts the telephone checks.
inline const QString kModelMismatch = QStringLiteral("选择检测设备类型与当前连接设备类型不一致，请重新设置！");
inline const std::string kPotsStart = "HG_HARDWARE_DIAG STEP=2 METHOD=START";

// What the prompt window showed when the technician answered it.
struct SeenPrompt {
    int questionId;
    int mode;
    QString title;
    QString text;
    bool cancelVisible;
    bool addressEnabled; // the address entry while the run asked
    bool startInactive;
};

class DiagnosisPageFixture : public ::testing::Test {
protected:
    // The cases take turns on the suite's subnets (subnets::gui_diagnosis in TestSubnets.h).
    void setUpProgram(int subnetN, const std::string& language = "Chinese") {
        subnet_ = subnetN;
        dir.writeSettings(subnetN, {{"RunNet", "0"}, {"Language", language}});
        std::filesystem::copy_file(std::string(ORVA_TEST_SOURCE_TREE) + "/res/device.ini", dir.file("res/device.ini"),
                                   std::filesystem::copy_options::overwrite_existing);
        SetProgramDirectory(dir.path());
        AppSettings settings;
        ASSERT_TRUE(LoadAppSettings(SettingsFilePath(), settings));
        SetSettings(settings);
        ResetLanguageForTests();
        SelectLanguage(settings.Language);
        ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
        SetCurrentDeviceType("");
    }

    // A gateway that does not answer fails an exchange after a second, well inside the watchdog.
    static SessionOptions QuickOptions() {
        SessionOptions options;
        options.replyTimeoutSeconds = 1;
        return options;
    }

    void makePage(RecordSink* sink = nullptr, SessionOptions options = QuickOptions()) {
        page = std::make_unique<CorvaDlg>(nullptr, sink, options);
        page->setOperatorName("tech01");
        page->show();
        answerer.setInterval(5);
        QObject::connect(&answerer, &QTimer::timeout, [this] { answerOpenPrompt(); });
        answerer.start();
    }

    void TearDown() override {
        answerer.stop();
        page.reset();
        if (sim)
            sim->stop();
        SetCurrentDeviceType("");
        SetSettings(AppSettings{});
        ResetLanguageForTests();
    }

    void startSimulator(const std::string& model = "KT540G", std::vector<sim::Override> overrides = {}) {
        ASSERT_TRUE(StartSimulator(sim, subnet_, {.model = model, .sn = "SN0170", .overrides = std::move(overrides)}));
    }

    // The technician at the prompt window: OK unless told otherwise; held questions stay open.
    void answerOpenPrompt() {
        CDlgJudge* judge = page ? page->judge() : nullptr;
        if (!judge || !judge->isVisible())
            return;
        const int id = judge->questionId();
        if (held.count(id))
            return;
        seen.push_back({id, judge->mode(), judge->windowTitle(), judge->text(), judge->cancelButton()->isVisible(),
                        page->addressEdit()->isEnabled(), page->startButton()->IsInactive()});
        auto it = answers.find(id);
        const bool yes = it == answers.end() || it->second;
        QTest::mouseClick(yes ? judge->okButton() : judge->cancelButton(), Qt::LeftButton);
    }

    bool waitForRunEnd(int boundMs = 60000) {
        return QTest::qWaitFor([this] { return page->session().lastRun().ended; }, boundMs);
    }
    bool waitForPrompt(int questionId, int boundMs = 20000) {
        return QTest::qWaitFor(
            [this, questionId] { return page->judge()->isVisible() && page->judge()->questionId() == questionId; },
            boundMs);
    }

    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // The page is ready for the next Start, and no question is left on the screen.
    void expectIdle() const {
        EXPECT_FALSE(page->running());
        EXPECT_TRUE(page->addressEdit()->isEnabled());
        EXPECT_FALSE(page->startButton()->IsInactive());
        EXPECT_FALSE(page->judge()->isVisible());
    }

    // Check boxes of the item list, row by row.
    std::vector<bool> itemTicks() const {
        std::vector<bool> out;
        for (int r = 0; r < page->itemList()->topLevelItemCount(); ++r)
            out.push_back(page->itemList()->topLevelItem(r)->checkState(0) == Qt::Checked);
        return out;
    }

    // Column texts of the item list and of a log tab.
    std::vector<QString> itemColumn(int column) const {
        std::vector<QString> out;
        for (int r = 0; r < page->itemList()->topLevelItemCount(); ++r)
            out.push_back(page->itemList()->topLevelItem(r)->text(column));
        return out;
    }
    static std::vector<std::vector<QString>> rowsOf(const DiagLogList* list) {
        std::vector<std::vector<QString>> out;
        for (int r = 0; r < list->rowCount(); ++r)
            out.push_back({list->cellText(r, 0), list->cellText(r, 1), list->cellText(r, 2)});
        return out;
    }

    std::vector<StoredRecord> storedLogs() {
        RecordStore store;
        if (!store.open("logs"))
            return {};
        auto rows = store.logsAfter(0);
        store.close();
        return rows;
    }

    TempProgramDir dir{"orva-gui-diag"};
    RecordingNotifier notifier;
    UiPromptsTestScope prompts;
    std::unique_ptr<sim::GatewaySimulator> sim;
    std::unique_ptr<CorvaDlg> page;
    QTimer answerer;
    std::map<int, bool> answers;
    std::set<int> held;
    std::vector<SeenPrompt> seen;
    int subnet_ = 0;
};

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline QString Q(TextId id) {
    return QString::fromStdString(Text(id));
}

} // namespace orva::test
