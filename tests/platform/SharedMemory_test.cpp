#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/files/SharedMemory.h"

using platform::SharedMemory;

namespace {

TEST(SharedMemory, CreateOpenShareAndRemove) {
    std::string name = "CorvayShmTest-" + std::to_string(getpid());
    SharedMemory::Remove(name);
    SharedMemory missing;
    EXPECT_FALSE(missing.OpenExisting(name));
    EXPECT_EQ(errno, ENOENT);

    SharedMemory a;
    ASSERT_TRUE(a.CreateNew(name, 1024));
    ASSERT_TRUE(a.Map());
    EXPECT_EQ(a.Size(), 1024u);
    SharedMemory again;
    EXPECT_FALSE(again.CreateNew(name, 1024));
    EXPECT_EQ(errno, EEXIST);

    SharedMemory b;
    ASSERT_TRUE(b.OpenExisting(name) && b.Map());
    memcpy(a.Data(), "4", 2);
    ASSERT_TRUE(a.Flush());
    EXPECT_STREQ(b.Data(), "4");

    EXPECT_TRUE(SharedMemory::Remove(name));
    EXPECT_STREQ(b.Data(), "4") << "a removed name keeps its open views";
    EXPECT_FALSE(SharedMemory().OpenExisting(name));
}

TEST(SharedMemory, NamesGetOneLeadingSlash) {
    EXPECT_EQ(SharedMemory::PosixName("SuperLogShareMem"), "/SuperLogShareMem");
    EXPECT_EQ(SharedMemory::PosixName("/SuperLogShareMem"), "/SuperLogShareMem");
    EXPECT_EQ(SharedMemory::PosixName("Local/x"), "/Local_x");
}

} // namespace
