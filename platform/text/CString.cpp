#include "platform/text/CString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool IsLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrail(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char FoldLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char FoldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Applies 'fold' to every single-byte character, stepping over GBK pairs whole.
template <typename Fold> void FoldAscii(std::string& s, Fold fold) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsGbkLeadAt(s, i)) {
            ++i;
            continue;
        }
        s[i] = fold(s[i]);
    }
}

template <typename Keep> void TrimLeftWhile(std::string& s, Keep strip) {
    size_t n = 0;
    while (n < s.size() && strip(s[n]))
        ++n;
    s.erase(0, n);
}

// Trims at the right on character boundaries, so the trail byte of a GBK pair is never cut alone.
template <typename Strip> void TrimRightWhile(std::string& s, Strip strip) {
    size_t keep = 0;
    for (size_t i = 0; i < s.size();) {
        size_t width = IsGbkLeadAt(s, i) ? 2 : 1;
        if (width == 2 || !strip(s[i]))
            keep = i + width;
        i += width;
    }
    s.erase(keep);
}

bool InSet(const char* set, char c) {
    return set && c != '\0' && std::strchr(set, c) != nullptr;
}

} // namespace

bool IsGbkLeadAt(const std::string& text, size_t index) {
    return index + 1 < text.size() && IsLead(static_cast<unsigned char>(text[index])) &&
           IsTrail(static_cast<unsigned char>(text[index + 1]));
}

size_t FindOnCharBoundary(const std::string& text, const std::string& needle, size_t from, size_t origin,
                          size_t limit) {
    limit = std::min(limit, text.size());
    if (needle.size() > limit)
        return std::string::npos;
    const size_t last = limit - needle.size(); // the last start that still fits
    size_t at = std::min(origin, from);
    while (at < from)
        at += IsGbkLeadAt(text, at) ? 2 : 1;
    while (at <= last) {
        // Jump to the next candidate byte, then back onto the character grid.
        if (!needle.empty()) {
            const void* hit = std::memchr(text.data() + at, needle[0], last - at + 1);
            if (!hit)
                return std::string::npos;
            const size_t next = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
            while (at < next)
                at += IsGbkLeadAt(text, at) ? 2 : 1;
            if (at != next)
                continue; // the byte was a trail byte
            if (at > last)
                break;
        }
        if (text.compare(at, needle.size(), needle) == 0)
            return at;
        at += IsGbkLeadAt(text, at) ? 2 : 1;
    }
    return std::string::npos;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        return '\0';
    return m_s[index];
}

void CString::SetAt(int index, char ch) {
    if (index >= 0 && index < GetLength())
        m_s[index] = ch;
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_s.substr(0, count));
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_s.substr(m_s.size() - count));
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_s.substr(first, count));
}

CString CString::SpanIncluding(const char* set) const {
    size_t n = 0;
    while (n < m_s.size() && InSet(set, m_s[n]))
        ++n;
    return CString(m_s.substr(0, n));
}

CString CString::SpanExcluding(const char* set) const {
    size_t n = 0;
    while (n < m_s.size() && !InSet(set, m_s[n]))
        ++n;
    return CString(m_s.substr(0, n));
}

int CString::Find(char ch, int start) const {
    if (start < 0)
        start = 0;
    if (start >= GetLength())
        return -1;
    size_t at = m_s.find(ch, start);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* sub, int start) const {
    if (start < 0)
        start = 0;
    if (!sub || start > GetLength())
        return -1;
    size_t at = m_s.find(sub, start);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    size_t at = m_s.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char* set) const {
    if (!set || !*set)
        return -1;
    size_t at = m_s.find_first_of(set);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(char ch) {
    return TrimRight(ch).TrimLeft(ch);
}
CString& CString::Trim(const char* set) {
    return TrimRight(set).TrimLeft(set);
}

CString& CString::TrimLeft() {
    TrimLeftWhile(m_s, IsSpace);
    return *this;
}
CString& CString::TrimLeft(char ch) {
    TrimLeftWhile(m_s, [ch](char c) { return c == ch; });
    return *this;
}
CString& CString::TrimLeft(const char* set) {
    TrimLeftWhile(m_s, [set](char c) { return InSet(set, c); });
    return *this;
}
CString& CString::TrimRight() {
    TrimRightWhile(m_s, IsSpace);
    return *this;
}
CString& CString::TrimRight(char ch) {
    TrimRightWhile(m_s, [ch](char c) { return c == ch; });
    return *this;
}
CString& CString::TrimRight(const char* set) {
    TrimRightWhile(m_s, [set](char c) { return InSet(set, c); });
    return *this;
}

CString& CString::MakeUpper() {
    FoldAscii(m_s, FoldUpper);
    return *this;
}

CString& CString::MakeLower() {
    FoldAscii(m_s, FoldLower);
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_s.begin(), m_s.end());
    return *this;
}

int CString::Replace(char from, char to) {
    int count = 0;
    for (char& c : m_s) {
        if (c == from) {
            c = to;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* from, const char* to) {
    if (!from || !*from)
        return 0;
    const std::string needle(from);
    const std::string replacement(to ? to : "");
    std::string out;
    int count = 0;
    size_t pos = 0;
    for (size_t at; (at = m_s.find(needle, pos)) != std::string::npos; pos = at + needle.size()) {
        out.append(m_s, pos, at - pos);
        out += replacement;
        ++count;
    }
    if (count) {
        out.append(m_s, pos, std::string::npos);
        m_s.swap(out);
    }
    return count;
}

int CString::Remove(char ch) {
    size_t before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
    return static_cast<int>(before - m_s.size());
}

int CString::Insert(int index, char ch) {
    return Insert(index, std::string(1, ch).c_str());
}

int CString::Insert(int index, const char* text) {
    index = std::clamp(index, 0, GetLength());
    if (text)
        m_s.insert(index, text);
    return GetLength();
}

int CString::Delete(int index, int count) {
    index = std::max(index, 0);
    if (index < GetLength() && count > 0)
        m_s.erase(index, std::min(count, GetLength() - index));
    return GetLength();
}

CString CString::Tokenize(const char* tokens, int& start) const {
    if (start < 0)
        return CString();
    size_t pos = static_cast<size_t>(start);
    if (tokens && *tokens) {
        pos = m_s.find_first_not_of(tokens, pos);
    }
    if (pos >= m_s.size()) {
        start = -1;
        return CString();
    }
    size_t end = (tokens && *tokens) ? m_s.find_first_of(tokens, pos) : std::string::npos;
    if (end == std::string::npos)
        end = m_s.size();
    start = static_cast<int>(end < m_s.size() ? end + 1 : end);
    return CString(m_s.substr(pos, end - pos));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

namespace {

// Formats into a text of its own: an argument may be this very string, which must not be
// cleared or moved while it is read.
std::string Formatted(const char* format, va_list args) {
    if (!format)
        return std::string();
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0)
        return std::string();
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    return out;
}

} // namespace

void CString::FormatV(const char* format, va_list args) {
    m_s = Formatted(format, args);
}

void CString::AppendFormatV(const char* format, va_list args) {
    m_s += Formatted(format, args);
}

int CString::Compare(const char* other) const {
    int r = std::strcmp(m_s.c_str(), other ? other : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* other) const {
    CString a(*this), b(other);
    a.MakeLower();
    b.MakeLower();
    return a.Compare(b);
}
