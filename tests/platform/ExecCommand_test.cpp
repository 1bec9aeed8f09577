#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

#include "hostnet/dunmore/Function.h"
#include "platform/files/ProgramDirectory.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

namespace {

class ExecCommand : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirectory(dir.str().c_str()); }
    void TearDown() override { platform::SetProgramDirectory(""); }
    int Run(const std::string& command, CString& output, int capture = 1, int seconds = 10) {
        return function.ExecCommand(const_cast<char*>(command.c_str()), output, capture, seconds);
    }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }
    testsupport::TempDir dir;
    CFunction function;
};

bool ProcessGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (::kill(pid, 0) != 0)
            return true;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (stat >> pidText >> name >> state && state == "Z")
            return true; // killed, waiting for its new parent to reap it
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST_F(ExecCommand, TimeOutKillsTheWholeProcessGroup) {
    std::string pidFile = (dir / "child.pid").string();
    CString output = "stale";
    auto start = Steady::now();
    // The child leaves a grandchild behind, which holds the pipe open as well.
    EXPECT_EQ(Run("sh -c \"echo started; sleep 60 & echo $! > " + pidFile + "; sleep 60\"", output, 1, 1), 0);
    EXPECT_LT(Steady::now() - start, 3s);
    EXPECT_EQ(output, "");
    pid_t grandchild = std::stoi(testsupport::ReadFileBytes(pidFile));
    EXPECT_TRUE(ProcessGone(grandchild));
    EXPECT_NE(Log().find("[RLog]===>ExecCommand:sh -c"), std::string::npos);
    EXPECT_NE(Log().find(".Waited  1S Timeout. ret=258,"), std::string::npos);
}

TEST_F(ExecCommand, LargeOutputIsCapturedWhole) {
    // Sizes around the 4096-byte read chunk and far beyond what a pipe holds.
    for (int size : {1, 4095, 4096, 8192, 4096 * 16, 65536 * 3, 204800}) {
        SCOPED_TRACE(size);
        CString output;
        auto start = Steady::now();
        ASSERT_EQ(Run("sh -c \"yes 0123456789abcdef | head -c " + std::to_string(size) + "\"", output), 1);
        EXPECT_LT(Steady::now() - start, 3s);
        std::string expected;
        while (expected.size() < static_cast<size_t>(size))
            expected += "0123456789abcdef\n";
        expected.resize(size);
        ASSERT_EQ(output.GetLength(), size);
        EXPECT_TRUE(output.str() == expected);
    }
}

TEST_F(ExecCommand, OutputBeyond16MiBIsReadToTheEndAndKeptTo16MiB) {
    CString output;
    const auto start = Steady::now();
    // 24 MiB: the command must be able to write it all and end.
    ASSERT_EQ(Run("sh -c \"yes 0123456789abcdef | head -c 25165824\"", output, 1, 30), 1);
    EXPECT_LT(Steady::now() - start, 20s);
    ASSERT_EQ(output.GetLength(), 16 << 20);
    EXPECT_EQ(output.str().substr(0, 17), "0123456789abcdef\n");
}

TEST_F(ExecCommand, EndsWithTheCommandThoughAChildItLeftHoldsThePipe) {
    std::string pidFile = (dir / "left.pid").string();
    CString output;
    auto start = Steady::now();
    EXPECT_EQ(Run("sh -c \"echo done; sleep 30 & echo $! > " + pidFile + "\"", output, 1, 20), 1);
    EXPECT_LT(Steady::now() - start, 3s);
    EXPECT_EQ(output, "done\n");
    ::kill(std::stoi(testsupport::ReadFileBytes(pidFile)), SIGKILL);
}

TEST_F(ExecCommand, StandardErrorJoinsTheOutputAndNothingIsReadWithCaptureOff) {
    CString output;
    EXPECT_EQ(Run("sh -c \"echo out; echo err >&2; exit 3\"", output), 1); // ran to its end
    EXPECT_EQ(output, "out\nerr\n");
    // Without capture even a large output cannot fill a pipe and stall the command.
    output = "stale";
    EXPECT_EQ(Run("sh -c \"yes | head -c 1000000\"", output, 0), 1);
    EXPECT_EQ(output, "");
}

TEST_F(ExecCommand, CommandLineReachesTheProgramAsWordsWithoutAShell) {
    CString output;
    std::string marker = (dir / "injected").string();
    ASSERT_EQ(Run("printf %s| \"two words\" \\\"quoted\\\" ; touch " + marker, output), 1);
    EXPECT_EQ(output, "two words|\"quoted\"|;|touch|" + marker + "|");
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(ExecCommand, ProgramThatCannotStartGivesZeroAndALogLine) {
    CString output = "stale";
    EXPECT_EQ(Run("no-such-program-here --x", output), 0);
    EXPECT_EQ(output, "");
    EXPECT_NE(Log().find("[RLog]===>[ExecCommand] CreateProcess Error:no-such-program-here --x"),
              std::string::npos);
    EXPECT_EQ(Run("", output), 0);
}

} // namespace
