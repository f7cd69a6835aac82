#include "gui/records/CDlgLogQuery.h"

#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/RecordDetails.h"
#include "gui/common/QtText.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "core/records/ExportQueryRows.h"
#include "gui/records/CDlgStatistics.h"
#include "gui/records/LogRowsModel.h"
#include "gui/records/RecordDetailsPane.h"

#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace orva {

namespace {

// The width every result column starts with; the technician widens the ones he reads.
constexpr int kColumnWidth = 60;

QDate Today() {
    const LogDate today = TodayLogDate();
    return QDate(today.year, today.month, today.day);
}

LogDate ToLogDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

QDateEdit* MakeDatePicker(QWidget* parent) {
    auto* edit = new QDateEdit(Today(), parent);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return edit;
}

} // namespace

CDlgLogQuery::CDlgLogQuery(QWidget* parent) : CDlgLogQuery(parent, JoinPath(ProgramDirectory(), "orvalog.db")) {}

CDlgLogQuery::CDlgLogQuery(QWidget* parent, const std::string& databasePath) : Page(parent), store_(databasePath) {
    buildControls(databasePath);
    // A failure has been shown by the store; the page stays, unable to search.
    store_.open("logs");
}

CDlgLogQuery::~CDlgLogQuery() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    store_.close();
}

void CDlgLogQuery::buildControls(const std::string& databasePath) {
    // The labels keep their Chinese captions whatever the language.
    serial_ = new QLineEdit(this);
    serial_->setObjectName(QStringLiteral("serialEdit"));
    deviceType_ = new QLineEdit(this);
    deviceType_->setObjectName(QStringLiteral("deviceTypeEdit"));
    operator_ = new QLineEdit(this);
    operator_->setObjectName(QStringLiteral("operatorEdit"));
    startDate_ = MakeDatePicker(this);
    startDate_->setObjectName(QStringLiteral("startDate"));
    endDate_ = MakeDatePicker(this);
    endDate_->setObjectName(QStringLiteral("endDate"));

    searchButton_ = new CPngButton(this);
    searchButton_->setObjectName(QStringLiteral("searchButton"));
    searchButton_->SetPngFile(skin::SkinPath(QString::fromUtf8(skin::kConfigOk)));
    // Without its picture the button would have no size and could not be pressed.
    searchButton_->setFixedSize(searchButton_->HasImage() ? searchButton_->PictureSize() : QSize(80, 28));
    connect(searchButton_, &QAbstractButton::clicked, this, &CDlgLogQuery::search);

    exportButton_ = new QPushButton(Caption(TextId::CapSaveButton), this);
    exportButton_->setObjectName(QStringLiteral("exportButton"));
    exportButton_->setAutoDefault(false);
    connect(exportButton_, &QPushButton::clicked, this, &CDlgLogQuery::exportSpreadsheet);

    statisticsButton_ = new QPushButton(Caption(TextId::StatButton), this);
    statisticsButton_->setObjectName(QStringLiteral("statisticsButton"));
    statisticsButton_->setAutoDefault(false);
    statisticsButton_->setEnabled(false);
    connect(statisticsButton_, &QPushButton::clicked, this, &CDlgLogQuery::showStatistics);

    model_ = new LogRowsModel(this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("resultList"));
    list_->setModel(model_);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    // Fixed row heights and column widths: the view never measures a hundred thousand rows' texts.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    list_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setStretchLastSection(false);

    auto* filters = new QGridLayout;
    filters->addWidget(new CLabelEx(QStringLiteral("SN:"), this), 0, 0);
    filters->addWidget(serial_, 0, 1);
    filters->addWidget(new CLabelEx(QStringLiteral("设备类型:"), this), 0, 2);
    filters->addWidget(deviceType_, 0, 3);
    filters->addWidget(new CLabelEx(QStringLiteral("操作员:"), this), 0, 4);
    filters->addWidget(operator_, 0, 5);
    filters->addWidget(new CLabelEx(QStringLiteral("开始日期:"), this), 1, 0);
    filters->addWidget(startDate_, 1, 1);
    filters->addWidget(new CLabelEx(QStringLiteral("结束日期:"), this), 1, 2);
    filters->addWidget(endDate_, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(searchButton_);
    buttons->addWidget(exportButton_);
    buttons->addWidget(statisticsButton_);
    buttons->addStretch();
    filters->addLayout(buttons, 1, 4, 1, 2);
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 1);
    filters->setColumnStretch(5, 1);

    details_ = new RecordDetailsPane(databasePath, this);
    details_->setObjectName(QStringLiteral("recordDetailsPane"));
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &CDlgLogQuery::showSelectedDetails);
    // A new search empties the list: the pane no longer shows one of its rows.
    connect(model_, &QAbstractItemModel::modelReset, details_, &RecordDetailsPane::clearRow);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("resultSplitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(list_);
    split->addWidget(details_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 12, 12, 12);
    page->addLayout(filters);
    page->addWidget(split, 1);

    resize(designSize());
}

void CDlgLogQuery::showSelectedDetails() {
    const QModelIndex current = list_->selectionModel()->currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    if (row < 0 || row >= model_->rowCount()) {
        details_->clearRow();
        return;
    }
    details_->showRow(model_->columnNames(), model_->rows()[static_cast<std::size_t>(row)]);
}

LogFilter CDlgLogQuery::readFilter() const {
    LogFilter filter;
    filter.serial = serial_->text().toStdString();
    filter.deviceType = deviceType_->text().toStdString();
    filter.operatorName = operator_->text().toStdString();
    filter.from = ToLogDate(startDate_->date());
    filter.to = ToLogDate(endDate_->date());
    return filter;
}

void CDlgLogQuery::setBusy(bool busy) {
    busy_ = busy;
    searchButton_->setEnabled(!busy);
    searchButton_->SetInactive(busy);
    exportButton_->setEnabled(!busy);
    statisticsButton_->setEnabled(!busy && shown_.has_value());
}

void CDlgLogQuery::search() {
    if (!store_.isOpen() || busy_)
        return;
    const LogFilter filter = readFilter();
    model_->clearRows();
    searching_ = filter;
    shown_.reset();
    setBusy(true);
    // The previous worker has posted its result already; assigning joins it.
    worker_ = std::jthread([this, filter](std::stop_token stop) {
        auto result = std::make_shared<SearchResult>();
        result->ok = store_.queryLogs(filter, [&](const std::vector<std::string>& names, const RowTexts& texts) {
            if (stop.stop_requested())
                return 1;
            if (result->columns.empty())
                result->columns = names;
            result->rows.push_back(texts);
            return 0;
        });
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, result] { showResult(*result); }, Qt::QueuedConnection);
    });
}

void CDlgLogQuery::showResult(SearchResult& result) {
    // A failed statement shows nothing, like a search without matches.
    if (!result.ok)
        result.rows.clear();
    if (!result.rows.empty())
        model_->createColumns(result.columns);
    const int count = static_cast<int>(result.rows.size());
    model_->setRows(std::move(result.rows));
    shown_ = searching_;
    setBusy(false);
    emit searchFinished(count);
}

void CDlgLogQuery::exportSpreadsheet() {
    if (busy_ || model_->rowCount() == 0 || !shown_)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    UiPrompts::FileDialogOptions options;
    options.defaultFileName = QStringLiteral("%1%2%3%4%5%6.xls")
                                  .arg(now.date().year())
                                  .arg(now.date().month())
                                  .arg(now.date().day())
                                  .arg(now.time().hour())
                                  .arg(now.time().minute())
                                  .arg(now.time().second());
    options.filter = UiPrompts::filterFromClassic(QStringLiteral("(*.xls)|*.xls||"));
    options.defaultSuffix = QStringLiteral("xls");
    const QString path = UiPrompts::getSaveFileName(this, options);
    if (path.isEmpty())
        return;
    setBusy(true);
    // The rows stay untouched while the page is busy, so the worker reads them where they are.
    worker_ =
        std::jthread([this, path = path.toStdString(), sheet = sheetName_, filter = *shown_](std::stop_token) {
            // Faults of rows stored since the search are not among the shown rows and stay out of the sheet.
            const std::optional<std::vector<LogFault>> faults = store_.faultsOfLogs(filter);
            const Result<void> saved =
                faults ? ExportQueryRows(path, sheet, model_->columnNames(), model_->rows(), *faults, FaultItemName)
                       : Result<void>(Failure{store_.lastError()});
            QMetaObject::invokeMethod(
                this,
                [this, written = saved.ok(), error = QString::fromStdString(saved.error())] {
                    showExportOutcome(written, error);
                },
                Qt::QueuedConnection);
        });
}

CDlgStatistics* CDlgLogQuery::statisticsWindow() const {
    return statistics_.data();
}

void CDlgLogQuery::showStatistics() {
    if (busy_ || !shown_ || !store_.isOpen())
        return;
    if (statistics_)
        statistics_->close();
    statistics_ = new CDlgStatistics(store_.path(), *shown_, this);
    statistics_->setAttribute(Qt::WA_DeleteOnClose);
    statistics_->show();
}

void CDlgLogQuery::showExportOutcome(bool written, const QString& error) {
    setBusy(false);
    if (written)
        UiPrompts::information(this, QStringLiteral("Excel文件保存成功!"));
    else
        UiPrompts::information(this, QStringLiteral("Excel文件保存失败!\n") + error);
    emit exportFinished(written);
}

} // namespace orva
