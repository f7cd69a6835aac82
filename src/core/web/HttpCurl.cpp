#include "web/HttpCurl.h"

#include <algorithm>
#include <cctype>
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

} // namespace

Easy NewEasy() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return Easy(curl_easy_init());
}

bool IsFetchableUrl(const std::string& url) {
    CURLU* u = curl_url();
    if (!u)
        return false;
    bool ok = false;
    char* scheme = nullptr;
    char* host = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        const std::string s = lower(scheme);
        std::string hn = lower(host);
        if (!hn.empty() && hn.back() == '.')
            hn.pop_back();
        const bool invalidName = hn == "invalid" || (hn.size() > 8 && hn.ends_with(".invalid"));
        ok = (s == "http" || s == "https") && !hn.empty() && !invalidName;
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(u);
    return ok;
}

bool ApplyCommon(CURL* h, const std::string& url) {
    return curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
}

bool ApplyTls(CURL* h, const HttpOptions& options, std::string& caBlob) {
    if (!options.tlsVerify)
        return curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L) == CURLE_OK &&
               curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L) == CURLE_OK;
    if (curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) != CURLE_OK)
        return false;
    if (options.caFile.empty())
        return true;
    // An in-memory bundle replaces libcurl's CA file, so the system's authorities go in first and the
    // private CA after them. An unreadable CA file adds nothing: its servers then fail verification.
    std::string system;
    std::string extra;
    readWhole(systemBundlePath(h), system);
    readWhole(options.caFile, extra);
    caBlob = system;
    if (!caBlob.empty() && caBlob.back() != '\n')
        caBlob += '\n';
    caBlob += extra;
    curl_blob blob{};
    blob.data = caBlob.data();
    blob.len = caBlob.size();
    blob.flags = CURL_BLOB_NOCOPY;
    return curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob) == CURLE_OK;
}

} // namespace orva::http
