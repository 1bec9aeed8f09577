#pragma once
// The panel's Wi-Fi settings, the WLAN profile written from them, and what a stored profile
// says about its security.

#include <string>

#include "platform/text/CString.h"

struct WifiSettings {
    CString networkName; // the SSID, also the profile name (GBK)
    int security = 0;    // 0 none, 1 WEP, 2 WPA, 3 WPA2
    CString key;         // WEP key or pass phrase; unused for security 0
};

struct WlanProfileSecurity {
    CString name;
    int authentication = 0; // 1 open, 2 shared key, 3 WPA, 4 WPA-PSK, 6 RSNA, 7 RSNA-PSK; 0 unknown
    int cipher = 0;         // 0 none, 1 WEP, 2 TKIP, 4 AES
    CString key;            // left empty
    bool usesOneX = false;
};

// The namespace of the profile schema, version 1.
extern const char* const kWlanProfileNamespace;

// The profile XML (UTF-16, "\n" line ends). Name and key are escaped; a line break in the name
// is written as "<br/>".
std::u16string BuildWlanProfileXml(const WifiSettings& settings);

// The security a profile's XML states, under the given name.
WlanProfileSecurity ReadProfileSecurity(const CString& name, const std::u16string& xml);
