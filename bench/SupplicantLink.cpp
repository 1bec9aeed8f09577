#include "bench/SupplicantLink.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "platform/wifi/WpaText.h"

namespace bench {

std::string SupplicantLink::SsidOf(const std::map<std::string, std::string>& fields) {
    auto ssid = fields.find("ssid");
    if (ssid == fields.end())
        return "";
    return platform::ParseNetworkText(ssid->second).value_or("");
}

std::optional<std::string> SupplicantLink::Answer(const std::string& request) {
    std::lock_guard lock(m_mutex);
    std::istringstream words(request);
    std::string command, id, field;
    words >> command >> id >> field;
    std::string value;
    std::getline(words >> std::ws, value);
    const int number = std::atoi(id.c_str());
    if (command == "PING")
        return "PONG\n";
    if (command == "STATUS") {
        std::string text = "address=" + m_mac + "\n";
        for (const auto& [key, v] : status)
            text += key + "=" + v + "\n";
        return text;
    }
    if (command == "ADD_NETWORK") {
        networks[m_next] = {{"disabled", "1"}};
        return std::to_string(m_next++) + "\n";
    }
    if (command == "SET_NETWORK") {
        if (!networks.count(number))
            return "FAIL\n";
        // A pass phrase outside 8-63 characters, as the supplicant refuses it.
        if (field == "psk" && value.front() == '"' && (value.size() < 10 || value.size() > 65))
            return "FAIL\n";
        networks[number][field] = value;
        return "OK\n";
    }
    if (command == "GET_NETWORK") {
        auto network = networks.find(number);
        if (network == networks.end() || !network->second.count(field))
            return "FAIL\n";
        bool key = field == "psk" || field.rfind("wep_key", 0) == 0;
        return key ? "*" : network->second[field];
    }
    if (command == "REMOVE_NETWORK")
        return networks.erase(number) ? "OK\n" : "FAIL\n";
    if (command == "ENABLE_NETWORK" || command == "DISABLE_NETWORK" || command == "SELECT_NETWORK") {
        const bool all = id == "all";
        if (!all && !networks.count(number))
            return "FAIL\n";
        for (auto& [n, fields] : networks) {
            if (command == "SELECT_NETWORK")
                fields["disabled"] = all || n == number ? "0" : "1";
            else if (all || n == number)
                fields["disabled"] = command == "ENABLE_NETWORK" ? "0" : "1";
        }
        return "OK\n";
    }
    if (command == "SAVE_CONFIG" || command == "DISCONNECT" || command == "RECONNECT" ||
        command == "REASSOCIATE")
        return "OK\n";
    if (command == "LIST_NETWORKS") {
        int last = id.rfind("LAST_ID=", 0) == 0 ? std::atoi(id.c_str() + 8) : -1;
        std::string text = "network id / ssid / bssid / flags\n";
        for (auto& [n, fields] : networks)
            if (n > last)
                text += std::to_string(n) + "\t" + SsidOf(fields) + "\tany\t" +
                        (n == current                ? "[CURRENT]"
                         : fields["disabled"] == "1" ? "[DISABLED]"
                                                     : "") +
                        "\n";
        return Cut(text);
    }
    if (command == "SCAN")
        return scanReply;
    if (command == "SCAN_RESULTS") {
        std::string text = "bssid / frequency / signal level / flags / ssid\n";
        for (const BssEntry& entry : table)
            text += entry.bssid + "\t" + std::to_string(entry.frequency) + "\t" +
                    std::to_string(entry.level) + "\t" + entry.flags + "\t" + entry.ssid + "\n";
        return Cut(text);
    }
    if (command == "BSS" && id.rfind("RANGE=", 0) == 0)
        return Range(std::atoi(id.c_str() + 6));
    if (command == "BSS")
        return bss[id];
    return "UNKNOWN COMMAND\n";
}

std::string SupplicantLink::Range(int from) const {
    std::string text;
    for (size_t i = static_cast<size_t>(std::max(from, 0)); i < table.size(); ++i) {
        const BssEntry& entry = table[i];
        std::string one = "id=" + std::to_string(i) + "\nbssid=" + entry.bssid +
                          "\nfreq=" + std::to_string(entry.frequency) +
                          "\nlevel=" + std::to_string(entry.level) + "\nflags=" + entry.flags +
                          "\nssid=" + entry.ssid + "\n" + (i + 1 == table.size() ? "####" : "====") + "\n";
        if (text.size() + one.size() >= kReplySize)
            break;
        text += one;
    }
    return text;
}

} // namespace bench
