#pragma once
// Scripted answers for a diagnosis without a person at the keyboard.
//   yes              acknowledge every prompt, yes to every question
//   no               acknowledge every prompt, no to every question
//   ring1=no,led=no  single questions on a default of yes
#include "core/app/Result.h"
#include "core/diagnosis/DiagnosisView.h"

#include <map>
#include <string>

namespace orva::cli {

class AnswerScript {
public:
    // Fails, saying why, for an answers text that is none of the above.
    Result<void> parse(const std::string& text);
    // The answer to a prompt: information prompts are always acknowledged.
    bool decide(const Prompt& prompt) const;

    // The names of the questions, as --answers names them.
    static const char* const kNames[];

private:
    bool defaultAnswer_ = true;
    std::map<std::string, bool> answers_;
};

// The question name of a yes/no prompt ("ring1", "led", ...); empty for information prompts.
std::string QuestionName(const Prompt& prompt);

} // namespace orva::cli
