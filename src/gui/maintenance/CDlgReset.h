#pragma once
// The restore page: the technician names a gateway of the segment and presses Start; every gateway of
// that segment is told "HG_REVOCERY_PRECONFIG" by broadcast, and each one that answers within
// `resetlistentime` seconds gets a line in the result list, in arrival order. The list keeps its lines
// for the life of the page.
#include "core/maintenance/RestoreSession.h"
#include "gui/shell/Page.h"

#include <string>

class QGroupBox;
class QLabel;
class QListWidget;

namespace orva {

class AddressEdit;
class CPngButton;

class CDlgReset : public Page, private RestoreView {
    Q_OBJECT
public:
    // The reply time-out a restore uses when nobody has set the channel's yet (the diagnosis page
    // normally sets it when it is built).
    static constexpr int kDefaultReplyTimeout = 15;

    explicit CDlgReset(QWidget* parent = nullptr);
    ~CDlgReset() override;

    // True from Start until the listen time has passed; the main window keeps the page meanwhile.
    bool running() const override { return session_.running(); }

    AddressEdit* addressEdit() const { return address_; }
    CPngButton* startButton() const { return start_; }
    QListWidget* resultList() const { return results_; }
    QGroupBox* deviceInfoGroup() const { return deviceInfo_; }
    QGroupBox* operationGroup() const { return operation_; }
    QLabel* addressCaption() const { return addressCaption_; }

public slots:
    // The start button: a restore of the segment of the address in the field, unless one runs.
    void onStart();

signals:
    // Emitted on the UI thread once a restore's last line is in the list and Start is enabled again.
    void restoreDone();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Called on the restore thread; each call is posted to the page.
    void restoreStarted() override;
    void restoreResult(const std::string& line) override;
    void restoreFinished() override;

    void layOut();
    void setStartEnabled(bool enabled);

    QGroupBox* deviceInfo_ = nullptr;
    QGroupBox* operation_ = nullptr;
    QLabel* addressCaption_ = nullptr;
    AddressEdit* address_ = nullptr;
    CPngButton* start_ = nullptr;
    QListWidget* results_ = nullptr;
    // Restores begun and finished; Start comes back only when every one begun has finished, so the end
    // of one restore, handled late, never enables Start while the next one runs.
    int restoresStarted_ = 0;
    int restoresFinished_ = 0;
    // Last, so it goes first: its thread ends before the widgets it reports to.
    RestoreSession session_;
};

} // namespace orva
