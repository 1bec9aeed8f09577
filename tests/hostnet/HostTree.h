#pragma once
// A fake tree of the host's files that the host classes read in place of the real root while
// this object lives.

#include <filesystem>
#include <string>

#include "platform/wmi/HostClasses.h"
#include "tests/support/TempDir.h"

namespace testsupport {

struct HostTree {
    HostTree() { platform::wmi::SetHostRoot(root.str()); }
    ~HostTree() { platform::wmi::SetHostRoot(""); }
    HostTree(const HostTree&) = delete;
    HostTree& operator=(const HostTree&) = delete;

    void Write(const std::string& path, const std::string& bytes) {
        std::filesystem::create_directories((root / path).parent_path());
        WriteFileBytes(root / path, bytes);
    }

    TempDir root{"corvay-host"};
};

} // namespace testsupport
