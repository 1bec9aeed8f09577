#include "tests/support/PrivateLog.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "engine/log/SuperLogger.h"

namespace testsupport {
namespace {

// Named the moment the process starts, before anything can log under the program's defaults.
const pid_t g_owner = ::getpid();

class Setup : public ::testing::Environment {
public:
    void SetUp() override {
        SuperLoggerOptions options;
        options.directory = (PrivateLogEnvironment::Directory().str() + "/").c_str();
        options.sharedMemoryName = PrivateLogEnvironment::SharedName();
        ConfigureSuperLogger(options);
        // Named shared memory outlives the process unless it is removed; a forked child that
        // exits must not remove its parent's.
        std::atexit([] {
            if (::getpid() == g_owner)
                ::shm_unlink(("/" + PrivateLogEnvironment::SharedName()).c_str());
        });
    }
};

::testing::Environment* const g_setup = ::testing::AddGlobalTestEnvironment(new Setup);

} // namespace

const std::string& PrivateLogEnvironment::SharedName() {
    static const std::string name = "corvay-test-log-" + std::to_string(g_owner);
    return name;
}

TempDir& PrivateLogEnvironment::Directory() {
    static TempDir dir("corvay-test-log");
    return dir;
}

} // namespace testsupport
