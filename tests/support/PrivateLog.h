#pragma once
// Every test process keeps its log to itself (PrivateLog.cpp is linked into each test): lines go
// to a temporary directory and the level is shared under a name of the process's own, so that a
// test that sets the level never changes it for the bench's programs or for other tests running
// beside it, and no test ever makes the program's own "SuperLogShareMem".

#include <string>

#include "engine/log/Logger.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class PrivateLogEnvironment {
public:
    static const std::string& SharedName();
    static TempDir& Directory();
};

// Everything logged so far by this process.
inline std::string LogText() {
    WriteLogText(LOG_LEVEL_ERROR, "-- read by the test --", true);
    return ReadFileBytes(PrivateLogEnvironment::Directory() / "log1.txt");
}

} // namespace testsupport
