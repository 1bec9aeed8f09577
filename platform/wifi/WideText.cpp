#include "platform/wifi/WideText.h"

#include <algorithm>

#include "platform/text/Gbk.h"

namespace platform {

std::u16string Utf8ToUtf16(const std::string& utf8) {
    std::u16string wide;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = 0xFFFD;
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > utf8.size()) {
            ++i;
        } else {
            code = length == 1 ? c : c & (0x7F >> length);
            bool ok = true;
            for (size_t k = 1; k < length; ++k) {
                unsigned char next = static_cast<unsigned char>(utf8[i + k]);
                ok = ok && (next >> 6) == 2;
                code = (code << 6) | (next & 0x3F);
            }
            if (!ok)
                code = 0xFFFD, length = 1;
            i += length;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (code >> 10));
            wide += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide += static_cast<char16_t>(code);
        }
    }
    return wide;
}

std::string Utf16ToUtf8(const std::u16string& utf16, bool* valid) {
    std::string utf8;
    if (valid)
        *valid = true;
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t code = utf16[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
            if (valid)
                *valid = false;
        }
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (code >> 12));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (code >> 18));
            utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

std::u16string WideFromGbk(const std::string& gbk) {
    return Utf8ToUtf16(GbkToUtf8(CString(gbk)));
}

std::string GbkFromWide(const std::u16string& wide) {
    return Utf8ToGbk(Utf16ToUtf8(wide)).str();
}

void CopyWide(char16_t* target, size_t capacity, const std::u16string& text) {
    if (capacity == 0)
        return;
    size_t length = std::min(text.size(), capacity - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), target);
    target[length] = 0;
}

std::u16string WideOf(const char16_t* text, size_t capacity) {
    std::u16string wide;
    if (!text)
        return wide;
    for (size_t i = 0; i < capacity && text[i]; ++i)
        wide += text[i];
    return wide;
}

} // namespace platform
