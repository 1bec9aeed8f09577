#pragma once
// The networks part of a supplicant, as the stand-in asks it of an interface socket: networks by
// id, status, a BSS table and the replies to SCAN and "BSS <bssid>". Long replies end at the
// daemon's 4 KB: LIST_NETWORKS and SCAN_RESULTS in the middle of a line, "BSS RANGE=" before an
// entry that does not fit, as the daemon's own code cuts them.

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/wifi/WlanService.h"
#include "platform/wifi/WpaText.h"
#include "tests/platform/wifi/FakeWpaSocket.h"

namespace testsupport {

struct FakeBss {
    std::string bssid;
    int frequency = 2412;
    int level = -40;
    std::string flags = "[ESS]";
    std::string ssid; // as the daemon escapes it
};

class FakeSupplicant {
public:
    static constexpr size_t kReplySize = 4096;

    explicit FakeSupplicant(std::string mac) : m_mac(std::move(mac)) {}

    std::optional<std::string> Answer(const std::string& request) {
        std::lock_guard lock(m_mutex);
        std::istringstream words(request);
        std::string command, id, field;
        words >> command >> id >> field;
        std::string value;
        std::getline(words >> std::ws, value);
        if (command == "PING")
            return "PONG\n";
        if (command == "STATUS") {
            std::string text = "address=" + m_mac + "\n";
            for (const auto& [key, v] : status)
                text += key + "=" + v + "\n";
            return text;
        }
        if (command == "ADD_NETWORK") {
            networks[m_next] = {};
            return std::to_string(m_next++) + "\n";
        }
        if (command == "SET_NETWORK") {
            if (!networks.count(std::atoi(id.c_str())))
                return "FAIL\n";
            // A pass phrase outside 8-63 characters, as the supplicant refuses it.
            if (field == "psk" && value.front() == '"' && (value.size() < 10 || value.size() > 65))
                return "FAIL\n";
            networks[std::atoi(id.c_str())][field] = value;
            return "OK\n";
        }
        if (command == "GET_NETWORK") {
            auto network = networks.find(std::atoi(id.c_str()));
            if (network == networks.end() || !network->second.count(field))
                return "FAIL\n";
            bool key = field == "psk" || field.rfind("wep_key", 0) == 0;
            return key ? "*" : network->second[field];
        }
        if (command == "REMOVE_NETWORK")
            return networks.erase(std::atoi(id.c_str())) ? "OK\n" : "FAIL\n";
        if (command == "ENABLE_NETWORK" || command == "SAVE_CONFIG" || command == "SELECT_NETWORK" ||
            command == "DISCONNECT")
            return "OK\n";
        if (command == "LIST_NETWORKS") {
            int last = id.rfind("LAST_ID=", 0) == 0 ? std::atoi(id.c_str() + 8) : -1;
            std::string text = "network id / ssid / bssid / flags\n";
            for (auto& [n, fields] : networks)
                if (n > last)
                    text += std::to_string(n) + "\t" + platform::BytesOfHex(fields["ssid"]).value_or("?") +
                            "\tany\t" + (n == current ? "[CURRENT]" : "") + "\n";
            return Cut(text);
        }
        if (command == "SCAN")
            return scanReply;
        if (command == "SCAN_RESULTS") {
            std::string text = "bssid / frequency / signal level / flags / ssid\n";
            for (const FakeBss& bss : table)
                text += bss.bssid + "\t" + std::to_string(bss.frequency) + "\t" + std::to_string(bss.level) +
                        "\t" + bss.flags + "\t" + bss.ssid + "\n";
            return Cut(text);
        }
        if (command == "BSS" && id.rfind("RANGE=", 0) == 0)
            return Range(std::atoi(id.c_str() + 6));
        if (command == "BSS")
            return bss[id];
        return "UNKNOWN COMMAND\n";
    }

    // The test's own reads and writes, against the socket thread's.
    template <typename F> auto Locked(F f) {
        std::lock_guard lock(m_mutex);
        return f();
    }

    std::mutex m_mutex;
    std::map<int, std::map<std::string, std::string>> networks;
    int current = -1; // the joined network's id
    std::map<std::string, std::string> status = {{"wpa_state", "DISCONNECTED"}};
    std::string scanReply = "OK\n";
    std::vector<FakeBss> table;             // BSS ids are the indices
    std::map<std::string, std::string> bss; // "BSS <bssid>" replies

private:
    static std::string Cut(const std::string& text) { return text.substr(0, kReplySize - 1); }

    std::string Range(int from) {
        std::string text;
        for (size_t i = static_cast<size_t>(std::max(from, 0)); i < table.size(); ++i) {
            const FakeBss& entry = table[i];
            std::string one = "id=" + std::to_string(i) + "\nbssid=" + entry.bssid +
                              "\nfreq=" + std::to_string(entry.frequency) +
                              "\nlevel=" + std::to_string(entry.level) + "\nflags=" + entry.flags +
                              "\nssid=" + entry.ssid + "\n" + (i + 1 == table.size() ? "####" : "====") +
                              "\n";
            if (text.size() + one.size() >= kReplySize)
                break;
            text += one;
        }
        return text;
    }

    std::string m_mac;
    int m_next = 0;
};

// The daemon's global socket in the run directory, which names the one link it controls.
inline std::unique_ptr<FakeWpaSocket> FakeGlobalSocket(const std::string& link) {
    return std::make_unique<FakeWpaSocket>(platform::WlanPaths::GlobalSocket(),
                                           [link](const std::string& request) -> std::optional<std::string> {
                                               if (request == "PING")
                                                   return "PONG\n";
                                               if (request == "INTERFACES")
                                                   return link + "\n";
                                               return "UNKNOWN COMMAND\n";
                                           });
}

// The link's socket in the run directory, answered by the fake.
inline std::unique_ptr<FakeWpaSocket> FakeLinkSocket(const std::string& link, FakeSupplicant& fake) {
    return std::make_unique<FakeWpaSocket>(
        platform::WlanPaths::InterfaceSocket(link),
        [&fake](const std::string& request) { return fake.Answer(request); });
}

} // namespace testsupport
