#include "core/app/InstanceGuard.h"

#include "TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva {
namespace {

// Runs the probe in its own process: 0 = it got the lock, 1 = refused.
int ProbeLock(const std::string& dir) {
    std::string exe = ORVA_LOCK_PROBE;
    std::string arg = dir;
    char* argv[] = {exe.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(InstanceGuard, SecondProcessIsRefusedWhileTheFirstHoldsTheLock) {
    test::TempProgramDir dir("orva-guard");
    {
        InstanceGuard first(dir.path());
        ASSERT_TRUE(first.acquired());
        EXPECT_EQ(first.lockPath(), dir.path() + "orva.lock");
        EXPECT_EQ(ProbeLock(dir.path()), 1);
        // A second guard in the same process is refused too.
        InstanceGuard again(dir.path());
        EXPECT_FALSE(again.acquired());
    }
    // Released with the guard: the next copy starts.
    EXPECT_EQ(ProbeLock(dir.path()), 0);
    InstanceGuard next(dir.path());
    EXPECT_TRUE(next.acquired());
}

TEST(InstanceGuard, ProgramDirectoriesAreIndependent) {
    test::TempProgramDir a("orva-guard-a");
    test::TempProgramDir b("orva-guard-b");
    InstanceGuard first(a.path());
    ASSERT_TRUE(first.acquired());
    EXPECT_EQ(ProbeLock(b.path()), 0);
}

TEST(InstanceGuard, UnwritableDirectoryIsNotAcquired) {
    InstanceGuard guard("/nonexistent-orva-dir/");
    EXPECT_FALSE(guard.acquired());
}

// A symlink planted at the lock's name is not followed: nothing is created where it points, and the
// guard is simply not had (no other copy holds it).
TEST(InstanceGuard, PlantedSymlinkIsNotFollowed) {
    test::TempProgramDir dir("orva-guard");
    const std::string target = dir.file("elsewhere.txt");
    ASSERT_EQ(symlink(target.c_str(), (dir.path() + "orva.lock").c_str()), 0);
    InstanceGuard guard(dir.path());
    EXPECT_FALSE(guard.acquired());
    EXPECT_FALSE(guard.heldElsewhere());
    EXPECT_EQ(guard.openError(), ELOOP);
    EXPECT_FALSE(test::fileExists(target));
}

} // namespace
} // namespace orva
