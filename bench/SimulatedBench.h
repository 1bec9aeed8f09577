#pragma once
// The whole test bench in network namespaces, as the programs meet it on a production line:
//   pc     lan0 192.168.1.100/24 and wan0 172.16.0.100/24, the PC's two cards;
//   sw     a bridge over lanpeer (the trunk) and swp1..N, the telnet switch at 192.168.1.200:23
//          on it, the console on a pty, the DSLAM at 172.16.0.1:23 on wanpeer, and the traffic
//          path that carries the ping test's tagged frames from lanpeer to wanpeer (VLAN port+1);
//   modemN eth0 192.168.1.1/24 with its own MAC and a CV-100 web server on port 80; a modem
//          with a wireless side bridges eth0 with wlan0, has its address on that bridge and
//          leases 192.168.1.150-160 there (busybox udhcpd), and its wireless page sets the name,
//          security and key it is on the air under (a factory name until then, and again
//          after a factory restore);
//   air    the PC's card wl0 and each wireless modem's wlan0 on one bridge, each modem's side
//          of it up only while wl0 has joined that modem's network (and the modem is lit). The
//          air peer is the supplicant the program talks to, over the control socket that
//          Config.ini's [WLan] SupplicantSocket names.
// Enabling or disabling a port (over either switch) sets swpN up or down; a port's link is up
// while it is enabled and its modem is up, and shows in "show port" and as a console trap.
// It also writes a program directory the programs can run from. Everything it made goes with it.

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/FakeModem.h"
#include "bench/TrafficBench.h"

namespace platform {
class Netlink;
}
class TemplateStore;

namespace bench {

class AirPeer;
class FakeDslam;
class FakeModem;
class FakeSwitchConsole;
class FakeTelnetSwitch;
class NetNamespace;

enum class ModemKind {
    Ok,           // answers, is recognised, upgrades as asked
    Absent,       // nothing on the port: its link never comes up
    NoPing,       // ignores echo requests
    UnknownModel, // serves a model no template knows
    NeverBack,    // does not come back from a firmware upload
    OldVersion,   // comes back from an upload with its old version
    Flaky,        // loses its link for good when its port is enabled a second time
};

// A modem's wireless side: none, one the PC's card reaches once joined, or one that is dark (on
// the air, joinable, and passing nothing).
enum class Wireless { None, Lit, Dark };

struct BenchModemSpec {
    ModemKind kind = ModemKind::Ok;
    std::string version = "V1.0";
    // The DSLAM's "state down up" for the port.
    std::string line = "up 4064 512";
    PortPolicy traffic = PortPolicy::Pass();
    Wireless wireless = Wireless::None;
};

struct BenchRule {
    std::string oldVersion, version; // a firmware file is written for the version
};

struct SimulatedBenchConfig {
    // Modem ports; the switch has one more, the trunk.
    std::vector<BenchModemSpec> modems = std::vector<BenchModemSpec>(4);
    bool console = false; // the configuration drives the switch over its console
    std::vector<BenchRule> rules;
    bool autoUpgrade = false;
    bool autoRestore = false;
    int standTestPeriodMs = 3000;
    int longPingTestPeriodMs = 3000;
    int waitModemConnectMs = 60000;
    int wlanPingTestPeriodMs = 300000; // the wireless test's pings
    int rebootMs = 3000;   // how long a modem is away for a reboot, in the jobs' time
    int timeScale = 1;     // the jobs' time scale: the reboot takes rebootMs / timeScale
    std::string directory; // the program directory to write; a fresh one under /tmp when empty
};

class SimulatedBench {
public:
    explicit SimulatedBench(SimulatedBenchConfig config);
    // Stops every fake and removes the namespaces (and a directory it chose itself).
    ~SimulatedBench();
    SimulatedBench(const SimulatedBench&) = delete;
    SimulatedBench& operator=(const SimulatedBench&) = delete;

    // Builds it; throws std::runtime_error when it cannot (namespaces need root).
    void Build();

    const NetNamespace& Pc() const { return *m_pc; }
    const NetNamespace& Switch() const { return *m_sw; }
    std::string ConsolePath() const;
    const std::string& Directory() const { return m_directory; }
    int PortCount() const { return static_cast<int>(m_config.modems.size()) + 1; }

    FakeSwitchConsole& Console() { return *m_console; }
    FakeTelnetSwitch& TelnetSwitch() { return *m_telnet; }
    FakeDslam& Dslam() { return *m_dslam; }
    TrafficForwarder& Forwarder() { return *m_forwarder; }
    // Uploads answered and factory restores done by a port's modem.
    int Uploads(int port) const;
    int Restores(int port) const;
    bool LinkUp(int port) const;
    // Takes a modem off its port (or puts it back), as an operator pulling its cable.
    void SetModemUp(int port, bool up);
    // The wireless settings of a port's modem, as its pages have them; nothing without a
    // wireless side.
    std::optional<ModemWireless> WirelessOf(int port) const;
    // The port whose modem the PC's card has joined, 0 for none.
    int AirJoined() const;

    static constexpr const char* kLanMac = "02:00:00:00:0a:01";
    static constexpr const char* kWanMac = "02:00:00:00:0b:01";
    static constexpr const char* kWlanMac = "02:00:00:00:0c:01"; // wl0

private:
    struct Port;
    void WriteDirectory();
    void BuildModem(Port& port);
    void SetEnabled(int port, bool enabled);
    bool HasAir() const;
    std::string AirSocket() const;
    void PutOnAir(Port& port, const ModemWireless& settings);
    void LayAirPath(int port);
    void Reboot(Port& port, const std::string& newVersion, bool comesBack);
    // Brings the switch fakes, the traffic path and swpN in line with the port's state.
    void Refresh(Port& port);

    SimulatedBenchConfig m_config;
    std::string m_directory;
    bool m_ownDirectory = false;
    std::unique_ptr<NetNamespace> m_pc, m_sw;
    std::unique_ptr<platform::Netlink> m_swLinks;
    std::unique_ptr<NetNamespace> m_air;
    std::unique_ptr<platform::Netlink> m_airLinks;
    std::mutex m_airMutex; // the air's links
    std::unique_ptr<AirPeer> m_airPeer;
    std::unique_ptr<TemplateStore> m_models;
    std::unique_ptr<FakeSwitchConsole> m_console;
    std::unique_ptr<FakeTelnetSwitch> m_telnet;
    std::unique_ptr<FakeDslam> m_dslam;
    std::unique_ptr<TrafficForwarder> m_forwarder;
    std::vector<std::unique_ptr<Port>> m_ports;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopChanged;
    bool m_stopping = false;
    std::vector<std::thread> m_reboots;
};

} // namespace bench
