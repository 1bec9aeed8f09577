#include "platform/net/Process.h"

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files/UniqueFd.h"

extern char** environ;

namespace platform {
namespace {

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

std::chrono::milliseconds Left(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// Reads what the pipe holds now; false once it is closed on the other side.
bool Drain(int fd, std::string& output, size_t maxOutput) {
    char chunk[4096];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            if (output.size() < maxOutput)
                output.append(chunk, std::min(static_cast<size_t>(got), maxOutput - output.size()));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && errno == EAGAIN;
    }
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (c == '\\' && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
            word += '"';
            inWord = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

ProcessResult RunProcess(const std::string& commandLine, const ProcessOptions& options) {
    ProcessResult result;
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        result.error = ENOENT;
        return result;
    }

    UniqueFd readEnd, writeEnd;
    if (options.capture) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            result.outcome = ProcessResult::Outcome::PipeFailed;
            result.error = errno;
            return result;
        }
        readEnd.Reset(ends[0]);
        writeEnd.Reset(ends[1]);
        ::fcntl(readEnd.Get(), F_SETFL, O_NONBLOCK);
    } else {
        writeEnd.Reset(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (!writeEnd) {
            result.outcome = ProcessResult::Outcome::PipeFailed;
            result.error = errno;
            return result;
        }
    }

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.Get(), STDERR_FILENO);
    // Own process group, so a time-out reaches the command's children too; clean signal state.
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&setup.attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&setup.attributes, &signals);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> extra = options.environment;
    std::vector<char*> envp;
    for (auto& e : extra)
        envp.push_back(e.data());
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        bool overridden = false;
        for (auto& x : extra) {
            auto name = x.substr(0, x.find('=') + 1);
            overridden |= entry.substr(0, name.size()) == name;
        }
        if (!overridden)
            envp.push_back(*e);
    }
    envp.push_back(nullptr);

    pid_t pid = -1;
    int spawnError =
        ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), envp.data());
    writeEnd.Reset();
    if (spawnError != 0) {
        result.error = spawnError;
        return result;
    }

    // A pidfd wakes the poll when the command ends; without one, look every 10 ms.
    UniqueFd processFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    bool ended = false;
    while (!ended) {
        auto left = Left(deadline);
        if (left.count() == 0)
            break;
        pollfd fds[2];
        nfds_t count = 0;
        if (readEnd)
            fds[count++] = {readEnd.Get(), POLLIN, 0};
        if (processFd)
            fds[count++] = {processFd.Get(), POLLIN, 0};
        int wait =
            processFd ? static_cast<int>(left.count()) : std::min<int>(10, static_cast<int>(left.count()));
        int ready = ::poll(fds, count, wait);
        if (ready < 0 && errno != EINTR)
            break;
        if (readEnd && ready > 0 && fds[0].revents)
            if (!Drain(readEnd.Get(), result.output, options.maxOutput))
                readEnd.Reset();
        pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        if (reaped == pid || (reaped < 0 && errno == ECHILD))
            ended = true;
    }

    if (!ended) {
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.outcome = ProcessResult::Outcome::TimedOut;
        result.output.clear();
        return result;
    }
    // Everything the command wrote is in the pipe now; a child it left behind may keep the
    // pipe open, so take what is there and do not wait for its end.
    if (readEnd)
        Drain(readEnd.Get(), result.output, options.maxOutput);
    result.outcome = ProcessResult::Outcome::Finished;
    result.exitStatus = status;
    return result;
}

} // namespace platform
