#include "platform/files/Profile.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileIo.h"

namespace platform {
namespace {

// Serialises read-modify-write of every profile of the process.
std::mutex g_writeMutex;

struct Line {
    std::string raw; // without its line end
    std::string end; // "\r\n", "\n", or nothing on a last line without one; written back as read
    enum Kind { kOther, kSection, kEntry } kind = kOther;
    CString name;  // section name or key, trimmed
    CString value; // entry value, trimmed and unquoted
};

struct Document {
    std::vector<Line> lines;
    std::string eol = "\r\n"; // for lines the writer adds
};

// A CR counts as a blank: a line reads the same whether or not a line end follows it, and
// stray CRs from an editor do not become part of names or values.
constexpr char kBlanks[] = " \t\r";

CString Trimmed(std::string_view text) {
    CString s{std::string(text)};
    s.Trim(kBlanks);
    return s;
}

// The position of the first ']' that is not the trail byte of a GBK character.
size_t FindBracket(const std::string& text) {
    for (size_t i = 0; i < text.size(); i += IsGbkLeadAt(text, i) ? 2 : 1)
        if (text[i] == ']')
            return i;
    return std::string::npos;
}

Line ParseLine(std::string raw) {
    Line line;
    line.raw = std::move(raw);
    std::string_view t(line.raw);
    size_t start = t.find_first_not_of(kBlanks);
    if (start == std::string_view::npos)
        return line;
    t.remove_prefix(start);
    if (t[0] == '[') {
        size_t close = FindBracket(std::string(t.substr(1)));
        line.kind = Line::kSection;
        line.name = Trimmed(t.substr(1, close));
        return line;
    }
    if (t[0] == ';')
        return line;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return line;
    line.kind = Line::kEntry;
    line.name = Trimmed(t.substr(0, eq));
    CString value = Trimmed(t.substr(eq + 1));
    int n = value.GetLength();
    if (n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0])
        value = value.Mid(1, n - 2);
    line.value = value;
    return line;
}

// A missing file reads as empty; nullopt when the file is there but cannot be read.
std::optional<Document> TryLoad(const CString& file) {
    Document doc;
    std::optional<std::string> read = ReadWholeFile(file.str(), kMaxProfileBytes);
    if (!read)
        return errno == ENOENT ? std::optional<Document>(doc) : std::nullopt;
    const std::string& bytes = *read;
    if (bytes.empty())
        return doc;
    size_t firstLf = bytes.find('\n');
    if (firstLf != std::string::npos && (firstLf == 0 || bytes[firstLf - 1] != '\r'))
        doc.eol.assign(1, '\n');
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        size_t end = lf == std::string::npos ? bytes.size() : lf;
        std::string raw = bytes.substr(pos, end - pos);
        std::string ending;
        if (lf != std::string::npos) {
            ending = "\n";
            if (!raw.empty() && raw.back() == '\r') {
                raw.pop_back();
                ending = "\r\n";
            }
        }
        doc.lines.push_back(ParseLine(std::move(raw)));
        doc.lines.back().end = std::move(ending);
        pos = end + 1;
    }
    return doc;
}

Document Load(const CString& file) {
    return TryLoad(file).value_or(Document());
}

// Index of the first line of the first matching section, or nullopt.
std::optional<size_t> FindSection(const Document& doc, const CString& section) {
    for (size_t i = 0; i < doc.lines.size(); ++i)
        if (doc.lines[i].kind == Line::kSection && doc.lines[i].name.CompareNoCase(section) == 0)
            return i;
    return std::nullopt;
}

// One past the last line of the section that starts at 'header'.
size_t SectionEnd(const Document& doc, size_t header) {
    size_t i = header + 1;
    while (i < doc.lines.size() && doc.lines[i].kind != Line::kSection)
        ++i;
    return i;
}

const Line* FindEntry(const Document& doc, const CString& section, const CString& key) {
    auto header = FindSection(doc, section);
    if (!header)
        return nullptr;
    for (size_t i = *header + 1, end = SectionEnd(doc, *header); i < end; ++i)
        if (doc.lines[i].kind == Line::kEntry && doc.lines[i].name.CompareNoCase(key) == 0)
            return &doc.lines[i];
    return nullptr;
}

bool HasLineBreak(const CString& text) {
    return text.FindOneOf("\r\n") >= 0;
}

} // namespace

CString ReadProfileString(const CString& file, const CString& section, const CString& key,
                          const CString& defaultValue) {
    Document doc = Load(file);
    const Line* entry = FindEntry(doc, section, key);
    return entry ? entry->value : defaultValue;
}

int ReadProfileInt(const CString& file, const CString& section, const CString& key, int defaultValue) {
    Document doc = Load(file);
    const Line* entry = FindEntry(doc, section, key);
    if (!entry || entry->value.IsEmpty())
        return defaultValue;
    return std::atoi(entry->value);
}

bool ProfileKeyExists(const CString& file, const CString& section, const CString& key) {
    Document doc = Load(file);
    return FindEntry(doc, section, key) != nullptr;
}

CStringArray ReadProfileKeys(const CString& file, const CString& section) {
    Document doc = Load(file);
    CStringArray keys;
    auto header = FindSection(doc, section);
    if (!header)
        return keys;
    for (size_t i = *header + 1, end = SectionEnd(doc, *header); i < end; ++i) {
        if (doc.lines[i].kind != Line::kEntry)
            continue;
        bool seen = false;
        for (const CString& k : keys)
            seen = seen || k.CompareNoCase(doc.lines[i].name) == 0;
        if (!seen)
            keys.Add(doc.lines[i].name);
    }
    return keys;
}

bool WriteProfileString(const CString& file, const CString& section, const CString& key,
                        const CString& value) {
    // A line break or a stray delimiter would make the text read back as other keys.
    if (section.IsEmpty() || key.IsEmpty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || FindBracket(section.str()) != std::string::npos || key.Find('=') >= 0)
        return false;
    std::lock_guard lock(g_writeMutex);
    // Rewriting a file that could not be read would lose every other key in it.
    std::optional<Document> loaded = TryLoad(file);
    if (!loaded)
        return false;
    Document& doc = *loaded;
    std::string entryText = key.str() + "=" + value.str();
    auto header = FindSection(doc, section);
    auto added = [&doc](std::string raw) {
        Line line = ParseLine(std::move(raw));
        line.end = doc.eol;
        return line;
    };
    if (!header) {
        doc.lines.push_back(added("[" + section.str() + "]"));
        doc.lines.push_back(added(entryText));
    } else {
        size_t end = SectionEnd(doc, *header);
        bool replaced = false;
        for (size_t i = *header + 1; i < end && !replaced; ++i) {
            Line& line = doc.lines[i];
            if (line.kind == Line::kEntry && line.name.CompareNoCase(key) == 0) {
                std::string ending = std::move(line.end);
                line = ParseLine(line.name.str() + "=" + value.str());
                line.end = std::move(ending);
                replaced = true;
            }
        }
        if (!replaced) {
            // After the section's last non-blank line, so blank lines keep separating sections.
            size_t at = end;
            while (at > *header + 1 && Trimmed(doc.lines[at - 1].raw).IsEmpty())
                --at;
            doc.lines.insert(doc.lines.begin() + static_cast<long>(at), added(entryText));
        }
    }
    // Every line keeps its own line end; one that lacked it and is no longer last takes the file's.
    std::string bytes;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        bool needsEnd = line.end.empty() && i + 1 < doc.lines.size();
        bytes += line.raw + (needsEnd ? doc.eol : line.end);
    }
    return SaveFileAtomically(file.str(), bytes);
}

bool WriteProfileInt(const CString& file, const CString& section, const CString& key, int value) {
    CString text;
    text.Format("%d", value);
    return WriteProfileString(file, section, key, text);
}

} // namespace platform
