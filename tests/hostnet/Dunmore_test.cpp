#include <cerrno>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "hostnet/dunmore/Function.h"
#include "platform/clock/Clock.h"
#include "platform/files/ProgramDirectory.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;

namespace {

class DunmoreLog : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirectory(dir.str().c_str()); }
    void TearDown() override {
        CFunction::SetLogClock(nullptr);
        platform::SetProgramDirectory("");
    }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }
    void DebugSwitch(bool on) {
        if (on)
            testsupport::WriteFileBytes(dir / "log.debug", "");
        else
            std::filesystem::remove(dir / "log.debug");
    }
    testsupport::TempDir dir;
};

std::string Header(platform::Clock::Wall::time_point when) {
    std::time_t t = platform::Clock::Wall::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, "\r\n%Y-%m-%d %H:%M:%S\r\n", &local);
    return text;
}

TEST_F(DunmoreLog, RecordsCarryTheClocksTimeAndTheTextAsGiven) {
    platform::ManualClock clock(platform::Clock::Wall::time_point(std::chrono::seconds(1772600767)));
    CFunction::SetLogClock(&clock);
    CFunction::RLog("card %d: %s", 2, "up");
    auto first = clock.WallNow();
    clock.Advance(3661s);
    CFunction::RLog("no line end");
    EXPECT_EQ(Log(),
              Header(first) + "[RLog]===>card 2: up" + Header(clock.WallNow()) + "[RLog]===>no line end");
    EXPECT_EQ(CFunction::GetCurrentModuleDir(), CString(dir.str().c_str()));
}

TEST_F(DunmoreLog, DebugRecordsOnlyWhileTheSwitchFileExists) {
    CFunction::DLog("before\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "info.log"));
    DebugSwitch(true);
    CFunction::DLog("while %s\r\n", "on");
    DebugSwitch(false);
    CFunction::DLog("after\r\n");
    std::string log = Log();
    EXPECT_NE(log.find("\r\nwhile on\r\n"), std::string::npos);
    EXPECT_EQ(log.find("before"), std::string::npos);
    EXPECT_EQ(log.find("after"), std::string::npos);
    EXPECT_EQ(log.find("[RLog]"), std::string::npos);
}

TEST_F(DunmoreLog, FileIsEmptiedOnlyOnceItExceedsTheLimit) {
    testsupport::WriteFileBytes(dir / "info.log", std::string(10240000, 'a'));
    CFunction::RLog("kept");
    std::string log = Log();
    EXPECT_EQ(log.substr(0, 10240000), std::string(10240000, 'a'));
    EXPECT_EQ(log.substr(log.size() - 14), "[RLog]===>kept");

    testsupport::WriteFileBytes(dir / "info.log", std::string(10240001, 'a'));
    CFunction::RLog("fresh");
    log = Log();
    EXPECT_EQ(log.size(), 2 + 19 + 2 + 15u);
    EXPECT_EQ(log.substr(log.size() - 15), "[RLog]===>fresh");
}

TEST_F(DunmoreLog, OverlongTextIsCutAtTheFormatBuffer) {
    DebugSwitch(true);
    CFunction::DLog("%s", std::string(300000, 'z').c_str());
    EXPECT_EQ(Log().size(), 2 + 19 + 2 + 102399u);
}

TEST_F(DunmoreLog, RecordsFromSeveralThreadsStayWhole) {
    constexpr int kThreads = 8, kRecords = 200;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([t] {
                for (int i = 0; i < kRecords; ++i)
                    CFunction::RLog("%d-%d:%s|", t, i, std::string(500, static_cast<char>('a' + t)).c_str());
            });
    }
    std::string log = Log();
    std::set<std::string> seen;
    size_t position = 0;
    while ((position = log.find("[RLog]===>", position)) != std::string::npos) {
        size_t end = log.find('|', position);
        ASSERT_NE(end, std::string::npos);
        std::string body = log.substr(position + 10, end - position - 10);
        size_t colon = body.find(':');
        ASSERT_NE(colon, std::string::npos) << body.substr(0, 40);
        int t = std::stoi(body);
        EXPECT_EQ(body.substr(colon + 1), std::string(500, static_cast<char>('a' + t)));
        seen.insert(body.substr(0, colon));
        // Nothing but the next record's header may follow.
        EXPECT_TRUE(end + 1 == log.size() || log.compare(end + 1, 2, "\r\n") == 0);
        position = end;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kRecords));
}

TEST(Dunmore, WindowsOnlyPiecesFailAndSayWhyInTheLog) {
    testsupport::TempDir dir;
    platform::SetProgramDirectory(dir.str().c_str());
    CFunction function;
    EXPECT_EQ(function.StartOneService("Wlansvc"), 0);
    EXPECT_EQ(function.PreSetIESettings(), 0);
    std::string log = testsupport::ReadFileBytes(dir / "info.log");
    EXPECT_NE(log.find("[RLog]===>[StartOneService] Wlansvc: "), std::string::npos);
    EXPECT_NE(log.find("[RLog]===>[PreSetIESettings] "), std::string::npos);
    EXPECT_EQ(CFunction::GetLastErrorString(ENOENT), "No such file or directory");
    errno = EACCES;
    EXPECT_EQ(CFunction::GetLastErrorString(), "Permission denied");
    platform::SetProgramDirectory("");
}

TEST(Dunmore, AdministratorIsTheSuperuser) {
    CFunction function;
    if (::geteuid() != 0) {
        EXPECT_EQ(function.IsAdministrator(), 0);
        EXPECT_EQ(function.IsAdministratorsGroup(), 0);
        GTEST_SKIP() << "an ordinary user cannot show the superuser's answer";
    }
    EXPECT_EQ(function.IsAdministrator(), 1);
    EXPECT_EQ(function.IsAdministratorsGroup(), 1);
    // The same program as an ordinary user.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(9);
        ::_exit(function.IsAdministrator() + 2 * function.IsAdministratorsGroup());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Dunmore, BatchPingRefusesBadArgumentsAndLeavesResultsAlone) {
    CFunction function;
    CStringArray addresses;
    CByteArray results;
    results.Add(7);
    EXPECT_EQ(function.AsynPing(addresses, results, 100), 0); // nothing to ping
    addresses.Add("192.0.2.1");
    addresses.Add("192.0.2.2");
    EXPECT_EQ(function.AsynPing(addresses, results, 100), 0); // fewer results than addresses
    EXPECT_EQ(results.GetSize(), 1);
    EXPECT_EQ(results[0], 7);
}

} // namespace
