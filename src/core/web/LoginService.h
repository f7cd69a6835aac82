#pragma once
// The login without its dialog: asks the login service (or, with the network switched off, a canned
// answer), keeps res/login.xml, falls back to the offline check when no answer comes, and reads the
// update offer. It runs synchronously on the caller's thread and shows nothing: the outcome says what
// the front end should show and do.
#include "core/web/HttpOptions.h"

#include <optional>
#include <string>

namespace orva {

struct LoginInput {
    std::string loginUrl;            // the LoginURL setting
    std::string version;             // the Version setting; a newer version on offer is compared with it
    std::string userName;            // as typed
    std::string password;            // as typed
    std::string programDir;          // with a trailing '/'; res/login.xml lives below it
    int runNet = 1;                  // 0: no request, the canned reply stands in
    std::optional<HttpOptions> http; // unset: from the settings
};

enum class LoginOutcome {
    UserNameEmpty,      // nothing sent; message box, focus to the user name
    PasswordEmpty,      // nothing sent; message box, focus to the password
    CredentialsTooLong, // nothing sent; user name or password above 127 bytes of UTF-8; message box
    OnlineOk,           // logged in online, no newer version
    UpdateOffered,      // logged in online and a newer version is offered: ask, then maybe download
    NotALoginReply,     // the answer has no SoftWareLogin: message box
    Rejected,           // LoginResult missing or not "success": status label; the dialog stays open
    OfflineOk,          // no answer, offline credentials matched: status label, logged in
    OfflineFailed,      // no answer, offline credentials did not match: status label
    OfflineUnavailable, // no answer and no offline list: the status label keeps the fallback text
};

// How the front end presents LoginResult::message.
enum class LoginDisplay {
    MessageBox,  // OK button only
    StatusLabel, // the dialog's status line
    Question,    // OK and Cancel; OK leads to choosing the file and downloading
};

struct LoginResult {
    LoginOutcome outcome = LoginOutcome::OfflineUnavailable;
    LoginDisplay display = LoginDisplay::StatusLabel;
    std::string message;
    // The service's answer as logged ("" when none came).
    std::string reply;
    // UpdateOffered only: whether the answer named an address after the version, and that address as
    // it stands (no address found means the login completes without download).
    bool downloadUrlFound = false;
    std::string downloadUrl;
    std::string offeredVersion;

    // The dialog ends with OK (after the update question and download, if any).
    bool loggedIn() const {
        return outcome == LoginOutcome::OnlineOk || outcome == LoginOutcome::UpdateOffered ||
               outcome == LoginOutcome::OfflineOk;
    }
};

// The status line shown while falling back to the offline check; it stays when no offline list exists.
inline constexpr const char* kOfflineFallbackText = "在线登陆失败,开始离线登陆";
// The status line while the request is under way.
inline constexpr const char* kLoggingInText = "正在登录中，请稍等";
// The text of the download progress window.
inline constexpr const char* kDownloadingText = "更新文件下载中...";
// The longest user name or password, in bytes of UTF-8, that the offline list was made for.
inline constexpr std::size_t kMaxCredentialBytes = 127;

class LoginService {
public:
    explicit LoginService(LoginInput input);

    // Checks the input, sends the request (or takes the canned reply), writes the "LOGIN" log line and
    // handles the reply.
    LoginResult Login();

    // What the reply means, as Login handles it after the request: remembers the credentials after an
    // online success, checks offline when the reply is empty.
    LoginResult HandleReply(const std::string& reply) const;

    // Where the offline list lives.
    std::string LoginFilePath() const;

private:
    LoginInput input_;
};

} // namespace orva
