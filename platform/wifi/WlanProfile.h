#pragma once
// WLAN profiles: the XML the Wi-Fi library writes, read into what a supplicant network needs,
// and an XML built back from a network that has none kept.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct WlanProfile {
    std::string name; // UTF-8
    std::string ssid; // the bytes sent on air
    bool autoConnect = true;
    std::string authentication = "open"; // open, shared, WPA, WPAPSK, WPA2, WPA2PSK
    std::string encryption = "none";     // none, WEP, TKIP, AES
    bool useOneX = false;
    std::string keyType; // networkKey, passPhrase or empty
    std::string keyMaterial;
    int keyIndex = 0;
};

// Nothing when the XML cannot be read or asks for what no network can be. The SSID name is
// text of the program's code page (GBK), as the library widened it.
std::optional<WlanProfile> ReadWlanProfileXml(const std::u16string& xml);

using NetworkSettings = std::vector<std::pair<std::string, std::string>>;
// The SET_NETWORK fields and values of the profile, in order (ssid first, id_str last);
// nothing for a combination no network can be.
std::optional<NetworkSettings> NetworkSettingsOf(const WlanProfile& profile);

// A network's own values (GET_NETWORK) as a profile, without its key (the supplicant keeps it).
WlanProfile ProfileOfNetwork(const std::string& name, const std::string& ssid,
                             const std::string& keyManagement, const std::string& proto,
                             const std::string& pairwise, const std::string& authAlg, bool hasWepKey,
                             bool enabled);
std::u16string BuildWlanProfileXml(const WlanProfile& profile);

} // namespace platform
