#pragma once
// The image upgrade page: the technician chooses a firmware image and presses Transfer; the image is
// broadcast to every gateway of the segment, and once the gateways have had time to reboot, each one
// that answers the status query gets a line in the result list. Cancel stops a running transfer.
// Query again asks for the gateways' state once more, without sending the image again.
#include "core/maintenance/UpgradeSession.h"
#include "gui/shell/Page.h"

#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace orva {

class CPngButton;

class CDlgImgUpdate : public Page, private UpgradeView {
    Q_OBJECT
public:
    // The browse dialog's filter, in the classic form.
    static constexpr const char* kImageFilter = "所有文件(*.*)|*.*||";

    explicit CDlgImgUpdate(QWidget* parent = nullptr);
    ~CDlgImgUpdate() override;

    // True from Transfer until the status check has ended or the transfer was cancelled; the main window
    // keeps the page meanwhile.
    bool running() const override { return session_.running(); }
    // The image chosen with Browse (what the field shows may have been typed over; it is not used).
    std::string imagePath() const { return session_.imagePath(); }

    QLabel* chooseImageCaption() const { return chooseCaption_; }
    QLineEdit* pathEdit() const { return pathEdit_; }
    CPngButton* browseButton() const { return browse_; }
    CPngButton* transferButton() const { return transfer_; }
    CPngButton* cancelButton() const { return cancel_; }
    QPushButton* queryAgainButton() const { return queryAgain_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusLabel() const { return status_; }
    QLabel* resultCaption() const { return resultCaption_; }
    QListWidget* resultList() const { return results_; }
    QLabel* afterTransferCaption() const { return afterTransfer_; }
    QLabel* transferNote1() const { return note1_; }
    QLabel* transferNote2() const { return note2_; }

public slots:
    void onBrowse();
    void onTransfer();
    void onCancel();
    // The hidden test button: the status check alone.
    void onCheck();
    // "重新查询": the status query alone, at once (no image, no wait for a reboot).
    void onQueryAgain();

signals:
    // Emitted on the UI thread once the last call of a run (a transfer with its check, a check, a
    // cancelled or failed transfer) has been handled.
    void upgradeDone();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press Transfer, the page's default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Called on the session's worker (or, for a cancel, on the UI thread); each call is posted to the page.
    void progressChanged(int percent) override;
    void statusChanged(const std::string& text) override;
    void statusHidden() override;
    void transferEnabled(bool enabled) override;
    void resultLine(const std::string& line) override;
    void transferFailed(const std::string& message) override;

    void layOut();
    void setTransferEnabled(bool enabled);

    QLabel* chooseCaption_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    CPngButton* browse_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    CPngButton* transfer_ = nullptr;
    CPngButton* cancel_ = nullptr;
    QLabel* resultCaption_ = nullptr;
    QListWidget* results_ = nullptr;
    QLabel* afterTransfer_ = nullptr;
    QLabel* note1_ = nullptr;
    QLabel* note2_ = nullptr;
    QPushButton* check_ = nullptr;
    QPushButton* queryAgain_ = nullptr;
    // Last, so it goes first: its thread ends before the widgets it reports to.
    UpgradeSession session_;
};

} // namespace orva
