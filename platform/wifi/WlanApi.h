#pragma once
// The wireless-card interface of the platform, as the Wi-Fi library calls it: a module found by
// name whose entry points are resolved by name, the records they hand out (freed with
// WlanFreeMemory) and the platform's result codes. The module of "wlanapi.dll" works over the
// project's supplicant daemon (WlanService.h); tests install a module of their own.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Result codes.
constexpr uint32_t kWlanSuccess = 0;
constexpr uint32_t kWlanAccessDenied = 5;
constexpr uint32_t kWlanInvalidHandle = 6;
constexpr uint32_t kWlanNotSupported = 50;
constexpr uint32_t kWlanInvalidParameter = 87;
constexpr uint32_t kWlanAlreadyExists = 183;
constexpr uint32_t kWlanServiceNotActive = 1062;
constexpr uint32_t kWlanNotFound = 1168;
constexpr uint32_t kWlanBadProfile = 1206;

// Reasons (why a network cannot be joined, why a connection failed); texts from
// WlanReasonCodeToString.
constexpr uint32_t kWlanReasonSuccess = 0;
constexpr uint32_t kWlanReasonSecurityMismatch = 0x00028001;
constexpr uint32_t kWlanReasonWrongKey = 0x00028002;
constexpr uint32_t kWlanReasonAuthenticationFailed = 0x00028003;
constexpr uint32_t kWlanReasonAssociationFailed = 0x00028004;
constexpr uint32_t kWlanReasonConnectionLost = 0x00028005;

// Notification sources and codes.
constexpr uint32_t kWlanSourceNone = 0;
constexpr uint32_t kWlanSourceConnectionManager = 8;
constexpr uint32_t kWlanSourceMediaModule = 16;
constexpr uint32_t kWlanSourceAll = 0xFFFF;
constexpr uint32_t kWlanConnectionStart = 9;
constexpr uint32_t kWlanConnectionComplete = 10;
constexpr uint32_t kWlanConnectionDisconnected = 21;
constexpr uint32_t kWlanMediaAssociating = 1;
constexpr uint32_t kWlanMediaAssociated = 2;
constexpr uint32_t kWlanMediaConnected = 4;
constexpr uint32_t kWlanMediaDisconnected = 10;

// Available-network flags.
constexpr uint32_t kWlanNetworkConnected = 1;
constexpr uint32_t kWlanNetworkHasProfile = 2;

// Authentication and cipher algorithm numbers.
constexpr uint32_t kWlanAuthOpen = 1;
constexpr uint32_t kWlanAuthSharedKey = 2;
constexpr uint32_t kWlanAuthWpa = 3;
constexpr uint32_t kWlanAuthWpaPsk = 4;
constexpr uint32_t kWlanAuthRsna = 6;
constexpr uint32_t kWlanAuthRsnaPsk = 7;
constexpr uint32_t kWlanCipherNone = 0;
constexpr uint32_t kWlanCipherWep40 = 1;
constexpr uint32_t kWlanCipherTkip = 2;
constexpr uint32_t kWlanCipherCcmp = 4;
constexpr uint32_t kWlanCipherWep104 = 5;
constexpr uint32_t kWlanCipherWep = 0x101;

enum WlanInterfaceState : uint32_t {
    kWlanStateNotReady = 0,
    kWlanStateConnected = 1,
    kWlanStateDisconnecting = 3,
    kWlanStateDisconnected = 4,
    kWlanStateAssociating = 5,
    kWlanStateDiscovering = 6,
    kWlanStateAuthenticating = 7,
};

constexpr uint32_t kWlanOpcodeRadioState = 4;
constexpr uint32_t kWlanRadioOff = 0;
constexpr uint32_t kWlanRadioOn = 1;

struct WlanGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
    bool operator==(const WlanGuid&) const = default;
};

struct WlanInterfaceInfo {
    WlanGuid interfaceGuid;
    char16_t description[256];
    uint32_t state; // WlanInterfaceState
};

struct WlanInterfaceInfoList {
    uint32_t numberOfItems;
    uint32_t index;
    WlanInterfaceInfo interfaces[1]; // numberOfItems of them
};

struct WlanSsid {
    uint32_t length;
    uint8_t ssid[32];
};

struct WlanAvailableNetwork {
    char16_t profileName[256]; // the profile of this network, or empty
    WlanSsid ssid;
    uint32_t numberOfBssids;
    int32_t networkConnectable;
    uint32_t notConnectableReason;
    uint32_t signalQuality; // 0-100
    int32_t securityEnabled;
    uint32_t defaultAuthAlgorithm;
    uint32_t defaultCipherAlgorithm;
    uint32_t flags; // kWlanNetworkConnected, kWlanNetworkHasProfile
};

struct WlanAvailableNetworkList {
    uint32_t numberOfItems;
    uint32_t index;
    WlanAvailableNetwork networks[1];
};

struct WlanProfileInfo {
    char16_t profileName[256];
    uint32_t flags;
};

struct WlanProfileInfoList {
    uint32_t numberOfItems;
    uint32_t index;
    WlanProfileInfo profiles[1];
};

struct WlanInterfaceCapability {
    uint32_t interfaceType;
    int32_t dot11dSupported;
    uint32_t maxDesiredSsidListSize;
    uint32_t maxDesiredBssidListSize;
    uint32_t numberOfSupportedPhys;
};

struct WlanPhyRadioState {
    uint32_t phyIndex;
    uint32_t softwareRadioState;
    uint32_t hardwareRadioState;
};

struct WlanConnectionNotificationData {
    uint32_t connectionMode;
    char16_t profileName[256];
    WlanSsid ssid;
    uint32_t bssType;
    int32_t securityEnabled;
    uint32_t reasonCode;
    uint32_t flags;
    char16_t profileXml[1];
};

struct WlanNotificationData {
    uint32_t notificationSource;
    uint32_t notificationCode;
    WlanGuid interfaceGuid;
    uint32_t dataSize;
    void* data;
};

struct WlanConnectionParameters {
    uint32_t connectionMode; // 0: by profile
    const char16_t* profile;
    const WlanSsid* ssid;
    uint32_t bssType;
    uint32_t flags;
};

using WlanHandle = void*;
// Called on a thread of the module, with data valid during the call. Unregistering and closing
// the handle wait for a running call, so neither may come from inside one.
using WlanNotificationCallback = void (*)(WlanNotificationData* data, void* context);

// The entry points, as resolved by name.
using WlanOpenHandleFunction = uint32_t(uint32_t clientVersion, void* reserved, uint32_t* negotiatedVersion,
                                        WlanHandle* handle);
using WlanCloseHandleFunction = uint32_t(WlanHandle handle, void* reserved);
using WlanFreeMemoryFunction = void(void* memory);
using WlanEnumInterfacesFunction = uint32_t(WlanHandle handle, void* reserved, WlanInterfaceInfoList** list);
using WlanSetProfileFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid, uint32_t flags,
                                        const char16_t* profileXml, const char16_t* securityDescriptor,
                                        int32_t overwrite, void* reserved, uint32_t* reasonCode);
using WlanSetInterfaceFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid, uint32_t opcode,
                                          uint32_t dataSize, const void* data, void* reserved);
using WlanGetInterfaceCapabilityFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid,
                                                    void* reserved, WlanInterfaceCapability** capability);
using WlanScanFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid, const WlanSsid* ssid,
                                  const void* informationElement, void* reserved);
using WlanReasonCodeToStringFunction = uint32_t(uint32_t reasonCode, uint32_t bufferSize, char16_t* buffer,
                                                void* reserved);
using WlanGetAvailableNetworkListFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid,
                                                     uint32_t flags, void* reserved,
                                                     WlanAvailableNetworkList** list);
using WlanGetProfileListFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid, void* reserved,
                                            WlanProfileInfoList** list);
using WlanGetProfileFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid,
                                        const char16_t* profileName, void* reserved, char16_t** profileXml,
                                        uint32_t* flags, uint32_t* grantedAccess);
using WlanConnectFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid,
                                     const WlanConnectionParameters* parameters, void* reserved);
using WlanDisconnectFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid, void* reserved);
using WlanDeleteProfileFunction = uint32_t(WlanHandle handle, const WlanGuid* interfaceGuid,
                                           const char16_t* profileName, void* reserved);
using WlanRegisterNotificationFunction = uint32_t(WlanHandle handle, uint32_t sources,
                                                  int32_t ignoreDuplicate, WlanNotificationCallback callback,
                                                  void* context, void* reserved, uint32_t* previousSources);

// A module: named entry points, some of which may be missing.
class WlanModule {
public:
    explicit WlanModule(std::vector<std::pair<std::string, void*>> entries) : m_entries(std::move(entries)) {}
    // The entry point of that name, or nullptr.
    void* Resolve(const std::string& name) const;
    template <typename Function> Function* Resolve(const std::string& name) const {
        return reinterpret_cast<Function*>(Resolve(name));
    }

private:
    std::vector<std::pair<std::string, void*>> m_entries;
};

// The supplicant's module for "wlanapi.dll" (or the one a test installed); nullptr for any
// other name: there is no Wireless Zero Configuration module on Linux.
const WlanModule* FindWlanModule(const std::string& name);
// Tests: the module that "wlanapi.dll" finds from now on; nullptr restores the supplicant's.
void InstallWlanModule(const WlanModule* module);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back; false for anything else.
std::string FormatWlanGuid(const WlanGuid& guid);
bool ParseWlanGuid(const std::string& text, WlanGuid& guid);

} // namespace platform
