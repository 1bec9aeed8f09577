#pragma once
// The single-instance lock of a program, by name (the "mutex" the program creates at start):
// an exclusive flock on "<name>.lock" in the lock directory. The kernel releases it when the
// holder ends, however it ends, so a crashed instance never blocks the next start.

#include "platform/files/FileLock.h"
#include "platform/text/CString.h"

namespace platform {

class InstanceLock {
public:
    enum Result { kCreated, kAlreadyExists, kFailed };

    // Lock files go to 'directory'; empty: /run/lock when writable, else /tmp.
    explicit InstanceLock(const CString& directory = CString());

    // kCreated: this object holds the lock until Release or destruction.
    Result Acquire(const CString& name);
    void Release() { m_lock.Unlock(); }
    bool IsHeld() const { return m_lock.IsLocked(); }

    static CString DefaultDirectory();

private:
    CString m_directory;
    FileLock m_lock;
};

} // namespace platform
