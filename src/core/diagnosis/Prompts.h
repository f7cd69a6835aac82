#pragma once
// What the prompt window shows for each question of a run.
#include "core/diagnosis/DiagnosisView.h"

#include <string>

namespace orva {

// The prompt for a question (its notification number), the telephone port (1 or 2) for the port
// questions, and the confirmed model, which chooses the DSL or optical wording.
Prompt PromptFor(int questionId, int port, const std::string& model);

} // namespace orva
