#include "core/maintenance/ImageTransfer.h"

#include "core/app/AppSettings.h"
#include "core/app/LoopbackGuard.h"
#include "core/maintenance/ImageDatagrams.h"
#include "core/maintenance/ImageSocket.h"
#include "core/maintenance/Pacer.h"
#include "core/protocol/SocketWait.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

namespace {

// What a file that is not a regular one is, for the refusal line.
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe)";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Reads exactly bytes.size() bytes, or fewer when the file ends (or fails) first; returns how many.
// `error` is the errno of a failed read, 0 when the file only ended early.
size_t ReadAll(int fd, std::string& bytes, int& error) {
    size_t got = 0;
    error = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n == 0) {
            break; // the file is shorter than it said
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    return got;
}

// The fixed failure line with why it failed: " (reason)" before its line end.
std::string WithReason(const std::string& line, const std::string& reason) {
    return line + " (" + reason + ")\n";
}

} // namespace

Result<std::string> LoadImageFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for ever and beyond any
    // stop request. The file is judged by what this descriptor refers to, and read from it, so it
    // cannot be swapped for something else between the look and the read.
    const detail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return Failure{errno == ENOENT || errno == ENOTDIR
                           ? "Batch upgrade: No " + path + " file found!\n"
                           : WithReason("Batch upgrade: open " + path + " file failed!", std::strerror(errno))};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Failure{WithReason("Batch upgrade: open " + path + " file failed!", std::strerror(errno))};
    // A device, a FIFO or a directory has no image in it, and /dev/zero would never end.
    if (!S_ISREG(st.st_mode))
        return Failure{"Batch upgrade: " + path + " is " + KindOf(st.st_mode) + ", not an image file!\n"};
    // An empty image is nothing to install; files of /proc say 0 bytes whatever they would read.
    if (st.st_size <= 0)
        return Failure{"Batch upgrade: " + path + " is empty (0 bytes), not an image file!\n"};
    // The image-info datagram carries the length in 32 bits; a larger file cannot be described.
    if (static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max())
        return Failure{"Batch upgrade: " + path + " is larger than 4294967295 bytes, too large for one image!\n"};
    std::string buffer;
    try {
        buffer.assign(static_cast<size_t>(st.st_size), '\0');
    } catch (const std::bad_alloc&) {
        return Failure{"Batch upgrade: malloc buf failed!\n"};
    }
    // A file that shrank since fstat reads short; what grew after it is not read.
    int readError = 0;
    const size_t got = ReadAll(fd.get(), buffer, readError);
    if (got < buffer.size()) {
        const std::string reason = readError != 0 ? std::string(std::strerror(readError))
                                                  : "it ended after " + std::to_string(got) + " of " +
                                                        std::to_string(buffer.size()) + " bytes";
        return Failure{WithReason("Batch upgrade: read " + path + " file failed!", reason)};
    }
    return buffer;
}

std::chrono::nanoseconds PacingInterval(double seconds) {
    // NaN would fail the test below and turn pacing off; an infinity or a huge value would overflow
    // llround, whose result is then meaningless (in practice a negative count: no pacing either).
    if (!std::isfinite(seconds))
        seconds = kDefaultUpgradeInterval;
    if (!(seconds > 0))
        return std::chrono::nanoseconds(0);
    seconds = std::min(seconds, static_cast<double>(kMaxUpgradeInterval));
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
