#pragma once
// A named shared-memory object (shm_open) and its one read-write view. Names are given the
// way the program's callers know them ("SuperLogShareMem"); the leading '/' POSIX wants is
// added here. The object stays in /dev/shm until removed, so a later process finds it again.

#include <cstddef>
#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class SharedMemory {
public:
    SharedMemory() = default;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory() { Close(); }

    // Opens an object that exists already; false with errno ENOENT when there is none.
    bool OpenExisting(const std::string& name);
    // Creates the object with the given size; false with errno EEXIST when it exists.
    bool CreateNew(const std::string& name, size_t size);
    // Maps the whole object read-write; its size is the object's size now.
    bool Map();
    // Pushes the view's changes out (msync), for the other processes that map it.
    bool Flush();
    void Close();

    bool IsOpen() const { return m_fd.IsValid(); }
    char* Data() const { return m_view; }
    size_t Size() const { return m_size; }

    static std::string PosixName(const std::string& name);
    static bool Remove(const std::string& name);

private:
    UniqueFd m_fd;
    char* m_view = nullptr;
    size_t m_size = 0;
};

} // namespace platform
