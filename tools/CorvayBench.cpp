// corvay-bench: builds the simulated bench, prints where it is, and removes all it made at
// SIGINT or SIGTERM; with "-- CMD ..." it runs CMD in the PC's namespace instead, tears down
// when CMD ends and exits with CMD's status. In CMD, "{dir}", "{console}" and "{scale}" stand for the
// program directory, the console's line (also in $CORVAY_BENCH_DIR, $CORVAY_BENCH_CONSOLE) and the
// jobs' time scale.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/NetNamespace.h"
#include "bench/SimulatedBench.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: corvay-bench [--modems N] [--console] [--modem P=KIND] [--version P=V] [--line "
        "P=STATE,DOWN,UP]\n"
        "                    [--loss P=K] [--rule OLD=NEW] [--upgrade] [--restore] [--period MS]\n"
        "                    [--wireless P=lit|dark] [--wlan-period MS]\n"
        "                    [--long-period MS] [--wait-connect MS] [--reboot MS] [--time-scale K] [--dir "
        "D]\n"
        "                    [-- CMD ...]\n"
        "  KIND: ok absent noping unknown neverback oldversion flaky; --loss drops every K-th big upstream "
        "frame\n"
        "  --wireless: the port's modem has a wireless side on the air that the PC's card wl0 joins;\n"
        "  dark: on the air, passing nothing. Config.ini's [WLan] keys name wl0 and the air\n"
        "  --time-scale K: the jobs' time scale (\"{scale}\" in CMD); a modem's reboot takes --reboot / K.\n"
        "  Without it, the K of a \"--time-scale K\" in CMD.\n");
    return 2;
}

bool ToInt(const std::string& text, int& value, int low, int high) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

// "P=rest": the port and the rest.
bool PortValue(const std::string& text, int& port, std::string& rest) {
    size_t eq = text.find('=');
    if (eq == std::string::npos)
        return false;
    rest = text.substr(eq + 1);
    return ToInt(text.substr(0, eq), port, 1, 48);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    // Every thread the bench starts inherits the blocked signals; this one takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    bench::SimulatedBenchConfig config;
    int modems = 4;
    std::map<int, std::string> kinds, versions, lines, wireless;
    std::map<int, int> losses;
    std::vector<std::string> command;
    bool scaleGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        int port = 0;
        std::string rest;
        if (arg == "--") {
            command.assign(argv + i + 1, argv + argc);
            if (command.empty())
                return Usage();
            break;
        } else if (arg == "--modems" && hasValue) {
            if (!ToInt(argv[++i], modems, 1, 47))
                return Usage();
        } else if (arg == "--console") {
            config.console = true;
        } else if ((arg == "--modem" || arg == "--version" || arg == "--line" || arg == "--loss" ||
                    arg == "--wireless") &&
                   hasValue) {
            if (!PortValue(argv[++i], port, rest))
                return Usage();
            if (arg == "--modem")
                kinds[port] = rest;
            else if (arg == "--version")
                versions[port] = rest;
            else if (arg == "--line")
                lines[port] = Replace(rest, ",", " ");
            else if (arg == "--wireless")
                wireless[port] = rest;
            else if (!ToInt(rest, losses[port], 1, 1000))
                return Usage();
        } else if (arg == "--rule" && hasValue) {
            std::string rule = argv[++i];
            size_t eq = rule.find('=');
            if (eq == std::string::npos)
                return Usage();
            config.rules.push_back({rule.substr(0, eq), rule.substr(eq + 1)});
        } else if (arg == "--upgrade") {
            config.autoUpgrade = true;
        } else if (arg == "--restore") {
            config.autoRestore = true;
        } else if ((arg == "--period" || arg == "--long-period" || arg == "--wait-connect" ||
                    arg == "--reboot" || arg == "--wlan-period") &&
                   hasValue) {
            int ms = 0;
            if (!ToInt(argv[++i], ms, 0, 86400000))
                return Usage();
            (arg == "--period"         ? config.standTestPeriodMs
             : arg == "--long-period"  ? config.longPingTestPeriodMs
             : arg == "--wait-connect" ? config.waitModemConnectMs
             : arg == "--wlan-period"  ? config.wlanPingTestPeriodMs
                                       : config.rebootMs) = ms;
        } else if (arg == "--time-scale" && hasValue) {
            if (!ToInt(argv[++i], config.timeScale, 1, 1000000))
                return Usage();
            scaleGiven = true;
        } else if (arg == "--dir" && hasValue) {
            config.directory = argv[++i];
        } else {
            return Usage();
        }
    }
    // The modems reboot in the time of the job that tests them.
    for (size_t i = 0; !scaleGiven && i + 1 < command.size(); ++i)
        if (command[i] == "--time-scale" && ToInt(command[i + 1], config.timeScale, 1, 1000000))
            break;
    config.modems.assign(static_cast<size_t>(modems), bench::BenchModemSpec());
    const std::map<std::string, bench::ModemKind> kindNames = {{"ok", bench::ModemKind::Ok},
                                                               {"absent", bench::ModemKind::Absent},
                                                               {"noping", bench::ModemKind::NoPing},
                                                               {"unknown", bench::ModemKind::UnknownModel},
                                                               {"neverback", bench::ModemKind::NeverBack},
                                                               {"oldversion", bench::ModemKind::OldVersion},
                                                               {"flaky", bench::ModemKind::Flaky}};
    for (int p = 1; p <= modems; ++p) {
        bench::BenchModemSpec& spec = config.modems[static_cast<size_t>(p - 1)];
        if (kinds.count(p)) {
            auto kind = kindNames.find(kinds[p]);
            if (kind == kindNames.end())
                return Usage();
            spec.kind = kind->second;
        }
        if (versions.count(p))
            spec.version = versions[p];
        if (lines.count(p))
            spec.line = lines[p];
        if (wireless.count(p)) {
            if (wireless[p] != "lit" && wireless[p] != "dark")
                return Usage();
            spec.wireless = wireless[p] == "lit" ? bench::Wireless::Lit : bench::Wireless::Dark;
        }
        if (losses.count(p))
            spec.traffic = bench::PortPolicy::DropEveryKth(losses[p], 1500, bench::Direction::Upstream);
    }
    // A setting for a port the bench does not have is a mistake, not something to ignore.
    for (const auto* ports : {&kinds, &versions, &lines, &wireless})
        for (const auto& entry : *ports)
            if (entry.first > modems)
                return Usage();
    for (const auto& entry : losses)
        if (entry.first > modems)
            return Usage();

    int status = 0;
    try {
        bench::SimulatedBench bench(config);
        bench.Build();
        std::printf("pc %s\nconsole %s\ndirectory %s\n", bench.Pc().Name().c_str(),
                    bench.ConsolePath().c_str(), bench.Directory().c_str());
        std::fflush(stdout);
        if (command.empty()) {
            int signal = 0;
            sigwait(&signals, &signal);
            return 0; // the bench is taken down as this scope ends
        }
        ::setenv("CORVAY_BENCH_DIR", bench.Directory().c_str(), 1);
        ::setenv("CORVAY_BENCH_CONSOLE", bench.ConsolePath().c_str(), 1);
        std::vector<std::string> words = {"ip", "netns", "exec", bench.Pc().Name()};
        for (const std::string& word : command)
            words.push_back(
                Replace(Replace(Replace(word, "{dir}", bench.Directory()), "{console}", bench.ConsolePath()),
                        "{scale}", std::to_string(config.timeScale)));
        std::vector<char*> args;
        for (std::string& word : words)
            args.push_back(word.data());
        args.push_back(nullptr);
        pid_t child = ::fork();
        if (child < 0) {
            std::perror("corvay-bench: fork");
            return 1;
        }
        if (child == 0) {
            pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
            ::execvp(args[0], args.data());
            std::perror("corvay-bench: ip netns exec");
            ::_exit(127);
        }
        int childStatus = 0;
        for (;;) {
            pid_t done = ::waitpid(child, &childStatus, WNOHANG);
            if (done == child)
                break;
            timespec wait{0, 100 * 1000 * 1000};
            int signal = sigtimedwait(&signals, nullptr, &wait);
            if (signal > 0)
                ::kill(child, signal); // the command ends first, then the bench
        }
        status = WIFEXITED(childStatus) ? WEXITSTATUS(childStatus) : 128 + WTERMSIG(childStatus);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvay-bench: %s\n", e.what());
        return 1;
    }
    return status;
}
