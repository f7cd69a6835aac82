#pragma once
// The upload thread: one pass of uploadStoredRecords on a thread of its own. The main window and the
// CLI start it after a successful login; stopping it ends the pass cooperatively (a request already
// out is given up and its row stays in uploads, unless the service's acceptance had come back).
#include "core/records/Upload.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace orva {

class UploadPass {
public:
    using Runner = std::function<UploadPassResult(std::stop_token)>;

    // A pass over the program's orvalog.db with the settings.
    UploadPass();
    // A pass over the given database file with the given configuration.
    UploadPass(std::string databasePath, UploadConfig config);
    // Any body (the front ends use the ones above; tests may give their own).
    explicit UploadPass(Runner runner);
    // Stops and waits for a pass still running.
    ~UploadPass();
    UploadPass(const UploadPass&) = delete;
    UploadPass& operator=(const UploadPass&) = delete;

    // Starts a pass; false (and nothing happens) while one is still running.
    bool start();
    // Asks the pass to end without waiting for it.
    void requestStop();
    // Asks the pass to end and waits until it has.
    void stop();
    // Waits until the pass has ended by itself.
    void wait();
    bool running() const { return running_.load(); }
    // The outcome of the latest pass that has ended; none before.
    std::optional<UploadPassResult> lastResult() const;

private:
    Runner runner_;
    std::jthread thread_;
    std::atomic<bool> running_{false};
    mutable std::mutex mutex_;
    std::optional<UploadPassResult> result_;
};

} // namespace orva
