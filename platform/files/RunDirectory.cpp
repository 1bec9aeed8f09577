#include "platform/files/RunDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_override;

} // namespace

std::string RunDirectory() {
    std::string directory;
    {
        std::lock_guard lock(g_mutex);
        directory = g_override;
    }
    if (directory.empty()) {
        const char* fromEnvironment = std::getenv("CORVAY_RUN_DIR");
        directory = fromEnvironment && *fromEnvironment ? fromEnvironment : "/run/corvay";
    }
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return std::filesystem::is_directory(directory, error) ? directory : std::string();
}

void SetRunDirectory(const std::string& directory) {
    std::lock_guard lock(g_mutex);
    g_override = directory;
}

} // namespace platform
