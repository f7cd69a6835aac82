#include "ChildProcess.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::test {

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> words = extra;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "ORVA_", 5) != 0)
            words.emplace_back(*e);
    return words;
}

std::vector<char*> NullTerminated(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& w : words)
        pointers.push_back(w.data());
    pointers.push_back(nullptr);
    return pointers;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const ChildOptions& options) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> envWords = ChildEnvironment(options.env);
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    std::vector<char*> argv = NullTerminated(words);
    std::vector<char*> envp = NullTerminated(envWords);
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        // The child starts with every signal at its default, as from a shell.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int s = 1; s < NSIG; ++s)
            ::sigaction(s, &dfl, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options.fileSizeLimit >= 0) {
            rlimit lim{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    fds_[0] = outPipe[0];
    fds_[1] = errPipe[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        finish();
    }
    for (int fd : fds_)
        if (fd >= 0)
            ::close(fd);
}

void ChildProcess::kill(int sig) {
    if (pid_ > 0 && !reaped_)
        ::kill(pid_, sig);
}

void ChildProcess::pump(int timeoutMs) {
    pollfd fds[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0)
        return;
    for (int i = 0; i < 2; ++i) {
        if (fds_[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buf[8192];
        const ssize_t n = ::read(fds_[i], buf, sizeof buf);
        if (n <= 0) {
            ::close(fds_[i]);
            fds_[i] = -1;
        } else {
            text_[i].append(buf, static_cast<size_t>(n));
        }
    }
}

const std::string& ChildProcess::readFor(int ms) {
    pump(ms);
    return text_[0];
}

bool ChildProcess::waitForLines(std::size_t lines, int ms) {
    for (;;) {
        if (static_cast<std::size_t>(std::count(text_[0].begin(), text_[0].end(), '\n')) >= lines)
            return true;
        if (fds_[0] < 0 && fds_[1] < 0)
            return false;
        const std::size_t before = text_[0].size() + text_[1].size();
        pump(ms);
        if (before == text_[0].size() + text_[1].size() && fds_[0] >= 0)
            return false;
    }
}

ChildOutcome ChildProcess::finish() {
    ChildOutcome o;
    if (pid_ <= 0)
        return o;
    while (fds_[0] >= 0 || fds_[1] >= 0) {
        const std::size_t before = text_[0].size() + text_[1].size();
        const bool open0 = fds_[0] >= 0, open1 = fds_[1] >= 0;
        pump(60000);
        if (before == text_[0].size() + text_[1].size() && open0 == (fds_[0] >= 0) && open1 == (fds_[1] >= 0)) {
            ::kill(pid_, SIGKILL); // a minute of silence: a hang is a failure, not a reason to hang the suite
            break;
        }
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    if (WIFEXITED(status))
        o.code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        o.signal = WTERMSIG(status);
    o.out = text_[0];
    o.err = text_[1];
    return o;
}

} // namespace orva::test
