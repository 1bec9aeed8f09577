// The entry points of the "wlanapi.dll" module over the project's supplicant daemon.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/rfkill.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "platform/files/FileIo.h"
#include "platform/files/UniqueFd.h"
#include "platform/net/CardGuid.h"
#include "platform/net/Netlink.h"
#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanApi.h"
#include "platform/wifi/WlanProfile.h"
#include "platform/wifi/WlanService.h"
#include "platform/wifi/WpaControl.h"
#include "platform/wifi/WpaText.h"

namespace platform {

namespace {

struct Interface {
    std::string link;
    int ifindex = 0;
    WlanGuid guid;
};

struct NamedNetwork {
    int id = -1;
    std::string name; // UTF-8
    std::string ssid; // bytes
    std::string flags;
};

std::optional<std::string> Ask(const std::string& link, const std::string& command) {
    WpaControl control(WlanPaths::InterfaceSocket(link));
    if (!control.Open())
        return std::nullopt;
    return control.Request(command);
}

bool IsOk(const std::optional<std::string>& reply) {
    return reply && reply->rfind("OK", 0) == 0;
}

std::vector<uint8_t> MacOfText(const std::string& text) {
    std::vector<uint8_t> mac;
    for (size_t i = 0; i + 1 < text.size(); i += 3)
        if (std::optional<std::string> byte = BytesOfHex(text.substr(i, 2)))
            mac.push_back(static_cast<uint8_t>((*byte)[0]));
    return mac.size() == 6 ? mac : std::vector<uint8_t>();
}

// The links the daemon controls, in ifindex order.
std::vector<Interface> Interfaces() {
    std::vector<Interface> interfaces;
    WpaControl global(WlanPaths::GlobalSocket());
    if (!global.Open())
        return interfaces;
    std::optional<std::string> reply = global.Request("INTERFACES");
    if (!reply)
        return interfaces;
    Netlink netlink;
    size_t start = 0;
    while (start < reply->size()) {
        size_t end = reply->find('\n', start);
        std::string name = reply->substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? reply->size() : end + 1;
        if (name.empty())
            continue;
        Interface interface;
        interface.link = name;
        std::vector<uint8_t> mac;
        if (std::optional<LinkInfo> link = netlink.GetLink(name)) {
            interface.ifindex = link->index;
            mac = link->permanentMac;
        } else if (std::optional<std::string> status = Ask(name, "STATUS")) {
            interface.ifindex = 1 << 30; // not in this namespace: after the others
            mac = MacOfText(ParseWpaKeyValues(*status)["address"]);
        }
        if (!ParseWlanGuid(CardGuidFromMac(mac), interface.guid))
            continue;
        interfaces.push_back(interface);
    }
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const Interface& a, const Interface& b) { return a.ifindex < b.ifindex; });
    return interfaces;
}

std::optional<Interface> FindInterface(const WlanGuid* guid) {
    if (!guid)
        return std::nullopt;
    for (const Interface& interface : Interfaces())
        if (interface.guid == *guid)
            return interface;
    return std::nullopt;
}

std::string NetworkText(const std::string& link, int id, const std::string& field) {
    return ParseNetworkValue(Ask(link, "GET_NETWORK " + std::to_string(id) + " " + field).value_or(""))
        .value_or("");
}

// The key the network sends with: its WEP key slot holds one (the daemon shows it as "*").
bool HasWepKey(const std::string& link, int id) {
    std::string slot = NetworkText(link, id, "wep_tx_keyidx");
    return !NetworkText(link, id, "wep_key" + (slot.empty() ? std::string("0") : slot)).empty();
}

// Every network of the link, in id order; nothing when the daemon does not answer. A reply ends
// near 4 KB: the list is read in pages, each after the last id of the one before.
std::optional<std::vector<NamedNetwork>> Networks(const std::string& link) {
    WpaControl control(WlanPaths::InterfaceSocket(link));
    if (!control.Open())
        return std::nullopt;
    std::vector<WpaNetwork> listed;
    for (;;) {
        std::optional<std::string> reply = control.Request(
            listed.empty() ? "LIST_NETWORKS" : "LIST_NETWORKS LAST_ID=" + std::to_string(listed.back().id));
        if (!reply)
            return std::nullopt;
        size_t before = listed.size();
        for (WpaNetwork& network : ParseListNetworks(*reply))
            if (listed.empty() || network.id > listed.back().id) // a daemon that ignores LAST_ID
                listed.push_back(std::move(network));
        if (listed.size() == before)
            break;
    }
    std::vector<NamedNetwork> named;
    for (const WpaNetwork& network : listed) {
        NamedNetwork entry;
        entry.id = network.id;
        entry.ssid = network.ssid;
        entry.flags = network.flags;
        std::optional<std::string> idStr = ParseNetworkText(
            control.Request("GET_NETWORK " + std::to_string(network.id) + " id_str").value_or(""));
        std::optional<std::string> name = idStr ? BytesOfHex(*idStr) : std::nullopt;
        entry.name = name && !name->empty() ? *name : Utf16ToUtf8(WideFromGbk(network.ssid));
        named.push_back(std::move(entry));
    }
    return named;
}

// The networks of a profile name: one, or more where an older build added duplicates.
std::vector<NamedNetwork> FindNetworks(const std::string& link, const std::string& name) {
    std::vector<NamedNetwork> found;
    for (const NamedNetwork& network : Networks(link).value_or(std::vector<NamedNetwork>{}))
        if (network.name == name)
            found.push_back(network);
    return found;
}

std::optional<NamedNetwork> FindNetwork(const std::string& link, const std::string& name) {
    std::vector<NamedNetwork> found = FindNetworks(link, name);
    return found.empty() ? std::nullopt : std::optional<NamedNetwork>(found.front());
}

// The scan results, whole: SCAN_RESULTS ends near 4 KB, so the BSS table is read in pages, each
// from the id after the last one of the page before.
std::vector<WpaScanResult> ScanResults(const std::string& link) {
    std::vector<WpaScanResult> results;
    WpaControl control(WlanPaths::InterfaceSocket(link));
    if (!control.Open())
        return results;
    char mask[16];
    std::snprintf(mask, sizeof mask, "%x", kWpaBssMask);
    for (;;) {
        int from = results.empty() ? 0 : results.back().id + 1;
        std::optional<std::string> reply =
            control.Request("BSS RANGE=" + std::to_string(from) + "- MASK=0x" + mask);
        if (!reply)
            break;
        WpaBssPage page = ParseBssPage(*reply);
        size_t before = results.size();
        for (WpaScanResult& entry : page.entries)
            if (entry.id >= from)
                results.push_back(std::move(entry));
        if (page.last || results.size() == before)
            break;
    }
    return results;
}

std::string KeptXmlFile(const std::string& link, const std::string& name) {
    return WlanPaths::ProfileDirectory(link) + "/" + HexOf(name) + ".xml";
}

template <typename List, typename Item> List* AllocateList(size_t count) {
    size_t size = sizeof(List) + (count > 0 ? count - 1 : 0) * sizeof(Item);
    auto* list = static_cast<List*>(std::calloc(1, size));
    if (list)
        list->numberOfItems = static_cast<uint32_t>(count);
    return list;
}

void SetSsid(WlanSsid& target, const std::string& bytes) {
    target.length = static_cast<uint32_t>(std::min<size_t>(bytes.size(), sizeof target.ssid));
    std::memcpy(target.ssid, bytes.data(), target.length);
}

// ---- client handles and their event listeners

struct Listener {
    Interface interface;
    WpaControl control;
    std::thread thread;
    explicit Listener(const Interface& i) : interface(i), control(WlanPaths::InterfaceSocket(i.link)) {}
};

struct ClientHandle {
    std::mutex mutex;
    uint32_t sources = kWlanSourceNone;
    std::vector<std::unique_ptr<Listener>> listeners;
};

std::mutex g_handlesMutex;
std::set<ClientHandle*> g_handles;

ClientHandle* HandleOf(WlanHandle handle) {
    std::lock_guard lock(g_handlesMutex);
    auto* client = static_cast<ClientHandle*>(handle);
    return g_handles.count(client) ? client : nullptr;
}

void StopListeners(ClientHandle& client) {
    for (auto& listener : client.listeners)
        listener->control.Stop();
    for (auto& listener : client.listeners)
        if (listener->thread.joinable())
            listener->thread.join();
    client.listeners.clear();
}

struct Notice {
    uint32_t source, code, reason;
};

std::string QuotedSsid(const std::string& text, const std::string& opener) {
    size_t start = text.find(opener);
    if (start == std::string::npos)
        return {};
    start += opener.size();
    size_t end = text.rfind('\'');
    return end == std::string::npos || end < start ? std::string()
                                                   : DecodeWpaText(text.substr(start, end - start));
}

std::vector<Notice> NoticesOf(const WpaEvent& event) {
    if (event.Is("Trying to associate"))
        return {{kWlanSourceConnectionManager, kWlanConnectionStart, 0},
                {kWlanSourceMediaModule, kWlanMediaAssociating, 0}};
    if (event.Is("Associated with"))
        return {{kWlanSourceMediaModule, kWlanMediaAssociated, 0}};
    if (event.Is("CTRL-EVENT-CONNECTED"))
        return {{kWlanSourceConnectionManager, kWlanConnectionComplete, kWlanReasonSuccess},
                {kWlanSourceMediaModule, kWlanMediaConnected, 0}};
    if (event.Is("CTRL-EVENT-SSID-TEMP-DISABLED"))
        return {
            {kWlanSourceConnectionManager, kWlanConnectionComplete,
             event.Value("reason") == "WRONG_KEY" ? kWlanReasonWrongKey : kWlanReasonAuthenticationFailed}};
    if (event.Is("CTRL-EVENT-AUTH-REJECT") || event.Is("CTRL-EVENT-EAP-FAILURE"))
        return {{kWlanSourceConnectionManager, kWlanConnectionComplete, kWlanReasonAuthenticationFailed}};
    if (event.Is("CTRL-EVENT-ASSOC-REJECT"))
        return {{kWlanSourceConnectionManager, kWlanConnectionComplete, kWlanReasonAssociationFailed}};
    if (event.Is("CTRL-EVENT-DISCONNECTED"))
        return {{kWlanSourceConnectionManager, kWlanConnectionDisconnected, kWlanReasonConnectionLost},
                {kWlanSourceMediaModule, kWlanMediaDisconnected, 0}};
    return {};
}

void Listen(Listener& listener, uint32_t sources, WlanNotificationCallback callback, void* context) {
    std::string ssid;
    while (!listener.control.IsStopped()) {
        std::optional<std::string> message = listener.control.NextEvent(std::chrono::milliseconds(500));
        if (!message) {
            // Nothing tells the listener that the daemon went: a quiet spell asks, and a
            // restarted daemon is attached to again.
            if (!listener.control.IsStopped() &&
                !listener.control.Request("PING", std::chrono::milliseconds(500)) &&
                !listener.control.IsStopped() && listener.control.Open())
                listener.control.Attach();
            continue;
        }
        std::optional<WpaEvent> event = ParseWpaEvent(*message);
        if (!event)
            continue;
        if (event->Is("Trying to associate"))
            ssid = QuotedSsid(event->text, "SSID='");
        for (const Notice& notice : NoticesOf(*event)) {
            if (!(sources & notice.source))
                continue;
            WlanConnectionNotificationData payload{};
            SetSsid(payload.ssid, ssid);
            CopyWide(payload.profileName, std::size(payload.profileName), WideFromGbk(ssid));
            payload.reasonCode = notice.reason;
            WlanNotificationData data{};
            data.notificationSource = notice.source;
            data.notificationCode = notice.code;
            data.interfaceGuid = listener.interface.guid;
            data.dataSize = sizeof payload;
            data.data = &payload;
            callback(&data, context);
        }
    }
}

// ---- entry points

uint32_t OpenHandle(uint32_t clientVersion, void*, uint32_t* negotiatedVersion, WlanHandle* handle) {
    if (clientVersion != 1 || !negotiatedVersion || !handle)
        return kWlanInvalidParameter;
    if (!WlanService::Serving())
        return kWlanServiceNotActive;
    auto* client = new ClientHandle;
    {
        std::lock_guard lock(g_handlesMutex);
        g_handles.insert(client);
    }
    *negotiatedVersion = 1;
    *handle = client;
    return kWlanSuccess;
}

uint32_t CloseHandle(WlanHandle handle, void*) {
    ClientHandle* client = HandleOf(handle);
    if (!client)
        return kWlanInvalidHandle;
    {
        std::lock_guard lock(g_handlesMutex);
        g_handles.erase(client);
    }
    {
        std::lock_guard lock(client->mutex);
        StopListeners(*client);
    }
    delete client;
    return kWlanSuccess;
}

void FreeMemory(void* memory) {
    std::free(memory);
}

uint32_t EnumInterfaces(WlanHandle handle, void*, WlanInterfaceInfoList** list) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    if (!list)
        return kWlanInvalidParameter;
    std::vector<Interface> interfaces = Interfaces();
    auto* result = AllocateList<WlanInterfaceInfoList, WlanInterfaceInfo>(interfaces.size());
    for (size_t i = 0; i < interfaces.size(); ++i) {
        WlanInterfaceInfo& info = result->interfaces[i];
        info.interfaceGuid = interfaces[i].guid;
        CopyWide(info.description, std::size(info.description), Utf8ToUtf16(interfaces[i].link));
        std::string state = ParseWpaKeyValues(Ask(interfaces[i].link, "STATUS").value_or(""))["wpa_state"];
        static const std::map<std::string, WlanInterfaceState> kStates = {
            {"COMPLETED", kWlanStateConnected},           {"ASSOCIATING", kWlanStateAssociating},
            {"ASSOCIATED", kWlanStateAssociating},        {"AUTHENTICATING", kWlanStateAuthenticating},
            {"4WAY_HANDSHAKE", kWlanStateAuthenticating}, {"GROUP_HANDSHAKE", kWlanStateAuthenticating},
            {"SCANNING", kWlanStateDiscovering},          {"DISCONNECTED", kWlanStateDisconnected},
            {"INACTIVE", kWlanStateDisconnected}};
        auto found = kStates.find(state);
        info.state = found == kStates.end() ? kWlanStateNotReady : found->second;
    }
    *list = result;
    return kWlanSuccess;
}

uint32_t SetProfile(WlanHandle handle, const WlanGuid* guid, uint32_t, const char16_t* xml, const char16_t*,
                    int32_t overwrite, void*, uint32_t* reasonCode) {
    if (reasonCode)
        *reasonCode = kWlanReasonSuccess;
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    if (!xml)
        return kWlanInvalidParameter;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface)
        return kWlanInvalidParameter;
    std::u16string text = WideOf(xml);
    std::optional<WlanProfile> profile = ReadWlanProfileXml(text);
    if (!profile)
        return kWlanBadProfile;
    const std::string& link = interface->link;
    std::vector<NamedNetwork> old = FindNetworks(link, profile->name);
    if (!old.empty() && !overwrite)
        return kWlanAlreadyExists;

    // The new network is made whole before the old one goes, so a refused key loses nothing.
    std::optional<std::string> added = Ask(link, "ADD_NETWORK");
    if (!added || added->empty() || !std::isdigit(static_cast<unsigned char>((*added)[0])))
        return kWlanBadProfile;
    std::string id = std::to_string(std::atoi(added->c_str()));
    NetworkSettings settings = NetworkSettingsOf(*profile).value_or(NetworkSettings{});
    for (const auto& [field, value] : settings) {
        if (!IsOk(Ask(link, "SET_NETWORK " + id + " " + field + " " + value))) {
            Ask(link, "REMOVE_NETWORK " + id);
            return kWlanBadProfile;
        }
    }
    for (const NamedNetwork& network : old)
        Ask(link, "REMOVE_NETWORK " + std::to_string(network.id));
    if (profile->autoConnect)
        Ask(link, "ENABLE_NETWORK " + id);
    Ask(link, "SAVE_CONFIG");
    std::error_code error;
    std::filesystem::create_directories(WlanPaths::ProfileDirectory(link), error);
    SaveFileAtomically(
        KeptXmlFile(link, profile->name),
        std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)),
        kSecretFileMode); // it holds the key
    return kWlanSuccess;
}

uint32_t GetProfileList(WlanHandle handle, const WlanGuid* guid, void*, WlanProfileInfoList** list) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || !list)
        return kWlanInvalidParameter;
    std::optional<std::vector<NamedNetwork>> networks = Networks(interface->link);
    if (!networks)
        return kWlanServiceNotActive;
    auto* result = AllocateList<WlanProfileInfoList, WlanProfileInfo>(networks->size());
    for (size_t i = 0; i < networks->size(); ++i)
        CopyWide(result->profiles[i].profileName, std::size(result->profiles[i].profileName),
                 Utf8ToUtf16((*networks)[i].name));
    *list = result;
    return kWlanSuccess;
}

uint32_t GetProfile(WlanHandle handle, const WlanGuid* guid, const char16_t* profileName, void*,
                    char16_t** profileXml, uint32_t* flags, uint32_t* grantedAccess) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || !profileName || !profileXml)
        return kWlanInvalidParameter;
    std::string name = Utf16ToUtf8(WideOf(profileName));
    std::optional<NamedNetwork> network = FindNetwork(interface->link, name);
    if (!network)
        return kWlanNotFound;
    std::u16string xml;
    if (std::optional<std::string> kept = ReadWholeFile(KeptXmlFile(interface->link, name));
        kept && kept->size() % 2 == 0) {
        xml.resize(kept->size() / 2);
        std::memcpy(xml.data(), kept->data(), kept->size());
    } else {
        const std::string& link = interface->link;
        int id = network->id;
        xml = BuildWlanProfileXml(ProfileOfNetwork(
            name, network->ssid, NetworkText(link, id, "key_mgmt"), NetworkText(link, id, "proto"),
            NetworkText(link, id, "pairwise"), NetworkText(link, id, "auth_alg"), HasWepKey(link, id),
            network->flags.find("DISABLED") == std::string::npos));
    }
    auto* result = static_cast<char16_t*>(std::calloc(xml.size() + 1, sizeof(char16_t)));
    std::copy(xml.begin(), xml.end(), result);
    *profileXml = result;
    if (flags)
        *flags = 0;
    if (grantedAccess)
        *grantedAccess = 0x000F0000 | 0x7; // read, execute, write
    return kWlanSuccess;
}

uint32_t DeleteProfile(WlanHandle handle, const WlanGuid* guid, const char16_t* profileName, void*) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || !profileName)
        return kWlanInvalidParameter;
    std::string name = Utf16ToUtf8(WideOf(profileName));
    const std::string& link = interface->link;
    std::vector<NamedNetwork> networks = FindNetworks(link, name);
    if (networks.empty())
        return kWlanNotFound;
    bool left = false;
    for (const NamedNetwork& network : networks) {
        if (!IsOk(Ask(link, "REMOVE_NETWORK " + std::to_string(network.id))))
            return kWlanNotFound;
        left = left || network.flags.find("[CURRENT]") != std::string::npos;
    }
    Ask(link, "SAVE_CONFIG");
    std::error_code error;
    std::filesystem::remove(KeptXmlFile(link, name), error);
    // The daemon left the joined network with it.
    if (left)
        ReleaseWirelessLink(link);
    return kWlanSuccess;
}

uint32_t Scan(WlanHandle handle, const WlanGuid* guid, const WlanSsid*, const void*, void*) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface)
        return kWlanInvalidParameter;
    std::optional<std::string> reply = Ask(interface->link, "SCAN");
    // A scan under way counts as this one.
    if (IsOk(reply) || (reply && reply->rfind("FAIL-BUSY", 0) == 0))
        return kWlanSuccess;
    return kWlanNotSupported;
}

struct Security {
    uint32_t auth = kWlanAuthOpen, cipher = kWlanCipherNone;
    bool enabled = false;
};

// The supplicant's flags word by word, as a network configuration names the same things:
// "[WPA2-PSK-CCMP+TKIP]" is a protocol, its key managements and its pairwise ciphers; "[WEP]" is
// privacy without a WPA element.
struct FlagWord {
    const char* word;
    const char* setting;
};
constexpr FlagWord kProtocols[] = {{"WPA2", "RSN"}, {"RSN", "RSN"}, {"WPA", "WPA"}};
constexpr FlagWord kKeyManagements[] = {
    {"PSK", "WPA-PSK"},
    {"EAP", "WPA-EAP"},
    {"PSK-SHA256", "WPA-PSK-SHA256"},
    {"EAP-SHA256", "WPA-EAP-SHA256"},
    {"FT/PSK", "FT-PSK"},
    {"FT/EAP", "FT-EAP"},
    {"SAE", "SAE"},
    {"OWE", "OWE"},
};

struct Offer {
    std::string protocol;                  // RSN or WPA
    std::set<std::string> keyManagements;  // key_mgmt values
    std::set<std::string> pairwiseCiphers; // pairwise values: CCMP, TKIP, ...
};

struct Flags {
    std::vector<Offer> offers; // one per WPA element
    bool privacy = false;      // WEP
};

std::set<std::string> Words(const std::string& text, char separator) {
    std::set<std::string> words;
    std::string word;
    std::istringstream stream(text);
    while (std::getline(stream, word, separator))
        if (!word.empty())
            words.insert(word);
    return words;
}

Flags ParseFlags(const std::string& text) {
    Flags flags;
    for (size_t open = text.find('['); open != std::string::npos; open = text.find('[', open + 1)) {
        size_t close = text.find(']', open);
        std::string token = text.substr(open + 1, close == std::string::npos ? close : close - open - 1);
        if (token == "WEP") {
            flags.privacy = true;
            continue;
        }
        const std::string preauth = "-preauth";
        if (token.size() > preauth.size() &&
            token.compare(token.size() - preauth.size(), preauth.size(), preauth) == 0)
            token.resize(token.size() - preauth.size());
        size_t first = token.find('-'), last = token.rfind('-');
        if (first == std::string::npos || first == last)
            continue; // ESS, IBSS, WPS, P2P, ...
        Offer offer;
        for (const FlagWord& protocol : kProtocols)
            if (token.compare(0, first, protocol.word) == 0)
                offer.protocol = protocol.setting;
        if (offer.protocol.empty())
            continue;
        for (const std::string& word : Words(token.substr(first + 1, last - first - 1), '+'))
            for (const FlagWord& keyManagement : kKeyManagements)
                if (word == keyManagement.word)
                    offer.keyManagements.insert(keyManagement.setting);
        offer.pairwiseCiphers = Words(token.substr(last + 1), '+');
        flags.offers.push_back(std::move(offer));
    }
    return flags;
}

// What the list reports of a network: its best WPA element, else WEP or open.
Security SecurityOfFlags(const std::string& text) {
    Flags flags = ParseFlags(text);
    const Offer* best = nullptr;
    auto rank = [](const Offer& offer) {
        return (offer.protocol == "RSN" ? 2 : 0) + (offer.keyManagements.count("WPA-PSK") ? 1 : 0);
    };
    for (const Offer& offer : flags.offers)
        if (!best || rank(offer) > rank(*best))
            best = &offer;
    if (!best)
        return flags.privacy ? Security{kWlanAuthOpen, kWlanCipherWep, true} : Security{};
    bool psk = best->keyManagements.count("WPA-PSK") > 0, rsn = best->protocol == "RSN";
    return {rsn ? (psk ? kWlanAuthRsnaPsk : kWlanAuthRsna) : (psk ? kWlanAuthWpaPsk : kWlanAuthWpa),
            best->pairwiseCiphers.count("CCMP") ? kWlanCipherCcmp : kWlanCipherTkip, true};
}

// Whether a network of these flags can be joined with the network configured for its name:
// protocol, key management and pairwise cipher of one WPA element, or, without one, the same
// privacy (a WEP key for a WEP network, none for an open one).
bool CanSatisfy(const std::string& text, const std::string& keyManagement, const std::string& proto,
                const std::string& pairwise, bool hasWepKey) {
    Flags flags = ParseFlags(text);
    std::set<std::string> keyManagements = Words(keyManagement, ' ');
    std::set<std::string> protocols = proto.empty() ? std::set<std::string>{"RSN", "WPA"} : Words(proto, ' ');
    std::set<std::string> ciphers =
        pairwise.empty() ? std::set<std::string>{"CCMP", "TKIP"} : Words(pairwise, ' ');
    auto shares = [](const std::set<std::string>& a, const std::set<std::string>& b) {
        return std::any_of(a.begin(), a.end(), [&](const std::string& word) { return b.count(word) > 0; });
    };
    if (!flags.offers.empty())
        return std::any_of(flags.offers.begin(), flags.offers.end(), [&](const Offer& offer) {
            return protocols.count(offer.protocol) && shares(offer.keyManagements, keyManagements) &&
                   shares(offer.pairwiseCiphers, ciphers);
        });
    if (keyManagements.count("IEEE8021X"))
        return true; // its keys come from the authenticator
    return keyManagements.count("NONE") && flags.privacy == hasWepKey;
}

uint32_t Quality(int dbm) {
    return static_cast<uint32_t>(std::clamp(2 * (dbm + 100), 0, 100));
}

uint32_t GetAvailableNetworkList(WlanHandle handle, const WlanGuid* guid, uint32_t, void*,
                                 WlanAvailableNetworkList** list) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || !list)
        return kWlanInvalidParameter;
    const std::string& link = interface->link;
    std::vector<WpaScanResult> results = ScanResults(link);
    auto status = ParseWpaKeyValues(Ask(link, "STATUS").value_or(""));
    bool joined = status["wpa_state"] == "COMPLETED" && status.count("ssid");
    std::string joinedSsid = joined ? DecodeWpaText(status["ssid"]) : std::string();
    if (joined && std::none_of(results.begin(), results.end(),
                               [&](const WpaScanResult& r) { return r.ssid == joinedSsid; })) {
        WpaScanResult current;
        current.bssid = status["bssid"];
        current.ssid = joinedSsid;
        current.frequency = std::atoi(status["freq"].c_str());
        current.signal = -100;
        auto bss = ParseWpaKeyValues(Ask(link, "BSS " + current.bssid).value_or(""));
        if (bss.count("level")) {
            current.signal = std::atoi(bss["level"].c_str());
            current.flags = bss["flags"];
        } else {
            std::string keyManagement = status["key_mgmt"];
            current.flags = keyManagement.find("WPA2-PSK") != std::string::npos  ? "[WPA2-PSK-CCMP]"
                            : keyManagement.find("WPA-PSK") != std::string::npos ? "[WPA-PSK-TKIP]"
                                                                                 : "";
        }
        results.push_back(current);
    }

    // One entry per SSID, described by its strongest BSS.
    std::vector<std::string> order;
    std::map<std::string, std::vector<const WpaScanResult*>> groups;
    for (const WpaScanResult& result : results) {
        bool hidden = std::all_of(result.ssid.begin(), result.ssid.end(), [](char c) { return c == '\0'; });
        if (hidden)
            continue;
        if (!groups.count(result.ssid))
            order.push_back(result.ssid);
        groups[result.ssid].push_back(&result);
    }
    std::vector<NamedNetwork> networks = Networks(link).value_or(std::vector<NamedNetwork>{});
    auto* result = AllocateList<WlanAvailableNetworkList, WlanAvailableNetwork>(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const auto& group = groups[order[i]];
        const WpaScanResult* strongest = *std::max_element(
            group.begin(), group.end(), [](auto* a, auto* b) { return a->signal < b->signal; });
        WlanAvailableNetwork& entry = result->networks[i];
        SetSsid(entry.ssid, order[i]);
        entry.numberOfBssids = static_cast<uint32_t>(group.size());
        entry.signalQuality = Quality(strongest->signal);
        Security security = SecurityOfFlags(strongest->flags);
        entry.defaultAuthAlgorithm = security.auth;
        entry.defaultCipherAlgorithm = security.cipher;
        entry.securityEnabled = security.enabled;
        entry.networkConnectable = 1;
        auto network = std::find_if(networks.begin(), networks.end(),
                                    [&](const NamedNetwork& n) { return n.ssid == order[i]; });
        if (network != networks.end()) {
            entry.flags |= kWlanNetworkHasProfile;
            CopyWide(entry.profileName, std::size(entry.profileName), Utf8ToUtf16(network->name));
            if (!CanSatisfy(strongest->flags, NetworkText(link, network->id, "key_mgmt"),
                            NetworkText(link, network->id, "proto"),
                            NetworkText(link, network->id, "pairwise"), HasWepKey(link, network->id))) {
                entry.networkConnectable = 0;
                entry.notConnectableReason = kWlanReasonSecurityMismatch;
            }
        }
        if (joined && order[i] == joinedSsid)
            entry.flags |= kWlanNetworkConnected;
    }
    *list = result;
    return kWlanSuccess;
}

uint32_t GetInterfaceCapability(WlanHandle handle, const WlanGuid* guid, void*,
                                WlanInterfaceCapability** capability) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    if (!FindInterface(guid) || !capability)
        return kWlanInvalidParameter;
    auto* result = static_cast<WlanInterfaceCapability*>(std::calloc(1, sizeof(WlanInterfaceCapability)));
    result->interfaceType = 1;
    result->maxDesiredSsidListSize = 1;
    result->maxDesiredBssidListSize = 1;
    result->numberOfSupportedPhys = 1; // the radio is switched as one
    *capability = result;
    return kWlanSuccess;
}

// The rfkill switch of the link's wireless PHY, or -1 when it has none.
int RfkillIndex(const std::string& link) {
    std::error_code error;
    std::filesystem::path phy = "/sys/class/net/" + link + "/phy80211";
    for (const auto& entry : std::filesystem::directory_iterator(phy, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("rfkill", 0) == 0 && name.size() > 6)
            return std::atoi(name.c_str() + 6);
    }
    return -1;
}

uint32_t SetInterface(WlanHandle handle, const WlanGuid* guid, uint32_t opcode, uint32_t dataSize,
                      const void* data, void*) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || opcode != kWlanOpcodeRadioState || dataSize != sizeof(WlanPhyRadioState) || !data)
        return kWlanInvalidParameter;
    WlanPhyRadioState state;
    std::memcpy(&state, data, sizeof state);
    if (state.phyIndex != 0 || state.softwareRadioState > kWlanRadioOn)
        return kWlanInvalidParameter;
    int index = RfkillIndex(interface->link);
    if (index < 0)
        return kWlanSuccess; // nothing to switch
    UniqueFd rfkill(::open("/dev/rfkill", O_WRONLY | O_CLOEXEC));
    if (!rfkill)
        return errno == EACCES || errno == EPERM ? kWlanAccessDenied : kWlanNotSupported;
    rfkill_event event{};
    event.idx = static_cast<uint32_t>(index);
    event.op = RFKILL_OP_CHANGE;
    event.soft = state.softwareRadioState == kWlanRadioOn ? 0 : 1;
    if (::write(rfkill.Get(), &event, sizeof event) != static_cast<ssize_t>(sizeof event))
        return errno == EACCES || errno == EPERM ? kWlanAccessDenied : kWlanNotSupported;
    return kWlanSuccess;
}

uint32_t ReasonCodeToString(uint32_t reasonCode, uint32_t bufferSize, char16_t* buffer, void*) {
    if (!buffer || bufferSize == 0)
        return kWlanInvalidParameter;
    static const std::map<uint32_t, const char*> kTexts = {
        {kWlanReasonSuccess, "The operation succeeded."},
        {kWlanReasonSecurityMismatch, "The network's security does not match that of its profile."},
        {kWlanReasonWrongKey, "The network refused the key of the profile."},
        {kWlanReasonAuthenticationFailed, "Authentication with the network failed."},
        {kWlanReasonAssociationFailed, "The network refused the association."},
        {kWlanReasonConnectionLost, "The connection to the network was lost."},
    };
    auto found = kTexts.find(reasonCode);
    CopyWide(buffer, bufferSize, Utf8ToUtf16(found == kTexts.end() ? "Unknown reason." : found->second));
    return kWlanSuccess;
}

uint32_t Connect(WlanHandle handle, const WlanGuid* guid, const WlanConnectionParameters* parameters, void*) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface || !parameters || !parameters->profile)
        return kWlanInvalidParameter;
    std::optional<NamedNetwork> network =
        FindNetwork(interface->link, Utf16ToUtf8(WideOf(parameters->profile)));
    if (!network)
        return kWlanNotFound;
    return IsOk(Ask(interface->link, "SELECT_NETWORK " + std::to_string(network->id)))
               ? kWlanSuccess
               : kWlanInvalidParameter;
}

uint32_t Disconnect(WlanHandle handle, const WlanGuid* guid, void*) {
    if (!HandleOf(handle))
        return kWlanInvalidHandle;
    std::optional<Interface> interface = FindInterface(guid);
    if (!interface)
        return kWlanInvalidParameter;
    if (!IsOk(Ask(interface->link, "DISCONNECT")))
        return kWlanInvalidParameter;
    ReleaseWirelessLink(interface->link);
    return kWlanSuccess;
}

uint32_t RegisterNotification(WlanHandle handle, uint32_t sources, int32_t, WlanNotificationCallback callback,
                              void* context, void*, uint32_t* previousSources) {
    ClientHandle* client = HandleOf(handle);
    if (!client)
        return kWlanInvalidHandle;
    if (sources != kWlanSourceNone && !callback)
        return kWlanInvalidParameter;
    std::lock_guard lock(client->mutex);
    if (previousSources)
        *previousSources = client->sources;
    StopListeners(*client);
    client->sources = sources;
    if (sources == kWlanSourceNone)
        return kWlanSuccess;
    for (const Interface& interface : Interfaces()) {
        auto listener = std::make_unique<Listener>(interface);
        if (!listener->control.Open() || !listener->control.Attach())
            continue;
        Listener* raw = listener.get();
        listener->thread =
            std::thread([raw, sources, callback, context] { Listen(*raw, sources, callback, context); });
        client->listeners.push_back(std::move(listener));
    }
    return kWlanSuccess;
}

const WlanModule& SupplicantModule() {
    static const WlanModule module({
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
    });
    return module;
}

std::mutex g_moduleMutex;
const WlanModule* g_installed = nullptr;

} // namespace

void* WlanModule::Resolve(const std::string& name) const {
    for (const auto& [entryName, function] : m_entries)
        if (entryName == name)
            return function;
    return nullptr;
}

const WlanModule* FindWlanModule(const std::string& name) {
    if (name != "wlanapi.dll")
        return nullptr;
    std::lock_guard lock(g_moduleMutex);
    return g_installed ? g_installed : &SupplicantModule();
}

void InstallWlanModule(const WlanModule* module) {
    std::lock_guard lock(g_moduleMutex);
    g_installed = module;
}

std::string FormatWlanGuid(const WlanGuid& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1,
                  guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                  guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return text;
}

bool ParseWlanGuid(const std::string& text, WlanGuid& guid) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    std::string hex;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash != (text[i] == '-'))
            return false;
        if (!dash)
            hex += text[i];
    }
    std::optional<std::string> bytes = BytesOfHex(hex);
    if (!bytes || bytes->size() != 16)
        return false;
    auto byte = [&](int i) { return static_cast<uint8_t>((*bytes)[static_cast<size_t>(i)]); };
    guid.data1 = (uint32_t(byte(0)) << 24) | (uint32_t(byte(1)) << 16) | (uint32_t(byte(2)) << 8) | byte(3);
    guid.data2 = static_cast<uint16_t>((byte(4) << 8) | byte(5));
    guid.data3 = static_cast<uint16_t>((byte(6) << 8) | byte(7));
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = byte(8 + i);
    return true;
}

} // namespace platform
