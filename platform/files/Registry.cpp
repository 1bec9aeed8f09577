#include "platform/files/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

#include "platform/files/FileIo.h"
#include "platform/files/FileLock.h"
#include "platform/host/HostState.h"
#include "platform/text/Hex.h"

// Hive file format, one item per line:
//   corvay-registry 1
//   [escaped key path]
//   escaped value name=type:hex bytes
// Names escape '%', '[', ']', '=' and control bytes as %XX; data is stored as the raw bytes
// the Win32 calls would hand out (strings with their terminating zero, DWORDs little-endian).

namespace platform {
namespace {

constexpr char kHeader[] = "corvay-registry 1";
constexpr size_t kMaxHiveBytes = 64u << 20;


struct Value {
    CString name;
    uint32_t type = 0;
    std::string data;
};

struct Key {
    CString path;
    std::vector<Value> values;
};

struct HiveData {
    std::vector<Key> keys; // in the order they were first written
};

const char* HiveName(Hive hive) {
    switch (hive) {
    case Hive::LocalMachine:
        return "HKLM";
    case Hive::CurrentUser:
        return "HKCU";
    case Hive::ClassesRoot:
        break;
    }
    return "HKCR";
}

std::string HivePath(Hive hive) {
    return RegistryRoot().str() + "/" + HiveName(hive) + ".hive";
}
std::string LockPath(Hive hive) {
    return RegistryRoot().str() + "/" + HiveName(hive) + ".lock";
}

std::string Escape(const CString& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text.str()) {
        if (c < 0x20 || c == 0x7f || c == '%' || c == '[' || c == ']' || c == '=') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> DecodeHex(std::string_view text, bool percent) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (percent && text[i] != '%') {
            out += text[i++];
            continue;
        }
        size_t at = percent ? i + 1 : i;
        if (at + 2 > text.size())
            return std::nullopt;
        int hi = platform::HexDigitValue(text[at]), lo = platform::HexDigitValue(text[at + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i = at + 2;
    }
    return out;
}

std::string EncodeHex(const std::string& bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

// Nullopt when the file exists but is not a hive this code wrote.
std::optional<HiveData> Parse(const std::string& bytes) {
    HiveData hive;
    if (bytes.empty())
        return hive;
    size_t pos = 0;
    bool first = true;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        if (lf == std::string::npos)
            return std::nullopt; // cut short
        std::string_view line(bytes.data() + pos, lf - pos);
        pos = lf + 1;
        if (first) {
            if (line != kHeader)
                return std::nullopt;
            first = false;
            continue;
        }
        if (!line.empty() && line.front() == '[' && line.back() == ']') {
            auto path = DecodeHex(line.substr(1, line.size() - 2), true);
            if (!path)
                return std::nullopt;
            hive.keys.push_back(Key{CString(*path), {}});
            continue;
        }
        size_t eq = line.find('='), colon = line.find(':', eq);
        if (hive.keys.empty() || eq == std::string_view::npos || colon == std::string_view::npos)
            return std::nullopt;
        auto name = DecodeHex(line.substr(0, eq), true);
        auto data = DecodeHex(line.substr(colon + 1), false);
        std::string type(line.substr(eq + 1, colon - eq - 1));
        char* end = nullptr;
        unsigned long typeValue = std::strtoul(type.c_str(), &end, 10);
        if (!name || !data || type.empty() || *end != '\0')
            return std::nullopt;
        hive.keys.back().values.push_back(Value{CString(*name), static_cast<uint32_t>(typeValue), *data});
    }
    return hive;
}

std::string Serialize(const HiveData& hive) {
    std::string out = std::string(kHeader) + "\n";
    for (const Key& key : hive.keys) {
        out += "[" + Escape(key.path) + "]\n";
        for (const Value& v : key.values)
            out += Escape(v.name) + "=" + std::to_string(v.type) + ":" + EncodeHex(v.data) + "\n";
    }
    return out;
}

// The next key separator from 'start'; a GBK trail byte of 0x5C is no separator.
int FindSeparator(const CString& path, int start) {
    const std::string& s = path.str();
    for (size_t i = 0; i < s.size(); i += IsGbkLeadAt(s, i) ? 2 : 1)
        if (static_cast<int>(i) >= start && s[i] == '\\')
            return static_cast<int>(i);
    return -1;
}

CString Normalize(const CString& key) {
    CString path(key);
    path.Trim('\\');
    return path;
}

Key* FindKey(HiveData& hive, const CString& path) {
    for (Key& key : hive.keys)
        if (key.path.CompareNoCase(path) == 0)
            return &key;
    return nullptr;
}

Value* FindValue(Key& key, const CString& name) {
    for (Value& v : key.values)
        if (v.name.CompareNoCase(name) == 0)
            return &v;
    return nullptr;
}

// True when 'path' lies below 'parent' (at any depth).
bool IsBelow(const CString& path, const CString& parent) {
    if (parent.IsEmpty())
        return !path.IsEmpty();
    return path.GetLength() > parent.GetLength() && path[parent.GetLength()] == '\\' &&
           path.Left(parent.GetLength()).CompareNoCase(parent) == 0;
}

Key& CreateKey(HiveData& hive, const CString& path) {
    if (!path.IsEmpty()) {
        // Parents first, as creating a deep key creates every key on its way.
        for (int i = FindSeparator(path, 0); i >= 0; i = FindSeparator(path, i + 1))
            if (!FindKey(hive, path.Left(i)))
                hive.keys.push_back(Key{path.Left(i), {}});
    }
    if (Key* key = FindKey(hive, path))
        return *key;
    hive.keys.push_back(Key{path, {}});
    return hive.keys.back();
}

long LoadHive(Hive hive, HiveData& data) {
    auto bytes = ReadWholeFile(HivePath(hive), kMaxHiveBytes);
    if (!bytes) {
        if (errno == ENOENT)
            return kRegSuccess;
        return kRegAccessDenied;
    }
    auto parsed = Parse(*bytes);
    if (!parsed)
        return kRegInvalidData;
    data = std::move(*parsed);
    return kRegSuccess;
}

// Read-modify-write of one hive under its lock; 'change' returns the call's result and the
// file is rewritten only when it succeeds.
long ChangeHive(Hive hive, const std::function<long(HiveData&)>& change) {
    std::error_code ec;
    std::filesystem::create_directories(RegistryRoot().str(), ec);
    FileLock lock;
    if (!lock.Lock(LockPath(hive), FileLock::kExclusive))
        return kRegAccessDenied;
    HiveData data;
    if (long rc = LoadHive(hive, data); rc != kRegSuccess)
        return rc; // a damaged hive is left for inspection, never overwritten
    long rc = change(data);
    if (rc != kRegSuccess)
        return rc;
    return SaveFileAtomically(HivePath(hive), Serialize(data)) ? kRegSuccess : kRegWriteFault;
}

long SetValue(Hive hive, const CString& key, const CString& name, uint32_t type, std::string bytes) {
    CString path = Normalize(key);
    return ChangeHive(hive, [&](HiveData& data) {
        Key& k = CreateKey(data, path);
        if (Value* v = FindValue(k, name)) {
            v->type = type;
            v->data = std::move(bytes);
        } else {
            k.values.push_back(Value{name, type, std::move(bytes)});
        }
        return kRegSuccess;
    });
}

// A copy of one stored value.
long ReadValue(Hive hive, const CString& key, const CString& name, Value& value) {
    HiveData data;
    if (long rc = LoadHive(hive, data); rc != kRegSuccess)
        return rc;
    Key* k = FindKey(data, Normalize(key));
    Value* v = k ? FindValue(*k, name) : nullptr;
    if (!v)
        return kRegNotFound;
    value = *v;
    return kRegSuccess;
}

// The raw value of one name, checked against the types the caller accepts.
long GetValue(Hive hive, const CString& key, const CString& name, std::initializer_list<uint32_t> types,
              std::string& bytes) {
    Value v;
    if (long rc = ReadValue(hive, key, name, v); rc != kRegSuccess)
        return rc;
    bool accepted = false;
    for (uint32_t t : types)
        accepted = accepted || v.type == t;
    if (!accepted)
        return kRegUnsupportedType;
    bytes = std::move(v.data);
    return kRegSuccess;
}

} // namespace

CString RegistryRoot() {
    if (std::string chosen = host::RegistryRoot().Get(); !chosen.empty())
        return CString(chosen);
    if (const char* env = std::getenv("CORVAY_REGISTRY_ROOT"); env && *env)
        return CString(env);
    if (::geteuid() == 0)
        return CString("/var/lib/corvay/registry");
    const char* home = std::getenv("HOME");
    return CString(std::string(home && *home ? home : "/tmp") + "/.config/corvay/registry");
}

void SetRegistryRoot(const CString& directory) {
    CString root(directory);
    root.TrimRight('/');
    host::RegistryRoot().Set(root.str());
}

long RegSetString(Hive hive, const CString& key, const CString& name, const CString& value) {
    return SetValue(hive, key, name, REG_TYPE_SZ, value.str() + '\0');
}

long RegGetString(Hive hive, const CString& key, const CString& name, CString& value) {
    std::string bytes;
    long rc = GetValue(hive, key, name, {REG_TYPE_SZ, REG_TYPE_EXPAND_SZ}, bytes);
    if (rc == kRegSuccess)
        value = CString(bytes.substr(0, bytes.find('\0')));
    return rc;
}

long RegSetExpandString(Hive hive, const CString& key, const CString& name, const CString& value) {
    return SetValue(hive, key, name, REG_TYPE_EXPAND_SZ, value.str() + '\0');
}

long RegGetValueType(Hive hive, const CString& key, const CString& name, uint32_t& type) {
    Value v;
    long rc = ReadValue(hive, key, name, v);
    if (rc == kRegSuccess)
        type = v.type;
    return rc;
}

long RegSetDword(Hive hive, const CString& key, const CString& name, uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    return SetValue(hive, key, name, REG_TYPE_DWORD, bytes);
}

long RegGetDword(Hive hive, const CString& key, const CString& name, uint32_t& value) {
    std::string bytes;
    long rc = GetValue(hive, key, name, {REG_TYPE_DWORD}, bytes);
    if (rc != kRegSuccess)
        return rc;
    if (bytes.size() != 4)
        return kRegInvalidData;
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return kRegSuccess;
}

long RegSetMultiString(Hive hive, const CString& key, const CString& name, const CStringArray& values) {
    std::string bytes;
    for (const CString& v : values) {
        if (v.IsEmpty())
            return kRegInvalidData; // an empty entry would end the list early
        bytes += v.str() + '\0';
    }
    bytes += '\0';
    return SetValue(hive, key, name, REG_TYPE_MULTI_SZ, bytes);
}

long RegGetMultiString(Hive hive, const CString& key, const CString& name, CStringArray& values) {
    std::string bytes;
    long rc = GetValue(hive, key, name, {REG_TYPE_MULTI_SZ}, bytes);
    if (rc != kRegSuccess)
        return rc;
    values.RemoveAll();
    for (size_t pos = 0; pos < bytes.size();) {
        size_t end = bytes.find('\0', pos);
        if (end == std::string::npos)
            end = bytes.size();
        if (end == pos)
            break;
        values.Add(CString(bytes.substr(pos, end - pos)));
        pos = end + 1;
    }
    return kRegSuccess;
}

long RegSetBinary(Hive hive, const CString& key, const CString& name, const std::string& bytes) {
    return SetValue(hive, key, name, REG_TYPE_BINARY, bytes);
}

long RegGetBinary(Hive hive, const CString& key, const CString& name, std::string& bytes) {
    return GetValue(hive, key, name, {REG_TYPE_BINARY}, bytes);
}

long RegDeleteValue(Hive hive, const CString& key, const CString& name) {
    CString path = Normalize(key);
    return ChangeHive(hive, [&](HiveData& data) {
        Key* k = FindKey(data, path);
        if (!k)
            return kRegNotFound;
        for (auto it = k->values.begin(); it != k->values.end(); ++it) {
            if (it->name.CompareNoCase(name) == 0) {
                k->values.erase(it);
                return kRegSuccess;
            }
        }
        return kRegNotFound;
    });
}

long RegDeleteKey(Hive hive, const CString& key) {
    CString path = Normalize(key);
    if (path.IsEmpty())
        return kRegAccessDenied; // the hive itself cannot go
    return ChangeHive(hive, [&](HiveData& data) {
        if (!FindKey(data, path))
            return kRegNotFound;
        std::erase_if(data.keys,
                      [&](const Key& k) { return k.path.CompareNoCase(path) == 0 || IsBelow(k.path, path); });
        return kRegSuccess;
    });
}

bool RegKeyExists(Hive hive, const CString& key) {
    HiveData data;
    CString path = Normalize(key);
    return LoadHive(hive, data) == kRegSuccess && (path.IsEmpty() || FindKey(data, path));
}

long RegEnumValues(Hive hive, const CString& key, CStringArray& names) {
    HiveData data;
    if (long rc = LoadHive(hive, data); rc != kRegSuccess)
        return rc;
    CString path = Normalize(key);
    Key* k = FindKey(data, path);
    if (!k && !path.IsEmpty())
        return kRegNotFound;
    names.RemoveAll();
    if (k)
        for (const Value& v : k->values)
            names.Add(v.name);
    return kRegSuccess;
}

long RegEnumKeys(Hive hive, const CString& key, CStringArray& names) {
    HiveData data;
    if (long rc = LoadHive(hive, data); rc != kRegSuccess)
        return rc;
    CString path = Normalize(key);
    if (!path.IsEmpty() && !FindKey(data, path))
        return kRegNotFound;
    names.RemoveAll();
    int skip = path.IsEmpty() ? 0 : path.GetLength() + 1;
    for (const Key& k : data.keys) {
        if (!IsBelow(k.path, path))
            continue;
        CString rest = k.path.Mid(skip);
        if (FindSeparator(rest, 0) < 0)
            names.Add(rest);
    }
    return kRegSuccess;
}

} // namespace platform
