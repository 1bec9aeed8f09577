#pragma once
// A card's MAC address as six bytes and as the text the program shows and stores
// ("%02x:%02x:%02x:%02x:%02x:%02x", lower case).

#include <cstdint>

#include "platform/text/CString.h"

class MacAddress {
public:
    MacAddress();
    // Stores the six bytes and formats the text.
    void SetBytes(const uint8_t bytes[6]);
    // Six numbers of one or two hexadecimal digits, each pair parted by one character that is
    // no hexadecimal digit ("0:1b:2c:3d:4e:5f", "00-1B-2C-3D-4E-5F"), and nothing else. On
    // success the bytes and the text are stored; otherwise nothing changes.
    bool Parse(const CString& text);

    const uint8_t* GetBytes() const { return m_bytes; }
    const CString& GetText() const { return m_text; }

private:
    uint8_t m_bytes[6];
    CString m_text;
};
