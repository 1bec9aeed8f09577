#pragma once
// Ini-file profile calls with the semantics the original's ini files were written under:
// sections and keys match without regard to ASCII case, the first occurrence wins, values are
// trimmed and lose one pair of surrounding quotes, integers read like atoi. A write replaces the
// value in place or appends the key at the end of its section, creating file and section when
// missing; the file is rewritten through a temporary file and a rename, so a failed write leaves
// the old file. Texts are bytes (GBK), passed through unchanged.

#include <cstddef>

#include "platform/text/Arrays.h"
#include "platform/text/CString.h"

namespace platform {

// An ini file larger than this is not read (a profile is a few kilobytes).
constexpr size_t kMaxProfileBytes = 16u << 20;

CString ReadProfileString(const CString& file, const CString& section, const CString& key,
                          const CString& defaultValue);
// The value read like atoi (leading blanks, sign, digits; "12ab" is 12, "ab" is 0); the default
// when the key is missing.
int ReadProfileInt(const CString& file, const CString& section, const CString& key, int defaultValue);
// True when the key is present in the section (its value may be empty).
bool ProfileKeyExists(const CString& file, const CString& section, const CString& key);
// The keys of a section in file order.
CStringArray ReadProfileKeys(const CString& file, const CString& section);

bool WriteProfileString(const CString& file, const CString& section, const CString& key,
                        const CString& value);
bool WriteProfileInt(const CString& file, const CString& section, const CString& key, int value);

} // namespace platform
