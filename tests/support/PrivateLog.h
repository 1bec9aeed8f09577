#pragma once
// Keeps the log of an engine test process to itself: lines go to a temporary directory and the
// level is shared under a name of the process's own, so that a test that sets the level never
// changes it for the bench's programs or for other tests running beside it.

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <string>
#include <unistd.h>

#include "engine/Logger.h"
#include "engine/SuperLogger.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class PrivateLogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SuperLoggerOptions options;
        options.directory = (Directory().str() + "/").c_str();
        options.sharedMemoryName = SharedName();
        ConfigureSuperLogger(options);
        // Named shared memory outlives the process unless it is removed.
        std::atexit([] { ::shm_unlink(SharedName().c_str()); });
    }
    static const std::string& SharedName() {
        static const std::string name = "corvay-test-log-" + std::to_string(::getpid());
        return name;
    }
    static TempDir& Directory() {
        static TempDir dir("corvay-test-log");
        return dir;
    }
};

inline ::testing::Environment* const kPrivateLog =
    ::testing::AddGlobalTestEnvironment(new PrivateLogEnvironment);

// Everything logged so far by this process.
inline std::string LogText() {
    WriteLogText(LOG_LEVEL_ERROR, "-- read by the test --", true);
    return ReadFileBytes(PrivateLogEnvironment::Directory() / "log1.txt");
}

} // namespace testsupport
