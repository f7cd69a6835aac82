#pragma once
// Questions asked of the person at the terminal: a line, a password without echo, a yes/no
// confirmation. Each is asked on standard error and read from standard input, and only when standard
// input is a terminal (nullopt otherwise, or at end of input).
#include <optional>
#include <string>

namespace orva::cli {

bool StdinIsTerminal();
std::optional<std::string> AskLine(const std::string& prompt);
// Echo is off while the line is typed and back on afterwards, Ctrl-C included.
std::optional<std::string> AskHidden(const std::string& prompt);
// "QUESTION [y/N] ": true only for y or yes.
bool Confirm(const std::string& question);

} // namespace orva::cli
