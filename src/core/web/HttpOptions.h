#pragma once
// How a CHttpClient talks to servers. Normally taken from the settings; tests give their own.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orva {

// The longest reply the login and report services are believed: their answers are a few short
// elements, and the document parser should never be handed megabytes a hostile server chose.
inline constexpr std::size_t kServiceReplyLimit = 64 * 1024;

// The largest installer the update download takes, and the room it leaves free on the file system it
// writes to (usually the one holding orvalog.db, which must keep growing after the download).
inline constexpr std::uint64_t kDownloadLimit = std::uint64_t{2} * 1024 * 1024 * 1024;
inline constexpr std::uint64_t kDownloadSpareBytes = std::uint64_t{100} * 1024 * 1024;

// The largest CaFile read; a PEM bundle of a private CA is a few kilobytes.
inline constexpr std::size_t kCaFileLimit = 1024 * 1024;

struct HttpOptions {
    // How long a request may take, connection included, before it counts as no answer.
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    // Check the server's certificate and host name. Off only for installations that must.
    bool tlsVerify = true;
    // PEM file of a private CA, trusted in addition to the system's certificate authorities. Only a
    // regular file under kCaFileLimit is read, once per client; anything else adds nothing.
    std::string caFile;
    // The longest reply body Post/Request keeps; a longer one is a failed request.
    std::size_t maxReplyBytes = kServiceReplyLimit;
    // Download: the largest body, and the free space left on the target's file system after it.
    std::uint64_t downloadLimit = kDownloadLimit;
    std::uint64_t downloadSpareBytes = kDownloadSpareBytes;

    // From Settings(): HttpTimeout (seconds; 0 or below keeps 30), TlsVerify, CaFile.
    static HttpOptions FromSettings();
};

// Fixed limits of the update download: each of connecting, and any stretch without data, may last
// this long.
inline constexpr std::chrono::milliseconds kDownloadTimeout{2000};

} // namespace orva
