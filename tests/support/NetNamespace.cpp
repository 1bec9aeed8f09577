#include "tests/support/NetNamespace.h"

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
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

using bench::EnterNamespace;

namespace {
// In a child of RunInChildProcess: whether it has a mount namespace of its own.
bool g_ownMounts = false;
} // namespace

void RunInChildProcess(const std::function<void()>& body, int seconds) {
    enum { kPassed = 0, kFailed = 1, kThrew = 2, kSkipped = 4 };
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0) << "fork: " << std::strerror(errno);
    if (child == 0) {
        ::alarm(static_cast<unsigned>(seconds));
        // Mounts of its own: a fresh sysfs, and the namespaces a bench makes here go with it.
        g_ownMounts =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_SLAVE | MS_REC, nullptr) == 0;
        int code = kPassed;
        // Only what this body adds counts: the child inherits the test's earlier results.
        const ::testing::TestResult* result =
            ::testing::UnitTest::GetInstance()->current_test_info()->result();
        int firstPart = result->total_part_count();
        try {
            body();
            for (int i = firstPart; i < result->total_part_count(); ++i) {
                if (result->GetTestPartResult(i).failed())
                    code = kFailed;
                else if (result->GetTestPartResult(i).skipped() && code == kPassed)
                    code = kSkipped;
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "exception in the namespace child: %s\n", e.what());
            code = kThrew;
        } catch (...) {
            std::fprintf(stderr, "unknown exception in the namespace child\n");
            code = kThrew;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        ADD_FAILURE() << "namespace child ended by signal " << WTERMSIG(status)
                      << (WTERMSIG(status) == SIGALRM ? " (time-out)" : "");
        return;
    }
    switch (WEXITSTATUS(status)) {
    case kPassed:
        return;
    case kSkipped:
        GTEST_SKIP() << "skipped inside the namespace child";
    default:
        ADD_FAILURE() << "namespace child failed (exit " << WEXITSTATUS(status) << "); see its output above";
    }
}

bool EnterWithOwnSys(const NetNamespace& ns) {
    if (!EnterNamespace(ns))
        return false;
    // sysfs shows the network namespace of the one who mounts it.
    if (g_ownMounts && ::umount2("/sys", MNT_DETACH) == 0)
        ::mount("sysfs", "/sys", "sysfs", 0, nullptr);
    return true;
}

void RunInChild(const NetNamespace& ns, const std::function<void()>& body, int seconds) {
    RunInChildProcess(
        [&] {
            if (!EnterWithOwnSys(ns)) {
                ADD_FAILURE() << "namespace child could not enter " << ns.Name() << ": "
                              << std::strerror(errno);
                return;
            }
            body();
        },
        seconds);
}

NamespaceThread::NamespaceThread(const NetNamespace& ns, std::function<void(std::stop_token)> body)
    : m_thread([fd = ns.Fd(), name = ns.Name(), body = std::move(body)](std::stop_token stop) {
          if (::setns(fd, CLONE_NEWNET) != 0) {
              ADD_FAILURE() << "setns " << name << ": " << std::strerror(errno);
              return;
          }
          body(stop);
      }) {}

NamespaceThread::~NamespaceThread() {
    Stop();
}

void NamespaceThread::Stop() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void NetnsTest::SetUp() {
    std::string reason = NetNamespaceUnavailableReason();
    if (!reason.empty())
        GTEST_SKIP() << reason;
}

NetNamespace& NetnsTest::AddNamespace() {
    m_namespaces.push_back(std::make_unique<NetNamespace>());
    return *m_namespaces.back();
}

void PcBenchTest::SetUp() {
    NetnsTest::SetUp();
    if (IsSkipped())
        return;
    pc = &AddNamespace();
    bench = &AddNamespace();
    AddVethPair(*pc, "lan0", *bench, "lanpeer", kLanMac);
    AddVethPair(*pc, "wan0", *bench, "wanpeer", kWanMac);
}

} // namespace testsupport
