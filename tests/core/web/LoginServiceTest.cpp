#include "HttpPeers.h"

#include "TestSupport.h"
#include "core/app/LogFile.h"
#include "core/app/TextTable.h"
#include "core/web/LoginFile.h"
#include "core/web/LoginRequest.h"
#include "core/web/LoginService.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {
namespace {

using namespace std::chrono_literals;

const std::string kUpdateUrl = "http://127.0.0.1:1/upload/soft/setup.exe";

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLanguageForTests();
        SelectLanguage("Chinese");
    }
    void TearDown() override { ResetLanguageForTests(); }

    LoginInput input(const std::string& user, const std::string& password, const std::string& version = "10") {
        LoginInput in;
        in.loginUrl = "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/login";
        in.version = version;
        in.userName = user;
        in.password = password;
        in.programDir = dir_.path();
        in.runNet = 1;
        HttpOptions o;
        o.timeout = 5s;
        in.http = o;
        return in;
    }
    LoginResult handle(const std::string& reply, const std::string& user, const std::string& password) {
        return LoginService(input(user, password)).HandleReply(reply);
    }
    std::string loginFile() const { return dir_.file("res/login.xml"); }
    static std::string entry(const std::string& user, const std::string& password) {
        const std::string n = "N" + CredentialDigest(user);
        return "<" + n + ">" + CredentialDigest(password) + "</" + n + ">\r\n";
    }
    static std::string successReply(const std::string& extra = "") {
        return "<SoftWareLogin><LoginResult>success</LoginResult>" + extra + "</SoftWareLogin>";
    }

    test::TempProgramDir dir_{"orva-login"};
};

TEST_F(LoginTest, RequestIsTheExactDocument) {
    EXPECT_EQ(BuildLoginRequest("vladmin", "1"), "<SoftWareLogin>\r\n"
                                                 "<CurrentSoftWareVersion>11-2.2-33333333</CurrentSoftWareVersion>\r\n"
                                                 "<UserName>vladmin</UserName>\r\n"
                                                 "<UserPassWD>1</UserPassWD>\r\n"
                                                 "</SoftWareLogin>\r\n");
    const std::string escaped = BuildLoginRequest("a<b&c>\"d", "张三'");
    EXPECT_NE(escaped.find("<UserName>a&lt;b&amp;c&gt;\"d</UserName>\r\n"), std::string::npos) << escaped;
    EXPECT_NE(escaped.find("<UserPassWD>张三'</UserPassWD>\r\n"), std::string::npos) << escaped;
}

struct ReplyCase {
    const char* name;
    std::string reply;
    std::string version;
    LoginOutcome outcome;
    LoginDisplay display;
    std::string message;
    bool urlFound;
    std::string url;
};

TEST_F(LoginTest, EachReplyHasItsOutcome) {
    const std::string ask = Text(TextId::AskDownloadNewVersion);
    const std::string failed = Text(TextId::LoginFailed);
    const std::string offer =
        "<UpdateSoftWareVersion>11-2.2-33333333</UpdateSoftWareVersion><DownLoadURL>" + kUpdateUrl + "</DownLoadURL>";
    using O = LoginOutcome;
    using D = LoginDisplay;
    const std::vector<ReplyCase> cases = {
        {"no answer, no offline list", "", "10", O::OfflineUnavailable, D::StatusLabel, kOfflineFallbackText, false,
         ""},
        {"error page", "<html><body>500</body></html>", "10", O::NotALoginReply, D::MessageBox, failed, false, ""},
        {"text without markup", "service down", "10", O::NotALoginReply, D::MessageBox, failed, false, ""},
        {"result missing", "<SoftWareLogin><Other>success</Other></SoftWareLogin>", "10", O::Rejected, D::StatusLabel,
         failed, false, ""},
        {"result is another word", "<SoftWareLogin><LoginResult>fail</LoginResult></SoftWareLogin>", "10", O::Rejected,
         D::StatusLabel, failed, false, ""},
        {"result compared exactly", "<SoftWareLogin><LoginResult>Success</LoginResult></SoftWareLogin>", "10",
         O::Rejected, D::StatusLabel, failed, false, ""},
        {"success, no offer", successReply(), "10", O::OnlineOk, D::StatusLabel, "", false, ""},
        {"success, newer version", successReply(offer), "10", O::UpdateOffered, D::Question, ask, true, kUpdateUrl},
        {"success, same version", successReply(offer), "11-2.2-33333333", O::OnlineOk, D::StatusLabel, "", false, ""},
        {"success, our version newer", successReply(offer), "12", O::OnlineOk, D::StatusLabel, "", false, ""},
        {"versions compare as text",
         successReply("<UpdateSoftWareVersion>9</UpdateSoftWareVersion><DownLoadURL>u</DownLoadURL>"), "10",
         O::UpdateOffered, D::Question, ask, true, "u"},
        {"address before version is not found",
         successReply("<DownLoadURL>u</DownLoadURL><UpdateSoftWareVersion>9</UpdateSoftWareVersion>"), "10",
         O::UpdateOffered, D::Question, ask, false, ""},
        {"other elements in between",
         "<SoftWareLogin><Note>x</Note><LoginResult>success</LoginResult><Note/><UpdateSoftWareVersion>2"
         "</UpdateSoftWareVersion><Size>9</Size><DownLoadURL>" +
             kUpdateUrl + "</DownLoadURL></SoftWareLogin>",
         "10", O::UpdateOffered, D::Question, ask, true, kUpdateUrl},
        {"canned reply", CannedLoginReply(), "10", O::UpdateOffered, D::Question, ask, true,
         " https://update.orva.invalid/upload/soft/20140403105546.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(loginFile());
        const LoginResult r = LoginService(input("vladmin", "1", c.version)).HandleReply(c.reply);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.display, c.display);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.downloadUrlFound, c.urlFound);
        EXPECT_EQ(r.downloadUrl, c.url);
        // Only an online success is remembered for offline use.
        EXPECT_EQ(test::fileExists(loginFile()), r.loggedIn());
    }
}

TEST_F(LoginTest, OnlineSuccessKeepsTheFirstPasswordForOfflineUse) {
    ASSERT_EQ(handle(successReply(), "vladmin", "secret").outcome, LoginOutcome::OnlineOk);
    const std::string first = "<Login>\r\n" + entry("vladmin", "secret") + "</Login>\r\n";
    EXPECT_EQ(test::readFile(loginFile()), first);

    // The service now takes a new password: the stored digest stays the first one.
    ASSERT_EQ(handle(successReply(), "vladmin", "changed").outcome, LoginOutcome::OnlineOk);
    EXPECT_EQ(test::readFile(loginFile()), first);

    ASSERT_EQ(handle(successReply(), "张三", "口令").outcome, LoginOutcome::OnlineOk);
    EXPECT_EQ(test::readFile(loginFile()),
              "<Login>\r\n" + entry("vladmin", "secret") + entry("张三", "口令") + "</Login>\r\n");

    struct Case {
        const char* name;
        std::string user, password;
        LoginOutcome outcome;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"first password", "vladmin", "secret", LoginOutcome::OfflineOk, Text(TextId::OfflineLoginOk)},
        {"later password", "vladmin", "changed", LoginOutcome::OfflineFailed, Text(TextId::OfflineLoginFailed)},
        {"user in other letter case", "VLADMIN", "secret", LoginOutcome::OfflineFailed,
         Text(TextId::OfflineLoginFailed)},
        {"unknown user", "guest", "secret", LoginOutcome::OfflineFailed, Text(TextId::OfflineLoginFailed)},
        {"Chinese credentials", "张三", "口令", LoginOutcome::OfflineOk, Text(TextId::OfflineLoginOk)},
        {"another user's password", "张三", "secret", LoginOutcome::OfflineFailed, Text(TextId::OfflineLoginFailed)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoginResult r = handle("", c.user, c.password);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.display, LoginDisplay::StatusLabel);
        EXPECT_EQ(r.message, c.message);
    }
}

TEST_F(LoginTest, OfflineListWithoutLoginElement) {
    test::writeFile(loginFile(), "<Other/>\r\n");
    EXPECT_EQ(handle("", "vladmin", "1").outcome, LoginOutcome::OfflineUnavailable);
    // An online success adds the list beside what was there, and offline use finds it.
    ASSERT_EQ(handle(successReply(), "vladmin", "1").outcome, LoginOutcome::OnlineOk);
    EXPECT_EQ(handle("", "vladmin", "1").outcome, LoginOutcome::OfflineOk);
}

TEST_F(LoginTest, UnwritableOfflineListDoesNotSpoilTheLogin) {
    std::filesystem::remove_all(dir_.file("res"));
    EXPECT_EQ(handle(successReply(), "vladmin", "1").outcome, LoginOutcome::OnlineOk);
    EXPECT_FALSE(test::fileExists(loginFile()));
}

// The list is the owner's alone and is replaced through a fresh temporary: an older tool's fixed
// temporary name, planted as a symlink, is neither followed nor removed, and nothing is left behind.
TEST_F(LoginTest, OnlineSuccessRewritesTheListPrivatelyBesideNothingPlanted) {
    const std::string victim = dir_.file("victim.txt");
    const std::string planted = loginFile() + ".new";
    test::writeFile(victim, "keep me");
    ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
    test::writeFile(loginFile(), "<Login>\r\n" + entry("vladmin", "secret") + "</Login>\r\n");
    ASSERT_EQ(chmod(loginFile().c_str(), 0644), 0);
    const mode_t oldMask = umask(0);

    ASSERT_EQ(handle(successReply(), "张三", "口令").outcome, LoginOutcome::OnlineOk);
    umask(oldMask);
    EXPECT_EQ(test::readFile(loginFile()),
              "<Login>\r\n" + entry("vladmin", "secret") + entry("张三", "口令") + "</Login>\r\n");
    struct stat st {};
    ASSERT_EQ(lstat(loginFile().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(test::readFile(victim), "keep me");
    ASSERT_EQ(lstat(planted.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.file("res")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"login.xml", "login.xml.new"}));
}

// What is not a regular file at the list's name is no list: never read (a FIFO would block the login),
// and a list that cannot be put in place (a folder stands there) leaves no temporary behind.
TEST_F(LoginTest, ANameThatIsNoFileIsNoList) {
    const auto names = [this] {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir_.file("res")))
            out.push_back(e.path().filename().string());
        return out;
    };
    {
        SCOPED_TRACE("folder");
        ASSERT_TRUE(std::filesystem::create_directories(loginFile() + "/inside"));
        EXPECT_EQ(handle("", "vladmin", "1").outcome, LoginOutcome::OfflineUnavailable);
        EXPECT_EQ(handle(successReply(), "vladmin", "1").outcome, LoginOutcome::OnlineOk);
        EXPECT_FALSE(RememberCredentials(loginFile(), "vladmin", "1"));
        EXPECT_EQ(names(), std::vector<std::string>{"login.xml"});
        EXPECT_TRUE(std::filesystem::is_directory(loginFile() + "/inside"));
        std::filesystem::remove_all(loginFile());
    }
    {
        SCOPED_TRACE("FIFO");
        ASSERT_EQ(mkfifo(loginFile().c_str(), 0600), 0);
        EXPECT_EQ(handle("", "vladmin", "1").outcome, LoginOutcome::OfflineUnavailable);
        // An online login puts a list in its place.
        EXPECT_EQ(handle(successReply(), "vladmin", "1").outcome, LoginOutcome::OnlineOk);
        EXPECT_EQ(names(), std::vector<std::string>{"login.xml"});
        EXPECT_EQ(test::readFile(loginFile()), "<Login>\r\n" + entry("vladmin", "1") + "</Login>\r\n");
    }
}

TEST_F(LoginTest, InputIsCheckedBeforeAnythingIsSent) {
    test::IdleListener listener;
    struct Case {
        const char* name;
        std::string user, password;
        LoginOutcome outcome;
        TextId text;
    };
    const std::vector<Case> cases = {
        {"empty user", "", "1", LoginOutcome::UserNameEmpty, TextId::UserNameEmpty},
        {"empty password", "vladmin", "", LoginOutcome::PasswordEmpty, TextId::PasswordEmpty},
        {"user too long", std::string(128, 'u'), "1", LoginOutcome::CredentialsTooLong, TextId::LoginFailed},
        // 43 Chinese characters are 129 bytes.
        {"password too long", "vladmin",
         [] {
             std::string s;
             for (int i = 0; i < 43; ++i)
                 s += "密";
             return s;
         }(),
         LoginOutcome::CredentialsTooLong, TextId::LoginFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoginInput in = input(c.user, c.password);
        in.loginUrl = "http://127.0.0.1:" + std::to_string(listener.port()) + "/login";
        const LoginResult r = LoginService(in).Login();
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.display, LoginDisplay::MessageBox);
        EXPECT_EQ(r.message, Text(c.text));
    }
    EXPECT_FALSE(listener.wasContacted());
    // 127 bytes still fit.
    EXPECT_EQ(LoginService(input(std::string(127, 'u'), "1")).HandleReply(successReply()).outcome,
              LoginOutcome::OnlineOk);
}

// The whole login against a real service on loopback, and with the network switched off.
class LoginFlowTest : public LoginTest {
protected:
    void SetUp() override {
        LoginTest::SetUp();
        ASSERT_TRUE(LogFile::instance().open(dir_.file("orva.log")));
    }
    std::string log() const { return test::readFile(dir_.file("orva.log")); }
};

TEST_F(LoginFlowTest, NetworkOffUsesTheCannedReply) {
    test::IdleListener listener;
    LoginInput in = input("anyone", "anything", "10");
    in.loginUrl = "http://127.0.0.1:" + std::to_string(listener.port()) + "/login";
    in.runNet = 0;
    const LoginResult r = LoginService(in).Login();
    EXPECT_FALSE(listener.wasContacted());
    EXPECT_EQ(r.outcome, LoginOutcome::UpdateOffered);
    EXPECT_EQ(r.reply, CannedLoginReply());
    EXPECT_TRUE(r.downloadUrl.find(".invalid/upload/soft/20140403105546.exe") != std::string::npos);
    EXPECT_EQ(test::readFile(loginFile()), "<Login>\r\n" + entry("anyone", "anything") + "</Login>\r\n");
    EXPECT_NE(log().find("[LOGIN]("), std::string::npos);
    EXPECT_NE(log().find("):" + CannedLoginReply()), std::string::npos);

    in.version = "11-2.2-33333333";
    EXPECT_EQ(LoginService(in).Login().outcome, LoginOutcome::OnlineOk);
}

TEST_F(LoginFlowTest, OnlineLoginAgainstTheService) {
    const std::string replyFile = dir_.file("reply.xml");
    const std::string requests = dir_.file("requests.log");
    test::writeFile(replyFile, successReply());
    test::TestHttpServer server({.loginReply = replyFile, .requestLog = requests});

    LoginInput in = input("张<三", "pw&1");
    in.loginUrl = server.url("/login");
    const LoginResult r = LoginService(in).Login();
    EXPECT_EQ(r.outcome, LoginOutcome::OnlineOk);
    EXPECT_EQ(r.reply, successReply());
    EXPECT_EQ(test::readFile(requests), BuildLoginRequest("张<三", "pw&1") + "\n--\n");
    EXPECT_NE(test::readFile(requests).find("<UserName>张&lt;三</UserName>"), std::string::npos);
    EXPECT_NE(log().find("):" + successReply()), std::string::npos);

    // The service now answers with an error page: not a login reply, and no offline fallback.
    in.loginUrl = server.url("/status?code=500");
    EXPECT_EQ(LoginService(in).Login().outcome, LoginOutcome::NotALoginReply);

    // The service is gone: the remembered credentials let the user in.
    in.loginUrl = "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/login";
    const LoginResult offline = LoginService(in).Login();
    EXPECT_EQ(offline.outcome, LoginOutcome::OfflineOk);
    EXPECT_EQ(offline.reply, "");
}

} // namespace
} // namespace orva
