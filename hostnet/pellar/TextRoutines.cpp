// The media-status console tools' listings and the small text and address routines that the
// inventory and the Windows 9x path share. Listings are lower-cased before they are parsed.

#include <unistd.h>

#include "hostnet/dunmore/Function.h"
#include "hostnet/dunmore/Guarded.h"
#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"

using dunmore::Guarded;
using namespace pellar;

namespace {

int ConfigItem(const char* name) {
    return kNetAdapterItemCount + PCInfo::SearchItemIndex(NetConfigItems, kNetConfigItemCount, name);
}

// "physical address" in the Spanish listing, code page 437.
const char kSpanishPhysicalAddress[] = "direcci\xa2n f\xa1sica";

// The MAC text of the line that starts at 'text': after its first ':' up to the line end, "-"
// made ":" and trimmed. A line without ':' or without a line end gives an empty MAC.
CString MacOfLine(const CString& text, const char* tool) {
    int end = text.Find('\n');
    int colon = text.Find(':');
    if (colon < 0 || (end >= 0 && colon > end)) {
        CFunction::RLog("%s %s,%d,%d", tool, text.Left(end >= 0 ? end : text.GetLength()).GetString(), colon,
                        end);
        return CString();
    }
    end = text.Find('\n', colon);
    if (end < 0) {
        CFunction::RLog("%s %s, %d ,%d", tool, text.GetString(), colon, end);
        return CString();
    }
    CString mac = text.Mid(colon + 1, end - colon - 1);
    mac.Replace('-', ':');
    return mac.Trim();
}

// Runs the tool of the module directory with "/all"; false (logged, 101 posted) when it is missing.
bool RunMediaTool(PCInfo& info, const char* tool, const char* member, CString& listing) {
    CString path = platform::JoinPath(CFunction::GetCurrentModuleDir(), CString("\\") + tool);
    if (::access(path, X_OK) != 0) {
        CFunction::RLog("%s File:[%s] not found.Please Reinstall!!", member, path.GetString());
        info.PostNetCardNotify(NETCARD_NOTIFY_NO_MEDIA_TOOL);
        return false;
    }
    CString command = path + " /all";
    CFunction().ExecCommand(command.str().data(), listing, 1, 30);
    return true;
}

} // namespace

int PCInfo::GetMediaStatus2000(MediaStatusStruct* out) {
    return Guarded(0, [&] {
        CString listing;
        if (!RunMediaTool(*this, "bindwell", "GetMediaStatus2000", listing))
            return 0;
        return ParseMediaStatus2000(listing, out);
    });
}

int PCInfo::ParseMediaStatus2000(CString text, MediaStatusStruct* out) {
    return Guarded(0, [&] {
        if (!out)
            return 0;
        GetRidOfLine(text, 6);
        text.MakeLower();
        CFunction::DLog("%s", text.GetString());
        int count = 0;
        CString dump;
        for (int at = text.Find("physical address"); at >= 0 && count < kMaxCards;
             at = text.Find("physical address")) {
            CString block = text.Left(at);
            text = text.Mid(at + 10);
            MediaStatusStruct& record = out[count++];
            GetConnectionName2000(block, record.name);
            record.connected = block.Find("disconnected") >= 0 ? 0 : 1;
            record.dhcp = 0;
            record.mac = MacOfLine(text, "GetMediaStatus2000");
            dump.AppendFormat("\t%s Status:%d Mac address:=%s\r\n", record.name.GetString(), record.connected,
                              record.mac.GetString());
        }
        CFunction::DLog("GetMediaStatus2000 Find Card:%d\r\n%s", count, dump.GetString());
        return count;
    });
}

int PCInfo::GetMediaStatus98(MediaStatusStruct* out) {
    return Guarded(0, [&] {
        CString listing;
        if (!RunMediaTool(*this, "bindwell98", "GetMediaStatus98", listing))
            return 0;
        return ParseMediaStatus98(listing, out);
    });
}

int PCInfo::ParseMediaStatus98(CString text, MediaStatusStruct* out) {
    return Guarded(0, [&] {
        if (!out)
            return 0;
        GetRidOfLine(text, 3);
        text.MakeLower();
        CFunction::DLog("%s", text.GetString());
        // Card n's heading, searched from 'from': its position, or -1.
        auto heading = [&](int n, int from) {
            CString english, spanish;
            english.Format("%d ethernet adapter", n);
            spanish.Format("%d ethernet adaptador", n);
            int a = text.Find(english, from);
            int b = text.Find(spanish, from);
            return a < 0 ? b : b < 0 ? a : std::min(a, b);
        };
        int count = 0;
        CString dump;
        for (int at = heading(0, 0); at >= 0 && count < kMaxCards;) {
            int next = heading(count + 1, at + 1);
            int start = at + 16;
            CString block = next >= 0 ? text.Mid(start, next - start) : text.Mid(start);
            MediaStatusStruct& record = out[count++];
            record.name.Empty();
            int mac = block.Find("physical address");
            int spanish = block.Find(kSpanishPhysicalAddress);
            if (mac < 0 || (spanish >= 0 && spanish < mac))
                mac = spanish;
            if (mac < 0) {
                record.connected = 1;
                record.mac.Empty();
                record.dhcp = 0;
            } else {
                CString before = block.Left(mac);
                record.connected =
                    before.Find("disconnected") >= 0 || before.Find("desconectado") >= 0 ? 0 : 1;
                CString rest = block.Mid(mac + 10);
                record.mac = MacOfLine(rest, "GetMediaStatus98");
                record.dhcp = 0;
                int dhcp = rest.Find("dhcp");
                int colon = dhcp >= 0 ? rest.Find(':', dhcp) : -1;
                if (colon >= 0) {
                    CString value = rest.Mid(colon + 1).Trim();
                    CString yes = value.Left(2);
                    // "yes", or the Spanish "si" with its accent (code page 437) or as the
                    // tool prints it where the accent is lost.
                    record.dhcp = value.Left(3).CompareNoCase("yes") == 0 ||
                                          yes.CompareNoCase("s\xa1") == 0 || yes.CompareNoCase("s?") == 0
                                      ? 1
                                      : 0;
                }
            }
            dump.AppendFormat("\r\n\tConnection Status=%d Mac address:%s DHCP=%d", record.connected,
                              record.mac.GetString(), record.dhcp);
            at = next;
        }
        CFunction::DLog("GetMediaStatus98 , Find Adapter :%d%s", count, dump.GetString());
        return count;
    });
}

int PCInfo::GetRidOfLine(CString& text, int n) {
    text.Trim();
    for (int i = 0; i < n; ++i) {
        int end = text.Find('\n');
        if (end < 0)
            return 0;
        text = text.Mid(end + 1);
        text.Trim();
    }
    return text.IsEmpty() ? 0 : 1;
}

int PCInfo::GetFirstTwoWords(CString& text, CString& words, CString& rest) {
    text.Trim();
    words.Empty();
    rest.Empty();
    if (text.IsEmpty())
        return -1;
    int end = text.Find('\n');
    CString line = end >= 0 ? text.Left(end) : text;
    text = end >= 0 ? text.Mid(end + 1) : CString();
    line.Trim();
    int first = line.Find(' ');
    int second = first >= 0 ? line.Find(' ', first + 1) : -1;
    if (second < 0)
        return 0;
    words = line.Left(second).Trim();
    rest = line.Mid(second).Trim();
    return 1;
}

void PCInfo::GetConnectionName2000(CString block, CString& name) {
    name.Empty();
    CString words, rest;
    for (int result; (result = GetFirstTwoWords(block, words, rest)) != -1;) {
        int colon = rest.Find(':', 1);
        if (result == 1 && words.Find("ethernet adapter") >= 0 && colon > 0)
            name = rest.Left(colon).Trim();
    }
}

void PCInfo::GetRidIndexOfName(CString& name) {
    int close = name.Find(']', 1);
    if (name.Find('[') >= 0 && close > 0)
        name = name.Mid(close + 1).Trim();
}

int PCInfo::IntellSearchName(CStringArray& lines, char* name) {
    return Guarded(-1, [&] {
        if (lines.GetSize() == 0 || !name)
            return -1;
        CString wanted(name);
        wanted.Trim().MakeLower();
        CStringArray words;
        int start = 0;
        for (CString word = wanted.Tokenize(" ", start); !word.IsEmpty(); word = wanted.Tokenize(" ", start))
            if (word.Find("ethernet") < 0 && word.Find("adapter") < 0)
                words.Add(word);
        int best = -1, bestScore = 0;
        for (int i = 0; i < lines.GetSize(); ++i) {
            CString line = lines[i];
            line.MakeLower();
            int score = 0;
            for (int w = 0; w < words.GetSize(); ++w)
                score += line.Find(words[w]) >= 0 ? 1 : 0;
            if (score > bestScore) {
                best = i;
                bestScore = score;
            }
        }
        return best;
    });
}

int PCInfo::SplitIpAddress(CString list, CStringArray& out) {
    out.RemoveAll();
    if (list.CompareNoCase("N/A") == 0)
        return 0;
    for (int open = list.Find('['); open >= 0; open = list.Find('[', open + 1)) {
        int close = list.Find(']', open + 1);
        if (close < 0)
            break;
        CString element = list.Mid(open + 1, close - open - 1);
        if (element != "0.0.0.0")
            out.Add(element);
        open = close;
    }
    return out.GetSize();
}

int PCInfo::IsValidIpAddress(CString ip, CStringArray& used) {
    for (int i = 0; i < used.GetSize(); ++i)
        if (used[i] == ip)
            return 0;
    return 1;
}

int PCInfo::GetSourceIpAddress(char* list, CStringArray& out) {
    CString text(list), log = "GetSourceIpAddress ";
    int start = 0;
    while (start >= 0 && start <= text.GetLength()) {
        int comma = text.Find(',', start);
        CString entry = comma >= 0 ? text.Mid(start, comma - start) : text.Mid(start);
        entry.Trim();
        if (!entry.IsEmpty()) {
            out.Add(entry);
            log += "\r\n\t" + entry;
        }
        start = comma >= 0 ? comma + 1 : -1;
    }
    CFunction::DLog("%s", log.GetString());
    return 1;
}

void PCInfo::GetNetCardUsedIpAddress(CStringArray& out) {
    static const int lists[] = {ConfigItem("IPAddress"), ConfigItem("DefaultIPGateway"),
                                ConfigItem("DNSServerSearchOrder")};
    static const int dhcpServer = ConfigItem("DHCPServer");
    CString log = "GetNetCardUsedIpAddress:\r\n\t";
    for (int card = 0; card < m_NetCardCount; ++card) {
        for (int item : lists) {
            CStringArray elements;
            const char* text = m_NetCardInfo[card].GetAt(item);
            SplitIpAddress(text ? text : "N/A", elements);
            for (int i = 0; i < elements.GetSize(); ++i) {
                out.Add(elements[i]);
                log += "\r\n\t" + elements[i];
            }
        }
        const char* server = m_NetCardInfo[card].GetAt(dhcpServer);
        if (server && CString(server) != "N/A") {
            out.Add(server);
            log += CString("\r\n\t") + server;
        }
    }
    CFunction::DLog("%s", log.GetString());
}

void PCInfo::DeleteIpMask98(char* ips, char* masks, CString& ip, CString& mask) {
    CString addresses(ips), maskList(masks);
    int comma = addresses.Find(',');
    ip = comma >= 0 ? addresses.Left(comma) : addresses;
    comma = maskList.Find(',');
    mask = comma >= 0 ? maskList.Left(comma) : maskList;
}
