#pragma once
// A fresh directory under /tmp, removed with everything in it when the object goes (or, when
// the process exits without destroying it, at the exit; never by a forked child).

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace testsupport {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "corvay-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    pid_t m_owner;
};

// Whole-file helpers for fixtures and checks; bytes in and out, no newline translation.
std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

} // namespace testsupport
