#include "core/web/HttpCurl.h"

#include "core/app/LogFile.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

namespace orva::http {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool readWhole(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

// Where this libcurl looks for the system's certificate authorities.
std::string systemBundlePath(CURL* h) {
    char* path = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CAINFO, &path) == CURLE_OK && path)
        return path;
    return "/etc/ssl/certs/ca-certificates.crt";
}

// The scheme and host of a URL as libcurl reads them, lower case; false when it cannot read them.
bool urlParts(const std::string& url, std::string& scheme, std::string& host) {
    CURLU* u = curl_url();
    if (!u)
        return false;
    char* s = nullptr;
    char* h = nullptr;
    const bool ok = curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
                    curl_url_get(u, CURLUPART_SCHEME, &s, 0) == CURLUE_OK &&
                    curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK;
    if (ok) {
        scheme = lower(s);
        host = lower(h);
    }
    curl_free(s);
    curl_free(h);
    curl_url_cleanup(u);
    return ok;
}

// Whether a socket address lies in 127.0.0.0/8 (an IPv4-mapped IPv6 address counts as its IPv4 one;
// ::1 does not: the guard has one rule for every channel, and every service of a development setup
// listens on 127.x). `text` gets the address as the refusal names it.
bool loopbackSocketAddress(const curl_sockaddr& a, std::string& text) {
    sockaddr_storage storage{};
    std::memcpy(&storage, &a.addr, std::min<size_t>(a.addrlen, sizeof storage));
    char buf[INET6_ADDRSTRLEN] = {};
    if (a.family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(storage);
        text = ::inet_ntop(AF_INET, &in.sin_addr, buf, sizeof buf) ? buf : "?";
        return IsLoopbackAddress(in.sin_addr.s_addr);
    }
    if (a.family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
        text = ::inet_ntop(AF_INET6, &in6.sin6_addr, buf, sizeof buf) ? buf : "?";
        if (!IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr))
            return false;
        uint32_t v4 = 0;
        std::memcpy(&v4, in6.sin6_addr.s6_addr + 12, sizeof v4);
        return IsLoopbackAddress(v4);
    }
    text = "address family " + std::to_string(a.family);
    return false;
}

// libcurl asks here for every socket it would connect, after the name is resolved and on every
// redirect: a refused address gets no socket, so nothing is sent to it, and libcurl goes on to the
// name's next address or fails the transfer as it fails an unreachable one.
curl_socket_t openGuarded(void* user, curlsocktype, curl_sockaddr* address) {
    auto* guard = static_cast<ConnectGuard*>(user);
    std::string text;
    if (guard->loopbackOnly && !loopbackSocketAddress(*address, text)) {
        if (guard->refused.empty())
            guard->refused = text;
        guard->lastRefused = true;
        return CURL_SOCKET_BAD;
    }
    guard->lastRefused = false;
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// True for a host that needs no resolver: an IPv4 or IPv6 literal, or localhost.
bool resolvesLocally(std::string host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    in_addr v4{};
    in6_addr v6{};
    return lower(host) == "localhost" || ::inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

// libcurl asks here before every name lookup, the first hop's and each redirect's: a lookup that would
// ask a resolver is refused, since its query could leave the machine before any address is known.
int startResolve(void*, void*, void* user) {
    auto* guard = static_cast<ConnectGuard*>(user);
    if (!guard->loopbackOnly || !guard->handle)
        return 0;
    char* url = nullptr;
    std::string scheme;
    std::string host;
    if (curl_easy_getinfo(guard->handle, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url &&
        urlParts(url, scheme, host) && resolvesLocally(host))
        return 0;
    guard->refusedName = host.empty() ? "?" : host;
    return 1;
}

} // namespace

Easy NewEasy() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return Easy(curl_easy_init());
}

bool IsFetchableUrl(const std::string& url) {
    std::string scheme;
    std::string hn;
    if (!urlParts(url, scheme, hn))
        return false;
    if (!hn.empty() && hn.back() == '.')
        hn.pop_back();
    const bool invalidName = hn == "invalid" || (hn.size() > 8 && hn.ends_with(".invalid"));
    return (scheme == "http" || scheme == "https") && !hn.empty() && !invalidName;
}

bool ApplyCommon(CURL* h, const std::string& url, ConnectGuard& guard) {
    std::string scheme;
    std::string host;
    urlParts(url, scheme, host);
    // A redirect may never take an https transfer to plain http, where anyone on the way could
    // change what arrives.
    const char* redirects = scheme == "https" ? "https" : "http,https";
    bool ok = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, redirects) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &openGuarded) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &guard) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, &startResolve) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_RESOLVER_START_DATA, &guard) == CURLE_OK;
    guard.handle = h;
    // A proxy would carry the request wherever it is told, beyond what the guard can see (it would
    // only see the proxy's address), so a build that talks to loopback only connects directly and
    // ignores http_proxy, https_proxy and all_proxy.
    if (ok && guard.loopbackOnly)
        ok = curl_easy_setopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    return ok;
}

std::string FailureText(CURLcode rc, const ConnectGuard& guard, const char* errorBuffer, const CaBundle& bundle) {
    if (rc == CURLE_OK)
        return {};
    if (rc == CURLE_COULDNT_RESOLVE_HOST && !guard.refusedName.empty()) {
        std::string text = LoopbackRefusal(guard.refusedName);
        LogRefusal(text);
        return text;
    }
    if (!guard.refused.empty() && guard.lastRefused) {
        std::string text = LoopbackRefusal(guard.refused);
        LogRefusal(text);
        return text;
    }
    std::string text = errorBuffer && *errorBuffer ? errorBuffer : curl_easy_strerror(rc);
    if (rc == CURLE_PEER_FAILED_VERIFICATION && !bundle.note.empty())
        text += " (" + bundle.note + ")";
    return text;
}

void LogRefusal(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    LogFile::instance().write("HTTP", line);
}

Result<std::string> ReadCaFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is then judged on this
    // descriptor, so what is read is what was checked.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Failure{std::string("cannot be opened (") + std::strerror(errno) + ")"};
    const auto read = [fd]() -> Result<std::string> {
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return Failure{std::string("cannot be examined (") + std::strerror(errno) + ")"};
        if (!S_ISREG(st.st_mode))
            return Failure{"is not a regular file"};
        if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) >= kCaFileLimit)
            return Failure{"is 1 MiB or larger"};
        // Read to the end, but never past the limit: the file may grow after fstat.
        std::string data(kCaFileLimit, '\0');
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return Failure{std::string("cannot be read (") + std::strerror(errno) + ")"};
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        if (got >= kCaFileLimit)
            return Failure{"is 1 MiB or larger"};
        data.resize(got);
        return data;
    };
    Result<std::string> result = read();
    ::close(fd);
    return result;
}

void BuildCaBundle(CURL* h, const std::string& caFile, CaBundle& bundle) {
    if (bundle.built)
        return;
    bundle.built = true;
    if (caFile.empty())
        return;
    // An in-memory bundle replaces libcurl's CA file, so the system's authorities go in first and the
    // private CA after them. A CA file that cannot be taken adds nothing: its servers then fail
    // verification like any server nobody vouches for.
    readWhole(systemBundlePath(h), bundle.pem);
    const Result<std::string> extra = ReadCaFile(caFile);
    if (!extra) {
        bundle.note =
            "CaFile " + caFile + " " + extra.error() + ": only the system's certificate authorities are trusted";
        LogRefusal(bundle.note);
    }
    if (!bundle.pem.empty() && bundle.pem.back() != '\n')
        bundle.pem += '\n';
    if (extra)
        bundle.pem += extra.value();
}

bool ApplyTls(CURL* h, const HttpOptions& options, const CaBundle& bundle) {
    if (!options.tlsVerify)
        return curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
               curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK;
    if (curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) != CURLE_OK)
        return false;
    if (options.caFile.empty())
        return true;
    curl_blob blob{};
    blob.data = const_cast<char*>(bundle.pem.data());
    blob.len = bundle.pem.size();
    blob.flags = CURL_BLOB_NOCOPY;
    return curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK;
}

} // namespace orva::http
