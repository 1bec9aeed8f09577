#include "engine/jobs/BaseModemTester.h"

#include <arpa/inet.h>
#include <chrono>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

#include "engine/Common.h"
#include "engine/dslam/DslamClient.h"
#include "engine/jobs/TestContext.h"
#include "engine/jobs/Tester.h"
#include "engine/jobs/ViewSink.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "engine/switch/ISwitchManager.h"
#include "engine/switch/SwitchManager.h"
#include "engine/switch/SwitchManager2.h"
#include "platform/files/UniqueFd.h"
#include "platform/net/Netlink.h"

namespace {

enum class PortWork { Standard, Simply, Upgrade };

// The DSLAM failed inside the port loop: the box and the log are done, the routine ends as aborted.
struct DslamAborted {};

void SleepMs(const JobEnvironment& env, int ms) {
    env.clock->SleepFor(std::chrono::milliseconds(ms));
}

CString ErrorText(Throw_Error error) {
    switch (error) {
    case Error_LoginFailed:
        return LoadStringId(114);
    case Error_SocketError:
        return LoadStringId(55);
    case Error_TooManyClients:
        return LoadStringId(56);
    }
    return CString();
}

// What a scan found goes into the port's record.
void StoreScan(TestContext& context, TestInfo& info, const CString& ip) {
    TerminalClient& client = context.Client;
    const CString model = client.GetTerminalName();
    info.Update([&](TestInfo::Data& d) {
        d.Modem.IpAddress = ip;
        d.Modem.Model = model;
    });
    CStringArray names;
    client.GetParameterNames(names);
    for (const CString& name : names) {
        CString value = client.GetParameterValue(name);
        if (name == "Firmware_Version") {
            value = StripNbsp(value);
            info.Update([&](TestInfo::Data& d) { d.Modem.FirmwareVersion = value; });
        } else {
            LogInfo("未用到的变量：%s，值为：%s", name.GetString(), value.GetString());
        }
        info.Update([](TestInfo::Data& d) { d.Modem.HasInfo = true; });
    }
    const CString mac = GetMacByArp(ip);
    info.Update([&](TestInfo::Data& d) { d.Modem.MacAddress = mac; });
}

void QueryDslamInto(TestContext& context, TestInfo& info) {
    ModemResult line;
    try {
        QueryDslam(context.GetEnvironment(), info.GetPort(), line);
    } catch (Throw_Error error) {
        ShowErrorMessage(LoadStringId(143) + ErrorText(error));
        LogError("Throw_Error");
        throw DslamAborted{};
    }
    info.Update([&](TestInfo::Data& d) {
        d.Modem.DslStatus = line.DslStatus;
        d.Modem.UpRate = line.UpRate;
        d.Modem.DownRate = line.DownRate;
    });
}

int PortLoop(TestContext& context, PortWork work) {
    JobEnvironment& env = context.GetEnvironment();
    Tester& tester = context.GetTester();
    ISwitchManager* manager = &ChooseSwitchManager(env);

    env.clearArp();
    manager->DisableAllPortsExceptTrunk();
    if (context.IsStopped())
        return kJobStopped;

    for (SwitchPort* port : context.GetPortList()) {
        if (context.IsStopped())
            return kJobStopped;
        const int number = port->GetPortNo();
        manager->EnablePort(number);
        env.clearArp();
        SleepMs(env, env.timings.portSettleMs);
        if (context.IsStopped())
            return kJobStopped;

        ViewSink* view = tester.GetView();
        TestInfo* info = view ? view->GetTestInfo(number) : nullptr;
        if (info == nullptr) {
            // A port the view keeps no record of has nowhere to put its results.
            LogWarning("端口%d没有测试记录，跳过。", number);
        } else {
            bool scanned = false;
            if (port->GetLinkState() == SwitchPort::Link_Up) {
                if (work != PortWork::Simply) {
                    CString ip;
                    if (Scan(ip, context) != 0) {
                        LogInfo("获取Modem信息失败。");
                    } else {
                        if (context.IsStopped())
                            return kJobStopped;
                        StoreScan(context, *info, ip);
                        scanned = true;
                    }
                }
                if (work != PortWork::Upgrade)
                    QueryDslamInto(context, *info);
            } else {
                LogDebug("端口%d Link Down,无法进行测试。", number);
            }
            if (work != PortWork::Simply)
                context.Result = info->Get().Modem;
            PostPortUpdated(tester, *info);
            if (work != PortWork::Simply && env.system.Modem.AutoUpgradeFirmware &&
                !UpgradeFirmwareStep(context, *info, scanned))
                return kJobStopped;
        }

        if (context.IsStopped())
            return kJobStopped;
        env.clearArp();
        if (context.IsStopped())
            return kJobStopped;
        manager->DisablePort(number);
        if (context.IsStopped())
            return kJobStopped;
        SleepMs(env, env.timings.portSettleMs);
    }

    if (context.IsStopped())
        return kJobStopped;
    manager->EnableAllPorts();
    return context.IsStopped() ? kJobStopped : kJobFinished;
}

void SwitchTimedOut(const char* routine) {
    LogError("%s::Start():与交换机通讯超时", routine);
    ShowErrorMessage(LoadStringId(1));
}

// The routine's top: every failure ends it as aborted, the ports left as they are.
int RunGuarded(TestContext& context, PortWork work, const char* routine) {
    try {
        return PortLoop(context, work);
    } catch (const DslamAborted&) {
        return kJobAborted;
    } catch (const SwitchTimeoutError&) {
        SwitchTimedOut(routine);
    } catch (long code) {
        if (code == SwitchTimeoutError::kCode)
            SwitchTimedOut(routine);
        else
            LogError("未知错误，错误代码：%d", static_cast<int>(code));
    } catch (Throw_Error error) {
        LogError("Manager_Throw_Error");
        CString text = SwitchErrorText(error);
        if (!text.IsEmpty())
            ShowErrorMessage(text);
    } catch (const std::exception& e) {
        LogError("%s::Start()：未知的异常，线程中止。", routine);
        LogDebug("%s", e.what());
    } catch (...) {
        LogError("%s::Start()：未知的异常，线程中止。", routine);
    }
    return kJobAborted;
}

} // namespace

ISwitchManager& ChooseSwitchManager(const JobEnvironment& env) {
    if (env.switchManager != nullptr)
        return *env.switchManager;
    if (env.switchConfig.IsSerial)
        return *SwitchManager::Instance(env.switchConfig);
    return *SwitchManager2::Instance(env.switchConfig);
}

CString SwitchErrorText(Throw_Error error) {
    return error == Error_LoginFailed ? LoadStringId(14) : ErrorText(error);
}

int BaseModemTester::Start(TestContext& context) {
    return RunGuarded(context, PortWork::Standard, "BaseModemTester");
}

int SimplyTester::Start(TestContext& context) {
    return RunGuarded(context, PortWork::Simply, "SimplyTester");
}

int Upgrader::Start(TestContext& context) {
    return RunGuarded(context, PortWork::Upgrade, "Upgrader");
}

int Scan(CString& ip, TestContext& context) {
    if (!FindModemIp(ip, context)) {
        LogInfo("Ping %s 失败。", ip.GetString());
        return 1;
    }
    LogDebug("Scan(%s)", ip.GetString());
    TerminalClient& client = context.Client;
    bool second = false;
    if (!client.FindDevice(ip)) {
        LogWarning("Scan(%s) failed,try again.", ip.GetString());
        context.GetEnvironment().clearArp();
        if (!client.FindDevice(ip)) {
            LogWarning("Unsupport device:%s ", ip.GetString());
            return 1;
        }
        second = true;
    }
    LogDebug("---- Find device：%s ----", client.GetTerminalName().GetString());
    CStringArray names;
    if (!client.GetParameterNames(names)) {
        LogError(second ? "获取参数列表失败2" : "获取参数列表失败");
        return 1;
    }
    for (const CString& name : names) {
        LogDebug("Parameter name:%s", name.GetString());
        const CString value = client.GetParameterValue(name);
        const int encode = client.GetParameterEncode(name);
        const int verdict = client.CheckParameterRules(name);
        LogDebug("    Rule Check Pass: %d, Encode: %d, Parameter value: %s", verdict, encode,
                 value.GetString());
    }
    return 0;
}

bool FindModemIp(CString& ip, TestContext& context) {
    JobEnvironment& env = context.GetEnvironment();
    CStringArray ips, masks, ports;
    context.Client.GetTemplateStore()->GetAddressLists(ips, masks, ports);
    for (const CString& address : ips) {
        if (context.IsStopped())
            return false;
        ip = address;
        if (!env.ping(address, env.timings.pingTimeoutMs)) {
            env.clearArp();
            if (!env.ping(address, env.timings.pingTimeoutMs)) {
                LogInfo("Ping %s failed.", address.GetString());
                continue;
            }
        }
        LogDebug("Ping %s successfully.", address.GetString());
        return true;
    }
    return false;
}

namespace {

bool FindNeighbourMac(platform::Netlink& netlink, int ifindex, uint32_t address, std::vector<uint8_t>& mac) {
    std::vector<platform::Neighbour> neighbours;
    if (!netlink.ListNeighbours(neighbours, ifindex))
        return false;
    for (const auto& n : neighbours) {
        if (n.address == address && n.mac.size() == 6 && !(n.state & (NUD_INCOMPLETE | NUD_FAILED))) {
            mac = n.mac;
            return true;
        }
    }
    return false;
}

// A datagram to the discard port makes the kernel resolve the neighbour.
void SolicitNeighbour(uint32_t address) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = address;
    ::sendto(fd.Get(), "", 0, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

} // namespace

CString GetMacByArp(const CString& ip) {
    constexpr auto kResolveLimit = std::chrono::milliseconds(1000);
    uint32_t address = 0;
    if (!platform::ParseIpv4(ip.str(), address)) {
        LogWarning("GetMacByArp(%s): no IPv4 address", ip.GetString());
        return CString();
    }
    platform::Netlink netlink;
    auto route = netlink.LookupRoute(address);
    if (!route || route->type != RTN_UNICAST || route->gateway != 0) {
        // Only a neighbour on a card's own network has an ARP entry.
        LogWarning("GetMacByArp(%s): not on a card's network", ip.GetString());
        return CString();
    }
    std::vector<uint8_t> mac;
    const auto deadline = std::chrono::steady_clock::now() + kResolveLimit;
    bool solicited = false;
    while (!FindNeighbourMac(netlink, route->ifindex, address, mac)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            LogWarning("GetMacByArp(%s): no ARP answer", ip.GetString());
            return CString();
        }
        if (!solicited) {
            SolicitNeighbour(address);
            solicited = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    CString text;
    text.Format("%.2x-%.2x-%.2x-%.2x-%.2x-%.2x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

CString StripNbsp(const CString& text) {
    CString out = text;
    out.Replace("&nbsp;", "");
    out.Replace("&nbsp", "");
    return out;
}

void QueryDslam(const JobEnvironment& environment, int switchPort, ModemResult& target) {
    const DslamConfig& dslam = environment.system.Dslam;
    const bool birch = dslam.Model == "Torvex Birch";
    const bool alder = !birch && dslam.Model == "Torvex Alder";
    if (!birch && !alder)
        return;
    auto address = GetDslamPortAddress(dslam, switchPort);
    if (!address)
        return;
    DslamClient client(dslam.Ip, dslam.Login.User, dslam.Login.Password);
    client.SetTelnetPort(environment.dslamTelnetPort);
    if (birch)
        client.QueryBirch(address->slot, address->port, target);
    else
        client.QueryAlder(address->slot, address->port, target);
}
