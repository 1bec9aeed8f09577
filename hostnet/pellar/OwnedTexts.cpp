#include "hostnet/pellar/OwnedTexts.h"

#include <cstring>

namespace pellar {

namespace {
std::unique_ptr<char[]> Copy(const char* text) {
    if (!text)
        text = "N/A";
    size_t length = std::strlen(text);
    auto copy = std::make_unique<char[]>(length + 1);
    std::memcpy(copy.get(), text, length + 1);
    return copy;
}
} // namespace

const char* OwnedTexts::GetAt(int index) const {
    return index >= 0 && index < GetSize() ? m_texts[index].get() : nullptr;
}

void OwnedTexts::Add(const char* text) {
    m_texts.push_back(Copy(text));
    m_pointers.Add(m_texts.back().get());
}

bool OwnedTexts::SetAt(int index, const char* text) {
    if (index < 0 || index >= GetSize())
        return false;
    m_texts[index] = Copy(text);
    m_pointers.SetAt(index, m_texts[index].get());
    return true;
}

void OwnedTexts::RemoveAll() {
    m_pointers.RemoveAll();
    m_texts.clear();
}

} // namespace pellar
