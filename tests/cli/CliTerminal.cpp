#include "CliTerminal.h"

#include "CliRunner.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>


namespace orva::test {

CliTerminal::CliTerminal(const std::vector<std::string>& args) {
    std::vector<std::string> words = {ORVA_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv = NullTerminated(words);
    std::vector<std::string> envWords = ChildEnvironment();
    std::vector<char*> envp = NullTerminated(envWords);

    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    EXPECT_GE(pid_, 0) << std::strerror(errno);
    if (pid_ == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        std::_Exit(127);
    }
}

CliTerminal::~CliTerminal() {
    if (pid_ > 0 && !waited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0)
        ::close(master_);
}

void CliTerminal::pump(int ms) {
    pollfd fd = {master_, POLLIN, 0};
    if (master_ < 0 || ::poll(&fd, 1, ms) <= 0)
        return;
    char buf[4096];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) { // EIO once the program has ended and closed the terminal
        ::close(master_);
        master_ = -1;
        return;
    }
    screen_.append(buf, static_cast<size_t>(n));
}

bool CliTerminal::waitFor(const std::string& text, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (screen_.find(text) == std::string::npos) {
        if (master_ < 0 || std::chrono::steady_clock::now() >= until)
            return false;
        pump(50);
    }
    return true;
}

bool CliTerminal::echoing() const {
    termios t{};
    // The master answers for the terminal pair: these are the settings the program set.
    return ::tcgetattr(master_, &t) == 0 && (t.c_lflag & ECHO) != 0;
}

void CliTerminal::type(const std::string& keys) {
    EXPECT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

int CliTerminal::finish() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (master_ >= 0 && std::chrono::steady_clock::now() < until)
        pump(100);
    int status = 0;
    // The terminal closes a moment before the process is gone: its exit is waited for, but still
    // running a minute on (waiting for input that never comes) it is ended, so the suite goes on.
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
        ::usleep(10000);
    if (done == 0) {
        ADD_FAILURE() << "orva-cli still runs on the terminal:\n" << screen_;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace orva::test
