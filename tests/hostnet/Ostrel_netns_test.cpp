// The main program binds Ostrel's AsynPing when it loads (it links against the library), so
// this test does the same and checks that the name really comes from libostrel.so.

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>

#include "hostnet/ostrel/Ostrel.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/net/Netlink.h"
#include "tests/hostnet/PcAndModem.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;
using testsupport::PcAndModem;

namespace {

TEST(Ostrel, AsynPingIsBoundFromTheLibraryInTheProgramDirectory) {
    Dl_info info{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&AsynPing), &info), 0);
    std::filesystem::path library = std::filesystem::canonical(info.dli_fname);
    EXPECT_EQ(library.filename(), "libostrel.so");
    // The deliverables share one program directory.
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(library.parent_path(), std::filesystem::canonical(std::filesystem::path(binary) / "bin"));
    EXPECT_TRUE(std::filesystem::exists(library.parent_path() / "libdunmore.so"));
}

class OstrelNet : public testsupport::NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped())
            return;
        net = std::make_unique<PcAndModem>(1);
        platform::SetProgramDirectory(dir.str().c_str());
    }
    void TearDown() override { platform::SetProgramDirectory(""); }
    size_t LearntNeighbours() {
        platform::Netlink netlink;
        std::vector<platform::Neighbour> neighbours;
        EXPECT_TRUE(netlink.ListNeighbours(neighbours));
        size_t learnt = 0;
        for (const auto& n : neighbours)
            learnt += !n.IsPermanent() && n.address != inet_addr("192.0.2.10"); // the one just pinged
        return learnt;
    }
    testsupport::TempDir dir;
    std::unique_ptr<PcAndModem> net;
};

TEST_F(OstrelNet, AnsweringSilentAndUnpingableAddresses) {
    net->pc->Ip("neigh replace 192.0.2.60 lladdr 02:00:00:00:00:60 dev lan0 nud stale");
    testsupport::RunInside(*net->pc, [&] {
        char answering[] = "192.0.2.10", silent[] = "192.0.2.101", unroutable[] = "203.0.113.9",
             bad[] = "modem";
        EXPECT_EQ(AsynPing(answering, 1000), 1);
        EXPECT_EQ(LearntNeighbours(), 0u); // emptied also when the address answers
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(AsynPing(silent, 300), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
        EXPECT_EQ(AsynPing(unroutable, 300), 0);
        EXPECT_EQ(AsynPing(bad, 300), 0);
        EXPECT_EQ(AsynPing(nullptr, 300), 0);
    });
}

} // namespace
