#include "core/app/ProgramDirectory.h"

#include "TestSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orva {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// Keeps ORVA_HOME and the chosen directory from leaking into other tests. The test program's folder
// holds no res/, so without --dir it chooses a per-user folder: that one lies in a temporary
// XDG_DATA_HOME, never in the tester's own data.
class ProgramDirectoryTest : public ::testing::Test {
protected:
    void TearDown() override { SetProgramDirectory(""); }
    test::TempProgramDir data_{"orva-xdg"};
    ScopedEnv home_{"ORVA_HOME", nullptr};
    ScopedEnv xdg_{"XDG_DATA_HOME", data_.path().c_str()};
    std::string perUser() const { return data_.path() + "orva/"; }
    // Runs InitProgramDirectory on a copy of `args`; returns what is left of the command line.
    std::vector<std::string> init(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        InitProgramDirectory(argc, argv.data());
        EXPECT_EQ(argv[argc], nullptr);
        return std::vector<std::string>(argv.begin(), argv.begin() + argc);
    }
};

TEST_F(ProgramDirectoryTest, CommandLineChoosesAndIsRemoved) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> left;
        std::string dir;
    };
    const std::string cwd = std::filesystem::current_path().string();
    const std::vector<Case> cases = {
        {{"orva", "--dir", "/tmp/orva-a", "-x"}, {"orva", "-x"}, "/tmp/orva-a/"},
        {{"orva", "-x", "--dir=/tmp/orva-b/"}, {"orva", "-x"}, "/tmp/orva-b/"},
        {{"orva", "--dir=rel"}, {"orva"}, cwd + "/rel/"},
        {{"orva", "--dir=/tmp/one", "--dir", "/tmp/two"}, {"orva"}, "/tmp/two/"},
        {{"orva", "--", "--dir", "/tmp/x"}, {"orva", "--", "--dir", "/tmp/x"}, perUser()},
        {{"orva", "--dir"}, {"orva"}, perUser()},
        {{"orva"}, {"orva"}, perUser()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(init(c.args), c.left) << c.args.back();
        EXPECT_EQ(ProgramDirectory(), c.dir) << c.args.back();
    }
}

TEST_F(ProgramDirectoryTest, EnvironmentUnlessTheCommandLineSaysOtherwise) {
    ScopedEnv home("ORVA_HOME", "/tmp/orva-home");
    init({"orva"});
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-home/");
    init({"orva", "--dir", "/tmp/orva-cli"});
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-cli/");
    SetProgramDirectory("");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-home/");
}

TEST_F(ProgramDirectoryTest, DefaultOfAProgramWithoutResBesideItIsThePerUserFolder) {
    SetProgramDirectory("");
    EXPECT_EQ(ProgramDirectory(), perUser());
    EXPECT_EQ(CurrentProgramDirectoryKind(), ProgramDirectoryKind::PerUser);
    EXPECT_EQ(SettingsFilePath(), perUser() + "res/setting.ini");
    // Only a start creates it.
    EXPECT_FALSE(fs::exists(perUser()));
    init({"orva"});
    EXPECT_TRUE(fs::is_directory(perUser() + "res"));
}

TEST_F(ProgramDirectoryTest, SetAddsTheTrailingSlash) {
    SetProgramDirectory("/tmp/orva-set");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-set/");
    EXPECT_EQ(SettingsFilePath(), "/tmp/orva-set/res/setting.ini");
    SetProgramDirectory("/tmp/orva-set/");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-set/");
}

// A fake installed tree: ROOT/bin/ (where the program is), ROOT/share/orva/res/ (the shipped defaults
// with their skin), and a HOME of its own.
class InstalledTree : public ::testing::Test {
protected:
    test::TempProgramDir root_{"orva-tree"};
    std::string bin() const { return root_.path() + "bin/"; }
    std::string shipped() const { return root_.path() + "share/orva/res/"; }
    std::string home() const { return root_.path() + "home/"; }
    std::string perUser() const { return home() + ".local/share/orva/"; }

    void SetUp() override {
        fs::create_directories(bin());
        fs::create_directories(shipped() + "common");
        fs::create_directories(home());
        test::writeFile(shipped() + "setting.ini", "[Setting]\nLanguage=English\n");
        test::writeFile(shipped() + "device.ini", "[Device]\n");
        test::writeFile(shipped() + "common/top.png", "png");
    }
    ProgramDirectoryInputs inputs(const std::string& xdg = "") const {
        ProgramDirectoryInputs in;
        in.executableDir = bin();
        in.home = home();
        in.xdgDataHome = xdg;
        return in;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
};

TEST_F(InstalledTree, RuleFirstMatchWins) {
    struct Case {
        const char* name;
        ProgramDirectoryInputs in;
        bool resBesideExe;
        std::string dir;
        ProgramDirectoryKind kind;
    };
    auto with = [this](auto change) {
        ProgramDirectoryInputs in = inputs();
        change(in);
        return in;
    };
    const std::vector<Case> cases = {
        {"command line over everything", with([](auto& in) { in.commandLine = "/tmp/c"; in.orvaHome = "/tmp/e"; }),
         true, "/tmp/c/", ProgramDirectoryKind::CommandLine},
        {"environment over the executable's folder", with([](auto& in) { in.orvaHome = "/tmp/e"; }), true,
         "/tmp/e/", ProgramDirectoryKind::Environment},
        {"build tree or portable folder", inputs(), true, bin(), ProgramDirectoryKind::Executable},
        {"installed: XDG_DATA_HOME", inputs("/xdg/data"), false, "/xdg/data/orva/", ProgramDirectoryKind::PerUser},
        {"installed: XDG_DATA_HOME with a slash", inputs("/xdg/data/"), false, "/xdg/data/orva/",
         ProgramDirectoryKind::PerUser},
        {"installed: no XDG_DATA_HOME", inputs(), false, perUser(), ProgramDirectoryKind::PerUser},
        {"installed: a relative XDG_DATA_HOME is ignored", inputs("data"), false, perUser(),
         ProgramDirectoryKind::PerUser},
    };
    for (const auto& c : cases) {
        if (c.resBesideExe)
            fs::create_directories(bin() + "res");
        else
            fs::remove_all(bin() + "res");
        const ProgramDirectoryChoice got = ChooseProgramDirectory(c.in);
        EXPECT_EQ(got.dir, c.dir) << c.name;
        EXPECT_EQ(got.kind, c.kind) << c.name;
        EXPECT_EQ(got.shippedResources, c.kind == ProgramDirectoryKind::PerUser ? shipped() : "") << c.name;
    }
    // A file named res is no resource folder.
    test::writeFile(bin() + "res", "");
    EXPECT_EQ(ChooseProgramDirectory(inputs()).kind, ProgramDirectoryKind::PerUser);
}

TEST_F(InstalledTree, FirstStartSeedsAPrivateFolderAndLaterStartsKeepTheUsersFiles) {
    const ProgramDirectoryChoice choice = ChooseProgramDirectory(inputs());
    const Result<void> prepared = PrepareProgramDirectory(choice);
    ASSERT_TRUE(prepared) << prepared.error();
    for (const std::string& dir : {home() + ".local", home() + ".local/share", perUser(), perUser() + "res"})
        EXPECT_EQ(modeOf(dir), 0700u) << dir;
    EXPECT_EQ(test::readFile(perUser() + "res/setting.ini"), "[Setting]\nLanguage=English\n");
    EXPECT_EQ(test::readFile(perUser() + "res/device.ini"), "[Device]\n");
    // The skin is used where it was shipped, not copied.
    EXPECT_FALSE(fs::exists(perUser() + "res/common"));
    // No temporary file is left beside the copies.
    EXPECT_EQ(std::distance(fs::directory_iterator(perUser() + "res"), fs::directory_iterator()), 2);

    // The user's edit and login.xml survive a newer package; a file the user deleted comes back.
    test::writeFile(perUser() + "res/setting.ini", "[Setting]\nLanguage=Chinese\n");
    test::writeFile(perUser() + "res/login.xml", "<login/>");
    fs::remove(perUser() + "res/device.ini");
    test::writeFile(shipped() + "setting.ini", "[Setting]\nLanguage=English\nnewer=1\n");
    test::writeFile(shipped() + "login.xml", "<shipped/>");
    const Result<void> again = PrepareProgramDirectory(choice);
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(test::readFile(perUser() + "res/setting.ini"), "[Setting]\nLanguage=Chinese\n");
    EXPECT_EQ(test::readFile(perUser() + "res/login.xml"), "<login/>");
    EXPECT_EQ(test::readFile(perUser() + "res/device.ini"), "[Device]\n");
}

TEST_F(InstalledTree, AnExistingFolderKeepsItsModeAndASymlinkIsNeitherFollowedNorReplaced) {
    fs::create_directories(perUser() + "res");
    chmod(perUser().c_str(), 0750);
    const std::string elsewhere = root_.path() + "elsewhere.ini";
    fs::create_symlink(elsewhere, perUser() + "res/setting.ini");
    const Result<void> prepared = PrepareProgramDirectory(ChooseProgramDirectory(inputs()));
    ASSERT_TRUE(prepared) << prepared.error();
    EXPECT_EQ(modeOf(perUser()), 0750u);
    EXPECT_TRUE(fs::is_symlink(perUser() + "res/setting.ini"));
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_TRUE(fs::exists(perUser() + "res/device.ini"));
}

TEST_F(InstalledTree, WithoutShippedDefaultsTheFolderIsStillMadeAndAnImpossibleOneIsAnError) {
    fs::remove_all(root_.path() + "share");
    const Result<void> prepared = PrepareProgramDirectory(ChooseProgramDirectory(inputs()));
    ASSERT_TRUE(prepared) << prepared.error();
    EXPECT_TRUE(fs::is_directory(perUser() + "res"));
    EXPECT_TRUE(fs::is_empty(perUser() + "res"));

    // XDG_DATA_HOME below a regular file cannot be made (refused even for root).
    test::writeFile(root_.path() + "plain", "");
    const ProgramDirectoryChoice blocked = ChooseProgramDirectory(inputs(root_.path() + "plain/data"));
    const Result<void> refused = PrepareProgramDirectory(blocked);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.error().find(root_.path() + "plain/data"), std::string::npos) << refused.error();

    // Choices other than the per-user folder are never created.
    ProgramDirectoryInputs portable = inputs();
    portable.commandLine = root_.path() + "not-made";
    EXPECT_TRUE(PrepareProgramDirectory(ChooseProgramDirectory(portable)));
    EXPECT_FALSE(fs::exists(root_.path() + "not-made"));
}

TEST_F(InstalledTree, SkinComesFromTheShippedFolderUnlessTheUserHasOne) {
    ScopedEnv noHome("ORVA_HOME", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", (home() + "data").c_str());
    SetProgramDirectory("");
    // This test program's folder holds no res/: it counts as installed, with its shipped defaults two
    // levels up. Only the choice matters here.
    ASSERT_EQ(CurrentProgramDirectoryKind(), ProgramDirectoryKind::PerUser);
    const ProgramDirectoryChoice choice = ChooseProgramDirectory(CurrentProgramDirectoryInputs());
    EXPECT_EQ(SkinDirectory(), choice.shippedResources + "common/");
    fs::create_directories(home() + "data/orva/res/common");
    EXPECT_EQ(SkinDirectory(), home() + "data/orva/res/common/");
    SetProgramDirectory(root_.path());
    EXPECT_EQ(SkinDirectory(), root_.path() + "res/common/");
    SetProgramDirectory("");
}

// The whole start of a copied program: the same executable in the tree's bin/ chooses by where it is.
class InstalledProgram : public InstalledTree {
protected:
    void SetUp() override {
        InstalledTree::SetUp();
        fs::copy_file(ORVA_DIR_PROBE, bin() + "probe");
        fs::permissions(bin() + "probe", fs::perms::owner_all);
    }
    // Runs bin/probe with HOME and XDG_DATA_HOME as given (empty: unset); returns its two lines.
    std::vector<std::string> run(const std::vector<std::string>& args, const std::string& xdg = "") {
        std::vector<std::string> env = {"HOME=" + home()};
        if (!xdg.empty())
            env.push_back("XDG_DATA_HOME=" + xdg);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argStore = {bin() + "probe"};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = root_.path() + "probe.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return {};
        std::vector<std::string> lines;
        std::string text = test::readFile(out), line;
        for (char ch : text) {
            if (ch == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += ch;
            }
        }
        return lines;
    }
};

TEST_F(InstalledProgram, ChoosesByWhereItIsAndSeedsOnItsFirstStart) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(run({}), (Lines{perUser(), shipped() + "common/"}));
    EXPECT_EQ(modeOf(perUser()), 0700u);
    EXPECT_EQ(test::readFile(perUser() + "res/setting.ini"), "[Setting]\nLanguage=English\n");
    test::writeFile(perUser() + "res/setting.ini", "edited");
    EXPECT_EQ(run({}), (Lines{perUser(), shipped() + "common/"}));
    EXPECT_EQ(test::readFile(perUser() + "res/setting.ini"), "edited");

    EXPECT_EQ(run({}, root_.path() + "xdg"), (Lines{root_.path() + "xdg/orva/", shipped() + "common/"}));
    EXPECT_TRUE(fs::exists(root_.path() + "xdg/orva/res/device.ini"));

    const std::string mine = root_.path() + "mine/";
    EXPECT_EQ(run({"--dir", mine}), (Lines{mine, mine + "res/common/"}));
    EXPECT_FALSE(fs::exists(mine));

    // Unpacked as a portable folder: res/ beside the program wins, and nothing per-user is made.
    fs::remove_all(home() + ".local");
    fs::create_directories(bin() + "res");
    EXPECT_EQ(run({}), (Lines{bin(), bin() + "res/common/"}));
    EXPECT_FALSE(fs::exists(home() + ".local"));
}

TEST(JoinPath, PlainConcatenation) {
    EXPECT_EQ(JoinPath("/opt/orva/", "res/device.ini"), "/opt/orva/res/device.ini");
    EXPECT_EQ(JoinPath("/opt/orva", "orva.log"), "/opt/orvaorva.log");
    EXPECT_EQ(JoinPath("/opt/orva/", "/orva.log"), "/opt/orva//orva.log");
    EXPECT_EQ(JoinPath("", "x"), "x");
    EXPECT_EQ(JoinPath("x", ""), "x");
}

} // namespace
} // namespace orva
