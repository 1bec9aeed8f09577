// Temporary addresses: a free address of a modem's network on the PC's cards, remembered so
// that it can be removed again, and the modem search built on them.

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "platform/clock/Clock.h"
#include "platform/net/Netlink.h"

using dunmore::Guarded;
using namespace std::chrono_literals;

namespace {

constexpr int kMaxContexts = 50; // the size of nteContext
constexpr size_t kMaxTaken = 50; // host numbers one add keeps apart
constexpr int kMaxTries = 2000;
constexpr int kMaxErrors = 10; // per adapter
constexpr int kVerifyPasses = 10;

std::atomic<platform::Clock*> addressClock{nullptr};

platform::Clock& WaitClock() {
    platform::Clock* clock = addressClock.load();
    return clock ? *clock : platform::RealClock();
}

std::mutex& SourceLock() {
    static std::mutex lock;
    return lock;
}

std::function<unsigned()>& Source() {
    static std::function<unsigned()> draw;
    return draw;
}

// The host numbers of one add: the given source, or a generator seeded with the tick count that
// draws 0 to 32767.
class HostNumbers {
public:
    explicit HostNumbers(long long tick) : m_state(static_cast<uint32_t>(tick)) {
        std::lock_guard hold(SourceLock());
        m_draw = Source();
    }
    uint32_t Next() {
        if (m_draw)
            return m_draw();
        m_state = m_state * 214013u + 2531011u;
        return (m_state >> 16) & 0x7FFF;
    }

private:
    uint32_t m_state;
    std::function<unsigned()> m_draw;
};

// The kernel hands out no handle for an address it added, so the library numbers them itself.
// A number is never reused in the process, so copies of one object remove each address once.
struct AddedAddress {
    int ifindex = 0;
    uint32_t address = 0; // network byte order
    int prefixLength = 0;
};

std::mutex& ContextLock() {
    static std::mutex lock;
    return lock;
}

std::map<uint32_t, AddedAddress>& Contexts() {
    static std::map<uint32_t, AddedAddress> contexts;
    return contexts;
}

uint32_t RememberAddress(const AddedAddress& added) {
    static uint32_t last = 0;
    std::lock_guard hold(ContextLock());
    if (++last == 0)
        ++last;
    Contexts()[last] = added;
    return last;
}

std::optional<AddedAddress> ForgetAddress(uint32_t context) {
    std::lock_guard hold(ContextLock());
    auto found = Contexts().find(context);
    if (found == Contexts().end())
        return std::nullopt;
    AddedAddress added = found->second;
    Contexts().erase(found);
    return added;
}

// Dotted text to a number in host byte order.
bool HostOrder(const char* text, uint32_t& value) {
    uint32_t address = 0;
    if (!text || !platform::ParseIpv4(text, address))
        return false;
    value = ntohl(address);
    return true;
}

// The prefix length of a mask; -1 when its ones do not run unbroken from the top.
int PrefixOf(uint32_t mask) {
    uint32_t hostMask = ~mask;
    return (hostMask & (hostMask + 1)) == 0 ? __builtin_popcount(mask) : -1;
}

// An address and a mask a temporary address can be made from: a mask of no bits would put
// every address on the link, and one whose bits are broken names no network.
bool AddressAndMask(const char* address, const char* mask, uint32_t& caller, uint32_t& netmask) {
    return HostOrder(address, caller) && HostOrder(mask, netmask) && PrefixOf(netmask) > 0;
}

bool NamesNoAdapter(CString entry) {
    entry.Trim();
    return entry.IsEmpty() || entry.CompareNoCase("N/A") == 0;
}

// The interface index an adapter entry names in decimal; 0 when it names none.
int AdapterIndex(CString entry) {
    entry.Trim();
    if (entry.IsEmpty() || entry.GetLength() > 10)
        return 0;
    for (int i = 0; i < entry.GetLength(); ++i)
        if (entry[i] < '0' || entry[i] > '9')
            return 0;
    long long index = std::atoll(entry);
    return index > 0 && index <= INT_MAX ? static_cast<int>(index) : 0;
}

// A card a temporary address may go on. Never loopback: an address there makes its whole
// network local, so every candidate of the modem's network would answer from the PC itself.
bool Addable(const platform::LinkInfo& link) {
    return !link.IsLoopback() && link.IsAdminUp() && link.IsEthernet();
}

bool InNetwork(uint32_t addressNetworkOrder, uint32_t caller, uint32_t mask) {
    return (ntohl(addressNetworkOrder) & mask) == (caller & mask);
}

bool ThreeBytesHold255(uint32_t candidate) {
    return (candidate & 0xFF) == 0xFF || (candidate & 0xFF00) == 0xFF00 || (candidate & 0xFF0000) == 0xFF0000;
}

bool IsTaken(uint32_t candidate, const std::vector<uint32_t>& taken) {
    return std::find(taken.begin(), taken.end(), candidate) != taken.end();
}

// Draws the next host number into 'candidate'. False when none was found that may be used:
// host 0 (the network itself), the all-ones part (its broadcast) and the numbers already taken
// never are, whatever the mask.
bool DrawHostNumber(uint32_t& candidate, uint32_t network, uint32_t hostMask,
                    const std::vector<uint32_t>& taken, HostNumbers& random, const char* caller) {
    for (int tries = 0;;) {
        if (tries >= kMaxTries) {
            CFunction::RLog("Not Find Valid Ip Address,Try :%d ,ip=%d, CurrentIP=%s", tries,
                            static_cast<int>(network + candidate), caller);
            return candidate != 0 && candidate < hostMask && !IsTaken(candidate, taken);
        }
        candidate &= hostMask;
        ++tries;
        bool changed = true;
        if (ThreeBytesHold255(candidate))
            candidate = random.Next();
        else if (candidate == 0)
            candidate = 1;
        else if (IsTaken(candidate, taken))
            candidate += 1;
        else
            changed = false;
        if (candidate == hostMask) {
            // Past the top of the network: start again at its bottom, so a taken number just
            // below the top cannot hold the search.
            candidate = 1;
            changed = true;
        } else if (candidate > hostMask) {
            candidate = (candidate & hostMask) - 1;
            changed = true;
        }
        if (!changed)
            return true;
    }
}

bool AllAnswer(CFunction& function, CStringArray& addresses) {
    if (addresses.IsEmpty())
        return true;
    CByteArray answered;
    answered.SetSize(addresses.GetSize());
    if (!function.AsynPing(addresses, answered, 1000))
        return false;
    return std::all_of(answered.begin(), answered.end(), [](uint8_t up) { return up != 0; });
}

// A writable copy of a text for the members that take char*.
std::string Writable(const CString& text) {
    return text.str();
}

} // namespace

void CFunction::SetAddressClock(platform::Clock* clock) {
    addressClock.store(clock);
}

void CFunction::SetHostNumberSource(std::function<unsigned()> draw) {
    std::lock_guard hold(SourceLock());
    Source() = std::move(draw);
}

int CFunction::AddIpAddress(char* address, char* mask, CStringArray& adapters) {
    return Guarded(0, [&] {
        if (adapters.GetSize() == 1 && NamesNoAdapter(adapters[0])) {
            DLog("AddIpAddress Invalid net adapter index:%s", adapters[0].GetString());
            return 0;
        }
        uint32_t caller = 0, netmask = 0;
        if (!AddressAndMask(address, mask, caller, netmask)) {
            DLog("AddIpAddress Invalid ip address:%s mask:%s", address ? address : "", mask ? mask : "");
            return 0;
        }
        const uint32_t network = caller & netmask, hostMask = ~netmask;
        const int prefixLength = PrefixOf(netmask);
        std::vector<uint32_t> taken{caller & hostMask};
        HostNumbers random(WaitClock().TickMs());
        uint32_t candidate = random.Next();
        CStringArray added;
        platform::Netlink netlink;

        for (int i = 0; i < adapters.GetSize(); ++i) {
            const CString entry = adapters[i];
            int ifindex = AdapterIndex(entry);
            std::optional<platform::LinkInfo> link;
            if (ifindex > 0) {
                link = netlink.GetLink(ifindex);
                if (!link && netlink.LastError() == ENODEV)
                    continue; // the card went away: given up without a line
            }
            if (!link || !Addable(*link)) {
                DLog("AddIpAddress Invalid net adapter index 2:%s", entry.GetString());
                continue;
            }
            if (nteCount >= kMaxContexts) {
                // Nothing is added that this object could not remove again.
                RLog("AddIpAddress add too many ip address:%d", nteCount);
                continue;
            }
            for (int errors = 0; errors < kMaxErrors;) {
                if (!DrawHostNumber(candidate, network, hostMask, taken, random, address))
                    break;
                const uint32_t chosen = network + candidate;
                int code = 0;
                if (!netlink.AddAddress(ifindex, htonl(chosen), prefixLength))
                    code = netlink.LastError() ? netlink.LastError() : EIO;
                if (code == 0) {
                    CString text(platform::FormatIpv4(htonl(chosen)));
                    DLog("AddIpAddress add ip:%s Current ip=%s", text.GetString(), address);
                    added.Add(text);
                    if (taken.size() < kMaxTaken)
                        taken.push_back(candidate);
                    else
                        RLog("AddIpAddress add too many ip address:%d", static_cast<int>(taken.size()));
                    if (nteCount < 0)
                        nteCount = 0;
                    nteContext[nteCount++] = RememberAddress({ifindex, htonl(chosen), prefixLength});
                    candidate += 1;
                    break;
                }
                if (code == ENODEV)
                    break;
                DLog("AddIpAddress Error. Addip=0X%08X result:%d %s", chosen, code,
                     GetLastErrorString(static_cast<unsigned long>(code)).GetString());
                candidate += 1;
                ++errors;
            }
        }

        // Adapters were named and none took an address: nothing answers, whatever a ping says.
        if (adapters.GetSize() > 0 && added.IsEmpty()) {
            DLog("AddIpAddress waited:%d ret=%d", 0, 0);
            return 0;
        }
        int result = 0, failed = 0;
        for (; failed < kVerifyPasses; ++failed) {
            WaitClock().SleepFor(1000ms);
            MsgProcess();
            if (AllAnswer(*this, added)) {
                result = 1;
                break;
            }
        }
        DLog("AddIpAddress waited:%d ret=%d", failed, result);
        return result;
    });
}

int CFunction::AddIpAddress(char* address, char* mask) {
    return Guarded(0, [&] {
        uint32_t caller = 0, netmask = 0;
        if (!AddressAndMask(address, mask, caller, netmask))
            return 0;
        platform::Netlink netlink;
        std::vector<platform::Ipv4Address> rows;
        std::vector<platform::LinkInfo> links;
        if (!netlink.ListAddresses(rows) || !netlink.ListLinks(links))
            return 0;
        std::stable_sort(rows.begin(), rows.end(),
                         [](const auto& a, const auto& b) { return a.ifindex < b.ifindex; });
        std::vector<int> interfaces;
        for (const auto& row : rows)
            if (std::find(interfaces.begin(), interfaces.end(), row.ifindex) == interfaces.end())
                interfaces.push_back(row.ifindex);
        bool reached = false; // a card already holds an address of the network
        for (const auto& row : rows)
            if (InNetwork(row.address, caller, netmask)) {
                std::erase(interfaces, row.ifindex);
                reached = true;
            }
        CStringArray adapters;
        for (int ifindex : interfaces) {
            auto link =
                std::find_if(links.begin(), links.end(), [&](const auto& l) { return l.index == ifindex; });
            if (link != links.end() && Addable(*link))
                adapters.Add(CString(std::to_string(ifindex)));
        }
        // No card may take an address and none reaches the network: a failure, as when named
        // adapters take none.
        if (adapters.IsEmpty() && !reached) {
            DLog("AddIpAddress waited:%d ret=%d", 0, 0);
            return 0;
        }
        return AddIpAddress(address, mask, adapters);
    });
}

int CFunction::AddIpAddress(char* address, char* mask, CString adapter) {
    return Guarded(0, [&] {
        CStringArray adapters;
        adapters.Add(adapter);
        return AddIpAddress(address, mask, adapters);
    });
}

int CFunction::AddIpAddressEx(char* address, char* mask, CString adapter) {
    return Guarded(0, [&] {
        uint32_t caller = 0, netmask = 0;
        if (!AddressAndMask(address, mask, caller, netmask))
            return 0;
        int ifindex = AdapterIndex(adapter);
        platform::Netlink netlink;
        std::vector<platform::Ipv4Address> rows;
        if (ifindex > 0 && netlink.ListAddresses(rows, ifindex))
            for (const auto& row : rows)
                if (InNetwork(row.address, caller, netmask))
                    return 1;
        return AddIpAddress(address, mask, adapter);
    });
}

void CFunction::DeleteIpAddress() {
    try {
        platform::Netlink netlink;
        int count = std::clamp(nteCount, 0, kMaxContexts);
        for (int i = 0; i < count; ++i)
            if (auto added = ForgetAddress(nteContext[i]))
                netlink.DeleteAddress(added->ifindex, added->address, added->prefixLength);
    } catch (...) {
    }
    nteCount = 0;
}

CString CFunction::FindModemIP(CStringArray& addresses, CStringArray& masks, CStringArray& portLists,
                               CStringArray& adapters, CStringArray& flags, unsigned long& interfaceIndex,
                               int timeoutMs) {
    try {
        // Entry i of the three lists is one candidate; a longer list's extra entries have no partner.
        const int count = std::min({addresses.GetSize(), masks.GetSize(), portLists.GetSize()});
        auto reachesModem = [&](int i) {
            std::string address = Writable(addresses[i]);
            return CheckHttpLinks(address.data(), portLists[i]) == 1;
        };
        auto found = [&](int i) {
            interfaceIndex = GetBestInterfaceXXX(addresses[i]);
            return addresses[i];
        };

        if (count > 0) {
            CStringArray direct;
            for (int i = 0; i < count; ++i)
                direct.Add(addresses[i]);
            CByteArray answered;
            answered.SetSize(count);
            if (AsynPing(direct, answered, timeoutMs))
                for (int i = 0; i < count; ++i)
                    if (answered[i] && reachesModem(i))
                        return found(i);
        }

        DeleteIpAddress();
        // One candidate through a temporary address, which is gone again when this returns.
        auto throughTemporary = [&](int i, auto add) -> std::optional<CString> {
            std::string address = Writable(addresses[i]), mask = Writable(masks[i]);
            add(address.data(), mask.data());
            std::optional<CString> result;
            if (AsynPing(addresses[i], timeoutMs) && reachesModem(i))
                result = found(i);
            DeleteIpAddress();
            return result;
        };

        CString onlyAdapter = adapters.GetSize() == 1 ? adapters[0] : CString();
        if (adapters.GetSize() == 0 || (adapters.GetSize() == 1 && onlyAdapter.Trim().IsEmpty())) {
            for (int i = 0; i < count; ++i)
                if (auto modem = throughTemporary(i, [&](char* a, char* m) { AddIpAddress(a, m); }))
                    return *modem;
        } else {
            for (int k = 0; k < adapters.GetSize(); ++k) {
                // A missing flag leaves the adapter in.
                if (k < flags.GetSize() && flags[k].CompareNoCase("FALSE") == 0)
                    continue;
                for (int i = 0; i < count; ++i)
                    if (auto modem =
                            throughTemporary(i, [&](char* a, char* m) { AddIpAddressEx(a, m, adapters[k]); }))
                        return *modem;
            }
        }
    } catch (...) {
        DeleteIpAddress();
    }
    interfaceIndex = 0xFFFFFFFFUL;
    return CString();
}
