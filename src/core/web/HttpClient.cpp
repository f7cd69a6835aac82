#include "core/web/HttpClient.h"

#include "core/web/HttpCurl.h"
#include "core/web/Utf8.h"

namespace orva {

namespace {

// The reply body as it arrives, up to the client's limit; a longer body ends the transfer.
struct Collected {
    std::string body;
    std::size_t limit = 0;
};

size_t collect(char* data, size_t size, size_t count, void* user) {
    auto* c = static_cast<Collected*>(user);
    const size_t n = size * count;
    if (n > c->limit - c->body.size())
        return 0; // libcurl ends the transfer with a write error
    c->body.append(data, n);
    return n;
}

// libcurl calls this during the transfer, also while it waits for the server; a non-zero answer ends it.
int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(user)->stop_requested() ? 1 : 0;
}

} // namespace

CHttpClient::CHttpClient(std::string userAgent, HttpOptions options)
    : userAgent_(std::move(userAgent)), options_(std::move(options)) {}

CHttpClient::~CHttpClient() = default;

const http::CaBundle& CHttpClient::caBundle(void* curlHandle) {
    if (!caBundle_)
        caBundle_ = std::make_unique<http::CaBundle>();
    if (options_.tlsVerify)
        http::BuildCaBundle(static_cast<CURL*>(curlHandle), options_.caFile, *caBundle_);
    return *caBundle_;
}

int CHttpClient::Post(const std::string& url, const std::string& body, std::string& reply, std::stop_token stop) {
    return Request("POST", url, body, reply, std::move(stop));
}

int CHttpClient::Request(const std::string& verb, const std::string& url, const std::string& body, std::string& reply,
                         std::stop_token stop) {
    reply.clear();
    lastError_.clear();
    lastStatus_ = 0;
    if (!http::IsFetchableUrl(url)) {
        lastError_ = "not an http or https URL";
        return kFailed;
    }
    if (stop.stop_requested()) {
        lastError_ = "stopped";
        return kFailed;
    }
    http::Easy easy = http::NewEasy();
    if (!easy) {
        lastError_ = "libcurl made no handle";
        return kFailed;
    }
    CURL* h = easy.get();

    // The services take the body as it is: no form content type, no 100-continue round trip.
    http::Slist headers;
    const auto addHeader = [&headers](const char* line) {
        curl_slist* l = curl_slist_append(headers.get(), line);
        if (!l)
            return false;
        (void)headers.release(); // now owned through the longer list
        headers.reset(l);
        return true;
    };
    bool ok = addHeader("Accept: text/*") && addHeader("Content-Type:") && addHeader("Expect:");
    // The client's own agent text is the request's User-Agent; the fixed one only fills in for none.
    if (userAgent_.empty())
        ok = ok && addHeader("User-Agent: Client");

    Collected received;
    received.limit = options_.maxReplyBytes;
    http::ConnectGuard guard;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const http::CaBundle& bundle = caBundle(h);
    ok = ok && http::ApplyCommon(h, url, guard) && http::ApplyTls(h, options_, bundle) &&
         curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.timeout.count())) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collect) == CURLE_OK &&
         // A body announced as longer than the limit is refused before any of it is read.
         curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(received.limit)) == CURLE_OK &&
         curl_easy_setopt(h, CURLOPT_WRITEDATA, &received) == CURLE_OK;
    if (ok && !userAgent_.empty())
        ok = curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent_.c_str()) == CURLE_OK;
    if (ok && verb == "POST") {
        ok = curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
    } else if (ok && verb == "GET" && body.empty()) {
        ok = curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    } else if (ok) {
        ok = curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb.c_str()) == CURLE_OK;
        if (ok && !body.empty())
            ok = curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
                 curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
    }
    if (ok && stop.stop_possible())
        ok = curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &checkStop) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_XFERINFODATA, &stop) == CURLE_OK &&
             curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (!ok) {
        lastError_ = "libcurl refused an option";
        return kFailed;
    }

    const CURLcode rc = curl_easy_perform(h);
    lastError_ = http::FailureText(rc, guard, errorBuffer, bundle);
    if (rc == CURLE_OK)
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &lastStatus_);
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return kTimedOut;
    if (rc != CURLE_OK) // a stop request, a body over the limit or a refused address included
        return kFailed;
    // Whatever the status, the body is the answer; a NUL ends it.
    std::string& text = received.body;
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    reply = Utf8Sanitize(text);
    return kOk;
}

} // namespace orva
