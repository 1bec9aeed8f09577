// The Windows 9x path. bOS98 is 0 on every Linux host, so nothing routes here. What works on
// the card records alone is built; what needs that system's TCP/IP registry (NetTrans, MSTCP,
// the ENUM chain), hardware-profile flags or class-installer restarts logs that this host has
// none and returns its failure value.

#include <chrono>
#include <mutex>
#include <random>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"

using dunmore::Guarded;
using namespace pellar;

namespace {

std::mutex g_randomMutex;
std::function<unsigned()> g_random;

unsigned Draw() {
    std::lock_guard lock(g_randomMutex);
    if (g_random)
        return g_random();
    static std::mt19937 generator(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    return generator();
}

void NoStack(const char* member) {
    CFunction::RLog("%s: no Windows 9x network stack on this host", member);
}

constexpr int kRandomTries = 2000;
constexpr int kPingTimeoutMs = 2000;

} // namespace

void PCInfo::SetRandomSource(std::function<unsigned()> draw) {
    std::lock_guard lock(g_randomMutex);
    g_random = std::move(draw);
}

int PCInfo::RenewNetCardIpHlpIndex98(CWordArray& items, CPtrArray** out) {
    return Guarded(0, [&] {
        ClearQueryBuff();
        if (out)
            *out = m_RetText.Pointers();
        if (m_NetCardCount == 0)
            return 0;
        ChangeNetCardIPHLPIndex();
        return SelectQueryItem(items, out);
    });
}

int PCInfo::DeleteNetCardInfo98(int card) {
    if (card < 0 || card >= m_NetCardCount) {
        CFunction::RLog("DeleteNetCardInfo98：%d %d", card, m_NetCardCount);
        return 0;
    }
    for (int i = card; i + 1 < m_NetCardCount; ++i)
        m_NetCardInfo[i] = std::move(m_NetCardInfo[i + 1]);
    m_NetCardInfo[m_NetCardCount - 1].RemoveAll();
    --m_NetCardCount;
    CFunction::DLog("DeleteNetCardInfo98 :%d", m_NetCardCount);
    return 1;
}

void PCInfo::VerifyNetCardInfo98() {
    for (int card = 0; card < m_NetCardCount;) {
        if (m_NetCardInfo[card].GetSize() == kCardItemCount) {
            ++card;
            continue;
        }
        CFunction::DLog("VerifyNetCardInfo98:%d,%d", card, m_NetCardInfo[card].GetSize());
        DeleteNetCardInfo98(card);
        card = 0;
    }
}

void PCInfo::GetRandIpAddr98(CStringArray& sources, CStringArray& used, CString& result) {
    result.Empty();
    for (int s = 0; s < sources.GetSize(); ++s) {
        const CString& source = sources[s];
        int dot = source.ReverseFind('.');
        if (dot <= 0) {
            CFunction::RLog("[GetRandIpAddr98] Invalid ip address:%s", source.GetString());
            continue;
        }
        CString prefix = source.Left(dot + 1);
        CString address;
        bool found = false;
        for (int tries = 0; tries < kRandomTries && !found; ++tries) {
            address.Format("%s%u", prefix.GetString(), Draw() & 255);
            found = IsValidIpAddress(address, used) != 0;
        }
        if (!found) {
            CFunction::RLog("[GetRandIpAddr98] Can't Find Rand ipaddress:%s", source.GetString());
            address = prefix + "199";
        }
        result += "," + address;
        used.Add(address);
    }
    CFunction::DLog("GetRandIpAddr98 Random Ip:\r\n\t%s", result.GetString());
}

CString PCInfo::FindModemIP98(CStringArray& addresses, CStringArray& /*masks*/, CStringArray& portLists,
                              unsigned long& interfaceIndex, int& added) {
    return Guarded(CString(), [&] {
        added = 0;
        interfaceIndex = 0xFFFFFFFF;
        CFunction function;
        CByteArray answered;
        answered.SetSize(addresses.GetSize());
        if (addresses.GetSize() > 0 && function.AsynPing(addresses, answered, kPingTimeoutMs))
            for (int i = 0; i < addresses.GetSize() && i < answered.GetSize(); ++i) {
                if (!answered[i])
                    continue;
                CString address = addresses[i];
                CString ports = i < portLists.GetSize() ? portLists[i] : CString();
                if (function.CheckHttpLinks(address.str().data(), ports) == 1) {
                    interfaceIndex = function.GetBestInterfaceXXX(address);
                    return address;
                }
            }
        // Temporary addresses need the Windows 9x stack (AddIPAddr98).
        return CString();
    });
}

int PCInfo::NetCardInfoGet98(CWordArray&, CPtrArray**) {
    NoStack("NetCardInfoGet98");
    return 0;
}
void PCInfo::EnumNetCards98() {
    NoStack("EnumNetCards98");
}
int PCInfo::SaveNetCardConfigInfo98() {
    NoStack("SaveNetCardConfigInfo98");
    return 0;
}
void PCInfo::ChangeNetCardDHCPInfo98() {
    NoStack("ChangeNetCardDHCPInfo98");
}
void PCInfo::ChangeNetCardDnsStatus98() {
    NoStack("ChangeNetCardDnsStatus98");
}
int PCInfo::IsDnsStatic98() {
    NoStack("IsDnsStatic98");
    return 0;
}
int PCInfo::EnableNetCard98(void*, int) {
    NoStack("EnableNetCard98");
    return 0;
}
int PCInfo::GetAdapterStatus98(int, int&) {
    NoStack("GetAdapterStatus98");
    return 0;
}
int PCInfo::SetAdapterConfigFlag98(int, int) {
    NoStack("SetAdapterConfigFlag98");
    return 0;
}
int PCInfo::NetCardPropertyChange98(void*, int) {
    NoStack("NetCardPropertyChange98");
    return 0;
}
int PCInfo::EnumMSTCPIndex98(CString, const char*, char*) {
    NoStack("EnumMSTCPIndex98");
    return -1;
}
int PCInfo::GetNetTransIndexFromNetIndex98(int) {
    NoStack("GetNetTransIndexFromNetIndex98");
    return -1;
}
int PCInfo::SetIPAddr98(char*, char*, int, int) {
    NoStack("SetIPAddr98");
    return 0;
}
int PCInfo::SetGateway98(char*, int, int, int) {
    NoStack("SetGateway98");
    return 0;
}
int PCInfo::SetDns98(char*, char*, char*, int, int, int) {
    NoStack("SetDns98");
    return 0;
}
int PCInfo::WriteIpAddress98(int, CString, CString) {
    NoStack("WriteIpAddress98");
    return 0;
}
int PCInfo::GetCurrentIpMask98(const char*, char*, int, char*, int) {
    NoStack("GetCurrentIpMask98");
    return 0;
}
int PCInfo::AddIPAddr98(char*, char*) {
    NoStack("AddIPAddr98");
    return 0;
}
int PCInfo::AddIPAddr98(char*, char*, int) {
    NoStack("AddIPAddr98");
    return 0;
}
void PCInfo::DeleteIpAddress98() {
    NoStack("DeleteIpAddress98");
}
int PCInfo::DeleteIpAddress98(int) {
    NoStack("DeleteIpAddress98");
    return 0;
}
