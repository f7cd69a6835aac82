#include "CliRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::test {

std::vector<std::string> CliEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> words = extra;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("ORVA_", 0) != 0)
            words.push_back(*e);
    return words;
}

std::vector<char*> NullTerminated(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& w : words)
        pointers.push_back(w.data());
    pointers.push_back(nullptr);
    return pointers;
}

CliRunner::CliRunner(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(::pipe(outPipe), 0);
    EXPECT_EQ(::pipe(errPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    // ORVA_TEST_CLI_BINARY runs the cases against another build (an earlier one, to compare its lines).
    const char* other = std::getenv("ORVA_TEST_CLI_BINARY");
    const std::string program = other && *other ? other : ORVA_CLI_PATH;
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv = NullTerminated(words);
    std::vector<std::string> envWords = CliEnvironment(env);
    std::vector<char*> envp = NullTerminated(envWords);
    EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    fds_[0] = outPipe[0];
    fds_[1] = errPipe[0];
}

CliRunner::~CliRunner() {
    if (pid_ > 0 && !waited_) {
        ::kill(pid_, SIGKILL);
        finish();
    }
    for (int fd : fds_)
        if (fd >= 0)
            ::close(fd);
}

void CliRunner::signal(int sig) {
    ::kill(pid_, sig);
}

void CliRunner::pump(int timeoutMs) {
    pollfd fds[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0)
        return;
    for (int i = 0; i < 2; ++i) {
        if (fds_[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        char buf[4096];
        ssize_t n = ::read(fds_[i], buf, sizeof buf);
        if (n <= 0) {
            ::close(fds_[i]);
            fds_[i] = -1;
        } else {
            text_[i].append(buf, static_cast<size_t>(n));
        }
    }
}

const std::string& CliRunner::readOutFor(int ms) {
    pump(ms);
    return text_[0];
}

CliOutcome CliRunner::finish() {
    while (fds_[0] >= 0 || fds_[1] >= 0) {
        const size_t before = text_[0].size() + text_[1].size();
        const bool open0 = fds_[0] >= 0, open1 = fds_[1] >= 0;
        pump(60000);
        if (before == text_[0].size() + text_[1].size() && open0 == (fds_[0] >= 0) && open1 == (fds_[1] >= 0))
            break; // a minute of silence: give up rather than hang the suite
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    CliOutcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.out = text_[0];
    o.err = text_[1];
    return o;
}

} // namespace orva::test
