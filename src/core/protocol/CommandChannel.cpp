#include "core/protocol/CommandChannel.h"

#include "core/app/LoopbackGuard.h"
#include "core/app/Notifier.h"
#include "core/protocol/Base64.h"
#include "core/protocol/BroadcastDestination.h"
#include "core/protocol/ListenReply.h"
#include "core/protocol/SocketWait.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace orva {

bool DecodeDatagram(const std::string& payload, std::string& text) {
    std::string decoded;
    if (!Base64Decode(payload, decoded))
        return false;
    const size_t nul = decoded.find('\0');
    if (nul != std::string::npos)
        decoded.resize(nul);
    text = std::move(decoded);
    return true;
}

using detail::StopWaker;
using detail::UniqueFd;
using detail::WaitReadable;
using detail::WaitResult;
using Clock = std::chrono::steady_clock;

CommandChannel& CommandChannel::Instance() {
    // Never destroyed: workers may still be exchanging while the process ends.
    static CommandChannel* channel = new CommandChannel();
    return *channel;
}

int CommandChannel::SetAddress(const std::string& address) {
    std::lock_guard lock(addressMutex_);
    address_ = address;
    return 0;
}
int CommandChannel::SetPort(int port) {
    port_ = port;
    return 0;
}
int CommandChannel::SetReplyTimeout(int seconds) {
    replyTimeout_ = seconds;
    return 0;
}
int CommandChannel::SetListenTime(int seconds) {
    listenTime_ = seconds;
    return 0;
}
std::string CommandChannel::Address() const {
    std::lock_guard lock(addressMutex_);
    return address_;
}
int CommandChannel::Port() const {
    return port_;
}
int CommandChannel::ReplyTimeout() const {
    return replyTimeout_;
}
int CommandChannel::ListenTime() const {
    return listenTime_;
}

namespace {

// One exchange from socket creation to the received reply: what Transact and SendAndListen share.
// Owns the socket, so it is closed on every path.
class Exchange {
public:
    explicit Exchange(std::stop_token stop) : waker_(std::move(stop)) {}

    // Creates the socket and sends the command. False with errorText set on failure.
    bool start(const std::string& command, const std::string& address, int port, int replyTimeout, bool bigBuffer,
               std::string& errorText) {
        if (waker_.stopRequested())
            return fail(errorText, CommandChannel::kStopped);
        socket_ = UniqueFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        if (!socket_.valid())
            return fail(errorText, CommandChannel::kSocketError);
        const int on = 1;
        if (::setsockopt(socket_.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
            return fail(errorText, CommandChannel::kBroadcastError);
        if (bigBuffer) {
            // A whole segment answers a broadcast at once, and other hosts may flood the port; the
            // default buffer drops most of a burst.
            // As root the system limit does not apply; otherwise take what the limit allows.
            const int size = CommandChannel::kListenSocketBuffer;
            if (::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
                ::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }

        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        // Anything but dotted-decimal IPv4 is refused rather than sent to an address nobody named.
        if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
            return fail(errorText, CommandChannel::kSendError);
        if (!DestinationAllowed(to.sin_addr.s_addr))
            return fail(errorText, LoopbackRefusal(address).c_str());

        // The command bytes, ending at the first zero byte, as they would stand in the zero-filled buffer.
        std::array<char, CommandChannel::kCommandBufferSize> buffer{};
        std::memcpy(buffer.data(), command.data(), command.size());
        const std::string payload = Base64Encode(std::string_view(buffer.data(), std::strlen(buffer.data())));
        const ssize_t sent = ::sendto(socket_.get(), payload.data(), payload.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent < 0 || static_cast<size_t>(sent) != payload.size())
            return fail(errorText, CommandChannel::kSendError);

        if (!waker_.ok())
            return fail(errorText, CommandChannel::kTimeoutError);
        receiveWait_ = std::chrono::milliseconds(static_cast<long long>(replyTimeout) * 1000);
        destination_ = to.sin_addr.s_addr;
        othersMayAnswer_ = IsBroadcastDestination(destination_);
        return true;
    }

    // The pause between sending and the first receive. A single-gateway exchange keeps reading while it
    // pauses, so that a burst of foreign datagrams cannot fill the socket buffer and push the gateway's
    // reply out; the reply is kept for receiveFromGateway. False when a stop request ended the pause.
    bool pause(bool sortWhilePausing) {
        const auto pauseEnd = Clock::now() + std::chrono::milliseconds(CommandChannel::kPauseMilliseconds);
        while (sortWhilePausing && !held_ && Clock::now() < pauseEnd) {
            const WaitResult r = WaitReadable(socket_.get(), waker_, pauseEnd);
            if (r == WaitResult::Stopped)
                return false;
            if (r != WaitResult::Ready)
                break;
            sortOne();
        }
        return WaitReadable(-1, waker_, pauseEnd) != WaitResult::Stopped;
    }

    enum class Received { Reply, Failed, Stopped };

    // Receives one datagram into the zero-filled 800-byte buffer; `bytes` is what arrived and `from`
    // who sent it. The wait ends at the reply time-out or at `end`, whichever comes first.
    Received receive(std::string& bytes, ReplySource& from, Clock::time_point end) {
        std::optional<Clock::time_point> deadline = end;
        // A receive time-out of 0 waits without limit, as the socket option would: only `end` bounds it.
        if (receiveWait_.count() > 0)
            deadline = std::min(end, Clock::now() + receiveWait_);
        switch (WaitReadable(socket_.get(), waker_, deadline)) {
        case WaitResult::Ready:
            break;
        case WaitResult::Stopped:
            return Received::Stopped;
        case WaitResult::TimedOut:
        case WaitResult::Failed:
            return Received::Failed;
        }
        std::array<char, CommandChannel::kReceiveBufferSize> buffer{};
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        // MSG_TRUNC gives the datagram's real length, so a longer one is seen (and consumed) as a failure.
        const ssize_t n = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (n < 0 || static_cast<size_t>(n) > buffer.size())
            return Received::Failed;
        bytes.assign(buffer.data(), static_cast<size_t>(n));
        char text[INET_ADDRSTRLEN] = {};
        if (sender.sin_family == AF_INET && ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text) != nullptr)
            from = ReplySource{text, ntohs(sender.sin_port)};
        else
            from = ReplySource{};
        return Received::Reply;
    }

    // The reply of the gateway the command went to. Its first datagram is the reply, whatever it holds
    // (one longer than the buffer is a failed receive). Datagrams from other senders are not its
    // reply. Only a command sent to a broadcast address is answered by other addresses: there the first
    // that decodes is kept and taken when the address itself says nothing within the reply time-out.
    // Sent to one gateway, another host's datagram is dropped however well-formed: believing it would
    // let any host on the segment answer for a silent gateway.
    Received receiveFromGateway(std::string& bytes) {
        std::optional<Clock::time_point> deadline;
        if (receiveWait_.count() > 0)
            deadline = Clock::now() + receiveWait_;
        while (!held_) {
            const WaitResult r = WaitReadable(socket_.get(), waker_, deadline);
            if (r == WaitResult::Stopped)
                return Received::Stopped;
            if (r != WaitResult::Ready)
                break;
            sortOne();
            // A flood that never lets the socket run dry must not hold the wait open past its deadline.
            if (deadline && Clock::now() >= *deadline)
                break;
        }
        if (held_) {
            if (heldTooLong_)
                return Received::Failed;
            bytes = std::move(*held_);
            return Received::Reply;
        }
        if (foreign_) {
            bytes = std::move(*foreign_);
            return Received::Reply;
        }
        return Received::Failed;
    }

private:
    // Reads one waiting datagram and files it: the gateway's own, a foreign one worth keeping, or
    // nothing. A datagram longer than the buffer keeps its real length (MSG_TRUNC), so the gateway's
    // oversized reply is seen as such.
    void sortOne() {
        std::array<char, CommandChannel::kReceiveBufferSize> buffer{};
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return;
        const size_t length = static_cast<size_t>(n);
        if (from.sin_family == AF_INET && from.sin_addr.s_addr == destination_) {
            heldTooLong_ = length > buffer.size();
            held_ = heldTooLong_ ? std::string() : std::string(buffer.data(), length);
            return;
        }
        std::string decoded;
        if (othersMayAnswer_ && !foreign_ && length <= buffer.size() &&
            Base64Decode(std::string_view(buffer.data(), length), decoded))
            foreign_ = std::string(buffer.data(), length);
    }

    static bool fail(std::string& errorText, const char* text) {
        errorText = text;
        return false;
    }

    StopWaker waker_;
    UniqueFd socket_;
    std::chrono::milliseconds receiveWait_{0};
    in_addr_t destination_ = 0;
    bool othersMayAnswer_ = false;       // the destination is a broadcast address
    std::optional<std::string> held_;    // the first datagram from the destination
    bool heldTooLong_ = false;           // ... and it did not fit the receive buffer
    std::optional<std::string> foreign_; // the first decodable datagram from anyone else
};

// Base64 payload to reply text: the decoded bytes up to the first zero byte, bytes 128-255 as they are.
bool CommandFits(const std::string& command, std::string& errorText) {
    // The command buffer keeps one byte for its terminator.
    if (command.empty() || command.size() >= CommandChannel::kCommandBufferSize) {
        errorText = CommandChannel::kBadArgument;
        return false;
    }
    return true;
}

} // namespace

int CommandChannel::Transact(std::string command, std::string& replyText, std::string& errorText, int waitFlag,
                             std::stop_token stop) {
    const int replyTimeout = ReplyTimeout();
    if (replyTimeout < 0) {
        notifier().messageBox(kReplyTimeoutNotSet);
        return -1;
    }
    if (!CommandFits(command, errorText))
        return -1;

    Exchange exchange(std::move(stop));
    // The big buffer also keeps the reply when the thread is slow to read during a burst from elsewhere.
    if (!exchange.start(command, Address(), Port(), replyTimeout, waitFlag == 1, errorText))
        return -1;
    if (!exchange.pause(waitFlag == 1)) {
        errorText = kStopped;
        return -1;
    }
    if (waitFlag != 1)
        return 0;

    std::string payload;
    switch (exchange.receiveFromGateway(payload)) {
    case Exchange::Received::Stopped:
        errorText = kStopped;
        return -1;
    case Exchange::Received::Failed:
        errorText = kReceiveError;
        return -1;
    case Exchange::Received::Reply:
        // A reply that does not decode leaves the reply text as it was.
        DecodeDatagram(payload, replyText);
        return 0;
    }
    return 0;
}

int CommandChannel::SendAndListen(std::string command, const ListenCallback& onReply, std::string& errorText,
                                  std::stop_token stop) {
    const int replyTimeout = ReplyTimeout();
    if (replyTimeout < 0) {
        notifier().messageBox(kReplyTimeoutNotSet);
        return -1;
    }
    if (ListenTime() < 0) {
        notifier().messageBox(kListenTimeNotSet);
        return -1;
    }
    if (!CommandFits(command, errorText))
        return -1;

    Exchange exchange(std::move(stop));
    if (!exchange.start(command, Address(), Port(), replyTimeout, true, errorText))
        return -1;
    if (!exchange.pause(false)) {
        errorText = kStopped;
        return -1;
    }

    const auto start = Clock::now();
    // The listen time is read again on every pass, and each receive waits only for what is left of it:
    // a receive that waited a whole reply time-out would carry the listen that far past its end.
    for (;;) {
        const auto end = start + std::chrono::milliseconds(static_cast<long long>(ListenTime()) * 1000);
        if (Clock::now() >= end)
            break;
        std::string payload;
        ReplySource from;
        switch (exchange.receive(payload, from, end)) {
        case Exchange::Received::Stopped:
            errorText = kStopped;
            return -1;
        case Exchange::Received::Failed:
            errorText = kReceiveError;
            continue;
        case Exchange::Received::Reply:
            break;
        }
        std::string text;
        if (!DecodeDatagram(payload, text))
            continue;
        SetLastListenReply(text);
        if (onReply)
            onReply(text, from);
    }
    return 0;
}

} // namespace orva
