#pragma once
// What diagnose and station share: the answers, the model, one whole diagnosis with its session, view
// and record sink, the signals that stop it, the run's JSON and its exit code.
#include "cli/Answers.h"
#include "cli/StopSignals.h"

#include "core/diagnosis/DiagnosisSession.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace orva {
class UploadPass;
}

namespace orva::cli {

// The options of a command that runs diagnoses: where, as which model, the answers, the reply time-out.
struct RunOptions {
    std::string address;
    std::string model;
    std::string answers;
    int replyTimeout = 0; // 0: the session's default
};
// Adds --address, --model, --answers and --reply-timeout; `addressHelp` and `modelHelp` say what their
// defaults are for this command.
void AddRunOptions(CLI::App* app, RunOptions& o, const char* addressHelp, const char* modelHelp);

// The --answers script, or nullopt for the terminal. False (after the message) when there is neither.
bool AnswersOrTerminal(const std::string& answers, std::optional<AnswerScript>& script);

// The model to diagnose as: --model as device.ini spells it. nullopt after the message (exit 64).
std::optional<std::string> ListedModel(const std::string& asked);
// The model of device.ini a gateway's PRODUCTCLASS names, any letter case. nullopt after the message:
// `code` is then the exit code (2 no model told, 64 a model device.ini does not list).
std::optional<std::string> ModelOfGateway(const std::string& address, const std::string& productClass,
                                          const std::string& connectError, int& code);

struct DiagnosisRequest {
    std::string target;
    std::string model;
    std::string operatorName;
    std::optional<AnswerScript> script; // nullopt: the prompts are asked on the terminal
    SessionOptions options;
    std::FILE* out = stdout; // the check lines
};

// One diagnosis as the diagnosis page runs it, with the default record sink (stored, then reported).
// A stop signal ends it the way the Stop button does (before the final report: nothing stored), or
// during the report gives the report up (the record waits in uploads); `interrupted` is then set and
// `upload` is asked to stop.
RunSummary RunOneDiagnosis(const DiagnosisRequest& request, StopSignals& signals, UploadPass& upload,
                           bool& interrupted);

// "finished", "connect-timeout", ...; "not-started" for a run that never began.
std::string OutcomeText(const RunSummary& summary);
// The run as diagnose --json prints it.
nlohmann::json SummaryJson(const RunSummary& s, const std::string& address, const std::string& model);
// What became of the report, for a person reading the output.
void SayWhereTheRecordIs(std::FILE* out, const RunSummary& s);
// diagnose's exit code for a run (0 passed and stored, 1 faults or not stored, 2 not finished), with
// the message of a run that checked nothing or whose record was lost.
int DiagnosisExitCode(const RunSummary& s, const std::string& model);

} // namespace orva::cli
