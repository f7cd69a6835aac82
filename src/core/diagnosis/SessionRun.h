#pragma once
// The state of one diagnosis run, shared by the session's worker, its handlers and the watchdog.
// Only the session's own files include this.
#include "diagnosis/AutoResetEvent.h"
#include "diagnosis/DiagnosisSession.h"
#include "protocol/DeviceReply.h"
#include "protocol/ExchangeTarget.h"

#include <array>
#include <map>
#include <memory>

namespace orva {

// Status words of the diagnostic replies.
inline constexpr const char* kHardwareSucc = "HG_HARDWARE_DIAG_SUCC";
inline constexpr const char* kHardwareFail = "HG_HARDWARE_DIAG_FAIL";
inline constexpr const char* kSoftwareSucc = "HG_SOFTWARE_DIAG_SUCC";

struct DiagnosisSession::Run {
    Run(unsigned long gen, DeviceTemplate t, std::string op);

    const unsigned long generation;
    std::stop_source stop;
    const DeviceTemplate tmpl;
    const std::string operatorName;
    // Where every exchange of the run goes (each on its command's own port): the channel's settings
    // when the run starts, so nothing that changes them meanwhile moves the run.
    ExchangeTarget gateway;

    // Worker-side state: written by the worker and the handlers it runs, nobody else.
    DeviceReply reply;
    DiagRecord record;
    // Ring, DTMF, CNG of port 1, then of port 2: a "no" clears the question's flag.
    std::array<bool, 6> potsAnswers{};
    std::vector<DiagRecord> pending;

    // The question events, created non-signalled, and the answers that set them.
    std::map<int, std::unique_ptr<AutoResetEvent>> events;
    std::mutex answerMutex;
    std::map<int, std::pair<AnswerKind, int>> answers;

    // Shown to the front end through lastRun(); guarded by dataMutex.
    mutable std::mutex dataMutex;
    std::string serial;
    std::string productClass;
    std::vector<CheckOutcome> checks;
    std::vector<std::string> faults;
    std::optional<DiagRecord> storedRecord;
    int stored = 0;
    bool reported = false;
    bool keptForUpload = false;
    std::string reportProblem;

    // Guarded by the session's mutex.
    bool connected = false;
    bool endClaimed = false;
    // Past the last check: the record is being stored and reported, and the run ends as finished.
    bool finishing = false;
    bool ended = false;
    RunOutcome outcome = RunOutcome::Stopped;

    std::atomic<bool> done{false}; // the worker has returned
};

} // namespace orva
