// Host settings: the browser, the default mail program and the mail accounts (all in the
// registry store), the operating system with its processor and system disk, and the USB
// controllers (through the management provider).

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "hostnet/pellar/Rasproxy.h"
#include "platform/files/Registry.h"

using dunmore::Guarded;
using platform::Hive;
using namespace pellar;

namespace {

constexpr int kMailItemFirst = 49;
constexpr int kMailItemCount = 10;
constexpr int kOsItemFirst = 59;
constexpr int kCpuItemFirst = 64;
constexpr int kDiskItemFirst = 66;
constexpr int kBrowserItemFirst = 68;
// Positions within the browser settings' list (ProxyEnable, ProxyServer, Start Page, Version).
enum { kProxyEnable = 0, kProxyServer = 1, kStartPage = 2, kVersion = 3 };

const char* const UsbItems[] = {"Caption", "Manufacturer", "ConfigManagerErrorCode", "ProtocolSupported",
                                "Status"};

// Registry types of the mail items when written.
const unsigned long MailItemTypes[kMailItemCount] = {1, 1, 4, 1, 4, 1, 1, 3, 4, 4};

constexpr const char* kIEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kIEVersionKey = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr const char* kAccountManagerKey = "Software\\Microsoft\\Internet Account Manager";
constexpr const char* kAccountsKey = "Software\\Microsoft\\Internet Account Manager\\Accounts";
constexpr const char* kMailClientKey = "SOFTWARE\\Clients\\Mail";
constexpr const char* kMailCommandKey =
    "SOFTWARE\\Clients\\Mail\\Outlook Express\\Protocols\\mailto\\shell\\open\\command";
constexpr const char* kMailIconKey =
    "SOFTWARE\\Clients\\Mail\\Outlook Express\\Protocols\\mailto\\DefaultIcon";

constexpr int kMaxAccounts = 50;

CString Lower(const CString& text) {
    CString lower(text);
    return lower.MakeLower();
}

bool ContainsNoCase(const CString& text, const CString& part) {
    return Lower(text).Find(Lower(part)) >= 0;
}

// Dotted version numbers part by part, so that 10.0 is above 5.1; a missing part counts 0.
bool VersionAbove(const CString& version, const CString& lowest) {
    const char* a = version;
    const char* b = lowest;
    while (*a || *b) {
        char* endA;
        char* endB;
        long partA = std::strtol(a, &endA, 10);
        long partB = std::strtol(b, &endB, 10);
        if (partA != partB)
            return partA > partB;
        a = std::strchr(endA, '.') ? std::strchr(endA, '.') + 1 : endA + std::strlen(endA);
        b = std::strchr(endB, '.') ? std::strchr(endB, '.') + 1 : endB + std::strlen(endB);
    }
    return false;
}

// A value as text: a string as it is, a DWORD (or the first four bytes of binary data) in decimal.
long ReadValueText(Hive hive, const CString& key, const char* name, CString& text) {
    text.Empty();
    long result = platform::RegGetString(hive, key, name, text);
    if (result != platform::kRegUnsupportedType)
        return result;
    uint32_t number = 0;
    result = platform::RegGetDword(hive, key, name, number);
    if (result == platform::kRegUnsupportedType) {
        std::string bytes;
        result = platform::RegGetBinary(hive, key, name, bytes);
        for (size_t i = 0; i < bytes.size() && i < 4; ++i)
            number |= uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    if (result == platform::kRegSuccess)
        text.Format("%u", number);
    return result;
}

// The caller's texts of a mode-3 call; nullptr unless they exist and match the codes in count.
CPtrArray* CallerTexts(CPtrArray** texts, const CWordArray& codes) {
    return texts && *texts && (*texts)->GetSize() == codes.GetSize() ? *texts : nullptr;
}

const char* TextAt(CPtrArray* texts, int i) {
    const char* text = static_cast<const char*>(texts->GetAt(i));
    return text ? text : "";
}

CString SlotText(const std::unique_ptr<char[]>& slot) {
    return slot ? CString(slot.get()) : CString();
}

void SetSlot(std::unique_ptr<char[]>& slot, const char* text) {
    size_t length = std::strlen(text);
    slot = std::make_unique<char[]>(length + 1);
    std::memcpy(slot.get(), text, length + 1);
}

CWordArray CodeRange(int first, int count) {
    CWordArray codes;
    for (int code = first; code < first + count; ++code)
        codes.Add(static_cast<uint16_t>(code));
    return codes;
}

// Runs the query steps in order and puts all their selected texts back into the results.
using QueryStep = std::function<void(CPtrArray**, CByteArray**)>;
int KeepTexts(PCInfo& info, CPtrArray** mRetText, std::initializer_list<QueryStep> steps) {
    CStringArray kept;
    for (const QueryStep& step : steps) {
        CPtrArray* texts = nullptr;
        CByteArray* statuses = nullptr;
        step(&texts, &statuses);
        info.QueryResultSave(kept);
    }
    info.ClearQueryBuff();
    info.QueryResultReload(kept);
    if (mRetText)
        *mRetText = info.m_RetText.Pointers();
    return info.m_RetText.GetSize();
}

} // namespace

int PCInfo::SelectShowItem(int itemNum, int textCount, char** /*names*/, CWordArray& codes,
                           CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (itemNum <= 0)
            return 0;
        if (textCount % itemNum != 0)
            CFunction::RLog("SelectShowItem:CheckItem=%d ItemNum=%d ", textCount, itemNum);
        if (codes.GetSize() == 0) {
            CFunction::RLog("SelectShowItem QueryItem=0");
            return 0;
        }
        // The whole code is checked: a code of 256 or more must not read past the texts.
        for (int i = 0; i < codes.GetSize(); ++i)
            if (codes[i] >= itemNum) {
                CFunction::RLog("SelectShowItem QueryItem index total:%d, %d", i, itemNum);
                return 0;
            }
        if (!mRetText || !mRetInt) {
            CFunction::RLog("SelectShowItem mRetText=NULL mRetInt=NULL");
            return 0;
        }
        m_RetText.RemoveAll();
        m_RetInt.RemoveAll();
        *mRetText = m_RetText.Pointers();
        *mRetInt = &m_RetInt;
        int objects = std::min(textCount, m_QueryOutput.GetSize()) / itemNum;
        for (int o = 0; o < objects; ++o)
            for (int i = 0; i < codes.GetSize(); ++i) {
                int position = o * itemNum + codes[i];
                m_RetText.Add(m_QueryOutput.GetAt(position));
                m_RetInt.Add(position < m_QueryStatus.GetSize() ? m_QueryStatus[position] : 4);
            }
        return 1;
    });
}

int PCInfo::SelectShowItem(int itemNum, int textCount, CPtrArray** mRetText) {
    return Guarded(0, [&] {
        if (!mRetText || itemNum <= 0)
            return 0;
        m_RetText.RemoveAll();
        *mRetText = m_RetText.Pointers();
        int whole = std::min(textCount, m_QueryOutput.GetSize()) / itemNum * itemNum;
        for (int i = 0; i < whole; ++i)
            m_RetText.Add(m_QueryOutput.GetAt(i));
        return 1;
    });
}

void PCInfo::AddDefaultValueShowing(int position, const char* expected) {
    const char* current = m_QueryOutput.GetAt(position);
    if (!current || !expected || !*expected)
        return;
    CString text = CString("Current:") + current + "<br><font color='#0000FF'>Expect:" + expected + "</font>";
    m_QueryOutput.SetAt(position, text);
}

void PCInfo::AddDefaultValueShowing(int position, int number, char* text) {
    if (!text)
        return;
    CString expected;
    expected.Format("%d %s", number, text);
    AddDefaultValueShowing(position, expected);
}

int PCInfo::IEStartPage(int mode, CString& text) {
    return Guarded(0, [&] {
        if (mode == 0 || mode == 1) {
            text.Empty();
            if (!platform::RegKeyExists(Hive::CurrentUser, kIEMainKey))
                return 0;
            CString value;
            if (platform::RegGetString(Hive::CurrentUser, kIEMainKey, "Start Page", value) ==
                platform::kRegSuccess)
                text = value.Left(256);
            return 10;
        }
        if (mode == 2) {
            if (text.IsEmpty())
                return 0;
            return platform::RegSetString(Hive::CurrentUser, kIEMainKey, "Start Page", text) ==
                           platform::kRegSuccess
                       ? 10
                       : 0;
        }
        return 0;
    });
}

int PCInfo::EnableIEProxy(unsigned long value) {
    return Guarded(0, [&] { return EnableRasInternetProxy(nullptr, value != 0); });
}

int PCInfo::IESettingInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (mode == 0 || mode == 1) {
            ClearOutput();
            int enabled = 0;
            CString server;
            bool opened = platform::RegKeyExists(Hive::CurrentUser, kInternetSettingsKey);
            if (!opened)
                CFunction::RLog("IESettingInfo:%s,%d", kInternetSettingsKey,
                                static_cast<int>(platform::kRegNotFound));
            else
                GetRasInternetProxy(nullptr, enabled, server);

            // The proxy texts keep their places when the key is missing, so every later code
            // still finds its own text.
            CString enableText = opened ? (enabled ? "TRUE" : "FALSE") : "";
            const char* expectEnable = m_ExpectProxyEnable ? "TRUE" : "FALSE";
            PushOutputString(enableText, opened && enabled == m_ExpectProxyEnable ? 10 : 0);
            if (mode == 1 && m_QueryStatus[kProxyEnable] != 10)
                AddDefaultValueShowing(kProxyEnable, expectEnable);

            if (m_ExpectProxyEnable == 1) {
                PushOutputString(server, server.CompareNoCase(m_ExpectProxyServer) == 0 ? 10 : 0);
                if (mode == 1 && m_QueryStatus[kProxyServer] != 10)
                    AddDefaultValueShowing(kProxyServer, m_ExpectProxyServer);
            } else {
                PushOutputString(server, 4);
            }

            CString page;
            IEStartPage(mode, page);
            page.MakeLower();
            PushOutputString(page, ContainsNoCase(page, m_ExpectStartPage) ? 10 : 0);
            if (mode == 1 && m_QueryStatus[kStartPage] != 10)
                AddDefaultValueShowing(kStartPage, m_ExpectStartPage);

            CString version;
            platform::RegGetString(Hive::LocalMachine, kIEVersionKey, "Version", version);
            PushOutputString(version, VersionAbove(version, m_ExpectIEVersion) ? 10 : 1);
            if (mode == 1 && m_QueryStatus[kVersion] != 10)
                AddDefaultValueShowing(kVersion, m_ExpectIEVersion);

            if (mode == 0)
                for (int i = 0; i < m_QueryStatus.GetSize(); ++i)
                    m_QueryStatus[i] = 4;
            return SelectShowItem(4, m_QueryOutput.GetSize(), nullptr, codes, mRetText, mRetInt);
        }
        if (mode == 2) {
            ClearOutput();
            if (mRetInt)
                *mRetInt = &m_RetInt;
            int result = 1;
            for (int i = 0; i < codes.GetSize(); ++i) {
                if (codes[i] == kProxyEnable) {
                    EnableRasInternetProxy(nullptr, m_ExpectProxyEnable);
                } else if (codes[i] == kProxyServer) {
                    SetRasInternetProxyServer(nullptr, m_ExpectProxyServer);
                } else if (codes[i] == kStartPage) {
                    CString page = m_ExpectStartPage;
                    result = IEStartPage(2, page);
                    m_RetInt.Add(static_cast<uint8_t>(result));
                } else {
                    m_RetInt.Add(0);
                }
            }
            return result;
        }
        if (mode == 3) {
            CPtrArray* texts = CallerTexts(mRetText, codes);
            if (!texts)
                return 0;
            for (int i = 0; i < codes.GetSize(); ++i) {
                CString text = TextAt(texts, i);
                switch (codes[i]) {
                case kProxyEnable:
                    m_ExpectProxyEnable = CString(text).MakeUpper() == "TRUE" ? 1 : 0;
                    break;
                case kProxyServer:
                    m_ExpectProxyServer = text;
                    break;
                case kStartPage:
                    m_ExpectStartPage = text;
                    break;
                case kVersion:
                    m_ExpectIEVersion = text;
                    break;
                }
            }
            return 1;
        }
        return 0;
    });
}

int PCInfo::DefaultBrowseInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (mode == 0 || mode == 1) {
            Hive hive = bOSXP ? Hive::LocalMachine : Hive::ClassesRoot;
            const char* key =
                bOSXP ? "SOFTWARE\\Clients\\StartMenuInternet" : "HTTP\\shell\\open\\ddeexec\\Application";
            CString value;
            long result = platform::RegGetString(hive, key, "", value);
            if (result != platform::kRegSuccess) {
                CFunction::RLog("DefaultBrowseInfo:%s,%d", key, static_cast<int>(result));
                value.Empty();
            }
            ClearOutput();
            PushOutputString(value.Left(256), ContainsNoCase(value, m_ExpectBrowser) ? 10 : 1);
            if (mode == 0)
                m_QueryStatus[0] = 4;
            return SelectShowItem(1, 1, nullptr, codes, mRetText, mRetInt);
        }
        if (mode == 3) {
            CPtrArray* texts = CallerTexts(mRetText, codes);
            if (!texts) {
                CFunction::RLog("DefaultBrowseInfo Set Default Value:%d,%d",
                                mRetText && *mRetText ? (*mRetText)->GetSize() : 0, codes.GetSize());
                return 0;
            }
            for (int i = 0; i < codes.GetSize(); ++i)
                if (codes[i] == 0)
                    m_ExpectBrowser = TextAt(texts, i);
            return 1;
        }
        return 0;
    });
}

int PCInfo::IEInfoSet(CWordArray& codes, CPtrArray** texts) {
    return Guarded(0, [&] {
        CWordArray zeroBased;
        for (int i = 0; i < codes.GetSize(); ++i)
            zeroBased.Add(static_cast<uint16_t>(codes[i] - 1));
        IESettingInfo(3, zeroBased, texts, nullptr);
        CByteArray* statuses = nullptr;
        // The settings-changed notice has nobody to tell on this host.
        return IESettingInfo(2, zeroBased, nullptr, &statuses);
    });
}

int PCInfo::IEInfoGet(CWordArray& /*items*/, CPtrArray** mRetText) {
    return Guarded(0, [&] {
        CWordArray browser = CodeRange(0, 1), settings = CodeRange(0, 4);
        int count = KeepTexts(*this, mRetText,
                              {[&](CPtrArray** t, CByteArray** s) { DefaultBrowseInfo(0, browser, t, s); },
                               [&](CPtrArray** t, CByteArray** s) { IESettingInfo(0, settings, t, s); }});
        if (count == 5)
            return 1;
        CFunction::RLog("IEInfoGet ItemNum:%d", count);
        return 0;
    });
}

int PCInfo::DefaultEmailProgramInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (mode >= 0 && mode <= 2) {
            ClearOutput();
            CString name, command, icon;
            bool iconRead = false;
            struct Read {
                const char* key;
                CString* value;
                int size;
            } reads[] = {
                {kMailClientKey, &name, 256}, {kMailCommandKey, &command, 1024}, {kMailIconKey, &icon, 1024}};
            for (const Read& read : reads) {
                if (!platform::RegKeyExists(Hive::LocalMachine, read.key)) {
                    CFunction::RLog("DefaultEmailProgramInfo:%s,ret=%d", read.key,
                                    static_cast<int>(platform::kRegNotFound));
                    continue;
                }
                bool got = platform::RegGetString(Hive::LocalMachine, read.key, "", *read.value) ==
                           platform::kRegSuccess;
                *read.value = read.value->Left(read.size);
                if (read.value == &icon)
                    iconRead = got;
            }
            if (mode == 2) {
                if (iconRead) {
                    SetRegValue(Hive::LocalMachine, kMailClientKey, "", 1, m_ExpectMailProgram);
                    SetRegValue(Hive::LocalMachine, "SOFTWARE\\Classes\\mailto\\shell\\open\\command", "", 2,
                                command);
                    SetRegValue(Hive::LocalMachine, "SOFTWARE\\Classes\\mailto\\DefaultIcon", "", 2, icon);
                }
                return 1;
            }
            if (!iconRead) {
                PushOutputString(name, 1);
            } else {
                name.MakeLower();
                PushOutputString(name, ContainsNoCase(name, m_ExpectMailProgram) ? 10 : 0);
                if (mode == 1 && m_QueryStatus[0] != 10)
                    AddDefaultValueShowing(0, m_ExpectMailProgram);
            }
            if (mode == 0)
                m_QueryStatus[0] = 4;
            SelectShowItem(1, 1, nullptr, codes, mRetText, mRetInt);
            return 1;
        }
        if (mode == 3) {
            CPtrArray* texts = CallerTexts(mRetText, codes);
            if (!texts) {
                CFunction::RLog("DefaultEmailProgramInfo QueryItem:%d", codes.GetSize());
                return 0;
            }
            for (int i = 0; i < codes.GetSize(); ++i)
                if (codes[i] == 0)
                    m_ExpectMailProgram = TextAt(texts, i);
            return 1;
        }
        return 0;
    });
}

int PCInfo::OutlookAccountInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (codes.GetSize() == 0) {
            CFunction::RLog("OutlookAccountInfo QueryItem =0");
            return 0;
        }
        if (mode == 3) {
            CPtrArray* texts = CallerTexts(mRetText, codes);
            if (!texts) {
                CFunction::RLog("OutlookAccountInfo QueryItem:%d", codes.GetSize());
                return 0;
            }
            for (int i = 0; i < codes.GetSize(); ++i)
                if (codes[i] >= 1 && codes[i] <= kMailItemCount)
                    SetSlot(m_MailAccountDefaults[codes[i] - 1], TextAt(texts, i));
            CString server = SlotText(m_MailAccountDefaults[1]);
            int dot = server.Find('.', 1);
            if (dot > 0) {
                CString address = SlotText(m_MailAccountDefaults[0]) + "@" + server.Mid(dot + 1);
                SetSlot(m_MailAccountDefaults[6], address);
                SetSlot(m_MailAccountDefaults[5], TextAt(texts, 0));
            }
            return 1;
        }
        if (mode < 0 || mode > 2 || !mRetText || !mRetInt)
            return 0;
        ClearOutput();
        CStringArray keyNames;
        if (platform::RegKeyExists(Hive::CurrentUser, kAccountsKey)) {
            CStringArray subkeys;
            platform::RegEnumKeys(Hive::CurrentUser, kAccountsKey, subkeys);
            for (int k = 0; k < subkeys.GetSize() && k < kMaxAccounts; ++k) {
                CString key = CString(kAccountsKey) + "\\" + subkeys[k].Left(256);
                CString smtp, pop3;
                if (ReadValueText(Hive::CurrentUser, key, "SMTP Server", smtp) != platform::kRegSuccess &&
                    ReadValueText(Hive::CurrentUser, key, "POP3 Server", pop3) != platform::kRegSuccess)
                    continue;
                keyNames.Add(subkeys[k]);
                for (int item = 0; item < kMailItemCount; ++item) {
                    const char* name = ItemNameTable[kMailItemFirst + item];
                    CString text;
                    ReadValueText(Hive::CurrentUser, key, name, text);
                    if (text.IsEmpty() && item == 2)
                        text = "25";
                    if (text.IsEmpty() && item == 4)
                        text = "110";
                    PushOutputString(text, 4);
                }
            }
        } else if (mode != 2) {
            return 0;
        }
        if (mode == 2)
            return RepairEmailAccount(codes, keyNames);
        return SelectShowItem(kMailItemCount, m_QueryOutput.GetSize(), nullptr, codes, mRetText, mRetInt);
    });
}

int PCInfo::RepairEmailAccount(CWordArray& codes, CStringArray& keyNames) {
    return Guarded(0, [&] {
        CString wanted = SlotText(m_MailAccountDefaults[0]);
        CString keyName;
        for (int a = 0; a < keyNames.GetSize(); ++a) {
            const char* name = m_QueryOutput.GetAt(a * kMailItemCount);
            if (name && wanted.CompareNoCase(name) == 0) {
                keyName = keyNames[a];
                break;
            }
        }
        if (keyName.IsEmpty()) {
            // A key of that name, account or not, is taken.
            auto taken = [&](const CString& name) {
                return platform::RegKeyExists(Hive::CurrentUser, CString(kAccountsKey) + "\\" + name);
            };
            keyName = "Brakmoor";
            for (int counter = 0; taken(keyName) && counter <= 65535; ++counter)
                keyName.Format("Brakmoor%02d", counter);
            if (taken(keyName))
                return 0;
        }
        CString key = CString(kAccountsKey) + "\\" + keyName;
        for (int i = 0; i < codes.GetSize(); ++i) {
            int n = codes[i];
            if (n < 1 || n > kMailItemCount || !m_MailAccountDefaults[n - 1])
                continue;
            SetRegValue(Hive::CurrentUser, key, ItemNameTable[kMailItemFirst + n - 1], MailItemTypes[n - 1],
                        m_MailAccountDefaults[n - 1].get());
        }
        SetRegValue(Hive::CurrentUser, key, "Connection Type", 4, "3");
        SetRegValue(Hive::CurrentUser, kAccountManagerKey, "Default Mail Account", 1, keyName);
        return 1;
    });
}

int PCInfo::OutlookInfoGet(CWordArray& /*items*/, CPtrArray** mRetText) {
    return Guarded(0, [&] {
        CWordArray program = CodeRange(0, 1), accounts = CodeRange(0, 5);
        int count =
            KeepTexts(*this, mRetText,
                      {[&](CPtrArray** t, CByteArray** s) { DefaultEmailProgramInfo(0, program, t, s); },
                       [&](CPtrArray** t, CByteArray** s) {
                           if (!OutlookAccountInfo(0, accounts, t, s))
                               ClearQueryBuff();
                       }});
        if (count >= 1 && (count - 1) % 5 == 0)
            return 1;
        CFunction::RLog("OutlookInfoGet ItemNum:%d", count);
        return 0;
    });
}

int PCInfo::OutlookInfoSet(CWordArray& codes, CPtrArray** texts) {
    return Guarded(0, [&] {
        CByteArray* statuses = nullptr;
        OutlookAccountInfo(3, codes, texts, &statuses);
        CWordArray repair;
        for (int i = 0; i < codes.GetSize(); ++i)
            repair.Add(codes[i]);
        repair.Add(6);
        repair.Add(7);
        CPtrArray* out = nullptr;
        return OutlookAccountInfo(2, repair, &out, &statuses);
    });
}

int PCInfo::CPUInfo(CStringArray& kept) {
    return Guarded(0, [&] {
        int texts = GetWmiClassInfo("Win32_Processor", &ItemNameTable[kCpuItemFirst], 2, nullptr);
        if (texts == 0 || texts % 2 != 0) {
            CFunction::RLog("CpuInfo:%d", texts);
            return 0;
        }
        kept.Add(m_QueryOutput.GetAt(0));
        kept.Add(m_QueryOutput.GetAt(1));
        return 1;
    });
}

int PCInfo::LogicalDisk(CStringArray& kept) {
    return Guarded(0, [&] {
        int texts = GetWmiClassInfo("Win32_LogicalDisk", &ItemNameTable[kDiskItemFirst], 2, nullptr);
        if (texts == 0 || texts % 2 != 0) {
            CFunction::RLog("LogicalDisk CheckItem:%d", texts);
            return 0;
        }
        // The system disk is the mount point that holds the system directory (the longest).
        CString system = CFunction::GetSystemDir();
        int best = -1, bestLength = -1;
        for (int d = 0; d < texts / 2; ++d) {
            CString mount = m_QueryOutput.GetAt(2 * d);
            CString prefix = mount == "/" ? CString("/") : mount + "/";
            bool holds = mount == system || system.Left(prefix.GetLength()) == prefix;
            if (holds && mount.GetLength() > bestLength) {
                best = d;
                bestLength = mount.GetLength();
            }
        }
        if (best < 0)
            return 0;
        kept.Add(m_QueryOutput.GetAt(2 * best));
        kept.Add(m_QueryOutput.GetAt(2 * best + 1));
        return 1;
    });
}

int PCInfo::OSInfoGet(CWordArray& /*items*/, CPtrArray** mRetText) {
    return Guarded(0, [&] {
        if (!mRetText) {
            CFunction::RLog("OSInfoGet mRetText=NULL");
            return 0;
        }
        int texts = GetWmiClassInfo("Win32_OperatingSystem", &ItemNameTable[kOsItemFirst], 5, nullptr);
        if (texts != 5) {
            CFunction::RLog("OSInfoGet CheckItem:%d", texts);
            return 0;
        }
        CStringArray kept;
        CString caption = m_QueryOutput.GetAt(0);
        caption.Replace('?', ' ');
        kept.Add(caption);
        for (int i = 1; i < 5; ++i)
            kept.Add(m_QueryOutput.GetAt(i));
        int before = kept.GetSize();
        CPUInfo(kept);
        if (kept.GetSize() - before != 2)
            CFunction::RLog("OSInfoGet CpuInfo ItemNum:%d", kept.GetSize() - before);
        before = kept.GetSize();
        LogicalDisk(kept);
        if (kept.GetSize() - before != 2)
            CFunction::RLog("OSInfoGet CpuInfo ItemNum:%d", kept.GetSize() - before);
        ClearOutput();
        QueryResultReload(kept);
        *mRetText = m_RetText.Pointers();
        if (m_RetText.GetSize() == 9)
            return 1;
        CFunction::RLog("OSInfoGet Total Num:%d", m_RetText.GetSize());
        return 0;
    });
}

int PCInfo::UsbControllerInfo(int mode, CWordArray& codes, CPtrArray** mRetText, CByteArray** mRetInt) {
    return Guarded(0, [&] {
        if (mode != 0 && mode != 1)
            return 0;
        int texts = GetWmiClassInfo("Win32_USBController", UsbItems, 5, nullptr);
        if (texts == 0) {
            // No controller (or no provider): the caller's pointers see empty results.
            if (mRetText)
                *mRetText = m_RetText.Pointers();
            if (mRetInt)
                *mRetInt = &m_RetInt;
            return 0;
        }
        return SelectShowItem(5, texts, nullptr, codes, mRetText, mRetInt);
    });
}
