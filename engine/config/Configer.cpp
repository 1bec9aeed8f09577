#include "engine/config/Configer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pcap/pcap.h>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "engine/Common.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "platform/files/FileIo.h"
#include "platform/files/Profile.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/files/Registry.h"
#include "platform/net/Netlink.h"
#include "platform/wifi/WlanService.h"

namespace {

constexpr const char* kWanKey = "Software\\Tellvane\\WAN";
constexpr const char* kLanKey = "Software\\Tellvane\\LAN";
constexpr int kValueBuffer = 1024;   // characters per Config.ini value, with the terminating zero
constexpr int kRegistryBuffer = 256; // bytes per card-role value, with the terminating zero
constexpr int kDefaultPortCount = 24;
constexpr int kMaxPortCount = 48;

std::mutex g_instanceMutex;
std::unique_ptr<Configer> g_instance;

// The capture device list is read once per process and lives until the process ends.
struct DeviceListOwner {
    pcap_if_t* list = nullptr;
    bool read = false;
    ~DeviceListOwner() {
        if (list)
            pcap_freealldevs(list);
    }
};
std::mutex g_devicesMutex;
DeviceListOwner g_devices;

// At most 1023 bytes, never cutting a double-byte character in two.
CString Clip(const CString& text) {
    if (text.GetLength() < kValueBuffer)
        return text;
    int length = 0;
    while (length < kValueBuffer - 1) {
        int step = IsGbkLeadAt(text.str(), static_cast<size_t>(length)) ? 2 : 1;
        if (length + step > kValueBuffer - 1)
            break;
        length += step;
    }
    return text.Left(length);
}

class IniReader {
public:
    explicit IniReader(const CString& file) : m_file(file) {}

    CString Text(const char* section, const char* key, const char* defaultValue) const {
        return Clip(platform::ReadProfileString(m_file, section, key, defaultValue));
    }
    // Read like atoi; text that holds no number gives 0, with a warning, since a period or a
    // count of 0 is rarely what was meant.
    int Number(const char* section, const char* key, int defaultValue) const {
        if (!platform::ProfileKeyExists(m_file, section, key))
            return defaultValue;
        CString text = Text(section, key, "");
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(text, &end, 10);
        if (end == text.GetString()) {
            LogWarning("Config.ini [%s] %s=\"%s\" is no number; 0 is used.", section, key, text.GetString());
            return 0;
        }
        // Cut to int, a number too large would come back as some other number.
        if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
            LogWarning("Config.ini [%s] %s=\"%s\" is out of range; %d is used.", section, key,
                       text.GetString(), defaultValue);
            return defaultValue;
        }
        return static_cast<int>(value);
    }
    bool IsSerial(const char* section) const { return Text(section, "ConnectMode", "") == "Serial"; }
    bool IsTrue(const char* section, const char* key) const {
        CString text = Text(section, key, "FALSE");
        text.Trim(" ");
        return text.MakeUpper() == "TRUE";
    }

private:
    CString m_file;
};

// Writes keys one after another into the copy that becomes Config.ini; the first failure sticks.
class IniWriter {
public:
    explicit IniWriter(const CString& file) : m_file(file) {}
    void Text(const char* section, const char* key, const CString& value) {
        if (m_ok && !platform::WriteProfileString(m_file, section, key, value)) {
            m_ok = false;
            m_failedKey.Format("[%s] %s", section, key);
        }
    }
    void Number(const char* section, const char* key, int value) {
        CString text;
        text.Format("%d", value);
        Text(section, key, text);
    }
    bool Ok() const { return m_ok; }
    const CString& FailedKey() const { return m_failedKey; }

private:
    CString m_file;
    bool m_ok = true;
    CString m_failedKey;
};

bool ReadRegistryText(const char* key, const char* name, CString& value) {
    CString text;
    if (platform::RegGetString(platform::Hive::LocalMachine, key, name, text) != platform::kRegSuccess ||
        text.GetLength() >= kRegistryBuffer)
        return false;
    value = text;
    return true;
}

} // namespace

Configer* Configer::GetInstance() {
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance)
        g_instance = ConstructOrExit([] { return std::make_unique<Configer>(); });
    return g_instance.get();
}

Configer* Configer::Existing() {
    std::lock_guard lock(g_instanceMutex);
    return g_instance.get();
}

void Configer::DeleteInstance() {
    std::lock_guard lock(g_instanceMutex);
    g_instance.reset();
}

std::unique_ptr<Configer>
Configer::ConstructOrExit(const std::function<std::unique_ptr<Configer>()>& construct) {
    try {
        return construct();
    } catch (const std::exception& e) {
        LogWarning("CExcpetion");
        ShowErrorMessage(e.what());
        std::exit(-1);
    } catch (...) {
        LogWarning("Configer::Configer() exception unknown");
        ShowErrorMessage(LoadStringId(27));
        std::exit(-2);
    }
}

Configer::Configer() {
    m_ProgramDirectory = GetProgramDirectory();
    m_IniPath = platform::JoinPath(m_ProgramDirectory, "\\Config.ini");
    Load();
    if (m_Logger >= LOG_LEVEL_ALL && m_Logger <= LOG_LEVEL_NONE)
        SetLogLevel(m_Logger);
    if (CheckNicConfigured()) {
        if (FindAllPcapDevices() != 0)
            LogWarning("获取网络接口失败。");
        else
            BindPcapDevices();
    } else {
        if (FindAllPcapDevices() != 0)
            LogError("获取电脑网络接口失败。");
        else
            LogInfo("获取电脑网卡信息成功。");
        LogWarning("未配置网卡。");
    }
}

Configer::~Configer() = default;

void Configer::Load() {
    std::error_code error;
    if (std::filesystem::exists(m_IniPath.str(), error) &&
        !platform::ReadWholeFile(m_IniPath.str(), platform::kMaxProfileBytes))
        throw std::runtime_error((m_IniPath + " 无法读取。").str());

    IniReader ini(m_IniPath);
    std::lock_guard lock(m_mutex);
    m_Version = ini.Text("System", "Version", "");
    m_Logger = ini.Number("System", "Logger", 0);
    m_SystemConfig.ModemInfoColumWidth = ini.Number("System", "ModemInfoColumWidth", 50);
    m_Language = ini.Text("System", "Language", "auto");

    DslamConfig& dslam = m_SystemConfig.Dslam;
    dslam.Model = ini.Text("Dslam", "Model", "Torvex Birch");
    dslam.Ip = ini.Text("Dslam", "Ip", "172.16.0.1");
    dslam.Login.User = ini.Text("Dslam", "Login.User", "");
    dslam.Login.Password = ini.Text("Dslam", "Login.Password", "");
    dslam.Serial = ini.Number("Dslam", "Serial", 2);
    dslam.IsSerial = ini.IsSerial("Dslam");
    dslam.UploadRate = ini.Number("Dslam", "UploadRate", 512);
    dslam.DownloadRate = ini.Number("Dslam", "DownloadRate", 4000);
    dslam.Switch1to24 = ini.Number("Dslam", "Switch1to24", 2);
    dslam.Switch25to48 = ini.Number("Dslam", "Switch25to48", 3);

    ModemConfig& modem = m_SystemConfig.Modem;
    modem.StandTestPeriod = ini.Number("Modem", "StandTestPeriod", 300000);
    modem.LongPingTestPeriod = ini.Number("Modem", "LongPingTestPeriod", 7200000);
    modem.DefaultModemIp = ini.Text("Modem", "DefaultModemIp", "192.168.1.1");
    modem.WaitModemConnect = ini.Number("Modem", "WaitModemConnect", 60000);
    modem.AutoUpgradeFirmware = ini.IsTrue("Modem", "AutoUpgradeFirmware");
    modem.AutoUpgradeConfig = ini.IsTrue("Modem", "AutoUpgradeConfig");

    m_SystemConfig.PingTestPeriod = ini.Number("WLan", "PingTestPeriod", 300000);
    m_SystemConfig.SingalQualityStandard = ini.Number("WLan", "SingalQualityStandard", 80);
    // Which cards the wireless service drives, with which driver, through whose supplicant.
    platform::WlanServiceOptions wlan;
    CString links = ini.Text("WLan", "Links", "");
    links.Replace(',', ' ');
    std::istringstream words(links.str());
    for (std::string link; words >> link;)
        wlan.links.push_back(link);
    wlan.driver = ini.Text("WLan", "Driver", wlan.driver.c_str()).str();
    wlan.supplicantSocket = ini.Text("WLan", "SupplicantSocket", "").str();
    platform::WlanService::SetOptions(wlan);

    SwitchConfig& sw = m_SwitchConfig;
    sw.Model = ini.Text("Switch", "Model", "");
    sw.PortCount = ini.Number("Switch", "PortCount", kDefaultPortCount);
    sw.TrunkPortNo = ini.Number("Switch", "TrunkPortNo", kDefaultPortCount);
    sw.Ip = ini.Text("Switch", "Ip", "192.168.1.200");
    sw.Login.User = ini.Text("Switch", "Login.User", "");
    sw.Login.Password = ini.Text("Switch", "Login.Password", "");
    sw.Serial.Port = ini.Number("Switch", "Serial", 1);
    sw.IsSerial = ini.IsSerial("Switch");
    sw.SerialDevice = ini.Text("Switch", "SerialDevice", "");
    // Counts the rest of the engine would index with: out of range, the default is safer.
    if (sw.PortCount < 1 || sw.PortCount > kMaxPortCount) {
        LogWarning("Config.ini [Switch] PortCount=%d is outside 1..%d; %d is used.", sw.PortCount,
                   kMaxPortCount, kDefaultPortCount);
        sw.PortCount = kDefaultPortCount;
    }
    if (sw.TrunkPortNo < 1 || sw.TrunkPortNo > sw.PortCount) {
        // The default trunk, or the last port of a smaller switch.
        int trunk = std::min(kDefaultPortCount, sw.PortCount);
        LogWarning("Config.ini [Switch] TrunkPortNo=%d is outside 1..%d; %d is used.", sw.TrunkPortNo,
                   sw.PortCount, trunk);
        sw.TrunkPortNo = trunk;
    }

    ReadNicRole(kWanKey, m_NicConfig.WAN_Name, m_NicConfig.WAN_Guid);
    ReadNicRole(kLanKey, m_NicConfig.LAN_Name, m_NicConfig.LAN_Guid);
}

bool Configer::Save() {
    // Every key goes into a copy first; Config.ini is replaced only by the complete copy.
    CString copy = m_IniPath + ".saving";
    std::error_code error;
    std::filesystem::remove(copy.str(), error);
    bool iniOk = true;
    if (std::filesystem::exists(m_IniPath.str(), error)) {
        auto bytes = platform::ReadWholeFile(m_IniPath.str(), platform::kMaxProfileBytes);
        if (!bytes || !platform::SaveFileAtomically(copy.str(), *bytes)) {
            LogError("保存配置失败：无法复制%s。", m_IniPath.GetString());
            iniOk = false;
        }
    }
    bool rolesOk = true;
    if (iniOk) {
        iniOk = WriteIni(copy, rolesOk);
        if (iniOk && std::rename(copy.GetString(), m_IniPath.GetString()) != 0) {
            LogError("保存配置失败：无法替换%s。", m_IniPath.GetString());
            iniOk = false;
        }
    } else {
        // The card roles do not depend on the file.
        rolesOk = SaveNicConfig();
    }
    if (!iniOk)
        std::filesystem::remove(copy.str(), error);
    return iniOk && rolesOk;
}

bool Configer::WriteIni(const CString& file, bool& rolesOk) {
    SystemConfig system;
    SwitchConfig sw;
    CString version;
    int logger;
    {
        std::lock_guard lock(m_mutex);
        system = m_SystemConfig;
        sw = m_SwitchConfig;
        version = m_Version;
        logger = m_Logger;
    }
    IniWriter ini(file);
    ini.Text("System", "Version", version);
    ini.Number("System", "Logger", logger);
    const DslamConfig& dslam = system.Dslam;
    ini.Text("Dslam", "Model", dslam.Model);
    ini.Text("Dslam", "Ip", dslam.Ip);
    ini.Text("Dslam", "Login.User", dslam.Login.User);
    ini.Text("Dslam", "Login.Password", dslam.Login.Password);
    ini.Number("Dslam", "Serial", dslam.Serial);
    ini.Text("Dslam", "ConnectMode", dslam.IsSerial ? "Serial" : "TCPIP");
    ini.Number("Dslam", "UploadRate", dslam.UploadRate);
    ini.Number("Dslam", "DownloadRate", dslam.DownloadRate);
    ini.Number("Dslam", "Switch1to24", dslam.Switch1to24);
    ini.Number("Dslam", "Switch25to48", dslam.Switch25to48);
    ini.Number("WLan", "PingTestPeriod", system.PingTestPeriod);
    ini.Number("WLan", "SingalQualityStandard", system.SingalQualityStandard);
    const ModemConfig& modem = system.Modem;
    ini.Number("Modem", "StandTestPeriod", modem.StandTestPeriod);
    ini.Number("Modem", "LongPingTestPeriod", modem.LongPingTestPeriod);
    ini.Number("Modem", "WaitModemConnect", modem.WaitModemConnect);
    ini.Text("Modem", "AutoUpgradeFirmware", modem.AutoUpgradeFirmware ? "True" : "False");
    ini.Text("Modem", "AutoUpgradeConfig", modem.AutoUpgradeConfig ? "True" : "False");
    rolesOk = SaveNicConfig();
    ini.Text("Switch", "Model", sw.Model);
    ini.Number("Switch", "PortCount", sw.PortCount);
    ini.Number("Switch", "TrunkPortNo", sw.TrunkPortNo);
    ini.Text("Switch", "Ip", sw.Ip);
    ini.Text("Switch", "Login.User", sw.Login.User);
    ini.Text("Switch", "Login.Password", sw.Login.Password);
    ini.Number("Switch", "Serial", sw.Serial.Port);
    ini.Text("Switch", "ConnectMode", sw.IsSerial ? "Serial" : "TCPIP");
    // Most benches use COM n: the key appears only where a device was named.
    if (!sw.SerialDevice.IsEmpty())
        ini.Text("Switch", "SerialDevice", sw.SerialDevice);
    if (!ini.Ok())
        LogError("保存配置失败：%s 无法写入%s。", ini.FailedKey().GetString(), m_IniPath.GetString());
    return ini.Ok();
}

bool Configer::SetSystemConfig(const SystemConfig& config) {
    {
        std::lock_guard lock(m_mutex);
        m_SystemConfig = config;
    }
    return Save();
}

bool Configer::SetNicConfig(const NicConfig& config) {
    {
        std::lock_guard lock(m_mutex);
        m_NicConfig = config;
    }
    bool saved = Save();
    BindPcapDevices();
    return saved;
}

bool Configer::SetSwitchConfig(const SwitchConfig& config) {
    {
        std::lock_guard lock(m_mutex);
        m_SwitchConfig = config;
    }
    return Save();
}

SystemConfig Configer::GetSystemConfig() const {
    std::lock_guard lock(m_mutex);
    return m_SystemConfig;
}

NicConfig Configer::GetNicConfig() const {
    std::lock_guard lock(m_mutex);
    return m_NicConfig;
}

SwitchConfig Configer::GetSwitchConfig() const {
    std::lock_guard lock(m_mutex);
    return m_SwitchConfig;
}

CString Configer::GetLanguage() const {
    std::lock_guard lock(m_mutex);
    return m_Language;
}

CString Configer::GetVersion() const {
    std::lock_guard lock(m_mutex);
    return m_Version;
}

int Configer::GetLogger() const {
    std::lock_guard lock(m_mutex);
    return m_Logger;
}

void Configer::SetLogger(int level) {
    std::lock_guard lock(m_mutex);
    m_Logger = level;
}

void Configer::ReadNicRole(const char* key, CString& name, CString& guid) {
    if (!platform::RegKeyExists(platform::Hive::LocalMachine, key)) {
        LogInfo("从注册表读取网卡信息失败。");
        return;
    }
    if (!ReadRegistryText(key, "Name", name)) {
        LogWarning("rk.QueryStringValue(strKey,buffer,&count)==ERROR");
        return;
    }
    if (!ReadRegistryText(key, "Guid", guid))
        LogWarning("rk.QueryStringValue(strKey,buffer,&count)==ERROR");
}

void Configer::ReadWanNicConfig() {
    std::lock_guard lock(m_mutex);
    ReadNicRole(kWanKey, m_NicConfig.WAN_Name, m_NicConfig.WAN_Guid);
}

void Configer::ReadLanNicConfig() {
    std::lock_guard lock(m_mutex);
    ReadNicRole(kLanKey, m_NicConfig.LAN_Name, m_NicConfig.LAN_Guid);
}

bool Configer::SaveNicConfig() {
    NicConfig roles = GetNicConfig();
    struct Role {
        const char* key;
        const CString& name;
        const CString& guid;
        const char* nameFailed;
        const char* guidFailed;
    } roleList[] = {
        {kWanKey, roles.WAN_Name, roles.WAN_Guid, "rk.SetStringValue(strKey,this->m_NicConfig.WAN_Name)",
         "rk.SetStringValue(strKey,this->m_NicConfig.WAN_Guid)==ERROR"},
        {kLanKey, roles.LAN_Name, roles.LAN_Guid, "rk.SetStringValue(strKey,this->m_NicConfig.LAN_Name)",
         "rk.SetStringValue(strKey,this->m_NicConfig.LAN_Guid)==ERROR"},
    };
    using platform::Hive;
    bool ok = true;
    for (const Role& role : roleList) {
        // The store makes a key with its first value: a key that is still missing after a failed
        // write could not be created.
        bool existed = platform::RegKeyExists(Hive::LocalMachine, role.key);
        if (platform::RegSetString(Hive::LocalMachine, role.key, "Name", role.name) !=
            platform::kRegSuccess) {
            if (!existed && !platform::RegKeyExists(Hive::LocalMachine, role.key)) {
                LogWarning("保存网卡信息到注册表失败。");
                return false;
            }
            LogWarning("%s", role.nameFailed);
            ok = false;
            continue;
        }
        if (platform::RegSetString(Hive::LocalMachine, role.key, "Guid", role.guid) !=
            platform::kRegSuccess) {
            LogWarning("%s", role.guidFailed);
            ok = false;
        }
    }
    return ok;
}

bool Configer::CheckNicConfigured() {
    NicConfig roles = GetNicConfig();
    if (roles.WAN_Name.IsEmpty() || roles.WAN_Guid.IsEmpty() || roles.LAN_Name.IsEmpty() ||
        roles.LAN_Guid.IsEmpty()) {
        LogWarning("未配置网卡");
        return false;
    }
    LogDebug("检查系统中是否存在对应网卡");
    std::vector<NIC*> cards;
    PcNICInfo::Instance()->GetNicList(cards);
    bool lanFound = false, wanFound = false;
    for (const NIC* nic : cards) {
        if (nic->m_AdapterName == roles.LAN_Guid && nic->m_Description == roles.LAN_Name) {
            lanFound = true;
            LogDebug("I Get Lan NIC.");
        }
        if (nic->m_AdapterName == roles.WAN_Guid && nic->m_Description == roles.WAN_Name) {
            wanFound = true;
            LogDebug("I Get Wan NIC.");
        }
    }
    return lanFound && wanFound;
}

bool Configer::IsNicConnected(const NIC* nic) {
    if (!nic)
        return false;
    // By the card's own link: a MAC may be shared by bridges and sub-interfaces.
    auto link = platform::Netlink().GetLink(nic->m_IfIndex);
    return link && link->name == nic->m_InterfaceName.str() && link->IsOperUp();
}

int Configer::FindAllPcapDevices() {
    std::lock_guard lock(g_devicesMutex);
    if (!g_devices.read) {
        char error[PCAP_ERRBUF_SIZE] = {};
        if (pcap_findalldevs(&g_devices.list, error) != 0) {
            LogError("pcap_findalldevs: %s", error);
            g_devices.list = nullptr;
            return -1;
        }
        g_devices.read = true;
    }
    m_allIf = g_devices.list;
    return 0;
}

void Configer::BindPcapDevices() {
    NicConfig roles = GetNicConfig();
    PcNICInfo* cards = PcNICInfo::Instance();
    NIC* lan = cards->FindByGuid(roles.LAN_Guid);
    NIC* wan = cards->FindByGuid(roles.WAN_Guid);
    m_pLAN_NIC = lan;
    m_pWAN_NIC = wan;
    if (!lan || !wan) {
        LogError("It is impossile.m_pLAN_NIC or m_pWAN_NIC is null.");
        return;
    }
    if (!m_allIf) {
        LogError("this->m_allIf == NULL");
        return;
    }
    lan->SetDevice(nullptr);
    wan->SetDevice(nullptr);
    // A card's capture device is the one named after its interface, exactly.
    for (pcap_if_t* device = m_allIf; device; device = device->next) {
        if (wan->m_InterfaceName == device->name)
            wan->SetDevice(device);
        if (lan->m_InterfaceName == device->name)
            lan->SetDevice(device);
        if (device->description)
            LogDebug(" (%s)\n", device->description);
        else
            LogDebug(" (No description available)\n");
    }
}

void PcNICInfo::FindLanNicIndex() {
    FindLanNicIndex(Configer::GetInstance()->GetNicConfig().LAN_Guid);
}
