#pragma once
// Readers of the supplicant's control replies and event lines. SSIDs come back as their raw
// bytes (the supplicant escapes them: \xNN, \\, \", \n, \r, \t, \e).

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// STATUS and BSS replies: one key=value a line.
std::map<std::string, std::string> ParseWpaKeyValues(const std::string& reply);

struct WpaNetwork {
    int id = -1;
    std::string ssid; // raw bytes
    std::string bssid;
    std::string flags; // "[CURRENT]", "[DISABLED]", ...
};
// One LIST_NETWORKS page: the networks of whole lines only (the daemon cuts a long reply).
std::vector<WpaNetwork> ParseListNetworks(const std::string& reply);

struct WpaScanResult {
    int id = -1; // the daemon's BSS id
    std::string bssid;
    int frequency = 0;
    int signal = 0; // dBm
    std::string flags;
    std::string ssid; // raw bytes; empty for a hidden network
};
// The fields a "BSS RANGE=" request asks for (id, bssid, freq, level, flags, ssid and the
// entry delimiter).
constexpr unsigned kWpaBssMask = 0x21887;
// One page of BSS entries: whole entries only, each ended by "====", the table's last by
// "####" (then 'last' is set).
struct WpaBssPage {
    std::vector<WpaScanResult> entries;
    bool last = false;
};
WpaBssPage ParseBssPage(const std::string& reply);

// A GET_NETWORK reply as it stands ("WPA-PSK", "1", "*"); nothing for FAIL or an empty reply.
std::optional<std::string> ParseNetworkValue(const std::string& reply);
// A GET_NETWORK reply of a text field (ssid, id_str): a quoted text's content, or hex digits
// as their bytes; nothing for anything else.
std::optional<std::string> ParseNetworkText(const std::string& reply);

struct WpaEvent {
    int level = 0;
    std::string text; // after the "<level>"
    bool Is(const char* prefix) const { return text.rfind(prefix, 0) == 0; }
    // "name=value" words of the text ("reason=3", "id=0"); empty when absent.
    std::string Value(const std::string& name) const;
};
std::optional<WpaEvent> ParseWpaEvent(const std::string& message);

// The supplicant's escapes undone.
std::string DecodeWpaText(const std::string& text);
std::string HexOf(const std::string& bytes);
// Bytes of an even count of hex digits; nothing for anything else.
std::optional<std::string> BytesOfHex(const std::string& hex);

} // namespace platform
