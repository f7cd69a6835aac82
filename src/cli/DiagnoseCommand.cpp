// orva-cli diagnose: one diagnosis of the gateway at the maintenance address.
#include "cli/Answers.h"
#include "cli/CliCommon.h"
#include "cli/CliView.h"
#include "cli/GatewayIdentity.h"
#include "cli/OptionChecks.h"
#include "cli/Terminal.h"

#include "core/app/AppSettings.h"
#include "core/app/IniFile.h"
#include "core/diagnosis/DeviceModels.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/records/RecordFields.h"
#include "core/records/UploadPass.h"

#include <nlohmann/json.hpp>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace orva::cli {
namespace {

int g_wakeWrite = -1;

void OnSignal(int) {
    const char byte = 's';
    [[maybe_unused]] ssize_t n = ::write(g_wakeWrite, &byte, 1);
}

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

nlohmann::json SummaryJson(const RunSummary& s, const std::string& address, const std::string& model) {
    nlohmann::json items = nlohmann::json::array();
    for (const auto& c : s.checks)
        items.push_back({{"number", c.item}, {"name", c.name}, {"mark", c.mark}, {"result", c.result}});
    nlohmann::json doc = {
        {"completed", s.ended && s.outcome == RunOutcome::Finished},
        {"outcome", s.ended ? OutcomeName(s.outcome) : "not-started"},
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

// Reads what the technician typed; true when a whole line was handed to the session.
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

struct DiagnoseOptions {
    std::string address;
    std::string model;
    std::string answers;
    int replyTimeout = 0; // 0: the session's default
    bool json = false;
};

// The model to diagnose as: --model as device.ini spells it, or the gateway's own when it is listed.
// nullopt after the message; `code` is then the exit code.
std::optional<std::string> ListedModel(const std::string& asked, int& code) {
    const std::vector<std::string> listed = OfferedModels(ReadModelList());
    if (std::optional<std::string> model = MatchModel(asked, listed))
        return model;
    UsageError("--model " + asked + ": " + DeviceIniPath() + " has no such model (models: " + JoinNames(listed) + ")");
    code = kExitUsage;
    return std::nullopt;
}

std::optional<std::string> GatewayModel(const std::string& address, int replyTimeout, int& code) {
    const GatewayIdentity identity =
        ReadGatewayIdentity(address, replyTimeout > 0 ? replyTimeout : 5, "asking " + address + " for its model …");
    const auto found = identity.fields.find("PRODUCTCLASS");
    const std::string productClass = found == identity.fields.end() ? "" : found->second;
    if (productClass.empty()) {
        std::fprintf(stderr, "orva-cli: no gateway told its model at %s%s%s; give --model M to diagnose anyway\n",
                     address.c_str(), identity.connectError.empty() ? "" : ": ", identity.connectError.c_str());
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

// What became of the report, for a person reading the output.
void SayWhereTheRecordIs(std::FILE* out, const RunSummary& s) {
    if (!s.record || s.stored != 1 || s.reported)
        return;
    if (s.keptForUpload)
        std::fprintf(out, "the record waits in uploads for the next upload: %s\n", s.reportProblem.c_str());
    else
        std::fprintf(out, "the record was not reported (%s) and could not be kept for a later upload\n",
                     s.reportProblem.c_str());
}

int RunDiagnose(const DiagnoseOptions& options);

} // namespace

Command AddDiagnose(CLI::App& program) {
    auto options = std::make_shared<DiagnoseOptions>();
    CLI::App* app = program.add_subcommand("diagnose", "Run a whole diagnosis; store and report its record");
    app->add_option("--address", options->address, "the gateway (default: MaintenanceAddress of setting.ini)")
        ->type_name("ADDRESS")
        ->check(Ipv4Address());
    app->add_option("--model", options->model, "a model of res/device.ini, any letter case (default: the gateway's)")
        ->type_name("MODEL");
    app->add_option("--answers", options->answers,
                    "yes, no, or NAME=yes|no,... on a default of yes (default: asked on the terminal)")
        ->type_name("LIST")
        ->check(AnswersText());
    app->add_option("--reply-timeout", options->replyTimeout, "seconds to wait for each reply (default 15)")
        ->type_name("SECONDS")
        ->check(Seconds());
    app->add_flag("--json", options->json, "print the run as one JSON document (the lines go to stderr)");
    app->footer("Question names for --answers: uplink, led, ring1, dtmf1, cng1, ring2, dtmf2, cng2, loop.\n"
                "Exit: 0 every check passed and the record is stored, 1 faults (or the record not stored),\n"
                "2 not finished (no connection, model mismatch, Ctrl-C), 64 usage.");
    return {app, [options] { return RunDiagnose(*options); }};
}

namespace {

int RunDiagnose(const DiagnoseOptions& o) {
    std::optional<AnswerScript> script;
    if (!o.answers.empty()) {
        script.emplace();
        std::string error;
        script->parse(o.answers, error); // checked when the command line was read
    } else if (!StdinIsTerminal()) {
        UsageError("the diagnosis asks questions and there is no terminal to answer them; "
                   "give --answers yes, --answers no or --answers NAME=yes|no,...");
        return kExitUsage;
    }
    SessionOptions options;
    if (o.replyTimeout > 0)
        options.replyTimeoutSeconds = o.replyTimeout;
    const std::string target = o.address.empty() ? Settings().MaintenanceAddress : o.address;
    int code = kExitUsage;
    std::optional<std::string> model;
    if (!o.model.empty() && !(model = ListedModel(o.model, code)))
        return code;

    std::string operatorName;
    if (const std::optional<int> entered = EnterTool(operatorName))
        return *entered;
    if (!model && !(model = GatewayModel(target, o.replyTimeout, code)))
        return code;

    // The stored records go out again while the diagnosis runs, as after the GUI's login.
    UploadPass upload;
    upload.start();

    int wake[2];
    if (::pipe(wake) != 0) {
        std::perror("pipe");
        return kExitNotFinished;
    }
    g_wakeWrite = wake[1];
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    CliView view(o.json ? stderr : stdout, wake[1]);
    view.setScript(script);
    RunSummary summary;
    bool interrupted = false;
    {
        DiagnosisSession session(view, nullptr, options);
        view.setSession(&session);
        session.initialise();
        session.setOperator(operatorName);
        session.confirmModel(*model);

        if (session.start(target)) {
            const bool terminal = !script;
            std::string typed;
            bool eof = false;
            bool ended = false;
            while (!ended) {
                pollfd fds[2] = {{wake[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
                const nfds_t count = terminal && !eof ? 2 : 1;
                if (::poll(fds, count, -1) < 0)
                    continue; // interrupted by a signal: its byte is in the pipe
                if (fds[0].revents & POLLIN) {
                    char byte = 0;
                    if (::read(wake[0], &byte, 1) == 1) {
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
        summary = session.lastRun();
    }
    if (interrupted || !summary.ended || summary.outcome != RunOutcome::Finished)
        upload.requestStop();
    upload.wait();
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    ::close(wake[0]);
    ::close(wake[1]);

    SayWhereTheRecordIs(o.json ? stderr : stdout, summary);
    if (o.json)
        std::printf("%s\n", SummaryJson(summary, target, *model).dump(2).c_str());
    std::fflush(stdout);
    if (!summary.ended || summary.outcome != RunOutcome::Finished)
        return kExitNotFinished;
    // A template that selects nothing (a device.ini cut short or spoilt) gives a run that checks nothing;
    // passing the gateway on that would be a plainly wrong result.
    if (summary.checks.empty()) {
        std::fprintf(stderr, "orva-cli: no check was run: the template of %s in %s selects none\n", model->c_str(),
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

} // namespace

} // namespace orva::cli
