#include "gui/diagnosis/CorvaDlg.h"
#include "gui/common/QtText.h"

#include "core/app/AppSettings.h"
#include "core/app/TextTable.h"
#include "gui/common/UiDispatcher.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CLabelEx.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CPage1Dlg.h"
#include "gui/diagnosis/CPage2Dlg.h"
#include "gui/diagnosis/DialogUnits.h"
#include "core/records/RecordStore.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace orva {

namespace {

constexpr int kItemColumnWidth = 250;
constexpr int kStatusColumnWidth = 200;
// The log tabs fill this rectangle of the page: left, top, and the distances from the right edge and
// to the bottom edge of the tabs.
constexpr int kLogTabLeft = 20;
constexpr int kLogTabTop = 420;
constexpr int kLogTabRightGap = 25;
constexpr int kLogTabBottom = 600;
constexpr int kDesignHeight = 620;

CPngButton* MakeImageButton(QWidget* parent, const char* image, const QRect& rect, const char* name) {
    auto* button = new CPngButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    // Without its picture the button keeps its layout size, so it can still be pressed.
    if (!button->SetPngFile(skin::SkinPath(QString::fromUtf8(image))))
        button->resize(rect.size());
    button->move(rect.topLeft());
    return button;
}

QFrame* MakeFrame(QWidget* parent, const QRect& rect) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(rect);
    return frame;
}

CLabelEx* MakeLabel(QWidget* parent, const QString& text, const QRect& rect) {
    auto* label = new CLabelEx(text, parent);
    label->setGeometry(rect);
    return label;
}

} // namespace

CorvaDlg::CorvaDlg(QWidget* parent, RecordSink* sink, SessionOptions options) : Page(parent) {
    setObjectName(QStringLiteral("diagnosisPage"));
    setDesignSize(QSize(dlu::Px(497), kDesignHeight));
    resize(designSize());
    buildControls();
    applyEnglishCaptions();
    fitAddressCaption();

    judge_ = new CDlgJudge(this);
    judge_->hide();
    connect(judge_, &CDlgJudge::acknowledged, this, [this](int id) { session_->promptAck(id); });
    connect(judge_, &CDlgJudge::answeredYes, this, [this](int id, int value) { session_->promptYes(id, value); });
    connect(judge_, &CDlgJudge::answeredNo, this, [this](int id, int value) { session_->promptNo(id, value); });

    // The export saves the diagnoses of this run of the tool: those stored after the last row of now.
    learnLogIdAtStart();

    session_ = std::make_unique<DiagnosisSession>(*this, sink, options);
    const std::vector<std::string> offered = session_->initialise();
    for (const std::string& name : offered)
        model_->addItem(Q(name));
    // The page starts with KT540G's template; nothing is confirmed until the technician does so.
    model_->setCurrentText(QString::fromUtf8(kDefaultModel));
}

CorvaDlg::~CorvaDlg() {
    // Nothing more is shown from here on. The session joins its workers as it goes, and one of them may
    // be waiting for this thread to show an event, which nothing releases before the page is gone: the
    // session goes on a thread of its own while this one lets such events through (they do nothing
    // now), so no worker waits on a page that no longer draws.
    closing_ = true;
    std::atomic<bool> gone{false};
    std::thread ender([this, &gone] {
        session_.reset();
        gone = true;
    });
    while (!gone) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ender.join();
}

void CorvaDlg::buildControls() {
    using dlu::Rect;
    MakeFrame(this, Rect(7, 7, 483, 33));
    MakeLabel(this, QStringLiteral("选择设备类型："), Rect(12, 19, 55, 9));

    model_ = new CBitComboBox(this);
    model_->setObjectName(QStringLiteral("modelCombo"));
    model_->setEditable(true);
    model_->setInsertPolicy(QComboBox::NoInsert);
    model_->ApplyStandardSkin();
    // The drop-down height of the layout is the open list's; the face is as high as the skin draws it.
    const QRect modelRect = Rect(73, 19, 52, 73);
    const int faceHeight = std::max(model_->sizeHint().height(), dlu::Px(14));
    model_->setGeometry(modelRect.x(), dlu::Px(16), modelRect.width(), faceHeight);

    confirm_ = MakeImageButton(this, skin::kConfigOk, Rect(132, 16, 50, 14), "confirmButton");
    connect(confirm_, &QAbstractButton::clicked, this, &CorvaDlg::confirmModel);

    addressCaption_ = MakeLabel(this, QStringLiteral("终端维护地址："), Rect(197, 20, 53, 8));
    addressCaption_->setObjectName(QStringLiteral("addressCaption"));
    // An address control: a half-typed address reads with its blank parts as 0, never as typed.
    address_ = new AddressEdit(this);
    address_->setObjectName(QStringLiteral("addressEdit"));
    address_->setGeometry(Rect(255, 18, 100, 15));
    address_->setAddress(Settings().MaintenanceAddress);

    start_ = MakeImageButton(this, skin::kDiagStart, Rect(368, 16, 50, 14), "startButton");
    connect(start_, &QAbstractButton::clicked, this, &CorvaDlg::startDiagnosis);
    stop_ = MakeImageButton(this, skin::kDiagStop, Rect(428, 16, 50, 14), "stopButton");
    connect(stop_, &QAbstractButton::clicked, this, &CorvaDlg::stopDiagnosis);

    itemGroup_ = new QGroupBox(QStringLiteral("诊断项列表"), this);
    itemGroup_->setObjectName(QStringLiteral("itemGroup"));
    itemGroup_->setGeometry(Rect(8, 45, 294, 170));
    items_ = new QTreeWidget(this);
    items_->setObjectName(QStringLiteral("itemList"));
    items_->setGeometry(Rect(13, 56, 280, 155));
    items_->setColumnCount(2);
    items_->setHeaderLabels({Caption(TextId::ColDiagItem), Caption(TextId::ColDiagStatus)});
    items_->header()->setStretchLastSection(false);
    items_->setColumnWidth(0, kItemColumnWidth);
    items_->setColumnWidth(1, kStatusColumnWidth);
    items_->setRootIsDecorated(false);
    items_->setItemsExpandable(false);
    items_->setUniformRowHeights(true);
    items_->setSelectionBehavior(QAbstractItemView::SelectRows);
    items_->setSelectionMode(QAbstractItemView::SingleSelection);
    items_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    items_->setAttribute(Qt::WA_TranslucentBackground);

    MakeFrame(this, Rect(310, 45, 180, 113));
    resultCaption_ = MakeLabel(this, QStringLiteral("诊断结果："), Rect(316, 51, 100, 10));
    resultCaption_->setObjectName(QStringLiteral("resultCaption"));
    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("resultList"));
    results_->setGeometry(Rect(317, 65, 165, 88));

    boardGroup_ = new QGroupBox(QStringLiteral("单板基本信息"), this);
    boardGroup_->setObjectName(QStringLiteral("boardGroup"));
    boardGroup_->setGeometry(Rect(310, 162, 180, 53));
    productFormCaption_ = MakeLabel(this, QStringLiteral("产品形态："), Rect(316, 175, 50, 12));
    productFormCaption_->setObjectName(QStringLiteral("productFormCaption"));
    productForm_ = new QLineEdit(this);
    productForm_->setObjectName(QStringLiteral("productFormEdit"));
    productForm_->setReadOnly(true);
    productForm_->setGeometry(Rect(368, 174, 114, 13));
    barcodeCaption_ = MakeLabel(this, QStringLiteral("整机条码："), Rect(316, 194, 50, 12));
    barcodeCaption_->setObjectName(QStringLiteral("barcodeCaption"));
    barcode_ = new QLineEdit(this);
    barcode_->setObjectName(QStringLiteral("barcodeEdit"));
    barcode_->setReadOnly(true);
    barcode_->setGeometry(Rect(368, 193, 114, 13));

    MakeFrame(this, Rect(7, 215, 483, 134))->setObjectName(QStringLiteral("logFrame"));
    currentLogButton_ = MakeImageButton(this, skin::kCurrentLog, Rect(13, 222, 50, 14), "currentLogButton");
    connect(currentLogButton_, &QAbstractButton::clicked, this, &CorvaDlg::showCurrentLog);
    allLogsButton_ = MakeImageButton(this, skin::kAllLogs, Rect(71, 222, 50, 14), "allLogsButton");
    connect(allLogsButton_, &QAbstractButton::clicked, this, &CorvaDlg::showAllLogs);

    page1_ = new CPage1Dlg(this);
    page2_ = new CPage2Dlg(this, this);
    placeLogTabs();
    showCurrentLog();
}

void CorvaDlg::applyEnglishCaptions() {
    if (!IsEnglish())
        return;
    addressCaption_->setText(Q(Text(TextId::CapMaintAddress)));
    resultCaption_->setText(Q(Text(TextId::CapDiagResult)));
    boardGroup_->setTitle(Q(Text(TextId::CapBoardInfo)));
    productFormCaption_->setText(Q(Text(TextId::CapProductForm)));
    barcodeCaption_->setText(Q(Text(TextId::CapBarcode)));
    itemGroup_->setTitle(Q(Text(TextId::CapItemList)));
}

void CorvaDlg::fitAddressCaption() {
    // The label draws one line, a few pixels in from its left edge. A caption longer than its place
    // (the English one) takes the gap after the confirm button, then as much of the address entry as
    // the longest address leaves free, and only then a smaller font.
    constexpr int kTextInset = 4;
    constexpr int kGap = 6;
    constexpr int kSmallestPointSize = 7;
    const auto needed = [this] {
        return QFontMetrics(addressCaption_->font()).horizontalAdvance(addressCaption_->text()) + kTextInset + 2;
    };
    if (needed() <= addressCaption_->width())
        return;
    QRect caption = addressCaption_->geometry();
    caption.setLeft(confirm_->geometry().right() + 1 + kGap);
    QRect address = address_->geometry();
    const int addressWidth = QFontMetrics(address_->font()).horizontalAdvance(QStringLiteral("255.255.255.255")) + 16;
    const int captionRight = std::min(caption.left() + needed(), address.right() + 1 - addressWidth - kGap);
    if (captionRight + kGap > address.left()) {
        address.setLeft(captionRight + kGap);
        address_->setGeometry(address);
    }
    caption.setRight(std::max(caption.right(), captionRight - 1));
    addressCaption_->setGeometry(caption);
    QFont font = addressCaption_->font();
    while (needed() > addressCaption_->width() && font.pointSize() > kSmallestPointSize) {
        font.setPointSize(font.pointSize() - 1);
        addressCaption_->setFont(font);
    }
}

void CorvaDlg::placeLogTabs() {
    // The main window may make the page wider than it was laid out for; the tabs keep to the log area's
    // frame, which stays where the layout put it, instead of running past it.
    const int right = std::min(width(), designSize().width()) - kLogTabRightGap;
    const QRect rect(QPoint(kLogTabLeft, kLogTabTop), QPoint(right - 1, kLogTabBottom - 1));
    page1_->setGeometry(rect);
    page2_->setGeometry(rect);
}

void CorvaDlg::resizeEvent(QResizeEvent* event) {
    Page::resizeEvent(event);
    placeLogTabs();
}

void CorvaDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(240, 240, 240));
}

// --- the technician's actions ---

void CorvaDlg::confirmModel() {
    if (session_->confirmModel(model_->currentText().toStdString()) == DiagnosisSession::ConfirmResult::Confirmed)
        emit modelConfirmed();
}

void CorvaDlg::handleModelConfirmed() {
    session_->deviceTypeChanged();
}

void CorvaDlg::learnLogIdAtStart() const {
    if (logIdAtStart_)
        return;
    RecordStore store;
    store.holdMessages(true);
    if (store.open("logs"))
        logIdAtStart_ = store.highestLogId();
    store.close();
}

int CorvaDlg::logIdAtStart() const {
    learnLogIdAtStart();
    // Still no store: an export cannot read one either; should it, it takes none of the history.
    return logIdAtStart_.value_or(std::numeric_limits<int>::max());
}

void CorvaDlg::startDiagnosis() {
    // Before this run stores anything, so that its record is among those after the id.
    learnLogIdAtStart();
    session_->start(address_->address());
}

void CorvaDlg::stopDiagnosis() {
    session_->stop();
}

void CorvaDlg::showCurrentLog() {
    page1_->show();
    page2_->hide();
    currentLogButton_->SetSelected(true);
    allLogsButton_->SetSelected(false);
}

void CorvaDlg::showAllLogs() {
    page2_->show();
    page1_->hide();
    allLogsButton_->SetSelected(true);
    currentLogButton_->SetSelected(false);
}

void CorvaDlg::askExit() {
    const int pending = session_->pendingRecords();
    QString question;
    if (pending > 0) {
        const std::string& format = Text(TextId::ExitUnreported);
        const std::size_t at = format.find("%d");
        std::string text = format;
        if (at != std::string::npos)
            text.replace(at, 2, std::to_string(pending));
        question = Q(text);
    } else {
        question = Q(Text(TextId::ExitConfirm));
    }
    if (UiPrompts::askYesNo(this, question, Q(Text(TextId::ExitTitle))))
        hide();
}

void CorvaDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        askExit();
        return;
    }
    Page::keyPressEvent(event);
}

// --- Page ---

bool CorvaDlg::running() const {
    return session_ && session_->running();
}

void CorvaDlg::setSettings(const std::string& version, const std::string& loginUrl, const std::string& reportUrl) {
    version_ = version;
    loginUrl_ = loginUrl;
    reportUrl_ = reportUrl;
}

void CorvaDlg::setOperatorName(const std::string& name) {
    session_->setOperator(name);
}

std::string CorvaDlg::operatorName() const {
    return session_->operatorName();
}

// --- DiagnosisView ---

void CorvaDlg::showOnUi(std::function<void()> fn) {
    if (closing_)
        return;
    CallOnUi(this, [this, fn = std::move(fn)] {
        if (!closing_)
            fn();
    });
}

void CorvaDlg::runStarting(const std::string& address) {
    showOnUi([this, address] {
        // What the last run showed goes: its items, this run's log tab, its faults, its gateway.
        runningItem_ = nullptr;
        items_->clear();
        page1_->clearResultRows();
        connecting_ = nullptr;
        results_->clear();
        productForm_->clear();
        barcode_->clear();
        QString text = Caption(TextId::DiagConnecting);
        text.replace(QStringLiteral("%s"), Q(address));
        connecting_ = new QListWidgetItem(text);
        results_->insertItem(0, connecting_);
    });
}

void CorvaDlg::runningChanged(bool running) {
    showOnUi([this, running] {
        address_->setEnabled(!running);
        start_->SetInactive(running);
        if (!running) {
            // The run ended before the item's result or the connection came.
            clearConnecting();
            clearRunningMark();
        }
    });
}

void CorvaDlg::itemsShown(const std::vector<ItemRow>& rows) {
    showOnUi([this, rows] {
        // Connected: the rows replace the connecting line.
        clearConnecting();
        runningItem_ = nullptr;
        items_->clear();
        for (const ItemRow& row : rows) {
            auto* item = new QTreeWidgetItem(items_, QStringList{Q(row.name), QString()});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, row.ticked ? Qt::Checked : Qt::Unchecked);
        }
    });
}

void CorvaDlg::itemsTicked(const std::vector<bool>& ticked) {
    showOnUi([this, ticked] {
        const int rows = std::min(items_->topLevelItemCount(), static_cast<int>(ticked.size()));
        for (int r = 0; r < rows; ++r) {
            QTreeWidgetItem* item = items_->topLevelItem(r);
            item->setCheckState(0, ticked[static_cast<size_t>(r)] ? Qt::Checked : Qt::Unchecked);
            item->setText(1, QString());
        }
    });
}

void CorvaDlg::itemStarted(int itemNumber) {
    showOnUi([this, itemNumber] {
        // An event that reaches the page after Stop must not leave a mark no result will replace.
        if (!session_ || !session_->running())
            return;
        clearRunningMark();
        if (QTreeWidgetItem* item = items_->topLevelItem(itemNumber - 1)) {
            item->setText(1, Caption(TextId::ItemRunning));
            runningItem_ = item;
        }
    });
}

void CorvaDlg::itemFinished(int itemNumber, const std::string& mark, bool scroll) {
    showOnUi([this, itemNumber, mark, scroll] {
        QTreeWidgetItem* item = items_->topLevelItem(itemNumber - 1);
        if (!item)
            return;
        if (item == runningItem_)
            runningItem_ = nullptr;
        item->setText(1, Q(mark));
        if (scroll)
            items_->scrollToItem(item, QAbstractItemView::EnsureVisible);
    });
}

void CorvaDlg::stepFailed(const std::string& step, const std::string& result) {
    showOnUi([this, step, result] { items_->insertTopLevelItem(0, new QTreeWidgetItem({Q(step), Q(result)})); });
}

void CorvaDlg::identityRead(const std::string& productClass, const std::string& serial) {
    showOnUi([this, productClass, serial] {
        productForm_->setText(Q(productClass));
        barcode_->setText(Q(serial));
    });
}

void CorvaDlg::logRowAdded(LogTab tab, int number, const std::string& item, const std::string& result) {
    (void)number; // each tab counts its own rows, as the session does
    showOnUi([this, tab, item, result] {
        if (tab == LogTab::Current)
            page1_->appendResultRow(item, result);
        else
            page2_->appendResultRow(item, result);
    });
}

void CorvaDlg::faultsShown(const std::vector<std::string>& faults) {
    showOnUi([this, faults] {
        for (const std::string& text : faults)
            results_->addItem(Q(text));
    });
}

void CorvaDlg::questionOpened(const Prompt& prompt, int itemNumber) {
    showOnUi([this, prompt, itemNumber] {
        judge_->SetMode(prompt.mode);
        judge_->SetQuestion(Q(prompt.title), Q(prompt.text), prompt.questionId, prompt.value);
        if (!judge_->isVisible()) {
            const QPoint centre = mapToGlobal(rect().center());
            judge_->move(centre - QPoint(judge_->width() / 2, judge_->height() / 2));
        }
        judge_->show();
        judge_->raise();
        judge_->activateWindow();
        if (QTreeWidgetItem* item = itemNumber != 0 ? items_->topLevelItem(itemNumber - 1) : nullptr)
            items_->scrollToItem(item, QAbstractItemView::EnsureVisible);
    });
}

void CorvaDlg::questionClosed() {
    showOnUi([this] { judge_->hide(); });
}

void CorvaDlg::clearConnecting() {
    if (!connecting_)
        return;
    delete results_->takeItem(results_->row(connecting_));
    connecting_ = nullptr;
}

void CorvaDlg::clearRunningMark() {
    if (runningItem_ && runningItem_->text(1) == Caption(TextId::ItemRunning))
        runningItem_->setText(1, QString());
    runningItem_ = nullptr;
}

void CorvaDlg::message(const std::string& text) {
    showOnUi([this, text] { UiPrompts::information(this, Q(text)); });
}

void CorvaDlg::runEnded(RunOutcome outcome) {
    showOnUi([this, outcome] { emit diagnosisEnded(static_cast<int>(outcome)); });
}

} // namespace orva
