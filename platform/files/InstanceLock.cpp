#include "platform/files/InstanceLock.h"

#include <cerrno>
#include <unistd.h>

#include "platform/files/ProgramDirectory.h"

namespace platform {

InstanceLock::InstanceLock(const CString& directory)
    : m_directory(directory.IsEmpty() ? DefaultDirectory() : directory) {}

CString InstanceLock::DefaultDirectory() {
    return ::access("/run/lock", W_OK) == 0 ? CString("/run/lock") : CString("/tmp");
}

InstanceLock::Result InstanceLock::Acquire(const CString& name) {
    if (name.IsEmpty())
        return kFailed;
    CString file(name);
    file.Replace('/', '_');
    file.Replace('\\', '_');
    if (m_lock.TryLock(JoinPath(m_directory, file + ".lock").str(), FileLock::kExclusive))
        return kCreated;
    return errno == EWOULDBLOCK ? kAlreadyExists : kFailed;
}

} // namespace platform
