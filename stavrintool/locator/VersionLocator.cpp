#include "stavrintool/locator/VersionLocator.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

#include "platform/text/Gbk.h"
#include "templates/RuleEvaluator.h"

namespace {

constexpr size_t npos = std::string::npos;

std::string Upper(const CString& text) {
    CString copy = text;
    copy.MakeUpper();
    return copy.str();
}

std::vector<size_t> FindAll(const std::string& text, const std::string& needle, size_t from, size_t to) {
    std::vector<size_t> found;
    for (size_t at = from; (at = FindOnCharBoundary(text, needle, at, from, to)) != npos; ++at)
        found.push_back(at);
    return found;
}

struct Range {
    size_t begin;
    size_t end;
};

// The first consecutive pair of open and close tag positions whose first is an open tag and
// that holds 'pos': [open, through the closing tag's name and '>').
std::optional<Range> EnclosingSection(const std::string& upper, const std::string& open,
                                      const std::string& close, size_t pos) {
    std::vector<size_t> tags = FindAll(upper, open, 0, npos);
    std::vector<size_t> closes = FindAll(upper, close, 0, npos);
    tags.insert(tags.end(), closes.begin(), closes.end());
    std::sort(tags.begin(), tags.end());
    for (size_t i = 0; i + 1 < tags.size(); ++i) {
        const size_t a = tags[i], b = tags[i + 1];
        if (upper.compare(a, open.size(), open) == 0 && a < pos && pos < b)
            return Range{a, std::min(upper.size(), b + close.size() + 1)};
    }
    return std::nullopt;
}

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

size_t LineStartOf(const std::string& src, size_t at) {
    const size_t lastBreak = at == 0 ? npos : src.find_last_of("\r\n", at - 1);
    return lastBreak == npos ? 0 : lastBreak + 1;
}

// The start of the line that holds 'at' when 'at' is inside it, else of the line before.
size_t StepBackLine(const std::string& src, size_t at) {
    const size_t start = LineStartOf(src, at);
    if (start < at || at == 0)
        return start;
    size_t p = at - 1;
    while (p > 0 && IsBreak(src[p]))
        --p;
    return LineStartOf(src, p);
}

struct Boundary {
    size_t at;
    bool opens; // a cell's or a statement's start
};

// The locators from one container (a table or a script section): lines that lead up to the
// enclosing part, the head's lines, and the head's last line with the tail's first. Where
// the lines just before the part are not distinctive enough, lines further back are taken;
// none of that passes the check: -7.
std::vector<LocatorRecord> Derive(const CString& source, const Range& container,
                                  const std::vector<Boundary>& bounds, size_t key, size_t keyLength,
                                  size_t tailReach, int noPartCode) {
    const std::string& src = source.str();
    const size_t keyEnd = key + keyLength;
    size_t s = npos, u = npos, lead = container.begin;
    for (size_t i = 0; i + 1 < bounds.size(); ++i) {
        if (bounds[i].at < key && bounds[i + 1].at >= keyEnd) {
            s = bounds[i].at;
            u = bounds[i + 1].at;
            for (size_t j = i; j-- > 0;)
                if (bounds[j].opens) {
                    lead = bounds[j].at;
                    break;
                }
            break;
        }
    }
    if (s == npos) {
        if (noPartCode)
            throw LocateError(noPartCode);
        return {};
    }
    auto text = [&](size_t from, size_t to) {
        return CString(src.substr(from, std::min(to, src.size()) - from));
    };
    const std::vector<CString> head = VersionLocator::Lines(text(s, key));
    const std::vector<CString> tail = VersionLocator::Lines(text(keyEnd, u + tailReach));
    const CString value = text(key, keyEnd);

    auto build = [&](size_t leadFrom) {
        std::vector<LocatorRecord> locators;
        for (const CString& line : VersionLocator::Lines(text(leadFrom, s)))
            locators.push_back({line, ""});
        for (size_t i = 0; i + 1 < head.size(); ++i)
            locators.push_back({head[i], ""});
        locators.push_back({head.empty() ? CString() : head.back(), tail.empty() ? CString() : tail.front()});
        return locators;
    };
    std::vector<LocatorRecord> locators = build(lead);
    if (VersionLocator::Isolates(source, locators, value))
        return locators;
    // Widen the lead by whole lines before it, twice as many each time, up to the page's start.
    size_t from = lead;
    for (size_t lines = 1; from > 0; lines *= 2) {
        for (size_t n = 0; n < lines && from > 0; ++n)
            from = StepBackLine(src, from);
        locators = build(from);
        if (VersionLocator::Isolates(source, locators, value))
            return locators;
    }
    throw LocateError(kLocateCheckFailed);
}

} // namespace

CString VersionLocator::Escape(const CString& text) {
    CString escaped = text;
    escaped.Replace("&", "&amp;");
    escaped.Replace(" ", "&nbsp;");
    escaped.Replace("<", "&lt;");
    escaped.Replace(">", "&gt;");
    return escaped;
}

std::vector<CString> VersionLocator::Lines(const CString& text) {
    const std::string& s = text.str();
    std::string separator;
    if (s.find("\r\n", 1) != npos)
        separator = "\r\n";
    else if (s.find('\n') != npos)
        separator = "\n";
    else if (s.find('\r') != npos)
        separator = "\r";
    std::vector<CString> lines;
    auto add = [&](size_t from, size_t to) {
        CString line(s.substr(from, to - from));
        line.Trim();
        if (!line.IsEmpty())
            lines.push_back(line);
    };
    if (separator.empty()) {
        add(0, s.size());
        return lines;
    }
    size_t from = 0;
    for (size_t at; (at = s.find(separator, from)) != npos; from = at + separator.size())
        add(from, at);
    add(from, s.size());
    return lines;
}

bool VersionLocator::Isolates(const CString& source, const std::vector<LocatorRecord>& locators,
                              const CString& value) {
    CString found;
    return RuleEvaluator::ExtractValue(source, locators, "FALSE", found) && found == value;
}

std::vector<LocatorRecord> VersionLocator::Analyse(const CString& source, const CString& version) {
    const std::string& src = source.str();
    if (version.IsEmpty())
        throw LocateError(kLocateNotInSource);
    // The version as the source spells it: plain, or escaped where the page writes entities.
    CString form = version;
    size_t pos = FindOnCharBoundary(src, form.str());
    if (pos == npos || pos == 0) {
        const CString escaped = Escape(version);
        const size_t at = escaped == version ? npos : FindOnCharBoundary(src, escaped.str());
        if (at != npos) {
            form = escaped;
            pos = at;
        }
    }
    if (pos == npos)
        throw LocateError(kLocateNotInSource);
    const size_t length = form.str().size();
    const std::string upper = Upper(source);

    std::vector<LocatorRecord> locators;
    if (auto table = EnclosingSection(upper, "<TABLE", "</TABLE", pos)) {
        std::vector<Boundary> cells;
        for (size_t at : FindAll(upper, "<TD", table->begin, table->end))
            cells.push_back({at, true});
        for (size_t at : FindAll(upper, "</TD", table->begin, table->end))
            cells.push_back({at, false});
        std::sort(cells.begin(), cells.end(),
                  [](const Boundary& a, const Boundary& b) { return a.at < b.at; });
        locators = Derive(source, *table, cells, pos, length, 5, kLocateNotInTable);
    }
    if (locators.empty()) {
        if (auto script = EnclosingSection(upper, "<SCRIPT", "</SCRIPT", pos)) {
            std::vector<Boundary> statements{{script->begin, true}};
            for (size_t at : FindAll(upper, ";", script->begin, script->end))
                statements.push_back({at, true});
            locators = Derive(source, *script, statements, pos, length, 1, 0);
        }
    }
    return locators;
}

bool IsGbCharset(const std::string& charset) {
    for (const char* name : {"GBK", "GB2312", "GB18030", "X-GBK", "CP936", "WINDOWS-936"})
        if (strcasecmp(charset.c_str(), name) == 0)
            return true;
    return false;
}

CString Utf8ToCharset(const std::string& utf8, const std::string& charset) {
    return IsGbCharset(charset) ? Utf8ToGbk(utf8) : CString(utf8);
}

CString CharsetToGbk(const CString& bytes, const std::string& charset) {
    if (strcasecmp(charset.c_str(), "UTF-8") == 0)
        return Utf8ToGbk(bytes.str());
    return bytes;
}

CString VersionTextOf(const FrameSelection& selection) {
    std::string text = selection.text;
    for (size_t at; (at = text.find("\xC2\xA0")) != npos;)
        text.replace(at, 2, " ");
    CString version = Utf8ToCharset(text, selection.charset);
    version.Trim();
    return version;
}

size_t ChooseSelection(const std::vector<FrameSelection>& frames, CString& versionText) {
    for (size_t i = 0; i < frames.size(); ++i) {
        versionText = VersionTextOf(frames[i]);
        if (!versionText.IsEmpty())
            return i;
    }
    throw LocateError(kLocateNoSelection);
}

CString PagePathOf(const CString& url) {
    std::string s = url.str();
    const size_t scheme = s.find("://");
    s = scheme == npos ? (s.size() > 7 ? s.substr(7) : std::string()) : s.substr(scheme + 3);
    const size_t slash = s.find('/');
    s = slash == npos ? std::string("/") : s.substr(slash);
    const size_t fragment = s.find('#');
    if (fragment != npos)
        s.erase(fragment);
    return CString(s);
}
