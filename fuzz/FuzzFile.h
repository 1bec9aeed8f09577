#pragma once
// The drivers hand each input to code that reads a path: an in-memory file, rewritten per input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/text/CString.h"

class FuzzFile {
public:
    explicit FuzzFile(const char* name) : m_fd(memfd_create(name, MFD_CLOEXEC)) {
        if (m_fd < 0) {
            perror("memfd_create");
            abort();
        }
        m_path.Format("/proc/self/fd/%d", m_fd);
    }
    ~FuzzFile() { close(m_fd); }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const CString& Write(const uint8_t* data, size_t size) {
        if (ftruncate(m_fd, 0) != 0 || pwrite(m_fd, data, size, 0) != static_cast<ssize_t>(size))
            abort();
        return m_path;
    }

private:
    int m_fd;
    CString m_path;
};

// A real directory for what the drivers save (a save goes through a temporary file and a rename),
// removed when the driver ends.
inline const char* FuzzSaveDirectory() {
    static char dir[] = "/dev/shm/corvay-fuzz-XXXXXX";
    static const char* made = [] {
        if (!mkdtemp(dir))
            abort();
        atexit([] { std::filesystem::remove_all(dir); });
        return dir;
    }();
    return made;
}

inline std::string ReadBack(const CString& path) {
    std::string bytes;
    FILE* file = fopen(path, "rb");
    if (!file)
        abort();
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    fclose(file);
    return bytes;
}
