#include "core/app/LogFile.h"

#include "core/app/ClockText.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {
namespace {

// Length of the UTF-8 sequence at `p` when it is well formed, else 1 (a stray byte counts as one character).
std::size_t SequenceLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
    if (n > left)
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// UTF-8 to code page 936. A character without a GBK form becomes one '?' (a broken sequence one per byte), so the
// rest of the line still reaches the log. Uses its own converter, never the process locale.
std::string ToGbk(const std::string& utf8) {
    std::string out(utf8.size() + 16, '\0');
    std::size_t used = 0;
    const iconv_t cd = iconv_open("CP936", "UTF-8");
    const bool haveConverter = cd != reinterpret_cast<iconv_t>(-1);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    while (inLeft > 0) {
        if (out.size() - used < 8)
            out.resize(out.size() * 2);
        if (haveConverter) {
            char* o = out.data() + used;
            std::size_t oLeft = out.size() - used;
            const std::size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
            used = static_cast<std::size_t>(o - out.data());
            if (rc != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
        } else if (static_cast<unsigned char>(*in) < 0x80) {
            out[used++] = *in++;
            --inLeft;
            continue;
        }
        const std::size_t skip = SequenceLength(in, inLeft);
        out[used++] = '?';
        in += skip;
        inLeft -= skip;
    }
    if (haveConverter)
        iconv_close(cd);
    out.resize(used);
    return out;
}

// Creates or empties the log. The program directory may be writable by others, so a name planted there
// must not redirect the writes: a symlink is refused (O_NOFOLLOW), and so is anything but a regular file
// (a FIFO would block the open, a device would take the lines). The file is emptied only once it is known
// to be the log's own, which is why O_TRUNC is not part of the open.
std::FILE* OpenForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const int flags = regular ? fcntl(fd, F_GETFL) : -1;
    if (!regular || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ftruncate(fd, 0) != 0) {
        const int error = regular ? errno : EINVAL;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return f;
}

} // namespace

LogFile& LogFile::instance() {
    // Never destroyed: threads may still write while static objects are being torn down.
    static LogFile* log = new LogFile;
    return *log;
}

bool LogFile::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (file_ && path == path_)
        return true;
    // The new file is opened before the old one is closed: when it cannot be opened, the log keeps writing
    // where it did, and the path it reports is still the file it writes to.
    std::FILE* f = OpenForWriting(path);
    if (!f)
        return false;
    if (file_)
        std::fclose(file_);
    file_ = f;
    path_ = path;
    return true;
}

bool LogFile::write(const std::string& tag, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (!file_)
        return false;
    const std::string line = "[" + tag + "](" + LocalTimeText() + "):" + message + "\n";
    // Written as a text file is on the technicians' systems: every LF stands for CR LF (a CR already in
    // the message is kept, giving CR CR LF).
    std::string crlf;
    crlf.reserve(line.size() + 8);
    for (const char c : line) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const std::string bytes = ToGbk(crlf);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    const bool flushed = std::fflush(file_) == 0;
    if (!written || !flushed) {
        // A full disk loses this line, not the log: later lines are tried again.
        std::clearerr(file_);
        return false;
    }
    return true;
}

std::string LogFile::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

} // namespace orva
