#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <vector>

#include "platform/files/Profile.h"
#include "tests/support/TempDir.h"

using namespace platform;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char kSample[] = "; settings\r\n"
                       "top=outside any section\r\n"
                       "[System]\r\n"
                       "Version = 3 \r\n"
                       "  logger=1\r\n"
                       "Quoted=\"  spaced  \"\r\n"
                       "Single='x'\r\n"
                       "Lone=\"open\r\n"
                       "Empty=\r\n"
                       "Number=12ab\r\n"
                       "Negative= -7\r\n"
                       "Word=ab\r\n"
                       "Name=\xC9\xE8\xB1\xB8\r\n"
                       "version=second occurrence\r\n"
                       "\r\n"
                       "[ Switch ]\r\n"
                       "Ip=10.0.0.1\r\n"
                       "[system]\r\n"
                       "Late=in the second System section\r\n"
                       "[\xB9\x5D]\r\n" // a GBK character whose trail byte is ']'
                       "k=v\r\n";

class Profile : public testing::Test {
protected:
    void SetUp() override { WriteFileBytes(file.str(), kSample); }
    testsupport::TempDir dir;
    CString file = CString((dir / "Config.ini").string());
};

TEST_F(Profile, ReadsWithWindowsSemantics) {
    struct Case {
        const char *section, *key, *expected;
    } cases[] = {
        {"System", "Version", "3"},             // trimmed; the first occurrence wins
        {"SYSTEM", "LOGGER", "1"},              // sections and keys ignore case
        {"System", "Quoted", "  spaced  "},     // one pair of quotes stripped, inside kept
        {"System", "Single", "x"},              //
        {"System", "Lone", "\"open"},           // unmatched quote stays
        {"System", "Name", "\xC9\xE8\xB1\xB8"}, // GBK bytes as they are
        {"Switch", "Ip", "10.0.0.1"},           // blanks inside the brackets ignored
        {"System", "Late", "default"},          // only the first section of a name counts
        {"System", "top", "default"},           // lines before any section belong to none
        {"System", "; settings", "default"},    //
        {"Missing", "Version", "default"},      //
        {"System", "Empty", ""},                // present but empty: not the default
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, "default"), CString(c.expected))
            << c.section << "/" << c.key;
    EXPECT_EQ(ReadProfileString(dir.str() + "/none.ini", "System", "Version", "d"), CString("d"));
}

TEST_F(Profile, ReadsIntegersLikeAtoi) {
    struct Case {
        const char* key;
        int expected;
    } cases[] = {{"Version", 3}, {"Number", 12}, {"Negative", -7}, {"Word", 0}, {"Empty", 99}, {"Nope", 99}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadProfileInt(file, "System", c.key, 99), c.expected) << c.key;
}

TEST_F(Profile, KeysAndExistence) {
    EXPECT_TRUE(ProfileKeyExists(file, "system", "EMPTY"));
    EXPECT_FALSE(ProfileKeyExists(file, "System", "Late"));
    CStringArray keys = ReadProfileKeys(file, "Switch");
    ASSERT_EQ(keys.GetSize(), 1);
    EXPECT_EQ(keys[0], CString("Ip"));
    EXPECT_EQ(ReadProfileKeys(file, "System").GetSize(), 10); // "version" is the same key as "Version"
}

TEST_F(Profile, WritesReplaceInPlaceOrAppendToTheSection) {
    ASSERT_TRUE(WriteProfileString(file, "system", "VERSION", "4"));
    ASSERT_TRUE(WriteProfileInt(file, "Switch", "PortCount", 24));
    ASSERT_TRUE(WriteProfileString(file, "Dslam", "Ip", "\xC9\xE8"));
    std::string expected = kSample;
    expected.replace(expected.find("Version = 3 "), 12, "Version=4");
    expected.insert(expected.find("[system]"), "PortCount=24\r\n");
    ASSERT_TRUE(WriteProfileString(file, "\xB9\x5D", "k2", "w"));
    expected += "k2=w\r\n";
    expected += "[Dslam]\r\nIp=\xC9\xE8\r\n";
    EXPECT_EQ(ReadFileBytes(file.str()), expected);
    EXPECT_EQ(ReadProfileString(file, "System", "Version", ""), CString("4"));
}

TEST_F(Profile, NewKeyGoesBeforeTheBlankLinesEndingItsSection) {
    ASSERT_TRUE(WriteProfileString(file, "System", "Added", "1"));
    std::string bytes = ReadFileBytes(file.str());
    EXPECT_NE(bytes.find("version=second occurrence\r\nAdded=1\r\n\r\n[ Switch ]"), std::string::npos)
        << bytes;
}

TEST_F(Profile, CreatesFileAndKeepsUnixLineEnds) {
    CString fresh(dir.str() + "/new.ini");
    ASSERT_TRUE(WriteProfileString(fresh, "SuperLog", "LogLevel", "2"));
    ASSERT_TRUE(WriteProfileInt(fresh, "SuperLog", "MaxLogFileLen", 104857600));
    EXPECT_EQ(ReadFileBytes(fresh.str()), "[SuperLog]\r\nLogLevel=2\r\nMaxLogFileLen=104857600\r\n");

    CString unix(dir.str() + "/unix.ini");
    WriteFileBytes(unix.str(), "[A]\nx=1");
    ASSERT_TRUE(WriteProfileString(unix, "A", "y", "2"));
    EXPECT_EQ(ReadFileBytes(unix.str()), "[A]\nx=1\ny=2\n");
}

// A write changes its key's line alone: every other byte stays, whatever the line ends (CRLF,
// LF, lone CRs, a last line without one), and every other key reads back its old value.
TEST_F(Profile, WriteLeavesEveryOtherLineAsItWas) {
    struct Case {
        std::string before;
        const char *section, *key;
        std::string after;
    } cases[] = {
        {std::string("[t]\n\x01=\n=\r\r"), "t", "\x01", "[t]\n\x01=w\n=\r\r"}, // found by ConfigIni_fuzz
        {"[t]\nb=1\r\r", "t", "a", "[t]\nb=1\r\r\na=w\n"}, // CRs before the added line end
        {"[A]\r\nx=1\ny=2\r\n[B]\nz=3", "A", "y", "[A]\r\nx=1\ny=w\r\n[B]\nz=3"}, // mixed
        {"[A]\nx=1", "A", "x", "[A]\nx=w"},                                     // last line keeps no line end
        {"[A]\r\nx=1", "B", "y", "[A]\r\nx=1\r\n[B]\r\ny=w\r\n"},               // new section after it
        {"[A]\nk=a\rb\r\n\r\r\nm=1\n", "A", "m", "[A]\nk=a\rb\r\n\r\r\nm=w\n"}, // lone CRs
        {"[A]\n\x02\x03=v\n=e\n", "A", "\x02\x03", "[A]\n\x02\x03=w\n=e\n"},    // control bytes, empty key
        {"[A]\n=e\nx=1\r\n", "A", "x", "[A]\n=e\nx=w\r\n"},
    };
    for (const auto& c : cases) {
        WriteFileBytes(file.str(), c.before);
        std::vector<std::array<CString, 3>> others;
        for (const char* section : {"t", "A", "B"})
            for (const CString& key : ReadProfileKeys(file, section))
                if (CString(key).CompareNoCase(c.key) != 0)
                    others.push_back({section, key, ReadProfileString(file, section, key, "\x01")});
        ASSERT_TRUE(WriteProfileString(file, c.section, c.key, "w")) << c.before;
        EXPECT_EQ(ReadFileBytes(file.str()), c.after) << c.before;
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, ""), CString("w")) << c.before;
        for (const auto& [section, key, value] : others)
            EXPECT_EQ(ReadProfileString(file, section, key, "\x01"), value) << c.before << " " << key;
    }
}

TEST_F(Profile, RefusesTextThatWouldReadBackAsOtherKeys) {
    std::string before = ReadFileBytes(file.str());
    EXPECT_FALSE(WriteProfileString(file, "System", "Version", "1\r\nInjected=1"));
    EXPECT_FALSE(WriteProfileString(file, "System", "a=b", "1"));
    EXPECT_FALSE(WriteProfileString(file, "Sys]tem", "a", "1"));
    EXPECT_FALSE(WriteProfileString(file, "System", "", "1"));
    EXPECT_EQ(ReadFileBytes(file.str()), before);
}

TEST_F(Profile, FailedSaveLeavesTheOldFileAndNoTemporary) {
    // A file whose directory is gone cannot be saved; the target stays absent and nothing is left.
    CString lost(dir.str() + "/gone/x.ini");
    EXPECT_FALSE(WriteProfileString(lost, "A", "b", "c"));

    // A read-only directory keeps the old file whole (root bypasses modes, so use a file as "dir").
    WriteFileBytes((dir / "plain").string(), "");
    EXPECT_FALSE(WriteProfileString(CString(dir.str() + "/plain/x.ini"), "A", "b", "c"));

    // A file that is there but cannot be read (root reads everything, so a link to itself) is
    // not replaced by one that holds only the new key.
    std::filesystem::create_symlink("loop.ini", dir / "loop.ini");
    EXPECT_FALSE(WriteProfileString(CString(dir.str() + "/loop.ini"), "A", "b", "c"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop.ini"));

    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3); // Config.ini, plain and loop.ini
}

} // namespace
