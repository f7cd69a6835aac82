#pragma once
// The single UDP transport to the gateways. A command travels as the Base64 text of its bytes in one
// datagram; a reply is one datagram holding the Base64 text of a reply line. Every exchange opens its
// own socket and closes it again before returning, on every path. An exchange goes either to the
// channel's settings (address, port, time-outs) as they are when it starts, or to an ExchangeTarget
// of its own, which the sessions take from the settings when they start; several exchanges may run
// at once on different threads.
#include <atomic>
#include "core/protocol/ExchangeTarget.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <type_traits>

namespace orva {

// A received datagram's payload as a reply line: strict Base64, the decoded bytes up to the first zero
// byte. False (and `text` untouched) when the payload is not Base64.
bool DecodeDatagram(const std::string& payload, std::string& text);

// Where a reply of a broadcast exchange came from: the sender's dotted-decimal IPv4 address and port.
struct ReplySource {
    std::string address;
    uint16_t port = 0;
};

// Called once per decoded reply of a broadcast exchange, in arrival order, on the exchanging thread.
// The exchange waits until the callback returns. It takes a callable of (reply) or of (reply, source):
// a page that only shows replies need not care where they came from, one that counts gateways does.
class ListenCallback {
public:
    using WithSource = std::function<void(const std::string& reply, const ReplySource& from)>;

    ListenCallback() = default;
    ListenCallback(std::nullptr_t) {}
    template <class F>
    requires(!std::same_as<std::remove_cvref_t<F>, ListenCallback> &&
             std::invocable<F&, const std::string&, const ReplySource&>) ListenCallback(F f)
        : call_(std::move(f)) {}
    template <class F>
    requires(std::invocable<F&, const std::string&> && !std::invocable<F&, const std::string&, const ReplySource&>)
        ListenCallback(F f) {
        // An empty std::function stays an empty callback rather than one that throws when called.
        if constexpr (std::is_constructible_v<bool, F&>) {
            if (!static_cast<bool>(f))
                return;
        }
        call_ = [g = std::move(f)](const std::string& reply, const ReplySource&) mutable { g(reply); };
    }

    explicit operator bool() const { return static_cast<bool>(call_); }
    void operator()(const std::string& reply, const ReplySource& from) const { call_(reply, from); }
    void operator()(const std::string& reply) const { call_(reply, ReplySource{}); }

private:
    WithSource call_;
};

class CommandChannel {
public:
    // Error texts of a failed exchange. They read the same in both languages.
    static constexpr const char* kBadArgument = "输入参数错误";
    static constexpr const char* kSocketError = "create socket error!\n";
    static constexpr const char* kBroadcastError = "setsockopt: set SO_BROADCAST error!\n";
    static constexpr const char* kBufferError = "send_data malloc error!\n";
    static constexpr const char* kSendError = "sendto data error!\n";
    static constexpr const char* kTimeoutError = "设置失败!\n";
    static constexpr const char* kReceiveError = "recvfrom data error!\n";
    // A stop request ended the exchange: whatever was under way was abandoned.
    static constexpr const char* kStopped = "stopped\n";
    // Shown (not returned) when a time-out was never set.
    static constexpr const char* kReplyTimeoutNotSet = "未正确设置超时";
    static constexpr const char* kListenTimeNotSet = "未正确设置等待监听的超时";

    // Command bytes are built in a zero-filled buffer of this size, so a command is at most 255 bytes.
    static constexpr size_t kCommandBufferSize = 256;
    // Receive buffer of one reply datagram; a longer datagram is a failed receive.
    static constexpr size_t kReceiveBufferSize = 800;
    // Pause between sending and the first receive.
    static constexpr int kPauseMilliseconds = 100;
    // Socket receive buffer asked for by SendAndListen and by a Transact that waits, so a whole segment
    // answering at once, or a burst of foreign datagrams ahead of the reply, fits.
    static constexpr int kListenSocketBuffer = 4 * 1024 * 1024;

    static CommandChannel& Instance();

    // Setters never validate; they return 0. Fields may be set from any thread.
    int SetAddress(const std::string& address);
    int SetPort(int port);
    int SetReplyTimeout(int seconds);
    int SetListenTime(int seconds);
    std::string Address() const;
    int Port() const;
    int ReplyTimeout() const;
    int ListenTime() const;
    // The current settings as one value (the port's low 16 bits, as they go on the wire): what a
    // session takes when it starts, so later changes to the settings reach only later sessions.
    ExchangeTarget Target() const;

    // Sends one command and, when waitFlag is exactly 1, waits up to the reply time-out for one reply.
    // 0 on success (also when the reply did not decode: replyText is then left as it was), -1 on
    // failure with errorText set. The reply is the first datagram from the address the command went
    // to; datagrams from other senders do not end the wait. Only when the address is a broadcast
    // address (IsBroadcastDestination) is the first of them that decodes taken, once the address itself
    // has sent nothing before the time-out: a gateway asked on its segment answers from its own
    // address. A unicast exchange never takes another host's datagram, so a host that answers for a
    // silent gateway is not believed. A negative reply time-out shows a message box and leaves
    // errorText alone. A reply time-out of 0 waits without limit (until a reply or a stop request). A command over 255
    // bytes is refused like an empty one. An address that is not dotted-decimal IPv4 sends nothing and fails with
    // kSendError. A stop request abandons the exchange at once: -1, kStopped.
    int Transact(std::string command, std::string& replyText, std::string& errorText, int waitFlag,
                 std::stop_token stop = {});
    // The same exchange with the target's address, port and reply time-out instead of the settings.
    int Transact(const ExchangeTarget& target, std::string command, std::string& replyText, std::string& errorText,
                 int waitFlag, std::stop_token stop = {});

    // Sends one command (usually to a broadcast address), then hands every reply that decodes to
    // onReply, with its sender, until the listen time has passed. The listen time is re-read on every
    // pass, and a receive waits only for what is left of it (and at most one reply time-out), so the
    // listen ends at its time whether replies keep coming or none come. 0 once the listen time has
    // passed, even if receives failed or timed out (errorText then holds kReceiveError); -1 if the
    // exchange did not start or was stopped (kStopped).
    int SendAndListen(std::string command, const ListenCallback& onReply, std::string& errorText,
                      std::stop_token stop = {});
    // The same exchange with the target's address, port, reply time-out and listen time; that listen
    // time is the target's for the whole listen.
    int SendAndListen(const ExchangeTarget& target, std::string command, const ListenCallback& onReply,
                      std::string& errorText, std::stop_token stop = {});

private:
    CommandChannel() = default;

    mutable std::mutex addressMutex_;
    std::string address_ = "192.168.1.1";
    std::atomic<int> port_{7999};
    std::atomic<int> replyTimeout_{-1};
    std::atomic<int> listenTime_{-1};
};

} // namespace orva
