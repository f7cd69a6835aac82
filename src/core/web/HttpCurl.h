#pragma once
// libcurl plumbing shared by the request and the download: one easy handle per transfer, the URL
// check, the loopback guard, the TLS set-up. Internal to the web layer.
#include "core/app/LoopbackGuard.h"
#include "core/app/Result.h"
#include "core/web/HttpOptions.h"

#include <curl/curl.h>

#include <memory>
#include <string>

namespace orva::http {

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// A fresh easy handle (libcurl initialised once per process); null when libcurl cannot make one.
Easy NewEasy();

// True for an http or https URL whose host may be looked up. Names under ".invalid" can never exist
// (RFC 6761), so they are refused here without asking any resolver.
bool IsFetchableUrl(const std::string& url);

// What the loopback guard saw during one transfer. The guard looks at every socket libcurl opens, so
// it sees the address actually dialled: after name resolution, on every redirect hop. Before that, a
// name lookup is allowed only for an address literal or "localhost" (answered from the hosts file): any
// other name would send a query to a resolver, which may be off loopback, so it is refused unlooked-up.
struct ConnectGuard {
    bool loopbackOnly = kLoopbackOnly;
    CURL* handle = nullptr;   // the transfer, to read which host a lookup is for
    std::string refused;      // the first address refused, as text; "" when none was
    bool lastRefused = false; // the last socket asked for was refused (a later one may have been allowed)
    std::string refusedName;  // a name whose lookup was refused; "" when none was
};

// The system's certificate authorities, plus the private CA file when one is named and acceptable.
// Built once per client; `note` says why the CA file added nothing ("" when it was taken or none named).
struct CaBundle {
    bool built = false;
    std::string pem;
    std::string note;
};
void BuildCaBundle(CURL* h, const std::string& caFile, CaBundle& bundle);

// Reads a CA file: only a regular file under kCaFileLimit, checked on the opened descriptor so that a
// FIFO, a device or a file swapped in between cannot stall or flood the reader. Fails with the reason
// ("is not a regular file") otherwise.
Result<std::string> ReadCaFile(const std::string& path);

// Certificate checking as the options ask. `bundle` (from BuildCaBundle) must outlive the transfer.
// False when the handle refused an option.
bool ApplyTls(CURL* h, const HttpOptions& options, const CaBundle& bundle);

// Options every transfer shares: the URL, only http/https, redirects from an https URL only to https,
// no signals, and the loopback guard on every connection. `guard` must outlive the transfer.
bool ApplyCommon(CURL* h, const std::string& url, ConnectGuard& guard);

// The text of a failed transfer ("" for CURLE_OK): the guard's refusal when it refused the connection
// the transfer ended on (that refusal is also logged), else libcurl's, which for a certificate nobody
// vouched for also says why the CA file added nothing.
std::string FailureText(CURLcode rc, const ConnectGuard& guard, const char* errorBuffer, const CaBundle& bundle);

// Writes a refusal (loopback guard, CA file) to orva.log, the one place every front end shares.
void LogRefusal(const std::string& text);

} // namespace orva::http
