#include "core/records/UploadPass.h"

#include <utility>

namespace orva {

UploadPass::UploadPass() : UploadPass([](std::stop_token stop) { return uploadStoredRecords(stop); }) {}

UploadPass::UploadPass(std::string databasePath, UploadConfig config)
    : UploadPass([path = std::move(databasePath), config = std::move(config)](std::stop_token stop) {
          // The store belongs to the pass's thread: opened, used and closed there.
          RecordStore store(path);
          return uploadStoredRecords(store, config, stop);
      }) {}

UploadPass::UploadPass(Runner runner) : runner_(std::move(runner)) {}

UploadPass::~UploadPass() {
    stop();
}

bool UploadPass::start() {
    if (running_.load())
        return false;
    if (thread_.joinable())
        thread_.join();
    running_.store(true);
    thread_ = std::jthread([this](std::stop_token stop) {
        UploadPassResult result = runner_(stop);
        {
            std::lock_guard lock(mutex_);
            result_ = result;
        }
        running_.store(false);
    });
    return true;
}

void UploadPass::requestStop() {
    thread_.request_stop();
}

void UploadPass::stop() {
    thread_.request_stop();
    wait();
}

void UploadPass::wait() {
    if (thread_.joinable())
        thread_.join();
}

std::optional<UploadPassResult> UploadPass::lastResult() const {
    std::lock_guard lock(mutex_);
    return result_;
}

} // namespace orva
