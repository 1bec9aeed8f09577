#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

namespace testsupport {
namespace {

// The directories this process made and has not removed yet. A death-test child ends in exit()
// from inside a test, so its fixtures are never destroyed: what they made goes at exit instead.
struct LiveDirs {
    std::mutex mutex;
    std::map<std::filesystem::path, pid_t> paths; // and the process that made each
};

LiveDirs& Live() {
    static LiveDirs* live = [] {
        std::atexit([] {
            std::lock_guard lock(Live().mutex);
            for (const auto& [path, owner] : Live().paths) {
                std::error_code ignored;
                if (owner == ::getpid())
                    std::filesystem::remove_all(path, ignored);
            }
        });
        return new LiveDirs; // never destroyed: directories may still go during the exit
    }();
    return *live;
}

} // namespace

TempDir::TempDir(const std::string& prefix) : m_owner(::getpid()) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    m_path = buffer.data();
    std::lock_guard lock(Live().mutex);
    Live().paths[m_path] = m_owner;
}

TempDir::~TempDir() {
    // A forked child that exits leaves its parent's directories alone.
    if (::getpid() != m_owner)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    std::lock_guard lock(Live().mutex);
    Live().paths.erase(m_path);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace testsupport
