#include "bench/AirPeer.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "bench/SupplicantLink.h"
#include "bench/WpaSocketServer.h"
#include "platform/wifi/WpaText.h"

namespace bench {

struct AirPeer::Card {
    std::string mac;
    std::unique_ptr<SupplicantLink> state;   // while the supplicant holds the link
    std::unique_ptr<WpaSocketServer> socket; // goes before the state it answers from
    int station = 0;                         // the joined one
    bool disconnected = false;               // DISCONNECT, until RECONNECT or SELECT_NETWORK
};

namespace {

// As the supplicant writes SSIDs in its replies and events.
std::string Escaped(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '\\' || c == '"') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c >= 32 && c < 127) {
            text += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text;
}

std::set<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::set<std::string> words;
    for (std::string word; stream >> word;)
        words.insert(word);
    return words;
}

std::string FlagsOf(int security) {
    switch (security) {
    case 1:
        return "[WEP][ESS]";
    case 2:
        return "[WPA-PSK-TKIP][ESS]";
    case 3:
        return "[WPA2-PSK-CCMP+TKIP][ESS]";
    default:
        return "[ESS]";
    }
}

// A key as its bytes: a quoted text's characters, else hex digits.
std::string KeyBytes(const std::string& value) {
    return platform::ParseNetworkText(value).value_or(value);
}

// A WEP key as a station keeps it: 10 or 26 hex digits are its bytes.
std::string WepBytes(const std::string& key) {
    bool hex = key.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    return hex && (key.size() == 10 || key.size() == 26) ? platform::BytesOfHex(key).value_or(key) : key;
}

enum class Fit { Mismatch, WrongKey, Joins };

// Whether a network configured so can join the station, as the supplicant and an access point
// between them would decide.
Fit FitOf(std::map<std::string, std::string>& fields, const AirStation& station) {
    auto field = [&](const char* name, const char* otherwise) {
        return fields.count(name) ? fields[name] : std::string(otherwise);
    };
    std::set<std::string> keyManagement = Words(field("key_mgmt", "WPA-PSK WPA-EAP"));
    std::set<std::string> proto = Words(field("proto", "WPA RSN"));
    std::set<std::string> pairwise = Words(field("pairwise", "CCMP TKIP"));
    std::string wepKey = fields["wep_key" + field("wep_tx_keyidx", "0")];
    switch (station.security) {
    case 0:
        return keyManagement.count("NONE") && wepKey.empty() ? Fit::Joins : Fit::Mismatch;
    case 1:
        if (!keyManagement.count("NONE") || wepKey.empty())
            return Fit::Mismatch;
        return KeyBytes(wepKey) == WepBytes(station.key) ? Fit::Joins : Fit::WrongKey;
    case 2:
    case 3: {
        bool rsn = station.security == 3;
        if (!keyManagement.count("WPA-PSK") || !proto.count(rsn ? "RSN" : "WPA") ||
            !(pairwise.count("TKIP") || (rsn && pairwise.count("CCMP"))))
            return Fit::Mismatch;
        return KeyBytes(fields["psk"]) == station.key ? Fit::Joins : Fit::WrongKey;
    }
    default:
        return Fit::Mismatch;
    }
}

} // namespace

AirPeer::AirPeer(std::string globalSocket, PathHook hook)
    : m_globalPath(std::move(globalSocket)), m_hook(std::move(hook)) {
    m_global = std::make_unique<WpaSocketServer>(m_globalPath,
                                                 [this](const std::string& request) { return Global(request); });
}

AirPeer::~AirPeer() {
    m_global.reset();
    for (auto& [link, card] : m_cards)
        card->socket.reset();
}

void AirPeer::AddCard(const std::string& link, const std::string& mac) {
    std::lock_guard lock(m_mutex);
    auto card = std::make_unique<Card>();
    card->mac = mac;
    m_cards[link] = std::move(card);
}

void AirPeer::SetStation(int id, std::optional<AirStation> station) {
    std::lock_guard lock(m_mutex);
    if (station)
        m_stations[id] = *station;
    else
        m_stations.erase(id);
    for (auto& [link, card] : m_cards)
        if (card->state)
            Rejoin(link, *card);
}

int AirPeer::Joined(const std::string& link) const {
    std::lock_guard lock(m_mutex);
    auto card = m_cards.find(link);
    return card == m_cards.end() ? 0 : card->second->station;
}

std::optional<std::string> AirPeer::Global(const std::string& request) {
    std::istringstream words(request);
    std::string command;
    words >> command;
    if (command == "PING")
        return "PONG\n";
    if (command == "TERMINATE")
        return "OK\n"; // the air stays
    std::unique_ptr<Card> gone(new Card);
    std::lock_guard lock(m_mutex);
    if (command == "INTERFACES") {
        std::string text;
        for (const auto& [link, card] : m_cards)
            if (card->state)
                text += link + "\n";
        return text;
    }
    if (command == "INTERFACE_ADD") {
        // ifname, configuration, driver, control directory, driver parameters, bridge.
        std::vector<std::string> fields;
        std::string rest = request.substr(command.size() + 1 <= request.size() ? command.size() + 1 : request.size());
        for (size_t start = 0;;) {
            size_t tab = rest.find('\t', start);
            fields.push_back(rest.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        auto card = m_cards.find(fields[0]);
        if (card == m_cards.end() || card->second->state || fields.size() < 4 || fields[3].empty())
            return "FAIL\n";
        const std::string link = fields[0];
        card->second->state = std::make_unique<SupplicantLink>(card->second->mac);
        card->second->socket = std::make_unique<WpaSocketServer>(
            fields[3] + "/" + link, [this, link](const std::string& r) { return OnLink(link, r); });
        card->second->disconnected = false;
        return "OK\n";
    }
    if (command == "INTERFACE_REMOVE") {
        std::string link;
        words >> link;
        auto card = m_cards.find(link);
        if (card == m_cards.end() || !card->second->state)
            return "FAIL\n";
        if (card->second->station != 0 && m_hook)
            m_hook(link, 0);
        card->second->station = 0;
        // Their thread may be waiting for the lock: they go after it is let go.
        gone->socket = std::move(card->second->socket);
        gone->state = std::move(card->second->state);
        return "OK\n";
    }
    return "UNKNOWN COMMAND\n";
}

std::optional<std::string> AirPeer::OnLink(const std::string& link, const std::string& request) {
    SupplicantLink* state = nullptr;
    {
        std::lock_guard lock(m_mutex);
        auto card = m_cards.find(link);
        if (card == m_cards.end() || !card->second->state)
            return std::nullopt;
        state = card->second->state.get(); // lives while this socket's thread runs
    }
    std::optional<std::string> reply = state->Answer(request);
    std::istringstream words(request);
    std::string command;
    words >> command;
    static const std::set<std::string> kMoves = {"ENABLE_NETWORK", "DISABLE_NETWORK", "SELECT_NETWORK",
                                                  "REMOVE_NETWORK", "SET_NETWORK",     "SCAN",
                                                  "RECONNECT",      "REASSOCIATE",     "DISCONNECT"};
    if (!kMoves.count(command) || !reply || reply->rfind("FAIL", 0) == 0)
        return reply;
    std::lock_guard lock(m_mutex);
    auto card = m_cards.find(link);
    if (card == m_cards.end() || !card->second->state)
        return reply;
    if (command == "DISCONNECT")
        card->second->disconnected = true;
    else if (command == "RECONNECT" || command == "REASSOCIATE" || command == "SELECT_NETWORK")
        card->second->disconnected = false;
    if (command == "SCAN")
        RefreshScan(*card->second);
    Rejoin(link, *card->second);
    return reply;
}

void AirPeer::RefreshScan(Card& card) {
    card.state->Locked([&] {
        card.state->table.clear();
        card.state->bss.clear();
        for (const auto& [id, station] : m_stations) {
            BssEntry entry;
            entry.bssid = station.bssid;
            entry.level = station.level;
            entry.flags = FlagsOf(station.security);
            entry.ssid = Escaped(station.ssid);
            card.state->table.push_back(entry);
            card.state->bss[station.bssid] = "bssid=" + station.bssid + "\nfreq=2412\nlevel=" +
                                             std::to_string(station.level) + "\nflags=" + entry.flags +
                                             "\nssid=" + entry.ssid + "\n";
        }
    });
    card.socket->SendEvent("<2>CTRL-EVENT-SCAN-RESULTS ");
}

void AirPeer::Rejoin(const std::string& link, Card& card) {
    std::vector<std::string> events;
    int reached = card.station;
    card.state->Locked([&] {
        SupplicantLink& s = *card.state;
        auto station = m_stations.find(card.station);
        auto network = s.networks.find(s.current);
        const bool keeps = !card.disconnected && station != m_stations.end() && network != s.networks.end() &&
                           network->second["disabled"] != "1" &&
                           SupplicantLink::SsidOf(network->second) == station->second.ssid &&
                           FitOf(network->second, station->second) == Fit::Joins;
        if (card.station != 0 && keeps)
            return;
        if (card.station != 0) {
            events.push_back("<3>CTRL-EVENT-DISCONNECTED bssid=" + s.status["bssid"] +
                             " reason=3 locally_generated=1");
            s.current = -1;
            s.status = {{"wpa_state", "DISCONNECTED"}};
            reached = 0;
        }
        if (card.disconnected)
            return;
        for (auto& [id, fields] : s.networks) {
            if (fields["disabled"] == "1")
                continue;
            const std::string ssid = SupplicantLink::SsidOf(fields);
            auto on = std::find_if(m_stations.begin(), m_stations.end(),
                                   [&](const auto& entry) { return entry.second.ssid == ssid; });
            if (on == m_stations.end())
                continue;
            Fit fit = FitOf(fields, on->second);
            if (fit == Fit::Mismatch)
                continue;
            const std::string escaped = Escaped(ssid);
            if (fit == Fit::WrongKey) {
                events.push_back("<3>CTRL-EVENT-SSID-TEMP-DISABLED id=" + std::to_string(id) + " ssid=\"" +
                                 escaped + "\" auth_failures=1 duration=10 reason=WRONG_KEY");
                continue;
            }
            const AirStation& station = on->second;
            s.current = id;
            s.status = {{"wpa_state", "COMPLETED"},
                        {"ssid", escaped},
                        {"bssid", station.bssid},
                        {"freq", "2412"},
                        {"id", std::to_string(id)},
                        {"key_mgmt", station.security >= 2 ? (station.security == 3 ? "WPA2-PSK" : "WPA-PSK")
                                                           : "NONE"}};
            events.push_back("<3>Trying to associate with " + station.bssid + " (SSID='" + escaped +
                             "' freq=2412 MHz)");
            events.push_back("<3>CTRL-EVENT-CONNECTED - Connection to " + station.bssid + " completed [id=" +
                             std::to_string(id) + " id_str=]");
            reached = on->first;
            return;
        }
    });
    for (const std::string& event : events)
        card.socket->SendEvent(event);
    if (reached != card.station) {
        card.station = reached;
        if (m_hook)
            m_hook(link, reached);
    }
}

} // namespace bench
