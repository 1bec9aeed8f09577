#pragma once
// An 8-bit string of GBK text with the methods the program's code is written against.
// Positions out of range are clamped, never thrown; case operations touch ASCII letters
// only and never fold the trail byte of a GBK double-byte character.

#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_s(text ? text : "") {}
    CString(const char* data, int length) : m_s(data ? data : "", data && length > 0 ? length : 0) {}
    CString(std::string text) : m_s(std::move(text)) {}
    CString(std::string_view text) : m_s(text) {}
    CString(char ch, int repeat = 1) : m_s(repeat > 0 ? repeat : 0, ch) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }

    // The character at a position; 0 when out of range.
    char GetAt(int index) const;
    void SetAt(int index, char ch);
    char operator[](int index) const { return GetAt(index); }

    operator const char*() const { return m_s.c_str(); }
    const char* GetString() const { return m_s.c_str(); }
    const std::string& str() const { return m_s; }
    std::string& str() { return m_s; }

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString SpanIncluding(const char* set) const;
    CString SpanExcluding(const char* set) const;

    // Byte searches; -1 when not found. A start beyond the end finds nothing.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;

    CString& Trim();
    CString& Trim(char ch);
    CString& Trim(const char* set);
    CString& TrimLeft();
    CString& TrimLeft(char ch);
    CString& TrimLeft(const char* set);
    CString& TrimRight();
    CString& TrimRight(char ch);
    CString& TrimRight(const char* set);

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // Returns the number of replacements or removals.
    int Replace(char from, char to);
    int Replace(const char* from, const char* to);
    int Remove(char ch);
    // Returns the new length.
    int Insert(int index, char ch);
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);

    // The next token after 'start' delimited by any of 'tokens'; start becomes -1 at the end.
    CString Tokenize(const char* tokens, int& start) const;

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);
    void AppendFormatV(const char* format, va_list args);

    int Compare(const char* other) const;
    // Compares with ASCII letters folded, GBK characters as they are.
    int CompareNoCase(const char* other) const;

    CString& operator=(const char* text) {
        m_s = text ? text : "";
        return *this;
    }
    CString& operator=(char ch) {
        m_s.assign(1, ch);
        return *this;
    }
    CString& operator+=(const CString& other) {
        m_s += other.m_s;
        return *this;
    }
    CString& operator+=(const char* text) {
        if (text)
            m_s += text;
        return *this;
    }
    CString& operator+=(char ch) {
        m_s += ch;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }
    friend CString operator+(char a, const CString& b) { return CString(a + b.m_s); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

private:
    std::string m_s;
};

// True when the byte at 'index' starts a GBK double-byte character whose trail byte follows.
bool IsGbkLeadAt(const std::string& text, size_t index);

// Where 'needle' (its whole length, zero bytes included) first occurs in 'text' starting at a
// character boundary at or after 'from' and ending at or before 'limit'; npos when nowhere.
// Characters are counted from 'origin', a boundary at or before 'from'. A match never starts
// on the trail byte of a double-byte character.
size_t FindOnCharBoundary(const std::string& text, const std::string& needle, size_t from = 0,
                          size_t origin = 0, size_t limit = std::string::npos);
