#include "wireless/WlanProfileXml.h"

#include <utility>

#include "platform/wifi/WideText.h"

const char* const kWlanProfileNamespace = "urn:corvay:wlan:profile:v1";

namespace {

CString EscapeMarkup(CString text) {
    text.Replace("&", "&amp;");
    text.Replace("<", "&lt;");
    text.Replace(">", "&gt;");
    return text;
}

// The text between the first opening and closing tag of that element; empty when absent.
CString ElementText(const CString& xml, const char* element) {
    CString open = CString("<") + element + ">", close = CString("</") + element + ">";
    int start = xml.Find(open);
    if (start < 0)
        return CString();
    start += open.GetLength();
    int end = xml.Find(close, start);
    return end < 0 ? CString() : xml.Mid(start, end - start);
}

template <size_t N> int Lookup(CString text, const std::pair<const char*, int> (&table)[N]) {
    text.MakeUpper();
    for (const auto& [spelling, value] : table)
        if (text == spelling)
            return value;
    return 0;
}

} // namespace

std::u16string BuildWlanProfileXml(const WifiSettings& settings) {
    CString name = EscapeMarkup(settings.networkName);
    name.Replace("\r\n", "<br/>");
    const CString key = EscapeMarkup(settings.key);

    CString xml;
    xml += "<?xml version=\"1.0\"?>\n";
    xml += CString("<WLANProfile xmlns=\"") + kWlanProfileNamespace + "\">\n";
    xml += "<name>" + name + "</name>\n";
    xml += "<SSIDConfig>\n";
    xml += "    <SSID>\n";
    xml += "        <name>" + name + "</name>\n";
    xml += "    </SSID>\n";
    xml += "</SSIDConfig>\n";
    xml += "<connectionType>ESS</connectionType>\n";
    xml += "<connectionMode>auto</connectionMode>\n";
    xml += "<autoSwitch>false</autoSwitch>\n";
    xml += "<MSM>\n";
    xml += "    <security>\n";

    const char* authentication = nullptr;
    const char* encryption = nullptr;
    switch (settings.security) {
    case 0:
        authentication = "open", encryption = "none";
        break;
    case 1:
        authentication = "open", encryption = "WEP";
        break;
    case 2:
        authentication = "WPAPSK", encryption = "TKIP";
        break;
    case 3:
        authentication = "WPA2PSK", encryption = "TKIP";
        break;
    default:
        break; // no security block
    }
    if (authentication) {
        xml += "        <authEncryption>\n";
        xml += CString("            <authentication>") + authentication + "</authentication>\n";
        xml += CString("            <encryption>") + encryption + "</encryption>\n";
        xml += "            <useOneX>false</useOneX>\n";
        xml += "        </authEncryption>\n";
    }
    if (settings.security >= 1 && settings.security <= 3) {
        xml += "\t\t<sharedKey>\n";
        xml += settings.security == 1 ? "\t\t\t<keyType>networkKey</keyType>\n"
                                      : "\t\t\t<keyType>passPhrase</keyType>\n";
        xml += "\t\t\t<protected>false</protected>\n";
        xml += "\t\t\t<keyMaterial>" + key + "</keyMaterial>\n";
        xml += "\t\t</sharedKey>\n";
        if (settings.security == 1)
            xml += "\t\t<keyIndex>0</keyIndex>\n";
    }

    xml += "    </security>\n";
    xml += "</MSM>\n";
    xml += "</WLANProfile>\n";
    return platform::WideFromGbk(xml.str());
}

WlanProfileSecurity ReadProfileSecurity(const CString& name, const std::u16string& xml) {
    // The spellings with underscores, and the schema's own.
    static const std::pair<const char*, int> kAuthentications[] = {
        {"OPEN", 1},   {"SHARE", 2}, {"SHARED", 2},   {"WPA", 3},     {"WPA_PSK", 4},
        {"WPAPSK", 4}, {"WPA2", 6},  {"WPA2_PSK", 7}, {"WPA2PSK", 7},
    };
    static const std::pair<const char*, int> kCiphers[] = {{"NONE", 0}, {"WEP", 1}, {"TKIP", 2}, {"AES", 4}};

    CString text(platform::GbkFromWide(xml));
    WlanProfileSecurity security;
    security.name = name;
    security.authentication = Lookup(ElementText(text, "authentication"), kAuthentications);
    security.cipher = Lookup(ElementText(text, "encryption"), kCiphers);
    CString oneX = ElementText(text, "useOneX");
    oneX.MakeUpper();
    security.usesOneX = oneX == "TRUE";
    return security;
}
