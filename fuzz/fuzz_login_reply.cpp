// The login service's answer as it may arrive (an error page, a truncated or foreign document), with
// whatever res/login.xml a previous login, an editor or a damaged disk left behind. The input is the
// answer, then optionally a zero byte and the bytes of res/login.xml (no zero byte: no such file).
#include "FuzzSupport.h"

#include "core/web/LoginFile.h"
#include "core/web/LoginService.h"
#include "core/web/XmlDocument.h"

#include <cstdio>
#include <filesystem>

namespace {

const std::string& ProgramDir() {
    static const std::string dir = [] {
        const std::string d = orva::fuzz::ScratchDir() + "program/";
        std::filesystem::create_directories(d + "res");
        return d;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = orva::fuzz::AsText(data, size);
    const std::size_t nul = input.find('\0');
    const std::string reply(input.substr(0, nul));

    orva::LoginInput in;
    in.loginUrl = "http://127.0.0.1:9/login";
    in.version = "1.0.0";
    in.userName = "tech01";
    in.password = "secret";
    in.programDir = ProgramDir();
    in.runNet = 0;
    const orva::LoginService service(in);
    const std::string loginFile = service.LoginFilePath();

    const bool hadFile = nul != std::string_view::npos;
    if (hadFile)
        FUZZ_CHECK(orva::fuzz::WriteBytes(loginFile, input.substr(nul + 1)));
    else
        std::remove(loginFile.c_str());

    // A well-formed list without the user's entry is one the login can add the entry to.
    bool roomForEntry = !hadFile;
    if (hadFile) {
        orva::XmlDocument list;
        roomForEntry = list.LoadFile(loginFile) &&
                       input.substr(nul + 1).find(orva::CredentialDigest(in.userName)) == std::string_view::npos;
    }

    const orva::LoginResult result = service.HandleReply(reply);
    using orva::LoginOutcome;
    const bool offline = result.outcome == LoginOutcome::OfflineOk || result.outcome == LoginOutcome::OfflineFailed ||
                         result.outcome == LoginOutcome::OfflineUnavailable;
    // Only an empty answer leads to the offline check; any answer at all is judged as an answer.
    FUZZ_CHECK(offline == reply.empty());
    if (!hadFile && reply.empty())
        FUZZ_CHECK(result.outcome == LoginOutcome::OfflineUnavailable);
    if (result.outcome == LoginOutcome::UpdateOffered) {
        FUZZ_CHECK(!result.offeredVersion.empty());
        FUZZ_CHECK(result.display == orva::LoginDisplay::Question);
        if (!result.downloadUrlFound)
            FUZZ_CHECK(result.downloadUrl.empty());
    }
    const bool online = result.outcome == LoginOutcome::OnlineOk || result.outcome == LoginOutcome::UpdateOffered;
    FUZZ_CHECK(result.loggedIn() == (online || result.outcome == LoginOutcome::OfflineOk));
    // A user who logged in online can log in offline next time, unless the list was damaged or already
    // held another password for the user.
    if (online && roomForEntry)
        FUZZ_CHECK(orva::CheckOfflineCredentials(loginFile, in.userName, in.password) == orva::OfflineCheck::Match);
    return 0;
}
