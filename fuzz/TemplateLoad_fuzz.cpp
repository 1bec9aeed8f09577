// Any bytes as "Terminals.dat": no crash, no read past the data, and whatever loads saves back to
// a file that loads and saves to the same bytes.

#include "fuzz/FuzzFile.h"
#include "templates/TemplateStore.h"

namespace {

std::string Saved(const TemplateStore& store, const CString& path) {
    if (!store.Save(path))
        abort(); // a loaded store is always within the format
    return ReadBack(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile input("Terminals.dat");
    static const CString saved = CString(FuzzSaveDirectory()) + "/Terminals.dat";
    TemplateStore store;
    if (!store.Load(input.Write(data, size))) {
        if (store.IsLoaded() || !store.Groups().empty() || !store.Terminals().empty())
            abort();
        return 0;
    }
    std::string first = Saved(store, saved);
    TemplateStore again;
    if (!again.Load(saved) || Saved(again, saved) != first)
        abort();
    return 0;
}
