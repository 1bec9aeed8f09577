#pragma once
// The run directory: pid files, leases, sockets and daemon configuration of the programs'
// helper processes. /run/corvay, or CORVAY_RUN_DIR, or what a test has set.

#include <string>

namespace platform {

// Without a trailing '/'; created (mode 0755) when missing. Empty when it cannot be made.
std::string RunDirectory();
// Points RunDirectory() elsewhere (tests); an empty text restores the default.
void SetRunDirectory(const std::string& directory);

} // namespace platform
