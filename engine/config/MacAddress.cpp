#include "engine/config/MacAddress.h"

#include <cctype>
#include <cstring>

MacAddress::MacAddress() {
    std::memset(m_bytes, 0, sizeof m_bytes);
    SetBytes(m_bytes);
}

void MacAddress::SetBytes(const uint8_t bytes[6]) {
    std::memmove(m_bytes, bytes, sizeof m_bytes);
    m_text.Format("%02x:%02x:%02x:%02x:%02x:%02x", m_bytes[0], m_bytes[1], m_bytes[2], m_bytes[3], m_bytes[4],
                  m_bytes[5]);
}

bool MacAddress::Parse(const CString& text) {
    uint8_t bytes[6];
    const char* p = text.GetString();
    const char* end = p + text.GetLength(); // an embedded zero byte is "something else"
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (p == end || std::isxdigit(static_cast<unsigned char>(*p)))
                return false;
            ++p;
        }
        int digits = 0, value = 0;
        while (p != end && digits < 2 && std::isxdigit(static_cast<unsigned char>(*p))) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
            value = value * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
            ++digits;
            ++p;
        }
        if (digits == 0)
            return false;
        bytes[i] = static_cast<uint8_t>(value);
    }
    if (p != end)
        return false;
    SetBytes(bytes);
    return true;
}
