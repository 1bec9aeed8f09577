// A profile XML from a file anyone may have written: read or refused, and a profile read is
// written back as XML that reads as the same profile.

#include <cstdlib>

#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanProfile.h"

using platform::WlanProfile;

static bool Same(const WlanProfile& a, const WlanProfile& b) {
    return a.name == b.name && a.ssid == b.ssid && a.autoConnect == b.autoConnect &&
           a.authentication == b.authentication && a.encryption == b.encryption && a.useOneX == b.useOneX &&
           a.keyType == b.keyType && a.keyMaterial == b.keyMaterial && a.keyIndex == b.keyIndex;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::optional<WlanProfile> profile = platform::ReadWlanProfileXml(platform::Utf8ToUtf16(bytes));
    if (!profile)
        return 0;
    platform::NetworkSettingsOf(*profile);
    std::optional<WlanProfile> again = platform::ReadWlanProfileXml(platform::BuildWlanProfileXml(*profile));
    if (!again || !Same(*profile, *again))
        abort();
    return 0;
}
