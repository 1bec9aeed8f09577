#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/log/Logger.h"
#include "engine/log/SuperLogger.h"
#include "platform/files/SharedMemory.h"
#include "tests/support/TempDir.h"

using namespace std::chrono_literals;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

constexpr char kBanner[] = "\r\nSuper Logger    Version 1.1 \r\n";

class Logger : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override { platform::SharedMemory::Remove(shmName); }

    SuperLoggerOptions Options() {
        SuperLoggerOptions o;
        o.directory = CString(dir.str());
        o.sharedMemoryName = shmName;
        o.clock = &clock;
        o.passPeriod = 5ms;
        o.retryDelay = 20ms;
        return o;
    }
    std::string File(const char* name) const { return ReadFileBytes(dir / name); }
    std::string SharedText() {
        platform::SharedMemory shm;
        if (!shm.OpenExisting(shmName) || !shm.Map())
            return "<none>";
        return std::string(shm.Data(), strnlen(shm.Data(), shm.Size()));
    }
    void WriteShared(const std::string& bytes) {
        platform::SharedMemory shm;
        ASSERT_TRUE(shm.OpenExisting(shmName) && shm.Map());
        memset(shm.Data(), 0, shm.Size());
        memcpy(shm.Data(), bytes.data(), std::min(bytes.size(), shm.Size()));
        shm.Flush();
    }
    template <typename F> static bool WaitFor(F condition, std::chrono::milliseconds limit = 3000ms) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
            ++n;
        return n;
    }

    testsupport::TempDir dir;
    std::string shmName = "SuperLogShareMem-test-" + std::to_string(getpid());
    // 2026-12-10 08:05:03.045 UTC
    platform::ManualClock clock{
        platform::Clock::Wall::time_point(std::chrono::sys_days(std::chrono::year(2026) / 12 / 10)) + 8h +
        5min + 3s + 45ms};
};

TEST_F(Logger, LevelTableTagsAndLineFormat) {
    SuperLogger log(Options());
    log.StartUp(false);
    const char* tags[] = {"", "Debug:", "Info:", "Warning:", "Error! ", ""};
    for (int threshold = 0; threshold <= 5; ++threshold) {
        log.SetLogLevel(threshold);
        for (int level = 0; level <= 5; ++level) {
            char text[32];
            snprintf(text, sizeof text, "t%d-l%d", threshold, level);
            int rc = log.WriteLog(level, text, true);
            bool written = level >= threshold && threshold != 5;
            EXPECT_EQ(rc, level < threshold ? -1 : 0) << text;
            std::string line = std::string("2026-12-10 08:05:03. 45 ") + tags[level] + text + "\r\n";
            EXPECT_EQ(Count(File("log1.txt"), line), written ? 1 : 0) << text;
        }
    }
    log.SetLogLevel(9); // ignored
    EXPECT_EQ(log.Threshold(), 5);

    clock.Advance(1000ms - 45ms + 7ms); // stamps follow the clock, milliseconds right-aligned
    log.SetLogLevel(2);
    log.WriteLog(2, "next second", true);
    EXPECT_NE(File("log1.txt").find("2026-12-10 08:05:04.  7 Info:next second\r\n"), std::string::npos);
}

TEST_F(Logger, FormattedTextIsCutAtTheBufferWithoutSplittingACharacter) {
    SuperLogger log(Options());
    log.StartUp(false);
    auto format = [&](const char* f, ...) {
        va_list args;
        va_start(args, f);
        log.WriteFormatV(2, f, args);
        va_end(args);
    };
    format("port %d: %s", 7, "\xC1\xAC\xBD\xD3");               // GBK bytes pass through
    std::string longText = std::string(8190, 'x') + "\xC1\xAC"; // the character would straddle the cut
    format("%s", longText.c_str());
    log.WriteLog(2, "", true); // an empty text writes no line, only the flush
    std::string file = File("log1.txt");
    EXPECT_NE(file.find("Info:port 7: \xC1\xAC\xBD\xD3\r\n"), std::string::npos);
    EXPECT_NE(file.find("Info:" + std::string(8190, 'x') + "\r\n"), std::string::npos);
    EXPECT_EQ(Count(file, "\r\n"), 7); // banner (2), start up, shared memory made, level set, port, long
}

TEST_F(Logger, StartUpReadsAndValidatesSuperLogIni) {
    struct Case {
        const char* ini;
        int threshold, maxLength;
        const char* error; // expected Error line, or null
    } cases[] = {
        {nullptr, 2, 104857600, nullptr},
        {"LogLevel=0\r\nMaxLogFileLen=30721", 0, 30721, nullptr},
        {"LogLevel=4\r\nMaxLogFileLen=1073741824", 4, 1073741824, nullptr},
        {"LogLevel=5", 2, 104857600, "Error! 日志级别配置非法。"},
        {"LogLevel=-1", 2, 104857600, "Error! 日志级别配置非法。"},
        {"MaxLogFileLen=30720", 2, 104857600, "Error! 最大文件长度配置非法。"},
        {"MaxLogFileLen=1073741825", 2, 104857600, "Error! 最大文件长度配置非法。"},
    };
    for (const auto& c : cases) {
        testsupport::TempDir caseDir;
        if (c.ini)
            WriteFileBytes(caseDir / "SuperLog.ini", std::string("[SuperLog]\r\n") + c.ini + "\r\n");
        SuperLoggerOptions o = Options();
        o.directory = CString(caseDir.str());
        SuperLogger log(o);
        log.StartUp(false);
        EXPECT_EQ(log.Threshold(), c.threshold) << (c.ini ? c.ini : "no ini");
        EXPECT_EQ(log.MaxFileLength(), c.maxLength) << (c.ini ? c.ini : "no ini");
        EXPECT_EQ(SharedText(), std::to_string(c.threshold))
            << "the start-up level goes to the shared memory";
        log.WriteLog(4, "", true);
        std::string file = ReadFileBytes(caseDir / "log1.txt");
        EXPECT_EQ(file.rfind(kBanner, 0), 0u) << "the banner comes first";
        EXPECT_NE(file.find("Info:Super logger start up.\r\n"), std::string::npos);
        if (c.error)
            EXPECT_NE(file.find(c.error), std::string::npos) << c.ini;
        else
            EXPECT_EQ(file.find("Error!"), std::string::npos) << (c.ini ? c.ini : "no ini");
        platform::SharedMemory::Remove(shmName);
    }
}

TEST_F(Logger, SharedMemoryCarriesEveryLevelAndIsCreatedOnce) {
    SuperLogger log(Options());
    log.StartUp(false);
    log.WriteLog(4, "", true);
    EXPECT_NE(File("log1.txt").find("Info:设置默认日志级别到共享内存中成功。"), std::string::npos);
    log.SetLogLevel(5);
    EXPECT_EQ(SharedText(), "5");
    EXPECT_EQ(log.ReadSharedLogLevel(), 5);

    // A second logger finds the mapping, reports its text once, and keeps using it.
    log.SetLogLevel(1);
    SuperLoggerOptions o = Options();
    o.directory = CString((dir / "second").string());
    std::filesystem::create_directory(dir / "second");
    SuperLogger other(o);
    other.StartUp(false);
    other.WriteLog(1, "", true);
    EXPECT_EQ(log.ReadSharedLogLevel(), 2) << "the second logger's start-up level";
    std::string second = ReadFileBytes(dir / "second" / "log1.txt");
    EXPECT_EQ(second.find("设置默认日志级别到共享内存中成功。"), std::string::npos);
}

TEST_F(Logger, SharedTextMustBeALevelElseItIsIgnored) {
    SuperLogger log(Options());
    log.StartUp(false);
    struct Case {
        std::string text;
        int read, threshold;
    } cases[] = {
        {"4", 4, 4},  {"0", 0, 0},   {"5", 5, 5},
        {"6", -1, 5}, {"-1", -1, 5}, {"3x", -1, 5},
        {"", -1, 5},  {" 2", -1, 5}, {std::string(1024, '1'), -1, 5}, // no terminating zero inside the view
        {"1", 1, 1},
    };
    for (const auto& c : cases) {
        WriteShared(c.text);
        EXPECT_EQ(log.ReadSharedLogLevel(), c.read) << c.text.substr(0, 8);
        log.RunPass(10);
        EXPECT_EQ(log.Threshold(), c.threshold) << c.text.substr(0, 8);
    }
}

TEST_F(Logger, SharedMemoryNotYetSizedByItsMakerIsMappedOnALaterPass) {
    // Another process has created the object but not yet given it its size.
    int fd = shm_open(platform::SharedMemory::PosixName(shmName).c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    SuperLogger log(Options());
    log.StartUp(false);
    EXPECT_EQ(log.Threshold(), 2);
    ASSERT_EQ(ftruncate(fd, 1024), 0);
    close(fd);
    WriteShared("4");
    log.RunPass(10);
    EXPECT_EQ(log.Threshold(), 4);
}

TEST_F(Logger, SecondProcessChangesTheLevelWithinThreeSeconds) {
    SuperLoggerOptions o = Options();
    o.passPeriod = 300ms; // the real period: the change must land within 3 s
    SuperLogger log(o);
    log.StartUp();
    ASSERT_EQ(log.Threshold(), 2);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::SharedMemory shm;
        bool ok = shm.OpenExisting(shmName) && shm.Map();
        if (ok)
            memcpy(shm.Data(), "4", 2);
        _exit(ok && shm.Flush() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return log.Threshold() == 4; }, 3500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3200ms);
    ASSERT_TRUE(WaitFor([&] { return File("SuperLog.ini").find("MaxLogFileLen=") != std::string::npos; }));
    std::string ini = File("SuperLog.ini");
    EXPECT_NE(ini.find("LogLevel=4"), std::string::npos) << ini;
    EXPECT_NE(ini.find("MaxLogFileLen=104857600"), std::string::npos) << ini;

    log.WriteLog(1, "dropped debug", false);
    log.WriteLog(2, "dropped info", false);
    log.WriteLog(3, "dropped warning", false);
    log.WriteLog(4, "kept error", false);
    ASSERT_TRUE(log.Shutdown());
    std::string file = File("log1.txt");
    EXPECT_EQ(file.find("dropped"), std::string::npos);
    EXPECT_NE(file.find("Error! kept error\r\n"), std::string::npos);
}

TEST_F(Logger, RotationOverThreeFiles) {
    WriteFileBytes(dir / "SuperLog.ini", "[SuperLog]\r\nMaxLogFileLen=30721\r\n");
    const std::string big(31000, 'a');
    // log1 is too long: the start-up opens it (SuperLog.ini's limit is read after the first
    // open), and the 12 s pass goes on in log2, appended.
    WriteFileBytes(dir / "log1.txt", big);
    WriteFileBytes(dir / "log2.txt", "old2\r\n");
    {
        SuperLogger log(Options());
        log.StartUp(false);
        EXPECT_EQ(log.FilesOpened(), 1);
        log.RunPass(40);
        EXPECT_EQ(log.FilesOpened(), 2);
        log.WriteLog(2, "in two", true);
    }
    EXPECT_TRUE(File("log1.txt").substr(0, big.size()) == big);
    EXPECT_EQ(File("log2.txt").rfind("old2\r\n", 0), 0u);
    EXPECT_NE(File("log2.txt").find("Info:in two"), std::string::npos);

    // All three too long: two switches append, the third empties log1 and stops there.
    WriteFileBytes(dir / "log1.txt", big);
    WriteFileBytes(dir / "log2.txt", big);
    WriteFileBytes(dir / "log3.txt", big);
    SuperLogger log(Options());
    log.StartUp(false);
    log.RunPass(40);
    EXPECT_EQ(log.FilesOpened(), 4);
    EXPECT_TRUE(File("log2.txt") == big && File("log3.txt") == big);
    EXPECT_EQ(File("log1.txt").find('a'), std::string::npos) << "log1 was emptied";

    // Every later switch empties the file it switches to.
    std::string line(200, 'b');
    while (std::filesystem::file_size(dir / "log1.txt") <= 30721)
        log.WriteLog(2, line, true);
    ASSERT_EQ(log.OpenOrRotate(), SuperLogger::kOpen);
    EXPECT_EQ(log.FilesOpened(), 5);
    log.WriteLog(2, "fresh", true);
    std::string two = File("log2.txt");
    EXPECT_EQ(two.find('a'), std::string::npos) << "log2 was emptied";
    EXPECT_NE(two.find("Info:fresh\r\n"), std::string::npos);
    EXPECT_TRUE(File("log3.txt") == big);
}

TEST_F(Logger, WriteOrOpenErrorKeepsLinesUntilTheFileWorksAgain) {
    struct Case {
        const char* what;
        void (*breakFile)(const std::filesystem::path&);
    } cases[] = {
        {"writes fail",
         [](const std::filesystem::path& f) { std::filesystem::create_symlink("/dev/full", f); }},
        {"open fails", [](const std::filesystem::path& f) { std::filesystem::create_directory(f); }},
    };
    for (const auto& c : cases) {
        testsupport::TempDir caseDir;
        SuperLoggerOptions o = Options();
        o.directory = CString(caseDir.str());
        c.breakFile(caseDir / "log1.txt");
        SuperLogger log(o);
        log.StartUp(false);
        EXPECT_EQ(log.GetFileState(), SuperLogger::kFileError) << c.what;
        log.WriteLog(2, "kept line", true);
        log.RunPass(1); // reopens the same name (or fails to), and the next flush fails again
        log.WriteLog(2, "", true);
        EXPECT_EQ(log.GetFileState(), SuperLogger::kFileError) << c.what;

        std::filesystem::remove(caseDir / "log1.txt");
        log.RunPass(2);
        EXPECT_EQ(log.GetFileState(), SuperLogger::kOpen) << c.what;
        EXPECT_EQ(log.FilesOpened(), 1) << "the same name is opened again";
        log.WriteLog(2, "after", true);
        std::string file = ReadFileBytes(caseDir / "log1.txt");
        size_t banner = file.find(kBanner), kept = file.find("Info:kept line"),
               after = file.find("Info:after");
        EXPECT_TRUE(banner == 0 && kept != std::string::npos && after > kept) << c.what << "\n"
                                                                              << file.substr(0, 400);
        platform::SharedMemory::Remove(shmName);
    }
}

TEST_F(Logger, BufferStaysBoundedWhileTheFileIsBrokenAndSaysWhatWasDropped) {
    SuperLoggerOptions o = Options();
    o.bufferLimit = 8192;
    std::filesystem::create_symlink("/dev/full", dir / "log1.txt");
    SuperLogger log(o);
    log.StartUp(false);
    char text[64];
    for (int i = 0; i < 1000; ++i) {
        snprintf(text, sizeof text, "line %04d", i);
        log.WriteLog(2, text, false);
    }
    std::filesystem::remove(dir / "log1.txt");
    log.RunPass(1);
    log.WriteLog(2, "", true);
    std::string file = File("log1.txt");
    EXPECT_LE(file.size(), 8192u + 200u);
    EXPECT_EQ(Count(file, " log lines were dropped while the log file could not be written.\r\n"), 1);
    EXPECT_EQ(file.find("line 0000"), std::string::npos);
    EXPECT_NE(file.find("Info:line 0999\r\n"), std::string::npos);
    size_t marker = file.find("Error! "), firstKept = file.find("Info:line ");
    EXPECT_LT(marker, firstKept) << "the marker stands before the lines that were kept";
}

TEST_F(Logger, ShutdownWritesWhatWaitsWhateverTheLevelAndLaterWritesGoNowhere) {
    WriteFileBytes(dir / "SuperLog.ini", "[SuperLog]\r\nLogLevel=0\r\n");
    SuperLoggerOptions o = Options();
    o.passPeriod = 10s; // no pass flushes meanwhile: only the shutdown can write the line
    SuperLogger log(o);
    log.StartUp();
    ASSERT_TRUE(
        WaitFor([&] { return File("log1.txt").find("Debug:日志线程启动.\r\n") != std::string::npos; }));
    log.WriteLog(2, "waiting in the buffer", false);
    log.SetLogLevel(5);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(log.Shutdown());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_EQ(log.GetFileState(), SuperLogger::kShutDown);
    std::string file = File("log1.txt");
    EXPECT_NE(file.find("Info:waiting in the buffer\r\n"), std::string::npos);

    log.SetLogLevel(2);
    EXPECT_EQ(log.WriteLog(2, "after shutdown", true), 0);
    EXPECT_EQ(File("log1.txt"), file);
}

TEST_F(Logger, ShutdownReturnsAfterItsPollsWhenTheThreadIsStuck) {
    // log1.txt is a pipe that nobody reads: the thread's flush blocks in its write.
    auto fifo = dir / "log1.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    SuperLogger log(Options());
    log.StartUp();
    // Reads the pipe until the thread has ended, so the logger can go even when a check failed.
    struct Drain {
        int fd;
        SuperLogger& log;
        ~Drain() {
            char sink[65536];
            auto end = std::chrono::steady_clock::now() + 5s;
            while (log.GetFileState() != SuperLogger::kShutDown && std::chrono::steady_clock::now() < end) {
                while (read(fd, sink, sizeof sink) > 0) {
                }
                std::this_thread::sleep_for(1ms);
            }
            close(fd);
        }
    } drain{reader, log};

    int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    std::string block(4096, 'f');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
    log.WriteLog(2, "stuck behind a full pipe", false);
    std::this_thread::sleep_for(200ms); // well past the flush of pass 10

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(log.Shutdown());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 50 * 5ms);
    EXPECT_LT(took, 2000ms);
}

TEST_F(Logger, ThreadFlushesWithinTenPassesAndSaysGoodbye) {
    SuperLogger log(Options());
    log.StartUp();
    log.WriteLog(2, "no flush asked", false);
    EXPECT_TRUE(WaitFor([&] { return File("log1.txt").find("no flush asked") != std::string::npos; }));
    ASSERT_TRUE(log.Shutdown());
    EXPECT_NE(File("log1.txt").find("Info:Super logger has exited.\r\n"), std::string::npos);
}

TEST_F(Logger, ManyThreadsLoseAndMixNoLine) {
    SuperLogger log(Options());
    log.StartUp();
    constexpr int kThreads = 8, kLines = 2000;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            char text[128];
            for (int i = 0; i < kLines; ++i) {
                snprintf(text, sizeof text, "T%d-%05d %s", t, i, "payload that makes the line longer");
                log.WriteLog(3, text, i % 97 == 0);
            }
        });
    for (auto& w : writers)
        w.join();
    ASSERT_TRUE(log.Shutdown());

    std::string file = File("log1.txt");
    std::vector<int> next(kThreads, 0);
    int lines = 0;
    for (size_t pos = 0; pos < file.size();) {
        size_t end = file.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = file.substr(pos, end - pos);
        pos = end + 2;
        size_t tag = line.find("Warning:T");
        if (tag == std::string::npos)
            continue;
        ASSERT_EQ(tag, 24u) << line; // a whole stamp before it
        int t = 0, i = 0;
        char rest[64] = {};
        ASSERT_EQ(sscanf(line.c_str() + tag, "Warning:T%d-%d %63[^\n]", &t, &i, rest), 3) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(i, next[t]) << "thread " << t << " lost or reordered a line";
        EXPECT_STREQ(rest, "payload that makes the line longer");
        next[t] = i + 1;
        ++lines;
    }
    EXPECT_EQ(lines, kThreads * kLines);
}

TEST_F(Logger, ProcessWideFunctionsReachOneLogger) {
    SuperLoggerOptions o = Options();
    o.clock = nullptr;
    ConfigureSuperLogger(o);
    LogInfo("card %d: %s", 2, "lan0");
    LogWarning("w");
    LogError("e%c", '!');
    LogDebug("hidden at the start-up level");
    LogErrorString("as a string");
    EXPECT_EQ(WriteLogText(2, nullptr, true), -1);
    EXPECT_EQ(WriteLog(1, "below", true), -1);
    SetLogLevel(3);
    EXPECT_EQ(ReadSharedLogLevel(), 3);
    ShutdownSuperLogger();
    LogError("after shutdown");
    std::string file = File("log1.txt");
    for (const char* line :
         {"Info:card 2: lan0\r\n", "Warning:w\r\n", "Error! e!\r\n", "Error! as a string\r\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line;
    EXPECT_EQ(file.find("hidden"), std::string::npos);
    EXPECT_EQ(file.find("after shutdown"), std::string::npos);
}

} // namespace
