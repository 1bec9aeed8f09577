// The items of the template files, the one layout of their entries that both directions walk,
// and the store's file operations.

#include "templates/TemplateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/FileIo.h"
#include "templates/TemplateStore.h"

int TemplateFileReader::ReadInt() {
    if (m_failed || Left() < kTemplateItemSize) {
        m_failed = true;
        return 0;
    }
    std::string_view item = m_data.substr(m_pos, kTemplateItemSize);
    m_pos += kTemplateItemSize;
    size_t i = 0;
    while (i < item.size() && (item[i] == ' ' || (item[i] >= '\t' && item[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < item.size() && (item[i] == '+' || item[i] == '-'))
        negative = item[i++] == '-';
    int value = 0; // at most 8 digits: no overflow
    for (; i < item.size() && item[i] >= '0' && item[i] <= '9'; ++i)
        value = value * 10 + (item[i] - '0');
    return negative ? -value : value;
}

CString TemplateFileReader::ReadString() {
    int length = ReadInt();
    if (m_failed || length < 0 || length > kTemplateStringMax || static_cast<size_t>(length) > Left()) {
        m_failed = true;
        return CString();
    }
    CString text(m_data.data() + m_pos, length);
    m_pos += length;
    return text;
}

int TemplateFileReader::ReadCount(size_t minBytes) {
    int count = ReadInt();
    if (m_failed || count < 0 || static_cast<size_t>(count) * minBytes > Left()) {
        m_failed = true;
        return 0;
    }
    return count;
}

void TemplateFileWriter::WriteInt(int value) {
    if (m_failed)
        return;
    if (value < kTemplateIntMin || value > kTemplateIntMax) {
        m_failed = true;
        return;
    }
    char item[16];
    snprintf(item, sizeof item, "%8d", value);
    m_bytes.append(item, kTemplateItemSize);
}

void TemplateFileWriter::WriteString(const CString& text) {
    if (text.GetLength() > kTemplateStringMax) {
        m_failed = true;
        return;
    }
    WriteInt(text.GetLength());
    if (!m_failed)
        m_bytes += text.str();
}

namespace {

// The fewest bytes each entry can take, so that a count from a damaged file is refused before
// anything is made for it.
constexpr size_t kItem = kTemplateItemSize;
constexpr size_t kPortMin = kItem;
constexpr size_t kStringMin = kItem;
constexpr size_t kGroupMin = kItem + 3 * kItem;
constexpr size_t kPropertyMin = 2 * kItem;
constexpr size_t kLocatorMin = 2 * kItem;
constexpr size_t kRuleMin = 3 * kItem;
constexpr size_t kParameterMin = 4 * kItem + 3 * kItem + kItem;
constexpr size_t kFunctionMin = 2 * kItem;
constexpr size_t kStepMin = 4 * kItem;
constexpr size_t kUploadMin = 4 * kItem;
constexpr size_t kTerminalMin = 4 * kItem + 3 * kItem + kItem;

// Writes the list's size, or reads it and sizes the list to it.
template <class Io, class List> bool ListSize(Io& io, List& list, size_t minBytes) {
    int count = static_cast<int>(list.size());
    if (!io.Count(count, minBytes))
        return false;
    if constexpr (Io::kReading)
        list.resize(count);
    return true;
}

template <class Io, class Array> bool ArraySize(Io& io, Array& array, size_t minBytes) {
    int count = array.GetSize();
    if (!io.Count(count, minBytes))
        return false;
    if constexpr (Io::kReading)
        array.SetSize(count);
    return true;
}

template <class Io, class Array> bool ArrayStrings(Io& io, Array& array) {
    for (auto& text : array)
        if (!io.String(text))
            return false;
    return true;
}

// A list of owned records; the reader makes each record before reading it.
template <class Io, class List, class Items>
bool OwnedItems(Io& io, List& list, size_t minBytes, Items items) {
    if (!ListSize(io, list, minBytes))
        return false;
    for (auto& record : list) {
        if constexpr (Io::kReading)
            record = std::make_unique<typename List::value_type::element_type>();
        if (!items(io, *record))
            return false;
    }
    return true;
}

template <class Io> bool HeaderItem(Io& io, const char* header) {
    if constexpr (Io::kReading) {
        CString text;
        return io.String(text) && (text == header || io.Fail());
    } else {
        return io.String(header);
    }
}

template <class Io, class Locator> bool LocatorItems(Io& io, Locator& locator) {
    return io.String(locator.head) && io.String(locator.tail);
}

template <class Io, class Parameter> bool ParameterItems(Io& io, Parameter& p) {
    if (!(io.String(p.name) && io.String(p.page) && io.String(p.keyFlag) && io.String(p.arraySpec)))
        return false;
    // The three counts stand before the lists.
    if (!(ListSize(io, p.localLocators, kLocatorMin) && ListSize(io, p.englishLocators, kLocatorMin) &&
          ListSize(io, p.rules, kRuleMin)))
        return false;
    for (auto& locator : p.localLocators)
        if (!LocatorItems(io, locator))
            return false;
    for (auto& locator : p.englishLocators)
        if (!LocatorItems(io, locator))
            return false;
    if (!io.String(p.joinWord))
        return false;
    for (auto& rule : p.rules)
        if (!(io.String(rule.op) && io.String(rule.setValue) && io.Int(rule.code)))
            return false;
    return true;
}

template <class Io, class Function> bool FunctionItems(Io& io, Function& f) {
    if (!io.String(f.name))
        return false;
    int steps = f.urls.GetSize();
    if constexpr (!Io::kReading) {
        if (f.methods.GetSize() != steps || f.postData.GetSize() != steps || f.headers.GetSize() != steps)
            return io.Fail();
    }
    if (!io.Count(steps, kStepMin))
        return false;
    if constexpr (Io::kReading) {
        f.urls.SetSize(steps);
        f.headers.SetSize(steps);
        f.methods.SetSize(steps);
        f.postData.SetSize(steps);
    }
    // Headers stand second in the file.
    for (int i = 0; i < steps; ++i)
        if (!(io.String(f.urls.GetData()[i]) && io.String(f.headers.GetData()[i]) &&
              io.String(f.methods.GetData()[i]) && io.String(f.postData.GetData()[i])))
            return false;
    return true;
}

template <class Io, class Upload> bool UploadItems(Io& io, Upload& u) {
    return io.String(u.name) && io.String(u.page) && io.String(u.action) && io.String(u.fieldName);
}

template <class Io, class Properties> bool PropertyItems(Io& io, Properties& properties) {
    int count = static_cast<int>(properties.size());
    if (!io.Count(count, kPropertyMin))
        return false;
    if constexpr (Io::kReading) {
        for (int i = 0; i < count; ++i) {
            CString key, value;
            if (!(io.String(key) && io.String(value)))
                return false;
            properties[key] = value; // a repeated key keeps the last value
        }
    } else {
        for (const auto& [key, value] : properties)
            if (!(io.String(key) && io.String(value)))
                return false;
    }
    return true;
}

template <class Io, class Terminal> bool TerminalItems(Io& io, Terminal& t) {
    return io.String(t.id) && io.String(t.name) && io.String(t.authKind) && io.String(t.https) &&
           PropertyItems(io, t.properties) &&
           OwnedItems(io, t.parameters, kParameterMin,
                      [](Io& io, auto& p) { return ParameterItems(io, p); }) &&
           OwnedItems(io, t.functions, kFunctionMin, [](Io& io, auto& f) { return FunctionItems(io, f); }) &&
           OwnedItems(io, t.uploadFunctions, kUploadMin,
                      [](Io& io, auto& u) { return UploadItems(io, u); }) &&
           io.String(t.downloadUrl);
}

template <class Io, class Group> bool GroupItems(Io& io, Group& g) {
    if (!io.String(g.name))
        return false;
    if (!(ArraySize(io, g.ports, kPortMin) && ArraySize(io, g.accounts, kStringMin) &&
          ArraySize(io, g.terminalIds, kStringMin)))
        return false;
    // Ports are kept as text and stored as integers; a text that is no number is stored as 0.
    for (auto& port : g.ports) {
        if constexpr (Io::kReading) {
            int value = 0;
            if (!io.Int(value))
                return false;
            port.Format("%d", value);
        } else {
            long long value = strtoll(port, nullptr, 10);
            if (value < kTemplateIntMin || value > kTemplateIntMax)
                return io.Fail();
            if (!io.Int(static_cast<int>(value)))
                return false;
        }
    }
    return ArrayStrings(io, g.accounts) && ArrayStrings(io, g.terminalIds);
}

template <class Io, class Groups, class Terminals>
bool StoreItems(Io& io, Groups& groups, Terminals& terminals) {
    // Both counts stand before the groups.
    if (!(HeaderItem(io, kTerminalFileHeader) && ListSize(io, groups, kGroupMin) &&
          ListSize(io, terminals, kTerminalMin)))
        return false;
    for (auto& group : groups) {
        if constexpr (Io::kReading)
            group = std::make_unique<GroupRecord>();
        if (!GroupItems(io, *group))
            return false;
    }
    for (auto& terminal : terminals) {
        if constexpr (Io::kReading)
            terminal = std::make_unique<TerminalRecord>();
        if (!TerminalItems(io, *terminal))
            return false;
    }
    return true;
}

// Neither file is ever near this; a FIFO or a device named by mistake fails at once.
constexpr size_t kMaxTemplateFileBytes = 64u << 20;

bool ReadWholeFile(const CString& path, std::string& bytes) {
    auto content = platform::ReadWholeFile(path.str(), kMaxTemplateFileBytes);
    if (!content)
        return false;
    bytes = std::move(*content);
    return true;
}

bool ReplaceFile(const CString& path, const std::string& bytes) {
    return !path.IsEmpty() && platform::SaveFileAtomically(path.str(), bytes);
}

} // namespace

int TemplateStore::ReadInt(TemplateFileReader& file) {
    return file.ReadInt();
}

CString TemplateStore::ReadString(TemplateFileReader& file) {
    return file.ReadString();
}

std::unique_ptr<TerminalRecord> TemplateStore::ReadTerminalRecord(TemplateFileReader& file) {
    auto terminal = std::make_unique<TerminalRecord>();
    if (!TerminalItems(file, *terminal))
        return nullptr;
    return terminal;
}

void TemplateStore::WriteInt(TemplateFileWriter& file, int value) {
    file.WriteInt(value);
}

void TemplateStore::WriteString(TemplateFileWriter& file, const CString& text) {
    file.WriteString(text);
}

void TemplateStore::WriteTerminalRecord(TemplateFileWriter& file, const TerminalRecord& terminal) {
    TerminalItems(file, terminal);
}

int TemplateStore::Failed(const CString& path, LoadFailure why) {
    std::lock_guard lock(m_failureLock);
    m_failure = why;
    m_failedPath = path;
    return 0;
}

TemplateStore::LoadFailure TemplateStore::GetLoadFailure(CString* path) const {
    std::lock_guard lock(m_failureLock);
    if (path)
        *path = m_failedPath;
    return m_failure;
}

int TemplateStore::Load(const CString& path) {
    if (int loaded = m_loaded.load())
        return loaded;
    const CString file = path.IsEmpty() ? m_path : path;
    std::string bytes;
    if (!ReadWholeFile(file, bytes)) {
        const int error = errno;
        return Failed(file, error == ENOENT || error == ENOTDIR ? kMissing : kUnreadable);
    }
    // A header item that reads whole but says something else: another kind or version of file.
    TemplateFileReader header(bytes);
    if (header.ReadString() != kTerminalFileHeader && !header.Failed())
        return Failed(file, kHeader);
    // Built aside, so that a damaged file changes nothing and readers wait only for the swap.
    GroupList groups;
    TerminalList terminals;
    TemplateFileReader reader(bytes);
    if (!StoreItems(reader, groups, terminals))
        return Failed(file, kDamaged);
    std::unique_lock lock(m_lock);
    // Another thread's load may have come first; the store holds its file then.
    if (int loaded = m_loaded.load())
        return loaded;
    m_groups.swap(groups);
    m_terminals.swap(terminals);
    BuildParameterIndexLocked();
    ++m_generation;
    m_loaded = 1;
    Failed(file, kNone);
    return 1;
}

int TemplateStore::Save(const CString& path) const {
    std::shared_lock lock(m_lock);
    TemplateFileWriter writer;
    if (!StoreItems(writer, m_groups, m_terminals))
        return 0;
    return ReplaceFile(path.IsEmpty() ? m_path : path, writer.Bytes()) ? 1 : 0;
}

int TemplateStore::ExportTerminal(const CString& path, const TerminalRecord& terminal) const {
    TemplateFileWriter writer;
    if (!(HeaderItem(writer, kDeviceFileHeader) && TerminalItems(writer, terminal)))
        return 0;
    return ReplaceFile(path, writer.Bytes()) ? 1 : 0;
}

std::unique_ptr<TerminalRecord> TemplateStore::ImportTerminal(const CString& path) const {
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return nullptr;
    TemplateFileReader reader(bytes);
    if (!HeaderItem(reader, kDeviceFileHeader))
        return nullptr;
    return ReadTerminalRecord(reader);
}
