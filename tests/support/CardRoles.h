#pragma once
// The card roles as the configuration keeps them in the registry store, for tests that set up
// or check which card is the LAN card and which the WAN card.

#include <cstdint>
#include <vector>

#include "platform/files/Registry.h"
#include "platform/net/CardGuid.h"
#include "platform/text/CString.h"

namespace testsupport {

inline CString CardGuid(const std::vector<uint8_t>& mac) {
    return CString(platform::CardGuidFromMac(mac));
}

// role: "LAN" or "WAN".
inline void StoreCardRole(const char* role, const CString& name, const CString& guid) {
    CString key = CString("Software\\Tellvane\\") + role;
    platform::RegSetString(platform::Hive::LocalMachine, key, "Name", name);
    platform::RegSetString(platform::Hive::LocalMachine, key, "Guid", guid);
}

// value: "Name" or "Guid"; "<missing>" when it is not there.
inline CString ReadCardRole(const char* role, const char* value) {
    CString text;
    if (platform::RegGetString(platform::Hive::LocalMachine, CString("Software\\Tellvane\\") + role, value,
                               text) != platform::kRegSuccess)
        return "<missing>";
    return text;
}

inline void ClearCardRoles() {
    platform::RegDeleteKey(platform::Hive::LocalMachine, "Software\\Tellvane");
}

} // namespace testsupport
