// orva-cli diagnose: one diagnosis of the gateway at the maintenance address.
#include "cli/CliCommon.h"
#include "cli/DiagnosisRunner.h"
#include "cli/GatewayIdentity.h"
#include "cli/OptionChecks.h"

#include "core/app/AppSettings.h"
#include "core/records/UploadPass.h"

#include <cstdio>
#include <memory>

namespace orva::cli {
namespace {

struct DiagnoseOptions : RunOptions {
    bool json = false;
};

std::optional<std::string> GatewayModel(const std::string& address, int replyTimeout, int& code) {
    const GatewayIdentity identity =
        ReadGatewayIdentity(address, replyTimeout > 0 ? replyTimeout : 5, "asking " + address + " for its model …");
    const auto found = identity.fields.find("PRODUCTCLASS");
    return ModelOfGateway(address, found == identity.fields.end() ? "" : found->second, identity.connectError, code);
}

int RunDiagnose(const DiagnoseOptions& options);

} // namespace

Command AddDiagnose(CLI::App& program) {
    auto options = std::make_shared<DiagnoseOptions>();
    CLI::App* app = program.add_subcommand("diagnose", "Run a whole diagnosis; store and report its record");
    AddRunOptions(app, *options, "the gateway (default: MaintenanceAddress of setting.ini)",
                  "a model of res/device.ini, any letter case (default: the gateway's)");
    app->add_flag("--json", options->json, "print the run as one JSON document (the lines go to stderr)");
    app->footer("Question names for --answers: uplink, led, ring1, dtmf1, cng1, ring2, dtmf2, cng2, loop.\n"
                "Exit: 0 every check passed and the record is stored, 1 faults (or the record not stored),\n"
                "2 not finished (no connection, model mismatch, Ctrl-C), 64 usage.");
    return {app, [options] { return RunDiagnose(*options); }};
}

namespace {

int RunDiagnose(const DiagnoseOptions& o) {
    std::optional<AnswerScript> script;
    if (!AnswersOrTerminal(o.answers, script))
        return kExitUsage;
    SessionOptions options;
    if (o.replyTimeout > 0)
        options.replyTimeoutSeconds = o.replyTimeout;
    const std::string target = o.address.empty() ? Settings().MaintenanceAddress : o.address;
    int code = kExitUsage;
    std::optional<std::string> model;
    if (!o.model.empty() && !(model = ListedModel(o.model)))
        return kExitUsage;

    std::string operatorName;
    if (const std::optional<int> entered = EnterTool(operatorName))
        return *entered;
    if (!model && !(model = GatewayModel(target, o.replyTimeout, code)))
        return code;

    // The stored records go out again while the diagnosis runs, as after the GUI's login.
    UploadPass upload;
    upload.start();

    RunSummary summary;
    {
        StopSignals signals;
        if (!signals.ok())
            return kExitNotFinished;
        bool interrupted = false;
        summary = RunOneDiagnosis({target, *model, operatorName, script, options, o.json ? stderr : stdout}, signals,
                                  upload, interrupted);
        if (interrupted || !summary.ended || summary.outcome != RunOutcome::Finished)
            upload.requestStop();
        upload.wait();
    }

    SayWhereTheRecordIs(o.json ? stderr : stdout, summary);
    if (o.json)
        std::printf("%s\n", SummaryJson(summary, target, *model).dump(2).c_str());
    std::fflush(stdout);
    return DiagnosisExitCode(summary, *model);
}

} // namespace

} // namespace orva::cli
