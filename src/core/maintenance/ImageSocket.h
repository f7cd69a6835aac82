#pragma once
// The socket that carries an image broadcast: IPv4 UDP with broadcast allowed, one fixed destination,
// closed when the object goes.
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace orva {

class ImageSocket {
public:
    enum class OpenResult { Ok, SocketFailed, BroadcastFailed, BadAddress, NotLoopback };

    ImageSocket() = default;
    ~ImageSocket();
    ImageSocket(const ImageSocket&) = delete;
    ImageSocket& operator=(const ImageSocket&) = delete;

    // Creates the socket for datagrams to address:port. An address that is not dotted-decimal IPv4 is
    // refused, so nothing goes to a host nobody named.
    OpenResult open(const std::string& address, uint16_t port);
    // True when the whole datagram was handed to the system.
    bool send(const void* data, size_t size) const;

private:
    int fd_ = -1;
    sockaddr_in to_{};
};

} // namespace orva
