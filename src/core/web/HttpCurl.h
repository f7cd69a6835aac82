#pragma once
// libcurl plumbing shared by the request and the download: one easy handle per transfer, the URL
// check, the TLS set-up. Internal to the web layer.
#include "web/HttpOptions.h"

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

// Certificate checking as the options ask. `caBlob` holds the combined bundle that the handle refers
// to, so it must outlive the transfer. False when the handle refused an option.
bool ApplyTls(CURL* h, const HttpOptions& options, std::string& caBlob);

// Options every transfer shares: the URL, only http/https (redirects included), no signals.
bool ApplyCommon(CURL* h, const std::string& url);

} // namespace orva::http
