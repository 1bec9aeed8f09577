#include "engine/switch/ShowPortReply.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/log/Logger.h"

std::vector<CString> SplitConsoleLines(const CString& text) {
    std::vector<CString> lines;
    int start = 0;
    for (;;) {
        int end = text.Find('\n', start);
        if (end < 0) {
            lines.push_back(text.Mid(start));
            return lines;
        }
        lines.push_back(text.Mid(start, end - start));
        start = end + 1;
    }
}

namespace {

// The trimmed text between the end of head and the start of tail (or the line's end when tail
// is null); false when a marker is missing.
bool TextBetween(const CString& line, const char* head, const char* tail, CString* text) {
    int a = line.Find(head);
    if (a < 0)
        return false;
    a += static_cast<int>(std::strlen(head));
    if (!tail) {
        *text = line.Mid(a);
    } else {
        int b = line.Find(tail, a);
        if (b < 0)
            return false;
        *text = line.Mid(a, b - a);
    }
    text->Trim();
    return true;
}

} // namespace

bool ParseShowPortReply(const CString& response, ShowPortReply& out) {
    ShowPortReply r;
    bool havePort = false, haveLink = false, haveVlan = false, haveEnable = false;
    for (const CString& line : SplitConsoleLines(response)) {
        CString text;
        if (line.Find("PortId") >= 0) {
            if (!TextBetween(line, "PortId     :", "MediaType", &text)) {
                LogDebug("奇怪2：未找到端口号\n");
                LogDebug("m_strResponse = %s\n", response.GetString());
            } else if (text.IsEmpty()) {
                LogDebug("奇怪1：未找到端口号\n");
                LogDebug("m_strResponse = %s\n", response.GetString());
                LogDebug("oldResponse = %s\n", response.GetString());
            } else {
                r.port = std::atoi(text);
                havePort = true;
            }
        }
        if (TextBetween(line, "Link           :", nullptr, &text)) {
            haveLink = true;
            if (text.Find("down") >= 0) {
                r.linkState = 2;
                LogDebug("I Get Link Status:%s.\n", text.GetString());
            } else if (text.Find("up") >= 0) {
                r.linkState = 1;
                LogDebug("I Get Link Status:%s.\n", text.GetString());
            } else {
                r.linkState = 0;
                LogDebug("未知的Link状态。\n");
            }
        }
        if (line.Find("DefaultVlanId  :") >= 0) {
            if (!TextBetween(line, "DefaultVlanId  :", "FlowControl", &text))
                TextBetween(line, "DefaultVlanId  :", nullptr, &text);
            if (!text.IsEmpty()) {
                r.vlanId = std::atoi(text);
                haveVlan = true;
                LogDebug("I Get DefaultVlanId：%s\n", text.GetString());
            }
        }
        if (TextBetween(line, "PortEnable     :", nullptr, &text)) {
            r.enableState = text == "disabled" ? 2 : 1;
            haveEnable = true;
            LogDebug("I Get PortEnable.\n");
        }
    }
    if (!(havePort && haveLink && haveVlan && haveEnable))
        return false;
    LogDebug("Get Port status success;");
    out = r;
    return true;
}
