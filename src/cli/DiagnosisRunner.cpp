#include "cli/DiagnosisRunner.h"

#include "cli/CliCommon.h"
#include "cli/CliView.h"
#include "cli/OptionChecks.h"
#include "cli/Terminal.h"

#include "core/app/IniFile.h"
#include "core/diagnosis/DeviceModels.h"
#include "core/records/RecordFields.h"
#include "core/records/UploadPass.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace orva::cli {
namespace {

const char* OutcomeName(RunOutcome o) {
    switch (o) {
    case RunOutcome::Finished:
        return "finished";
    case RunOutcome::NoTemplate:
        return "no-template";
    case RunOutcome::ConnectError:
        return "connect-error";
    case RunOutcome::ConnectTimeout:
        return "connect-timeout";
    case RunOutcome::ModelMismatch:
        return "model-mismatch";
    case RunOutcome::PotsStartFailed:
        return "telephone-start-refused";
    case RunOutcome::Stopped:
        return "stopped";
    }
    return "unknown";
}

// The record's own columns under their stored names: texts as strings, results and loads as numbers.
nlohmann::json RecordJson(const DiagRecord& r) {
    nlohmann::json object = nlohmann::json::object();
    for (const RecordField& field : RecordFields()) {
        if (const auto* text = std::get_if<std::string DiagRecord::*>(&field.member))
            object[field.name] = r.**text;
        else if (const auto* result = std::get_if<int DiagRecord::*>(&field.member))
            object[field.name] = r.**result;
        else if (const auto* load = std::get_if<float DiagRecord::*>(&field.member))
            object[field.name] = r.**load;
    }
    return object;
}

// Reads what the technician typed and hands each whole line to the session.
void TakeTerminalInput(DiagnosisSession& session, std::string& pending, bool& eof) {
    char buf[256];
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        eof = true;
        return;
    }
    pending.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        std::string word = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        while (!word.empty() && (word.back() == '\r' || word.back() == ' '))
            word.pop_back();
        auto open = session.openPrompt();
        if (!open)
            continue;
        if (word.empty() || word == "y" || word == "Y" || word == "yes")
            session.answer(true);
        else if (word == "n" || word == "N" || word == "no")
            session.answer(false);
        else
            std::fprintf(stderr, "%s ", open->mode == 0 ? "(Enter)" : "(y/n)");
        std::fflush(stderr);
    }
}

} // namespace

void AddRunOptions(CLI::App* app, RunOptions& o, const char* addressHelp, const char* modelHelp) {
    app->add_option("--address", o.address, addressHelp)->type_name("ADDRESS")->check(Ipv4Address());
    app->add_option("--model", o.model, modelHelp)->type_name("MODEL");
    app->add_option("--answers", o.answers,
                    "yes, no, or NAME=yes|no,... on a default of yes (default: asked on the terminal)")
        ->type_name("LIST")
        ->check(AnswersText());
    app->add_option("--reply-timeout", o.replyTimeout, "seconds to wait for each reply (default 15)")
        ->type_name("SECONDS")
        ->check(Seconds());
}

bool AnswersOrTerminal(const std::string& answers, std::optional<AnswerScript>& script) {
    if (!answers.empty()) {
        script.emplace();
        (void)script->parse(answers); // checked when the command line was read
        return true;
    }
    if (StdinIsTerminal())
        return true;
    UsageError("the diagnosis asks questions and there is no terminal to answer them; "
               "give --answers yes, --answers no or --answers NAME=yes|no,...");
    return false;
}

std::optional<std::string> ListedModel(const std::string& asked) {
    const std::vector<std::string> listed = OfferedModels(ReadModelList());
    if (std::optional<std::string> model = MatchModel(asked, listed))
        return model;
    UsageError("--model " + asked + ": " + DeviceIniPath() + " has no such model (models: " + JoinNames(listed) + ")");
    return std::nullopt;
}

std::optional<std::string> ModelOfGateway(const std::string& address, const std::string& productClass,
                                          const std::string& connectError, int& code) {
    if (productClass.empty()) {
        std::fprintf(stderr, "orva-cli: no gateway told its model at %s%s%s; give --model M to diagnose anyway\n",
                     address.c_str(), connectError.empty() ? "" : ": ", connectError.c_str());
        code = kExitNotFinished;
        return std::nullopt;
    }
    const std::vector<std::string> listed = OfferedModels(ReadModelList());
    if (std::optional<std::string> model = MatchModel(productClass, listed)) {
        std::fprintf(stderr, "the gateway at %s is a %s\n", address.c_str(), model->c_str());
        return model;
    }
    UsageError("the gateway at " + address + " is a " + productClass + ", which " + DeviceIniPath() +
               " does not list (models: " + JoinNames(listed) + ")");
    code = kExitUsage;
    return std::nullopt;
}

RunSummary RunOneDiagnosis(const DiagnosisRequest& request, StopSignals& signals, UploadPass& upload,
                           bool& interrupted) {
    interrupted = false;
    CliView view(request.out, signals.writeFd());
    view.setScript(request.script);
    DiagnosisSession session(view, nullptr, request.options);
    view.setSession(&session);
    session.initialise();
    session.setOperator(request.operatorName);
    session.confirmModel(request.model);

    if (session.start(request.target)) {
        const bool terminal = !request.script;
        std::string typed;
        bool eof = false;
        bool ended = false;
        while (!ended) {
            pollfd fds[2] = {{signals.readFd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
            const nfds_t count = terminal && !eof ? 2 : 1;
            if (::poll(fds, count, -1) < 0)
                continue; // interrupted by a signal: its byte is in the pipe
            if (fds[0].revents & POLLIN) {
                char byte = 0;
                if (::read(signals.readFd(), &byte, 1) == 1) {
                    if (byte == 'e') {
                        ended = true;
                    } else {
                        interrupted = true;
                        // Ctrl-C during the final report gives the report up: the record is stored
                        // already and waits in uploads. Before that it is the Stop button: nothing
                        // stored or reported.
                        if (!session.abandonReport() && session.running())
                            session.stop();
                        upload.requestStop();
                    }
                }
            }
            if (count > 1 && (fds[1].revents & (POLLIN | POLLHUP))) {
                TakeTerminalInput(session, typed, eof);
                if (eof && session.running())
                    session.stop();
            }
        }
        session.waitForRunEnd(std::chrono::seconds(5));
    }
    return session.lastRun();
}

std::string OutcomeText(const RunSummary& s) {
    return s.ended ? OutcomeName(s.outcome) : "not-started";
}

nlohmann::json SummaryJson(const RunSummary& s, const std::string& address, const std::string& model) {
    nlohmann::json items = nlohmann::json::array();
    for (const auto& c : s.checks)
        items.push_back({{"number", c.item}, {"name", c.name}, {"mark", c.mark}, {"result", c.result}});
    nlohmann::json doc = {
        {"completed", s.ended && s.outcome == RunOutcome::Finished},
        {"outcome", OutcomeText(s)},
        {"address", address},
        {"model", model.empty() ? nlohmann::json(nullptr) : nlohmann::json(model)},
        {"identity", {{"serial", s.serial}, {"productClass", s.productClass}}},
        {"items", items},
        {"faults", s.faults},
        {"record", s.record ? RecordJson(*s.record) : nlohmann::json(nullptr)},
        {"stored", s.record ? s.stored == 1 : false},
        {"reported", s.record ? s.reported : false},
        {"kept_for_upload", s.record ? s.keptForUpload : false},
        {"report_problem", s.record && !s.reported ? nlohmann::json(s.reportProblem) : nlohmann::json(nullptr)},
    };
    return doc;
}

void SayWhereTheRecordIs(std::FILE* out, const RunSummary& s) {
    if (!s.record || s.stored != 1 || s.reported)
        return;
    if (s.keptForUpload)
        std::fprintf(out, "the record waits in uploads for the next upload: %s\n", s.reportProblem.c_str());
    else
        std::fprintf(out, "the record was not reported (%s) and could not be kept for a later upload\n",
                     s.reportProblem.c_str());
}

int DiagnosisExitCode(const RunSummary& summary, const std::string& model) {
    if (!summary.ended || summary.outcome != RunOutcome::Finished)
        return kExitNotFinished;
    // A template that selects nothing (a device.ini cut short or spoilt) gives a run that checks nothing;
    // passing the gateway on that would be a plainly wrong result.
    if (summary.checks.empty()) {
        std::fprintf(stderr, "orva-cli: no check was run: the template of %s in %s selects none\n", model.c_str(),
                     DeviceIniPath().c_str());
        return kExitFaults;
    }
    // A run whose record did not reach logs is not done: a script that only looks at the exit code must
    // not take it for a stored, passed diagnosis. The store's own error text has been printed already.
    if (summary.record && summary.stored != 1) {
        std::fprintf(stderr, "orva-cli: the record of this diagnosis was not stored\n");
        return kExitFaults;
    }
    // Neither reported nor waiting in uploads: nobody will ever report it.
    if (summary.record && !summary.reported && !summary.keptForUpload)
        return kExitFaults;
    return summary.faults.empty() ? kExitOk : kExitFaults;
}

} // namespace orva::cli
