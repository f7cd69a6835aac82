#include "core/maintenance/ImageSocket.h"

#include "core/app/LoopbackGuard.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orva {

ImageSocket::~ImageSocket() {
    if (fd_ >= 0)
        ::close(fd_);
}

ImageSocket::OpenResult ImageSocket::open(const std::string& address, uint16_t port) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return OpenResult::SocketFailed;
    const int on = 1;
    if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return OpenResult::BroadcastFailed;
    to_ = {};
    to_.sin_family = AF_INET;
    to_.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to_.sin_addr) != 1)
        return OpenResult::BadAddress;
    if (!DestinationAllowed(to_.sin_addr.s_addr))
        return OpenResult::NotLoopback;
    return OpenResult::Ok;
}

bool ImageSocket::send(const void* data, size_t size) const {
    if (fd_ < 0)
        return false;
    const ssize_t n = ::sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    return n >= 0 && static_cast<size_t>(n) == size;
}

} // namespace orva
