#pragma once
// The boxes shown after a crash. A crashed process must not run the GUI toolkit (its locks and
// heap may be in any state), so a short-lived helper program shows them: `orva-crash-prompt
// question|info CAPTION TEXT`, exit code 0 for Yes (or shown), 1 for No. Without the helper the crashed
// process asks on its own terminal with plain system calls.
#include <initializer_list>

namespace orva::crash {

// Exit codes of the helper program.
constexpr int kPromptYes = 0;
constexpr int kPromptNo = 1;
constexpr int kPromptUsage = 2;

// The environment variable that answers the question when no box or terminal can be used.
constexpr const char* kAnswerVariable = "ORVA_CRASH_ANSWER";

// 1 for "yes"/"y"/"1"/"true", 0 for "no"/"n"/"0"/"false" (any letter case), -1 for anything else.
inline int ParseCrashAnswer(const char* text) {
    if (!text)
        return -1;
    auto same = [](const char* a, const char* b) {
        for (; *a && *b; ++a, ++b) {
            const char lower = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
            if (lower != *b)
                return false;
        }
        return *a == '\0' && *b == '\0';
    };
    for (const char* yes : {"yes", "y", "1", "true"})
        if (same(text, yes))
            return 1;
    for (const char* no : {"no", "n", "0", "false"})
        if (same(text, no))
            return 0;
    return -1;
}

enum class PromptKind { Question, Information };
enum class PromptResult { Yes, No, Unavailable };

// Runs the helper and waits for it; Unavailable when it could not be started or failed.
// Async-signal-safe.
PromptResult RunPromptHelper(const char* helper, PromptKind kind, const char* caption, const char* text);

// The crashed process's own way of asking: the answer variable, else a terminal on standard input,
// else No. Async-signal-safe.
bool AskInProcess(const char* caption, const char* text);
// Writes the text to standard error. Async-signal-safe.
void TellInProcess(const char* caption, const char* text);

// An environment variable, looked up without the C library (no locks). Async-signal-safe.
const char* FindEnvironment(const char* name);

} // namespace orva::crash
