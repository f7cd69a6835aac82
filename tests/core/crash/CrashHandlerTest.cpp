// The crash handler end to end: a victim program installs it and crashes in a process of its own;
// the tests look at its exit code, its messages, the dump file and what gdb makes of the dump.
#include "CoreDump.h"
#include "TestSupport.h"
#include "VictimRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orva::test {
namespace {

const char* const kSaved = "Please send this file together with a detailed bug report to the developer !";

struct VictimSetup {
    std::string mode = "null-write";
    std::string appName = "orva";
    const char* answer = "yes"; // nullptr: not set
    std::string helper = ORVA_CRASH_PROMPT_PROGRAM;
    std::string home; // empty: the fixture's program directory

    VictimSetup& withMode(std::string m) { return mode = std::move(m), *this; }
    VictimSetup& withName(std::string n) { return appName = std::move(n), *this; }
    VictimSetup& withAnswer(const char* a) { return answer = a, *this; }
    VictimSetup& withHelper(std::string h) { return helper = std::move(h), *this; }
    VictimSetup& withHome(std::string h) { return home = std::move(h), *this; }
};

std::vector<std::string> DumpFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dmp") == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

// The name a dump written at t would get.
std::string NameAt(const std::string& prefix, std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "_%Y%m%d-%H%M%S", &tm);
    return prefix + stamp + ".dmp";
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

class CrashVictimTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The sanitizer takes the fatal signals itself, and the copy of a process that carries its
        // terabytes of shadow memory never ends (nor does the victim's exit, unmapping them).
        if (kAddressSanitizer)
            GTEST_SKIP() << "a crashing program cannot be dumped under AddressSanitizer";
    }

    VictimRun run(const VictimSetup& setup) {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                        "ORVA_HOME=" + (setup.home.empty() ? dir_.path() : setup.home),
                                        "ORVA_CRASH_PROMPT=" + setup.helper};
        if (setup.answer)
            env.push_back(std::string("ORVA_CRASH_ANSWER=") + setup.answer);
        before_ = std::time(nullptr);
        VictimRun r = RunVictim({ORVA_CRASH_VICTIM, setup.mode, setup.appName}, env, output_);
        after_ = std::time(nullptr);
        return r;
    }

    // The one dump of the run, checked to be named after the app and the local time of the crash.
    std::string singleDump(const std::string& prefix) {
        const auto dumps = DumpFiles(dir_.path());
        EXPECT_EQ(dumps.size(), 1u);
        if (dumps.size() != 1)
            return {};
        const std::string& name = dumps[0];
        EXPECT_GE(name, NameAt(prefix, before_));
        EXPECT_LE(name, NameAt(prefix, after_));
        EXPECT_EQ(name.size(), NameAt(prefix, before_).size()) << name;
        return dir_.file(name);
    }

    TempProgramDir dir_{"crash"};
    std::string output_ = "/tmp/orva-crash-output-" + std::to_string(getpid()) + ".txt";
    std::time_t before_ = 0;
    std::time_t after_ = 0;

    void TearDown() override { unlink(output_.c_str()); }
};

// ---- Every way of crashing gives a dump gdb can read -------------------------------------------

struct CrashCase {
    const char* mode;
    int signal;
    const char* function; // the crashing function, as the backtrace names it
    bool onMainThread;
    bool stackInDump;            // false where the stack pointer is past the end of the stack
    const char* waitingFunction; // where the main thread waits for a crashing worker, or nullptr
};

void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.mode;
}

class CrashModeTest : public CrashVictimTest, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(CrashModeTest, WritesALoadableCoreFileAndEndsWithZero) {
    const CrashCase& c = GetParam();
    const VictimRun r = run(VictimSetup{}.withMode(c.mode));
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;

    const std::string dump = singleDump("orva");
    ASSERT_FALSE(dump.empty()) << r.output;
    EXPECT_NE(r.output.find("orva crashed :-(\r\n\r\nA diagnostic file can be created"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Saved dump file to \"" + dump + "\".\r\n\r\n" + kSaved +
                            "\r\n\r\nThank you for helping to improve orva."),
              std::string::npos)
        << r.output;
    struct stat st {};
    ASSERT_EQ(stat(dump.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    std::string problem;
    const auto core = ReadCoreFile(readFile(dump), problem);
    ASSERT_TRUE(core) << problem;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(core->header.e_ident), SELFMAG), ELFMAG);
    EXPECT_EQ(core->header.e_ident[EI_CLASS], ELFCLASS64);
    EXPECT_EQ(core->header.e_ident[EI_DATA], ELFDATA2LSB);
    EXPECT_EQ(core->header.e_type, ET_CORE);
    EXPECT_EQ(core->header.e_machine, EM_X86_64);
    ASSERT_FALSE(core->segments.empty());
    EXPECT_EQ(core->segments[0].p_type, PT_NOTE);
    EXPECT_GT(core->segments.size(), 10u);

    ASSERT_FALSE(core->notes.empty());
    EXPECT_EQ(core->notes[0].type, static_cast<std::uint32_t>(NT_PRSTATUS)); // the crashing thread first
    const CoreNote* status = core->firstNote(NT_PRSTATUS);
    ASSERT_TRUE(status && status->desc.size() == sizeof(elf_prstatus));
    elf_prstatus prs{};
    std::memcpy(&prs, status->desc.data(), sizeof prs);
    EXPECT_EQ(prs.pr_cursig, c.signal);
    EXPECT_EQ(prs.pr_info.si_signo, c.signal);
    EXPECT_EQ(prs.pr_pid == r.pid, c.onMainThread);
    // Every thread is there, each with its own status.
    std::vector<pid_t> threads;
    for (const auto& note : core->notes) {
        if (note.type != NT_PRSTATUS)
            continue;
        elf_prstatus other{};
        std::memcpy(&other, note.desc.data(), sizeof other);
        threads.push_back(other.pr_pid);
    }
    EXPECT_EQ(threads.size(), c.waitingFunction ? 2u : 1u);
    EXPECT_NE(std::find(threads.begin(), threads.end(), r.pid), threads.end());
    user_regs_struct regs{};
    std::memcpy(&regs, &prs.pr_reg, sizeof regs);
    const Elf64_Phdr* code = core->segmentAt(regs.rip);
    ASSERT_NE(code, nullptr);
    EXPECT_TRUE(code->p_flags & PF_X);
    if (c.stackInDump) {
        const Elf64_Phdr* stack = core->segmentAt(regs.rsp);
        ASSERT_NE(stack, nullptr);
        EXPECT_TRUE(stack->p_flags & PF_W);
        EXPECT_GT(stack->p_vaddr + stack->p_filesz, regs.rsp);
    }

    const CoreNote* info = core->firstNote(NT_PRPSINFO);
    ASSERT_TRUE(info && info->desc.size() == sizeof(elf_prpsinfo));
    elf_prpsinfo psi{};
    std::memcpy(&psi, info->desc.data(), sizeof psi);
    EXPECT_EQ(psi.pr_pid, r.pid);
    EXPECT_STREQ(psi.pr_fname, "crash_victim");
    EXPECT_EQ(std::string(psi.pr_psargs).rfind(ORVA_CRASH_VICTIM " " + std::string(c.mode), 0), 0u) << psi.pr_psargs;

    const CoreNote* siginfo = core->firstNote(NT_SIGINFO);
    ASSERT_TRUE(siginfo && siginfo->desc.size() == sizeof(siginfo_t));
    const CoreNote* auxv = core->firstNote(NT_AUXV);
    ASSERT_TRUE(auxv && auxv->desc.size() % sizeof(Elf64_auxv_t) == 0 && !auxv->desc.empty());
    bool pageSize = false;
    for (std::size_t at = 0; at < auxv->desc.size(); at += sizeof(Elf64_auxv_t)) {
        Elf64_auxv_t entry{};
        std::memcpy(&entry, auxv->desc.data() + at, sizeof entry);
        pageSize |= entry.a_type == AT_PAGESZ && entry.a_un.a_val == static_cast<std::uint64_t>(getpagesize());
    }
    EXPECT_TRUE(pageSize);
    const auto files = core->mappedFiles();
    EXPECT_NE(std::find(files.begin(), files.end(), std::string(ORVA_CRASH_VICTIM)), files.end());

    if (!ProgramAvailable("gdb"))
        GTEST_SKIP() << "gdb is not installed; the backtrace is not checked";
    const std::string bt = CommandOutput(
        "DEBUGINFOD_URLS= gdb -batch -nx -iex 'set debuginfod enabled off' -ex 'thread apply all bt 30' '" +
        std::string(ORVA_CRASH_VICTIM) + "' '" + dump + "'");
    EXPECT_NE(bt.find(c.function), std::string::npos) << bt;
    if (c.waitingFunction) {
        EXPECT_NE(bt.find(c.waitingFunction), std::string::npos) << bt;
    }
    EXPECT_EQ(bt.find("Couldn't find general-purpose registers"), std::string::npos) << bt;
    EXPECT_NE(bt.find(std::string("Program terminated with signal SIG") + sigabbrev_np(c.signal)), std::string::npos)
        << bt;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CrashModeTest,
    ::testing::Values(CrashCase{"null-write", SIGSEGV, "CrashByNullWrite", true, true, nullptr},
                      CrashCase{"abort", SIGABRT, "CrashByAbort", true, true, nullptr},
                      CrashCase{"throw", SIGABRT, "CrashByUnhandledException", true, true, nullptr},
                      CrashCase{"divide", SIGFPE, "CrashByDivision", true, true, nullptr},
                      CrashCase{"trap", SIGILL, "CrashByIllegalInstruction", true, true, nullptr},
                      CrashCase{"bus", SIGBUS, "CrashByBusError", true, true, nullptr},
                      CrashCase{"overflow", SIGSEGV, "CrashByStackOverflow", true, false, nullptr},
                      CrashCase{"worker", SIGSEGV, "CrashByNullWrite", false, true, "CrashOnWorkerThread"},
                      CrashCase{"worker-overflow", SIGSEGV, "CrashByStackOverflow", false, false,
                                "CrashByWorkerStackOverflow"}),
    [](const auto& info) {
        std::string name = info.param.mode;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    });

// ---- Answers, names and failures ---------------------------------------------------------------

struct AnswerCase {
    const char* label;
    VictimSetup setup;
    const char* dumpPrefix; // nullptr: no dump may be written
    std::vector<std::string> shown;
    std::vector<std::string> notShown;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.label;
}

class CrashAnswerTest : public CrashVictimTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(CrashAnswerTest, EndsWithZeroAndWritesOnlyWhatWasAgreed) {
    const AnswerCase& c = GetParam();
    const VictimRun r = run(c.setup);
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::string dump;
    if (c.dumpPrefix) {
        dump = singleDump(c.dumpPrefix);
        EXPECT_FALSE(dump.empty());
    } else {
        EXPECT_TRUE(DumpFiles(dir_.path()).empty());
    }
    for (std::string text : c.shown) {
        const auto at = text.find("{dump}");
        if (at != std::string::npos)
            text.replace(at, 6, dump);
        EXPECT_NE(r.output.find(text), std::string::npos) << "missing: " << text << "\nin: " << r.output;
    }
    for (const auto& text : c.notShown)
        EXPECT_EQ(r.output.find(text), std::string::npos) << "unexpected: " << text << "\nin: " << r.output;
}

const std::string kQuestion = "orva crashed :-(\r\n\r\nA diagnostic file can be created which will help the author "
                              "to resolve this problem. This file will be saved on your Disk (and not sent)."
                              "\r\n\r\nDo you want to create this file now?";

INSTANTIATE_TEST_SUITE_P(
    Answers, CrashAnswerTest,
    ::testing::Values(
        AnswerCase{"answered_no",
                   VictimSetup{}.withAnswer("no"),
                   nullptr,
                   {"[orva]\n" + kQuestion},
                   {"Saved dump file", "Failed"}},
        // Nobody to ask (no display, no terminal, no preset answer): no dump without consent.
        AnswerCase{
            "nobody_to_ask", VictimSetup{}.withAnswer(nullptr), nullptr, {kQuestion}, {"Saved dump file", "Failed"}},
        AnswerCase{"helper_missing_asks_itself",
                   VictimSetup{}.withHelper("/nonexistent/orva-crash-prompt"),
                   "orva",
                   {kQuestion, "[orva]\nSaved dump file to \"{dump}\"."},
                   {}},
        AnswerCase{"helper_missing_answered_no",
                   VictimSetup{}.withAnswer("no").withHelper("/nonexistent/orva-crash-prompt"),
                   nullptr,
                   {kQuestion},
                   {"Saved dump file"}},
        AnswerCase{"name_with_blank_and_point",
                   VictimSetup{}.withName("my app.beta"),
                   "my_app-beta",
                   {"[my app.beta]\nmy app.beta crashed :-(", "Thank you for helping to improve my app.beta."},
                   {}},
        AnswerCase{
            "folder_missing",
            VictimSetup{}.withHome("/tmp/orva-crash-no-such-folder/inner"),
            nullptr,
            {"Failed to create dump file \"/tmp/orva-crash-no-such-folder/inner/orva_", ".dmp\".\r\n\r\nError: 2"},
            {"Saved dump file"}}),
    [](const auto& info) { return std::string(info.param.label); });

// Something planted at the dump's name (for every second the crash may fall on) is never written
// through nor reused with its mode: the dump fails as a file that cannot be created does.
TEST_F(CrashVictimTest, PlantedDumpNamesAreNotReused) {
    struct Case {
        const char* label;
        bool link; // a symlink to a file outside, else a world-writable file
    };
    const std::string victim = dir_.file("victim.txt");
    for (const Case& c : {Case{"file_0666", false}, Case{"symlink", true}}) {
        SCOPED_TRACE(c.label);
        writeFile(victim, "keep me");
        const std::time_t now = std::time(nullptr);
        std::vector<std::string> planted;
        for (std::time_t t = now - 2; t <= now + 60; ++t) {
            const std::string path = dir_.file(NameAt("orva", t));
            if (c.link) {
                ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
            } else {
                writeFile(path, "planted");
                ASSERT_EQ(chmod(path.c_str(), 0666), 0);
            }
            planted.push_back(path);
        }
        const VictimRun r = run(VictimSetup{});
        ASSERT_TRUE(r.exited) << r.output;
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("Failed to create dump file \"" + dir_.path() + "orva_"), std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find(".dmp\".\r\n\r\nError: 17"), std::string::npos) << r.output; // EEXIST
        EXPECT_EQ(r.output.find("Saved dump file"), std::string::npos) << r.output;
        EXPECT_EQ(DumpFiles(dir_.path()).size(), planted.size());
        EXPECT_EQ(readFile(victim), "keep me");
        for (const std::string& path : planted) {
            struct stat st {};
            ASSERT_EQ(lstat(path.c_str(), &st), 0) << path;
            if (c.link) {
                EXPECT_TRUE(S_ISLNK(st.st_mode)) << path;
            } else {
                EXPECT_EQ(st.st_mode & 0777, 0666u) << path;
                EXPECT_EQ(readFile(path), "planted") << path;
            }
            unlink(path.c_str());
        }
    }
}

TEST_F(CrashVictimTest, ProgramThatDoesNotCrashKeepsItsExitCode) {
    const VictimRun r = run(VictimSetup{}.withMode("exit"));
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_TRUE(DumpFiles(dir_.path()).empty());
    EXPECT_EQ(r.output.find("crashed"), std::string::npos) << r.output;
}

TEST(CrashPromptProgramTest, RefusesAWrongCommandLine) {
    const std::string out =
        CommandOutput("{ '" + std::string(ORVA_CRASH_PROMPT_PROGRAM) + "' ask x y; echo \"code=$?\"; }");
    EXPECT_NE(out.find("usage:"), std::string::npos) << out;
    EXPECT_NE(out.find("code=2"), std::string::npos) << out;
}

} // namespace
} // namespace orva::test
