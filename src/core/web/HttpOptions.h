#pragma once
// How a CHttpClient talks to servers. Normally taken from the settings; tests give their own.
#include <chrono>
#include <string>

namespace orva {

struct HttpOptions {
    // How long a request may take, connection included, before it counts as no answer.
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    // Check the server's certificate and host name. Off only for installations that must.
    bool tlsVerify = true;
    // PEM file of a private CA, trusted in addition to the system's certificate authorities.
    std::string caFile;

    // From Settings(): HttpTimeout (seconds; 0 or below keeps 30), TlsVerify, CaFile.
    static HttpOptions FromSettings();
};

// Fixed limits of the update download: each of connecting, and any stretch without data, may last
// this long.
inline constexpr std::chrono::milliseconds kDownloadTimeout{2000};

} // namespace orva
