#pragma once
// The UTF-16 text of the wireless interface, to and from UTF-8 and the program's GBK.

#include <cstddef>
#include <string>

namespace platform {

std::u16string Utf8ToUtf16(const std::string& utf8);
// False in *valid (when given) for an unpaired surrogate, which becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16, bool* valid = nullptr);
std::u16string WideFromGbk(const std::string& gbk);
std::string GbkFromWide(const std::u16string& wide);
// A terminated text of at most 'capacity' units (terminator included), cut where it is longer.
void CopyWide(char16_t* target, size_t capacity, const std::u16string& text);
// The text up to its terminator, reading at most 'capacity' units.
std::u16string WideOf(const char16_t* text, size_t capacity = 1 << 20);

} // namespace platform
