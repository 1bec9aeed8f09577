#include "platform/wifi/WlanProfile.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "platform/wifi/WideText.h"
#include "platform/wifi/WpaText.h"

namespace platform {

namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool AppendCodePoint(std::string& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        return false;
    std::u16string wide;
    if (code >= 0x10000) {
        wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
        wide += static_cast<char16_t>(code);
    }
    out += Utf16ToUtf8(wide);
    return true;
}

// Text with its entities and character references decoded; false for an unknown or broken one.
bool DecodeEntities(const std::string& text, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        size_t semicolon = text.find(';', i);
        if (semicolon == std::string::npos)
            return false;
        std::string entity = text.substr(i + 1, semicolon - i - 1);
        static const std::map<std::string, char> kNamed = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        if (auto named = kNamed.find(entity); named != kNamed.end()) {
            out += named->second;
        } else if (entity.size() > 1 && entity[0] == '#') {
            bool hex = entity[1] == 'x' || entity[1] == 'X';
            std::string digits = entity.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
                return false;
            if (!AppendCodePoint(out, std::stoul(digits, nullptr, hex ? 16 : 10)))
                return false;
        } else {
            return false;
        }
        i = semicolon;
    }
    return true;
}

// The text of the wanted elements by their path ("WLANProfile/SSIDConfig/SSID/name"); the
// first of each path counts. False for anything that is no well-formed document. One path is
// kept, grown and cut as elements open and close, so depth costs nothing but its own length.
bool ReadElements(const std::string& xml, const std::set<std::string>& wanted,
                  std::map<std::string, std::string>& values) {
    std::string path, text;
    std::vector<size_t> starts; // where each open element's name begins in the path
    bool rootSeen = false;
    for (size_t i = 0; i < xml.size();) {
        if (xml[i] != '<') {
            size_t next = xml.find('<', i);
            std::string raw = xml.substr(i, next == std::string::npos ? std::string::npos : next - i);
            if (starts.empty()) {
                if (raw.find_first_not_of(" \t\r\n\xEF\xBB\xBF") != std::string::npos)
                    return false; // text outside the root
            } else if (!DecodeEntities(raw, text)) {
                return false;
            }
            if (next == std::string::npos)
                break;
            i = next;
            continue;
        }
        if (xml.compare(i, 4, "<!--") == 0) {
            size_t end = xml.find("-->", i + 4);
            if (end == std::string::npos)
                return false;
            i = end + 3;
            continue;
        }
        if (xml.compare(i, 2, "<?") == 0) {
            size_t end = xml.find("?>", i + 2);
            if (end == std::string::npos)
                return false;
            i = end + 2;
            continue;
        }
        size_t end = xml.find('>', i);
        if (end == std::string::npos)
            return false;
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty() || tag[0] == '!')
            return false;
        bool closing = tag[0] == '/';
        bool empty = !closing && tag.back() == '/';
        std::string body = tag.substr(closing ? 1 : 0, tag.size() - (closing ? 1 : 0) - (empty ? 1 : 0));
        std::string name = body.substr(0, body.find_first_of(" \t\r\n"));
        if (name.empty())
            return false;
        if (closing) {
            if (starts.empty() || path.compare(starts.back(), std::string::npos, name) != 0)
                return false;
            if (wanted.count(path))
                values.emplace(path, text);
            text.clear();
            path.resize(starts.back() == 0 ? 0 : starts.back() - 1);
            starts.pop_back();
        } else if (empty) {
            if (starts.empty())
                return false;
            // The library writes a line break of a name as "<br/>".
            if (name == "br")
                text += "\r\n";
        } else {
            if (starts.empty()) {
                if (rootSeen)
                    return false;
                rootSeen = true;
            } else {
                path += '/';
            }
            starts.push_back(path.size());
            path += name;
            text.clear();
        }
    }
    return rootSeen && starts.empty();
}

bool IsPrintableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool IsHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string EscapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<WlanProfile> ReadWlanProfileXml(const std::u16string& xml) {
    bool valid = true;
    std::string utf8 = Utf16ToUtf8(xml, &valid);
    static const std::set<std::string> kRead = [] {
        std::set<std::string> paths;
        for (const char* path :
             {"name", "SSIDConfig/SSID/hex", "SSIDConfig/SSID/name", "connectionMode",
              "MSM/security/authEncryption/authentication", "MSM/security/authEncryption/encryption",
              "MSM/security/authEncryption/useOneX", "MSM/security/sharedKey/keyType",
              "MSM/security/sharedKey/keyMaterial", "MSM/security/keyIndex"})
            paths.insert(std::string("WLANProfile/") + path);
        return paths;
    }();
    std::map<std::string, std::string> values;
    if (!valid || !ReadElements(utf8, kRead, values))
        return std::nullopt;
    auto value = [&](const std::string& path) -> const std::string* {
        auto found = values.find("WLANProfile/" + path);
        return found == values.end() ? nullptr : &found->second;
    };
    WlanProfile profile;
    const std::string* name = value("name");
    if (!name || name->empty())
        return std::nullopt;
    profile.name = *name;
    if (const std::string* hex = value("SSIDConfig/SSID/hex")) {
        std::optional<std::string> bytes = BytesOfHex(*hex);
        if (!bytes)
            return std::nullopt;
        profile.ssid = *bytes;
    } else if (const std::string* ssid = value("SSIDConfig/SSID/name")) {
        profile.ssid = GbkFromWide(Utf8ToUtf16(*ssid));
    }
    if (profile.ssid.empty() || profile.ssid.size() > 32)
        return std::nullopt;
    if (const std::string* mode = value("connectionMode"))
        profile.autoConnect = !EqualsNoCase(*mode, "manual");
    const std::string security = "MSM/security/";
    if (const std::string* authentication = value(security + "authEncryption/authentication"))
        profile.authentication = *authentication;
    if (const std::string* encryption = value(security + "authEncryption/encryption"))
        profile.encryption = *encryption;
    if (const std::string* oneX = value(security + "authEncryption/useOneX"))
        profile.useOneX = EqualsNoCase(*oneX, "true");
    if (const std::string* keyType = value(security + "sharedKey/keyType"))
        profile.keyType = *keyType;
    if (const std::string* key = value(security + "sharedKey/keyMaterial"))
        profile.keyMaterial = *key;
    if (const std::string* index = value(security + "keyIndex")) {
        if (index->size() != 1 || (*index)[0] < '0' || (*index)[0] > '3')
            return std::nullopt;
        profile.keyIndex = (*index)[0] - '0';
    }
    if (!NetworkSettingsOf(profile))
        return std::nullopt;
    return profile;
}

std::optional<NetworkSettings> NetworkSettingsOf(const WlanProfile& profile) {
    NetworkSettings settings = {{"ssid", HexOf(profile.ssid)}};
    const std::string& auth = profile.authentication;
    const std::string& cipher = profile.encryption;
    bool open = EqualsNoCase(auth, "open"), shared = EqualsNoCase(auth, "shared");
    bool wpaPsk = EqualsNoCase(auth, "WPAPSK"), rsnPsk = EqualsNoCase(auth, "WPA2PSK");
    bool wpa = EqualsNoCase(auth, "WPA"), rsn = EqualsNoCase(auth, "WPA2");
    if (open || shared) {
        settings.push_back({"key_mgmt", profile.useOneX ? "IEEE8021X" : "NONE"});
        if (shared)
            settings.push_back({"auth_alg", "SHARED"});
        if (EqualsNoCase(cipher, "WEP")) {
            const std::string& key = profile.keyMaterial;
            std::string slot = "wep_key" + std::to_string(profile.keyIndex);
            if ((key.size() == 10 || key.size() == 26 || key.size() == 32) && IsHex(key))
                settings.push_back({slot, key});
            else if ((key.size() == 5 || key.size() == 13 || key.size() == 16) && IsPrintableAscii(key))
                settings.push_back({slot, Quoted(key)});
            else if (!profile.useOneX || !key.empty())
                return std::nullopt; // no WEP key length
            settings.push_back({"wep_tx_keyidx", std::to_string(profile.keyIndex)});
        } else if (!EqualsNoCase(cipher, "none") || shared) {
            return std::nullopt;
        }
    } else if (wpaPsk || rsnPsk || wpa || rsn) {
        std::string suite = EqualsNoCase(cipher, "TKIP") ? "TKIP" : EqualsNoCase(cipher, "AES") ? "CCMP" : "";
        if (suite.empty())
            return std::nullopt;
        settings.push_back({"key_mgmt", wpaPsk || rsnPsk ? "WPA-PSK" : "WPA-EAP"});
        settings.push_back({"proto", wpaPsk || wpa ? "WPA" : "RSN"});
        settings.push_back({"pairwise", suite});
        settings.push_back({"group", suite});
        if (wpaPsk || rsnPsk) {
            const std::string& key = profile.keyMaterial;
            if (key.size() == 64 && IsHex(key))
                settings.push_back({"psk", key});
            else if (IsPrintableAscii(key))
                settings.push_back({"psk", Quoted(key)}); // the supplicant judges its length
            else
                return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    settings.push_back({"id_str", Quoted(HexOf(profile.name))});
    return settings;
}

WlanProfile ProfileOfNetwork(const std::string& name, const std::string& ssid,
                             const std::string& keyManagement, const std::string& proto,
                             const std::string& pairwise, const std::string& authAlg, bool hasWepKey,
                             bool enabled) {
    WlanProfile profile;
    profile.name = name;
    profile.ssid = ssid;
    profile.autoConnect = enabled;
    bool rsn = proto.find("RSN") != std::string::npos || proto.find("WPA2") != std::string::npos;
    std::string cipher = pairwise.find("CCMP") != std::string::npos ? "AES" : "TKIP";
    if (keyManagement.find("WPA-PSK") != std::string::npos) {
        profile.authentication = rsn ? "WPA2PSK" : "WPAPSK";
        profile.encryption = cipher;
        profile.keyType = "passPhrase";
    } else if (keyManagement.find("WPA-EAP") != std::string::npos) {
        profile.authentication = rsn ? "WPA2" : "WPA";
        profile.encryption = cipher;
        profile.useOneX = true;
    } else {
        profile.authentication = authAlg.find("SHARED") != std::string::npos ? "shared" : "open";
        profile.encryption = hasWepKey ? "WEP" : "none";
        profile.useOneX = keyManagement.find("IEEE8021X") != std::string::npos;
        if (hasWepKey)
            profile.keyType = "networkKey";
    }
    return profile;
}

std::u16string BuildWlanProfileXml(const WlanProfile& profile) {
    std::string name = EscapeXml(profile.name);
    std::string ssid = EscapeXml(Utf16ToUtf8(WideFromGbk(profile.ssid)));
    std::string xml = "<?xml version=\"1.0\"?>\n"
                      "<WLANProfile>\n"
                      "<name>" +
                      name +
                      "</name>\n"
                      "<SSIDConfig>\n"
                      "    <SSID>\n"
                      "        <hex>" +
                      HexOf(profile.ssid) +
                      "</hex>\n"
                      "        <name>" +
                      ssid +
                      "</name>\n"
                      "    </SSID>\n"
                      "</SSIDConfig>\n"
                      "<connectionType>ESS</connectionType>\n"
                      "<connectionMode>" +
                      (profile.autoConnect ? "auto" : "manual") +
                      "</connectionMode>\n"
                      "<MSM>\n"
                      "    <security>\n"
                      "        <authEncryption>\n"
                      "            <authentication>" +
                      profile.authentication +
                      "</authentication>\n"
                      "            <encryption>" +
                      profile.encryption +
                      "</encryption>\n"
                      "            <useOneX>" +
                      (profile.useOneX ? "true" : "false") +
                      "</useOneX>\n"
                      "        </authEncryption>\n";
    if (!profile.keyType.empty())
        xml += "        <sharedKey>\n"
               "            <keyType>" +
               profile.keyType +
               "</keyType>\n"
               "            <protected>true</protected>\n"
               "        </sharedKey>\n";
    xml += "    </security>\n"
           "</MSM>\n"
           "</WLANProfile>\n";
    return Utf8ToUtf16(xml);
}

} // namespace platform
