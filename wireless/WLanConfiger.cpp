#include "wireless/WLanConfiger.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "engine/log/Logger.h"
#include "platform/prompt/Prompt.h"
#include "platform/wifi/WideText.h"
#include "wireless/WifiService.h"

using namespace platform;

platform::Event g_WifiScanEvent(false, false);

// The module's entry points, as resolved by name; null where missing.
struct WlanApiEntries {
    bool loaded = false; // from a module; an object without one has nothing to report
    WlanRegisterNotificationFunction* myWlanRegisterNotification = nullptr;
    WlanFreeMemoryFunction* myWlanFreeMemory = nullptr;
    WlanCloseHandleFunction* myWlanCloseHandle = nullptr;
    WlanOpenHandleFunction* myWlanOpenHandle = nullptr;
    WlanEnumInterfacesFunction* myWlanEnumInterfaces = nullptr;
    WlanSetProfileFunction* myWlanSetProfile = nullptr;
    WlanSetInterfaceFunction* myWlanSetInterface = nullptr;
    WlanGetInterfaceCapabilityFunction* myWlanGetInterfaceCapability = nullptr;
    WlanScanFunction* myWlanScan = nullptr;
    WlanReasonCodeToStringFunction* myWlanReasonCodeToString = nullptr;
    WlanGetAvailableNetworkListFunction* myWlanGetAvailableNetworkList = nullptr;
    WlanGetProfileListFunction* myWlanGetProfileList = nullptr;
    WlanGetProfileFunction* myWlanGetProfile = nullptr;
    WlanConnectFunction* myWlanConnect = nullptr;
    WlanDisconnectFunction* myWlanDisconnect = nullptr;
    WlanDeleteProfileFunction* myWlanDeleteProfile = nullptr;
};

namespace {

constexpr uint32_t kErrorProcNotFound = 127;
constexpr uint32_t kErrorProfilesLeft = 1003; // ERROR_CAN_NOT_COMPLETE
constexpr uint32_t kClientVersion = 1;
constexpr size_t kConnectionPayloadSize = sizeof(WlanConnectionNotificationData); // 572 bytes
constexpr std::chrono::milliseconds kScanWait(5000);

// The module is held while any WLanConfiger lives; the last one lets it go.
std::mutex g_apiMutex;
int g_instances = 0;
std::shared_ptr<const WlanApiEntries> g_api;

std::atomic<uint32_t> g_notConnectableReason{0};

std::shared_ptr<const WlanApiEntries> CurrentApi() {
    std::lock_guard lock(g_apiMutex);
    return g_api;
}

void Free(const WlanApiEntries& api, void* memory) {
    if (memory && api.myWlanFreeMemory)
        api.myWlanFreeMemory(memory);
}

void Close(const WlanApiEntries& api, WlanHandle handle) {
    if (handle && api.myWlanCloseHandle)
        api.myWlanCloseHandle(handle, nullptr);
}

// A client handle of its own, closed when it goes.
class OwnHandle {
public:
    explicit OwnHandle(const WlanApiEntries& api) : m_api(api) {
        m_result = OpenHandleAndCheckVersion(m_handle);
    }
    ~OwnHandle() { Close(m_api, m_handle); }
    OwnHandle(const OwnHandle&) = delete;
    OwnHandle& operator=(const OwnHandle&) = delete;
    bool IsOpen() const { return m_result == 0; }
    uint32_t Result() const { return m_result; }
    WlanHandle Get() const { return m_handle; }

private:
    const WlanApiEntries& m_api;
    WlanHandle m_handle = nullptr;
    uint32_t m_result = 0;
};

CString GbkOf(const char16_t* text, size_t capacity) {
    return CString(GbkFromWide(WideOf(text, capacity)));
}

// The names of every profile of the interface, in list order; nothing when they cannot be listed.
std::optional<std::vector<std::u16string>> ProfileNames(const WlanApiEntries& api, WlanHandle handle,
                                                        const WlanGuid& guid) {
    std::vector<std::u16string> names;
    WlanProfileInfoList* list = nullptr;
    if (!api.myWlanGetProfileList ||
        api.myWlanGetProfileList(handle, &guid, nullptr, &list) != kWlanSuccess || !list)
        return std::nullopt;
    for (uint32_t i = 0; i < list->numberOfItems; ++i)
        names.push_back(WideOf(list->profiles[i].profileName, std::size(list->profiles[i].profileName)));
    Free(api, list);
    return names;
}

const std::vector<std::u16string>& NoNames() {
    static const std::vector<std::u16string> none;
    return none;
}

// Waits on the scan event, on the library's clock.
bool WaitForScanEvent(std::chrono::milliseconds total) {
    Clock& clock = WirelessClock();
    const Clock::Steady::time_point deadline = clock.Now() + total;
    while (g_WifiScanEvent.Wait(0) != kWaitObject0) {
        Clock::Steady::time_point now = clock.Now();
        if (now >= deadline)
            return false;
        clock.SleepFor(std::min(std::chrono::milliseconds(100),
                                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now)));
    }
    return true;
}

const char* MediaNotificationName(uint32_t code) {
    static const char* const kNames[] = {
        "\"associating\"",
        "\"associated\"",
        "\"authenticating\"",
        "\"connected\"",
        "\"roaming start\"",
        "\"roaming end\"",
        "\"radio state change\"",
        "\"signal quality change\"",
        "\"disassociating\"",
        "\"disconnected\"",
        "\"a peer joins the ad hoc network\"",
        "\"a peer leaves the ad hoc network\"",
        "\"adapter is in a bad state\"",
    };
    return code >= 1 && code <= std::size(kNames) ? kNames[code - 1] : "unknown MSM notification";
}

CString ReasonText(const WlanApiEntries& api, uint32_t reason) {
    char16_t buffer[256] = {};
    if (!api.myWlanReasonCodeToString || api.myWlanReasonCodeToString(reason, 256, buffer, nullptr) != 0)
        return CString();
    return GbkOf(buffer, std::size(buffer));
}

int CheckWzcStatus() {
    try {
        WzcClient client;
        if (!client.IsLoaded())
            return -3;
        if (client.InterfaceCount() == 0 || client.Interfaces().empty())
            return -2;
        return client.QuerySsidList(client.Interfaces()[0]).empty() ? -4 : -15;
    } catch (int error) {
        return error == 1783 ? -16 : error;
    }
}

} // namespace

bool LoadWlanApi() {
    std::lock_guard lock(g_apiMutex);
    if (g_api)
        return true;
    const WlanModule* module = FindWlanModule("wlanapi.dll");
    if (!module)
        return false;
    auto api = std::make_shared<WlanApiEntries>();
    api->loaded = true;
    // Resolved in this order; the first missing one ends the resolving.
    auto resolve = [&](auto& entry, const char* name, bool logged = true) {
        using Function = std::remove_pointer_t<std::remove_reference_t<decltype(entry)>>;
        entry = module->Resolve<Function>(name);
        if (!entry && logged)
            LogError("my%s failed", name);
        return entry != nullptr;
    };
    resolve(api->myWlanRegisterNotification, "WlanRegisterNotification") &&
        resolve(api->myWlanFreeMemory, "WlanFreeMemory") &&
        resolve(api->myWlanCloseHandle, "WlanCloseHandle") &&
        resolve(api->myWlanOpenHandle, "WlanOpenHandle") &&
        resolve(api->myWlanEnumInterfaces, "WlanEnumInterfaces") &&
        resolve(api->myWlanSetProfile, "WlanSetProfile") &&
        resolve(api->myWlanSetInterface, "WlanSetInterface") &&
        resolve(api->myWlanGetInterfaceCapability, "WlanGetInterfaceCapability") &&
        resolve(api->myWlanScan, "WlanScan") &&
        resolve(api->myWlanReasonCodeToString, "WlanReasonCodeToString") &&
        resolve(api->myWlanGetAvailableNetworkList, "WlanGetAvailableNetworkList") &&
        resolve(api->myWlanGetProfileList, "WlanGetProfileList") &&
        resolve(api->myWlanGetProfile, "WlanGetProfile") && resolve(api->myWlanConnect, "WlanConnect") &&
        resolve(api->myWlanDisconnect, "WlanDisconnect") &&
        resolve(api->myWlanDeleteProfile, "WlanDeleteProfile", false);
    g_api = std::move(api);
    return true;
}

uint32_t OpenHandleAndCheckVersion(WlanHandle& handle) {
    handle = nullptr;
    std::shared_ptr<const WlanApiEntries> api = CurrentApi();
    if (!api || !api->myWlanOpenHandle)
        return kErrorProcNotFound; // logged when the module was loaded
    uint32_t negotiated = 0;
    uint32_t code = api->myWlanOpenHandle(kClientVersion, nullptr, &negotiated, &handle);
    if (code == kWlanSuccess)
        return code;
    handle = nullptr;
    CString text;
    text.Format("WlanOpenHandle failed,Error:%u", code);
    ShowMessageBox(text, "Error", kMbOk | kMbIconError);
    const char* second = code == kWlanNotSupported       ? "Version is Not Supported"
                         : code == kWlanInvalidParameter ? "Error:INVALID_PARAMETER"
                                                         : "Error";
    ShowMessageBox(second, "Error", kMbOk | kMbIconError);
    return code;
}

bool IsWlanApiUsable() {
    if (!LoadWlanApi())
        return false;
    std::shared_ptr<const WlanApiEntries> api = CurrentApi();
    if (!api || !api->myWlanOpenHandle)
        return false;
    // A probe: no boxes.
    uint32_t negotiated = 0;
    WlanHandle handle = nullptr;
    if (api->myWlanOpenHandle(kClientVersion, nullptr, &negotiated, &handle) != kWlanSuccess)
        return false;
    Close(*api, handle);
    return true;
}

CString WlanInterfaceGuidToString(const WlanInterfaceInfo& info) {
    std::string text = FormatWlanGuid(info.interfaceGuid);
    if (text.size() != 38)
        return CString();
    CString bare(text.substr(1, 36));
    bare.MakeLower();
    return bare;
}

uint32_t WlanNotConnectableReason() {
    return g_notConnectableReason.load();
}

void OnWlanNotification(WlanNotificationData* data, void* context) {
    (void)context;
    if (!data)
        return;
    if (data->notificationSource == kWlanSourceConnectionManager) {
        const auto* payload = static_cast<const WlanConnectionNotificationData*>(data->data);
        switch (data->notificationCode) {
        case kWlanConnectionStart:
            if (payload && data->dataSize >= kConnectionPayloadSize)
                LogInfo("Connectting");
            break;
        case kWlanConnectionComplete:
            if (payload && data->dataSize >= kConnectionPayloadSize) {
                if (payload->reasonCode == kWlanReasonSuccess) {
                    LogInfo("Connect success");
                } else {
                    LogInfo("Connect failed");
                    if (std::shared_ptr<const WlanApiEntries> api = CurrentApi())
                        LogInfo("%s", ReasonText(*api, payload->reasonCode).GetString());
                }
            }
            break;
        case kWlanConnectionDisconnected:
            LogInfo("Disconnected,click the Ok button to close me.");
            break;
        default:
            break;
        }
    } else if (data->notificationSource == kWlanSourceMediaModule) {
        LogDebug("Got notification %s from MSM.", MediaNotificationName(data->notificationCode));
    }
}

WLanConfiger::WLanConfiger() {
    {
        std::lock_guard lock(g_apiMutex);
        ++g_instances;
    }
    LoadWlanApi();
    m_pApi = CurrentApi();
    if (!m_pApi)
        m_pApi = std::make_shared<const WlanApiEntries>();
    const WlanApiEntries& api = *m_pApi;

    if (OpenHandleAndCheckVersion(m_hClient) == kWlanSuccess) {
        m_dwResult =
            api.myWlanRegisterNotification
                ? static_cast<int32_t>(api.myWlanRegisterNotification(
                      m_hClient, kWlanSourceAll, 1, &OnWlanNotification, this, nullptr, &m_dwPrevNotifSource))
                : static_cast<int32_t>(kErrorProcNotFound);
        if (api.myWlanEnumInterfaces &&
            api.myWlanEnumInterfaces(m_hClient, nullptr, &m_pIfList) != kWlanSuccess)
            m_pIfList = nullptr;
    }
    m_AvailableNetworkLists.clear();
    m_ProfiledNetworks.clear();
    m_nConnected = -1;
    m_bHasProfile = false;
    LogInfo("WLanConfiger");

    if (InterfaceCount() > 0)
        TurnRadioOn();
    int osClass = GetOsClass();
    if (osClass == 3 || osClass == 4) {
        LogInfo("Use Window Config myWifi");
        EnableWindowsWifiConfig();
    } else {
        LogInfo("No set Use Window Config my Wifi");
    }
}

WLanConfiger::~WLanConfiger() {
    const WlanApiEntries& api = *m_pApi;
    Free(api, m_pIfList);
    m_pIfList = nullptr;
    // Also without a handle: a module without its open entry shows why nothing was opened.
    m_dwResult = api.myWlanRegisterNotification
                     ? static_cast<int32_t>(api.myWlanRegisterNotification(
                           m_hClient, kWlanSourceNone, 1, nullptr, nullptr, nullptr, &m_dwPrevNotifSource))
                     : static_cast<int32_t>(kErrorProcNotFound);
    if (api.loaded && m_dwResult != 0 && !api.myWlanOpenHandle)
        ShowMessageBox("Error occurs when unresiger ACM and MSM notifications.", "Error",
                       kMbOk | kMbIconError);
    FreeNetworkLists();
    Close(api, m_hClient);
    m_hClient = nullptr;
    std::lock_guard lock(g_apiMutex);
    if (--g_instances == 0)
        g_api.reset();
}

void WLanConfiger::FreeNetworkLists() {
    m_ProfiledNetworks.clear();
    for (WlanAvailableNetworkList* list : m_AvailableNetworkLists)
        Free(*m_pApi, list);
    m_AvailableNetworkLists.clear();
}

bool WLanConfiger::StartWirelessService() {
    if (IsWlanApiUsable())
        return true;
    int osClass = GetOsClass();
    bool zeroConfiguration = osClass == 3 || osClass == 4;
    if (osClass == 5) {
        LogInfo("The OS is Vista.");
    } else if (!zeroConfiguration) {
        LogError("The OS is not supported.");
        return IsWlanApiUsable();
    }
    if (StartSvc(zeroConfiguration ? "WZCSVC" : "Wlansvc") == 0)
        LogInfo(zeroConfiguration ? "StartWzcService Successfully." : "StartWLanService Successfully.");
    else
        LogError(zeroConfiguration ? "StartWzcService Failed." : "StartWLanService Failed.");
    return IsWlanApiUsable();
}

uint32_t WLanConfiger::TurnRadioOn() {
    const WlanApiEntries& api = *m_pApi;
    uint32_t result = kWlanSuccess;
    for (int i = 0; i < InterfaceCount() && result == kWlanSuccess; ++i) {
        const WlanGuid& guid = m_pIfList->interfaces[i].interfaceGuid;
        OwnHandle handle(api);
        if (!handle.IsOpen())
            return handle.Result();
        WlanInterfaceCapability* capability = nullptr;
        result = api.myWlanGetInterfaceCapability
                     ? api.myWlanGetInterfaceCapability(handle.Get(), &guid, nullptr, &capability)
                     : kErrorProcNotFound;
        if (result != kWlanSuccess || !capability)
            break;
        for (uint32_t phy = 0; phy < capability->numberOfSupportedPhys && result == kWlanSuccess; ++phy) {
            WlanPhyRadioState state{phy, kWlanRadioOn, 0};
            result = api.myWlanSetInterface
                         ? api.myWlanSetInterface(handle.Get(), &guid, kWlanOpcodeRadioState, sizeof state,
                                                  &state, nullptr)
                         : kErrorProcNotFound;
        }
        Free(api, capability);
    }
    return result;
}

uint32_t WLanConfiger::SetProfile(const WifiSettings& settings) {
    const WlanApiEntries& api = *m_pApi;
    const std::u16string xml = BuildWlanProfileXml(settings);
    uint32_t result = kWlanSuccess;
    for (int i = 0; i < InterfaceCount(); ++i) {
        OwnHandle handle(api);
        if (!handle.IsOpen()) {
            ShowMessageBox("OpenHandleAndCheckVersion", "Error failed", kMbOk | kMbIconError);
            return handle.Result();
        }
        uint32_t reason = 0;
        result = api.myWlanSetProfile
                     ? api.myWlanSetProfile(handle.Get(), &m_pIfList->interfaces[i].interfaceGuid, 0,
                                            xml.c_str(), nullptr, 1, nullptr, &reason)
                     : kErrorProcNotFound;
    }
    return result;
}

uint32_t WLanConfiger::DeleteAllProfiles() {
    const WlanApiEntries& api = *m_pApi;
    std::vector<std::u16string> names;
    for (int i = 0; i < InterfaceCount(); ++i) {
        const WlanGuid& guid = m_pIfList->interfaces[i].interfaceGuid;
        OwnHandle handle(api);
        if (!handle.IsOpen())
            continue;
        for (const std::u16string& name : ProfileNames(api, handle.Get(), guid).value_or(NoNames())) {
            names.push_back(name);
            char16_t* xml = nullptr;
            uint32_t flags = 0, access = 0;
            if (api.myWlanGetProfile &&
                api.myWlanGetProfile(handle.Get(), &guid, name.c_str(), nullptr, &xml, &flags, &access) == 0)
                Free(api, xml);
        }
    }
    for (const std::u16string& name : names) {
        for (int i = 0; i < InterfaceCount(); ++i) {
            OwnHandle handle(api);
            if (!handle.IsOpen()) {
                ShowMessageBox("OpenHandleAndCheckVersion", "Error failed", kMbOk | kMbIconError);
                return handle.Result();
            }
            uint32_t result =
                api.myWlanDeleteProfile
                    ? api.myWlanDeleteProfile(handle.Get(), &m_pIfList->interfaces[i].interfaceGuid,
                                              name.c_str(), nullptr)
                    : kErrorProcNotFound;
            // A card that never held the name has nothing to delete.
            if (result == kWlanSuccess || result == kWlanNotFound)
                continue;
            ShowMessageBox("删除失败", "Error", kMbOk | kMbIconError);
            return result;
        }
    }
    // Success means no profile is left: a list read short (or a name no card could find)
    // would keep a pass phrase on the PC.
    for (int i = 0; i < InterfaceCount(); ++i) {
        OwnHandle handle(api);
        if (handle.IsOpen() &&
            ProfileNames(api, handle.Get(), m_pIfList->interfaces[i].interfaceGuid) == NoNames())
            continue;
        ShowMessageBox("删除失败", "Error", kMbOk | kMbIconError);
        return handle.IsOpen() ? kErrorProfilesLeft : handle.Result();
    }
    return kWlanSuccess;
}

void WLanConfiger::Scan() {
    const WlanApiEntries& api = *m_pApi;
    for (int i = 0; i < InterfaceCount(); ++i) {
        WlanGuid guid;
        CString text = WlanInterfaceGuidToString(m_pIfList->interfaces[i]);
        if (text.IsEmpty() || !ParseWlanGuid("{" + text.str() + "}", guid))
            break;
        if (api.myWlanScan)
            api.myWlanScan(m_hClient, &guid, nullptr, nullptr, nullptr);
    }
    // The platform's time to gather results.
    if (!WaitForScanEvent(kScanWait))
        LogWarning("扫描超时。");
}

const std::vector<WlanAvailableNetworkList*>& WLanConfiger::GetAvailableNetworks() {
    const WlanApiEntries& api = *m_pApi;
    FreeNetworkLists();
    m_nConnected = -1;
    m_bHasProfile = false;
    for (int i = 0; i < InterfaceCount(); ++i) {
        WlanAvailableNetworkList* list = nullptr;
        if (!api.myWlanGetAvailableNetworkList ||
            api.myWlanGetAvailableNetworkList(m_hClient, &m_pIfList->interfaces[i].interfaceGuid, 0, nullptr,
                                              &list) != kWlanSuccess ||
            !list)
            continue;
        m_AvailableNetworkLists.push_back(list);
        LogDebug("Interface %d:", i);
        for (uint32_t n = 0; n < list->numberOfItems; ++n) {
            const WlanAvailableNetwork& network = list->networks[n];
            LogDebug("Network %u:", n);
            LogDebug("\tContains %u  BSSIDs.\n", network.numberOfBssids);
            if (network.flags & kWlanNetworkHasProfile) {
                m_bHasProfile = true;
                m_ProfiledNetworks.push_back(&network);
            }
            if (network.flags & kWlanNetworkConnected)
                m_nConnected = 1;
            if (!network.networkConnectable)
                LogInfo("%s", ReasonText(api, network.notConnectableReason).GetString());
        }
    }
    return m_AvailableNetworkLists;
}

WlanProfileSecurity WLanConfiger::GetProfileSecurity(const CString& name) {
    const WlanApiEntries& api = *m_pApi;
    for (int i = 0; i < InterfaceCount(); ++i) {
        const WlanGuid& guid = m_pIfList->interfaces[i].interfaceGuid;
        for (const std::u16string& profile : ProfileNames(api, m_hClient, guid).value_or(NoNames())) {
            if (CString(GbkFromWide(profile)) != name)
                continue;
            char16_t* xml = nullptr;
            uint32_t flags = 0, access = 0;
            if (!api.myWlanGetProfile ||
                api.myWlanGetProfile(m_hClient, &guid, profile.c_str(), nullptr, &xml, &flags, &access) !=
                    0 ||
                !xml)
                continue;
            WlanProfileSecurity security = ReadProfileSecurity(name, WideOf(xml));
            Free(api, xml);
            return security;
        }
    }
    WlanProfileSecurity none;
    none.name = name;
    return none;
}

int CheckWlanStatus(int minimumSignalQuality) {
    if (GetOsClass() < 3)
        return -1;
    if (!WLanConfiger::StartWirelessService())
        return CheckWzcStatus();
    WLanConfiger configer;
    if (configer.InterfaceCount() == 0)
        return -2;
    configer.Scan();
    const std::vector<WlanAvailableNetworkList*>& lists = configer.GetAvailableNetworks();
    if (configer.Connected() == 1)
        return 0;
    if (std::none_of(lists.begin(), lists.end(),
                     [](const WlanAvailableNetworkList* list) { return list->numberOfItems > 0; }))
        return -4;
    if (!configer.HasProfile())
        return -5;
    if (configer.ProfiledNetworks().empty())
        return 0;
    const WlanAvailableNetwork& network = *configer.ProfiledNetworks().front();
    CString name = GbkOf(network.profileName, std::size(network.profileName));
    WlanProfileSecurity security = configer.GetProfileSecurity(name);
    if (network.networkConnectable) {
        // This library writes no 802.1X profile: a weak signal is the reason that can be told.
        if (network.signalQuality < static_cast<uint32_t>(std::max(minimumSignalQuality, 0)))
            return -8;
        return security.usesOneX ? -9 : -11;
    }
    g_notConnectableReason.store(network.notConnectableReason);
    if (static_cast<uint32_t>(security.authentication) != network.defaultAuthAlgorithm)
        return -6;
    if (network.defaultCipherAlgorithm == kWlanCipherWep104 ||
        network.defaultCipherAlgorithm == kWlanCipherWep)
        return -10;
    return -7;
}
