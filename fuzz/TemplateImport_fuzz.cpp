// Any bytes as a device template file: no crash, no read past the data, and an imported record
// exports to a file that imports again to the same export.

#include <string>

#include "fuzz/FuzzFile.h"
#include "templates/TemplateStore.h"

namespace {

std::string Exported(const TemplateStore& store, const TerminalRecord& terminal, const CString& path) {
    if (!store.ExportTerminal(path, terminal))
        abort(); // an imported record is always within the format
    return ReadBack(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile input("device.tpl");
    static const CString saved = CString(FuzzSaveDirectory()) + "/device.tpl";
    TemplateStore store;
    std::unique_ptr<TerminalRecord> terminal = store.ImportTerminal(input.Write(data, size));
    if (!terminal)
        return 0;
    std::string first = Exported(store, *terminal, saved);
    std::unique_ptr<TerminalRecord> again = store.ImportTerminal(saved);
    if (!again || Exported(store, *again, saved) != first)
        abort();
    return 0;
}
