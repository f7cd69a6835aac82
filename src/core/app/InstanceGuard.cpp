#include "core/app/InstanceGuard.h"

#include "core/app/ProgramDirectory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orva {

InstanceGuard::InstanceGuard() : InstanceGuard(ProgramDirectory()) {}

InstanceGuard::InstanceGuard(const std::string& programDirectory) : path_(JoinPath(programDirectory, "orva.lock")) {
    // Close-on-exec: a helper process started later must not keep the lock alive after we end. A symlink
    // planted at the name is not followed (it would make us create a file wherever it points); it counts
    // as a lock that cannot be made, like a read-only program directory.
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    // A lock file that exists but may not be written (a read-only installation) still carries the lock:
    // flock needs no write access.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        const int refused = errno;
        fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        // No lock file to fall back on: the reason is why it could not be made (a read-only file
        // system, say), not that it is missing.
        if (fd < 0 && errno == ENOENT)
            errno = refused;
    }
    if (fd < 0) {
        openError_ = errno;
        return;
    }
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        heldElsewhere_ = errno == EWOULDBLOCK;
        openError_ = heldElsewhere_ ? 0 : errno;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

InstanceGuard::~InstanceGuard() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace orva
