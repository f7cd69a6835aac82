#pragma once
// Reading an image file and broadcasting it: the image-info datagram, then the data datagrams paced so
// that each leaves at least one interval after the previous send has completed.
#include "core/app/Result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>

namespace orva {

// Reads the whole file. A failure carries the line to report (ending in "\n" and naming the file): the
// file is missing, or cannot be opened (with the system's reason); it is not a regular file (a FIFO, a
// device, a directory, a socket); it is empty; it is too large for the 32-bit length of the image-info
// datagram; or it read shorter than it claimed (with the system's reason, or how far it got). Never
// waits for a writer or a device.
Result<std::string> LoadImageFile(const std::string& path);

// Lets a canceller be certain that no datagram leaves after it has closed the gate: the sender checks
// the gate and sends under one lock, so close() also waits for a send that is under way.
class SendGate {
public:
    // Runs `send` unless the gate is closed; false when it was closed.
    template <class Send> bool pass(Send&& send) {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        send();
        return true;
    }
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }

private:
    std::mutex mutex_;
    bool closed_ = false;
};

struct ImageTransferOptions {
    std::string address;
    uint16_t port = 54321;
    std::chrono::nanoseconds interval{5'000'000};
    // Wait by polling the clock only (the reference pacing, for comparison).
    bool busyPoll = false;
};

enum class TransferOutcome { Completed, Stopped, Failed };

struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Failed;
    std::string failureLine; // set for Failed, ending in "\n"
    size_t dataDatagramsSent = 0;
};

// Seconds from the settings file as a pacing interval: negative values count as 0, an infinity or NaN
// as the default interval, anything above kMaxUpgradeInterval (AppSettings.h) as that maximum.
std::chrono::nanoseconds PacingInterval(double seconds);

// Sends `image` to options.address:port. `progress` gets the share already sent, as an integer
// percentage, before each data datagram. A stop request or a closed gate ends the transfer (Stopped)
// with no further datagram. Runs on the calling thread and lowers that thread's timer slack.
TransferResult SendImage(std::string_view image, const ImageTransferOptions& options,
                         const std::function<void(int)>& progress, std::stop_token stop, SendGate* gate = nullptr);

} // namespace orva
