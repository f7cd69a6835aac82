#include "cli/Terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace orva::cli {
namespace {

struct termios g_saved;
volatile sig_atomic_t g_echoOff = 0;

// Ctrl-C while a password is typed: the terminal gets its echo back before the program ends.
void RestoreAndDie(int sig) {
    if (g_echoOff)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

std::optional<std::string> ReadLine() {
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n')
            break;
        // A typed password has no business being kilobytes long; the rest of the line is dropped.
        if (line.size() < 4096)
            line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> AskLine(const std::string& prompt) {
    if (!StdinIsTerminal())
        return std::nullopt;
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    return ReadLine();
}

std::optional<std::string> AskHidden(const std::string& prompt) {
    if (!StdinIsTerminal() || ::tcgetattr(STDIN_FILENO, &g_saved) != 0)
        return std::nullopt;
    struct sigaction restore {}, oldInt {}, oldTerm {};
    restore.sa_handler = RestoreAndDie;
    sigemptyset(&restore.sa_mask);
    sigaction(SIGINT, &restore, &oldInt);
    sigaction(SIGTERM, &restore, &oldTerm);
    struct termios quiet = g_saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    // Echo goes off before the prompt shows: what is typed once it shows is neither echoed nor
    // flushed away with the typeahead.
    const bool off = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    g_echoOff = off;
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    std::optional<std::string> line = ReadLine();
    if (off)
        ::tcsetattr(STDIN_FILENO, TCSADRAIN, &g_saved);
    g_echoOff = 0;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    return line;
}

bool Confirm(const std::string& question) {
    const std::optional<std::string> answer = AskLine(question + " [y/N] ");
    return answer && (*answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "YES");
}

} // namespace orva::cli
