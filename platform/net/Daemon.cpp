#include "platform/net/Daemon.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/files/FileIo.h"
#include "platform/files/UniqueFd.h"

extern char** environ;

namespace platform {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void ExecDaemon(char* const* argv, char* const* envp, int errorPipe) {
    sigset_t all;
    sigemptyset(&all);
    ::sigprocmask(SIG_SETMASK, &all, nullptr);
    for (int signal = 1; signal < 32; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP)
            ::signal(signal, SIG_DFL);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (null > 2)
            ::close(null);
    }
    // Every other descriptor closes on exec, the error pipe with them.
    ::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC);
    ::execve(argv[0], argv, envp);
    int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

bool ReadAll(int fd, void* data, size_t length) {
    auto* bytes = static_cast<char*>(data);
    while (length > 0) {
        ssize_t got = ::read(fd, bytes, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::stringstream directories(path ? path
                                       : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (directory.empty())
            continue;
        std::string candidate = directory + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return {};
}

pid_t StartDaemon(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  int* error) {
    auto fail = [&](int code) {
        if (error)
            *error = code;
        return pid_t(0);
    };
    if (argv.empty() || argv[0].find('/') == std::string::npos)
        return fail(ENOENT);

    // Everything the children need is made before the fork.
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text(*entry);
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const std::string& extra) { return NameOf(extra) == NameOf(text); }))
            entries.push_back(std::move(text));
    }
    entries.insert(entries.end(), environment.begin(), environment.end());
    std::vector<char*> envp, args;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words(argv);
    for (std::string& word : words)
        args.push_back(word.data());
    args.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return fail(errno);
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);

    pid_t middle = ::fork();
    if (middle < 0)
        return fail(errno);
    if (middle == 0) {
        ::setsid();
        pid_t daemon = ::fork();
        if (daemon == 0)
            ExecDaemon(args.data(), envp.data(), writeEnd.Get());
        (void)!::write(writeEnd.Get(), &daemon, sizeof daemon);
        ::_exit(daemon > 0 ? 0 : 1);
    }
    writeEnd.Reset();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t daemon = 0;
    if (!ReadAll(readEnd.Get(), &daemon, sizeof daemon) || daemon <= 0)
        return fail(EAGAIN);
    // The pipe reaches end of file at the exec; an errno before it is a failed exec.
    int execError = 0;
    if (ReadAll(readEnd.Get(), &execError, sizeof execError)) {
        IsRunning(daemon); // reaps it when the caller happens to be its reaper
        return fail(execError);
    }
    if (error)
        *error = 0;
    return daemon;
}

std::vector<std::string> ProcessCommandLine(pid_t pid) {
    std::string text = ReadWholeFile("/proc/" + std::to_string(pid) + "/cmdline").value_or("");
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == '\0') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

bool IsRunning(pid_t pid) {
    if (pid <= 0)
        return false;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
        return false;
    std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
    // "pid (comm) S ...": the name may hold blanks and parentheses, the state follows the last ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    char state = stat[close + 2];
    return state != 'Z' && state != 'X';
}

pid_t RunningPidFromFile(const std::string& pidFile, const std::vector<std::string>& words) {
    long pid = std::atol(ReadWholeFile(pidFile).value_or("").c_str());
    if (pid <= 0)
        return 0;
    if (!IsRunning(static_cast<pid_t>(pid)))
        return 0;
    std::vector<std::string> commandLine = ProcessCommandLine(static_cast<pid_t>(pid));
    for (const std::string& word : words)
        if (std::find(commandLine.begin(), commandLine.end(), word) == commandLine.end())
            return 0;
    return static_cast<pid_t>(pid);
}

namespace {

uint64_t NamespaceInode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_ino) : 0;
}

} // namespace

uint64_t CurrentNetNamespace() {
    // Not /proc/self: a thread may have entered a namespace of its own.
    return NamespaceInode("/proc/thread-self/ns/net");
}

uint64_t NetNamespaceOf(pid_t pid) {
    return pid > 0 ? NamespaceInode("/proc/" + std::to_string(pid) + "/ns/net") : 0;
}

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool StopDaemon(pid_t pid, std::chrono::milliseconds grace) {
    if (!IsRunning(pid))
        return true;
    ::kill(pid, SIGTERM);
    auto gone = [pid] { return !IsRunning(pid); };
    if (PollUntil(gone, grace))
        return true;
    ::kill(pid, SIGKILL);
    return PollUntil(gone, std::chrono::milliseconds(2000));
}

} // namespace platform
