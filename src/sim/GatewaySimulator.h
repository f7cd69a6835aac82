#pragma once
// One process-local stand-in for the gateways of a LAN segment: binds the gateway address and the
// segment broadcast address (loopback only) on the four maintenance ports and answers like a gateway.
#include "sim/Journal.h"
#include "sim/Options.h"
#include "sim/UpgradePeer.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orva::sim {

class ServiceEndpoints;

class GatewaySimulator {
public:
    explicit GatewaySimulator(Options options);
    ~GatewaySimulator();
    GatewaySimulator(const GatewaySimulator&) = delete;
    GatewaySimulator& operator=(const GatewaySimulator&) = delete;

    // Binds every socket (and the web endpoints when asked for) and starts serving. Fails, saying why,
    // when an address is refused or a socket cannot be bound; nothing stays open then.
    Result<void> start();
    void stop();
    bool running() const { return worker_.joinable() || services_ != nullptr; }

    const Options& options() const { return options_; }
    std::string address() const;        // the gateway address
    std::string segmentAddress() const; // its segment broadcast address
    std::string listeningLine() const;  // "orva-gateway-sim listening on ..."
    // The unit of --units answering now (from 1), 0 between units and after the last; 1 without --units.
    int unitPlaying() const;

    // Changes take effect with the next datagram.
    void addOverride(const Override& o);
    void setOverrides(std::vector<Override> overrides);
    void clearOverrides();

    std::vector<JournalEntry> journal() const { return journal_.entries(); }
    std::vector<std::string> commands() const { return journal_.commands(); }
    bool waitForJournal(size_t n, std::chrono::milliseconds timeout) const { return journal_.waitFor(n, timeout); }
    void clearJournal() { journal_.clear(); }
    // Image datagrams received on the image port, concatenated per sender ("a.b.c.d:port").
    std::string imageBytes(const std::string& source) const { return journal_.imageBytes(source); }
    std::map<std::string, std::string> images() const { return journal_.images(); }

    // The gateways' judgement of the image transfer begun last ("UPGRADE_UNKNOWN", reason "no image
    // received", before any image datagram; status queries are answered UPGRADE_SUCCESS then).
    UpgradeVerdict upgradeVerdict() const { return upgradePeer_.verdict(); }
    // The image bytes the gateways reassembled from the transfer begun last.
    std::string upgradeImage() const { return upgradePeer_.latestImage(); }
    // Forgets every transfer, as after a power cycle of the gateways.
    void resetUpgrade() { upgradePeer_.reset(); }

    // The web endpoints; null when none was asked for.
    ServiceEndpoints* services() { return services_.get(); }

private:
    struct Socket {
        int fd = -1;
        uint16_t port = 0;
        uint32_t address = 0; // host order
        int replyFd = -1;     // answers leave from the gateway address of the same port
    };
    struct Pending {
        std::chrono::steady_clock::time_point due;
        int fd;
        uint32_t address;
        uint16_t port;
        std::string payload;
    };

    void closeSockets();
    void serve(std::stop_token stop);
    // Reads and handles every datagram waiting on sockets_[i]; false when none was there.
    void drainSocket(size_t i, std::string& buffer, std::vector<Pending>& pending);
    // True when the datagram is to be lost on purpose (--drop-image-datagram).
    bool dropImageDatagram(const std::string& source, const std::string& bytes);
    void handleDatagram(const Socket& s, const std::string& bytes, uint32_t fromAddress, uint16_t fromPort,
                        std::vector<Pending>& pending);
    static void sendPending(const Pending& p);

    Options options_;
    uint32_t address_ = 0;
    std::chrono::steady_clock::time_point started_; // --units play from here
    mutable std::mutex overridesMutex_;
    std::vector<Override> overrides_;
    Journal journal_;
    UpgradePeer upgradePeer_;
    std::map<std::string, int> imageDataCount_; // per sender since its image-info datagram; worker only
    std::vector<Socket> sockets_;
    int wakeFd_ = -1;
    std::jthread worker_;
    std::unique_ptr<ServiceEndpoints> services_;
};

} // namespace orva::sim
