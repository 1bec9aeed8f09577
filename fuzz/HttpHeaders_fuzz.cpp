// Any header block of an answer, as the engine reads it for the session id: the id found is one
// line's text, without blanks or line ends, and reading it never looks past the block.

#include <cstdlib>

#include "templates/TemplateConnection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CString block(std::string(reinterpret_cast<const char*>(data), size));
    CString id = "stale";
    if (!TemplateConnection::ReadSessionId(block, id)) {
        if (id != "stale")
            abort();
        return 0;
    }
    if (id.Find('\r') >= 0 || id.Find('\n') >= 0 || id.Find(' ') >= 0 || id.GetLength() >= block.GetLength())
        abort();
    // The same block behind a status line of its own reads the same id.
    CString again;
    if (!TemplateConnection::ReadSessionId("HTTP/1.1 200 OK\r\n" + block, again) || again != id)
        abort();
    return 0;
}
