#pragma once
// The tool's regular expressions: the pattern syntax its templates and dialogs were written
// in (match groups in braces, plain parentheses, the abbreviations \a \b \c \d \h \n \q \w \z),
// translated onto std::regex. Case-sensitive; the first match anywhere in the text. A pattern
// that has no translation (negation with '!') does not compile.

#include <memory>
#include <regex>

#include "platform/text/CString.h"

class PatternMatch {
public:
    PatternMatch() = default;
    explicit PatternMatch(const CString& pattern) { Compile(pattern); }

    // False when the pattern does not compile; the matcher then matches nothing.
    bool Compile(const CString& pattern);
    bool IsCompiled() const { return m_regex != nullptr; }

    // The first match: start and end (one past its last byte) in bytes.
    bool Match(const CString& text, int* start = nullptr, int* end = nullptr) const;

    // The std::regex text for a pattern; false when it has none.
    static bool Translate(const std::string& pattern, std::string& out);

private:
    std::shared_ptr<const std::regex> m_regex;
};
