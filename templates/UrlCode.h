#pragma once
// Percent-encoding of text for modem URLs and form bodies. Bytes of 128 and above pass raw, so
// GBK text reaches the modem byte for byte; an already encoded "%XX" is kept as it is.

#include <string>

#include "platform/text/CString.h"

class CUrlCode {
public:
    CUrlCode();
    virtual ~CUrlCode();

    // Encodes 'inputLength' bytes (0: up to the first zero byte) into 'output', which always ends
    // with a zero byte; output that does not fit is cut. Returns the encoded length written.
    int Encode(char* output, int outputLength, const char* input, int inputLength = 0) const;
    CString EncodeString(const CString& text) const;
    // For a value that must arrive as its own text (a password, an argument): as EncodeString,
    // but "+" and every "%" are encoded too, so the modem cannot read them as a blank or a code.
    CString EncodeValue(const CString& text) const;

private:
    void EncodeBytes(std::string& out, const std::string& in, bool strict) const;
    const char* m_hexDigits;
};
