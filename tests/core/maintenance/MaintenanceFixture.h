#pragma once
// What the session tests share: a program directory with loopback settings on the test's own subnet,
// the settings loaded, a log file to read back, and views that record what the sessions tell them.
#include "TestSupport.h"
#include "core/maintenance/RestoreSession.h"
#include "core/maintenance/UpgradeSession.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orva::test {

// Loads res/setting.ini of `dir`, written for subnet N with `extra`, as the process settings, opens
// orva.log there and leaves the channel with a known reply time-out.
void UseSettings(TempProgramDir& dir, int subnetN, const std::map<std::string, std::string>& extra);
// The log lines (GBK on disk) as UTF-8 "[tag](time):message" lines.
std::vector<std::string> LogLines(const TempProgramDir& dir);
// The log lines with their time removed: "[tag]:message".
std::vector<std::string> LogLinesWithoutTime(const TempProgramDir& dir);

class RecordingUpgradeView : public UpgradeView {
public:
    void progressChanged(int percent) override { add("progress " + std::to_string(percent)); }
    void statusChanged(const std::string& text) override { add("status " + text); }
    void statusHidden() override { add("status hidden"); }
    void transferEnabled(bool enabled) override { add(enabled ? "enabled" : "disabled"); }
    void resultLine(const std::string& line) override { add("line " + line); }
    void transferFailed(const std::string& message) override { add("failed " + message); }
    // Kept apart from the events, whose order the older cases read.
    void resultSummary(const GatewayCount& count) override {
        std::lock_guard lock(mutex_);
        summary_ = count;
    }
    std::optional<GatewayCount> summary() const {
        std::lock_guard lock(mutex_);
        return summary_;
    }

    std::vector<std::string> events() const;
    // The events starting with `prefix`, prefix removed.
    std::vector<std::string> events(const std::string& prefix) const;

private:
    void add(std::string event);
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::optional<GatewayCount> summary_;
};

class RecordingRestoreView : public RestoreView {
public:
    void restoreStarted() override { add("started"); }
    void restoreResult(const std::string& line) override { add("line " + line); }
    void restoreFinished() override { add("finished"); }
    // Kept apart from the events, whose order the older cases read.
    void restoreSummary(const GatewayCount& count) override {
        std::lock_guard lock(mutex_);
        summary_ = count;
    }
    std::optional<GatewayCount> summary() const {
        std::lock_guard lock(mutex_);
        return summary_;
    }
    std::vector<std::string> events() const;

private:
    void add(std::string event);
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::optional<GatewayCount> summary_;
};

} // namespace orva::test
