#pragma once
// A wireless-card module of the tests' own: interfaces, their profiles and the networks in
// range, with results to inject, behind the same named entries as the supplicant's module.
// One FakeWlan is current at a time (the entries are plain functions).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanApi.h"
#include "platform/wifi/WlanProfile.h"

namespace testsupport {

struct FakeNetwork {
    FakeNetwork(std::string ssid_, std::string profile_ = "", uint32_t bssids_ = 1, bool connectable_ = true,
                uint32_t reason_ = 0, uint32_t quality_ = 80)
        : ssid(std::move(ssid_)), profile(std::move(profile_)), bssids(bssids_), connectable(connectable_),
          reason(reason_), quality(quality_) {}
    std::string ssid;
    std::string profile; // name of its profile, empty for none
    uint32_t bssids = 1;
    bool connectable = true;
    uint32_t reason = 0;
    uint32_t quality = 80;
    uint32_t authentication = platform::kWlanAuthOpen;
    uint32_t cipher = platform::kWlanCipherNone;
    uint32_t flags = 0;
};

struct FakeInterface {
    FakeInterface(std::string guid_, std::string description_)
        : guid(std::move(guid_)), description(std::move(description_)) {}
    std::string guid; // "{...}"
    std::string description;
    uint32_t phys = 1;
    std::vector<std::pair<std::string, std::u16string>> profiles; // name (UTF-8), XML
    std::vector<FakeNetwork> networks;
    uint32_t networkListResult = 0;
    uint32_t setProfileResult = 0;
    size_t listLimit = SIZE_MAX; // a profile list cut short after this many
};

struct FakeWlan {
    std::vector<FakeInterface> interfaces;
    uint32_t openResult = 0;
    uint32_t registerResult = 0;
    std::map<std::string, uint32_t> deleteResults; // forced results by profile name

    // What the entries saw.
    std::set<void*> liveHandles;
    int handlesOpened = 0;
    std::vector<uint32_t> registeredSources;
    std::vector<std::string> calls;

    FakeInterface* Find(const platform::WlanGuid* guid) {
        for (FakeInterface& i : interfaces) {
            platform::WlanGuid own;
            if (guid && platform::ParseWlanGuid(i.guid, own) && own == *guid)
                return &i;
        }
        return nullptr;
    }
    static FakeWlan*& Current() {
        static FakeWlan* current = nullptr;
        return current;
    }
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
};

namespace fakewlan {

using namespace platform;

inline FakeWlan& F() {
    return *FakeWlan::Current();
}

template <typename List, typename Item> List* Allocate(size_t count) {
    auto* list = static_cast<List*>(std::calloc(1, sizeof(List) + (count ? count - 1 : 0) * sizeof(Item)));
    list->numberOfItems = static_cast<uint32_t>(count);
    return list;
}

inline bool Live(WlanHandle handle) {
    return F().liveHandles.count(handle) > 0;
}

inline uint32_t OpenHandle(uint32_t version, void*, uint32_t* negotiated, WlanHandle* handle) {
    std::lock_guard lock(FakeWlan::Mutex());
    if (version != 1)
        return kWlanInvalidParameter;
    if (F().openResult)
        return F().openResult;
    *negotiated = 1;
    *handle = std::malloc(1);
    F().liveHandles.insert(*handle);
    ++F().handlesOpened;
    return 0;
}

inline uint32_t CloseHandle(WlanHandle handle, void*) {
    std::lock_guard lock(FakeWlan::Mutex());
    if (!F().liveHandles.erase(handle))
        return kWlanInvalidHandle;
    std::free(handle);
    return 0;
}

inline void FreeMemory(void* memory) {
    std::free(memory);
}

inline uint32_t RegisterNotification(WlanHandle handle, uint32_t sources, int32_t, WlanNotificationCallback,
                                     void*, void*, uint32_t*) {
    std::lock_guard lock(FakeWlan::Mutex());
    if (!Live(handle))
        return kWlanInvalidHandle;
    F().registeredSources.push_back(sources);
    return F().registerResult;
}

inline uint32_t EnumInterfaces(WlanHandle handle, void*, WlanInterfaceInfoList** list) {
    std::lock_guard lock(FakeWlan::Mutex());
    if (!Live(handle))
        return kWlanInvalidHandle;
    auto* result = Allocate<WlanInterfaceInfoList, WlanInterfaceInfo>(F().interfaces.size());
    for (size_t i = 0; i < F().interfaces.size(); ++i) {
        ParseWlanGuid(F().interfaces[i].guid, result->interfaces[i].interfaceGuid);
        CopyWide(result->interfaces[i].description, 256, Utf8ToUtf16(F().interfaces[i].description));
    }
    *list = result;
    return 0;
}

inline uint32_t SetProfile(WlanHandle handle, const WlanGuid* guid, uint32_t, const char16_t* xml,
                           const char16_t*, int32_t, void*, uint32_t*) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    F().calls.push_back("SetProfile " + i->guid);
    if (i->setProfileResult)
        return i->setProfileResult;
    std::optional<WlanProfile> profile = ReadWlanProfileXml(WideOf(xml));
    if (!profile)
        return kWlanBadProfile;
    std::erase_if(i->profiles, [&](const auto& p) { return p.first == profile->name; });
    i->profiles.emplace_back(profile->name, WideOf(xml));
    return 0;
}

inline uint32_t SetInterface(WlanHandle handle, const WlanGuid* guid, uint32_t opcode, uint32_t size,
                             const void* data, void*) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i || opcode != kWlanOpcodeRadioState || size != sizeof(WlanPhyRadioState))
        return kWlanInvalidParameter;
    WlanPhyRadioState state;
    std::memcpy(&state, data, sizeof state);
    F().calls.push_back("Radio " + i->guid + " phy " + std::to_string(state.phyIndex) + " " +
                        (state.softwareRadioState == kWlanRadioOn ? "on" : "off"));
    return 0;
}

inline uint32_t GetInterfaceCapability(WlanHandle handle, const WlanGuid* guid, void*,
                                       WlanInterfaceCapability** capability) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    *capability = static_cast<WlanInterfaceCapability*>(std::calloc(1, sizeof(WlanInterfaceCapability)));
    (*capability)->numberOfSupportedPhys = i->phys;
    return 0;
}

inline uint32_t Scan(WlanHandle handle, const WlanGuid* guid, const WlanSsid*, const void*, void*) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    F().calls.push_back("Scan " + i->guid);
    return 0;
}

inline uint32_t ReasonCodeToString(uint32_t reason, uint32_t size, char16_t* buffer, void*) {
    CopyWide(buffer, size, Utf8ToUtf16("reason " + std::to_string(reason)));
    return 0;
}

inline uint32_t GetAvailableNetworkList(WlanHandle handle, const WlanGuid* guid, uint32_t, void*,
                                        WlanAvailableNetworkList** list) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    if (i->networkListResult)
        return i->networkListResult;
    auto* result = Allocate<WlanAvailableNetworkList, WlanAvailableNetwork>(i->networks.size());
    for (size_t n = 0; n < i->networks.size(); ++n) {
        const FakeNetwork& from = i->networks[n];
        WlanAvailableNetwork& to = result->networks[n];
        CopyWide(to.profileName, 256, Utf8ToUtf16(from.profile));
        to.ssid.length = static_cast<uint32_t>(std::min<size_t>(from.ssid.size(), 32));
        std::memcpy(to.ssid.ssid, from.ssid.data(), to.ssid.length);
        to.numberOfBssids = from.bssids;
        to.networkConnectable = from.connectable;
        to.notConnectableReason = from.reason;
        to.signalQuality = from.quality;
        to.defaultAuthAlgorithm = from.authentication;
        to.defaultCipherAlgorithm = from.cipher;
        to.flags = from.flags | (from.profile.empty() ? 0 : kWlanNetworkHasProfile);
    }
    *list = result;
    return 0;
}

inline uint32_t GetProfileList(WlanHandle handle, const WlanGuid* guid, void*, WlanProfileInfoList** list) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    size_t count = std::min(i->profiles.size(), i->listLimit);
    auto* result = Allocate<WlanProfileInfoList, WlanProfileInfo>(count);
    for (size_t p = 0; p < count; ++p)
        CopyWide(result->profiles[p].profileName, 256, Utf8ToUtf16(i->profiles[p].first));
    *list = result;
    return 0;
}

inline uint32_t GetProfile(WlanHandle handle, const WlanGuid* guid, const char16_t* name, void*,
                           char16_t** xml, uint32_t*, uint32_t*) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    for (const auto& [profile, text] : i->profiles) {
        if (Utf8ToUtf16(profile) != WideOf(name))
            continue;
        *xml = static_cast<char16_t*>(std::calloc(text.size() + 1, sizeof(char16_t)));
        std::copy(text.begin(), text.end(), *xml);
        return 0;
    }
    return kWlanNotFound;
}

inline uint32_t DeleteProfile(WlanHandle handle, const WlanGuid* guid, const char16_t* name, void*) {
    std::lock_guard lock(FakeWlan::Mutex());
    FakeInterface* i = F().Find(guid);
    if (!Live(handle) || !i)
        return kWlanInvalidParameter;
    std::string text = Utf16ToUtf8(WideOf(name));
    F().calls.push_back("Delete " + i->guid + " " + text);
    if (auto forced = F().deleteResults.find(text); forced != F().deleteResults.end())
        return forced->second;
    auto held =
        std::find_if(i->profiles.begin(), i->profiles.end(), [&](const auto& p) { return p.first == text; });
    if (held == i->profiles.end())
        return kWlanNotFound;
    i->profiles.erase(held);
    return 0;
}

inline uint32_t Connect(WlanHandle, const WlanGuid*, const WlanConnectionParameters*, void*) {
    return 0;
}

inline uint32_t Disconnect(WlanHandle, const WlanGuid*, void*) {
    return 0;
}

} // namespace fakewlan

// The module with every entry but the missing ones.
inline platform::WlanModule FakeWlanModule(const std::set<std::string>& missing = {}) {
    using namespace fakewlan;
    std::vector<std::pair<std::string, void*>> all = {
        {"WlanRegisterNotification", reinterpret_cast<void*>(&RegisterNotification)},
        {"WlanFreeMemory", reinterpret_cast<void*>(&FreeMemory)},
        {"WlanCloseHandle", reinterpret_cast<void*>(&CloseHandle)},
        {"WlanOpenHandle", reinterpret_cast<void*>(&OpenHandle)},
        {"WlanEnumInterfaces", reinterpret_cast<void*>(&EnumInterfaces)},
        {"WlanSetProfile", reinterpret_cast<void*>(&SetProfile)},
        {"WlanSetInterface", reinterpret_cast<void*>(&SetInterface)},
        {"WlanGetInterfaceCapability", reinterpret_cast<void*>(&GetInterfaceCapability)},
        {"WlanScan", reinterpret_cast<void*>(&Scan)},
        {"WlanReasonCodeToString", reinterpret_cast<void*>(&ReasonCodeToString)},
        {"WlanGetAvailableNetworkList", reinterpret_cast<void*>(&GetAvailableNetworkList)},
        {"WlanGetProfileList", reinterpret_cast<void*>(&GetProfileList)},
        {"WlanGetProfile", reinterpret_cast<void*>(&GetProfile)},
        {"WlanConnect", reinterpret_cast<void*>(&Connect)},
        {"WlanDisconnect", reinterpret_cast<void*>(&Disconnect)},
        {"WlanDeleteProfile", reinterpret_cast<void*>(&DeleteProfile)},
    };
    std::erase_if(all, [&](const auto& entry) { return missing.count(entry.first) > 0; });
    return platform::WlanModule(std::move(all));
}

constexpr const char* kCardA = "{0A0A0A0A-0000-4000-8000-00000000000A}";
constexpr const char* kCardB = "{0B0B0B0B-0000-4000-8000-00000000000B}";

} // namespace testsupport
