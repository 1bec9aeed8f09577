// Any "show port" reply: a reply read whole has its four fields in their ranges, and a reply is
// read the same whatever text comes before its first line.

#include <cstdlib>

#include "engine/switch/ShowPortReply.h"
#include "fuzz/FuzzParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KeepFuzzLogPrivate();
    const CString reply(std::string(reinterpret_cast<const char*>(data), size));
    ShowPortReply read;
    const bool whole = ParseShowPortReply(reply, read);
    if (!whole)
        return 0;
    if ((read.enableState != 1 && read.enableState != 2) || read.linkState < 0 || read.linkState > 2)
        abort();
    ShowPortReply behind;
    if (!ParseShowPortReply("show port 1\r\n" + reply, behind) || behind.port != read.port ||
        behind.enableState != read.enableState || behind.linkState != read.linkState ||
        behind.vlanId != read.vlanId)
        abort();
    return 0;
}
