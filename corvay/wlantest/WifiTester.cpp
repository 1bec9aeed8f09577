#include "corvay/wlantest/WifiTester.h"

#include <exception>

#include "corvay/wlantest/WLanTestSession.h"
#include "engine/Common.h"
#include "engine/config/GlobalPCInfo.h"
#include "engine/jobs/BaseModemTester.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/ISwitchManager.h"
#include "engine/switch/ThrowError.h"

namespace {

void SwitchTimedOut() {
    LogError("BaseModemTester::Start():与交换机通讯超时");
    ShowErrorMessage(LoadStringId(1));
}

} // namespace

WifiTester::WifiTester(Tester& tester, WifiTesterUi& ui, LanCardSwitch& card)
    : m_tester(tester), m_ui(ui), m_card(card), m_ports(tester.GetPortList()) {}

int WifiTester::Run() {
    int result = kJobAborted;
    try {
        result = RunPorts();
    } catch (const SwitchTimeoutError&) {
        SwitchTimedOut();
    } catch (long code) {
        if (code == SwitchTimeoutError::kCode)
            SwitchTimedOut();
        else
            LogError("未知错误，错误代码：%d", static_cast<int>(code));
    } catch (Throw_Error error) {
        const CString text = SwitchErrorText(error);
        if (!text.IsEmpty())
            ShowErrorMessage(text);
        LogError("SwitchManager_Throw_Error");
    } catch (const std::exception& e) {
        LogError("BaseModemTester::Start()：未知的异常，线程中止。");
        LogDebug("%s", e.what());
    } catch (...) {
        LogError("BaseModemTester::Start()：未知的异常，线程中止。");
    }
    if (m_ui.DeletePleaseWait())
        LogDebug("AsynWaitingDlg::Delete()");
    GlobalPCInfo().ClearWMI();
    return result;
}

int WifiTester::RunPorts() {
    JobEnvironment& env = m_tester.GetEnvironment();
    ISwitchManager& manager = ChooseSwitchManager(env);
    GlobalPCInfo().InitWMI(0);
    env.clearArp();
    manager.DisableAllPortsExceptTrunk();
    if (m_tester.IsStopped())
        return kJobStopped;

    int result = kJobFinished;
    for (SwitchPort* port : m_ports) {
        const int number = port->GetPortNo();
        manager.EnablePort(number);
        env.clearArp();
        CString wait;
        wait.Format(LoadStringId(110).GetString(), number);
        m_ui.ShowPortWait(env.timings.portSettleMs, wait);

        if (port->GetLinkState() == SwitchPort::Link_Up) {
            if (!TestPort(*port)) {
                result = kJobStopped;
                break;
            }
        } else {
            LogDebug("端口%d Link Down,无法进行测试。", number);
        }
        m_tester.PostToView(WM_PORT_UPDATED, static_cast<uintptr_t>(number));
        LogDebug("ClearArpTable");
        env.clearArp();
        manager.DisablePort(number);
        LogDebug("After DisablePort");
        m_tester.PostToView(WM_PORTS_REFRESH, 0);
    }
    manager.EnableAllPorts();
    m_tester.PostToView(WM_PORTS_REFRESH, 0);
    return result;
}

// False when the operator aborted (or the job was stopped) in the port's dialog.
bool WifiTester::TestPort(SwitchPort& port) {
    const int number = port.GetPortNo();
    ViewSink* view = m_tester.GetView();
    TestInfo* info = view ? view->GetTestInfo(number) : nullptr;
    if (info == nullptr) {
        // A port the view keeps no record of has nowhere to put its result.
        LogWarning("端口%d没有测试记录，跳过。", number);
        return true;
    }
    const JobEnvironment& env = m_tester.GetEnvironment();
    WLanTestEnvironment steps;
    steps.clock = env.clock;
    steps.ping = env.ping;
    steps.clearArp = env.clearArp;
    steps.card = &m_card;
    steps.showPleaseWait = [this](const CString& text) { m_ui.ShowPleaseWait(text); };
    steps.hidePleaseWait = [this] { m_ui.HidePleaseWait(); };
    steps.modemIp = env.system.Modem.DefaultModemIp;
    steps.pingPeriodMs = env.system.PingTestPeriod;
    steps.signalQuality = env.system.SingalQualityStandard;
    steps.joinWaitMs = env.timings.wlanJoinWaitMs;
    steps.cardWaitMs = env.timings.lanCardWaitMs;

    LogDebug("Show WlanTest Dlg");
    m_ui.ShowPleaseWait(LoadStringId(59));
    int code;
    {
        WLanTestSession session(*info, number, steps);
        // Whatever ends the dialog, the panel's clean-up runs before the job goes on.
        struct Closer {
            WLanTestSession& s;
            ~Closer() { s.Steps().Close(); }
        } closer{session};
        m_ui.OpenTestDialog(session);
        code = session.Serve([this] { return m_tester.IsStopped(); });
    }
    if (code == kDialogCancel) {
        m_tester.Stop();
        info->Update([](TestInfo::Data& d) { d.Wifi = WifiTestResult(); });
        return false;
    }
    LogDebug("WlanTestDlg Get %d", code);
    return true;
}

int RunWifiTester(Tester& tester) {
    WifiTester job(tester);
    return job.Run();
}
