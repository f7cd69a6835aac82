#pragma once
// The state of one diagnosis run, shared by the session's worker, its handlers and the watchdog.
// Only the session's own files include this.
#include "core/app/ThreadSafety.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/protocol/DeviceReply.h"

#include <array>
#include <map>
#include <memory>

namespace orva {

// Status words of the diagnostic replies.
inline constexpr const char* kHardwareSucc = "HG_HARDWARE_DIAG_SUCC";
inline constexpr const char* kHardwareFail = "HG_HARDWARE_DIAG_FAIL";
inline constexpr const char* kSoftwareSucc = "HG_SOFTWARE_DIAG_SUCC";

// Indexed by item number: the technician answered that item's question no.
using AnsweredNo = std::array<bool, kCheckItemCount + 1>;

struct DiagnosisSession::Run {
    Run(Mutex& sessionMutex, unsigned long gen, DeviceTemplate t, std::string op);

    // The session's mutex, which guards the run's shared state.
    Mutex& mutex;
    // Tells the analysis that the caller, holding the session's mutex, holds the run's.
    void held(const Mutex& sessionMutex) const REQUIRES(sessionMutex) ASSERT_CAPABILITY(mutex) {}

    const unsigned long generation;
    std::stop_source stop;
    const DeviceTemplate tmpl;
    const std::string operatorName;

    // Worker-side state: written by the worker and the handlers it runs, nobody else.
    DeviceReply reply;
    DiagRecord record;
    AnsweredNo answeredNo{};
    std::vector<DiagRecord> pending;

    // The answers to the run's questions, by question id, until the worker takes them.
    std::map<int, std::pair<AnswerKind, int>> answers GUARDED_BY(mutex);

    // Shown to the front end through lastRun().
    std::string serial GUARDED_BY(mutex);
    std::string productClass GUARDED_BY(mutex);
    std::vector<CheckOutcome> checks GUARDED_BY(mutex);
    std::vector<std::string> faults GUARDED_BY(mutex);
    std::optional<DiagRecord> storedRecord GUARDED_BY(mutex);
    int stored GUARDED_BY(mutex) = 0;
    bool reported GUARDED_BY(mutex) = false;
    bool keptForUpload GUARDED_BY(mutex) = false;
    std::string reportProblem GUARDED_BY(mutex);

    bool connected GUARDED_BY(mutex) = false;
    bool endClaimed GUARDED_BY(mutex) = false;
    // Past the last check: the record is being stored and reported, and the run ends as finished.
    bool finishing GUARDED_BY(mutex) = false;
    bool ended GUARDED_BY(mutex) = false;
    RunOutcome outcome GUARDED_BY(mutex) = RunOutcome::Stopped;

    bool done GUARDED_BY(mutex) = false; // the worker has returned
};

} // namespace orva
