#include "bench/NetNamespace.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <net/if.h>
#include <sched.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace bench {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

namespace {

constexpr const char* kPrefix = "cvt";
constexpr const char* kNetnsDir = "/run/netns";

// Runs a shell command line; returns its exit status (-1 when it did not end normally).
int RunCommand(const std::string& command, std::string* output) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[512];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, got);
    int status = ::pclose(pipe);
    if (output)
        *output = text;
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Namespaces named after a process that no longer runs were left by a killed test. Those named
// after this process are as stale: pids are reused, and this process has made none yet.
void SweepStaleNamespaces() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kNetnsDir, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        std::string rest = name.substr(std::strlen(kPrefix));
        size_t dash = rest.find('-');
        if (dash == std::string::npos || dash == 0)
            continue;
        pid_t pid = static_cast<pid_t>(std::atol(rest.substr(0, dash).c_str()));
        if (pid > 0 && (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH)))
            RunCommand("ip netns delete " + ShellQuote(name), nullptr);
    }
}

} // namespace

bool EnterNamespace(const NetNamespace& ns) {
    return ::setns(ns.Fd(), CLONE_NEWNET) == 0;
}

int RunCommandLine(const std::string& command, std::string* output) {
    return RunCommand(command, output);
}

NetNamespace::NetNamespace() {
    static std::once_flag swept;
    std::call_once(swept, SweepStaleNamespaces);
    static std::atomic<int> counter{0};
    m_name = kPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    std::string output;
    if (RunCommand("ip netns add " + ShellQuote(m_name), &output) != 0)
        throw std::runtime_error("ip netns add " + m_name + ": " + output);
    m_fd.Reset(::open((std::string(kNetnsDir) + "/" + m_name).c_str(), O_RDONLY | O_CLOEXEC));
    if (!m_fd) {
        RunCommand("ip netns delete " + ShellQuote(m_name), nullptr);
        throw std::runtime_error("cannot open namespace " + m_name + ": " + std::strerror(errno));
    }
    Ip("link set lo up");
}

NetNamespace::~NetNamespace() {
    m_fd.Reset();
    // Deleting the namespace takes its veth ends with it, and so their peers elsewhere.
    RunCommand("ip netns delete " + ShellQuote(m_name), nullptr);
}

void NetNamespace::Ip(const std::string& args) const {
    std::string output;
    if (RunCommand("ip -n " + ShellQuote(m_name) + " " + args, &output) != 0)
        throw std::runtime_error("ip -n " + m_name + " " + args + ": " + output);
}

int NetNamespace::Shell(const std::string& command, std::string* output) const {
    return RunCommand("ip netns exec " + ShellQuote(m_name) + " sh -c " + ShellQuote(command), output);
}

int NetNamespace::IfIndex(const std::string& link) const {
    // Asked inside the namespace: a socket made there names its links. (ip's own output also
    // carries complaints about namespaces that other tests are deleting meanwhile.)
    unsigned index = 0;
    std::thread([&] {
        if (EnterNamespace(*this))
            index = ::if_nametoindex(link.c_str());
    }).join();
    return static_cast<int>(index);
}

std::string NetNamespaceUnavailableReason() {
    static const std::string reason = [] {
        if (::geteuid() != 0)
            return std::string("network namespaces need root");
        if (RunCommand("ip -V", nullptr) != 0)
            return std::string("ip (iproute2) is not installed");
        try {
            NetNamespace probe;
        } catch (const std::exception& e) {
            return std::string("cannot make a network namespace: ") + e.what();
        }
        return std::string();
    }();
    return reason;
}

void AddVethPair(const NetNamespace& a, const std::string& nameA, const NetNamespace& b,
                 const std::string& nameB, const std::string& macA, const std::string& macB) {
    std::string command = "link add " + nameA + (macA.empty() ? "" : " address " + macA) +
                          " type veth peer name " + nameB + (macB.empty() ? "" : " address " + macB) +
                          " netns " + b.Name();
    a.Ip(command);
    a.Ip("link set " + nameA + " up");
    b.Ip("link set " + nameB + " up");
}

void RunInside(const NetNamespace& ns, const std::function<void()>& body) {
    std::exception_ptr failure;
    std::thread thread([&] {
        try {
            if (!EnterNamespace(ns))
                throw std::runtime_error("setns " + ns.Name() + ": " + std::strerror(errno));
            body();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace bench
