#pragma once
// The PC's wireless cards through the platform's wireless-card module ("wlanapi.dll"): radio,
// WLAN profiles, scans, the networks in range, and why the PC has not joined the test network.
// Platform failures are reported here by boxes and log lines; callers see result codes.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sync/Event.h"
#include "platform/text/CString.h"
#include "platform/wifi/WlanApi.h"
#include "wireless/WlanProfileXml.h"

// Set by nothing today: a scan always waits its full time on it. Made with the program's other
// global objects.
extern platform::Event g_WifiScanEvent;

// Finds the module and resolves its entries, once while any user holds it; false when there is
// no module (the object then has no interfaces). The first missing entry is logged.
bool LoadWlanApi();
// Opens a client handle (version 1); the platform's error code, with its boxes on failure.
uint32_t OpenHandleAndCheckVersion(platform::WlanHandle& handle);
// Loaded and a handle can be opened (and is closed again).
bool IsWlanApiUsable();
// The interface's GUID without braces, in lower case; "" when it cannot be told.
CString WlanInterfaceGuidToString(const platform::WlanInterfaceInfo& info);
// Logs what the platform's notification service reports; runs on its threads.
void OnWlanNotification(platform::WlanNotificationData* data, void* context);

// 0 when the PC has joined a network, else why not (-1 .. -11, -15, -16).
int CheckWlanStatus(int minimumSignalQuality);
// The not-connectable reason of the network the last check looked at.
uint32_t WlanNotConnectableReason();

struct WlanApiEntries;

class WLanConfiger {
public:
    WLanConfiger();
    ~WLanConfiger();
    WLanConfiger(const WLanConfiger&) = delete;
    WLanConfiger& operator=(const WLanConfiger&) = delete;

    static bool StartWirelessService();

    uint32_t TurnRadioOn();
    uint32_t SetProfile(const WifiSettings& settings);
    uint32_t DeleteAllProfiles();
    void Scan();
    const std::vector<platform::WlanAvailableNetworkList*>& GetAvailableNetworks();
    WlanProfileSecurity GetProfileSecurity(const CString& name);
    void EnableWindowsWifiConfig();

    // The interfaces, or null when none could be listed.
    const platform::WlanInterfaceInfoList* InterfaceList() const { return m_pIfList; }
    int InterfaceCount() const { return m_pIfList ? static_cast<int>(m_pIfList->numberOfItems) : 0; }
    // After GetAvailableNetworks: 1 when a listed network is joined, else -1.
    int Connected() const { return m_nConnected; }
    bool HasProfile() const { return m_bHasProfile; }
    const std::vector<const platform::WlanAvailableNetwork*>& ProfiledNetworks() const {
        return m_ProfiledNetworks;
    }

private:
    void FreeNetworkLists();

    platform::WlanInterfaceInfoList* m_pIfList = nullptr;
    int32_t m_dwResult = 0; // of the last notification (un)registration
    platform::WlanHandle m_hClient = nullptr;
    uint32_t m_dwPrevNotifSource = 0;
    int32_t m_nConnected = -1;
    bool m_bHasProfile = false;
    std::vector<platform::WlanAvailableNetworkList*> m_AvailableNetworkLists;
    std::vector<const platform::WlanAvailableNetwork*> m_ProfiledNetworks;
    // The entries this object uses; they stay valid for its life.
    std::shared_ptr<const WlanApiEntries> m_pApi;
};
