#include "platform/files/RunDirectory.h"

#include <cstdlib>
#include <filesystem>

#include "platform/host/HostState.h"

namespace platform {
std::string RunDirectory() {
    std::string directory = host::RunDirectory().Get();
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
    host::RunDirectory().Set(directory);
}

} // namespace platform
