#include "platform/files/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace platform {

bool FileLock::Lock(const std::string& path, Mode mode) {
    return Acquire(path, mode == kShared ? LOCK_SH : LOCK_EX);
}

bool FileLock::TryLock(const std::string& path, Mode mode) {
    return Acquire(path, (mode == kShared ? LOCK_SH : LOCK_EX) | LOCK_NB);
}

bool FileLock::Acquire(const std::string& path, int operation) {
    m_fd.Reset();
    for (;;) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        if (!fd)
            return false;
        int rc;
        do
            rc = ::flock(fd.Get(), operation);
        while (rc != 0 && errno == EINTR);
        if (rc != 0)
            return false;
        // A holder that removed the file before letting go leaves the lock on a file nobody opens
        // any more: lock the one the path names now.
        struct stat held {
        }, named{};
        if (::fstat(fd.Get(), &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            m_fd = std::move(fd);
            return true;
        }
    }
}

} // namespace platform
