#include "bench/SimulatedBench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "bench/AirPeer.h"
#include "bench/DhcpServer.h"
#include "bench/FakeDslam.h"
#include "bench/FakeModem.h"
#include "bench/FakeSwitchConsole.h"
#include "bench/FakeTelnetSwitch.h"
#include "bench/NetNamespace.h"
#include "engine/firmware/FirmwareDB.h"
#include "engine/firmware/FirmwareSchema.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "templates/TemplateStore.h"
#include "tests/support/BenchModel.h"

namespace bench {

namespace fs = std::filesystem;

struct SimulatedBench::Port {
    int number = 0;
    BenchModemSpec spec;
    std::unique_ptr<NetNamespace> ns;
    std::unique_ptr<DhcpServer> dhcp; // on its bridge, when it has a wireless side
    std::unique_ptr<platform::Netlink> links; // opened inside the modem's namespace
    std::unique_ptr<FakeModem> modem;
    int swpIndex = 0;  // swpN in the switch namespace
    int eth0Index = 0; // eth0 in the modem's namespace
    int airIndex = 0;  // its side of the air, in the air's namespace
    std::string wlanMac;
    bool enabled = true;
    bool modemUp = false;
    bool linkShown = false; // what the switch last told
    int enables = 0;
    int uploads = 0;
    int restores = 0;
};

namespace {

std::vector<uint8_t> ParseMac(const std::string& text) {
    unsigned b[6] = {};
    std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    return {static_cast<uint8_t>(b[0]), static_cast<uint8_t>(b[1]), static_cast<uint8_t>(b[2]),
            static_cast<uint8_t>(b[3]), static_cast<uint8_t>(b[4]), static_cast<uint8_t>(b[5])};
}

std::string ModemMac(int port) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "02:00:00:00:01:%02x", port);
    return mac;
}

// The version an uploaded firmware file names: the word after "firmware ".
std::string VersionOfUpload(const std::string& body) {
    const std::string marker = "firmware ";
    size_t at = body.find("CV-100 " + marker);
    if (at == std::string::npos)
        return "";
    at += 7 + marker.size();
    size_t end = body.find_first_of(" \r\n", at);
    return body.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace

SimulatedBench::SimulatedBench(SimulatedBenchConfig config) : m_config(std::move(config)) {}

SimulatedBench::~SimulatedBench() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopChanged.notify_all();
    for (auto& t : m_reboots)
        t.join();
    // The servers first: their hooks reach into the ports.
    for (auto& p : m_ports)
        if (p->modem)
            p->modem->Stop();
    m_airPeer.reset();
    if (m_console)
        m_console->Stop();
    if (m_telnet)
        m_telnet->Stop();
    if (m_dslam)
        m_dslam->Stop();
    if (m_forwarder)
        m_forwarder->Stop();
    m_ports.clear(); // each modem's namespace with it
    m_swLinks.reset();
    m_sw.reset();
    m_airLinks.reset();
    m_air.reset();
    m_pc.reset();
    if (m_ownDirectory && !m_directory.empty()) {
        std::error_code ignored;
        fs::remove_all(m_directory, ignored);
    }
}

std::string SimulatedBench::ConsolePath() const {
    return m_console ? m_console->DevicePath() : std::string();
}

void SimulatedBench::Build() {
    const int modems = static_cast<int>(m_config.modems.size());
    if (m_config.directory.empty()) {
        char pattern[] = "/tmp/corvay-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            throw std::runtime_error("cannot make a program directory");
        m_directory = pattern;
        m_ownDirectory = true;
    } else {
        m_directory = m_config.directory;
        fs::create_directories(m_directory);
    }

    m_pc = std::make_unique<NetNamespace>();
    m_sw = std::make_unique<NetNamespace>();
    AddVethPair(*m_pc, "lan0", *m_sw, "lanpeer", kLanMac);
    AddVethPair(*m_pc, "wan0", *m_sw, "wanpeer", kWanMac);
    m_pc->Ip("addr add 192.168.1.100/24 dev lan0");
    m_pc->Ip("addr add 172.16.0.100/24 dev wan0");
    m_sw->Ip("link add br0 type bridge");
    m_sw->Ip("link set br0 up");
    m_sw->Ip("link set lanpeer master br0");
    m_sw->Ip("addr add 192.168.1.200/24 dev br0");
    m_sw->Ip("addr add 172.16.0.1/24 dev wanpeer");
    // Tagged frames belong to the traffic path, not to the bridge (the packet sockets of the
    // forwarder see them before this hook drops them).
    std::string nftOutput;
    if (m_sw->Shell(
            "nft add table netdev cvbench && "
            "nft add chain netdev cvbench trunk '{ type filter hook ingress device lanpeer priority 0; }' && "
            "nft add rule netdev cvbench trunk ether type 8021q drop",
            &nftOutput) != 0)
        throw std::runtime_error("nft: " + nftOutput);
    RunInside(*m_sw, [&] { m_swLinks = std::make_unique<platform::Netlink>(); });

    if (HasAir()) {
        m_air = std::make_unique<NetNamespace>();
        m_air->Ip("link add air0 type bridge");
        m_air->Ip("link set air0 up");
        AddVethPair(*m_pc, "wl0", *m_air, "pc", kWlanMac);
        m_air->Ip("link set pc master air0");
        RunInside(*m_air, [&] { m_airLinks = std::make_unique<platform::Netlink>(); });
        fs::create_directories(fs::path(m_directory) / "air");
        // The program's control clients bind abstract addresses, which are the namespace's own:
        // the air's sockets are made in the PC's namespace so that their replies reach them.
        RunInside(*m_pc, [&] {
            m_airPeer = std::make_unique<AirPeer>(
                AirSocket(), [this](const std::string&, int station) { LayAirPath(station); });
        });
        m_airPeer->AddCard("wl0", kWlanMac);
    }

    WriteDirectory();
    m_models = std::make_unique<TemplateStore>();
    if (!m_models->Load((fs::path(m_directory) / "Terminals.dat").string().c_str()) ||
        m_models->Terminals().empty())
        throw std::runtime_error("cannot read the bench's template file");

    m_console = std::make_unique<FakeSwitchConsole>(PortCount());
    std::string error;
    if (!m_console->Start(&error))
        throw std::runtime_error("console: " + error);
    m_telnet = std::make_unique<FakeTelnetSwitch>("admin", "admin", PortCount());
    m_dslam = std::make_unique<FakeDslam>("Birch", "admin", "admin");
    m_forwarder = std::make_unique<TrafficForwarder>(m_sw->Fd(), "lanpeer", "wanpeer");

    for (int n = 1; n <= modems; ++n) {
        auto port = std::make_unique<Port>();
        port->number = n;
        port->spec = m_config.modems[static_cast<size_t>(n - 1)];
        const bool present = port->spec.kind != ModemKind::Absent;
        m_dslam->SetRow(1, n,
                        "1/" + std::to_string(n) + "  ADSL2+  " + (present ? port->spec.line : "down 0 0"));
        BuildModem(*port);
        m_ports.push_back(std::move(port));
    }
    // The trunk.
    m_console->SetPortFields(PortCount(), {"enabled", "up", PortCount() + 1});
    m_telnet->SetSwitchPort(PortCount(), {true, true, PortCount() + 1});

    bool started = true;
    RunInside(*m_sw,
              [&] { started = m_telnet->Start("192.168.1.200", 23) && m_dslam->Start("172.16.0.1", 23); });
    if (!started)
        throw std::runtime_error("cannot start the switch's or the DSLAM's telnet service");
    if (!m_forwarder->Start(&error))
        throw std::runtime_error("traffic path: " + error);
    auto hook = [this](int port, bool enabled) { SetEnabled(port, enabled); };
    m_console->SetPortHook(hook);
    m_telnet->SetPortHook(hook);
    for (auto& p : m_ports)
        Refresh(*p);
}

void SimulatedBench::BuildModem(Port& port) {
    const std::string swp = "swp" + std::to_string(port.number);
    if (port.spec.kind == ModemKind::Absent)
        return;
    port.ns = std::make_unique<NetNamespace>();
    AddVethPair(*m_sw, swp, *port.ns, "eth0", "", ModemMac(port.number));
    m_sw->Ip("link set " + swp + " master br0");
    if (port.spec.wireless == Wireless::None) {
        port.ns->Ip("addr add 192.168.1.1/24 dev eth0");
    } else {
        // LAN and WLAN on one bridge, the factory address on it, as such a modem has them.
        char wlanMac[32];
        std::snprintf(wlanMac, sizeof wlanMac, "02:00:00:00:0d:%02x", port.number);
        port.wlanMac = wlanMac;
        const std::string side = "m" + std::to_string(port.number);
        AddVethPair(*port.ns, "wlan0", *m_air, side, wlanMac);
        m_air->Ip("link set " + side + " master air0");
        m_air->Ip("link set " + side + " down"); // until the PC's card joins its network
        port.airIndex = m_air->IfIndex(side);
        port.ns->Ip("link add br0 address " + ModemMac(port.number) + " type bridge");
        port.ns->Ip("link set eth0 master br0");
        port.ns->Ip("link set wlan0 master br0");
        port.ns->Ip("link set br0 up");
        port.dhcp = std::make_unique<DhcpServer>(*port.ns, "br0", "192.168.1", 150, 160);
    }
    if (port.spec.kind == ModemKind::NoPing &&
        port.ns->Shell("sysctl -q -w net.ipv4.icmp_echo_ignore_all=1") != 0)
        throw std::runtime_error("cannot make a modem deaf to pings");
    port.swpIndex = m_sw->IfIndex(swp);
    port.eth0Index = port.ns->IfIndex("eth0");

    const TerminalRecord& model = *m_models->Terminals()[0];
    FakeModemConfig config;
    config.values = testsupport::BenchModemValues(
        port.spec.kind == ModemKind::UnknownModel ? "XX-9" : testsupport::kBenchModelName, port.spec.version,
        "SN" + std::to_string(1000 + port.number));
    if (port.spec.wireless != Wireless::None) {
        // On the air under its factory name until its wireless page is set.
        char name[32];
        std::snprintf(name, sizeof name, "CV100-%02X%02X", 0x0d, port.number);
        config.wireless = ModemWireless{name, 3, "cv100-" + std::to_string(1000 + port.number)};
    }
    port.modem = std::make_unique<FakeModem>(model, config);
    Port* p = &port;
    if (config.wireless) {
        PutOnAir(port, *config.wireless);
        port.modem->SetWirelessHook([this, p](const ModemWireless& settings) { PutOnAir(*p, settings); });
    }
    port.modem->SetUploadHook([this, p](const std::string& body) {
        std::string version = VersionOfUpload(body);
        {
            std::lock_guard lock(m_mutex);
            ++p->uploads;
        }
        if (p->spec.kind == ModemKind::OldVersion)
            version.clear();
        Reboot(*p, version, p->spec.kind != ModemKind::NeverBack);
    });
    port.modem->SetFunctionHook([this, p](const std::string& function) {
        if (function != "RestoreConfig")
            return;
        {
            std::lock_guard lock(m_mutex);
            ++p->restores;
        }
        // Its wireless side comes back under its factory name.
        p->modem->RestoreWireless();
        Reboot(*p, "", true);
    });
    RunInside(*port.ns, [&] {
        port.links = std::make_unique<platform::Netlink>();
        port.modem->Start("192.168.1.1", 80);
    });
    port.modemUp = true;
}

void SimulatedBench::PutOnAir(Port& port, const ModemWireless& settings) {
    AirStation station;
    station.ssid = settings.ssid;
    station.security = settings.security;
    station.key = settings.key;
    station.bssid = port.wlanMac;
    m_airPeer->SetStation(port.number, station);
}

void SimulatedBench::LayAirPath(int joined) {
    std::lock_guard lock(m_airMutex);
    for (auto& p : m_ports)
        if (p->airIndex != 0)
            m_airLinks->SetLinkUp(p->airIndex, p->number == joined && p->spec.wireless == Wireless::Lit);
}

std::optional<ModemWireless> SimulatedBench::WirelessOf(int port) const {
    if (port < 1 || port > static_cast<int>(m_ports.size()) || !m_ports[static_cast<size_t>(port - 1)]->modem)
        return std::nullopt;
    return m_ports[static_cast<size_t>(port - 1)]->modem->Wireless();
}

int SimulatedBench::AirJoined() const {
    return m_airPeer ? m_airPeer->Joined("wl0") : 0;
}

bool SimulatedBench::HasAir() const {
    return std::any_of(m_config.modems.begin(), m_config.modems.end(),
                       [](const BenchModemSpec& m) { return m.wireless != Wireless::None; });
}

std::string SimulatedBench::AirSocket() const {
    return (fs::path(m_directory) / "air" / "global").string();
}

void SimulatedBench::Reboot(Port& port, const std::string& newVersion, bool comesBack) {
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return;
    // Just after the answer to the request that asked for it has gone out.
    m_reboots.emplace_back([this, &port, newVersion, comesBack] {
        auto waitMs = [this](int ms) {
            std::unique_lock lock(m_mutex);
            return !m_stopChanged.wait_for(lock, std::chrono::milliseconds(ms),
                                           [this] { return m_stopping; });
        };
        if (!waitMs(10))
            return;
        SetModemUp(port.number, false);
        // Away as long in the jobs' time as their reboot limit counts it.
        if (!comesBack || !waitMs(m_config.rebootMs / std::max(1, m_config.timeScale)))
            return;
        if (!newVersion.empty()) {
            auto values = port.modem->Values();
            values["Firmware_Version"] = newVersion;
            port.modem->SetValues(values);
        }
        SetModemUp(port.number, true);
    });
}

void SimulatedBench::SetModemUp(int number, bool up) {
    if (number < 1 || number > static_cast<int>(m_ports.size()))
        return;
    Port& port = *m_ports[static_cast<size_t>(number - 1)];
    if (!port.ns)
        return;
    port.links->SetLinkUp(port.eth0Index, up);
    {
        std::lock_guard lock(m_mutex);
        port.modemUp = up;
    }
    Refresh(port);
}

void SimulatedBench::SetEnabled(int number, bool enabled) {
    if (number < 1 || number > static_cast<int>(m_ports.size()))
        return;
    Port& port = *m_ports[static_cast<size_t>(number - 1)];
    bool loseLink = false;
    {
        std::lock_guard lock(m_mutex);
        port.enabled = enabled;
        loseLink = enabled && port.spec.kind == ModemKind::Flaky && ++port.enables == 2;
    }
    if (loseLink)
        SetModemUp(number, false);
    Refresh(port);
}

void SimulatedBench::Refresh(Port& port) {
    bool enabled, link, changed;
    {
        std::lock_guard lock(m_mutex);
        enabled = port.enabled;
        link = port.enabled && port.modemUp;
        changed = link != port.linkShown;
        port.linkShown = link;
    }
    if (port.swpIndex != 0)
        m_swLinks->SetLinkUp(port.swpIndex, enabled);
    const int vlan = port.number + 1;
    m_forwarder->SetPolicy(vlan, link ? port.spec.traffic : PortPolicy::DropAll());
    m_console->SetPortFields(port.number, {enabled ? "enabled" : "disabled", link ? "up" : "down", vlan});
    m_telnet->SetSwitchPort(port.number, {enabled, link, vlan});
    if (changed && m_config.console)
        m_console->SendTrap(port.number, link);
}

int SimulatedBench::Uploads(int port) const {
    std::lock_guard lock(m_mutex);
    return port >= 1 && port <= static_cast<int>(m_ports.size())
               ? m_ports[static_cast<size_t>(port - 1)]->uploads
               : 0;
}

int SimulatedBench::Restores(int port) const {
    std::lock_guard lock(m_mutex);
    return port >= 1 && port <= static_cast<int>(m_ports.size())
               ? m_ports[static_cast<size_t>(port - 1)]->restores
               : 0;
}

bool SimulatedBench::LinkUp(int port) const {
    std::lock_guard lock(m_mutex);
    return port >= 1 && port <= static_cast<int>(m_ports.size()) &&
           m_ports[static_cast<size_t>(port - 1)]->linkShown;
}

void SimulatedBench::WriteDirectory() {
    const fs::path dir = m_directory;
    const auto yes = [](bool b) { return b ? "True" : "False"; };
    std::string ini =
        "[System]\r\nLanguage=cn\r\n"
        "[Dslam]\r\nModel=Torvex Birch\r\nIp=172.16.0.1\r\nLogin.User=admin\r\nLogin.Password=admin\r\n"
        "ConnectMode=TCPIP\r\nUploadRate=512\r\nDownloadRate=4000\r\n";
    ini += "[Modem]\r\nStandTestPeriod=" + std::to_string(m_config.standTestPeriodMs) +
           "\r\nLongPingTestPeriod=" + std::to_string(m_config.longPingTestPeriodMs) +
           "\r\nWaitModemConnect=" + std::to_string(m_config.waitModemConnectMs) +
           "\r\nAutoUpgradeFirmware=" + yes(m_config.autoUpgrade) +
           "\r\nAutoUpgradeConfig=" + yes(m_config.autoRestore) + "\r\n";
    ini += "[WLan]\r\nPingTestPeriod=" + std::to_string(m_config.wlanPingTestPeriodMs) + "\r\n";
    // The PC's card is a veth, which no wireless detection finds, and the air is the supplicant.
    if (HasAir())
        ini += "Links=wl0\r\nDriver=wired\r\nSupplicantSocket=" + AirSocket() + "\r\n";
    ini += "[Switch]\r\nPortCount=" + std::to_string(PortCount()) +
           "\r\nTrunkPortNo=" + std::to_string(PortCount()) +
           "\r\nIp=192.168.1.200\r\nLogin.User=admin\r\nLogin.Password=admin\r\nConnectMode=" +
           (m_config.console ? "Serial" : "TCPIP") + "\r\n";
    WriteText(dir / "Config.ini", ini);
    WriteText(dir / "Terminals.dat",
              testsupport::BenchTerminalsFile({{"192.168.1.1", "255.255.255.0", {80}}}));

    // The card roles, as the settings dialog stores them.
    fs::create_directories(dir / "registry");
    const CString previousRoot = platform::RegistryRoot();
    platform::SetRegistryRoot((dir / "registry").string().c_str());
    for (const auto& [role, name, mac] :
         {std::tuple{"LAN", "lan0", kLanMac}, std::tuple{"WAN", "wan0", kWanMac}}) {
        const CString key = CString("Software\\Tellvane\\") + role;
        platform::RegSetString(platform::Hive::LocalMachine, key, "Name", name);
        platform::RegSetString(platform::Hive::LocalMachine, key, "Guid",
                               platform::CardGuidFromMac(ParseMac(mac)).c_str());
    }
    platform::SetRegistryRoot(previousRoot);

    // The firmware database with a file per rule's version.
    fs::create_directories(dir / "firmware");
    const fs::path database = dir / kFirmwareDatabaseName;
    fs::remove(database);
    CString why;
    if (!CreateFirmwareDatabase(database.string().c_str(), why))
        throw std::runtime_error("firmware database: " + why.str());
    const CString previousDir = platform::ProgramDirectory();
    platform::SetProgramDirectory((dir.string() + "/").c_str());
    FirmwareDB::DeleteInstance();
    bool stored = FirmwareDB::GetInstance() && FirmwareDB::GetInstance()->IsOpen();
    for (const BenchRule& rule : m_config.rules) {
        const fs::path file = dir / "firmware" / (rule.version + ".bin");
        WriteText(file, "CV-100 firmware " + rule.version + "\n");
        Firmware firmware;
        firmware.VersionName = rule.version.c_str();
        firmware.Path = file.string().c_str();
        stored = stored && FirmwareDB::GetInstance()->AddFirmware(firmware) &&
                 FirmwareDB::GetInstance()->AddUpgradeRule({rule.oldVersion.c_str(), firmware});
    }
    FirmwareDB::DeleteInstance();
    platform::SetProgramDirectory(previousDir);
    if (!stored)
        throw std::runtime_error("cannot store the upgrade rules");
}

} // namespace bench
