#pragma once
// The tool's one way of talking HTTP: post a text body and read the reply, or fetch a file.
// Every caller makes its own client on its own thread, uses it for one request and drops it.
#include "core/web/HttpOptions.h"

#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>

namespace orva {

namespace http {
struct CaBundle;
}

class CHttpClient {
public:
    // Results of Request/Post. Callers look at the reply rather than the result: an empty reply
    // means no answer.
    static constexpr int kOk = 0;       // sent, reply body read whatever the HTTP status
    static constexpr int kFailed = 1;   // not an http/https URL, or the request failed (TLS included)
    static constexpr int kTimedOut = 2; // no complete answer within the time-out

    // The longest reply body kept unless the options say otherwise. The services answer with short
    // documents; a longer body (a misconfigured URL, a hostile server) is a failed request instead of
    // memory without bound and a long parse.
    static constexpr std::size_t kMaxReplyBytes = kServiceReplyLimit;

    static constexpr const char* kDefaultUserAgent =
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)";

    // Options from the settings (HttpTimeout, TlsVerify, CaFile).
    explicit CHttpClient(std::string userAgent = kDefaultUserAgent);
    CHttpClient(std::string userAgent, HttpOptions options);
    virtual ~CHttpClient();

    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // Request("POST", url, body, reply, stop).
    int Post(const std::string& url, const std::string& body, std::string& reply, std::stop_token stop = {});
    // Sends `body` (UTF-8) with `verb`; `reply` gets the reply body up to its first NUL byte, as
    // UTF-8 (malformed bytes become U+FFFD), or "" on any failure, a body over the options'
    // maxReplyBytes included. A stop request on `stop` ends the request where it stands (libcurl looks
    // about once a second while nothing moves): kFailed, "".
    int Request(const std::string& verb, const std::string& url, const std::string& body, std::string& reply,
                std::stop_token stop = {});

    // Fetches url into path. True only when the server answered 200 with a Content-Length above 0 and
    // the whole body arrived; the file is then replaced in one step. A length or body beyond the
    // options' downloadLimit, or beyond the free space of path's file system less downloadSpareBytes,
    // fails, as does a redirect from https to http. On every failure an existing file at path is left
    // as it was and no new file appears.
    bool Download(const std::string& url, const std::string& path);

    // Why the last Request or Download failed ("" after a success): libcurl's text, or the loopback
    // guard's refusal (LoopbackRefusal of the address) when this build would not connect. Refusals are
    // also written to orva.log under the tag "HTTP".
    const std::string& lastError() const { return lastError_; }
    // The HTTP status of the last Request's answer (0 when none came).
    long lastStatus() const { return lastStatus_; }

    const HttpOptions& options() const { return options_; }

private:
    // The CA bundle (with CaFile, when certificates are checked): read at the client's first transfer
    // and kept for its others.
    const http::CaBundle& caBundle(void* curlHandle);

    std::string userAgent_;
    HttpOptions options_;
    std::unique_ptr<http::CaBundle> caBundle_;
    std::string lastError_;
    long lastStatus_ = 0;
};

} // namespace orva
