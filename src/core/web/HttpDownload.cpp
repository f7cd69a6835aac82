#include "web/HttpClient.h"

#include "web/HttpCurl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace orva {

namespace {

// The body goes into a temporary file beside the target, which takes the target's name only once
// the whole body is there, so an existing file is never half-overwritten.
struct PartFile {
    std::string path;
    int fd = -1;

    bool create(const std::string& target) {
        std::vector<char> templ(target.begin(), target.end());
        const std::string suffix = ".part-XXXXXX";
        templ.insert(templ.end(), suffix.begin(), suffix.end());
        templ.push_back('\0');
        fd = mkstemp(templ.data());
        if (fd < 0)
            return false;
        path = templ.data();
        struct stat st {};
        // An installer replacing an earlier one keeps its permissions; a new one gets the usual.
        fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
        return true;
    }
    bool closeFile() {
        const int f = fd;
        fd = -1;
        return f < 0 || ::close(f) == 0;
    }
    void discard() {
        closeFile();
        if (!path.empty())
            ::unlink(path.c_str());
        path.clear();
    }
};

struct Transfer {
    CURL* handle = nullptr;
    PartFile* file = nullptr;
    curl_off_t expected = -1;
    curl_off_t received = 0;
    bool checked = false;
    bool writeFailed = false;
};

// Only a 200 answer with a length is worth keeping; anything else is cut off at its first byte.
bool acceptable(CURL* h, curl_off_t& length) {
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    length = -1;
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return status == 200 && length > 0;
}

size_t writePiece(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (!t->checked) {
        t->checked = true;
        if (!acceptable(t->handle, t->expected))
            return 0;
    }
    if (t->received + static_cast<curl_off_t>(n) > t->expected)
        return 0;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(t->file->fd, data + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            t->writeFailed = true;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    t->received += static_cast<curl_off_t>(n);
    return n;
}

} // namespace

bool CHttpClient::Download(const std::string& url, const std::string& path) {
    if (path.empty() || !http::IsFetchableUrl(url))
        return false;
    http::Easy easy = http::NewEasy();
    if (!easy)
        return false;
    CURL* h = easy.get();
    PartFile part;
    if (!part.create(path))
        return false;

    Transfer t;
    t.handle = h;
    t.file = &part;
    std::string caBlob;
    // Connecting, and any stretch without data, may each take the fixed limit; a long download that
    // keeps moving is not cut off.
    const long limitMs = static_cast<long>(kDownloadTimeout.count());
    const long stallSeconds = std::max(1L, limitMs / 1000);
    bool ok = http::ApplyCommon(h, url) && http::ApplyTls(h, options_, caBlob) &&
              curl_easy_setopt(h, CURLOPT_USERAGENT, "download") == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limitMs) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writePiece) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    ok = ok && curl_easy_perform(h) == CURLE_OK;
    // An empty 200 answer never reaches the write callback, so look at the answer once more here.
    curl_off_t length = -1;
    ok = ok && !t.writeFailed && acceptable(h, length) && t.received == length;
    ok = ok && ::fsync(part.fd) == 0;
    ok = part.closeFile() && ok;
    ok = ok && std::rename(part.path.c_str(), path.c_str()) == 0;
    if (!ok) {
        part.discard();
        return false;
    }
    return true;
}

} // namespace orva
