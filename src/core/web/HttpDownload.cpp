#include "core/web/HttpClient.h"

#include "core/web/HttpCurl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// The most the download may write: the options' limit, and no more than leaves the spare room free on
// the file system the part file lies on (the one the target will be on). 0 when there is no room.
uint64_t allowedBytes(int fd, const HttpOptions& options) {
    struct statvfs fs {};
    if (::fstatvfs(fd, &fs) != 0)
        return 0;
    const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
    const uint64_t room = free > options.downloadSpareBytes ? free - options.downloadSpareBytes : 0;
    return std::min(room, options.downloadLimit);
}

struct Transfer {
    CURL* handle = nullptr;
    PartFile* file = nullptr;
    curl_off_t expected = -1;
    curl_off_t received = 0;
    curl_off_t cap = 0;
    bool checked = false;
    bool writeFailed = false;
    bool tooLarge = false;
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
        // libcurl refuses an announced length above the cap itself; this also holds when it did not.
        if (t->expected > t->cap) {
            t->tooLarge = true;
            return 0;
        }
    }
    // Whatever was announced, the file never grows past the cap.
    if (t->received + static_cast<curl_off_t>(n) > t->cap) {
        t->tooLarge = true;
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
    lastError_.clear();
    if (path.empty() || !http::IsFetchableUrl(url)) {
        lastError_ = "not an http or https URL, or no file named";
        return false;
    }
    http::Easy easy = http::NewEasy();
    if (!easy) {
        lastError_ = "libcurl made no handle";
        return false;
    }
    CURL* h = easy.get();
    PartFile part;
    if (!part.create(path)) {
        lastError_ = "cannot create a file beside " + path;
        return false;
    }

    Transfer t;
    t.handle = h;
    t.file = &part;
    const uint64_t allowed = allowedBytes(part.fd, options_);
    t.cap = static_cast<curl_off_t>(std::min<uint64_t>(allowed, static_cast<uint64_t>(INT64_MAX)));
    if (t.cap <= 0) {
        part.discard();
        lastError_ = "no room for a download on the file system of " + path;
        return false;
    }
    http::ConnectGuard guard;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // Connecting, and any stretch without data, may each take the fixed limit; a long download that
    // keeps moving is not cut off.
    const long limitMs = static_cast<long>(kDownloadTimeout.count());
    const long stallSeconds = std::max(1L, limitMs / 1000);
    const http::CaBundle& bundle = caBundle(h);
    bool ok = http::ApplyCommon(h, url, guard) && http::ApplyTls(h, options_, bundle) &&
              curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer) == CURLE_OK &&
              // An announced length above the cap is refused before any of the body is read.
              curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, t.cap) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_USERAGENT, "download") == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limitMs) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writePiece) == CURLE_OK &&
              curl_easy_setopt(h, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    const CURLcode rc = ok ? curl_easy_perform(h) : CURLE_FAILED_INIT;
    ok = ok && rc == CURLE_OK;
    lastError_ = http::FailureText(rc, guard, errorBuffer, bundle);
    if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        lastError_ = "the download is larger than " + std::to_string(t.cap) + " bytes (its limit, or the free space)";
    // An empty 200 answer never reaches the write callback, so look at the answer once more here.
    curl_off_t length = -1;
    ok = ok && !t.writeFailed && acceptable(h, length) && t.received == length;
    if (rc == CURLE_OK && !ok)
        lastError_ = "no whole 200 answer with a length";
    ok = ok && ::fsync(part.fd) == 0;
    ok = part.closeFile() && ok;
    ok = ok && std::rename(part.path.c_str(), path.c_str()) == 0;
    if (!ok && lastError_.empty())
        lastError_ = "the file could not be written";
    if (!ok) {
        part.discard();
        return false;
    }
    return true;
}

} // namespace orva
