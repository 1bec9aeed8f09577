#include "platform/net/CardGuid.h"

#include <cctype>
#include <cstdio>
#include <uuid/uuid.h>

namespace platform {

namespace {
// Fixed for good: changing it changes every card's GUID and so every stored card role.
constexpr const char* kCardNamespace = "6f1c2a4e-9b3d-4c8e-a1f0-5d7e3b2c9a10";
} // namespace

std::string CardGuidFromMac(const std::vector<uint8_t>& mac) {
    if (mac.empty())
        return {};
    // The name is the address as lower-case text joined by colons ("02:00:5e:10:00:01").
    std::string name;
    for (size_t i = 0; i < mac.size() && i < 6; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, i ? ":%02x" : "%02x", mac[i]);
        name += part;
    }
    uuid_t space, guid;
    uuid_parse(kCardNamespace, space);
    uuid_generate_sha1(guid, space, name.data(), name.size());
    char text[37];
    uuid_unparse_upper(guid, text);
    return "{" + std::string(text) + "}";
}

} // namespace platform
