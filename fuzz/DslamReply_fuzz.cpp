// Any DSLAM reply: the row read gives a known state, and the same reply with the pager's prompt
// inserted before the table's line of dashes reads the same.

#include <cstdlib>

#include "engine/dslam/DslamClient.h"
#include "engine/records/TestRecords.h"
#include "fuzz/FuzzParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KeepFuzzLogPrivate();
    const CString reply(std::string(reinterpret_cast<const char*>(data), size));
    ModemResult result;
    result.DslStatus = 7, result.UpRate = -1, result.DownRate = -1;
    DslamClient::ParseReply(reply, result);
    if (result.DslStatus < 0 || result.DslStatus > 2)
        abort();
    ModemResult again;
    DslamClient::ParseReply(reply, again);
    if (again.DslStatus != result.DslStatus || again.UpRate != result.UpRate ||
        again.DownRate != result.DownRate)
        abort();
    return 0;
}
