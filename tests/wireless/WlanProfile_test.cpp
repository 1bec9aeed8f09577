#include <gtest/gtest.h>

#include "wireless/WlanProfileXml.h"

namespace {

// The profile around its security block, as written for the (escaped) name.
std::u16string Profile(const std::u16string& name, const std::u16string& block) {
    return u"<?xml version=\"1.0\"?>\n"
           u"<WLANProfile xmlns=\"urn:corvay:wlan:profile:v1\">\n"
           u"<name>" +
           name +
           u"</name>\n"
           u"<SSIDConfig>\n"
           u"    <SSID>\n"
           u"        <name>" +
           name +
           u"</name>\n"
           u"    </SSID>\n"
           u"</SSIDConfig>\n"
           u"<connectionType>ESS</connectionType>\n"
           u"<connectionMode>auto</connectionMode>\n"
           u"<autoSwitch>false</autoSwitch>\n"
           u"<MSM>\n"
           u"    <security>\n" +
           block +
           u"    </security>\n"
           u"</MSM>\n"
           u"</WLANProfile>\n";
}

const std::u16string kOpenBlock = u"        <authEncryption>\n"
                                  u"            <authentication>open</authentication>\n"
                                  u"            <encryption>none</encryption>\n"
                                  u"            <useOneX>false</useOneX>\n"
                                  u"        </authEncryption>\n";

std::u16string PassPhraseBlock(const std::u16string& authentication, const std::u16string& key) {
    return u"        <authEncryption>\n"
           u"            <authentication>" +
           authentication +
           u"</authentication>\n"
           u"            <encryption>TKIP</encryption>\n"
           u"            <useOneX>false</useOneX>\n"
           u"        </authEncryption>\n"
           u"\t\t<sharedKey>\n"
           u"\t\t\t<keyType>passPhrase</keyType>\n"
           u"\t\t\t<protected>false</protected>\n"
           u"\t\t\t<keyMaterial>" +
           key +
           u"</keyMaterial>\n"
           u"\t\t</sharedKey>\n";
}

TEST(WlanProfileXml, IsWrittenByteForByteForEachSecurity) {
    struct Case {
        WifiSettings settings;
        std::u16string expected;
    } cases[] = {
        {{"lab", 0, "ignored"}, Profile(u"lab", kOpenBlock)},
        {{"wep", 1, "12345"},
         Profile(u"wep", u"        <authEncryption>\n"
                         u"            <authentication>open</authentication>\n"
                         u"            <encryption>WEP</encryption>\n"
                         u"            <useOneX>false</useOneX>\n"
                         u"        </authEncryption>\n"
                         u"\t\t<sharedKey>\n"
                         u"\t\t\t<keyType>networkKey</keyType>\n"
                         u"\t\t\t<protected>false</protected>\n"
                         u"\t\t\t<keyMaterial>12345</keyMaterial>\n"
                         u"\t\t</sharedKey>\n"
                         u"\t\t<keyIndex>0</keyIndex>\n")},
        {{"wpa", 2, "secret12"}, Profile(u"wpa", PassPhraseBlock(u"WPAPSK", u"secret12"))},
        // WPA2 with TKIP, and no key index line.
        {{"wpa2", 3, "abc"}, Profile(u"wpa2", PassPhraseBlock(u"WPA2PSK", u"abc"))},
        {{"other", 7, "abc"}, Profile(u"other", u"")},
        // The name is GBK and is widened from it.
        {{"测试网络", 0, ""}, Profile(u"测试网络", kOpenBlock)},
    };
    for (const Case& c : cases) {
        std::u16string xml = BuildWlanProfileXml(c.settings);
        EXPECT_EQ(xml, c.expected) << c.settings.networkName.GetString();
        // Byte for byte: UTF-16 code units, "\n" line ends only.
        EXPECT_EQ(xml.find(u'\r'), std::u16string::npos);
    }
}

TEST(WlanProfileXml, NameAndKeyAreEscaped) {
    struct Case {
        WifiSettings settings;
        std::u16string expected;
    } cases[] = {
        {{"a&b<c>", 0, ""}, Profile(u"a&amp;b&lt;c&gt;", kOpenBlock)},
        {{"lab\r\none", 0, ""}, Profile(u"lab<br/>one", kOpenBlock)},
        // An entity already in the name is escaped again, not taken as markup.
        {{"&lt;", 0, ""}, Profile(u"&amp;lt;", kOpenBlock)},
        // A pass phrase with markup characters stays readable; a line break in a key is kept.
        {{"wpa", 2, "p&ss<w>rd"}, Profile(u"wpa", PassPhraseBlock(u"WPAPSK", u"p&amp;ss&lt;w&gt;rd"))},
        {{"wpa", 3, "a\r\nb"}, Profile(u"wpa", PassPhraseBlock(u"WPA2PSK", u"a\r\nb"))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildWlanProfileXml(c.settings), c.expected) << c.settings.networkName.GetString();
}

TEST(WlanProfileSecurity, ReadsTheTextsOfEveryKnownSpelling) {
    auto xml = [](const std::u16string& authentication, const std::u16string& encryption,
                  const std::u16string& oneX) {
        return u"<WLANProfile><MSM><security><authEncryption><authentication>" + authentication +
               u"</authentication><encryption>" + encryption + u"</encryption><useOneX>" + oneX +
               u"</useOneX></authEncryption></security></MSM></WLANProfile>";
    };
    struct Case {
        std::u16string authentication, encryption, oneX;
        int expectedAuthentication, expectedCipher;
        bool expectedOneX;
    } cases[] = {
        {u"open", u"none", u"false", 1, 0, false},
        {u"SHARE", u"WEP", u"false", 2, 1, false},
        {u"shared", u"wep", u"false", 2, 1, false},
        {u"WPA", u"TKIP", u"true", 3, 2, true},
        {u"WPA_PSK", u"TKIP", u"false", 4, 2, false},
        {u"WPAPSK", u"tkip", u"false", 4, 2, false},
        {u"wpa2", u"AES", u"TRUE", 6, 4, true},
        {u"WPA2_PSK", u"AES", u"false", 7, 4, false},
        // What this library itself writes.
        {u"WPA2PSK", u"TKIP", u"false", 7, 2, false},
        {u"WPA3SAE", u"GCMP", u"maybe", 0, 0, false},
        {u"", u"", u"", 0, 0, false},
    };
    for (const Case& c : cases) {
        WlanProfileSecurity security =
            ReadProfileSecurity("lab", xml(c.authentication, c.encryption, c.oneX));
        EXPECT_EQ(security.name, "lab");
        EXPECT_EQ(security.authentication, c.expectedAuthentication) << c.authentication.size();
        EXPECT_EQ(security.cipher, c.expectedCipher) << c.encryption.size();
        EXPECT_EQ(security.usesOneX, c.expectedOneX);
        EXPECT_TRUE(security.key.IsEmpty());
    }
    // A profile without the elements says nothing.
    WlanProfileSecurity none = ReadProfileSecurity("x", u"<WLANProfile/>");
    EXPECT_EQ(none.authentication, 0);
    EXPECT_EQ(none.cipher, 0);
    EXPECT_FALSE(none.usesOneX);
}

TEST(WlanProfileSecurity, AProfileWrittenHereReadsBackItsOwnSecurity) {
    struct Case {
        int security;
        int authentication, cipher;
    } cases[] = {{0, 1, 0}, {1, 1, 1}, {2, 4, 2}, {3, 7, 2}};
    for (const Case& c : cases) {
        WlanProfileSecurity read =
            ReadProfileSecurity("n", BuildWlanProfileXml({"n", c.security, "secret12"}));
        EXPECT_EQ(read.authentication, c.authentication) << c.security;
        EXPECT_EQ(read.cipher, c.cipher) << c.security;
        EXPECT_FALSE(read.usesOneX);
    }
}

} // namespace
