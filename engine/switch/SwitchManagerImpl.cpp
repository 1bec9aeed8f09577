#include "engine/switch/SwitchManagerImpl.h"

#include "engine/Common.h"
#include "engine/log/Logger.h"
#include "engine/switch/ShowPortReply.h"
#include "engine/switch/SwitchLogin.h"
#include "engine/switch/SwitchManagerUIThread.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<SwitchManagerImpl*> g_instance{nullptr};

// A reply that never completes must not grow the buffer without end; the newest text is kept,
// since a reply still arriving is at the end.
constexpr int kMaxResponseLength = 8192;
constexpr int kKeptResponseLength = 2048;

} // namespace

SwitchManagerImpl::SwitchManagerImpl(const SwitchConfig& config, const SwitchConsoleOptions& options,
                                     SwitchManagerUIThread& thread)
    : m_config(config), m_options(options), m_thread(thread),
      m_process(options.processState ? *options.processState : ProcessState()),
      m_viewReady(options.viewReady ? *options.viewReady : ViewReadyEvent()), m_portCount(config.PortCount),
      m_trunkPort(config.TrunkPortNo) {
    m_port = m_options.makePort ? m_options.makePort() : std::make_unique<platform::SerialPort>();
    // Built before any other thread can see the console, never resized after.
    for (int port = 1; port <= m_portCount; ++port)
        m_ports.push_back(
            std::make_unique<SwitchPort>(port, SwitchPort::Enable_Unknown, SwitchPort::Link_Down, -1));
    g_instance.store(this);
}

SwitchManagerImpl::~SwitchManagerImpl() {
    SwitchManagerImpl* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
    m_thread.KillTimer(Timer_Answer);
    m_thread.KillTimer(Timer_KeepAlive);
    m_port->Close();
    LogDebug("SwitchManagerImpl::~SwitchManagerImpl()");
}

SwitchManagerImpl* SwitchManagerImpl::Instance() {
    return g_instance.load();
}

platform::Event& SwitchManagerImpl::ViewReadyEvent() {
    static platform::Event event(true, false);
    return event;
}

SwitchConsoleProcessState& SwitchManagerImpl::ProcessState() {
    static SwitchConsoleProcessState state;
    return state;
}

bool SwitchManagerImpl::PostToConsoleThread(std::function<void()> call) {
    if (m_thread.IsOwnThread())
        return false;
    m_thread.Post(std::move(call));
    return true;
}

void SwitchManagerImpl::Pause(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SwitchManagerImpl::Start() {
    m_allQueryPending = m_allEnablePending = m_allDisablePending = false;
    m_command = Command_None;
    LogDebug("1:this->m_command = SwitchManagerImpl::Command_None;");
    OpenSerialPort();
}

// ---- commands ----

void SwitchManagerImpl::SendGetPortStatusCommand(int port) {
    if (PostToConsoleThread([this, port] { SendGetPortStatusCommand(port); }))
        return;
    m_showReplyAwaited = true;
    LogDebug("SendGetPortStatusCommand()\n");
    CString text;
    text.Format("\nshow port %d\n", port);
    SendText(text);
}

void SwitchManagerImpl::SendGetAllPortStatusCommand() {
    if (PostToConsoleThread([this] { SendGetAllPortStatusCommand(); }))
        return;
    int status = m_SwitchStatus;
    if (status != SwitchStatus_Normal && status != SwitchStatus_Enabled) {
        LogWarning("当前不是Login模式，不能SendGetAllPortStatusCommand");
        return;
    }
    if (m_command != Command_None)
        LogWarning("SendGetAllPortStatusCommand():正在执行%d 命令，再执行新命令可能出错。", m_command.load());
    m_allQueryPending = true;
    m_command = Command_GetAllPortStatus;
    LogDebug("3:this->m_command = SwitchManagerImpl::Command_GetAllPortStatus;");
    SendGetPortStatusCommand(1);
}

void SwitchManagerImpl::SendDisableAllPortsExceptTrunkCommand() {
    if (PostToConsoleThread([this] { SendDisableAllPortsExceptTrunkCommand(); }))
        return;
    if (m_SwitchStatus != SwitchStatus_Enabled) {
        LogWarning("当前不是enabled模式，不能SendDisableAllPortsExceptTrunkCommand");
        return;
    }
    if (m_command != Command_None)
        LogWarning("SendDisableAllPortsExceptTrunkCommand():正在执行%d 命令，再执行新命令可能出错。",
                   m_command.load());
    m_allDisablePending = true;
    m_command = Command_SetAllPortDisable;
    LogDebug("4:this->m_command = SwitchManagerImpl::Command_SetAllPortDisable;");
    m_nextPort = 2;
    SendDisablePortCommand(1);
}

void SwitchManagerImpl::SendEnableAllPortsCommand() {
    if (PostToConsoleThread([this] { SendEnableAllPortsCommand(); }))
        return;
    if (m_SwitchStatus != SwitchStatus_Enabled) {
        LogWarning("当前不是enabled模式，不能SendEnableAllPortsCommand");
        return;
    }
    if (m_command != Command_None)
        LogWarning("SendEnableAllPortsCommand():正在执行%d 命令，再执行新命令可能出错。", m_command.load());
    m_allEnablePending = true;
    m_command = Command_SetAllPortEnable;
    LogDebug("5:this->m_command = SwitchManagerImpl::Command_SetAllPortEnable;");
    m_nextPort = 2;
    SendEnablePortCommand(1);
}

void SwitchManagerImpl::SendEnablePort(int port) {
    // A port the switch does not have is refused before anything is sent.
    if (GetPort(port) == nullptr) {
        LogWarning("端口号：%d的端口不在本系统中。", port);
        return;
    }
    if (PostToConsoleThread([this, port] { SendEnablePort(port); }))
        return;
    if (m_command != Command_None)
        LogWarning("SwitchManagerProxy::EnablePort(int %d):正在执行%d 命令，再执行新命令可能出错。", port,
                   m_command.load());
    m_command = Command_SetOnePortEnable;
    LogDebug("6:this->m_command = SwitchManagerImpl::Command_SetOnePortEnable;");
    SendEnablePortCommand(port);
    int expected = Command_SetOnePortEnable;
    if (!m_command.compare_exchange_strong(expected, Command_None))
        LogDebug("奇怪：SwitchManagerImpl::SendEnablePort(int port)：this->m_command ！= "
                 "Command_SetOnePortEnable");
}

void SwitchManagerImpl::SendDisablePort(int port) {
    // A port the switch does not have is refused before anything is sent.
    if (GetPort(port) == nullptr) {
        LogWarning("端口号：%d的端口不在本系统中。", port);
        return;
    }
    if (PostToConsoleThread([this, port] { SendDisablePort(port); }))
        return;
    if (m_command != Command_None)
        LogWarning("SwitchManagerProxy::DisablePort(int %d):正在执行%d 命令，再执行新命令可能出错。", port,
                   m_command.load());
    m_command = Command_SetOnePortDisable;
    LogDebug("7:this->m_command = SwitchManagerImpl::Command_SetOnePortDisable;");
    SendDisablePortCommand(port);
    int expected = Command_SetOnePortDisable;
    if (!m_command.compare_exchange_strong(expected, Command_None))
        LogDebug(
            "奇怪：SwitchManagerImpl::SendDisablePort(int %d)：this->m_command ！= Command_SetOnePortEnable",
            port);
}

void SwitchManagerImpl::SendEnablePortCommand(int port) {
    if (PostToConsoleThread([this, port] { SendEnablePortCommand(port); }))
        return;
    SetPortCommand(port, true);
}

void SwitchManagerImpl::SendDisablePortCommand(int port) {
    if (PostToConsoleThread([this, port] { SendDisablePortCommand(port); }))
        return;
    SetPortCommand(port, false);
}

void SwitchManagerImpl::SetPortCommand(int port, bool enable) {
    if (m_SwitchStatus != SwitchStatus_Enabled) {
        LogWarning(enable ? "当前不是enabled模式，不能SendEnablePortCommand"
                          : "当前不是enabled模式，不能设置端口状态");
        return;
    }
    CString text;
    text.Format(enable ? "\nset port %d enable\n" : "\nset port %d disable\n", port);
    if (enable)
        LogDebug("\nSendEnablePortCommand(%d)\n", port);
    else
        LogDebug("%s", text.GetString());
    SendText(text);
    // No reply is awaited: the record changes at once. A port outside the list has no record to
    // hand to the observers.
    UpdatePort(port, enable ? SwitchPort::Enable_Enabled : SwitchPort::Enable_Disabled, 0, -1);
    if (SwitchPort* record = GetPort(port)) {
        m_changedPortRecord = record;
        RaiseNotify(PortEnDisableNotify);
    }
}

void SwitchManagerImpl::Reconnect() {
    if (PostToConsoleThread([this] { Reconnect(); }))
        return;
    ClearLoginFlags();
    OpenSerialPort();
}

// ---- port list ----

SwitchPort* SwitchManagerImpl::GetPort(int port) const {
    if (port < 1 || port > static_cast<int>(m_ports.size()))
        return nullptr;
    return m_ports[port - 1].get();
}

std::vector<SwitchPort*> SwitchManagerImpl::GetPortList() const {
    std::vector<SwitchPort*> list;
    for (const auto& record : m_ports)
        list.push_back(record.get());
    return list;
}

// ---- notifications ----

void SwitchManagerImpl::Notify() {
    if (m_process.firstNotification.exchange(false)) {
        if (m_viewReady.Wait(static_cast<uint32_t>(m_options.timings.viewReadyWaitMs)) !=
            platform::kWaitObject0)
            LogWarning("SwitchManagerImpl等待SwitchManagerProxy超时。");
    }
    SwitchSubject::Notify();
}

void SwitchManagerImpl::RaiseNotify(int type) {
    SetNotifyType(type);
    Notify();
}

void SwitchManagerImpl::ClearLoginFlags() {
    m_loginPromptSeen = false;
    m_passwordPrompts = 0;
    m_loginGivenUp = false;
    m_firstAnswer = false;
}

// ---- the line ----

platform::SerialOpenResult SwitchManagerImpl::OpenLine() {
    const SerialSettings& serial = m_config.Serial;
    std::string device = m_options.devicePath;
    if (device.empty())
        device = m_config.SerialDevice.IsEmpty() ? platform::SerialPort::DeviceOfComPort(serial.Port)
                                                 : m_config.SerialDevice.str();
    unsigned generation = ++m_portGeneration;
    m_lastReceived = std::chrono::steady_clock::now().time_since_epoch().count();
    auto handler = [this, generation](platform::SerialEvent event, const std::string& detail) {
        // Taken as it arrives, not when the console thread gets to it after its pauses.
        if (event == platform::SerialEvent::Received)
            m_lastReceived = std::chrono::steady_clock::now().time_since_epoch().count();
        m_thread.Post([this, event, detail, generation] { OnComm(event, detail, generation); });
    };
    std::string error;
    auto result = m_port->Open(device, {serial.BaudRate, serial.DataBits, serial.StopBits}, handler, &error);
    if (result == platform::SerialOpenResult::Occupied)
        LogError("串口被占用。");
    else if (result == platform::SerialOpenResult::Failed)
        LogError("打开串口异常，可能是被其他软件占用。");
    if (result != platform::SerialOpenResult::Ok)
        LogDebug("%s\n", error.c_str());
    return result;
}

void SwitchManagerImpl::OpenSerialPort() {
    if (m_port->IsOpen())
        m_port->Close();
    if (OpenLine() != platform::SerialOpenResult::Ok) {
        RaiseNotify(SerialPortOccupiedNotify);
        return;
    }
    m_SwitchStatus = SwitchStatus_Unknown;
    SendText("\n");
    m_thread.SetTimer(Timer_Answer, m_options.timings.answerTimeoutMs);
}

void SwitchManagerImpl::SendText(const CString& text) {
    switch (m_SwitchStatus.load()) {
    case SwitchStatus_Unknown:
        LogDebug("交换机状态未知.\n");
        break;
    case SwitchStatus_Booting:
        LogDebug("交换机正在启动中.\n");
        break;
    case Login:
        LogDebug("交换机正在登录.\n");
        break;
    case SwitchStatus_Enabled:
        if (m_process.keepAliveArmed)
            m_thread.KillTimer(Timer_KeepAlive);
        m_thread.SetTimer(Timer_KeepAlive, m_options.timings.keepAliveMs);
        m_process.keepAliveArmed = true;
        LogDebug("重新设置交换机KeepALive定时器。");
        break;
    default:
        break;
    }
    if (!m_port->Write(text.str()))
        LogDebug("SwitchManagerImpl::SendText() write failed.\n");
    Pause(m_options.timings.sendPauseMs);
}

void SwitchManagerImpl::OnTimer(int id) {
    if (id == Timer_Answer) {
        m_thread.KillTimer(Timer_Answer);
        RaiseNotify(SwitchNoResponseNotify);
    } else if (id == Timer_KeepAlive) {
        LogInfo("长时间未与交换机通讯，发送一个回车，以保持会话。");
        SendText("\n");
    }
}

void SwitchManagerImpl::OnComm(platform::SerialEvent event, const std::string& detail, unsigned generation) {
    if (generation != m_portGeneration)
        return;
    Pause(m_showReplyAwaited ? m_options.timings.showReplyPauseMs : m_options.timings.receivePauseMs);
    if (!m_firstAnswer) {
        m_thread.KillTimer(Timer_Answer);
        m_firstAnswer = true;
    }
    if (event == platform::SerialEvent::Received) {
        ReceiveBytes(m_port->TakeInput());
        return;
    }
    int errors = ++m_process.transferErrors;
    LogError("SwitchManagerImpl::OnCommMscomm1()传输事件出错.\n");
    LogDebug("%s\n", detail.c_str());
    // Reopen the line as it was; a failure leaves it closed and is logged.
    m_port->Close();
    OpenLine();
    m_port->DiscardOutput();
    if (errors > 3)
        RaiseNotify(ConnectSwitchFailedNotify);
}

void SwitchManagerImpl::ReceiveBytes(const std::string& input) {
    if (input.empty())
        return;
    m_strResponse += CString(input);
    ParseResponse();
    BoundResponse();
}

void SwitchManagerImpl::BoundResponse() {
    int length = m_strResponse.GetLength();
    if (length <= kMaxResponseLength)
        return;
    LogWarning("Switch console: %d bytes received without a match, the oldest %d dropped.", length,
               length - kKeptResponseLength);
    m_strResponse = m_strResponse.Right(kKeptResponseLength);
}

// ---- parsing ----

std::chrono::steady_clock::time_point SwitchManagerImpl::GetLastReceived() const {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(m_lastReceived.load()));
}

int SwitchManagerImpl::GetResponseLength() const {
    return m_strResponse.GetLength();
}

bool SwitchManagerImpl::ResponseEndsWith(const char* text) const {
    return EndsWith(m_strResponse, text);
}

void SwitchManagerImpl::ParseResponse() {
    CString& R = m_strResponse;
    if (R.Find("[Halvet Boot]:") >= 0) {
        R.Trim();
        if (ResponseEndsWith("[Halvet Boot]:")) {
            if (m_SwitchStatus == SwitchStatus_Enabled)
                LogDebug("奇怪，当前已经是Eanble模式了。");
            m_SwitchStatus = SwitchStatus_Booting;
            LogDebug("m_SwitchStatus = SwitchStatus_Booting;");
            LogWarning("交换机进入Boot状态。");
            R.Empty();
            SendText("@\n");
            LogWarning("发送@命令，让交换机继续启动。");
            return;
        }
    }
    if (R.Find("Please Press RETURN to Start!") >= 0) {
        R.Trim();
        if (ResponseEndsWith("Please Press RETURN to Start!")) {
            R.Empty();
            if (m_SwitchStatus == SwitchStatus_Enabled)
                LogDebug("奇怪，当前已经是Eanble模式了，可能是长期不通讯导致交换机串口重新连接。");
            m_SwitchStatus = Login;
            SendText("\n");
            LogInfo("I got <<Please Press RETURN to Start!>>,and send return.");
            ClearLoginFlags();
            return;
        }
    }
    if (R.Find("Press any key to stop auto-boot") >= 0) {
        if (m_SwitchStatus == SwitchStatus_Enabled)
            LogDebug("奇怪，当前已经是Eanble模式了。");
        m_SwitchStatus = SwitchStatus_Booting;
        LogDebug("m_SwitchStatus = SwitchStatus_Booting;");
        R.Empty();
        LogInfo("I got <<Press any key to stop auto-boot>>.");
        return;
    }
    ProcessLinkUpDownNotice();
    if (m_loginGivenUp) {
        LogWarning("多次登录失败，不再尝试登录。");
        R.Empty();
        return;
    }
    if (ResponseEndsWith("login:")) {
        m_loginPromptSeen = true;
        if (m_SwitchStatus == SwitchStatus_Enabled)
            LogDebug("奇怪，当前已经是Eanble模式了。");
        m_SwitchStatus = Login;
        LogDebug("m_SwitchStatus = Login;");
        R.Empty();
        SendText(CurrentSwitchLogin(m_config).User + "\n");
        return;
    }
    if (R.IsEmpty())
        return;
    if (ResponseEndsWith("password:")) {
        if (m_SwitchStatus == SwitchStatus_Normal) {
            LogInfo("输入enable密码。");
        } else {
            if (m_SwitchStatus == SwitchStatus_Enabled)
                LogDebug("奇怪，当前已经是Eanble模式了。");
            m_SwitchStatus = Login;
            LogDebug("m_SwitchStatus = Login;");
        }
        R.Empty();
        SendText(CurrentSwitchLogin(m_config).Password + "\n");
        if (m_loginPromptSeen) {
            if (m_passwordPrompts < 4) {
                if (m_passwordPrompts > 0 && m_SwitchStatus != SwitchStatus_Normal)
                    LogInfo("登录失败次数：%d", m_passwordPrompts);
                ++m_passwordPrompts;
            } else {
                LogDebug("Notify：LoginSwitchFailed");
                m_loginGivenUp = true;
                RaiseNotify(LoginSwitchFailed);
            }
        }
        return;
    }
    if (R.Right(1) == ">") {
        if (m_SwitchStatus == SwitchStatus_Enabled) {
            LogDebug("奇怪，当前已经是Eanble模式了。");
            LogDebug("this->m_strResponse = %s ", R.GetString());
        }
        m_SwitchStatus = SwitchStatus_Normal;
        LogDebug("m_SwitchStatus = SwitchStatus_Normal;");
        if (ResponseEndsWith(">")) {
            LogDebug("准备进入Enabled 模式：this->m_strResponse = %s", R.GetString());
            SendText("enable\n");
            LogDebug("发送enabled命令");
        }
        if (R.IsEmpty())
            return;
    }
    if (R.Right(1) == "#" && R.Find("(cfg)#") >= 0) {
        m_SwitchStatus = SwitchStatus_Enabled;
        if (!m_process.loggedIn) {
            LogDebug("进入特权模式，登录成功。\n");
            m_process.loggedIn = true;
            ClearLoginFlags();
            RaiseNotify(LoginSwitchSuccessNotify);
        } else {
            // Every login that reaches the prompt starts the failure count afresh, or a later
            // session expiry would be taken for wrong passwords.
            ClearLoginFlags();
        }
        if (R.IsEmpty())
            return;
    }
    ProcessPortStatus();
    if (R.IsEmpty())
        return;
    ProcessEnDisablePort();
    if (R.IsEmpty())
        return;
    if (R.Find("Press Q or Ctrl+C to break") >= 0) {
        SendText("Q\n");
        // Answered once: kept, every later prompt would send another "Q" and each answer to
        // it would bring one more.
        R.Empty();
    }
}

void SwitchManagerImpl::ProcessLinkUpDownNotice() {
    CString& R = m_strResponse;
    for (const CString& line : SplitConsoleLines(R)) {
        bool up = line.Find("linkup") >= 0;
        bool down = !up && line.Find("linkdown") >= 0;
        if (up || down) {
            int port = GetPortFromTrap(line);
            if (port < 0) {
                LogDebug("获取端口号失败。\n");
                continue;
            }
            int removed = R.Replace(line, "");
            if (removed == 0)
                LogDebug("It is impossible.\n");
            else if (removed == 1)
                LogDebug("It is normal.\n");
            else
                LogDebug("Delete more than one line.It is strnage.\n");
            LogDebug(up ? "Port %d Link Up.\n" : "Port %d Link Down.\n", port);
            UpdatePort(port, 0, up ? SwitchPort::Link_Up : SwitchPort::Link_Down, -1);
            m_changedPort = port;
            RaiseNotify(PortLinkUpDownNotify);
            R.Trim();
        } else if (line.Find("Host Topology changed") >= 0) {
            R.Replace(line, "");
            LogDebug("Topo 改变。\n");
        } else if (line == "\r") {
            LogDebug("it is a newline.\n");
        } else {
            LogDebug("Slice:%s", line.GetString());
        }
    }
    LogDebug("After ProcessLinkUpDownNotice() this->m_strResponse = %s", R.GetString());
}

int SwitchManagerImpl::GetPortFromTrap(const CString& line) {
    int a = line.Find("Port :");
    int b = a < 0 ? -1 : line.Find("link", a);
    if (a < 0 || b < 0) {
        LogDebug("正常：未找到端口号\n");
        return -1;
    }
    CString text = line.Mid(a + 6, b - a - 6);
    text.Trim();
    if (text.IsEmpty()) {
        LogDebug("奇怪:未找到端口号\n");
        return -1;
    }
    LogDebug("I Get Port No %s.\n", text.GetString());
    return std::atoi(text);
}

void SwitchManagerImpl::ProcessPortStatus() {
    CString& R = m_strResponse;
    if (R.Find("show port") < 0)
        return;
    ShowPortReply reply;
    if (!ParseShowPortReply(R, reply))
        return; // the rest is still on its way
    const int port = reply.port;
    R.Empty();
    UpdatePort(port, reply.enableState, reply.linkState, reply.vlanId);
    m_showReplyAwaited = false;
    if (m_allQueryPending) {
        if (port < m_portCount) {
            SendGetPortStatusCommand(port + 1);
            return;
        }
        int expected = Command_GetAllPortStatus;
        if (!m_command.compare_exchange_strong(expected, Command_None))
            LogDebug(
                "奇怪：SwitchManagerImpl::ProcessPortStatus()：this->m_command ！= Command_GetAllPortStatus");
        LogDebug("Get All Port status;\n");
        m_allQueryPending = false;
        RaiseNotify(GetAllPortStatusNotify);
        return;
    }
    int expected = Command_GetOnePortStatus;
    if (!m_command.compare_exchange_strong(expected, Command_None))
        LogDebug(
            "奇怪：SwitchManagerImpl::ProcessPortStatus()：this->m_command ！= Command_GetOnePortStatus");
    m_changedPort = port;
    RaiseNotify(GetOnePortStatusNotify);
}

void SwitchManagerImpl::ProcessEnDisablePort() {
    CString& R = m_strResponse;
    if (R.Find("set port") < 0)
        return;
    LogDebug("In SwitchManagerImpl::ProcessEnDisablePort()");
    if (m_allEnablePending)
        ContinueAllPorts(true);
    if (m_allDisablePending)
        ContinueAllPorts(false);
    LogDebug("清理前m_strResponse = %s，清理后为空。", R.GetString());
    R.Empty();
}

void SwitchManagerImpl::ContinueAllPorts(bool enable) {
    if (m_nextPort < m_portCount) {
        LogDebug(enable ? "继续使能下一个端口:%d" : "继续关闭下一个端口:%d", m_nextPort);
        SetPortCommand(m_nextPort, enable);
        ++m_nextPort;
        return;
    }
    int expected = enable ? Command_SetAllPortEnable : Command_SetAllPortDisable;
    if (!m_command.compare_exchange_strong(expected, Command_None)) {
        if (enable)
            LogDebug("奇怪：SwitchManagerImpl::ProcessEnDisablePort()：this->m_command ！= "
                     "Command_SetAllPortEnable,it is %d",
                     expected);
        else
            LogDebug("奇怪：SwitchManagerImpl::ProcessEnDisablePort()：this->m_command ！= "
                     "Command_SetAllPortDisable,it is %d",
                     expected);
    }
    LogDebug(enable ? "Set All Ports Enabled;\n" : "Set All Ports Disabled;\n");
    (enable ? m_allEnablePending : m_allDisablePending) = false;
    RaiseNotify(SetAllPortsNotify);
}

void SwitchManagerImpl::UpdatePort(int port, int enableState, int linkState, int vlanId) {
    SwitchPort* record = GetPort(port);
    if (!record || port > m_portCount) {
        LogWarning("端口号：%d的端口不在本系统中。", port);
        return;
    }
    if (enableState != 0)
        record->SetEnableState(enableState);
    if (linkState != 0)
        record->SetLinkState(linkState);
    if (vlanId != -1)
        record->SetVlanId(vlanId);
}
