#include "hostnet/ostrel/Ostrel.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/net/Netlink.h"
#include "platform/wmi/HostLinks.h"
#include "platform/wmi/Provider.h"

using dunmore::Guarded;

namespace {

// The temporary addresses of the flat calls live in this one object from load to unload.
// Callers may come from any thread, so every use of it holds the lock.
std::mutex keptLock;
CFunction kept;

constexpr int kCardItems = pellar::kCardOutputCount;
constexpr int kCardName = 0;
constexpr int kCardConnected = 1;
constexpr int kCardDisabled = 2;
constexpr int kCardIndex = 10;

// The card inventory of a connected PCInfo: 13 texts per card. False when it cannot be read.
bool ReadCards(PCInfo& info, CPtrArray*& cards) {
    CWordArray items;
    cards = nullptr;
    info.InitWMI(0);
    return info.NetCardInfoGet(items, &cards) && cards;
}

const char* CardText(CPtrArray* cards, int card, int item) {
    const char* text = static_cast<const char*>(cards->GetAt(card * kCardItems + item));
    return text ? text : "";
}

// Runs 'set' on the first card whose interface index text is exactly indexText; 0 when the cards
// cannot be read or none matches.
template <typename Setter> int OnCardOfIndex(PCInfo& info, const char* indexText, Setter set) {
    CPtrArray* cards = nullptr;
    if (!indexText || !ReadCards(info, cards))
        return 0;
    for (int card = 0; card < cards->GetSize() / kCardItems; ++card)
        if (std::strcmp(CardText(cards, card, kCardIndex), indexText) == 0)
            return set(info, card);
    return 0;
}

template <typename Setter> int WithCardOfIndex(const char* indexText, Setter set) {
    return Guarded(0, [&] {
        PCInfo info;
        return OnCardOfIndex(info, indexText, set);
    });
}

// "[a][b]..." of the entries; only "[a]" when the whole would not fit a 256-byte slot.
void WriteList(char (&slot)[256], const std::vector<std::string>& entries) {
    std::string text;
    for (const auto& entry : entries)
        text += "[" + entry + "]";
    if (text.size() >= sizeof slot && !entries.empty())
        text = "[" + entries.front() + "]";
    std::snprintf(slot, sizeof slot, "%s", text.c_str());
}

// The card's name servers as the inventory reports them; false when the stand-in cannot say.
bool NameServers(unsigned long interfaceIndex, std::vector<std::string>& servers) {
    std::vector<platform::wmi::Object> configurations;
    if (platform::wmi::CurrentProvider().ExecQuery("Win32_NetworkAdapterConfiguration", configurations) != 0)
        return false;
    for (const auto& object : configurations) {
        auto index = object.find("Index");
        if (index == object.end() || index->second.kind != platform::wmi::Value::Kind::Integer ||
            index->second.integer != static_cast<int64_t>(interfaceIndex))
            continue;
        servers.clear();
        auto dns = object.find("DNSServerSearchOrder");
        if (dns != object.end() && dns->second.kind == platform::wmi::Value::Kind::TextArray)
            servers = dns->second.texts;
        return true;
    }
    return false;
}

// One word that is no option: the ping tool runs as root.
bool PingableWord(const char* address) {
    return address && *address && *address != '-' && !std::strpbrk(address, " \t\r\n\"\\");
}

// The number at the start of the text, rounded to whole milliseconds; -1 when there is none.
int Milliseconds(const char* text) {
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return end == text || !std::isfinite(value) || value < 0 || value > 1e9
               ? -1
               : static_cast<int>(std::lround(value));
}

} // namespace

extern "C" int IsWMIInstalled() {
    return Guarded(0, [] {
        PCInfo info;
        int connected = info.InitWMI(0);
        info.ClearWMI();
        return connected ? 1 : 0;
    });
}

extern "C" int GetNetCardRecvSendData(NetCardTraffic* traffic) {
    return Guarded(0, [&] {
        if (!traffic)
            return 0;
        CFunction function;
        NetCardDataSendRecvStruct rows[50] = {};
        int count = function.GetNetCardTransData(rows);
        for (int i = 0; i < count && i < 50; ++i)
            if (rows[i].dwIndex == traffic->dwIndex) {
                traffic->dwMtu = rows[i].dwMtu;
                traffic->dwSpeed = rows[i].dwSpeed;
                traffic->dwInOctets = rows[i].dwInOctets;
                traffic->dwOutOctets = rows[i].dwOutOctets;
                return 1;
            }
        return 0;
    });
}

// On Windows 9x the stack keeps the temporary addresses in its own keys, which PCInfo writes and
// clears; there the kept object holds nothing.
extern "C" int AddIpAddress(char* address, char* mask) {
    return Guarded(0, [&] {
        PCInfo info;
        if (info.bOS98) {
            CPtrArray* cards = nullptr;
            return ReadCards(info, cards) ? info.AddIPAddr98(address, mask) : 0;
        }
        std::lock_guard hold(keptLock);
        return kept.AddIpAddress(address, mask);
    });
}

extern "C" int AddIpAddressEx(char* address, char* mask, CString indexText) {
    return Guarded(0, [&] {
        PCInfo info;
        if (info.bOS98) {
            // The 9x form takes a card of the list, not an interface index: find the card of it.
            return OnCardOfIndex(info, indexText.GetString(),
                                 [&](PCInfo& on, int card) { return on.AddIPAddr98(address, mask, card); });
        }
        std::lock_guard hold(keptLock);
        return kept.AddIpAddressEx(address, mask, indexText);
    });
}

extern "C" void DeleteIpAddress() {
    Guarded(0, [] {
        PCInfo info;
        if (info.bOS98) {
            CPtrArray* cards = nullptr;
            if (ReadCards(info, cards))
                info.DeleteIpAddress98();
            return 0;
        }
        std::lock_guard hold(keptLock);
        kept.DeleteIpAddress();
        return 0;
    });
}

extern "C" int IsUSBExist() {
    return Guarded(0, [] {
        PCInfo info;
        info.InitWMI(0);
        CWordArray caption;
        caption.Add(0);
        CPtrArray* texts = nullptr;
        CByteArray* statuses = nullptr;
        return info.UsbControllerInfo(1, caption, &texts, &statuses) == 1 && texts && texts->GetSize() > 0
                   ? 1
                   : 0;
    });
}

extern "C" int SetNetCardIP(char* address, char* mask, char* indexText) {
    return WithCardOfIndex(indexText,
                           [&](PCInfo& info, int card) { return info.SetIPAddr(address, mask, card); });
}

extern "C" int SetNetCardGateway(char* gateway, char* indexText) {
    return WithCardOfIndex(indexText,
                           [&](PCInfo& info, int card) { return info.SetGateway(gateway, card, 0); });
}

extern "C" int SetNetCardDNS(char* dns, char* indexText) {
    return WithCardOfIndex(indexText, [&](PCInfo& info, int card) { return info.SetDNS(dns, card, "", 0); });
}

extern "C" int EnableNetCardDHCP(char* indexText) {
    return WithCardOfIndex(
        indexText, [&](PCInfo& info, int card) { return info.EnableDhcp(card, std::atol(indexText)); });
}

extern "C" int GetAllNetCardIndexs(CStringArray* indexes) {
    return Guarded(0, [&] {
        if (!indexes)
            return 0;
        platform::Netlink netlink;
        std::vector<platform::Ipv4Address> addresses;
        if (!netlink.ListAddresses(addresses))
            return 0;
        indexes->RemoveAll();
        for (const auto& address : addresses) {
            CString index;
            index.Format("%d", address.ifindex);
            bool known = false;
            for (const CString& seen : *indexes)
                known = known || seen == index;
            if (!known)
                indexes->Add(index);
        }
        return 1;
    });
}

extern "C" int FindModemIP(FindModemGroups* groups, unsigned long* interfaceIndex, char* addressOut,
                           int timeoutMs) {
    return Guarded(0, [&] {
        if (!groups || !interfaceIndex || !addressOut)
            return 0;
        CStringArray addresses, masks, portLists, adapters, flags;
        const FindModemGroupList* list = groups->list;
        for (int i = 0; list && list->entries && i < list->count; ++i) {
            const FindModemGroupEntry* entry = list->entries[i];
            if (!entry)
                continue;
            // An entry without its mask would pair every later candidate with the wrong ports.
            int colon = entry->addressMask.Find(':');
            if (colon <= 0)
                continue;
            addresses.Add(entry->addressMask.Left(colon));
            masks.Add(entry->addressMask.Mid(colon + 1));
            CString ports;
            for (const CString& port : entry->ports)
                ports += port + ",";
            portLists.Add(ports);
        }
        CFunction function;
        unsigned long found = 0xFFFFFFFFUL;
        CString address =
            function.FindModemIP(addresses, masks, portLists, adapters, flags, found, timeoutMs);
        if (address.IsEmpty()) {
            addressOut[0] = '\0';
            return 0;
        }
        *interfaceIndex = found;
        // The caller's buffer holds a dotted quad and its terminator, no more.
        std::snprintf(addressOut, 16, "%s", address.GetString());
        return 1;
    });
}

extern "C" int GetNetCardInfo(unsigned long interfaceIndex, NetCardInfoText* info) {
    return Guarded(0, [&] {
        if (!info)
            return 0;
        std::vector<std::string> servers;
        if (NameServers(interfaceIndex, servers))
            WriteList(info->slot[NetCardInfoText::DnsServers], servers);
        std::vector<platform::wmi::HostLink> links;
        if (platform::wmi::ReadHostLinks(links) != 0)
            return 0;
        for (const auto& host : links) {
            if (!host.IsCard() || static_cast<unsigned long>(host.link.index) != interfaceIndex)
                continue;
            std::snprintf(info->slot[NetCardInfoText::Description], 256, "%s", host.DisplayName().c_str());
            std::vector<std::string> addresses, masks, gateways;
            for (const auto& address : host.addresses) {
                addresses.push_back(platform::FormatIpv4(address.address));
                masks.push_back(platform::wmi::MaskText(address.prefixLength));
            }
            for (uint32_t gateway : host.gateways)
                gateways.push_back(platform::FormatIpv4(gateway));
            WriteList(info->slot[NetCardInfoText::IpAddresses], addresses);
            WriteList(info->slot[NetCardInfoText::SubnetMasks], masks);
            std::snprintf(info->slot[NetCardInfoText::Index], 256, "%d", host.link.index);
            WriteList(info->slot[NetCardInfoText::Gateways], gateways);
            std::snprintf(info->slot[NetCardInfoText::DhcpEnabled], 256, "%s",
                          host.HasLease() ? "TRUE" : "FALSE");
            return 1;
        }
        return 0;
    });
}

extern "C" int GetConnectedNetCard(char* address, unsigned long* interfaceIndex) {
    return Guarded(0, [&] {
        if (!interfaceIndex)
            return 0;
        CFunction function;
        unsigned long best = function.GetBestInterfaceXXX(CString(address));
        *interfaceIndex = best;
        if (best == 0xFFFFFFFFUL) {
            CFunction::DLog("GetConnectedNetCard, return false, GetBestInterface failed");
            return 0;
        }
        PCInfo info;
        CPtrArray* cards = nullptr;
        if (!ReadCards(info, cards) || cards->GetSize() % kCardItems != 0) {
            CFunction::RLog("GetConnectedNetCard, return true, then NetCardInfoGet return false");
            return 0;
        }
        for (int card = 0; card < cards->GetSize() / kCardItems; ++card) {
            const char* index = CardText(cards, card, kCardIndex);
            char* end = nullptr;
            unsigned long number = std::strtoul(index, &end, 10);
            if (end == index || number != best)
                continue;
            CString connected(CardText(cards, card, kCardConnected));
            if (connected.Trim().CompareNoCase("TRUE") != 0) {
                CFunction::RLog("GetConnectedNetCard, return true, check cable disconnected");
                return 0;
            }
        }
        CFunction::DLog("GetConnectedNetCard, return true, nicIndex: %d", static_cast<int>(best));
        return 1;
    });
}

extern "C" int GetNicCountByType(int type, int includeDisabled) {
    return Guarded(-1, [&] {
        PCInfo info;
        CPtrArray* cards = nullptr;
        if (!ReadCards(info, cards))
            return -1;
        int wired = 0, wireless = 0;
        CFunction::DLog("GetNicCountByType -------");
        for (int card = 0; card < cards->GetSize() / kCardItems; ++card) {
            CString name(CardText(cards, card, kCardName));
            CString disabled(CardText(cards, card, kCardDisabled));
            CFunction::DLog(" %s,   Forbidden: %s", name.GetString(), disabled.GetString());
            if (!includeDisabled && disabled.CompareNoCase("true") == 0)
                continue;
            name.MakeUpper();
            bool isWireless = false;
            for (const char* mark : {"WIRELESS", "WLAN", "WIFI", "802.11"})
                isWireless = isWireless || name.Find(mark) >= 0;
            ++(isWireless ? wireless : wired);
        }
        CFunction::DLog("GetNicCountByType -------");
        return type == 1 ? wired : type == 2 ? wireless : -1;
    });
}

extern "C" int AsynPing(char* address, int timeoutMs) {
    return Guarded(0, [&] {
        CFunction function;
        return function.AsynPing(CString(address), timeoutMs);
    });
}

extern "C" int Pinging(char* address, int* maximumMs, int* minimumMs) {
    return Guarded(0, [&] {
        if (maximumMs)
            *maximumMs = -1;
        if (minimumMs)
            *minimumMs = -1;
        if (!PingableWord(address))
            return 0;
        // The tool's English output is what is read.
        std::string command = std::string("env LC_ALL=C ping -c 6 -W 3 ") + address;
        CString output;
        CFunction function;
        if (!function.ExecCommand(command.data(), output, 1, 30))
            return 0;
        int lastLineFeed = output.ReverseFind('\n');
        if (lastLineFeed >= 0)
            output = output.Left(lastLineFeed);
        output.MakeLower();
        int result = output.Find("bytes from") >= 0 ? 1 : 0;
        // "rtt min/avg/max/mdev = 0.041/0.052/0.067/0.011 ms"
        int summary = output.Find("min/avg/max");
        int equals = summary >= 0 ? output.Find('=', summary) : -1;
        if (equals >= 0) {
            CString numbers = output.Mid(equals + 1);
            int minimum = Milliseconds(numbers);
            int slash = numbers.Find('/');
            int second = slash >= 0 ? numbers.Find('/', slash + 1) : -1;
            int maximum = second >= 0 ? Milliseconds(numbers.GetString() + second + 1) : -1;
            if (minimum >= 0 && maximum >= 0) {
                if (minimumMs)
                    *minimumMs = minimum;
                if (maximumMs)
                    *maximumMs = maximum;
            }
        }
        return result;
    });
}

extern "C" int GetConnectedNetCardEx(CString address, CString mask, unsigned long* interfaceIndex,
                                     int waitTimeMs) {
    return Guarded(0, [&] {
        if (!interfaceIndex)
            return 0;
        std::string targetText = address.str(), maskText = mask.str();
        char* target = targetText.data();
        if (AsynPing(target, 1000) && GetConnectedNetCard(target, interfaceIndex))
            return 1;
        CStringArray indexes;
        GetAllNetCardIndexs(&indexes);
        for (const CString& index : indexes) {
            AddIpAddressEx(target, maskText.data(), index);
            if (waitTimeMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(waitTimeMs));
            if (AsynPing(target, 2000) && GetConnectedNetCard(target, interfaceIndex))
                return 1;
        }
        return 0;
    });
}
