#pragma once
// The identity of a network card in every layer (card roles, adapter name, capture binding):
// a name-based GUID of its permanent MAC address, so it survives reboots and renames.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, of the address's first six bytes (a
// longer hardware address keeps its Ethernet part, in every layer alike); empty for no bytes.
std::string CardGuidFromMac(const std::vector<uint8_t>& mac);

} // namespace platform
