#include "core/crash/CrashPrompt.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::crash {
namespace {

void WriteText(int fd, const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = write(fd, text, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

void WriteBox(const char* caption, const char* text) {
    WriteText(STDERR_FILENO, "\n[");
    WriteText(STDERR_FILENO, caption);
    WriteText(STDERR_FILENO, "]\n");
    WriteText(STDERR_FILENO, text);
    WriteText(STDERR_FILENO, "\n");
}

} // namespace

const char* FindEnvironment(const char* name) {
    const std::size_t n = std::strlen(name);
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, name, n) == 0 && (*e)[n] == '=')
            return *e + n + 1;
    return nullptr;
}

PromptResult RunPromptHelper(const char* helper, PromptKind kind, const char* caption, const char* text) {
    if (!helper || !*helper)
        return PromptResult::Unavailable;
    // _Fork skips the fork handlers, which take locks a crashed thread may already hold.
    const pid_t pid = _Fork();
    if (pid < 0)
        return PromptResult::Unavailable;
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const char* argv[] = {helper, kind == PromptKind::Question ? "question" : "info", caption, text, nullptr};
        execve(helper, const_cast<char* const*>(argv), environ);
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return PromptResult::Unavailable;
    }
    if (!WIFEXITED(status))
        return PromptResult::Unavailable;
    switch (WEXITSTATUS(status)) {
    case kPromptYes:
        return PromptResult::Yes;
    case kPromptNo:
        return PromptResult::No;
    default:
        return PromptResult::Unavailable;
    }
}

bool AskInProcess(const char* caption, const char* text) {
    WriteBox(caption, text);
    const int preset = ParseCrashAnswer(FindEnvironment(kAnswerVariable));
    if (preset >= 0)
        return preset == 1;
    if (!isatty(STDIN_FILENO))
        return false;
    WriteText(STDERR_FILENO, "[y/N] ");
    char answer[2] = {};
    char c = 0;
    std::size_t n = 0;
    while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
        if (n == 0)
            answer[n++] = c;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

void TellInProcess(const char* caption, const char* text) {
    WriteBox(caption, text);
}

} // namespace orva::crash
