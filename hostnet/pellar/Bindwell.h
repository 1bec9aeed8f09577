#pragma once
// CBindwell: our stand-in for the protocol binding library the card code was written against.
// On Linux every card carries IPv4 (it cannot be unbound from a link) and IPv6 unless the link
// has it switched off; there is no per-card PPPoE binding.
// The binding changes act on the links of the calling thread's network namespace.

#include <cstdint>
#include <memory>
#include <vector>

#include "hostnet/Export.h"
#include "platform/text/CString.h"

// A window of the windowed program; opaque here.
struct HWND__;
typedef HWND__* HWND;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
HOSTNET_API bool operator==(const GUID& a, const GUID& b);

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces) to a GUID; false for any other text.
HOSTNET_API bool GuidFromString(const char* text, GUID& guid);
// "{XXXXXXXX-...}" in upper case.
HOSTNET_API CString GuidToString(const GUID& guid);

// One card under one protocol. Texts are zero-terminated UTF-16.
struct NetCardBindingStruct {
    char16_t chCardName[512];
    char16_t chToken[512]; // the card's binding token
    char16_t chId[512];
    GUID guidInstance; // the card's GUID
    int32_t Binded;    // not 0 while the card is bound to the protocol
    int32_t enable;
};

// One installed protocol with the cards it can bind.
struct ProtocolBindingStruct {
    char16_t chDisplayName[512];
    char16_t chBindingName[512];
    char16_t chComponentID[512];
    uint32_t reserved;
    NetCardBindingStruct** pNetCards;
    int32_t nNetCardCount;
    uint8_t reserved2[8];
};

class HOSTNET_API CBindwell {
public:
    CBindwell();
    ~CBindwell();
    CBindwell(const CBindwell&) = delete;
    CBindwell& operator=(const CBindwell&) = delete;

    // The host's protocol records; *records points at them until the next call on this object.
    // The record count (0 when the links cannot be read).
    int EnumNetProtocolBindings(ProtocolBindingStruct** records);
    // Binds (enable 1) or unbinds a card, named by its token, to or from a protocol, named by
    // its ComponentID: 1 done, 0 not done, -1 refused (IPv4 cannot be unbound from a link).
    int EnableBinding(const char16_t* token, const char16_t* componentId, int enable);
    // 1 when the host has the protocol ("TCPIP", "TCPIP6"), else 0.
    int IsProtocolInstalled(const char16_t* protocol);
    // No protocol can be installed from here: 0.
    int InstallProtocol(HWND owner);

private:
    std::vector<std::unique_ptr<NetCardBindingStruct>> m_cards;
    std::vector<std::vector<NetCardBindingStruct*>> m_cardLists;
    std::vector<ProtocolBindingStruct> m_records; // the array handed out
};

// UTF-16 text to narrow (ASCII passes, anything else becomes '?').
HOSTNET_API CString NarrowText(const char16_t* text);
// Copies narrow ASCII text into a fixed UTF-16 slot, always terminated.
HOSTNET_API void CopyWide(char16_t* slot, int slotLength, const char* text);
