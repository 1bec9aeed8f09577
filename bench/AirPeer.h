#pragma once
// The air around the PC's wireless cards, at the protocol the program speaks to it: the
// supplicant's control interface. A global control socket takes links (INTERFACE_ADD, with the
// control directory to put the link's socket in) and each link's socket keeps networks as the
// supplicant does. The stations on the air (the wireless modems) are each under their own name,
// with their security, key and signal; a scan lists them, and a card joins the first enabled
// network whose name is on the air, whose security is the station's and whose key is right
// (a wrong key gives the supplicant's WRONG_KEY event instead). Joins and leaves are told to the
// attached clients as the supplicant tells them, and to a hook that lays the path to the joined
// station.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace bench {

class SupplicantLink;
class WpaSocketServer;

struct AirStation {
    std::string ssid; // bytes
    int security = 0; // 0 none, 1 WEP, 2 WPA, 3 WPA2
    std::string key;  // WEP key (5 or 13 characters, or 10 or 26 hex digits) or pass phrase
    int level = -40;  // dBm
    std::string bssid;
};

class AirPeer {
public:
    // The card's link and the station it now reaches (0: none), called on a socket thread.
    using PathHook = std::function<void(const std::string& link, int station)>;

    // Serves the global control socket at that path; throws std::runtime_error when it cannot.
    AirPeer(std::string globalSocket, PathHook hook);
    ~AirPeer();
    AirPeer(const AirPeer&) = delete;
    AirPeer& operator=(const AirPeer&) = delete;

    const std::string& GlobalSocket() const { return m_globalPath; }
    // A wireless card of the PC, which INTERFACE_ADD may then take.
    void AddCard(const std::string& link, const std::string& mac);
    // Puts a station on the air (or changes it), or takes it off with nothing.
    void SetStation(int id, std::optional<AirStation> station);
    // The station the card has joined, 0 for none.
    int Joined(const std::string& link) const;

private:
    struct Card;
    std::optional<std::string> Global(const std::string& request);
    std::optional<std::string> OnLink(const std::string& link, const std::string& request);
    // Joins, keeps or leaves as the card's networks and the air now have it (under m_mutex).
    void Rejoin(const std::string& link, Card& card);
    void RefreshScan(Card& card);

    std::string m_globalPath;
    PathHook m_hook;
    mutable std::mutex m_mutex;
    std::map<std::string, std::unique_ptr<Card>> m_cards;
    std::map<int, AirStation> m_stations;
    std::unique_ptr<WpaSocketServer> m_global;
};

} // namespace bench
