#include "platform/files/ProgramDirectory.h"

#include <climits>
#include <mutex>
#include <unistd.h>

namespace platform {
namespace {

std::mutex g_mutex;
CString g_override;

CString WithSlash(CString dir) {
    if (!dir.IsEmpty() && dir[dir.GetLength() - 1] != '/')
        dir += '/';
    return dir;
}

} // namespace

CString ProgramDirectory() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.IsEmpty())
            return g_override;
    }
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return CString();
    CString exe(path, static_cast<int>(n));
    int slash = exe.ReverseFind('/');
    return slash < 0 ? CString() : exe.Left(slash + 1);
}

void SetProgramDirectory(const CString& directory) {
    std::lock_guard lock(g_mutex);
    g_override = directory.IsEmpty() ? CString() : WithSlash(directory);
}

CString JoinPath(const CString& directory, const CString& name) {
    CString tail(name);
    tail.Replace('\\', '/');
    tail.TrimLeft('/');
    if (directory.IsEmpty())
        return tail;
    return WithSlash(directory) + tail;
}

} // namespace platform
