#include "platform/files/ProgramDirectory.h"

#include <climits>
#include <unistd.h>

#include "platform/host/HostState.h"

namespace platform {
namespace {

CString WithSlash(CString dir) {
    if (!dir.IsEmpty() && dir[dir.GetLength() - 1] != '/')
        dir += '/';
    return dir;
}

} // namespace

CString ProgramDirectory() {
    if (std::string chosen = host::ProgramDirectory().Get(); !chosen.empty())
        return CString(chosen);
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return CString();
    CString exe(path, static_cast<int>(n));
    int slash = exe.ReverseFind('/');
    return slash < 0 ? CString() : exe.Left(slash + 1);
}

void SetProgramDirectory(const CString& directory) {
    host::ProgramDirectory().Set(directory.IsEmpty() ? std::string() : WithSlash(directory).str());
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
