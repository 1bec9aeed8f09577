// What a page's script hands back for a locate: any bytes read as documents, whose texts,
// charsets and addresses the locator then takes apart without fault.

#include <cstdlib>

#include "stavrintool/locator/SelectionScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CString result(std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<FrameSelection> frames = ParseSelections(result);
    for (const FrameSelection& frame : frames) {
        PagePathOf(CString(frame.url));
        VersionTextOf(frame);
        CharsetToGbk(CString(frame.text), frame.charset);
    }
    CString version;
    try {
        size_t chosen = ChooseSelection(frames, version);
        if (chosen >= frames.size() || version.IsEmpty())
            abort();
    } catch (const LocateError& e) {
        if (e.Code() != kLocateNoSelection)
            abort();
    }
    return 0;
}
