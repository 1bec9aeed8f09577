#include "engine/switch/SwitchManager.h"

#include <algorithm>
#include <chrono>

#include "engine/log/Logger.h"
#include "engine/switch/SwitchManagerUIThread.h"

SwitchManager::SwitchManager(const SwitchConfig& config, SwitchConsoleOptions options)
    : m_replyWaitMs(static_cast<uint32_t>(std::max(options.timings.replyWaitMs, 0))),
      m_thread(std::make_unique<SwitchManagerUIThread>(config, std::move(options))) {
    // Start returns once the console exists on its own thread, so it can be attached to at once.
    m_thread->Start();
    m_sm = m_thread->GetConsole();
    if (m_sm != nullptr)
        m_sm->Attach(this);
}

SwitchManager::~SwitchManager() {
    if (m_sm != nullptr) {
        m_sm->Detach(this);
        m_sm = nullptr;
    } else {
        LogWarning("this->m_sm = NULL");
    }
    if (m_thread) {
        LogDebug("SwitchManager::p_switchManagerUIThread != NULL");
        // The console's loop always ends when asked, so the thread is joined, never killed.
        m_thread->Stop();
        LogInfo("SwitchManager::p_switchManagerUIThread正常退出。");
        m_thread.reset();
    }
}

SwitchManager* SwitchManager::Instance(const SwitchConfig& config, SwitchConsoleOptions options) {
    return InstanceOf(config, std::move(options));
}

SwitchManager* SwitchManager::InstanceWithObserver(const SwitchConfig& config, Observer* observer,
                                                   SwitchConsoleOptions options) {
    SwitchManager* manager = Instance(config, std::move(options));
    manager->Attach(observer);
    return manager;
}

void SwitchManager::WaitForReply() {
    using namespace std::chrono;
    const auto wait = milliseconds(m_replyWaitMs);
    const auto sent = steady_clock::now();
    for (;;) {
        const auto deadline = std::max(sent, m_sm->GetLastReceived()) + wait;
        const auto now = steady_clock::now();
        if (now >= deadline)
            throw SwitchTimeoutError();
        const auto left = duration_cast<milliseconds>(deadline - now) + milliseconds(1);
        if (m_event.Wait(static_cast<uint32_t>(left.count())) == platform::kWaitObject0)
            return;
    }
}

std::vector<SwitchPort*> SwitchManager::GetAllPortStatus() {
    std::lock_guard<std::mutex> lock(m_callMutex);
    // Reset before sending, so that a quick reply is not lost.
    m_event.Reset();
    m_sm->SendGetAllPortStatusCommand();
    WaitForReply();
    return m_sm->GetPortList();
}

SwitchPort* SwitchManager::GetPortStatus(int port) {
    // A port the console does not have would only run into the reply wait.
    if (m_sm->GetPort(port) == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_callMutex);
    int busy = m_sm->GetCommand();
    if (busy != SwitchManagerImpl::Command_None)
        LogWarning("SendGetPortStatusCommand():正在执行%d 命令，再执行新命令可能出错。", busy);
    m_sm->SetCommand(SwitchManagerImpl::Command_GetOnePortStatus);
    LogDebug("2:this->m_command = SwitchManagerImpl::Command_GetOnePortStatus;");
    m_event.Reset();
    m_sm->SendGetPortStatusCommand(port);
    WaitForReply();
    return m_sm->GetPort(port);
}

void SwitchManager::DisableAllPortsExceptTrunk() {
    std::lock_guard<std::mutex> lock(m_callMutex);
    m_event.Reset();
    m_sm->SendDisableAllPortsExceptTrunkCommand();
    WaitForReply();
}

void SwitchManager::EnableAllPorts() {
    std::lock_guard<std::mutex> lock(m_callMutex);
    m_event.Reset();
    m_sm->SendEnableAllPortsCommand();
    WaitForReply();
}

void SwitchManager::EnablePort(int port) {
    m_sm->SendEnablePort(port);
}

void SwitchManager::DisablePort(int port) {
    m_sm->SendDisablePort(port);
}

void SwitchManager::Reconnect() {
    m_sm->Reconnect();
}

void SwitchManager::NotifyObservers(int type) {
    SetNotifyType(type);
    Notify();
}

void SwitchManager::Update(Subject* subject) {
    auto* console = static_cast<SwitchManagerImpl*>(static_cast<SwitchSubject*>(subject));
    const int type = console->GetNotifyType();
    switch (type) {
    case GetOnePortStatusNotify:
        if (SwitchPort* port = console->GetPort(console->GetChangedPort())) {
            LogDebugString(port->ToString());
            m_event.Set();
        }
        break;
    case GetAllPortStatusNotify:
    case SetAllPortsNotify:
        m_event.Set();
        break;
    case PortLinkUpDownNotify:
        if (SwitchPort* port = console->GetPort(console->GetChangedPort())) {
            m_linkChangedPort.store(port);
            NotifyObservers(type);
        }
        break;
    case PortEnDisableNotify:
        m_enDisabledPort.store(console->GetChangedPortRecord());
        NotifyObservers(type);
        break;
    case LoginSwitchFailed:
        m_loginState.store(0);
        NotifyObservers(type);
        break;
    case LoginSwitchSuccessNotify:
        m_loginState.store(1);
        NotifyObservers(type);
        break;
    case SerialPortOccupiedNotify:
    case ConnectSwitchFailedNotify:
    case SwitchNoResponseNotify:
        NotifyObservers(type);
        break;
    default:
        LogDebug("Error.\n");
        break;
    }
}
