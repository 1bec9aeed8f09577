#pragma once
// The networks part of a supplicant for one link, as its control socket answers it: networks by
// id, status, a BSS table and the replies to SCAN and "BSS <bssid>". Long replies end at the
// daemon's 4 KB: LIST_NETWORKS and SCAN_RESULTS in the middle of a line, "BSS RANGE=" before an
// entry that does not fit, as the daemon's own code cuts them. A network added by ADD_NETWORK
// is disabled until ENABLE_NETWORK or SELECT_NETWORK, as the daemon's are.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct BssEntry {
    std::string bssid;
    int frequency = 2412;
    int level = -40;
    std::string flags = "[ESS]";
    std::string ssid; // as the daemon escapes it
};

class SupplicantLink {
public:
    static constexpr size_t kReplySize = 4096;

    explicit SupplicantLink(std::string mac) : m_mac(std::move(mac)) {}

    std::optional<std::string> Answer(const std::string& request);

    // The owner's own reads and writes, against the socket thread's.
    template <typename F> auto Locked(F f) {
        std::lock_guard lock(m_mutex);
        return f();
    }
    // A network's SSID as its bytes ("ssid" holds hex digits or a quoted text).
    static std::string SsidOf(const std::map<std::string, std::string>& fields);

    std::mutex m_mutex;
    std::map<int, std::map<std::string, std::string>> networks;
    int current = -1; // the joined network's id
    std::map<std::string, std::string> status = {{"wpa_state", "DISCONNECTED"}};
    std::string scanReply = "OK\n";
    std::vector<BssEntry> table;            // BSS ids are the indices
    std::map<std::string, std::string> bss; // "BSS <bssid>" replies

private:
    static std::string Cut(const std::string& text) { return text.substr(0, kReplySize - 1); }
    std::string Range(int from) const;

    std::string m_mac;
    int m_next = 0;
};

} // namespace bench
