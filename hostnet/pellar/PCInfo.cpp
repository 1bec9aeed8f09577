#include "hostnet/pellar/PCInfo.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PellarApp.h"

using dunmore::Guarded;

namespace {
std::mutex g_posterMutex;
pellar::MessagePoster g_poster;
} // namespace

namespace pellar {
void SetMessagePoster(MessagePoster poster) {
    std::lock_guard lock(g_posterMutex);
    g_poster = std::move(poster);
}
} // namespace pellar

PCInfo::PCInfo()
    : m_ExpectStartPage("portal.example.com"), m_ExpectProxyServer("192.168.100.100:80"),
      m_ExpectIEVersion("5.1"), m_ExpectMailProgram("outlook"), m_ExpectBrowser("iexplore") {
    for (int i = 0; i < 6; ++i) {
        char buffer[256] = {};
        if (pellar::LoadModuleString(2008 + i, buffer, sizeof buffer) == 0)
            CFunction::RLog("LoadString Error :%s", CFunction::GetLastErrorString(ENOENT).GetString());
        m_MailAccountDefaults[i] = std::make_unique<char[]>(std::strlen(buffer) + 1);
        std::memcpy(m_MailAccountDefaults[i].get(), buffer, std::strlen(buffer) + 1);
    }
    m_NA = "N/A";
    // Every Linux host takes the branches of the newer systems.
    bOSXP = 1;
    bOS98 = 0;
}

PCInfo::~PCInfo() {
    ClearWMI();
    ClearNetCardInfo();
    ClearOutput();
    ClearDDKNetCardInfo();
}

void PCInfo::SetMainWindowHandle(HWND window) {
    m_hMainWnd = window;
}

void PCInfo::PostNetCardNotify(uintptr_t wParam, bool evenWithoutWindow) {
    if (!m_hMainWnd && !evenWithoutWindow)
        return;
    pellar::MessagePoster poster;
    {
        std::lock_guard lock(g_posterMutex);
        poster = g_poster;
    }
    if (poster)
        Guarded(0, [&] {
            poster(m_hMainWnd, WM_NETCARD_NOTIFY, wParam, 0);
            return 0;
        });
}

int PCInfo::SearchItemIndex(const char* const* names, int count, const char* name) {
    if (!names || !name)
        return -1;
    for (int i = 0; i < count; ++i)
        if (names[i] && std::strcmp(names[i], name) == 0)
            return i;
    return -1;
}

const char* PCInfo::CardItem(int card, int item) const {
    const char* text = card >= 0 && card < kMaxCards ? m_NetCardInfo[card].GetAt(item) : nullptr;
    return text ? text : "N/A";
}

void PCInfo::SaveInfo(int start, int n, int card) {
    if (start < 0 || n < 0 || start + n > m_QueryOutput.GetSize()) {
        CFunction::RLog("SaveInfo:%d,%d,%d", start, n, m_QueryOutput.GetSize());
        return;
    }
    if (card < 0 || card >= kMaxCards)
        return;
    for (int i = start; i < start + n; ++i)
        m_NetCardInfo[card].Add(m_QueryOutput.GetAt(i));
}

void PCInfo::SaveInfo(int n, int card) {
    if (card < 0 || card >= kMaxCards)
        return;
    for (int i = 0; i < n; ++i)
        m_NetCardInfo[card].Add(m_NA);
}

int PCInfo::ChangeNetCardInfo(int card, int item, const char* text) {
    if (card < 0 || card >= m_NetCardCount) {
        CFunction::RLog("ChangeNetCardInfo:%d %d %d", m_NetCardCount, card, item);
        return 0;
    }
    if (!m_NetCardInfo[card].SetAt(item, text)) {
        CFunction::RLog("ChangeNetCardInfo:%d,%d", item, m_NetCardInfo[card].GetSize());
        return 0;
    }
    return 1;
}

int PCInfo::ChangeItemInfo(int item, int card, const char* text) {
    if (card < 0 || card >= kMaxCards) {
        CFunction::RLog("ChangeItemInfo:%d", card);
        return 0;
    }
    if (!m_NetCardInfo[card].SetAt(item, text)) {
        CFunction::RLog("ChangeItemInfo:Total Item=%d Set Item=%d", m_NetCardInfo[card].GetSize(), item);
        return 0;
    }
    return 1;
}

void PCInfo::FillNetWorkStruct(int itemNum, int index, void* out) {
    if (!out || itemNum < 0 || index < 0 || (index + 1) * itemNum > m_QueryOutput.GetSize()) {
        CFunction::RLog("FillNetWorkStruct mItemNum=%d Index=%d ouput=%d", itemNum, index,
                        m_QueryOutput.GetSize());
        return;
    }
    auto** slots = static_cast<const char**>(out);
    for (int i = 0; i < itemNum; ++i)
        slots[i] = m_QueryOutput.GetAt(index * itemNum + i);
}

void PCInfo::PushOutputString(const char* text, unsigned char status) {
    m_QueryOutput.Add(text);
    m_QueryStatus.Add(status);
}

void PCInfo::SetOutputString(int index, const char* text) {
    m_QueryOutput.SetAt(index, text);
}

void PCInfo::QueryResultSave(CStringArray& texts) {
    for (int i = 0; i < m_RetText.GetSize(); ++i)
        texts.Add(m_RetText.GetAt(i));
}

void PCInfo::QueryResultReload(CStringArray& texts) {
    for (int i = 0; i < texts.GetSize(); ++i)
        m_RetText.Add(texts[i]);
}

void PCInfo::ClearOutput() {
    m_QueryOutput.RemoveAll();
    m_QueryStatus.RemoveAll();
    ClearQueryBuff();
}

void PCInfo::ClearQueryBuff() {
    m_RetText.RemoveAll();
    m_RetInt.RemoveAll();
}

void PCInfo::ClearNetCardInfo() {
    for (auto& card : m_NetCardInfo)
        card.RemoveAll();
    m_NetCardCount = 0;
}

void PCInfo::ClearDDKNetCardInfo() {
    m_SetupCards.clear();
}
