#pragma once
// An advisory lock (flock) on a lock file, held while the object lives. Processes and threads
// that open the same file exclude each other, and the kernel drops the lock when a holder dies.
// A holder may remove the lock file: the next one locks the file that the path names then.

#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class FileLock {
public:
    enum Mode { kShared, kExclusive };
    FileLock() = default;

    // Blocks until the lock is held; false when the lock file cannot be opened or created.
    bool Lock(const std::string& path, Mode mode);
    // Takes the lock only when nobody holds it; false when held elsewhere (errno EWOULDBLOCK)
    // or the file cannot be opened.
    bool TryLock(const std::string& path, Mode mode);
    void Unlock() { m_fd.Reset(); }
    bool IsLocked() const { return m_fd.IsValid(); }

private:
    bool Acquire(const std::string& path, int operation);
    UniqueFd m_fd;
};

} // namespace platform
