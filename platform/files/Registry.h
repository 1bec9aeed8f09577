#pragma once
// A registry store in files under a root directory (one file per hive), standing in for the
// Windows registry: keys are paths like "Software\Tellvane\LAN" matched without regard to ASCII
// case, values are typed, keys are created on write, results are Win32 error codes. The store
// is shared between processes: every call reads or rewrites the hive file under a lock, and a
// rewrite goes through a temporary file and a rename.

#include <cstdint>
#include <string>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

namespace platform {

enum class Hive { LocalMachine, CurrentUser, ClassesRoot };

// Win32 value types and results as the calling code knows them.
enum RegType : uint32_t {
    REG_TYPE_SZ = 1,
    REG_TYPE_EXPAND_SZ = 2,
    REG_TYPE_BINARY = 3,
    REG_TYPE_DWORD = 4,
    REG_TYPE_MULTI_SZ = 7
};
constexpr long kRegSuccess = 0;            // ERROR_SUCCESS
constexpr long kRegNotFound = 2;           // ERROR_FILE_NOT_FOUND
constexpr long kRegAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr long kRegInvalidData = 13;       // ERROR_INVALID_DATA
constexpr long kRegWriteFault = 29;        // ERROR_WRITE_FAULT
constexpr long kRegUnsupportedType = 1630; // ERROR_UNSUPPORTED_TYPE (value exists with another type)

// Root directory of the hive files: $CORVAY_REGISTRY_ROOT, else ~/.config/corvay/registry
// (/var/lib/corvay/registry for root). Tests point it at a temporary directory.
CString RegistryRoot();
void SetRegistryRoot(const CString& directory);

long RegSetString(Hive hive, const CString& key, const CString& name, const CString& value);
// Reads REG_SZ and REG_EXPAND_SZ alike; the expansion is the reader's.
long RegGetString(Hive hive, const CString& key, const CString& name, CString& value);
long RegSetExpandString(Hive hive, const CString& key, const CString& name, const CString& value);
// The type a value was written with.
long RegGetValueType(Hive hive, const CString& key, const CString& name, uint32_t& type);
long RegSetDword(Hive hive, const CString& key, const CString& name, uint32_t value);
long RegGetDword(Hive hive, const CString& key, const CString& name, uint32_t& value);
long RegSetMultiString(Hive hive, const CString& key, const CString& name, const CStringArray& values);
long RegGetMultiString(Hive hive, const CString& key, const CString& name, CStringArray& values);
long RegSetBinary(Hive hive, const CString& key, const CString& name, const std::string& bytes);
long RegGetBinary(Hive hive, const CString& key, const CString& name, std::string& bytes);

long RegDeleteValue(Hive hive, const CString& key, const CString& name);
// Deletes the key with its values and subkeys.
long RegDeleteKey(Hive hive, const CString& key);
bool RegKeyExists(Hive hive, const CString& key);
// Value names and subkey names of a key, in the order they were first written.
long RegEnumValues(Hive hive, const CString& key, CStringArray& names);
long RegEnumKeys(Hive hive, const CString& key, CStringArray& names);

} // namespace platform
