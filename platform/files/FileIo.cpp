#include "platform/files/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes) {
    // Non-blocking, so that opening a FIFO without a writer does not wait for one.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0)
        return std::nullopt;
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool SaveFileAtomically(const std::string& path, const std::string& bytes, int givenMode) {
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd)
        return false;
    struct stat old {};
    // The temporary file is made 0600; fchmod only ever widens it before any byte is written.
    mode_t mode = givenMode >= 0                    ? static_cast<mode_t>(givenMode)
                  : ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777)
                                                    : 0644;
    bool ok = ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), bytes.data(), bytes.size()) &&
              ::fsync(fd.Get()) == 0;
    // A late write error can show only at close.
    ok = ::close(fd.Release()) == 0 && ok;
    if (ok && ::rename(name.data(), path.c_str()) == 0)
        return true;
    int saved = errno;
    ::unlink(name.data());
    errno = saved;
    return false;
}

} // namespace platform
