#pragma once
// The diagnosis shown as lines of text: one per finished check, the connection and model messages,
// the faults at the end. Prompts are answered from a script or, on a terminal, by the technician.
#include "cli/Answers.h"

#include "core/diagnosis/DiagnosisSession.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>

namespace orva::cli {

class CliView final : public DiagnosisView {
public:
    // `out` receives the report lines; `wakeFd` gets one byte when the run has ended.
    CliView(std::FILE* out, int wakeFd) : out_(out), wakeFd_(wakeFd) {}

    void setSession(DiagnosisSession* session) { session_ = session; }
    // Scripted answers; without them prompts wait for the terminal.
    void setScript(std::optional<AnswerScript> script) { script_ = std::move(script); }

    std::optional<RunOutcome> outcome() const;

    void runStarting(const std::string& address) override;
    void stepFailed(const std::string& step, const std::string& result) override;
    void identityRead(const std::string& productClass, const std::string& serial) override;
    void logRowAdded(LogTab tab, int number, const std::string& item, const std::string& result) override;
    void faultsShown(const std::vector<std::string>& faults) override;
    void reportStarting() override;
    void questionOpened(const Prompt& prompt, int item) override;
    void message(const std::string& text) override;
    void runEnded(RunOutcome outcome) override;

private:
    void line(const std::string& text);
    void note(const std::string& text); // on standard error, whatever `out` is

    std::FILE* out_;
    int wakeFd_;
    DiagnosisSession* session_ = nullptr;
    std::optional<AnswerScript> script_;
    mutable std::mutex mutex_;
    std::optional<RunOutcome> outcome_;
};

} // namespace orva::cli
