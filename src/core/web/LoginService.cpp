#include "core/web/LoginService.h"

#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "core/web/HttpClient.h"
#include "core/web/LoginFile.h"
#include "core/web/LoginRequest.h"
#include "core/web/Utf8.h"
#include "core/web/XmlDocument.h"

namespace orva {

namespace {

LoginResult make(LoginOutcome outcome, LoginDisplay display, std::string message) {
    LoginResult r;
    r.outcome = outcome;
    r.display = display;
    r.message = std::move(message);
    return r;
}

} // namespace

LoginService::LoginService(LoginInput input) : input_(std::move(input)) {}

std::string LoginService::LoginFilePath() const {
    return JoinPath(input_.programDir, "res/login.xml");
}

LoginResult LoginService::Login() {
    if (input_.userName.empty())
        return make(LoginOutcome::UserNameEmpty, LoginDisplay::MessageBox, Text(TextId::UserNameEmpty));
    if (input_.password.empty())
        return make(LoginOutcome::PasswordEmpty, LoginDisplay::MessageBox, Text(TextId::PasswordEmpty));
    // The offline list was only ever made for credentials of this size; longer ones are refused
    // before anything is sent rather than digested in part.
    if (Utf16UnitBytes(input_.userName).size() > kMaxCredentialBytes ||
        Utf16UnitBytes(input_.password).size() > kMaxCredentialBytes)
        return make(LoginOutcome::CredentialsTooLong, LoginDisplay::MessageBox, Text(TextId::LoginFailed));

    const std::string request = BuildLoginRequest(input_.userName, input_.password);
    std::string reply;
    if (input_.runNet != 0) {
        const HttpOptions options = input_.http ? *input_.http : HttpOptions::FromSettings();
        CHttpClient client(CHttpClient::kDefaultUserAgent, options);
        // Only the reply matters: an empty one is no answer, whatever went wrong.
        client.Post(input_.loginUrl, request, reply);
    } else {
        reply = CannedLoginReply();
    }
    LogFile::instance().write("LOGIN", reply);
    LoginResult result = HandleReply(reply);
    result.reply = reply;
    return result;
}

LoginResult LoginService::HandleReply(const std::string& reply) const {
    if (reply.empty()) {
        switch (CheckOfflineCredentials(LoginFilePath(), input_.userName, input_.password)) {
        case OfflineCheck::Match:
            return make(LoginOutcome::OfflineOk, LoginDisplay::StatusLabel, Text(TextId::OfflineLoginOk));
        case OfflineCheck::Mismatch:
            return make(LoginOutcome::OfflineFailed, LoginDisplay::StatusLabel, Text(TextId::OfflineLoginFailed));
        case OfflineCheck::NoFile:
            break;
        }
        return make(LoginOutcome::OfflineUnavailable, LoginDisplay::StatusLabel, kOfflineFallbackText);
    }

    XmlDocument doc;
    // A damaged answer still yields what can be found in it; missing elements decide below.
    doc.Parse(reply);
    if (!doc.FindElement("SoftWareLogin"))
        return make(LoginOutcome::NotALoginReply, LoginDisplay::MessageBox, Text(TextId::LoginFailed));
    doc.EnterElement();
    if (!doc.FindElement("LoginResult") || doc.GetElementText() != "success")
        return make(LoginOutcome::Rejected, LoginDisplay::StatusLabel, Text(TextId::LoginFailed));

    // Failing to keep the offline list does not spoil an online login.
    RememberCredentials(LoginFilePath(), input_.userName, input_.password);

    // The offer and its address are looked for in this order, each after the one before.
    if (!doc.FindElement("UpdateSoftWareVersion"))
        return make(LoginOutcome::OnlineOk, LoginDisplay::StatusLabel, {});
    const std::string offered = doc.GetElementText();
    if (CompareUtf16(offered, input_.version) <= 0)
        return make(LoginOutcome::OnlineOk, LoginDisplay::StatusLabel, {});
    LoginResult r = make(LoginOutcome::UpdateOffered, LoginDisplay::Question, Text(TextId::AskDownloadNewVersion));
    r.offeredVersion = offered;
    if (doc.FindElement("DownLoadURL")) {
        r.downloadUrlFound = true;
        r.downloadUrl = doc.GetElementText();
    }
    return r;
}

} // namespace orva
