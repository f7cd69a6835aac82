#include "cli/OptionChecks.h"

#include "cli/Answers.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orva::cli {
namespace {

bool ReadLogDate(const std::string& text, LogDate& date) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3)
        return false;
    if (text[4] != '-' || text[7] != '-' || y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    // 2026-02-30 would still compare as a text, but it is no day anybody meant.
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0))
        return false;
    date = {y, m, d};
    return true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

CLI::Validator Ipv4Address() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            in_addr parsed{};
            if (::inet_pton(AF_INET, text.c_str(), &parsed) == 1)
                return {};
            return "'" + text + "' is not an IPv4 address (four numbers 0-255 joined by dots, e.g. 192.168.1.1)";
        },
        "", "IPv4 address");
}

CLI::Validator DateOption() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            LogDate date;
            return ReadLogDate(text, date) ? std::string() : "'" + text + "' is no date written YYYY-MM-DD";
        },
        "", "date");
}

CLI::Validator AnswersText() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            AnswerScript script;
            return script.parse(text).error();
        },
        "", "answers");
}

CLI::Validator Seconds() {
    return CLI::Range(1, 3600).description("");
}

CLI::Validator NotEmpty() {
    return CLI::Validator([](std::string& text) { return text.empty() ? std::string("needs a file name") : ""; },
                          "", "not empty");
}

LogDate ParseLogDate(const std::string& text) {
    LogDate date;
    ReadLogDate(text, date);
    return date;
}

std::optional<std::string> MatchModel(const std::string& name, const std::vector<std::string>& listed) {
    const std::string wanted = Lower(name);
    for (const std::string& model : listed)
        if (model == name)
            return model;
    for (const std::string& model : listed)
        if (Lower(model) == wanted)
            return model;
    return std::nullopt;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text.empty() ? "(none)" : text;
}

} // namespace orva::cli
