#include <gtest/gtest.h>

#include "engine/config/MacAddress.h"

TEST(MacAddress, SetBytesFormatsLowerCaseWithColons) {
    const uint8_t bytes[6] = {0x00, 0x1b, 0xAC, 0x03, 0xff, 0x5e};
    MacAddress mac;
    EXPECT_EQ(mac.GetText(), "00:00:00:00:00:00");
    mac.SetBytes(bytes);
    EXPECT_EQ(mac.GetText(), "00:1b:ac:03:ff:5e");
    EXPECT_EQ(0, memcmp(mac.GetBytes(), bytes, 6));
}

TEST(MacAddress, ParseTakesSixGroupsOfOneOrTwoHexDigits) {
    struct Case {
        const char* text;
        const char* result; // nullptr: refused
    } cases[] = {
        {"00:1b:2c:3d:4e:5f", "00:1b:2c:3d:4e:5f"},
        {"0:1B:2c:3:4E:f", "00:1b:2c:03:4e:0f"},
        {"00-1B-2C-3D-4E-5F", "00:1b:2c:3d:4e:5f"},
        {"00.1b-2c 3d/4e:5f", "00:1b:2c:3d:4e:5f"}, // any single separator
        {"001:1b:2c:3d:4e:5f", nullptr},            // three digits
        {"00:1b:2c:3d:4e", nullptr},                // five groups
        {"00:1b:2c:3d:4e:5f:60", nullptr},          // seven
        {"00:1b:2c:3d:4e:5f ", nullptr},            // trailing text
        {" 00:1b:2c:3d:4e:5f", nullptr},
        {"00::1b:2c:3d:4e:5f", nullptr}, // empty group
        {"00:1b:2c:3d:4e:5g", nullptr},
        {"0x:1b:2c:3d:4e:5f", nullptr},
        {"001b2c3d4e5f", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const uint8_t before[6] = {1, 2, 3, 4, 5, 6};
        MacAddress mac;
        mac.SetBytes(before);
        bool parsed = mac.Parse(c.text);
        EXPECT_EQ(parsed, c.result != nullptr) << c.text;
        EXPECT_EQ(mac.GetText(), c.result ? c.result : "01:02:03:04:05:06") << c.text;
        if (c.result) {
            MacAddress back;
            ASSERT_TRUE(back.Parse(mac.GetText()));
            EXPECT_EQ(0, memcmp(back.GetBytes(), mac.GetBytes(), 6)) << c.text;
        } else {
            EXPECT_EQ(0, memcmp(mac.GetBytes(), before, 6)) << c.text;
        }
    }
    MacAddress mac;
    EXPECT_FALSE(mac.Parse(CString("00:1b:2c:3d:4e:5f\0junk", 22))); // an embedded zero is no end
}
