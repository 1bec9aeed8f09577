#pragma once
// The test side of the bench's network namespaces (bench/NetNamespace.h): bodies run on a
// dedicated thread that has entered the namespace (RunInside, NamespaceThread) or in a forked
// child (RunInChild), whose main thread enters it with /sys mounted afresh, so that sysfs and
// /proc/net show the namespace too (libpcap reads both); fixtures that skip without root and
// remove what they made.

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "bench/NetNamespace.h"

namespace testsupport {

using bench::AddVethPair;
using bench::NetNamespace;
using bench::NetNamespaceUnavailableReason;
using bench::RunInside;

// Runs the body in a forked child with a mount namespace of its own; a failed assertion, an
// exception or a crash in the child fails the calling test. The child is killed after
// 'seconds'. Call it before the test starts any thread: only the calling thread lives on in the
// child, a lock another thread held stays held there, and TSan refuses new threads in it. A
// bench with threads of its own is therefore built inside the body.
void RunInChildProcess(const std::function<void()>& body, int seconds = 120);

// In such a child: the calling thread enters the namespace, and /sys is mounted afresh so that
// it shows the namespace. Call it from the child's main thread (/proc/net follows that one).
bool EnterWithOwnSys(const NetNamespace& ns);

// RunInChildProcess with the body in the namespace.
void RunInChild(const NetNamespace& ns, const std::function<void()>& body, int seconds = 120);

// A helper thread that lives inside a namespace (a peer, a server) until it is stopped; the
// body must return once the stop token is set.
class NamespaceThread {
public:
    NamespaceThread(const NetNamespace& ns, std::function<void(std::stop_token)> body);
    ~NamespaceThread();
    NamespaceThread(const NamespaceThread&) = delete;
    NamespaceThread& operator=(const NamespaceThread&) = delete;
    void Stop();

private:
    std::jthread m_thread;
};

// Fixture of the *_netns_test files: skips the test when namespaces cannot be made, and
// removes every namespace it made at the end of the test.
class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override;
    NetNamespace& AddNamespace();

private:
    std::vector<std::unique_ptr<NetNamespace>> m_namespaces;
};

// A PC namespace with the two cards "lan0" (kLanMac) and "wan0" (kWanMac), whose peers
// "lanpeer" and "wanpeer" are in a bench namespace.
class PcBenchTest : public NetnsTest {
protected:
    static constexpr const char* kLanMac = "02:00:00:00:0a:01";
    static constexpr const char* kWanMac = "02:00:00:00:0b:01";
    void SetUp() override;

    NetNamespace* pc = nullptr;
    NetNamespace* bench = nullptr;
};

} // namespace testsupport
