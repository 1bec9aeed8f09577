#include "stavrintool/locator/PatternMatch.h"

#include <cctype>
#include <cstring>

namespace {

const char* Abbreviation(char c) {
    switch (c) {
    case 'a':
        return "[a-zA-Z0-9]";
    case 'b':
        return "[ \\t]";
    case 'c':
        return "[a-zA-Z]";
    case 'd':
        return "[0-9]";
    case 'h':
        return "[0-9a-fA-F]";
    case 'n':
        return "(?:\\r|(?:\\r?\\n))";
    case 'q':
        return "(?:(?:\"[^\"]*\")|(?:'[^']*'))";
    case 'w':
        return "[a-zA-Z]+";
    case 'z':
        return "[0-9]+";
    default:
        return nullptr;
    }
}

// One literal byte, escaped where the target syntax gives it a meaning.
void AppendLiteral(std::string& out, char c) {
    if (c != '\0' && std::strchr("\\^$.|?*+()[]{}", c))
        out += '\\';
    out += c;
}

bool IsLead(const std::string& s, size_t i) {
    return IsGbkLeadAt(s, i);
}

} // namespace

bool PatternMatch::Translate(const std::string& p, std::string& out) {
    out.clear();
    int groups = 0;
    // 1 after a repeat, 2 after a repeat made lazy: a repeat of a repeat has no meaning, and
    // the target's matcher takes it and then backtracks without end.
    int repeated = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        const int before = repeated;
        repeated = 0;
        if (IsLead(p, i)) {
            // A double-byte character is one literal; its trail byte may look like syntax.
            AppendLiteral(out, p[i]);
            AppendLiteral(out, p[++i]);
            continue;
        }
        switch (c) {
        case '\\': {
            if (i + 1 >= p.size())
                return false;
            const char next = p[++i];
            if (const char* abbreviation = Abbreviation(next))
                out += abbreviation;
            else if (std::isalnum(static_cast<unsigned char>(next)) || IsLead(p, i))
                return false; // no meaning of its own here, and a different one in the target
            else
                AppendLiteral(out, next);
            break;
        }
        case '.':
            out += "[\\s\\S]"; // any byte, line breaks too
            break;
        case '{':
            out += '(';
            ++groups;
            break;
        case '}':
            if (--groups < 0)
                return false;
            out += ')';
            break;
        case '(':
            out += "(?:";
            break;
        case '[': {
            out += '[';
            ++i;
            if (i < p.size() && p[i] == '^')
                out += p[i++];
            bool closed = false;
            for (; i < p.size(); ++i) {
                if (IsLead(p, i))
                    return false; // a class of bytes cannot hold a double-byte character
                if (p[i] == ']') {
                    closed = true;
                    break;
                }
                if (p[i] == '\\') {
                    if (++i >= p.size())
                        return false;
                    if (std::isalnum(static_cast<unsigned char>(p[i])))
                        return false;
                    out += '\\';
                    out += p[i];
                } else if (p[i] == '-') {
                    out += '-';
                } else {
                    AppendLiteral(out, p[i]);
                }
            }
            if (!closed)
                return false;
            out += ']';
            break;
        }
        case '!':
            return false; // negation has no counterpart
        case ']':
            AppendLiteral(out, c);
            break;
        case '*':
        case '+':
        case '?':
            if (before == 2 || (before == 1 && c != '?'))
                return false;
            repeated = before + 1;
            out += c;
            break;
        default:
            out += c; // ^ $ | ) and literals mean the same in both
            break;
        }
    }
    return groups == 0;
}

bool PatternMatch::Compile(const CString& pattern) {
    m_regex.reset();
    std::string translated;
    if (!Translate(pattern.str(), translated))
        return false;
    try {
        m_regex = std::make_shared<const std::regex>(translated, std::regex::ECMAScript);
    } catch (const std::regex_error&) {
        return false;
    }
    return true;
}

bool PatternMatch::Match(const CString& text, int* start, int* end) const {
    if (!m_regex)
        return false;
    std::smatch match;
    const std::string& s = text.str();
    if (!std::regex_search(s, match, *m_regex))
        return false;
    if (start)
        *start = static_cast<int>(match.position(0));
    if (end)
        *end = static_cast<int>(match.position(0) + match.length(0));
    return true;
}
