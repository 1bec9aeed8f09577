#pragma once
// The switch's "show port" reply, read the same way whether it came over the console or telnet.

#include "platform/text/CString.h"

#include <vector>

struct ShowPortReply {
    int port = -1;
    int enableState = 1; // PortEnable other than exactly "disabled" counts as enabled
    int linkState = 2;   // 0 when the Link word is neither up nor down
    int vlanId = -1;
};

// The lines of a console text split at "\n"; the pieces keep any "\r".
std::vector<CString> SplitConsoleLines(const CString& text);

// Reads PortId, Link, DefaultVlanId and PortEnable from the reply's lines; true only when all
// four were found (a reply still on its way gives false).
bool ParseShowPortReply(const CString& response, ShowPortReply& out);
