#pragma once
// The diagnosis page: choose the gateway model, enter its maintenance address, start and stop a
// diagnosis, watch the items turn "√" or "X", read the faults and the gateway's identity, and page
// through the log of this diagnosis and of every diagnosis since the tool started.
//
// The page owns a DiagnosisSession and shows it: it is the session's view. The session's worker calls
// the view from its own threads; each such event is carried out on the UI thread and the worker goes
// on only once the widgets have changed. Calls the session makes from the UI thread (Start, Stop, Confirm)
// are carried out directly.
#include "core/diagnosis/DiagnosisSession.h"
#include "gui/maintenance/AddressEdit.h"
#include "gui/shell/Page.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTreeWidget;
class QTreeWidgetItem;

namespace orva {

class CBitComboBox;
class CDlgJudge;
class CLabelEx;
class CPage1Dlg;
class CPage2Dlg;
class CPngButton;

class CorvaDlg final : public Page, public DiagnosisView {
    Q_OBJECT
public:
    // `sink` receives finished records (nullptr: reported and stored as usual); `options` are the
    // session's time-outs. Reads res/device.ini (its absence ends the process, as the core decides).
    explicit CorvaDlg(QWidget* parent = nullptr, RecordSink* sink = nullptr, SessionOptions options = {});
    ~CorvaDlg() override;

    // --- Page ---
    bool running() const override;
    void setSettings(const std::string& version, const std::string& loginUrl, const std::string& reportUrl) override;
    void setOperatorName(const std::string& name) override;
    void handleModelConfirmed() override;

    std::string operatorName() const;
    std::string version() const { return version_; }
    std::string loginUrl() const { return loginUrl_; }
    std::string reportUrl() const { return reportUrl_; }
    // The highest row of logs before this run of the tool stored any: the records after it are this
    // run's. Learnt when the page is made, or, when the store could not be opened then, before the
    // first diagnosis starts (nothing is stored before that) or at the latest when it is asked for.
    int logIdAtStart() const;

    // The controls, for the main window's wiring and for tests.
    DiagnosisSession& session() { return *session_; }
    CDlgJudge* judge() const { return judge_; }
    CPage1Dlg* currentLogTab() const { return page1_; }
    CPage2Dlg* allLogsTab() const { return page2_; }
    CBitComboBox* modelCombo() const { return model_; }
    CPngButton* confirmButton() const { return confirm_; }
    CPngButton* startButton() const { return start_; }
    CPngButton* stopButton() const { return stop_; }
    CPngButton* currentLogButton() const { return currentLogButton_; }
    CPngButton* allLogsButton() const { return allLogsButton_; }
    AddressEdit* addressEdit() const { return address_; }
    QTreeWidget* itemList() const { return items_; }
    QListWidget* resultList() const { return results_; }
    QLineEdit* productFormEdit() const { return productForm_; }
    QLineEdit* barcodeEdit() const { return barcode_; }

    // The technician's actions.
    void confirmModel();
    void startDiagnosis();
    void stopDiagnosis();
    void showCurrentLog();
    void showAllLogs();
    // The cancel key: asks whether to leave, naming the records not yet stored; Yes hides the page.
    void askExit();

    // --- DiagnosisView ---
    void runStarting(const std::string& address) override;
    void runningChanged(bool running) override;
    void itemsShown(const std::vector<ItemRow>& rows) override;
    void itemsTicked(const std::vector<bool>& ticked) override;
    void itemStarted(int item) override;
    void itemFinished(int item, const std::string& mark, bool scroll) override;
    void stepFailed(const std::string& step, const std::string& result) override;
    void identityRead(const std::string& productClass, const std::string& serial) override;
    void logRowAdded(LogTab tab, int number, const std::string& item, const std::string& result) override;
    void faultsShown(const std::vector<std::string>& faults) override;
    void questionOpened(const Prompt& prompt, int item) override;
    void questionClosed() override;
    void message(const std::string& text) override;
    void runEnded(RunOutcome outcome) override;

signals:
    // A run is over and the page shows all of it (the record was stored, for a finished run).
    void diagnosisEnded(int outcome);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void applyEnglishCaptions();
    void fitAddressCaption();
    void placeLogTabs();
    // The progress the page shows on its own: the connecting line and the running item's mark.
    void clearConnecting();
    void clearRunningMark();
    // Carries out an event on the UI thread and returns once the widgets show it (directly when
    // called there). A page being destroyed, or a window closing, shows nothing more and lets the
    // waiting worker go.
    void showOnUi(std::function<void()> fn);
    // Learns logIdAtStart once the store opens. Quiet: whoever needs the store next shows why it
    // cannot be opened (before login that is the login's own store), so no second box appears.
    void learnLogIdAtStart() const;

    std::unique_ptr<DiagnosisSession> session_;
    std::string version_, loginUrl_, reportUrl_;
    mutable std::optional<int> logIdAtStart_;

    CBitComboBox* model_ = nullptr;
    CPngButton* confirm_ = nullptr;
    AddressEdit* address_ = nullptr;
    CPngButton* start_ = nullptr;
    CPngButton* stop_ = nullptr;
    QGroupBox* itemGroup_ = nullptr;
    QTreeWidget* items_ = nullptr;
    CLabelEx* resultCaption_ = nullptr;
    QListWidget* results_ = nullptr;
    QGroupBox* boardGroup_ = nullptr;
    CLabelEx* addressCaption_ = nullptr;
    CLabelEx* productFormCaption_ = nullptr;
    CLabelEx* barcodeCaption_ = nullptr;
    QLineEdit* productForm_ = nullptr;
    QLineEdit* barcode_ = nullptr;
    CPngButton* currentLogButton_ = nullptr;
    CPngButton* allLogsButton_ = nullptr;
    CPage1Dlg* page1_ = nullptr;
    CPage2Dlg* page2_ = nullptr;
    CDlgJudge* judge_ = nullptr;
    // Owned by their lists; forgotten whenever a list is emptied.
    QListWidgetItem* connecting_ = nullptr;
    QTreeWidgetItem* runningItem_ = nullptr;

    std::atomic<bool> closing_{false};
};

} // namespace orva
