#include "engine/jobs/Tester.h"

#include <chrono>
#include <exception>

#include "engine/jobs/BaseModemTester.h"
#include "engine/jobs/TestContext.h"
#include "engine/jobs/ViewSink.h"
#include "engine/log/Logger.h"
#include "engine/ping/PingTest.h"
#include "engine/records/TestRecords.h"

namespace {

std::atomic<uint64_t> g_nextSerial{1};

const char* Stars() {
    static const CString stars('*', 96);
    return stars;
}

} // namespace

Tester::Tester(ViewSink* view, int mode) : m_serial(g_nextSerial.fetch_add(1)), m_mode(mode), m_pView(view) {}

Tester::~Tester() {
    if (!IsStarted()) {
        LogDebug("this->m_pThread == NULL");
    } else if (IsRunning()) {
        LogInfo("Tester::~Tester()线程仍在运行。");
        Stop();
        if (WaitForEnd(kStopWaitMs))
            LogDebug("线程退出。");
        else
            LogWarning("Tester线程在%u毫秒内未退出，继续等待它结束。", kStopWaitMs);
    } else {
        LogDebug("线程退出。");
    }
    // The thread uses the members below until it returns, so it is joined first.
    Join();
    m_pView = nullptr;
    std::lock_guard<std::mutex> lock(m_portsMutex);
    m_ports.clear();
}

int Tester::Init() {
    return GetLinkUpPortList();
}

int Tester::GetLinkUpPortList() {
    m_initFlag.store(0);
    if (m_pView == nullptr) {
        LogError("Tester::GetLinkUpPortList().this->m_pView == NULL");
        return 0;
    }
    std::vector<SwitchPort*> ports = m_pView->GetLinkUpPorts();
    {
        std::lock_guard<std::mutex> lock(m_portsMutex);
        m_ports = std::move(ports);
    }
    m_initFlag.store(1);
    return 1;
}

std::vector<SwitchPort*> Tester::GetPortList() const {
    std::lock_guard<std::mutex> lock(m_portsMutex);
    return m_ports;
}

int Tester::Run() {
    LogDebug("Test is starting.\n%s", Stars());
    int code = kJobAborted;
    // Whatever escapes a routine, the job still ends as aborted and reports its end.
    try {
        code = m_routine ? m_routine(*this) : RunMode();
    } catch (const std::exception& e) {
        LogError("Tester::Run(): %s", e.what());
        code = kJobAborted;
    } catch (...) {
        LogError("Tester::Run(): unknown exception, job aborted");
        code = kJobAborted;
    }
    // The result is stored before the event so that whoever wakes on it reads the final code.
    m_result.store(code);
    if (m_pView != nullptr)
        m_pView->SignalTestEnded(m_serial);
    LogDebug("Test is finished.\n%s", Stars());
    return code;
}

int Tester::RunMode() {
    const ModemConfig& modem = m_env.system.Modem;
    // The per-port routine, then (unless it failed or the user stopped) the ping test.
    auto withPingTest = [&](int (*routine)(TestContext&), const char* failedText) {
        int code;
        {
            TestContext context(*this);
            code = routine(context);
        }
        if (code == kJobAborted) {
            LogDebug("%s", failedText);
            return kJobAborted;
        }
        if (IsStopped())
            return code;
        m_env.clock->SleepFor(std::chrono::milliseconds(m_env.timings.beforePingTestMs));
        return RunPingTest(modem.StandTestPeriod);
    };
    switch (GetMode()) {
    case Mode_Standard:
        return withPingTest(&BaseModemTester::Start, "BaseModemTester异常终止，因此不做后续Ping测试。");
    case Mode_LongPing:
        return RunPingTest(modem.LongPingTestPeriod);
    case Mode_Ping:
        return RunPingTest(modem.StandTestPeriod);
    case Mode_Wifi: {
        if (!m_env.wifiTest) {
            LogError("Tester::Run(): the wireless test is not built");
            return kJobAborted;
        }
        const int code = m_env.wifiTest(*this);
        if (code == kJobAborted)
            LogDebug("WifiTester异常终止。");
        return code;
    }
    case Mode_Upgrade: {
        TestContext context(*this);
        return Upgrader::Start(context);
    }
    case Mode_Simply:
        return withPingTest(&SimplyTester::Start, "simplyTester异常终止，因此不做后续Ping测试。");
    default:
        LogDebug("It is impossible.");
        return kJobFinished;
    }
}

int Tester::RunPingTest(int period) {
    PingTest test(*this, *m_env.clock);
    test.SetPeriod(period);
    test.SetLateFrameWait(m_env.timings.lateFrameWaitMs);
    return test.Run();
}

int Tester::Exit() {
    if (m_pView == nullptr) {
        LogDebug("线程异常终止。");
        return 1;
    }
    PostToView(WM_TEST_FINISHED, m_initFlag.load() == 1 ? m_result.load() : kJobAborted);
    return 0;
}

void Tester::PostToView(unsigned message, uintptr_t wParam) const {
    if (m_pView != nullptr)
        m_pView->PostViewMessage(message, wParam, 0, m_serial);
}

void PostPortUpdated(const Tester& tester, const TestInfo& info) {
    tester.PostToView(WM_PORT_UPDATED, static_cast<uintptr_t>(info.GetPort()));
}
