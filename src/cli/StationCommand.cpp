// orva-cli station: a test line's station. Waits for a unit at the maintenance address, diagnoses it,
// waits until it is unplugged (or another unit answers), and so on until Ctrl-C; then a summary.
#include "cli/CliCommon.h"
#include "cli/DiagnosisRunner.h"
#include "cli/GatewayIdentity.h"
#include "cli/JunitReport.h"
#include "cli/OptionChecks.h"
#include "cli/StationUnit.h"

#include "core/app/AppSettings.h"
#include "core/protocol/DeviceCommands.h"
#include "core/records/UploadPass.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

namespace orva::cli {
namespace {

using Clock = std::chrono::steady_clock;

// One probe a second; a unit is gone after this many unanswered probes in a row, so that one lost
// datagram does not make the station test the same unit twice.
constexpr auto kProbePeriod = std::chrono::seconds(1);
constexpr int kProbeReplyTimeout = 1;
constexpr int kMissesForGone = 2;
// How long a unit that answers but tells neither its serial number nor its model (still starting, say)
// is asked again before it counts as a unit that could not be diagnosed. Without the wait, the same unit
// would count twice: once untold, once more when its serial number comes.
constexpr auto kUntoldGrace = std::chrono::seconds(10);
constexpr size_t kMaxModelText = 64;

struct StationOptions : RunOptions {
    std::string junit;
    bool json = false;
};

// Who answers at the address now: CONNECT, and when it is answered the unit's identity.
struct Probe {
    bool answered = false;
    std::string serial;       // bounded; empty when not told
    std::string productClass; // bounded; empty when not told
    std::string connectError;
};

Probe ProbeUnit(const std::string& address) {
    const ExchangeTarget gateway{address, IdentityPort(), kProbeReplyTimeout, -1};
    Probe probe;
    DeviceReply reply;
    DeviceCommands::Connect(gateway, reply);
    if (reply.Get("RET") == "ERROR") {
        probe.connectError = BoundedText(reply.Get("ERROR"), kMaxFieldText);
        return probe;
    }
    probe.answered = true;
    DeviceReply fields;
    DeviceCommands::QuerySystemInfo(gateway, fields);
    probe.serial = BoundedText(fields.Get("DEVTYPE"), kMaxSerialText);
    probe.productClass = BoundedText(fields.Get("PRODUCTCLASS"), kMaxModelText);
    return probe;
}

// What the station has seen, for the summary at the end.
struct Tally {
    int units = 0;
    int passed = 0;
    int notFinished = 0;
    double seconds = 0;
    std::map<int, std::pair<std::string, int>> failedChecks; // item -> name, units that failed it
    bool junitFailed = false;

    void add(const StationUnit& unit) {
        ++units;
        seconds += unit.seconds;
        if (unit.passed())
            ++passed;
        if (unit.verdict == "not-finished")
            ++notFinished;
        for (const CheckOutcome* c : unit.failedChecks()) {
            auto& [name, count] = failedChecks[c->item];
            name = c->name;
            ++count;
        }
    }

    void print(std::FILE* out) const {
        std::fprintf(out, "station: %d unit%s, %d passed, %d failed", units, units == 1 ? "" : "s", passed,
                     units - passed);
        if (notFinished > 0)
            std::fprintf(out, " (%d not finished)", notFinished);
        std::fprintf(out, "\n");
        for (const auto& [item, failed] : failedChecks)
            std::fprintf(out, "  %2d. %s: failed on %d unit%s\n", item, failed.first.c_str(), failed.second,
                         failed.second == 1 ? "" : "s");
        if (units > 0)
            std::fprintf(out, "mean time per unit: %.1f s\n", seconds / units);
        std::fflush(out);
    }

    int exitCode() const {
        if (units == 0)
            return kExitNotFinished;
        return passed == units && !junitFailed ? kExitOk : kExitFaults;
    }
};

class Station {
public:
    Station(const StationOptions& o, std::optional<AnswerScript> script, std::optional<std::string> model)
        : o_(o), script_(std::move(script)), fixedModel_(std::move(model)), target_(o.address.empty() ? Settings().MaintenanceAddress : o.address), out_(o.json ? stderr : stdout),
          junit_(o.junit) {
        if (o.replyTimeout > 0)
            sessionOptions_.replyTimeoutSeconds = o.replyTimeout;
    }

    void setOperator(const std::string& name) { operator_ = name; }

    // An empty report at once, so that a path that cannot be written is known before any unit.
    bool startReport() {
        if (o_.junit.empty())
            return true;
        if (const Result<void> written = junit_.write(); !written) {
            UsageError("--junit " + o_.junit + ": " + written.error());
            return false;
        }
        return true;
    }

    int run() {
        UploadPass upload;
        upload.start(); // the stored records go out again, as after the GUI's login
        {
            StopSignals signals;
            if (!signals.ok())
                return kExitNotFinished;
            loop(signals, upload);
            upload.requestStop();
            upload.wait();
        }
        tally_.print(out_);
        return tally_.exitCode();
    }

private:
    void say(const std::string& text) const {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
    }

    void loop(StopSignals& signals, UploadPass& upload) {
        std::optional<std::string> present; // the serial number of the unit tested last, while it answers
        std::optional<Clock::time_point> untoldSince;
        int misses = 0;
        bool announced = false;
        for (;;) {
            if (!present && !announced) {
                say("waiting for a unit at " + target_ + " … (Ctrl-C ends the station)");
                announced = true;
            }
            const Clock::time_point probed = Clock::now();
            const Probe probe = ProbeUnit(target_);
            bool test = false;
            if (!present) {
                test = probe.answered;
                if (!probe.answered) {
                    untoldSince.reset();
                } else if (!fixedModel_ && probe.serial.empty() && probe.productClass.empty()) {
                    if (!untoldSince) {
                        untoldSince = probed;
                        say("a unit answers at " + target_ + " but has not told its model yet; asking again");
                    }
                    test = probed - *untoldSince >= kUntoldGrace;
                }
            } else if (!probe.answered) {
                if (++misses >= kMissesForGone) {
                    say((present->empty() ? std::string("the unit") : *present) + " is gone");
                    present.reset();
                    announced = false;
                }
            } else {
                misses = 0;
                // Another serial number: the unit was swapped faster than the probes could see it gone.
                test = !probe.serial.empty() && probe.serial != *present;
            }
            if (test) {
                untoldSince.reset();
                bool interrupted = false;
                present = testUnit(probe, signals, upload, interrupted);
                misses = 0;
                if (interrupted)
                    return;
            }
            const auto left = kProbePeriod - (Clock::now() - probed);
            if (signals.waitForStop(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count())))
                return;
        }
    }

    // Diagnoses the unit that answered; its serial number as the run read it (the probe's when the run
    // read none).
    std::string testUnit(const Probe& probe, StopSignals& signals, UploadPass& upload, bool& interrupted) {
        StationUnit unit;
        unit.number = tally_.units + 1;
        unit.address = target_;
        unit.serial = probe.serial;
        unit.started = UtcTimestamp();
        const Clock::time_point begun = Clock::now();
        std::fprintf(out_, "unit %d: %s\n", unit.number, probe.serial.empty() ? "(no serial number)" : probe.serial.c_str());
        std::fflush(out_);

        int code = kExitNotFinished;
        std::optional<std::string> model = fixedModel_;
        if (!model)
            model = ModelOfGateway(target_, probe.productClass, probe.connectError, code);
        if (!model) {
            unit.model = probe.productClass;
            unit.verdict = "not-finished";
            unit.outcome = "not-started";
            unit.problem = probe.productClass.empty() ? "the unit did not tell its model"
                                                      : "the model " + probe.productClass + " is not listed";
        } else {
            unit.model = *model;
            const RunSummary summary = RunOneDiagnosis(
                {target_, *model, operator_, script_, sessionOptions_, out_}, signals, upload, interrupted);
            if (interrupted && !(summary.ended && summary.outcome == RunOutcome::Finished)) {
                say("the run of " + (unit.serial.empty() ? std::string("the unit") : unit.serial) +
                    " was stopped; it is not counted");
                return unit.serial;
            }
            SayWhereTheRecordIs(out_, summary);
            describe(unit, summary, *model);
        }
        unit.seconds = std::chrono::duration<double>(Clock::now() - begun).count();
        finish(unit);
        return unit.serial;
    }

    void describe(StationUnit& unit, const RunSummary& summary, const std::string& model) const {
        if (!summary.serial.empty())
            unit.serial = BoundedText(summary.serial, kMaxSerialText);
        if (summary.record)
            unit.mac = BoundedText(summary.record->Mac, kMaxFieldText);
        unit.outcome = OutcomeText(summary);
        for (const CheckOutcome& c : summary.checks)
            unit.checks.push_back({c.item, BoundedText(c.name, kMaxFieldText), BoundedText(c.mark, kMaxFieldText),
                                   BoundedText(c.result, kMaxFieldText), BoundedText(c.fault, kMaxFieldText)});
        const int code = DiagnosisExitCode(summary, model);
        unit.verdict = code == kExitOk ? "passed" : code == kExitFaults ? "failed" : "not-finished";
        if (code == kExitFaults && unit.failedChecks().empty()) {
            if (summary.checks.empty())
                unit.problem = "no check was run";
            else if (summary.record && summary.stored != 1)
                unit.problem = "the record was not stored";
            else if (summary.record && !summary.reported && !summary.keptForUpload)
                unit.problem = "the record was neither reported nor kept for upload";
            else
                unit.problem = "faults without a failed check";
        }
        if (code == kExitNotFinished)
            unit.problem = "the diagnosis did not finish (" + unit.outcome + ")";
        const nlohmann::json doc = SummaryJson(summary, target_, model);
        for (const char* key : {"stored", "reported", "kept_for_upload", "report_problem"})
            unit.report[key] = doc[key];
    }

    void finish(const StationUnit& unit) {
        tally_.add(unit);
        std::fprintf(out_, "%s\n", VerdictLine(unit).c_str());
        std::fflush(out_);
        if (o_.json) {
            std::printf("%s\n", UnitJson(unit).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            std::fflush(stdout);
        }
        if (!o_.junit.empty()) {
            junit_.add(unit);
            if (const Result<void> written = junit_.write(); !written) {
                std::fprintf(stderr, "orva-cli: the JUnit file was not written: %s\n", written.error().c_str());
                tally_.junitFailed = true;
            }
        }
    }

    const StationOptions& o_;
    std::optional<AnswerScript> script_;
    std::optional<std::string> fixedModel_;
    std::string operator_;
    std::string target_;
    std::FILE* out_;
    SessionOptions sessionOptions_;
    JunitReport junit_;
    Tally tally_;
};

int RunStation(const StationOptions& o) {
    std::optional<AnswerScript> script;
    if (!AnswersOrTerminal(o.answers, script))
        return kExitUsage;
    std::optional<std::string> model;
    if (!o.model.empty() && !(model = ListedModel(o.model)))
        return kExitUsage;
    Station station(o, std::move(script), std::move(model));
    if (!station.startReport())
        return kExitUsage;
    std::string operatorName;
    if (const std::optional<int> entered = EnterTool(operatorName))
        return *entered;
    station.setOperator(operatorName);
    return station.run();
}

} // namespace

Command AddStation(CLI::App& program) {
    auto options = std::make_shared<StationOptions>();
    CLI::App* app = program.add_subcommand(
        "station", "Diagnose unit after unit on a test line: each one that answers, until Ctrl-C");
    AddRunOptions(app, *options, "where the units answer (default: MaintenanceAddress of setting.ini)",
                  "a model of res/device.ini, any letter case (default: each unit's)");
    app->add_option("--junit", options->junit, "keep a JUnit XML file of every unit, rewritten after each one")
        ->type_name("FILE")
        ->check(NotEmpty());
    app->add_flag("--json", options->json, "one JSON line per unit on stdout (the other lines go to stderr)");
    app->footer("A unit is diagnosed when it answers CONNECT (asked once a second), and the next one when it\n"
                "has stopped answering or another serial number answers. Each record is stored and reported\n"
                "as diagnose does. Ctrl-C (or SIGTERM) stops a run in progress, as diagnose does, and ends\n"
                "with a summary: units, passed, failed per check, mean time per unit.\n"
                "Question names for --answers: uplink, led, ring1, dtmf1, cng1, ring2, dtmf2, cng2, loop.\n"
                "Exit: 0 every unit passed and its record is stored, 1 a unit failed or did not finish (or a\n"
                "record or the JUnit file was not written), 2 no unit was diagnosed, 64 usage.");
    return {app, [options] { return RunStation(*options); }};
}

} // namespace orva::cli
