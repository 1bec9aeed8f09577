#include <gtest/gtest.h>
#include <sys/resource.h>

#include "platform/wifi/WideText.h"
#include "platform/wifi/WlanProfile.h"

using namespace platform;

namespace {

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A profile's reader sees XML from anywhere: deep nesting costs it the depth, no more.
TEST(WlanProfileReader, ADeeplyNestedProfileIsReadInLittleMemory) {
    constexpr int kDepth = 8000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i)
        deep += "<e>";
    deep += "x";
    for (int i = 0; i < kDepth; ++i)
        deep += "</e>";
    std::string xml =
        "<?xml version=\"1.0\"?>\n<WLANProfile>\n<name>lab</name>\n<SSIDConfig><SSID><name>lab</name>"
        "</SSID></SSIDConfig>\n" +
        deep +
        "<MSM><security><authEncryption><authentication>open</authentication>"
        "<encryption>none</encryption></authEncryption></security></MSM>\n</WLANProfile>\n";
    long before = PeakKilobytes();
    std::optional<WlanProfile> profile = ReadWlanProfileXml(Utf8ToUtf16(xml));
    long grown = PeakKilobytes() - before;
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->name, "lab");
    EXPECT_EQ(profile->ssid, "lab");
    EXPECT_LT(grown, 32 * 1024) << "kB"; // a copy of the path per element took 300 MB

    // Depth is no licence for a broken document.
    xml.replace(xml.find("</e></e>"), 4, "</f>");
    EXPECT_FALSE(ReadWlanProfileXml(Utf8ToUtf16(xml)));
}

} // namespace
