#pragma once
// Checks of option values, so that a value a command cannot use is refused with the option's name
// before anything is sent or stored.
#include "core/records/LogQuery.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace orva::cli {

// An IPv4 address written as four decimal parts (no host names: nothing is looked up).
CLI::Validator Ipv4Address();
// "YYYY-MM-DD" with a real month and day.
CLI::Validator DateOption();
// An --answers text (see AnswerScript).
CLI::Validator AnswersText();
// A number of seconds, 1 to 3600.
CLI::Validator Seconds();
// Not empty (a file name).
CLI::Validator NotEmpty();

// The date of a text that DateOption() accepted.
LogDate ParseLogDate(const std::string& text);

// The listed name that `name` matches, letter case aside; nullopt when none does.
std::optional<std::string> MatchModel(const std::string& name, const std::vector<std::string>& listed);
// "KT540G, KT540G-U, ..." for a message.
std::string JoinNames(const std::vector<std::string>& names);

} // namespace orva::cli
