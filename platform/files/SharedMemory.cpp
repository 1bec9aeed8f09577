#include "platform/files/SharedMemory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace platform {

std::string SharedMemory::PosixName(const std::string& name) {
    std::string posix = name.empty() || name[0] != '/' ? "/" + name : name;
    // '/' is not allowed after the first character.
    for (size_t i = 1; i < posix.size(); ++i)
        if (posix[i] == '/')
            posix[i] = '_';
    return posix;
}

bool SharedMemory::OpenExisting(const std::string& name) {
    Close();
    m_fd.Reset(::shm_open(PosixName(name).c_str(), O_RDWR | O_CLOEXEC, 0));
    return m_fd.IsValid();
}

bool SharedMemory::CreateNew(const std::string& name, size_t size) {
    Close();
    std::string posix = PosixName(name);
    UniqueFd fd(::shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd)
        return false;
    // Other users' programs may open it too, whatever our umask.
    if (::fchmod(fd.Get(), 0666) != 0 || ::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0) {
        int saved = errno;
        ::shm_unlink(posix.c_str());
        errno = saved;
        return false;
    }
    m_fd = std::move(fd);
    return true;
}

bool SharedMemory::Map() {
    if (m_view)
        return true;
    struct stat st {};
    if (!m_fd || ::fstat(m_fd.Get(), &st) != 0 || st.st_size <= 0)
        return false;
    void* view =
        ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd.Get(), 0);
    if (view == MAP_FAILED)
        return false;
    m_view = static_cast<char*>(view);
    m_size = static_cast<size_t>(st.st_size);
    return true;
}

bool SharedMemory::Flush() {
    return m_view && ::msync(m_view, m_size, MS_SYNC) == 0;
}

void SharedMemory::Close() {
    if (m_view)
        ::munmap(m_view, m_size);
    m_view = nullptr;
    m_size = 0;
    m_fd.Reset();
}

bool SharedMemory::Remove(const std::string& name) {
    return ::shm_unlink(PosixName(name).c_str()) == 0;
}

} // namespace platform
