#pragma once
// The platform side of the Wi-Fi library: the operating-system class, starting and stopping
// services, the Wireless Zero Configuration client and the adapter look-up.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/text/CString.h"
#include "platform/wifi/ServiceControl.h"

// The clock of every wait of the library (service polls, the scan wait); null restores the real
// one.
void SetWirelessClock(platform::Clock* clock);
platform::Clock& WirelessClock();

struct OsVersionInfo {
    unsigned major = 0;
    unsigned minor = 0;
    std::string servicePack;
};

// 8: 6.1, 5: 6.0, 6: 5.2, 4: 5.1 with "Service Pack 3", 3: 5.1 with "Service Pack 2",
// 2: other 5.1, 0: anything else.
int GetOsClass(const OsVersionInfo& version);
// The class of this system: 5 (a wireless service to start) unless a version was injected.
int GetOsClass();
// Tests: the version GetOsClass() classifies from now on; nothing restores the system's.
void SetOsVersionInfo(std::optional<OsVersionInfo> version);

// The pause between two status polls of a pending service for its wait hint.
std::chrono::milliseconds ServiceWaitMs(uint32_t waitHint);

// 0 when the service runs (or already ran), a platform error code of a failed step, -1 on a
// time-out waiting for a pending stop, -2 when it did not reach the running state.
int StartSvc(const CString& name);
// 0 when stopped (or already stopped), else a platform error code.
int StopSvc(const CString& name);
// True when the open service reaches the stopped state (from the status it was last seen in).
bool WaitServiceStopped(platform::ServiceHandle& service, platform::ServiceStatus& status);

// Loads "wzcsapi.dll" and its entries; false (after its box) when there is no such module.
bool LoadWzcApi();

struct WlanSsidRecord {
    CString ssid;
    CString key;
    int value = 0;
};

struct AdapterLookup {
    CString name; // the adapter name searched for (a GUID text)
    CString description;
    bool found = false;
};

// The card whose adapter name (its GUID) is the name exactly; its description is its interface
// name.
AdapterLookup LookupAdapter(const CString& name);

// The Wireless Zero Configuration client. Linux has no such service, so its module is never
// found: the client has no interfaces, Refresh throws and QuerySsidList returns nothing.
class WzcClient {
public:
    WzcClient();
    ~WzcClient(); // the release
    WzcClient(const WzcClient&) = delete;
    WzcClient& operator=(const WzcClient&) = delete;

    bool IsLoaded() const;
    int InterfaceCount() const { return m_nInterfaces; }
    const std::vector<CString>& Interfaces() const { return m_Interfaces; }

    bool Refresh(const CString& interfaceGuid);
    std::vector<WlanSsidRecord> QuerySsidList(const CString& interfaceGuid);

private:
    int m_nInterfaces = 0;
    std::vector<CString> m_Interfaces; // GUID texts
};
