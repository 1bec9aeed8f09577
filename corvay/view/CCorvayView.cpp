#include "corvay/view/CCorvayView.h"

#include "corvay/dialogs/MyIE.h"

#include <algorithm>

#include "corvay/app/TestFlags.h"
#include "corvay/wlantest/WifiTester.h"
#include "engine/config/Configer.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/ping/NicMonitors.h"
#include "engine/ping/PingFrames.h"
#include "engine/records/PortRow.h"
#include "engine/records/TestRecords.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/prompt/Prompt.h"

namespace {

constexpr int kFixedColumn = 50;

void Box(unsigned id) {
    platform::ShowMessageBox(LoadStringId(id), "", platform::kMbOk);
}

int PortNo(intptr_t packed) {
    return static_cast<int>(packed & 0xFFFF);
}
int PortLink(intptr_t packed) {
    return static_cast<int>((packed >> 16) & 0xFF);
}
int PortEnable(intptr_t packed) {
    return static_cast<int>((packed >> 24) & 0xFF);
}

} // namespace

const std::vector<int>& CCorvayView::Icons() {
    static const std::vector<int> icons{135, 136, 138, 137, 147, 148, 151, 150, 161, 162};
    return icons;
}

intptr_t CCorvayView::PackPort(const SwitchPort& port) {
    return (port.GetPortNo() & 0xFFFF) | ((port.GetLinkState() & 0xFF) << 16) |
           (static_cast<intptr_t>(port.GetEnableState() & 0xFF) << 24);
}

CCorvayView::CCorvayView(CorvayViewWindow& window, Options options)
    : m_window(window), m_options(std::move(options)) {
    SetTestingFlag(false);
    if (m_window.GetScreenSaverActive(m_screenSaverActive)) {
        LogInfo("获取当前屏保状态成功");
    } else {
        m_screenSaverActive = false;
        LogInfo("获取当前屏保状态失败");
    }
    m_switch = Configer::GetInstance()->GetSwitchConfig();
    for (int port = 1; port <= m_switch.PortCount; ++port)
        m_testInfos.push_back(std::make_unique<TestInfo>(port));
    m_serial = m_switch.IsSerial;
    if (m_serial) {
        m_pSM = SwitchManager::InstanceWithObserver(m_switch, this, m_options.console);
    } else {
        LogWarning("Code is error.");
        m_pSM = SwitchManager2::Instance(m_switch, m_options.telnetPort, m_options.telnetGuardMs);
        m_pSM->Attach(this);
    }
}

CCorvayView::~CCorvayView() {
    m_pTester.reset();
    m_window.SetCursorState(0);
    if (m_pSM)
        m_pSM->Detach(this);
    if (m_waitingLogin)
        m_window.StopTimer(Timer_LoginWait);
    if (m_stopping)
        m_window.StopTimer(Timer_StopWait);
}

// ---- initial update, sizes, commands --------------------------------------------------------

void CCorvayView::OnInitialUpdate() {
    m_window.InsertColumn(0, LoadStringId(133), kFixedColumn);
    m_window.InsertColumn(1, LoadStringId(134), 100);
    m_window.InsertColumn(2, LoadStringId(135), 100);
    m_window.SetImages(Icons());
    OnSize();
    m_titleText = LoadStringId(57344);
    ShowTitle(m_titleText);
    if (m_serial) {
        SwitchManagerImpl::ViewReadyEvent().Set();
        if (m_loginSignalled) {
            m_loginSignalled = false;
            ContinueInitialUpdate();
        } else {
            // The window paints and answers meanwhile; the login or the timer ends the wait.
            m_waitingLogin = true;
            m_window.StartTimer(Timer_LoginWait, kLoginWaitMs);
        }
        return;
    }
    RefreshPortStatus();
    HideSplashDlg();
}

void CCorvayView::ContinueInitialUpdate() {
    if (m_pSM->IsLoggedIn() == 1)
        RefreshPortStatus();
    else
        LogInfo("Login Switch failed.");
    HideSplashDlg();
}

void CCorvayView::OnSize() {
    const int width = m_window.GetClientWidth();
    const int percent = Configer::GetInstance()->GetSystemConfig().ModemInfoColumWidth;
    const int info = std::max(1, static_cast<int>(static_cast<long long>(width) * percent / 100));
    m_window.SetColumnWidth(0, kFixedColumn);
    m_window.SetColumnWidth(1, info);
    m_window.SetColumnWidth(2, std::max(1, width - info - kFixedColumn));
}

bool CCorvayView::UpdateCommand(int id, bool& enabled) const {
    switch (id) {
    case ID_STOP:
        enabled = IsTesting();
        return true;
    case ID_REFRESH:
    case ID_START_STANDARD:
    case ID_START_PING:
    case ID_START_BURNIN:
    case ID_START_WIFI:
    case ID_START_SIMPLE:
    case ID_START_UPGRADE:
    case ID_WEB_MANAGE:
    case 32781:
    case 32793:
    case 32794:
    case 32795:
    case 32797:
    case 32798:
    case 32799:
    case 32800:
    case 32805:
    case 57665:
        enabled = !IsTesting();
        return true;
    default:
        return false;
    }
}

bool CCorvayView::OnCommand(int id) {
    switch (id) {
    case ID_REFRESH:
        if (!IsTesting()) {
            ResetTestInfos();
            RefreshPortStatus();
        }
        return true;
    case ID_START_STANDARD:
        StartCommand(Tester::Mode_Standard, 37);
        return true;
    case ID_START_PING:
        StartCommand(Tester::Mode_Ping, 43);
        return true;
    case ID_START_BURNIN:
        StartCommand(Tester::Mode_LongPing, 38);
        return true;
    case ID_START_WIFI:
        StartCommand(Tester::Mode_Wifi, 60);
        return true;
    case ID_START_SIMPLE:
        StartCommand(Tester::Mode_Simply, 150);
        return true;
    case ID_START_UPGRADE:
        StartCommand(Tester::Mode_Upgrade, 149);
        return true;
    case ID_STOP:
        OnBtnStop();
        return true;
    case ID_WEB_MANAGE:
    case ID_WEB_MANAGE_MENU:
        WebManage();
        return true;
    case ID_DEVICE_LIST:
        m_window.RunDeviceDlg();
        return true;
    default:
        return false;
    }
}

bool CCorvayView::IsTesting() const {
    return IsTestingFlagSet();
}

// ---- messages ---------------------------------------------------------------------------------

void CCorvayView::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t serial) {
    switch (message) {
    case WM_PORT_UPDATED:
    case WM_PORTS_REFRESH:
    case WM_TEST_FINISHED:
    case WM_TEST_ENDED:
        // A message of a job that is no longer the last one started.
        if (serial != m_jobSerial.load()) {
            LogDebug("Message %u of an earlier job dropped.", message);
            return;
        }
        break;
    default:
        break;
    }
    switch (message) {
    case WM_PORT_UPDATED:
        UpdateRow(static_cast<int>(wParam));
        break;
    case WM_PORTS_REFRESH:
        for (const auto& info : m_testInfos)
            UpdateRow(info->GetPort());
        break;
    case WM_TEST_FINISHED:
        OnTestFinished(static_cast<int>(wParam));
        break;
    case WM_TEST_ENDED:
        if (m_stopping)
            FinishStop();
        break;
    case WM_SERIAL_PORT_BUSY:
        OnSerialPortBusy();
        break;
    case WM_SWITCH_NOTIFY:
        OnSwitchNotify(static_cast<int>(wParam), lParam);
        break;
    default:
        break;
    }
}

void CCorvayView::OnTimer(unsigned id) {
    if (id == Timer_LoginWait && m_waitingLogin) {
        m_waitingLogin = false;
        // The splash window's own timer has closed it by now.
        LogWarning("CCorvayView等待交换机超时。");
    } else if (id == Timer_StopWait && m_stopping && !m_stopTimedOut) {
        // The thread is never killed: the job stays until it ends, then the stop goes on.
        m_stopTimedOut = true;
        LogWarning("CCorvayView::OnBtnStop()停止测试超时。");
    }
}

void CCorvayView::Update(Subject* subject) {
    LogDebug("I am in CCorvayView::Update(Subject* subject)");
    if (!m_pSM) {
        LogError("this->m_pSM == NULL");
        return;
    }
    auto* sm = dynamic_cast<SwitchSubject*>(subject);
    const int type = sm ? sm->GetNotifyType() : 0;
    intptr_t port = 0;
    if (type == SwitchSubject::PortLinkUpDownNotify) {
        if (SwitchPort* p = m_pSM->GetLinkChangedPort())
            port = PackPort(*p);
    } else if (type == SwitchSubject::PortEnDisableNotify) {
        if (SwitchPort* p = m_pSM->GetEnDisabledPort())
            port = PackPort(*p);
    }
    m_window.Post(WM_SWITCH_NOTIFY, static_cast<uintptr_t>(type), port, 0);
    LogDebug("I am Out CCorvayView::Update(Subject* subject)");
}

void CCorvayView::OnSwitchNotify(int type, intptr_t port) {
    switch (type) {
    case SwitchSubject::PortLinkUpDownNotify:
        LogInfo("PortLinkUpDownNotify。");
        if (PortNo(port)) {
            SetPortIcon(port);
            LogInfo("Port %d link %d enable %d", PortNo(port), PortLink(port), PortEnable(port));
        }
        break;
    case SwitchSubject::PortEnDisableNotify:
        LogInfo("PortEnDisableNotify。");
        if (IsTesting() && PortNo(port)) {
            SetPortIcon(port);
            LogInfo("Port %d link %d enable %d", PortNo(port), PortLink(port), PortEnable(port));
        }
        break;
    case SwitchSubject::SerialPortOccupiedNotify:
        HideSplashDlg();
        m_window.Post(WM_SERIAL_PORT_BUSY, 0, 0, 0);
        break;
    case SwitchSubject::ConnectSwitchFailedNotify:
        LogError("连接交换机失败。");
        HideSplashDlg();
        Box(15);
        LogErrorString(LoadStringId(15));
        break;
    case SwitchSubject::LoginSwitchFailed:
        LogError("登录交换机失败。");
        HideSplashDlg();
        Box(14);
        if (m_window.RunSwitchConfigDlg()) {
            m_window.SetCursorState(2);
            m_pSM->Reconnect();
        }
        m_window.SetCursorState(IsTesting() ? 3 : 0);
        break;
    case SwitchSubject::SwitchNoResponseNotify:
        LogError("交换机无响应。");
        HideSplashDlg();
        Box(16);
        LogErrorString(LoadStringId(16));
        break;
    case SwitchSubject::LoginSwitchSuccessNotify:
        LogInfo("登录交换机成功。");
        SignalLogin();
        break;
    default:
        LogWarning("CCorvayView::Update 未知的事件。");
        break;
    }
}

void CCorvayView::SignalLogin() {
    if (m_waitingLogin) {
        m_waitingLogin = false;
        m_window.StopTimer(Timer_LoginWait);
        ContinueInitialUpdate();
    } else {
        m_loginSignalled = true;
    }
}

void CCorvayView::HideSplashDlg() {
    LogInfo("CCorvayView::HideSplashDlg()");
    if (m_splashClosed)
        return;
    m_splashClosed = true;
    SignalLogin();
    LogInfo("CloseSplashScreen");
    m_window.CloseSplash();
}

void CCorvayView::OnSerialPortBusy() {
    LogError("串口被占用。");
    CString text;
    text.Format(LoadStringId(13), m_switch.Serial.Port);
    LogErrorString(text);
    platform::ShowMessageBox(text, "", platform::kMbOk);
    m_window.CloseMainWindow();
}

// ---- ViewSink ---------------------------------------------------------------------------------

void CCorvayView::PostViewMessage(unsigned message, uintptr_t wParam, intptr_t lParam, uint64_t jobSerial) {
    m_window.Post(message, wParam, lParam, jobSerial);
}

void CCorvayView::SignalTestEnded(uint64_t jobSerial) {
    m_window.Post(WM_TEST_ENDED, 0, 0, jobSerial);
}

std::vector<SwitchPort*> CCorvayView::GetLinkUpPorts() {
    std::lock_guard lock(m_portsMutex);
    std::vector<SwitchPort*> up;
    for (SwitchPort* port : m_ports)
        if (port && port->GetPortNo() != m_switch.TrunkPortNo && port->GetLinkState() == SwitchPort::Link_Up)
            up.push_back(port);
    return up;
}

TestInfo* CCorvayView::GetTestInfo(int port) {
    if (port < 1 || port > static_cast<int>(m_testInfos.size()))
        return nullptr;
    return m_testInfos[port - 1].get();
}

std::vector<PingPort*> CCorvayView::GetPingPortList() {
    std::lock_guard lock(m_portsMutex);
    std::vector<PingPort*> list;
    for (const auto& p : m_pingPorts)
        list.push_back(p.get());
    return list;
}

// ---- rows -------------------------------------------------------------------------------------

int CCorvayView::RowOfPort(int port) const {
    auto it = std::find(m_rowPorts.begin(), m_rowPorts.end(), port);
    return it == m_rowPorts.end() ? -1 : static_cast<int>(it - m_rowPorts.begin());
}

int CCorvayView::RowPort(int row) const {
    return row >= 0 && row < static_cast<int>(m_rowPorts.size()) ? m_rowPorts[row] : 0;
}

int CCorvayView::SelectedRow() const {
    const int row = m_window.GetSelectedRow();
    return row < 0 ? 0 : row;
}

SwitchPort* CCorvayView::RowSwitchPort(int row) const {
    const int port = RowPort(row);
    std::lock_guard lock(m_portsMutex);
    for (SwitchPort* p : m_ports)
        if (p && p->GetPortNo() == port)
            return p;
    return nullptr;
}

void CCorvayView::FillList() {
    m_window.DeleteAllRows();
    m_rowPorts.clear();
    std::vector<SwitchPort*> ports;
    {
        std::lock_guard lock(m_portsMutex);
        ports = m_ports;
    }
    // Rows follow the switch's port order; each knows its port by number, so a trunk that is
    // not the last port does not shift the later rows.
    for (SwitchPort* port : ports) {
        if (!port || port->GetPortNo() == m_switch.TrunkPortNo)
            continue;
        const int image = port->GetLinkState() == SwitchPort::Link_Up             ? 1
                          : port->GetEnableState() == SwitchPort::Enable_Disabled ? 2
                                                                                  : 0;
        CString text;
        text.Format("%d", port->GetPortNo());
        m_window.InsertRow(static_cast<int>(m_rowPorts.size()), text, image);
        m_rowPorts.push_back(port->GetPortNo());
    }
    m_window.Repaint();
}

void CCorvayView::SetPortIcon(intptr_t packed) {
    const int row = RowOfPort(PortNo(packed));
    TestInfo* info = GetTestInfo(PortNo(packed));
    if (row < 0 || !info)
        return;
    const TestInfo::Data d = info->Get();
    const bool identified = !d.Modem.FirmwareVersion.IsEmpty();
    if (PortLink(packed) == SwitchPort::Link_Up) {
        if (d.Wifi.HasResult)
            m_window.SetRowImage(row, WifiIcon(d.Wifi));
        else
            m_window.SetRowImage(row, identified ? 3 : 1);
    } else if (PortLink(packed) == SwitchPort::Link_Down) {
        m_window.SetRowImage(row, identified ? 3 : PortEnable(packed) == SwitchPort::Enable_Disabled ? 2 : 0);
    }
}

void CCorvayView::UpdateRow(int port) {
    TestInfo* info = GetTestInfo(port);
    const int row = RowOfPort(port);
    if (!info || row < 0)
        return;
    const PortRow shown = PortRowOf(*info, Configer::GetInstance()->GetSystemConfig().Dslam);
    if (shown.icon >= 0)
        m_window.SetRowImage(row, shown.icon);
    m_window.SetRowText(row, 1, shown.summary);
    if (shown.result)
        m_window.SetRowText(row, 2, *shown.result);
}

void CCorvayView::ResetTestInfos() {
    for (const auto& info : m_testInfos)
        info->Update([](TestInfo::Data& d) {
            d.Modem.Reset();
            const int percent = d.Ping.Percent, remaining = d.Ping.Remaining;
            d.Ping = PingStatistics();
            d.Ping.Percent = percent;
            d.Ping.Remaining = remaining;
            d.PingFlag = 0;
            d.Wifi = WifiTestResult();
        });
}

// ---- switch -----------------------------------------------------------------------------------

void CCorvayView::ShowSwitchError(int code) {
    Box(code == Error_LoginFailed ? 14 : code == Error_SocketError ? 16 : 15);
}

bool CCorvayView::RefreshPortStatus() {
    m_window.SetCursorState(2);
    bool ok = false;
    try {
        std::vector<SwitchPort*> ports = m_pSM->GetAllPortStatus();
        {
            std::lock_guard lock(m_portsMutex);
            m_ports = ports;
        }
        for (SwitchPort* port : ports)
            if (port && port->GetEnableState() == SwitchPort::Enable_Disabled) {
                LogInfo("Port %d is disabled,Enable it.", port->GetPortNo());
                m_pSM->EnablePort(port->GetPortNo());
            }
        for (const auto& info : m_testInfos)
            info->Update([&](TestInfo::Data& d) { d.TestMode = m_mode; });
        FillList();
        ok = true;
    } catch (Throw_Error code) {
        ShowSwitchError(code);
    } catch (const SwitchTimeoutError&) {
        if (m_pSM->IsLoggedIn() == 0) {
            Box(14);
            m_window.RunSwitchConfigDlg();
            m_pSM->Reconnect();
        } else {
            LogError("CCorvayView::RefreshPortStatus()与交换机通讯超时");
            Box(1);
        }
    }
    m_window.SetCursorState(IsTesting() ? 3 : 0);
    return ok;
}

// ---- test start and end -----------------------------------------------------------------------

void CCorvayView::ShowTitle(const CString& title) {
    if (!m_window.SetTitle(title))
        LogWarning("pManWin == NULL");
}

void CCorvayView::StartCommand(int mode, unsigned nameId) {
    // A start while a job runs changes nothing, not even the title.
    if (m_pTester)
        return;
    const CString appTitle = LoadStringId(57344);
    m_titleText = appTitle + "-" + LoadStringId(nameId);
    ShowTitle(m_titleText);
    if (!Start(mode) && mode != Tester::Mode_Wifi && mode != Tester::Mode_Upgrade &&
        mode != Tester::Mode_Simply) {
        m_titleText = appTitle;
        ShowTitle(m_titleText);
    }
}

bool CCorvayView::Start(int mode) {
    if (m_pTester)
        return true;
    m_window.SetCursorState(2);
    m_mode = mode;
    Configer* config = Configer::GetInstance();
    const auto restoreCursor = [&] { m_window.SetCursorState(IsTesting() ? 3 : 0); };
    if (!config->CheckNicConfigured()) {
        Box(41);
        restoreCursor();
        return false;
    }
    if (!Configer::IsNicConnected(config->GetWanNic())) {
        Box(34);
        restoreCursor();
        return false;
    }
    if (!Configer::IsNicConnected(config->GetLanNic())) {
        Box(35);
        restoreCursor();
        return false;
    }
    LANic_Monitor::Instance();
    WANic_Monitor::Instance();
    SetMonitorsStartedFlag(true);

    SetTestingFlag(true);
    if (m_screenSaverActive) {
        LogInfo("禁用屏幕保护");
        m_window.SetScreenSaverActive(false);
    }
    m_window.SetCursorState(3);
    ShowTitle(m_titleText + ":" + LoadStringId(39));
    ResetTestInfos();
    if (!RefreshPortStatus()) {
        EndOfTest();
        return false;
    }
    // Any other failure from here on ends the start like a refused one.
    try {
        SwitchPort* trunk = nullptr;
        {
            std::lock_guard lock(m_portsMutex);
            for (SwitchPort* p : m_ports)
                if (p && p->GetPortNo() == m_switch.TrunkPortNo)
                    trunk = p;
        }
        if (trunk && trunk->GetLinkState() != SwitchPort::Link_Up) {
            Box(36);
            EndOfTest();
            return false;
        }
        const SystemConfig system = config->GetSystemConfig();
        if (mode != Tester::Mode_Wifi && mode != Tester::Mode_Upgrade) {
            const CString waiting = m_titleText + ":" + LoadStringId(46);
            ShowTitle(waiting);
            const int scale = std::max(1, m_options.timeScale);
            m_window.RunWaitingDlg(waiting, system.Modem.WaitModemConnect / scale);
        }
        {
            std::lock_guard lock(m_portsMutex);
            m_pingPorts.clear();
            for (SwitchPort* p : m_ports)
                if (p)
                    m_pingPorts.push_back(std::make_unique<PingPort>(p->GetPortNo()));
        }
        if (GetLinkUpPorts().empty()) {
            EndOfTest();
            Box(33);
            return false;
        }
        JobEnvironment env;
        env.switchManager = m_pSM;
        env.system = system;
        env.switchConfig = m_switch;
        env.timings = TestTimings().Scaled(m_options.timeScale);
        env.wifiTest = &RunWifiTester;
        auto tester = std::make_unique<Tester>(this, mode);
        tester->SetEnvironment(env);
        if (m_options.routine)
            tester->SetRoutine(m_options.routine);
        m_jobSerial = tester->GetSerial();
        m_pTester = std::move(tester);
        m_stopping = false;
        m_stopTimedOut = false;
        m_pTester->Start();
    } catch (const std::exception& e) {
        LogError("CCorvayView::Start %s", e.what());
        EndOfTest();
        return false;
    }
    ShowTitle(m_titleText + ":" + LoadStringId(40));
    return true;
}

void CCorvayView::EndOfTest() {
    SetTestingFlag(false);
    if (m_screenSaverActive) {
        LogInfo("启用屏幕保护");
        m_window.SetScreenSaverActive(true);
    }
    m_window.SetCursorState(0);
    m_pTester.reset();
    ShowTitle(m_titleText);
}

void CCorvayView::OnBtnStop() {
    if (!m_pTester || m_stopping)
        return;
    m_pTester->Stop();
    m_stopping = true;
    m_stopTimedOut = false;
    // A timer in place of a blocking wait: the job's questions can still be answered.
    m_window.StartTimer(Timer_StopWait, kStopWaitMs);
}

void CCorvayView::FinishStop() {
    m_window.StopTimer(Timer_StopWait);
    m_stopping = false;
    if (m_stopTimedOut)
        LogWarning("CCorvayView::OnBtnStop()强制关闭m_pTester。");
    else
        LogInfo("CCorvayView::OnBtnStop()停止测试成功。");
    m_stopTimedOut = false;
    EndOfTest();
    try {
        m_pSM->EnableAllPorts();
    } catch (Throw_Error code) {
        ShowSwitchError(code);
    } catch (const SwitchTimeoutError&) {
        LogError("CCorvayView::OnBtnStop()与交换机通讯超时");
        Box(1);
    }
    for (const auto& info : m_testInfos)
        info->Update([](TestInfo::Data& d) { d.EndState = 1; });
}

void CCorvayView::OnTestFinished(int code) {
    if (m_stopping)
        FinishStop();
    m_pTester.reset();
    EndOfTest();
    m_window.Repaint();
    const int state = code == kJobStopped ? 1 : code == kJobAborted ? 2 : 0;
    for (const auto& info : m_testInfos)
        info->Update([&](TestInfo::Data& d) { d.EndState = state; });
    Box(state == 1 ? 136 : state == 2 ? 137 : 26);
}

// ---- list actions -----------------------------------------------------------------------------

void CCorvayView::OnDoubleClick() {
    if (IsTesting())
        return;
    const int row = SelectedRow();
    SwitchPort* port = RowSwitchPort(row);
    if (port && port->GetLinkState() == SwitchPort::Link_Up)
        if (TestInfo* info = GetTestInfo(port->GetPortNo()))
            m_window.RunResultDlg(*info);
}

void CCorvayView::OnContextMenu() {
    if (IsTesting())
        return;
    const int row = m_window.GetSelectedRow();
    if (row < 0)
        return;
    SwitchPort* port = RowSwitchPort(row);
    if (port && port->GetLinkState() == SwitchPort::Link_Up)
        m_window.PopupContextMenu();
}

void CCorvayView::WebManage() {
    if (IsTesting())
        return;
    {
        std::lock_guard lock(m_portsMutex);
        if (m_ports.empty())
            return;
    }
    m_window.SetCursorState(2);
    const int row = SelectedRow();
    SwitchPort* port = RowSwitchPort(row);
    if (!port || port->GetLinkState() != SwitchPort::Link_Up) {
        Box(57);
        m_window.SetCursorState(0);
        return;
    }
    const int portNo = port->GetPortNo();
    try {
        m_pSM->DisableAllPortsExceptTrunk();
        m_pSM->EnablePort(portNo);
        if (m_options.clearArp)
            m_options.clearArp();
        else
            ClearArpTable();
        m_window.RunWaitingDlg(LoadStringId(59), 10000 / std::max(1, m_options.timeScale));
        CString address;
        const TestInfo::Data d = GetTestInfo(portNo)->Get();
        if (!d.Modem.FirmwareVersion.IsEmpty()) {
            address = d.Modem.IpAddress;
        } else {
            const ModemPing ping = m_options.ping ? m_options.ping : ModemPing(&LibraryPing);
            for (const char* candidate : {"192.168.1.1", "192.168.2.1", "192.168.0.1"})
                if (ping(candidate, 3000)) {
                    address = candidate;
                    break;
                }
        }
        if (address.IsEmpty())
            Box(58);
        else
            m_window.RunMyIE(BrowserUrl(address));
        m_pSM->EnableAllPorts();
    } catch (Throw_Error code) {
        ShowSwitchError(code);
    } catch (const SwitchTimeoutError&) {
        LogError("CCorvayView::WebManage()与交换机通讯超时");
        Box(1);
    }
    m_window.SetCursorState(0);
}
