#include "maintenance/ImageTransfer.h"

#include "app/LoopbackGuard.h"
#include "maintenance/ImageDatagrams.h"
#include "maintenance/ImageSocket.h"
#include "maintenance/Pacer.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace orva {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

bool LoadImageFile(const std::string& path, std::string& bytes, std::string& failureLine) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        failureLine = "Batch upgrade: No " + path + " file found!\n";
        return false;
    }
    // The image-info datagram carries the length in 32 bits; a larger file cannot be described.
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max()) {
        failureLine = "Batch upgrade: read " + path + " file failed!\n";
        return false;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    std::string buffer;
    try {
        buffer.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        failureLine = "Batch upgrade: malloc buf failed!\n";
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        failureLine = "Batch upgrade: open " + path + " file failed!\n";
        return false;
    }
    const size_t got = size > 0 ? std::fread(buffer.data(), 1, size, file.get()) : 0;
    // A directory opens but does not read; a file that shrank reads short. Neither is an image.
    if (got < size || std::ferror(file.get())) {
        failureLine = "Batch upgrade: read " + path + " file failed!\n";
        return false;
    }
    bytes = std::move(buffer);
    return true;
}

std::chrono::nanoseconds PacingInterval(double seconds) {
    if (!(seconds > 0))
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(static_cast<long long>(std::llround(seconds * 1e9)));
}

TransferResult SendImage(std::string_view image, const ImageTransferOptions& options,
                         const std::function<void(int)>& progress, std::stop_token stop, SendGate* gate) {
    TransferResult result;
    auto fail = [&](const std::string& line) {
        result.outcome = TransferOutcome::Failed;
        result.failureLine = line;
        return result;
    };
    auto stopped = [&] {
        result.outcome = TransferOutcome::Stopped;
        return result;
    };
    SendGate ownGate;
    SendGate& sendGate = gate ? *gate : ownGate;

    ImageSocket socket;
    switch (socket.open(options.address, options.port)) {
    case ImageSocket::OpenResult::Ok:
        break;
    case ImageSocket::OpenResult::SocketFailed:
        return fail("create socket error!\n");
    case ImageSocket::OpenResult::BroadcastFailed:
        return fail("setsockopt: set SO_BROADCAST error!\n");
    case ImageSocket::OpenResult::BadAddress:
        return fail("sendto image info error!\n");
    case ImageSocket::OpenResult::NotLoopback:
        return fail(LoopbackRefusal(options.address));
    }

    Pacer::TightenTimerSlack();
    const Pacer pacer;
    auto wait = [&](Pacer::Clock::time_point deadline) {
        return options.busyPoll ? BusyWaitUntil(deadline, stop) : pacer.waitUntil(deadline, stop);
    };

    const auto length = static_cast<uint32_t>(image.size());
    const ImageInfoDatagram info = BuildImageInfoDatagram(length);
    bool sent = false;
    if (stop.stop_requested() || !sendGate.pass([&] { sent = socket.send(info.data(), info.size()); }))
        return stopped();
    if (!sent)
        return fail("sendto image info error!\n");
    // Each wait is measured from the moment the previous send completed, so consecutive datagrams are
    // never closer than the interval, however long a send took.
    auto lastSend = Pacer::Clock::now();

    const size_t total = ImageDataDatagramCount(length);
    uint64_t bytesSent = 0;
    for (size_t index = 0; index < total; ++index) {
        // Everything but the send itself is done before the wait, so it does not stretch the gap.
        if (progress)
            progress(ImageProgressPercent(bytesSent, length));
        const ImageDataDatagram datagram = BuildImageDataDatagram(image, index);
        if (!wait(lastSend + options.interval))
            return stopped();
        if (stop.stop_requested() || !sendGate.pass([&] { sent = socket.send(datagram.data(), datagram.size()); }))
            return stopped();
        lastSend = Pacer::Clock::now();
        if (!sent)
            return fail("sendto image data error!\n");
        ++result.dataDatagramsSent;
        bytesSent += ImageChunkLength(length, index);
    }
    result.outcome = TransferOutcome::Completed;
    return result;
}

} // namespace orva
