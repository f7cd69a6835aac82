#pragma once
// orva-cli started on a pseudo-terminal, as a person at a keyboard runs it: standard input, output and
// error are the terminal, so what it asks can be answered and whether it echoes can be seen.
#include <string>
#include <sys/types.h>
#include <vector>

namespace orva::test {

class CliTerminal {
public:
    explicit CliTerminal(const std::vector<std::string>& args);
    ~CliTerminal();
    CliTerminal(const CliTerminal&) = delete;
    CliTerminal& operator=(const CliTerminal&) = delete;

    // Reads until `text` has appeared in the output (true) or `ms` milliseconds passed (false).
    bool waitFor(const std::string& text, int ms = 20000);
    // Whether the terminal echoes what is typed right now.
    bool echoing() const;
    void type(const std::string& keys);
    // Everything shown so far (with the terminal's CR LF line ends).
    const std::string& screen() const { return screen_; }
    // Reads to the end and waits for the exit code.
    int finish();

private:
    void pump(int ms);

    pid_t pid_ = -1;
    int master_ = -1;
    std::string screen_;
    bool waited_ = false;
};

} // namespace orva::test
