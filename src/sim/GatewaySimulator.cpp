#include "sim/GatewaySimulator.h"

#include "sim/GatewayModel.h"
#include "sim/LoopbackAddress.h"
#include "sim/ServiceEndpoints.h"
#include "sim/TimeText.h"
#include "sim/UnitSwap.h"
#include "core/protocol/Base64.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::sim {
namespace {

constexpr size_t kImageInfoSize = 12;
constexpr size_t kImageDataSize = 1004;

std::string hexHead(const std::string& bytes, size_t n = 16) {
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < n; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

bool printableAscii(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

sockaddr_in makeAddress(uint32_t hostOrder, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(hostOrder);
    a.sin_port = htons(port);
    return a;
}

} // namespace

GatewaySimulator::GatewaySimulator(Options options)
    : options_(std::move(options)), overrides_(options_.overrides), upgradePeer_(options_.buildDate) {}

GatewaySimulator::~GatewaySimulator() {
    stop();
}

std::string GatewaySimulator::address() const {
    return FormatIpv4(address_);
}

std::string GatewaySimulator::segmentAddress() const {
    return FormatIpv4(SegmentBroadcast(address_));
}

std::string GatewaySimulator::listeningLine() const {
    std::string web = services_ ? services_->describe() : std::string();
    if (!options_.udp)
        return "orva-gateway-sim listening on " + web.substr(web.find(' ') + 1) + " (" + web + ")";
    std::string line = "orva-gateway-sim listening on " + address() + " (segment " + segmentAddress() + ", ports";
    for (auto p : kPorts)
        line += " " + std::to_string(p);
    line += ", " + std::to_string(options_.gateways) + (options_.gateways == 1 ? " gateway" : " gateways");
    line += ", model " + options_.model + ", sn " + options_.sn;
    if (!options_.units.empty())
        line += ", " + std::to_string(options_.units.size()) + " units swapped every " +
                std::to_string(options_.swapAfterMs) + " ms with " + std::to_string(options_.swapGapMs) + " ms between";
    if (!web.empty())
        line += ", " + web;
    return line + ")";
}

int GatewaySimulator::unitPlaying() const {
    return UnitPlaying(options_, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - started_));
}

void GatewaySimulator::addOverride(const Override& o) {
    std::lock_guard lock(overridesMutex_);
    overrides_.push_back(o);
}

void GatewaySimulator::setOverrides(std::vector<Override> overrides) {
    std::lock_guard lock(overridesMutex_);
    overrides_ = std::move(overrides);
}

void GatewaySimulator::clearOverrides() {
    std::lock_guard lock(overridesMutex_);
    overrides_.clear();
}

Result<void> GatewaySimulator::start() {
    if (running())
        return Failure{"already running"};
    if (Result<void> allowed = CheckLoopbackOnly(options_.address, options_.http, options_.https); !allowed)
        return allowed;
    uint32_t addr = 0;
    ParseIpv4(options_.address, addr); // well formed: checked just above
    if (options_.gateways < 1)
        return Failure{"the number of gateways must be at least 1"};
    address_ = addr;
    if (!options_.udp && options_.http.empty() && options_.https.empty())
        return Failure{"nothing to serve: no gateway sockets and no web endpoint"};
    if (!options_.journalFile.empty() && !journal_.openFile(options_.journalFile))
        return Failure{"cannot open journal file " + options_.journalFile};
    if (!options_.http.empty() || !options_.https.empty()) {
        services_ = std::make_unique<ServiceEndpoints>(options_);
        if (Result<void> served = services_->start(); !served) {
            services_.reset();
            return served;
        }
    }
    if (!options_.udp)
        return {};

    std::vector<uint32_t> addresses{addr};
    if (SegmentBroadcast(addr) != addr)
        addresses.push_back(SegmentBroadcast(addr));
    for (uint16_t port : kPorts) {
        int replyFd = -1;
        for (uint32_t a : addresses) {
            int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                Failure failure{std::string("cannot create a UDP socket: ") + std::strerror(errno)};
                stop();
                return failure;
            }
            int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
            sockaddr_in sa = makeAddress(a, port);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
                Failure failure{"cannot bind " + FormatIpv4(a) + ":" + std::to_string(port) + ": " +
                                std::strerror(errno)};
                ::close(fd);
                stop();
                return failure;
            }
            if (replyFd < 0)
                replyFd = fd;
            sockets_.push_back(Socket{fd, port, a, replyFd});
        }
    }
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        Failure failure{std::string("cannot create an event descriptor: ") + std::strerror(errno)};
        stop();
        return failure;
    }
    started_ = std::chrono::steady_clock::now();
    worker_ = std::jthread([this](std::stop_token st) { serve(st); });
    return {};
}

void GatewaySimulator::stop() {
    if (worker_.joinable()) {
        worker_.request_stop();
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
        worker_.join();
    }
    closeSockets();
    if (services_) {
        services_->stop();
        services_.reset();
    }
}

void GatewaySimulator::closeSockets() {
    for (auto& s : sockets_)
        ::close(s.fd);
    sockets_.clear();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    wakeFd_ = -1;
}

void GatewaySimulator::sendPending(const Pending& p) {
    sockaddr_in to = makeAddress(p.address, p.port);
    // A lost answer is what a real network does too; the peer's time-out handles it.
    [[maybe_unused]] auto n =
        ::sendto(p.fd, p.payload.data(), p.payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void GatewaySimulator::serve(std::stop_token stop) {
    std::vector<pollfd> fds;
    for (const auto& s : sockets_)
        fds.push_back(pollfd{s.fd, POLLIN, 0});
    fds.push_back(pollfd{wakeFd_, POLLIN, 0});
    std::vector<Pending> pending; // kept ordered by due time
    std::string buffer(65536, '\0');

    while (!stop.stop_requested()) {
        int timeoutMs = -1;
        if (!pending.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pending.front().due -
                                                                              std::chrono::steady_clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(0, left.count() + 1));
        }
        int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR)
            break;
        auto now = std::chrono::steady_clock::now();
        while (!pending.empty() && pending.front().due <= now) {
            sendPending(pending.front());
            pending.erase(pending.begin());
        }
        if (ready <= 0)
            continue;
        for (size_t i = 0; i < sockets_.size(); ++i) {
            if (fds[i].revents & POLLIN)
                drainSocket(i, buffer, pending);
        }
    }
}

void GatewaySimulator::drainSocket(size_t i, std::string& buffer, std::vector<Pending>& pending) {
    const bool imageSocket = sockets_[i].port == kImagePort;
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n =
            ::recvfrom(sockets_[i].fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0)
            return;
        std::string bytes = buffer.substr(0, size_t(n));
        // A sender's status query leaves after its last image datagram (and its cancel), which loopback has
        // queued on the image sockets by then; take those first, so the query is judged on the whole transfer.
        if (!imageSocket) {
            for (size_t k = 0; k < sockets_.size(); ++k)
                if (sockets_[k].port == kImagePort)
                    drainSocket(k, buffer, pending);
        }
        handleDatagram(sockets_[i], bytes, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port), pending);
    }
}

bool GatewaySimulator::dropImageDatagram(const std::string& source, const std::string& bytes) {
    if (bytes.size() == kImageInfoSize && bytes.compare(0, 4, std::string("\0\0\x0a\xc2", 4)) == 0) {
        imageDataCount_[source] = 0;
        return false;
    }
    if (bytes.size() != kImageDataSize || options_.dropImageDatagrams.empty())
        return false;
    const int k = ++imageDataCount_[source];
    const auto& drops = options_.dropImageDatagrams;
    return std::find(drops.begin(), drops.end(), k) != drops.end();
}

void GatewaySimulator::handleDatagram(const Socket& s, const std::string& bytes, uint32_t fromAddress,
                                      uint16_t fromPort, std::vector<Pending>& pending) {
    JournalEntry entry;
    entry.time = LocalTimeText();
    entry.port = s.port;
    entry.source = FormatIpv4(fromAddress) + ":" + std::to_string(fromPort);
    entry.destination = FormatIpv4(s.address);
    entry.length = bytes.size();

    if (s.port == kImagePort) {
        if (dropImageDatagram(entry.source, bytes)) {
            entry.kind = JournalEntry::Kind::Image;
            entry.head = hexHead(bytes);
            entry.note = "dropped: image data datagram " + std::to_string(imageDataCount_[entry.source]) +
                         " never reaches the gateways";
            journal_.add(std::move(entry));
            return;
        }
        // Every datagram of the port, before any decoding: the cancel arrives Base64-encoded.
        upgradePeer_.receive(entry.source, bytes);
    }

    std::string decoded;
    bool isText = Base64Decode(bytes, decoded);
    if (isText) {
        // The sender builds commands in a zero-filled buffer; the text ends at the first zero byte.
        auto zero = decoded.find('\0');
        if (zero != std::string::npos)
            decoded.resize(zero);
    }
    if (s.port == kImagePort && !(isText && printableAscii(decoded))) {
        entry.kind = JournalEntry::Kind::Image;
        entry.head = hexHead(bytes);
        journal_.appendImage(entry.source, bytes);
        journal_.add(std::move(entry));
        return;
    }
    if (!isText) {
        entry.kind = JournalEntry::Kind::Undecodable;
        entry.head = hexHead(bytes);
        journal_.add(std::move(entry));
        return;
    }
    entry.command = decoded;
    std::optional<UpgradeVerdict> upgrade;
    if (s.port == kUpgradeQueryPort && decoded == "QUERY_UPGRADE_MSG") {
        if (upgradePeer_.seenImage()) {
            upgrade = upgradePeer_.verdict();
            entry.note = "upgrade verdict " + upgrade->status + (upgrade->reason.empty() ? "" : ": " + upgrade->reason);
        } else {
            entry.note = "upgrade verdict UPGRADE_SUCCESS: no image received, answered as after a good upgrade";
        }
    }
    std::vector<Answer> answers;
    if (const int unit = unitPlaying(); unit == 0) {
        entry.note = "silent: no unit plugged in";
    } else {
        std::vector<Override> overrides;
        {
            std::lock_guard lock(overridesMutex_);
            overrides = UnitOverrides(overrides_, unit);
        }
        const UpgradeVerdict* verdict = upgrade ? &*upgrade : nullptr;
        // The segment socket of the port takes what was asked of the whole segment.
        const bool broadcast = s.address != address_;
        answers = options_.units.empty()
                      ? AnswerCommand(s.port, decoded, options_, overrides, verdict, broadcast)
                      : AnswerCommand(s.port, decoded, UnitOptions(options_, unit), overrides, verdict, broadcast);
    }
    journal_.add(std::move(entry));

    auto now = std::chrono::steady_clock::now();
    for (auto& a : answers) {
        Pending p{now + std::chrono::milliseconds(a.delayMs), s.replyFd, fromAddress, fromPort, std::move(a.payload)};
        if (a.delayMs <= 0) {
            sendPending(p);
            continue;
        }
        auto at = std::upper_bound(pending.begin(), pending.end(), p.due,
                                   [](auto due, const Pending& q) { return due < q.due; });
        pending.insert(at, std::move(p));
    }
}

} // namespace orva::sim
