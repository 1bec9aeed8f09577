#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/FakeDslam.h"
#include "bench/FakeTelnetSwitch.h"
#include "bench/NetNamespace.h"
#include "bench/SimulatedBench.h"
#include "platform/files/UniqueFd.h"
#include "tests/support/NetNamespace.h"

using bench::BenchModemSpec;
using bench::ModemKind;

namespace {

std::string Program(const char* name) {
    const char* binary = std::getenv("CORVAY_BINARY_DIR");
    return std::string(binary ? binary : ".") + "/bin/" + name;
}

// One line of corvay-headless: model, summary, result and verdict of a port.
struct PortLine {
    std::string model, summary, result, verdict;
};

struct HeadlessRun {
    int code = -1;
    std::map<int, PortLine> ports;
    std::string output;
};

HeadlessRun ParseRun(int status, const std::string& output) {
    HeadlessRun run;
    run.code = status;
    run.output = output;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        std::string line = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? output.size() : end + 1;
        int port = 0;
        if (std::sscanf(line.c_str(), "port %d\t", &port) != 1)
            continue;
        std::vector<std::string> fields;
        size_t from = line.find('\t') + 1;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            fields.push_back(line.substr(from, tab - from));
        fields.push_back(line.substr(from));
        if (fields.size() == 4)
            run.ports[port] = {fields[0], fields[1], fields[2], fields[3]};
    }
    return run;
}

bool Has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

class BenchTest : public testsupport::NetnsTest {
protected:
    void Build(bench::SimulatedBenchConfig config, int rebootMs = 400) {
        config.rebootMs = rebootMs;
        config.waitModemConnectMs = 20000;
        config.standTestPeriodMs = 2000;
        config.longPingTestPeriodMs = 3000;
        bench = std::make_unique<bench::SimulatedBench>(config);
        bench->Build();
    }
    // corvay-headless in the PC's namespace, waits divided by the scale.
    HeadlessRun Headless(int mode, const std::string& extra = "", int scale = 100) {
        std::string command = "ip netns exec " + bench->Pc().Name() + " " + Program("corvay-headless") +
                              " --mode " + std::to_string(mode) + " --dir " + bench->Directory() +
                              " --time-scale " + std::to_string(scale) + " " + extra + " 2>&1";
        std::string output;
        int status = bench::RunCommandLine(command, &output);
        return ParseRun(status, output);
    }

    std::unique_ptr<bench::SimulatedBench> bench;
};

BenchModemSpec Modem(ModemKind kind, std::string line = "up 4064 512") {
    BenchModemSpec spec;
    spec.kind = kind;
    spec.line = line;
    return spec;
}

} // namespace

// Every kind of port, over the console and over telnet: what the modem and the DSLAM gave, and
// the verdict after the ping phase (the last port loses every tenth big upstream frame).
TEST_F(BenchTest, BenchStandardTestReportsEveryKindOfPort) {
    for (bool console : {false, true}) {
        SCOPED_TRACE(console ? "console" : "telnet");
        bench::SimulatedBenchConfig config;
        config.console = console;
        config.modems = {Modem(ModemKind::Ok),     Modem(ModemKind::Ok, "up 3000 400"),
                         Modem(ModemKind::NoPing), Modem(ModemKind::UnknownModel),
                         Modem(ModemKind::Absent), Modem(ModemKind::Ok)};
        config.modems[5].traffic = bench::PortPolicy::DropEveryKth(10, 1500, bench::Direction::Upstream, 1);
        if (console)
            config.modems.push_back(Modem(ModemKind::Flaky));
        Build(config);
        // Over the console a port's link reaches the job only by the switch's trap, which must
        // come within the job's settle after the enable: at a hundredth that is 40 ms, which a
        // loaded machine can miss; a tenth leaves it 400 ms.
        HeadlessRun run = console ? Headless(0, "--console " + bench->ConsolePath(), 10) : Headless(0);
        // Finished, with failed ports.
        ASSERT_EQ(run.code, 3) << run.output;
        // The verdict as the view's icon gives it: a low rate, no answer and an unknown model
        // fail however the ping went; a port without a modem has none.
        const std::map<int, std::string> verdicts = {{1, "pass"}, {2, "fail"},     {3, "fail"},
                                                     {4, "fail"}, {5, "untested"}, {6, "fail"}};
        for (const auto& [port, verdict] : verdicts)
            EXPECT_EQ(run.ports[port].verdict, verdict) << port;

        const PortLine& ok = run.ports[1];
        EXPECT_EQ(ok.model, "CV-100");
        EXPECT_EQ(ok.summary, u8"固件版本：V1.0; 线路状态：Link Up; 上行速率：512; 下行速率：4064; "
                              u8"IP地址：192.168.1.1; MAC:02-00-00-00-01-01; ");
        EXPECT_EQ(ok.result, u8"Modem基本信息检查通过 | Ping测试通过 | ");
        const PortLine& low = run.ports[2];
        EXPECT_TRUE(Has(low.summary, "MAC:02-00-00-00-01-02")) << low.summary;
        EXPECT_EQ(low.result, u8"建链速率不达标 | Ping测试通过 | ");
        // No answer to pings, or an unknown model: nothing of the modem, the line all the same.
        for (int port : {3, 4}) {
            EXPECT_EQ(run.ports[port].model, "") << port;
            EXPECT_EQ(run.ports[port].summary, u8"线路状态：Link Up; 上行速率：512; 下行速率：4064; ")
                << port;
        }
        EXPECT_EQ(run.ports[5].result, u8"未测试");
        EXPECT_TRUE(Has(run.ports[6].result, u8"上行发送")) << run.ports[6].result;
        EXPECT_FALSE(Has(run.ports[6].result, u8"Ping测试通过")) << run.ports[6].result;
        if (console) {
            // Its link went with the enabling: neither scanned nor asked for its line.
            EXPECT_EQ(run.ports[7].model, "");
            EXPECT_EQ(run.ports[7].summary, "");
        } else {
            // Without terminal templates no modem is known: every tested port fails.
            std::filesystem::remove(std::filesystem::path(bench->Directory()) / "Terminals.dat");
            HeadlessRun blind = Headless(0);
            EXPECT_EQ(blind.code, 3) << blind.output;
            for (int port : {1, 2, 3, 4, 6})
                EXPECT_EQ(blind.ports[port].verdict, "fail") << port << "\n" << blind.output;
        }
        bench.reset();
    }
}

TEST_F(BenchTest, BenchUpgradeAsksUploadsWaitsAndRestores) {
    const char* const question = u8"端口：1，目前版本是：V1.0，确认是否升级到版本：V1.1？";
    struct Case {
        const char* name;
        ModemKind kind;
        std::vector<bench::BenchRule> rules;
        std::string answers;
        int code;
        const char* version;
        const char* result;
        int uploads, restores;
        std::string asked; // the question on the driver's stderr with its answer
        const char* verdict;
    } cases[] = {
        {"nothing to upgrade", ModemKind::Ok, {{"V9.", "V9.1"}}, "", 0, "V1.0", "", 0, 0, "", "untested"},
        {"declined",
         ModemKind::Ok,
         {{"V1.0", "V1.1"}},
         "",
         0,
         "V1.0",
         u8"发现有新版本，但用户选择不升级",
         0,
         0,
         std::string(question) + " -> 7",
         "untested"},
        {"upgraded",
         ModemKind::Ok,
         {{"V1.0", "V1.1"}},
         "--yes",
         0,
         "V1.1",
         u8"升级成功",
         1,
         1,
         std::string(question) + " -> 6",
         "pass"},
        {"chosen",
         ModemKind::Ok,
         {{"V1.0", "V1.2"}, {"V1.", "V1.1"}},
         "--choose 1",
         0,
         "V1.2",
         u8"升级成功",
         1,
         1,
         "V1.1.bin / V1.2\t",
         "pass"},
        {"never back",
         ModemKind::NeverBack,
         {{"V1.0", "V1.1"}},
         "--yes",
         3,
         "V1.0",
         u8"升级失败",
         1,
         0,
         std::string(question) + " -> 6",
         "fail"},
        {"old version back",
         ModemKind::OldVersion,
         {{"V1.0", "V1.1"}},
         "--yes",
         3,
         "V1.0",
         u8"升级失败",
         1,
         0,
         std::string(question) + " -> 6",
         "fail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bench::SimulatedBenchConfig config;
        config.modems = {Modem(c.kind)};
        config.rules = c.rules;
        config.autoUpgrade = true;
        config.autoRestore = true;
        Build(config);
        HeadlessRun run = Headless(4, c.answers);
        EXPECT_EQ(run.code, c.code) << run.output;
        EXPECT_EQ(run.ports[1].verdict, c.verdict) << run.output;
        EXPECT_TRUE(Has(run.ports[1].summary, std::string(u8"固件版本：") + c.version))
            << run.ports[1].summary;
        EXPECT_EQ(run.ports[1].result, c.result);
        EXPECT_EQ(bench->Uploads(1), c.uploads);
        EXPECT_EQ(bench->Restores(1), c.restores);
        EXPECT_TRUE(Has(run.output, c.asked)) << run.output;
        if (c.answers == "--choose 1") { // each candidate with its firmware file
            EXPECT_TRUE(Has(run.output, "V1.0 / V1.1\t" + bench->Directory() + "/firmware/V1.1.bin / V1.2\t" +
                                            bench->Directory() + "/firmware/V1.2.bin -> 1"))
                << run.output;
        }
        bench.reset();
    }
}

TEST_F(BenchTest, BenchSimplifiedPingAndBurnInJobs) {
    bench::SimulatedBenchConfig config;
    config.modems = {Modem(ModemKind::Ok), Modem(ModemKind::Ok)};
    config.modems[1].traffic = bench::PortPolicy::DropAll();
    Build(config);
    struct Case {
        int mode;
        const char* summary;
        const char* result;
    } cases[] = {
        {5, u8"线路状态：Link Up; 上行速率：512; 下行速率：4064; ", u8"Modem基本信息检查通过 | Ping测试通过"},
        {2, "", u8"Ping测试通过 | "},
        {1, "", u8"Ping测试通过 | "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        HeadlessRun run = Headless(c.mode);
        EXPECT_EQ(run.code, 3) << run.output; // port 2 failed
        EXPECT_EQ(run.ports[1].verdict, "pass");
        EXPECT_EQ(run.ports[2].verdict, "fail");
        EXPECT_EQ(run.ports[1].summary, c.summary);
        EXPECT_EQ(run.ports[1].result, c.result);
        EXPECT_TRUE(Has(run.ports[2].result, u8"包丢失率：100%")) << run.ports[2].result;
    }
}

// The wireless test needs the operator in the modem's pages and its dialog: the driver refuses
// it before it touches the bench, says why, and its help says so too.
TEST_F(BenchTest, BenchHeadlessRefusesTheWirelessTest) {
    bench::SimulatedBenchConfig config;
    config.modems = {Modem(ModemKind::Ok)};
    Build(config);
    HeadlessRun run = Headless(3);
    EXPECT_EQ(run.code, 2) << run.output;
    EXPECT_TRUE(run.ports.empty()) << run.output;
    EXPECT_TRUE(Has(run.output, "mode 3")) << run.output;
    std::string help;
    EXPECT_EQ(bench::RunCommandLine(Program("corvay-headless") + " --help", &help), 0);
    EXPECT_TRUE(Has(help, "mode 3")) << help;
}

namespace {

std::vector<std::string> NamespacesOf(pid_t pid) {
    std::vector<std::string> left;
    std::error_code error;
    const std::string prefix = "cvt" + std::to_string(pid) + "-";
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            left.push_back(entry.path().filename().string());
    return left;
}

} // namespace

// The command's status comes back, and neither it nor a signal leaves anything behind.
TEST_F(BenchTest, BenchToolLeavesNothingBehind) {
    for (bool signal : {false, true}) {
        SCOPED_TRACE(signal ? "SIGTERM" : "command");
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(pipeFds[1], 1);
            ::close(pipeFds[0]);
            std::string bin = Program("corvay-bench"), headless = Program("corvay-headless");
            if (signal)
                ::execl(bin.c_str(), bin.c_str(), "--modems", "2", nullptr);
            else
                ::execl(bin.c_str(), bin.c_str(), "--modems", "2", "--wait-connect", "20000", "--modem",
                        "2=absent", "--", headless.c_str(), "--mode", "5", "--dir", "{dir}", "--time-scale",
                        "100", nullptr);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string output;
        char buffer[512];
        std::string directory;
        for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            output.append(buffer, static_cast<size_t>(got));
            size_t at = output.find("directory ");
            if (signal && at != std::string::npos && output.find('\n', at) != std::string::npos) {
                directory = output.substr(at + 10, output.find('\n', at) - at - 10);
                EXPECT_FALSE(NamespacesOf(child).empty());
                ::kill(child, SIGTERM);
            }
        }
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        // The simplified job found port 1 and ran to its end.
        EXPECT_EQ(WEXITSTATUS(status), 0) << output;
        if (!signal) {
            EXPECT_TRUE(Has(output, "port 1\t\t")) << output;
            size_t at = output.find("directory ");
            directory = output.substr(at + 10, output.find('\n', at) - at - 10);
        }
        EXPECT_TRUE(NamespacesOf(child).empty());
        EXPECT_FALSE(directory.empty());
        EXPECT_FALSE(std::filesystem::exists(directory)) << directory;
        EXPECT_NE(bench::RunCommandLine("pgrep -f '[c]orvay-headless.*" + directory + "'"), 0);
    }
}

// A modem's reboot on the bench runs in the jobs' time: one that takes 100 s of it is back
// well inside the job's scaled 240 s limit, where unscaled it would take the limit 40 times over.
TEST_F(BenchTest, BenchRebootRunsInTheJobsTime) {
    bench::SimulatedBenchConfig config;
    config.modems = {Modem(ModemKind::Ok)};
    config.rules = {{"V1.0", "V1.1"}};
    config.autoUpgrade = true;
    config.timeScale = 100;
    Build(config, 100000);
    HeadlessRun run = Headless(4, "--yes");
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_EQ(run.ports[1].result, u8"升级成功") << run.output;
    EXPECT_EQ(bench->Uploads(1), 1);
}

// The tool's modems reboot in the time of the command's --time-scale: 3.1 s of the jobs' time
// is well inside their 240 s reboot limit, where 3.1 s of real time is past its hundredth.
TEST_F(BenchTest, BenchToolRebootsInTheCommandsTime) {
    std::string output;
    const int status = bench::RunCommandLine(
        Program("corvay-bench") + " --modems 1 --rule V1.0=V1.1 --upgrade --reboot 3100 -- " +
            Program("corvay-headless") + " --mode 4 --dir {dir} --time-scale 100 --yes 2>&1",
        &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_TRUE(Has(output, "port 1\tCV-100\t")) << output;
    EXPECT_TRUE(Has(output, u8"固件版本：V1.1;")) << output;
    EXPECT_TRUE(Has(output, u8"\t升级成功\t")) << output;
}

namespace {

// corvay-headless on the bench at the jobs' real pace, its output in 'output', the extra words
// after its own; 'pending' sends it SIGINT before it starts (blocked, so it waits in the new
// program). Returns the child, which only execs: the words are made before the fork.
pid_t StartHeadless(const bench::SimulatedBench& sim, bool pending, const std::string& output,
                    std::vector<std::string> extra = {}) {
    std::vector<std::string> words = {"ip",     "netns", "exec",  sim.Pc().Name(), Program("corvay-headless"),
                                      "--mode", "0",     "--dir", sim.Directory(), "--time-scale",
                                      "1"};
    words.insert(words.end(), extra.begin(), extra.end());
    std::vector<char*> args;
    for (std::string& word : words)
        args.push_back(word.data());
    args.push_back(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (pending) {
            sigset_t signals;
            sigemptyset(&signals);
            sigaddset(&signals, SIGINT);
            sigprocmask(SIG_BLOCK, &signals, nullptr);
            ::raise(SIGINT);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return child;
}

// Its exit status, or -1 when it has not ended within the time (then it is killed).
int WaitExit(pid_t child, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        ::usleep(20000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

// A stop during the start ends its waits at once and runs no job, also one sent before the
// program could catch it.
TEST_F(BenchTest, BenchStopDuringTheStartRunsNoJob) {
    bench::SimulatedBenchConfig config;
    config.modems = {Modem(ModemKind::Ok), Modem(ModemKind::Ok)};
    Build(config); // the modems' wait is 20 s
    const std::string output = (std::filesystem::path(bench->Directory()) / "headless.out").string();
    for (bool pending : {true, false}) {
        SCOPED_TRACE(pending ? "sent before the start" : "sent in the wait for the modems");
        // Port 1 off: the start's enabling of every port tells where it is.
        bench->TelnetSwitch().SetSwitchPort(1, {false, false, 2});
        const pid_t child = StartHeadless(*bench, pending, output);
        ASSERT_GT(child, 0);
        if (!pending) {
            for (int waited = 0; waited < 20000 && !bench->TelnetSwitch().GetSwitchPort(1).enabled;
                 waited += 20)
                ::usleep(20000);
            ASSERT_TRUE(bench->TelnetSwitch().GetSwitchPort(1).enabled);
            ::usleep(300000);
            ::kill(child, SIGINT);
        }
        // Far sooner than the 20 s wait, stopped, and no port touched by a job.
        EXPECT_EQ(WaitExit(child, 5000), 1);
        const std::string printed = ReadAll(output);
        EXPECT_FALSE(Has(printed, "port 1\t")) << printed;
        for (int p = 2; p <= bench->PortCount(); ++p)
            EXPECT_TRUE(bench->TelnetSwitch().GetSwitchPort(p).enabled) << p;
    }
}

// The console's log-in wait ends at a stop too: a console line that never answers holds the
// start in it for a minute.
TEST_F(BenchTest, BenchStopDuringTheConsoleLogInRunsNoJob) {
    bench::SimulatedBenchConfig config;
    config.console = true;
    config.modems = {Modem(ModemKind::Ok)};
    Build(config);
    platform::UniqueFd silent(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(silent.IsValid());
    ASSERT_EQ(::grantpt(silent.Get()), 0);
    ASSERT_EQ(::unlockpt(silent.Get()), 0);
    const std::string line = ::ptsname(silent.Get());
    const std::string output = (std::filesystem::path(bench->Directory()) / "headless.out").string();
    const pid_t child = StartHeadless(*bench, false, output, {"--console", line});
    ASSERT_GT(child, 0);
    // In the log-in wait once the line has been opened and spoken to.
    char said[64];
    pollfd fd = {silent.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 20000), 1) << ReadAll(output);
    ASSERT_GT(::read(silent.Get(), said, sizeof said), 0);
    ::usleep(300000);
    ::kill(child, SIGINT);
    EXPECT_EQ(WaitExit(child, 5000), 1) << ReadAll(output);
    EXPECT_FALSE(Has(ReadAll(output), "port 1\t"));
}
