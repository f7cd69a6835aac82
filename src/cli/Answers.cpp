#include "cli/Answers.h"

#include "core/diagnosis/DiagnosisMessages.h"

#include <algorithm>

namespace orva::cli {

const char* const AnswerScript::kNames[] = {"uplink", "led",   "ring1", "dtmf1", "cng1",
                                            "ring2",  "dtmf2", "cng2",  "loop",  nullptr};

namespace {

bool ParseWord(const std::string& word, bool& out) {
    if (word == "yes" || word == "y") {
        out = true;
        return true;
    }
    if (word == "no" || word == "n") {
        out = false;
        return true;
    }
    return false;
}

bool KnownName(const std::string& name) {
    for (const char* const* n = AnswerScript::kNames; *n; ++n)
        if (name == *n)
            return true;
    return false;
}

} // namespace

std::string QuestionName(const Prompt& p) {
    const std::string port = p.value == 2 ? "2" : "1";
    switch (p.questionId) {
    case WM_DIAG_UPLINK_RESULT:
        return "uplink";
    case WM_DIAG_LED_JUDGE:
        return "led";
    case WM_DIAG_RING_JUDGE:
        return "ring" + port;
    case WM_DIAG_DTMF_JUDGE:
        return "dtmf" + port;
    case WM_DIAG_CNG_JUDGE:
        return "cng" + port;
    case WM_DIAG_LOOP_JUDGE:
        return "loop";
    default:
        return {};
    }
}

Result<void> AnswerScript::parse(const std::string& text) {
    answers_.clear();
    defaultAnswer_ = true;
    bool all = true;
    if (ParseWord(text, all)) {
        defaultAnswer_ = all;
        return {};
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t eq = item.find('=');
        bool value = true;
        if (eq == std::string::npos || !KnownName(item.substr(0, eq)) || !ParseWord(item.substr(eq + 1), value)) {
            return Failure{"bad answer '" + item +
                           "': use yes, no, or NAME=yes|no for uplink, led, ring1, dtmf1, cng1, ring2, dtmf2, cng2, loop"};
        }
        answers_[item.substr(0, eq)] = value;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return {};
}

bool AnswerScript::decide(const Prompt& prompt) const {
    if (prompt.mode == 0)
        return true;
    auto it = answers_.find(QuestionName(prompt));
    return it == answers_.end() ? defaultAnswer_ : it->second;
}

} // namespace orva::cli
