#include "app/ProgramDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace orva {
namespace {

// Keeps ORVA_HOME and the chosen directory from leaking into other tests.
class ProgramDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = std::getenv("ORVA_HOME"))
            savedHome_ = home;
        unsetenv("ORVA_HOME");
    }
    void TearDown() override {
        if (savedHome_)
            setenv("ORVA_HOME", savedHome_->c_str(), 1);
        else
            unsetenv("ORVA_HOME");
        SetProgramDirectory("");
    }
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
    static std::string exeDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/"; }
    std::optional<std::string> savedHome_;
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
        {{"orva", "--", "--dir", "/tmp/x"}, {"orva", "--", "--dir", "/tmp/x"}, exeDir()},
        {{"orva", "--dir"}, {"orva"}, exeDir()},
        {{"orva"}, {"orva"}, exeDir()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(init(c.args), c.left) << c.args.back();
        EXPECT_EQ(ProgramDirectory(), c.dir) << c.args.back();
    }
}

TEST_F(ProgramDirectoryTest, EnvironmentUnlessTheCommandLineSaysOtherwise) {
    setenv("ORVA_HOME", "/tmp/orva-home", 1);
    init({"orva"});
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-home/");
    init({"orva", "--dir", "/tmp/orva-cli"});
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-cli/");
    SetProgramDirectory("");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-home/");
}

TEST_F(ProgramDirectoryTest, DefaultIsTheExecutablesDirectory) {
    SetProgramDirectory("");
    EXPECT_EQ(ProgramDirectory(), exeDir());
    EXPECT_EQ(ProgramDirectory().back(), '/');
    EXPECT_EQ(SettingsFilePath(), exeDir() + "res/setting.ini");
}

TEST_F(ProgramDirectoryTest, SetAddsTheTrailingSlash) {
    SetProgramDirectory("/tmp/orva-set");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-set/");
    EXPECT_EQ(SettingsFilePath(), "/tmp/orva-set/res/setting.ini");
    SetProgramDirectory("/tmp/orva-set/");
    EXPECT_EQ(ProgramDirectory(), "/tmp/orva-set/");
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
