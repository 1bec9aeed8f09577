#include "engine/jobs/TestStart.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/config/Configer.h"
#include "engine/log/Logger.h"
#include "engine/ping/NicMonitors.h"
#include "engine/ping/PingFrames.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "engine/switch/SwitchManagerImpl.h"
#include "platform/net/Netlink.h"

namespace {

bool CardUp(platform::Netlink& netlink, const CString& device) {
    auto link = netlink.GetLink(device.str());
    return link && link->IsOperUp();
}

SwitchConsoleTimings Scaled(SwitchConsoleTimings t, int scale) {
    if (scale <= 1)
        return t;
    for (int* pause : {&t.sendPauseMs, &t.receivePauseMs, &t.showReplyPauseMs})
        *pause /= scale;
    for (int* timeout : {&t.answerTimeoutMs, &t.viewReadyWaitMs, &t.replyWaitMs})
        *timeout = ScaledTimeout(*timeout, scale);
    return t;
}

} // namespace

TestStart::TestStart(TestStartOptions options) : m_options(std::move(options)) {}

TestStart::~TestStart() {
    SetTestingFlag(false);
    if (m_monitors) {
        LANic_Monitor::DeleteInstance();
        WANic_Monitor::DeleteInstance();
    }
    if (m_serial)
        SwitchManager::DeleteInstance();
    else if (m_env.switchManager)
        SwitchManager2::DeleteInstance();
    m_env.switchManager = nullptr;
}

bool TestStart::Prepare(CString& error) {
    // A stop between the steps or inside a wait ends the start there: nothing after it runs.
    const bool ready = !Stopped() && StartCards(error) && !Stopped() && ConnectSwitch(error) && !Stopped() &&
                       EnablePorts(error) && Wait(m_env.system.Modem.WaitModemConnect / Scale()) &&
                       CollectLinkUpPorts(error);
    if (Stopped()) {
        error = "用户终止测试";
        return false;
    }
    return ready;
}

bool TestStart::Stopped() const {
    return m_options.stop && m_options.stop->load();
}

bool TestStart::Wait(int ms) {
    const auto end = m_env.clock->Now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (Stopped())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - m_env.clock->Now());
        if (left.count() <= 0)
            return true;
        m_env.clock->SleepFor(std::min(left, std::chrono::milliseconds(50)));
    }
}

bool TestStart::StartCards(CString& error) {
    Configer* config = Configer::GetInstance();
    m_env.system = config->GetSystemConfig();
    m_env.switchConfig = config->GetSwitchConfig();
    m_env.timings = TestTimings().Scaled(Scale());
    m_portCount = m_env.switchConfig.PortCount;

    // Both cards configured and up; that also starts both capture monitors.
    PingCards cards;
    if (!GetConfiguredPingCards(cards)) {
        error = "网卡没有配置。";
        return false;
    }
    platform::Netlink netlink;
    if (!CardUp(netlink, cards.Lan.Device) || !CardUp(netlink, cards.Wan.Device)) {
        error = "网卡没有连接。";
        return false;
    }
    LANic_Monitor* lan = LANic_Monitor::Instance();
    WANic_Monitor* wan = WANic_Monitor::Instance();
    m_monitors = true;
    if (!lan || !wan || !lan->WaitUntilCapturing(5000) || !wan->WaitUntilCapturing(5000)) {
        error = "无法打开网卡。";
        return false;
    }
    return true;
}

bool TestStart::ConnectSwitch(CString& error) {
    const int scale = Scale();
    SetTestingFlag(true);
    const SwitchConfig& sw = m_env.switchConfig;
    m_serial = sw.IsSerial;
    if (m_serial) {
        SwitchConsoleOptions options;
        options.timings = Scaled(options.timings, scale);
        options.devicePath = m_options.consoleDevice.str();
        SwitchManagerImpl::ViewReadyEvent().Set();
        SwitchManager* manager = SwitchManager::Instance(sw, options);
        m_env.switchManager = manager;
        // Over the console the log-in runs on the console's thread.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(60000 / scale + 1000);
        while (manager->IsLoggedIn() == -1 && std::chrono::steady_clock::now() < deadline && !Stopped())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (Stopped())
            return false;
        if (manager->IsLoggedIn() != 1) {
            error = "登录交换机失败，请检查登录用户名与密码。";
            return false;
        }
    } else {
        m_env.switchManager = SwitchManager2::Instance(sw);
    }
    return true;
}

bool TestStart::EnablePorts(CString& error) {
    const int trunkPort = m_env.switchConfig.TrunkPortNo;
    return GuardSwitch(error, [&] {
        m_env.switchManager->GetAllPortStatus();
        SwitchPort* trunk = m_env.switchManager->GetPortStatus(trunkPort);
        if (!trunk || trunk->GetLinkState() != SwitchPort::Link_Up) {
            error = "交换机上联端口没有连接。";
            return false;
        }
        m_env.switchManager->EnableAllPorts();
        return true;
    });
}

bool TestStart::CollectLinkUpPorts(CString& error) {
    const int trunkPort = m_env.switchConfig.TrunkPortNo;
    return GuardSwitch(error, [&] {
        m_linkUp.clear();
        for (SwitchPort* port : m_env.switchManager->GetAllPortStatus())
            if (port && port->GetPortNo() != trunkPort && port->GetLinkState() == SwitchPort::Link_Up)
                m_linkUp.push_back(port);
        return true;
    });
}

int TestStart::Scale() const {
    return m_options.timeScale > 1 ? m_options.timeScale : 1;
}

bool TestStart::GuardSwitch(CString& error, const std::function<bool()>& step) {
    if (!m_env.switchManager) {
        error = "交换机没有连接。";
        return false;
    }
    // Switch failures (a time-out, a refused log-in) end the start like the view's.
    try {
        return step();
    } catch (const SwitchTimeoutError&) {
        error = "与交换机通讯超时，请检查交换机是否连接正常，并重新启动软件。";
    } catch (Throw_Error code) {
        error.Format("交换机错误：%d", static_cast<int>(code));
    }
    return false;
}
