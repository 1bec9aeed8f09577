#include "stavrintool/app/BoxText.h"

#include <strings.h>

#include "platform/text/Gbk.h"

namespace {

// Valid UTF-8 holding at least one multi-byte character (GBK text almost never is).
bool LooksUtf8(const std::string& s) {
    bool multi = false;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        multi = multi || n > 1;
        i += n;
    }
    return multi;
}

// What a box holding 'gbk' hands back: the text through the UTF-8 of the window and back.
CString RoundTrip(const CString& gbk) {
    return Utf8ToGbk(GbkToUtf8(gbk));
}

} // namespace

BoxText::BoxText(const CString& bytes, const std::string& charset)
    : m_bytes(bytes), m_utf8(charset.empty() ? LooksUtf8(bytes.str())
                                             : strcasecmp(charset.c_str(), "UTF-8") == 0 ||
                                                   strcasecmp(charset.c_str(), "UTF8") == 0) {
    m_shown = m_utf8 ? Utf8ToGbk(bytes.str()) : bytes;
    m_shownBack = RoundTrip(m_shown);
}

CString BoxText::Read(const CString& boxText) const {
    if (boxText == m_shownBack || boxText == m_shown)
        return m_bytes;
    return m_utf8 ? CString(GbkToUtf8(boxText)) : boxText;
}

const CString& BoxTexts::Show(int id, const CString& bytes, const std::string& charset) {
    return (m_boxes[id] = BoxText(bytes, charset)).Shown();
}

CString BoxTexts::Read(int id, const CString& boxText) const {
    const auto it = m_boxes.find(id);
    return it == m_boxes.end() ? boxText : it->second.Read(boxText);
}
