#pragma once
// The log query page: searches the stored diagnoses by serial number, device type, operator or date
// range and lists the matching rows newest first, one column per table column; the shown rows can be
// saved as an .xls workbook (with a sheet of their faults when they have any). Below the list, the
// selected row's checks and faults (RecordDetailsPane). The search and the export run on the page's worker thread so
// that a large result never freezes the window; both buttons are disabled meanwhile.
#include "core/records/RecordStore.h"
#include "gui/shell/Page.h"

#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orva {

class CDlgStatistics;
class CLabelEx;
class CPngButton;
class LogRowsModel;
class RecordDetailsPane;

class CDlgLogQuery : public Page {
    Q_OBJECT
public:
    // Opens the page's own store on logs of orvalog.db in the program directory; a failure has been
    // shown to the technician and leaves the page unable to search.
    explicit CDlgLogQuery(QWidget* parent = nullptr);
    // The same on the file at `databasePath`.
    CDlgLogQuery(QWidget* parent, const std::string& databasePath);
    ~CDlgLogQuery() override;

    // The search button's handler: reads the filters, empties the list and starts the query. Does
    // nothing while the store is closed or a search or export is under way.
    void search();
    // The export button's handler: asks for a file and writes the shown rows with their titles and
    // cell texts. Does nothing when the list is empty or the page is busy.
    void exportSpreadsheet();
    // The statistics button's handler: opens the statistics window for the filter of the latest
    // finished search (a window still open for an earlier one is closed). Nothing before a search.
    void showStatistics();

    // The exported sheet is named after the logged-in technician ("Sheet1" until one is known).
    void setOperatorName(const std::string& name) override { sheetName_ = name; }

    bool storeOpen() const { return store_.isOpen(); }
    // True from the start of a search or export until its result is on the page.
    bool busy() const { return busy_; }

    QLineEdit* serialEdit() const { return serial_; }
    QLineEdit* deviceTypeEdit() const { return deviceType_; }
    QLineEdit* operatorEdit() const { return operator_; }
    QDateEdit* startDateEdit() const { return startDate_; }
    QDateEdit* endDateEdit() const { return endDate_; }
    CPngButton* searchButton() const { return searchButton_; }
    QPushButton* exportButton() const { return exportButton_; }
    QPushButton* statisticsButton() const { return statisticsButton_; }
    // The window the statistics button opened, while it is open.
    CDlgStatistics* statisticsWindow() const;
    QTableView* resultList() const { return list_; }
    LogRowsModel* resultModel() const { return model_; }
    RecordDetailsPane* detailsPane() const { return details_; }

signals:
    // The rows of a search are in the list.
    void searchFinished(int rows);
    // An export ended; `written` tells whether the file was written.
    void exportFinished(bool written);

private:
    struct SearchResult {
        std::vector<std::string> columns;
        std::vector<RowTexts> rows;
        bool ok = false;
    };

    void buildControls(const std::string& databasePath);
    void showSelectedDetails();
    LogFilter readFilter() const;
    void setBusy(bool busy);
    void showResult(SearchResult& result);
    void showExportOutcome(bool written, const QString& error);

    RecordStore store_;
    std::string sheetName_;
    bool busy_ = false;

    QLineEdit* serial_ = nullptr;
    QLineEdit* deviceType_ = nullptr;
    QLineEdit* operator_ = nullptr;
    QDateEdit* startDate_ = nullptr;
    QDateEdit* endDate_ = nullptr;
    CPngButton* searchButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* statisticsButton_ = nullptr;
    QTableView* list_ = nullptr;
    LogRowsModel* model_ = nullptr;
    // The filter of the search under way, and of the latest one whose rows are shown (the export reads
    // their faults with it, the statistics window figures them).
    LogFilter searching_;
    std::optional<LogFilter> shown_;
    QPointer<CDlgStatistics> statistics_;
    RecordDetailsPane* details_ = nullptr;

    // Declared last: it is stopped and joined first, while everything it uses still exists. It never
    // waits for the UI thread (results are posted), so joining it from there cannot deadlock.
    std::jthread worker_;
};

} // namespace orva
