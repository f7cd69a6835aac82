#pragma once
// Where one exchange goes and how long it waits. A session fixes its target when it starts and hands
// it to every exchange it makes, so whatever another page or session does to the channel's shared
// settings meanwhile cannot move it to another address or port.
#include <cstdint>
#include <string>

namespace orva {

struct ExchangeTarget {
    std::string address;   // dotted-decimal IPv4
    uint16_t port = 0;     // the UDP port on the wire
    int replyTimeout = -1; // seconds; negative: never set (the exchange refuses to start)
    int listenTime = -1;   // seconds a broadcast listens; negative: never set

    // The same address and times on another port.
    ExchangeTarget onPort(uint16_t other) const {
        ExchangeTarget t = *this;
        t.port = other;
        return t;
    }

    bool operator==(const ExchangeTarget&) const = default;
};

} // namespace orva
