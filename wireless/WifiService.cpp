#include "wireless/WifiService.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "engine/log/Logger.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "platform/prompt/Prompt.h"
#include "platform/wifi/WlanApi.h"
#include "wireless/WLanConfiger.h"

using namespace platform;

namespace {

constexpr uint32_t kErrorProcNotFound = 127;
constexpr uint32_t kErrorNotFound = 1168;
constexpr uint32_t kErrorServiceRequestTimeout = 1053;

std::atomic<Clock*> g_clock{nullptr};

std::mutex g_versionMutex;
std::optional<OsVersionInfo> g_version;

void ErrorBox(const CString& text) {
    ShowMessageBox(text, "Error", kMbOk | kMbIconError);
}

// Opens the manager and the service, with the boxes and lines of a failure; the code.
uint32_t OpenNamedService(const CString& name, std::unique_ptr<ServiceManager>& manager,
                          std::unique_ptr<ServiceHandle>& service) {
    if (uint32_t code = SystemServiceControl().OpenManager(manager)) {
        CString text;
        text.Format("OpenSCManager failed:%u", code);
        LogErrorString(text);
        ErrorBox(text);
        return code;
    }
    if (uint32_t code = manager->OpenService(name.str(), service)) {
        ErrorBox("OpenService failed");
        LogError("OpenService failed");
        return code;
    }
    return 0;
}

uint32_t QueryStatus(ServiceHandle& service, ServiceStatus& status) {
    uint32_t code = service.QueryStatus(status);
    if (code)
        LogError("QueryServiceStatusEx failed");
    return code;
}

// The service, opened and queried, with its manager; the code of the failed step.
struct OpenedService {
    std::unique_ptr<ServiceManager> manager;
    std::unique_ptr<ServiceHandle> service;
    ServiceStatus status;
    uint32_t Open(const CString& name) {
        if (uint32_t code = OpenNamedService(name, manager, service))
            return code;
        return QueryStatus(*service, status);
    }
};

enum class PollEnd { Left, TimedOut, QueryFailed };

// Polls by the wait rule while the state is 'waiting' for: a pause of a tenth of the wait hint,
// and a give-up once more than the hint has passed without the checkpoint growing.
template <typename Waiting>
PollEnd PollService(ServiceHandle& service, ServiceStatus& status, Waiting waiting, uint32_t& error) {
    Clock& clock = WirelessClock();
    Clock::Steady::time_point lastProgress = clock.Now();
    uint32_t checkPoint = status.checkPoint;
    while (waiting(status)) {
        clock.SleepFor(ServiceWaitMs(status.waitHint));
        if ((error = QueryStatus(service, status)) != 0)
            return PollEnd::QueryFailed;
        if (status.checkPoint > checkPoint) {
            checkPoint = status.checkPoint;
            lastProgress = clock.Now();
        } else if (clock.Now() - lastProgress > std::chrono::milliseconds(status.waitHint)) {
            return waiting(status) ? PollEnd::TimedOut : PollEnd::Left;
        }
    }
    return PollEnd::Left;
}

// Wireless Zero Configuration: its module, its users, and whether its load was tried.
std::mutex g_wzcMutex;
int g_wzcInstances = 0;
bool g_wzcAttempted = false;
bool g_wzcLoaded = false;

} // namespace

void SetWirelessClock(Clock* clock) {
    g_clock.store(clock);
}

Clock& WirelessClock() {
    Clock* clock = g_clock.load();
    return clock ? *clock : RealClock();
}

int GetOsClass(const OsVersionInfo& version) {
    if (version.major == 6 && version.minor == 1)
        return 8;
    if (version.major == 6 && version.minor == 0)
        return 5;
    if (version.major == 5 && version.minor == 2)
        return 6;
    if (version.major == 5 && version.minor == 1) {
        if (version.servicePack.find("Service Pack 3") != std::string::npos)
            return 4;
        if (version.servicePack.find("Service Pack 2") != std::string::npos)
            return 3;
        return 2;
    }
    return 0;
}

int GetOsClass() {
    std::lock_guard lock(g_versionMutex);
    // Linux: a wireless-card module with a service to start, as on the class-5 systems.
    return g_version ? GetOsClass(*g_version) : 5;
}

void SetOsVersionInfo(std::optional<OsVersionInfo> version) {
    std::lock_guard lock(g_versionMutex);
    g_version = std::move(version);
}

std::chrono::milliseconds ServiceWaitMs(uint32_t waitHint) {
    return std::chrono::milliseconds(std::clamp<uint32_t>(waitHint / 10, 1000, 10000));
}

int StartSvc(const CString& name) {
    LogInfo("StartSvc");
    OpenedService opened;
    if (uint32_t code = opened.Open(name))
        return static_cast<int>(code);
    ServiceHandle& service = *opened.service;
    ServiceStatus& status = opened.status;
    if (status.currentState != kServiceStopped && status.currentState != kServiceStopPending) {
        LogInfo("Cannot start the service because it is already running");
        return 0;
    }
    uint32_t error = 0;
    if (status.currentState == kServiceStopPending) {
        PollEnd end = PollService(
            service, status, [](const ServiceStatus& s) { return s.currentState == kServiceStopPending; },
            error);
        if (end == PollEnd::QueryFailed)
            return static_cast<int>(error);
        if (end == PollEnd::TimedOut) {
            ErrorBox("Timeout waiting for service to stop");
            LogError("Timeout waiting for service to stop");
            return -1;
        }
    }
    if (uint32_t code = service.Start()) {
        ErrorBox("StartService failed");
        LogError("StartService failed");
        return static_cast<int>(code);
    }
    if (uint32_t code = QueryStatus(service, status))
        return static_cast<int>(code);
    if (PollService(
            service, status, [](const ServiceStatus& s) { return s.currentState == kServiceStartPending; },
            error) == PollEnd::QueryFailed)
        return static_cast<int>(error);
    if (status.currentState == kServiceRunning) {
        ShowMessageBox("Start " + name + "Service successfully", "Information", kMbOk | kMbIconInformation);
        return 0;
    }
    CString failed = "Start " + name + "Service Failed";
    ErrorBox(failed);
    LogErrorString(failed);
    return -2;
}

bool WaitServiceStopped(ServiceHandle& service, ServiceStatus& status) {
    uint32_t error = 0;
    PollService(
        service, status, [](const ServiceStatus& s) { return s.currentState != kServiceStopped; }, error);
    return status.currentState == kServiceStopped;
}

int StopSvc(const CString& name) {
    ShowMessageBox("StopSvc", "Info", kMbOk | kMbIconInformation);
    LogInfo("StopSvc");
    OpenedService opened;
    if (uint32_t code = opened.Open(name))
        return static_cast<int>(code);
    ServiceHandle& service = *opened.service;
    ServiceStatus& status = opened.status;
    if (status.currentState == kServiceStopped || status.currentState == kServiceStopPending) {
        ErrorBox("Cannot stop the service because it is already stoped");
        return 0;
    }
    if (uint32_t code = service.ControlStop(status)) {
        ErrorBox("Stop Service failed");
        LogError("Stop Service failed");
        return static_cast<int>(code);
    }
    // A service that never stops is a failed stop, not a stopped one.
    return WaitServiceStopped(service, status) ? 0 : static_cast<int>(kErrorServiceRequestTimeout);
}

bool LoadWzcApi() {
    std::lock_guard lock(g_wzcMutex);
    if (g_wzcAttempted)
        return g_wzcLoaded;
    g_wzcAttempted = true;
    const WlanModule* module = FindWlanModule("wzcsapi.dll");
    if (!module) {
        ErrorBox("Load wzcsapi.dll failed");
        return false;
    }
    static const char* const kEntries[] = {
        "WZCEapolGetInterfaceParams", "WZCEnumInterfaces", "WZCQueryInterface", "WZCRefreshInterface",
        "WZCDeleteIntfObj",           "WZCSetInterface",   "WZCPassword2Key"};
    g_wzcLoaded = std::all_of(std::begin(kEntries), std::end(kEntries),
                              [&](const char* name) { return module->Resolve(name) != nullptr; });
    return g_wzcLoaded;
}

AdapterLookup LookupAdapter(const CString& name) {
    AdapterLookup lookup;
    lookup.name = name;
    std::vector<LinkInfo> links;
    if (!Netlink().ListLinks(links))
        return lookup;
    for (const LinkInfo& link : links) {
        if (!link.permanentMac.empty() && CardGuidFromMac(link.permanentMac) == name.str()) {
            lookup.description = CString(link.name);
            lookup.found = true;
            break;
        }
    }
    return lookup;
}

WzcClient::WzcClient() {
    {
        std::lock_guard lock(g_wzcMutex);
        ++g_wzcInstances;
    }
    StartSvc("WZCSVC");
    // Linux has no module to enumerate with: a loaded one would still list no interface.
    if (LoadWzcApi() && m_nInterfaces > 0)
        LogDebug("Get wireless card success.");
    else
        LogError("Get wireless card failed.");
}

WzcClient::~WzcClient() {
    std::lock_guard lock(g_wzcMutex);
    if (--g_wzcInstances == 0) {
        g_wzcLoaded = false;
        g_wzcAttempted = false;
    }
}

bool WzcClient::IsLoaded() const {
    std::lock_guard lock(g_wzcMutex);
    return g_wzcLoaded;
}

bool WzcClient::Refresh(const CString& interfaceGuid) {
    (void)interfaceGuid;
    // Nothing to refresh through: the refresh entry is never there.
    CString text;
    text.Format("Refresh failed.Error code = %u", kErrorProcNotFound);
    ErrorBox(text);
    LogErrorString(text);
    throw static_cast<int>(kErrorProcNotFound);
}

std::vector<WlanSsidRecord> WzcClient::QuerySsidList(const CString& interfaceGuid) {
    std::vector<WlanSsidRecord> list;
    if (!IsLoaded())
        return list;
    if (!LookupAdapter(interfaceGuid).found)
        throw static_cast<int>(kErrorNotFound);
    if (Refresh(interfaceGuid))
        WirelessClock().SleepFor(std::chrono::milliseconds(5000));
    return list;
}

void WLanConfiger::EnableWindowsWifiConfig() {
    // The switch is a flag of the Wireless Zero Configuration service, which Linux does not have.
    LogInfo("Use Windows Config My Wifi: no wireless configuration service to switch, nothing changed.");
}
