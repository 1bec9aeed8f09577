// The URL, form and multipart encoders against decoders: what a server decodes is what was
// meant. Input parts: the text, then a file name, then the file's bytes.

#include <cstdlib>

#include "fuzz/FuzzParts.h"
#include "platform/text/Hex.h"
#include "templates/MultipartUploader.h"
#include "templates/TemplateConnection.h"
#include "templates/UrlCode.h"

namespace {

// As a server reads a URL or form value: each "%XX" is one byte, anything else as it is.
std::string Decode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && platform::HexDigitValue(text[i + 1]) >= 0 &&
            platform::HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(platform::HexDigitValue(text[i + 1]) * 16 +
                                     platform::HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// True when a byte that must be encoded was left raw: control bytes from 'lowest' on, and the
// marks listed.
bool Raw(const std::string& encoded, unsigned char lowest, const std::string& marks) {
    for (unsigned char c : encoded)
        if ((c >= lowest && c < 0x20) || marks.find(static_cast<char>(c)) != std::string::npos)
            return true;
    return false;
}

// The decoded names and values of "a=b&c=d" text, in order; a piece without "=" is a name with
// an empty value.
std::vector<std::string> FormPairs(const std::string& text, bool keepEmpty) {
    std::vector<std::string> pairs;
    for (size_t at = 0; at <= text.size();) {
        size_t amp = text.find('&', at);
        std::string piece = text.substr(at, amp == std::string::npos ? std::string::npos : amp - at);
        if (keepEmpty || !piece.empty()) {
            size_t eq = piece.find('=');
            pairs.push_back(Decode(piece.substr(0, eq)));
            pairs.push_back(eq == std::string::npos ? "" : Decode(piece.substr(eq + 1)));
        }
        if (amp == std::string::npos)
            break;
        at = amp + 1;
    }
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = FuzzParts(data, size);
    const std::string text = parts[0];
    CUrlCode code;
    // A value must arrive whole: every byte that means something in a query is encoded.
    const std::string value = code.EncodeValue(CString(text)).str();
    if (Decode(value) != text || Raw(value, 1, " &=+?#"))
        abort();
    const std::string urlValue = code.EncodeUrlValue(CString(text)).str();
    if (Decode(urlValue) != text || Raw(urlValue, 0, " &=+?#"))
        abort();
    // The standard form keeps what is already encoded: it decodes as the text itself would.
    const std::string standard = code.EncodeString(CString(text)).str();
    if (Decode(standard) != Decode(text) || Raw(standard, 1, std::string(" !\"#$&'(),/:;<=>?[\\]^`{|}~\x7F")))
        abort();

    // A form body: its pieces split at "&" and "=" give back the pieces of the post data.
    TemplateConnection connection;
    CString post(text);
    const std::string body = connection.EncodeForm(post).str();
    CString trimmed = post;
    trimmed.Trim();
    // The post data's own pieces (empty ones dropped) against every piece the body holds.
    const std::vector<std::string> expected = FormPairs(trimmed.str(), false);
    const std::vector<std::string> got = body.empty() ? std::vector<std::string>() : FormPairs(body, true);
    if (got != expected)
        abort();

    // A multipart body: the file's bytes lie between the part's header and the closing, and
    // the boundary never occurs inside the header.
    if (parts.size() >= 3) {
        const std::string name = parts[1], file = parts[2];
        if (name.find_first_of("\r\n\"") != std::string::npos)
            return 0; // a file dialog gives no such name
        MultipartUploader uploader;
        const std::string head = uploader.PartHeader(CString(name)).str();
        const std::string closing = MultipartUploader::Closing().str();
        const std::string whole = head + file + closing;
        const std::string boundary = std::string("--") + MultipartUploader::kBoundary;
        if (whole.rfind(boundary + "\r\n", 0) != 0)
            abort();
        size_t bodyStart = whole.find("\r\n\r\n");
        if (bodyStart == std::string::npos || bodyStart + 4 != head.size())
            abort();
        if (whole.compare(whole.size() - closing.size(), closing.size(), "\r\n" + boundary + "--\r\n") != 0)
            abort();
        if (whole.substr(head.size(), whole.size() - head.size() - closing.size()) != file)
            abort();
        if (head.find("filename=\"" + name + "\"") == std::string::npos)
            abort();
    }
    return 0;
}
