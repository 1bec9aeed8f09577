#pragma once
// PCInfo, the Pellar library's one class: the PC's network cards and how each is configured,
// read through the management stand-in (platform/wmi) and the binding stand-in (CBindwell).
// The object owns every text it hands out: results stay valid until its next query or its end.
// Members return 1 or 0 and let no exception out. One thread at a time uses an object.
//
// The library's steps are public: the library exports the class whole, and the host-settings and
// card-configuration members build on them.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "hostnet/Export.h"
#include "hostnet/pellar/Bindwell.h"
#include "hostnet/pellar/OwnedTexts.h"
#include "platform/files/Registry.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

namespace platform::wmi {
class Provider;
struct Value;
} // namespace platform::wmi

// Posted to the main window with lParam 0 and one of the wParam values below.
constexpr unsigned WM_NETCARD_NOTIFY = 0x500;
constexpr uintptr_t NETCARD_NOTIFY_NO_ADAPTER = 100;    // devices listed, but no adapter answered
constexpr uintptr_t NETCARD_NOTIFY_NO_MEDIA_TOOL = 101; // the media-status console tool is missing
constexpr uintptr_t NETCARD_NOTIFY_BIND_REFUSED = 200;  // the binding library refused a change

namespace pellar {
using MessagePoster = std::function<void(HWND window, unsigned message, uintptr_t wParam, intptr_t lParam)>;
// The windowed program hands its poster in (platform::ui::PostMessage); without one nothing is
// posted. A refused binding change is posted even to a null window (the caller's own queue).
HOSTNET_API void SetMessagePoster(MessagePoster poster);
} // namespace pellar

// One present network device of the device tree.
struct SetupCardRecord {
    int deviceIndex = 0;
    CString name = "<Unknown   Device>";
    int disabled = 0;
    int driverIndex = -1;
};
using SetupCardList = std::vector<std::unique_ptr<SetupCardRecord>>;

// One adapter of the host's IP table.
struct IpHlpAdapterRecord {
    uint32_t index = 0;
    CString adapterName; // the card's GUID
    CString description;
    uint32_t dhcpEnabled = 0;
    CString mac; // "aa:bb:cc:dd:ee:ff"
};

// One card block of the media-status console tool's listing.
struct MediaStatusStruct {
    int32_t connected = 0; // 1 connected, 0 not
    CString mac;           // "aa:bb:..."
    int32_t dhcp = 0;      // the Windows 98 listing only
    CString name;          // the connection name, the Windows 2000 listing only
};

class HOSTNET_API PCInfo {
public:
    static constexpr int kMaxCards = 50;

    PCInfo();
    ~PCInfo();
    PCInfo(const PCInfo&) = delete;
    PCInfo& operator=(const PCInfo&) = delete;

    // Connects to the management provider (initSecurity has no meaning here); 1 or 0.
    int InitWMI(int initSecurity);
    void ClearWMI();

    // Builds the card inventory afresh; *out then holds 13 texts per card (Name,
    // NetConnectionStatus, ConfigManagerErrorCode, IPEnabled, DHCPEnabled, IPAddress, IPSubnet,
    // DefaultIPGateway, DNSServerSearchOrder, info_PPPOEStatus, info_ipHLPNetCardIndex,
    // info_DnsStatic, MACAddress). 0 when no adapter answered. 'items' is not read.
    int NetCardInfoGet(CWordArray& items, CPtrArray** out);
    // Refills m_IpHlpAdapters from the host's card links and logs them; always 1.
    int GetAdapterInfoByIpHlp();
    void SetMainWindowHandle(HWND window);

    // Card configuration. A card is a position in the last inventory of this object.
    // 1 when the card's link state was changed, else 0.
    int EnableNetCard(int card, int enable);
    // 10 or 11 success, 0 failure; the flag98 and dns98 arguments belong to the 9x hosts.
    int SetIPAddr(const char* ip, const char* mask, int card);
    int SetGateway(const char* gateway, int card, int flag98);
    // "NULL" (any case) clears the card's static servers.
    int SetDNS(const char* dns, int card, const char* dns98, int flag98);
    int SetDynaDNS(int card, int flag98);
    int EnableDhcp(int card, long ifIndex);
    // A card outside the inventory renews every card; waits up to 'wait' rounds of 1 s.
    int RenewDhcp(int card, unsigned long wait);
    // 1 static servers, 0 none, -1 unknown or a bad card number.
    int IsNetCardDNSStatic(int card);
    int EnableTCPIPBinding(int card, int enable);
    int EnablePPPOEBinding(int card, int enable);
    int IsTCPIPInstalled();
    int IsTCPIP6Installed();
    int IsPPPOEInstalled();
    int InstallProtocol(HWND owner);

    // The configuration's steps.
    int NetCardStateChangeXP(SetupCardRecord* record, int enable);
    int NetCardStateChange2003(SetupCardRecord* record, int enable);
    int WMISetIPAddress(const char* ip, const char* mask, int index);
    int WMISetGateway(const char* gateway, int index, const char* metric = nullptr);
    int WMISetDNS(const char* dns, int index);
    int WMIEnableDHCP(int index);
    // index -1: every card.
    int WMIRenewDHCP(int index, unsigned long wait);
    static platform::wmi::Value CreateOneElementBstrArray(const char* text);
    // Types 1 (text), 2 (expandable text) and 4 (decimal text to a DWORD); 1 written, 0 not.
    int SetRegValue(platform::Hive root, const char* subKey, const char* valueName, unsigned long type,
                    const char* data);
    int EnableDhcp2000(int card);
    int EnableDhcp2000Ex(int card, long ifIndex);
    void LogBindwellSearchError(const char16_t* name, GUID* guid, int count, ProtocolBindingStruct* records);
    // The text of a method's ReturnValue (64-98, 100), or nullptr.
    static const char* WmiReturnText(int code);

    // 1 for a dotted quad of four decimal parts 0-255, 255.255.255.255 excepted.
    int bValidIpAddress(CString text);

    // The query engine: every object of the class, 'itemCount' texts each, into m_QueryOutput.
    // The number of texts, 0 on failure.
    int GetWmiClassInfo(const char* className, const char* const* items, int itemCount, const char* where);
    void MsgProcess();

    // The first position of 'name' among 'count' names (exact, case-sensitive), or -1.
    static int SearchItemIndex(const char* const* names, int count, const char* name);

    // The inventory's steps.
    void EnumNetCards(SetupCardList* list);
    int SaveNetCardInfo();
    int SaveNetCardConfigInfo();
    void ChangeNetCardConfigManagerErrorCodeInfo();
    void ChangeNetCardConnectionInfo();
    void ChangeNetCardPPPOE_IPEnableInfo();
    void ChangeNetCardIPHLPIndex();
    void ChangeDnsStatus();
    int GetTcpipNameServer(CString guid, CString& out);
    int FindNetCardProtocolBinding(const char16_t* name, GUID* guid, NetCardBindingStruct* card,
                                   ProtocolBindingStruct** found, ProtocolBindingStruct** all, int* count);
    int FindNetCardProtocolBindingLike(const char16_t* name, GUID* guid, NetCardBindingStruct* card,
                                       ProtocolBindingStruct** found, ProtocolBindingStruct** all,
                                       int* count);
    int SelectQueryItem(CWordArray& items, CPtrArray** out);

    // Store routines.
    void SaveInfo(int start, int n, int card);
    void SaveInfo(int n, int card);
    int ChangeNetCardInfo(int card, int item, const char* text);
    int ChangeItemInfo(int item, int card, const char* text);
    void FillNetWorkStruct(int itemNum, int index, void* out);
    void PushOutputString(const char* text, unsigned char status);
    void SetOutputString(int index, const char* text);
    void QueryResultSave(CStringArray& texts);
    void QueryResultReload(CStringArray& texts);
    void ClearOutput();
    void ClearQueryBuff();
    void ClearNetCardInfo();
    void ClearDDKNetCardInfo();

    // Posts WM_NETCARD_NOTIFY to the main window; without one only when 'evenWithoutWindow'
    // (the message then goes to the poster with a null window: the calling thread's queue).
    void PostNetCardNotify(uintptr_t wParam, bool evenWithoutWindow = false);

    // Host settings: browser, mail program and accounts, system, USB controllers. Each query
    // gives texts with one status byte each: 10 equal, 0 differs, 1 below, 4 nothing compared.
    // Modes of the step routines: 0 query, 1 query with comparison and display texts, 2 apply
    // the expected values, 3 take expected values from the caller's texts (*mRetText).
    int IEInfoGet(CWordArray& items, CPtrArray** mRetText);
    int IEInfoSet(CWordArray& codes, CPtrArray** texts);
    int OutlookInfoGet(CWordArray& items, CPtrArray** mRetText);
    int OutlookInfoSet(CWordArray& codes, CPtrArray** texts);
    int OSInfoGet(CWordArray& items, CPtrArray** mRetText);
    int UsbControllerInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt);
    int SelectShowItem(int itemNum, int textCount, char** names, CWordArray& codes, CPtrArray** mRetText,
                       CByteArray** mRetInt);
    int SelectShowItem(int itemNum, int textCount, CPtrArray** mRetText);
    void AddDefaultValueShowing(int position, const char* expected);
    void AddDefaultValueShowing(int position, int number, char* text);
    int IESettingInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt);
    int IEStartPage(int mode, CString& text);
    int EnableIEProxy(unsigned long value);
    int DefaultBrowseInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt);
    int DefaultEmailProgramInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt);
    int OutlookAccountInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt);
    int RepairEmailAccount(CWordArray& codes, CStringArray& keyNames);
    // Append the kept texts: the first processor's two, the system disk's name and free space.
    int CPUInfo(CStringArray& kept);
    int LogicalDisk(CStringArray& kept);

    // Console listings and text routines.
    int GetMediaStatus2000(MediaStatusStruct* out);
    int GetMediaStatus98(MediaStatusStruct* out);
    // The parses of the two tools' "/all" listings; the number of card blocks read (at most 50).
    int ParseMediaStatus2000(CString listing, MediaStatusStruct* out);
    int ParseMediaStatus98(CString listing, MediaStatusStruct* out);
    int GetRidOfLine(CString& text, int n);
    int GetFirstTwoWords(CString& text, CString& words, CString& rest);
    void GetConnectionName2000(CString block, CString& name);
    void GetRidIndexOfName(CString& name);
    int IntellSearchName(CStringArray& lines, char* name);
    int SplitIpAddress(CString list, CStringArray& out);
    int IsValidIpAddress(CString ip, CStringArray& used);
    int GetSourceIpAddress(char* list, CStringArray& out);
    void GetNetCardUsedIpAddress(CStringArray& out);
    void DeleteIpMask98(char* ips, char* masks, CString& ip, CString& mask);

    // The path of the Windows 9x network stack. No Linux host takes it (bOS98 is 0); what needs
    // that stack's registry and device services logs so and fails.
    int AddIPAddr98(char* addresses, char* masks);
    int AddIPAddr98(char* addresses, char* masks, int card);
    void DeleteIpAddress98();
    int DeleteIpAddress98(int card);
    int RenewNetCardIpHlpIndex98(CWordArray& items, CPtrArray** out);
    CString FindModemIP98(CStringArray& addresses, CStringArray& masks, CStringArray& portLists,
                          unsigned long& interfaceIndex, int& added);
    int NetCardInfoGet98(CWordArray& items, CPtrArray** out);
    void EnumNetCards98();
    int SaveNetCardConfigInfo98();
    int DeleteNetCardInfo98(int card);
    void VerifyNetCardInfo98();
    void ChangeNetCardDHCPInfo98();
    void ChangeNetCardDnsStatus98();
    int IsDnsStatic98();
    int EnableNetCard98(void* cardRecord, int enable);
    int GetAdapterStatus98(int netIndex, int& enabled);
    int SetAdapterConfigFlag98(int netIndex, int enable);
    int NetCardPropertyChange98(void* cardRecord, int change);
    int EnumMSTCPIndex98(CString rootKey, const char* driver, char* devicePath);
    int GetNetTransIndexFromNetIndex98(int netIndex);
    int SetIPAddr98(char* address, char* mask, int netTransIndex, int card);
    int SetGateway98(char* gateway, int netTransIndex, int card, int restart);
    int SetDns98(char* enableDns, char* hostName, char* nameServer, int netTransIndex, int card, int restart);
    int WriteIpAddress98(int netTransIndex, CString addresses, CString masks);
    int GetCurrentIpMask98(const char* key, char* addresses, int addressSize, char* masks, int maskSize);
    void GetRandIpAddr98(CStringArray& sources, CStringArray& used, CString& result);
    // Where GetRandIpAddr98 draws its numbers (seeded with the time); an empty function restores it.
    static void SetRandomSource(std::function<unsigned()> draw);

    CString m_ExpectStartPage;
    CString m_ExpectProxyServer;
    CString m_ExpectIEVersion;
    CString m_ExpectMailProgram;
    CString m_ExpectBrowser;
    std::unique_ptr<char[]> m_MailAccountDefaults[10];
    HWND m_hMainWnd = nullptr;
    int bInitWMISuccess = 0;
    // The provider stands in for both the locator and the connected namespace.
    platform::wmi::Provider* pLoc = nullptr;
    platform::wmi::Provider* pSvc = nullptr;
    pellar::OwnedTexts m_QueryOutput;
    CByteArray m_QueryStatus;
    pellar::OwnedTexts m_RetText;
    CByteArray m_RetInt;
    int m_NetCardCount = 0;
    int m_IpHlpCount = 0;
    pellar::OwnedTexts m_NetCardInfo[kMaxCards];
    IpHlpAdapterRecord m_IpHlpAdapters[kMaxCards];
    SetupCardList m_SetupCards;
    CString m_NA;
    int m_ExpectProxyEnable = 0;
    CString m_LogText;
    CBindwell m_Bindwell;
    int bOSXP = 0;
    int bOS98 = 0;

private:
    int NetCardStateChange(SetupCardRecord* record, int enable, bool global);
    int EnableBindings(int card, int enable, bool pppoe);
    // The card's DeviceID as a number, -1 when it has none.
    int CardDeviceId(int card) const;
    int FindBinding(const char16_t* name, bool like, GUID* guid, NetCardBindingStruct* card,
                    ProtocolBindingStruct** found, ProtocolBindingStruct** all, int* count);
    // The text of a kept card's item, "N/A" when missing.
    const char* CardItem(int card, int item) const;
};
