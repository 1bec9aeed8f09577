// corvay-headless --mode N [--dir D] [--console PTY] [--time-scale K] [--yes] [--choose I]
// Runs one test job as the main view starts it, without windows, and prints a line per port
// with the port's verdict (mode 3, the wireless test, is refused). Exits 0 when the job finished and every
// tested port passed, 3 when it finished with a failed port, 1 when stopped (SIGINT, SIGTERM), 2 when aborted
// or unable to start.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <signal.h>
#include <string>

#include "engine/jobs/HeadlessJob.h"
#include "engine/log/Logger.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop.store(true);
}

const char* const kUsage =
    "usage: corvay-headless --mode N [--dir D] [--console PTY] [--time-scale K] [--yes] [--choose I]\n"
    "  prints a line per port: port N, model, summary, result, verdict (pass, fail or untested),\n"
    "  tab-separated; in the upgrade job (mode 4) a port passes or fails by its upgrade\n"
    "  mode 3, the wireless test, is refused: it needs the operator's windows (run corvay)\n"
    "  exit status: 0 finished and every tested port passed, 3 finished with a failed port,\n"
    "  1 stopped (SIGINT, SIGTERM), 2 aborted or the test could not start\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Installed first thing, and unblocked in case the starter blocked them: a stop asked at any
// point of the run, even before the arguments are read, reaches the job.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&signals, signal);
    }
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

bool ToInt(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < -1 || v > 1000000)
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CatchStopSignals();
    HeadlessOptions options;
    bool haveMode = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--mode" && hasValue) {
            if (!ToInt(argv[++i], options.mode))
                return Usage();
            haveMode = true;
        } else if (arg == "--dir" && hasValue) {
            dir = argv[++i];
        } else if (arg == "--console" && hasValue) {
            options.start.consoleDevice = argv[++i];
        } else if (arg == "--time-scale" && hasValue) {
            if (!ToInt(argv[++i], options.start.timeScale) || options.start.timeScale < 1)
                return Usage();
        } else if (arg == "--yes") {
            options.answerYes = true;
        } else if (arg == "--choose" && hasValue) {
            if (!ToInt(argv[++i], options.choice))
                return Usage();
        } else {
            return Usage();
        }
    }
    if (!haveMode)
        return Usage();
    if (!dir.empty()) {
        if (!std::filesystem::is_directory(dir)) {
            std::fprintf(stderr, "corvay-headless: no directory %s\n", dir.c_str());
            return 2;
        }
        platform::SetProgramDirectory((std::filesystem::absolute(dir).string() + "/").c_str());
        // The card roles of a bench directory live beside it.
        if (std::filesystem::is_directory(std::filesystem::path(dir) / "registry") &&
            !std::getenv("CORVAY_REGISTRY_ROOT"))
            platform::SetRegistryRoot((std::filesystem::absolute(dir) / "registry").string().c_str());
    }
    StartSuperLogger();
    options.start.stop = &g_stop;
    const int code = RunHeadlessJob(options, stdout, stderr, &g_stop);
    ShutdownSuperLogger();
    return code;
}
