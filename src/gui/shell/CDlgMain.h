#pragma once
// The main window: a borderless window with the picture header, six navigation buttons, a close and a
// minimise button and one page at a time below the header. It runs the login while it starts, hands
// the operator to the diagnosis page, starts the upload of stored records, refuses to leave a page
// whose operation runs, and asks before closing.
#include "gui/shell/Page.h"
#include "gui/shell/PageId.h"

#include <QDialog>
#include <QPixmap>

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace orva {

class CDlgLogin;
class CPngButton;
class UploadPass;

class CDlgMain : public QDialog {
    Q_OBJECT
public:
    using PageFactory = std::function<Page*(PageId id, QWidget* parent)>;
    using UploadFactory = std::function<std::unique_ptr<UploadPass>()>;

    static constexpr const char* kWindowTitle = "Velmar终端诊断工具";

    // The Version, LoginURL and ReportURL settings, in that order.
    CDlgMain(std::string version, std::string loginUrl, std::string reportUrl, QWidget* parent = nullptr);
    ~CDlgMain() override;

    // Replace how pages and the upload pass are made (tests; both must be set before initialise).
    void setPageFactory(PageFactory factory) { pageFactory_ = std::move(factory); }
    void setUploadFactory(UploadFactory factory) { uploadFactory_ = std::move(factory); }

    // Images, size, pages, buttons; selects the diagnosis page. Does not log in.
    void initialise();
    // Shows the login dialog and waits until it ends; on OK takes the operator, hands it to the diagnosis
    // page and starts the upload pass. True when logged in.
    bool runLogin();
    // initialise, runLogin, then shows the window until it closes. Returns the dialog's result.
    int run();

    // The selection steps: false (after the switching message) while the current page's operation runs.
    bool selectPage(PageId id);
    // The close button: asks, and on Yes ends the upload pass and closes.
    void requestClose();

    PageId currentPage() const { return current_; }
    Page* page(PageId id) const { return pages_[PageIndex(id)]; }
    CPngButton* navButton(PageId id) const { return navButtons_[PageIndex(id)]; }
    CPngButton* closeButton() const { return closeButton_; }
    CPngButton* minimiseButton() const { return minimiseButton_; }
    CDlgLogin* loginDialog() const { return login_; }
    bool loggedIn() const { return loggedIn_; }
    const std::string& operatorName() const { return operatorName_; }
    UploadPass* uploadPass() const { return upload_.get(); }
    int headerWidth() const { return headerWidth_; }

    // The message refusing to leave the page, or "" when leaving is allowed.
    static std::string SwitchRefusal(PageId current, const Page& page);
    static std::string NavigationImage(PageId id);

public slots:
    // The diagnosis page confirmed a model: pass it on to the page, then show it.
    void onModelConfirmed();

    // Every way the window ends (the confirmed close, Escape, the system menu's Close) passes here: from
    // this moment no worker gets a message box any more (see GuiNotifier), since the pages and the
    // upload pass are about to be waited for.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void loggedInAs(const std::string& userName);
    void startUploadPass();
    void restoreWhileLoggedOut();

    std::string version_;
    std::string loginUrl_;
    std::string reportUrl_;
    std::string operatorName_;
    bool loggedIn_ = false;
    bool initialised_ = false;
    bool pageSelected_ = false;

    PageFactory pageFactory_;
    UploadFactory uploadFactory_;
    std::unique_ptr<UploadPass> upload_;
    CDlgLogin* login_ = nullptr;

    QPixmap header_;
    int headerWidth_ = 0;
    std::array<Page*, 6> pages_{};
    std::array<CPngButton*, 6> navButtons_{};
    CPngButton* closeButton_ = nullptr;
    CPngButton* minimiseButton_ = nullptr;
    PageId current_ = PageId::Diagnosis;
};

} // namespace orva
