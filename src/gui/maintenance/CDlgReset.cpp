#include "gui/maintenance/CDlgReset.h"

#include "core/app/AppSettings.h"
#include "core/app/TextTable.h"
#include "gui/common/UiDispatcher.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "gui/maintenance/AddressEdit.h"
#include "gui/maintenance/PageStyle.h"
#include "core/protocol/CommandChannel.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>

namespace orva {

namespace {

QString RestoreQuestion(const std::string& gatewayAddress) {
    const QString segment = QString::fromStdString(RestoreSegment(gatewayAddress));
    if (IsEnglish())
        return QStringLiteral("Every gateway on %1 will be restored to its factory defaults and lose its "
                              "configuration. Continue?")
            .arg(segment);
    return QStringLiteral("%1 网段上的每一个网关都将恢复出厂设置，现有配置将全部丢失。是否继续？").arg(segment);
}

} // namespace

CDlgReset::CDlgReset(QWidget* parent) : Page(parent), session_(*this) {
    deviceInfo_ = new QGroupBox(QStringLiteral("设置维护信息"), this);
    addressCaption_ = new QLabel(QStringLiteral("维护地址："), this);
    address_ = new AddressEdit(this);
    operation_ = new QGroupBox(QStringLiteral("操作"), this);
    start_ = new CPngButton(this);
    results_ = new QListWidget(this);
    results_->setSortingEnabled(false);

    if (IsEnglish()) {
        deviceInfo_->setTitle(QString::fromStdString(Text(TextId::CapResetDeviceInfo)));
        addressCaption_->setText(QString::fromStdString(Text(TextId::CapResetAddress)));
        operation_->setTitle(QString::fromStdString(Text(TextId::CapResetOperation)));
        setWindowTitle(QString::fromStdString(Text(TextId::TitleReset)));
    }
    start_->SetPngFile(maintenance_page::SkinFile(skin::kResetStart));
    address_->setAddress(Settings().MaintenanceAddress);

    setDesignSize(maintenance_page::kResetDesignSize);
    resize(maintenance_page::kResetDesignSize);
    layOut();

    connect(start_, &QAbstractButton::clicked, this, &CDlgReset::onStart);
}

CDlgReset::~CDlgReset() = default;

void CDlgReset::layOut() {
    const int width = maintenance_page::kResetDesignSize.width();
    deviceInfo_->setGeometry(20, 15, width - 40, 80);
    const int captionWidth = addressCaption_->fontMetrics().horizontalAdvance(addressCaption_->text()) + 8;
    addressCaption_->setGeometry(45, 48, captionWidth, 22);
    address_->setGeometry(45 + captionWidth + 6, 46, 180, 26);
    operation_->setGeometry(20, 110, width - 40, 445);
    start_->move(45, 140);
    results_->setGeometry(45, 185, width - 90, 350);
}

void CDlgReset::onStart() {
    if (!session_.running()) {
        // The broadcast resets every gateway of the segment, not just the one typed, and cannot be
        // undone: the technician confirms the segment first, and Return alone answers No.
        const std::string address = address_->address();
        if (!UiPrompts::askYesNo(this, RestoreQuestion(address), {}, false))
            return;
        auto& channel = CommandChannel::Instance();
        // The channel refuses to wait without a reply time-out; one never set gets the tool's default.
        if (channel.ReplyTimeout() < 0)
            channel.SetReplyTimeout(kDefaultReplyTimeout);
        if (session_.start(address))
            ++restoresStarted_;
    }
    // Also when a restore was running already: one runs at a time.
    setStartEnabled(false);
}

void CDlgReset::setStartEnabled(bool enabled) {
    start_->setEnabled(enabled);
    start_->SetInactive(!enabled);
}

void CDlgReset::restoreStarted() {
    PostToUi(this, [this] { setStartEnabled(false); });
}

void CDlgReset::restoreResult(const std::string& line) {
    PostToUi(this, [this, text = QString::fromStdString(line)] { results_->addItem(text); });
}

void CDlgReset::restoreFinished() {
    PostToUi(this, [this] {
        ++restoresFinished_;
        if (restoresFinished_ == restoresStarted_) {
            setStartEnabled(true);
            emit restoreDone();
        }
    });
}

void CDlgReset::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), maintenance_page::kBackground);
}

} // namespace orva
