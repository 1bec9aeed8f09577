#include "templates/UrlCode.h"

#include <cstring>

namespace {

bool IsHex(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Bytes with a meaning in URLs or forms, and control bytes; everything else is copied.
bool NeedsEscape(unsigned char c) {
    return c <= 36 || (c >= 38 && c <= 41) || c == 44 || c == 47 || (c >= 58 && c <= 63) ||
           (c >= 91 && c <= 94) || c == 96 || (c >= 123 && c <= 127);
}

} // namespace

CUrlCode::CUrlCode() : m_hexDigits("0123456789ABCDEF") {}

CUrlCode::~CUrlCode() = default;

void CUrlCode::EncodeBytes(std::string& out, const std::string& in, bool strict) const {
    out.reserve(out.size() + in.size() * 3);
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == '%' && !strict && i + 2 < in.size() && IsHex(in[i + 1]) && IsHex(in[i + 2])) {
            out.append(in, i, 3);
            i += 2;
        } else if (NeedsEscape(c) || c == '%' || (strict && c == '+')) {
            out += '%';
            out += m_hexDigits[c >> 4];
            out += m_hexDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

int CUrlCode::Encode(char* output, int outputLength, const char* input, int inputLength) const {
    if (!output || outputLength <= 0)
        return 0;
    std::string in;
    if (input)
        in.assign(input, inputLength > 0 ? static_cast<size_t>(inputLength) : std::strlen(input));
    std::string out;
    EncodeBytes(out, in, false);
    size_t n =
        out.size() < static_cast<size_t>(outputLength) ? out.size() : static_cast<size_t>(outputLength) - 1;
    std::memcpy(output, out.data(), n);
    output[n] = '\0';
    return static_cast<int>(n);
}

CString CUrlCode::EncodeString(const CString& text) const {
    std::string out;
    EncodeBytes(out, text.str(), false);
    return CString(std::move(out));
}

CString CUrlCode::EncodeValue(const CString& text) const {
    std::string out;
    EncodeBytes(out, text.str(), true);
    return CString(std::move(out));
}
