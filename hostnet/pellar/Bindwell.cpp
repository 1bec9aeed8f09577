#include "hostnet/pellar/Bindwell.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <uuid/uuid.h>

#include "hostnet/dunmore/Function.h"
#include "platform/files/FileIo.h"
#include "platform/files/UniqueFd.h"
#include "platform/wmi/HostLinks.h"

bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

bool GuidFromString(const char* text, GUID& guid) {
    uuid_t bytes;
    if (!text || std::strlen(text) != 36 || uuid_parse(text, bytes) != 0)
        return false;
    guid.Data1 =
        (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(guid.Data4, bytes + 8, 8);
    return true;
}

CString GuidToString(const GUID& guid) {
    CString text;
    text.Format("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
    return text;
}

CString NarrowText(const char16_t* text) {
    CString narrow;
    for (; text && *text; ++text)
        narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    return narrow;
}

void CopyWide(char16_t* slot, int slotLength, const char* text) {
    int i = 0;
    for (; text && text[i] && i < slotLength - 1; ++i)
        slot[i] = static_cast<unsigned char>(text[i]);
    slot[i] = 0;
}

CBindwell::CBindwell() = default;
CBindwell::~CBindwell() = default;

int CBindwell::EnumNetProtocolBindings(ProtocolBindingStruct** records) {
    m_records.clear();
    m_cardLists.clear();
    m_cards.clear();
    if (records)
        *records = nullptr;
    std::vector<platform::wmi::HostLink> links;
    if (platform::wmi::ReadHostLinks(links) != 0)
        return 0;

    struct Protocol {
        const char* display;
        const char* binding;
        const char* component;
        bool ipv6;
    };
    const Protocol protocols[] = {{"Internet Protocol Version 4", "TCPIP", "ipv4", false},
                                  {"Internet Protocol Version 6", "TCPIP6", "ipv6", true}};
    for (const Protocol& protocol : protocols) {
        std::vector<NetCardBindingStruct*> cards;
        for (const auto& host : links) {
            if (!host.IsCard())
                continue;
            auto card = std::make_unique<NetCardBindingStruct>();
            std::memset(card.get(), 0, sizeof *card);
            CopyWide(card->chCardName, 512, host.link.name.c_str());
            CopyWide(card->chToken, 512, host.link.name.c_str());
            CopyWide(card->chId, 512, host.link.name.c_str());
            std::string guid = host.Guid();
            // The GUID text without its braces.
            if (guid.size() > 2)
                GuidFromString(guid.substr(1, guid.size() - 2).c_str(), card->guidInstance);
            card->Binded = protocol.ipv6 ? !host.link.ipv6Disabled : 1;
            card->enable = card->Binded;
            cards.push_back(card.get());
            m_cards.push_back(std::move(card));
        }
        m_cardLists.push_back(std::move(cards));
        ProtocolBindingStruct record;
        std::memset(&record, 0, sizeof record);
        CopyWide(record.chDisplayName, 512, protocol.display);
        CopyWide(record.chBindingName, 512, protocol.binding);
        CopyWide(record.chComponentID, 512, protocol.component);
        m_records.push_back(record);
    }
    for (size_t i = 0; i < m_records.size(); ++i) {
        m_records[i].pNetCards = m_cardLists[i].data();
        m_records[i].nNetCardCount = static_cast<int32_t>(m_cardLists[i].size());
    }
    if (records)
        *records = m_records.data();
    return static_cast<int>(m_records.size());
}

namespace {
// A link name that may stand in a /proc path.
bool IsLinkName(const CString& name) {
    return !name.IsEmpty() && name.GetLength() < 16 && name.Find('/') < 0 && name != "." && name != "..";
}
} // namespace

int CBindwell::EnableBinding(const char16_t* token, const char16_t* componentId, int enable) {
    CString link = NarrowText(token);
    CString component = NarrowText(componentId);
    if (!IsLinkName(link))
        return 0;
    if (component.CompareNoCase("ipv4") == 0) {
        if (enable)
            return 1; // always bound
        CFunction::RLog("CBindwell::EnableBinding %s: IPv4 cannot be unbound from a link", link.GetString());
        return -1;
    }
    if (component.CompareNoCase("ipv6") != 0)
        return 0;
    // The sysctl tree under /proc/sys/net is the opening thread's network namespace.
    std::string path = "/proc/sys/net/ipv6/conf/" + link.str() + "/disable_ipv6";
    platform::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    const char* value = enable ? "0\n" : "1\n";
    return file.IsValid() && platform::WriteAll(file.Get(), value, 2) ? 1 : 0;
}

int CBindwell::IsProtocolInstalled(const char16_t* protocol) {
    CString name = NarrowText(protocol);
    if (name.CompareNoCase("TCPIP") == 0)
        return 1;
    if (name.CompareNoCase("TCPIP6") == 0) {
        std::error_code error;
        return std::filesystem::exists("/proc/sys/net/ipv6", error) ? 1 : 0;
    }
    return 0;
}

int CBindwell::InstallProtocol(HWND) {
    CFunction::RLog("CBindwell::InstallProtocol: protocols are the host's own, none is installed here");
    return 0;
}
