#pragma once
// A list of narrow texts owned by the list and handed to callers as a pointer array of char*,
// as the library's results are: the pointers stay valid until the list changes or goes.

#include <memory>
#include <vector>

#include "hostnet/Export.h"
#include "platform/text/Arrays.h"

namespace pellar {

class HOSTNET_API OwnedTexts {
public:
    int GetSize() const { return static_cast<int>(m_texts.size()); }
    // The text at a position; nullptr outside the list.
    const char* GetAt(int index) const;
    // Appends a copy; nullptr gives "N/A".
    void Add(const char* text);
    // Replaces one text; false outside the list.
    bool SetAt(int index, const char* text);
    void RemoveAll();
    // The callers' view; it follows every change of the list.
    CPtrArray* Pointers() { return &m_pointers; }

private:
    std::vector<std::unique_ptr<char[]>> m_texts;
    CPtrArray m_pointers;
};

} // namespace pellar
