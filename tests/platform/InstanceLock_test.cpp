#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/files/InstanceLock.h"
#include "tests/support/TempDir.h"

using platform::InstanceLock;

namespace {

// Runs 'name' through a fresh process's lock and returns its result.
int AcquireInChild(const CString& dir, const CString& name) {
    pid_t child = fork();
    if (child == 0) {
        InstanceLock lock(dir);
        _exit(lock.Acquire(name));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, OneHolderPerNameAcrossProcesses) {
    testsupport::TempDir dir;
    CString d(dir.str());
    InstanceLock first(d);
    ASSERT_EQ(first.Acquire("CorvayApp"), InstanceLock::kCreated);
    EXPECT_EQ(AcquireInChild(d, "CorvayApp"), InstanceLock::kAlreadyExists);
    EXPECT_EQ(AcquireInChild(d, "StavrinApp"), InstanceLock::kCreated) << "another name is another lock";
    InstanceLock second(d);
    EXPECT_EQ(second.Acquire("CorvayApp"), InstanceLock::kAlreadyExists) << "also within one process";

    first.Release();
    EXPECT_EQ(AcquireInChild(d, "CorvayApp"), InstanceLock::kCreated);

    // A holder that dies without releasing leaves nothing behind.
    pid_t child = fork();
    if (child == 0) {
        InstanceLock held(d);
        held.Acquire("CorvayApp");
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    EXPECT_EQ(second.Acquire("CorvayApp"), InstanceLock::kCreated);
}

TEST(InstanceLock, FailsCleanlyWithoutALockDirectory) {
    testsupport::TempDir dir;
    InstanceLock lock(CString((dir / "missing").string()));
    EXPECT_EQ(lock.Acquire("CorvayApp"), InstanceLock::kFailed);
    EXPECT_EQ(lock.Acquire(""), InstanceLock::kFailed);
    EXPECT_FALSE(lock.IsHeld());
}

} // namespace
