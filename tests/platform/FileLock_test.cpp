#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "platform/files/FileLock.h"
#include "platform/net/Daemon.h"
#include "tests/support/TempDir.h"

using platform::FileLock;

namespace {

// True while a lock request on the file's inode waits in the kernel ("->" lines of /proc/locks).
bool SomeoneWaitsFor(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return false;
    std::string locks;
    FILE* in = std::fopen("/proc/locks", "r");
    if (!in)
        return false;
    char line[256];
    while (std::fgets(line, sizeof line, in))
        locks += line;
    std::fclose(in);
    const std::string inode = ":" + std::to_string(info.st_ino) + " ";
    for (size_t at = locks.find("->"); at != std::string::npos; at = locks.find("->", at + 2)) {
        size_t end = locks.find('\n', at);
        if (locks.substr(at, end - at).find(inode) != std::string::npos)
            return true;
    }
    return false;
}

// The holder removes the lock file before letting go (as a stopped client's pid file goes): the
// one that waited must hold the file the path names now, or a third caller would get in too.
TEST(FileLock, AWaiterLocksTheFileThePathNamesAfterTheHolderRemovedIt) {
    testsupport::TempDir dir;
    const std::filesystem::path file = dir / "link.pid";
    FileLock holder;
    ASSERT_TRUE(holder.Lock(file.string(), FileLock::kExclusive));
    FileLock waiter;
    bool locked = false;
    std::thread waiting([&] { locked = waiter.Lock(file.string(), FileLock::kExclusive); });
    ASSERT_TRUE(platform::PollUntil([&] { return SomeoneWaitsFor(file); }, std::chrono::seconds(10)));
    std::filesystem::remove(file);
    holder.Unlock();
    waiting.join();
    ASSERT_TRUE(locked);
    EXPECT_TRUE(std::filesystem::exists(file));
    FileLock third;
    EXPECT_FALSE(third.TryLock(file.string(), FileLock::kExclusive));
    waiter.Unlock();
    EXPECT_TRUE(third.TryLock(file.string(), FileLock::kExclusive));
}

} // namespace
