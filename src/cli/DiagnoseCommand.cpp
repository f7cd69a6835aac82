// orva-cli diagnose: one diagnosis of the gateway at the maintenance address.
#include "Answers.h"
#include "CliCommon.h"
#include "CliView.h"

#include "app/AppSettings.h"
#include "app/IniFile.h"
#include "diagnosis/DiagnosisSession.h"
#include "records/UploadPass.h"

#include <nlohmann/json.hpp>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

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

nlohmann::json RecordJson(const DiagRecord& r) {
    return {
        {"Operator", r.Operator},
        {"Mac", r.Mac},
        {"sn", r.sn},
        {"DeviceType", r.DeviceType},
        {"FE1Check", r.FE1Check},
        {"FE2Check", r.FE2Check},
        {"FE3Check", r.FE3Check},
        {"FE4Check", r.FE4Check},
        {"POS1Check", r.POS1Check},
        {"POS2Check", r.POS2Check},
        {"PONCheck", r.PONCheck},
        {"FlashCheck", r.FlashCheck},
        {"LEDCheck", r.LEDCheck},
        {"USBCheck", r.USBCheck},
        {"WifiCheck", r.WifiCheck},
        {"SoftWareVersionCheck", r.SoftWareVersionCheck},
        {"PSCheck", r.PSCheck},
        {"CPULoadCheck", r.CPULoadCheck},
        {"MemCheck", r.MemCheck},
        {"PreConfigCheck", r.PreConfigCheck},
        {"DiskIntegrityCheck", r.DiskIntegrityCheck},
    };
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

} // namespace

int RunDiagnose(Args& args) {
    bool missing = false;
    std::optional<std::string> address = args.take("address", missing);
    std::optional<std::string> model = args.take("model", missing);
    std::optional<std::string> answers = args.take("answers", missing);
    std::optional<std::string> replyTimeout = args.take("reply-timeout", missing);
    const bool json = args.takeFlag("json");
    if (missing || !args.rest().empty()) {
        std::fprintf(stderr, "usage: orva-cli [--dir DIR] [--user U --password P] diagnose [--address A] "
                             "[--model M] [--answers LIST] [--reply-timeout SECONDS] [--json]\n");
        return kExitUsage;
    }
    std::optional<AnswerScript> script;
    if (answers) {
        script.emplace();
        std::string error;
        if (!script->parse(*answers, error)) {
            std::fprintf(stderr, "orva-cli: %s\n", error.c_str());
            return kExitUsage;
        }
    } else if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "orva-cli: the diagnosis asks questions and there is no terminal to answer them; "
                             "give --answers yes, --answers no or --answers NAME=yes|no,...\n");
        return kExitUsage;
    }
    SessionOptions options;
    if (replyTimeout) {
        options.replyTimeoutSeconds = LeadingInt(*replyTimeout);
        if (options.replyTimeoutSeconds <= 0) {
            std::fprintf(stderr, "orva-cli: --reply-timeout needs a number of seconds above 0\n");
            return kExitUsage;
        }
    }

    std::string operatorName;
    if (int code = EnterTool(operatorName); code >= 0)
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

    CliView view(json ? stderr : stdout, wake[1]);
    view.setScript(script);
    RunSummary summary;
    bool interrupted = false;
    const std::string target = address ? *address : Settings().MaintenanceAddress;
    {
        DiagnosisSession session(view, nullptr, options);
        view.setSession(&session);
        session.initialise();
        session.setOperator(operatorName);
        if (model && session.confirmModel(*model) == DiagnosisSession::ConfirmResult::LoadedUnlisted)
            std::fprintf(stderr, "orva-cli: %s is not a listed model; its template was loaded anyway\n",
                         model->c_str());

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

    if (json)
        std::printf("%s\n", SummaryJson(summary, target, model ? *model : "").dump(2).c_str());
    std::fflush(stdout);
    if (!summary.ended || summary.outcome != RunOutcome::Finished)
        return kExitNotFinished;
    // A template that selects nothing (a device.ini cut short or spoilt) gives a run that checks nothing;
    // passing the gateway on that would be a plainly wrong result.
    if (summary.checks.empty()) {
        std::fprintf(stderr, "orva-cli: no check was run: the template of %s in %s selects none\n",
                     model ? model->c_str() : "the model", DeviceIniPath().c_str());
        return kExitFaults;
    }
    // A run whose record did not reach logs is not done: a script that only looks at the exit code must
    // not take it for a stored, passed diagnosis. The store's own error text has been printed already.
    if (summary.record && summary.stored != 1) {
        std::fprintf(stderr, "orva-cli: the record of this diagnosis was not stored\n");
        return kExitFaults;
    }
    return summary.faults.empty() ? kExitOk : kExitFaults;
}

} // namespace orva::cli
