#include "app/InstanceGuard.h"

#include "app/ProgramDirectory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orva {

InstanceGuard::InstanceGuard() : InstanceGuard(ProgramDirectory()) {}

InstanceGuard::InstanceGuard(const std::string& programDirectory) : path_(JoinPath(programDirectory, "orva.lock")) {
    // Close-on-exec: a helper process started later must not keep the lock alive after we end.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
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
