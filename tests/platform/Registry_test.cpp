#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/files/Registry.h"
#include "tests/support/TempDir.h"

using namespace platform;

namespace {

class Registry : public testing::Test {
protected:
    void SetUp() override { SetRegistryRoot(CString(dir.str())); }
    void TearDown() override { SetRegistryRoot(CString()); }
    testsupport::TempDir dir;
};

const CString kLan = "Software\\Tellvane\\LAN";

TEST_F(Registry, TypedValuesRoundTripAndKeepTheirType) {
    CStringArray multi;
    multi.Add("10.0.0.1");
    multi.Add("\xC9\xE8\xB1\xB8 gateway");
    std::string binary("\x00\x01\xff\n=[]%", 8);

    ASSERT_EQ(RegSetString(Hive::LocalMachine, kLan, "Name", "\xCD\xF8\xBF\xA8 1"), kRegSuccess);
    ASSERT_EQ(RegSetDword(Hive::LocalMachine, kLan, "Flags", 0xDEADBEEF), kRegSuccess);
    ASSERT_EQ(RegSetMultiString(Hive::LocalMachine, kLan, "Gateways", multi), kRegSuccess);
    ASSERT_EQ(RegSetBinary(Hive::LocalMachine, kLan, "Blob", binary), kRegSuccess);

    CString s;
    uint32_t d = 0;
    CStringArray m;
    std::string b;
    // Keys and names ignore ASCII case; leading and trailing separators do not matter.
    EXPECT_EQ(RegGetString(Hive::LocalMachine, "\\software\\TELLVANE\\lan\\", "NAME", s), kRegSuccess);
    EXPECT_EQ(s, CString("\xCD\xF8\xBF\xA8 1"));
    EXPECT_EQ(RegGetDword(Hive::LocalMachine, kLan, "Flags", d), kRegSuccess);
    EXPECT_EQ(d, 0xDEADBEEFu);
    EXPECT_EQ(RegGetMultiString(Hive::LocalMachine, kLan, "Gateways", m), kRegSuccess);
    EXPECT_EQ(m, multi);
    EXPECT_EQ(RegGetBinary(Hive::LocalMachine, kLan, "Blob", b), kRegSuccess);
    EXPECT_EQ(b, binary);

    struct Case {
        const char* what;
        long rc;
    } cases[] = {
        {"string read as DWORD", RegGetDword(Hive::LocalMachine, kLan, "Name", d)},
        {"DWORD read as string", RegGetString(Hive::LocalMachine, kLan, "Flags", s)},
        {"binary read as multi-string", RegGetMultiString(Hive::LocalMachine, kLan, "Blob", m)},
        {"missing value", RegGetString(Hive::LocalMachine, kLan, "Guid", s)},
        {"missing key", RegGetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Name", s)},
        {"other hive", RegGetString(Hive::CurrentUser, kLan, "Name", s)},
        {"delete missing value", RegDeleteValue(Hive::LocalMachine, kLan, "Guid")},
        {"delete missing key", RegDeleteKey(Hive::LocalMachine, "Software\\Nobody")},
        {"delete the hive", RegDeleteKey(Hive::LocalMachine, "")},
    };
    long expected[] = {kRegUnsupportedType, kRegUnsupportedType, kRegUnsupportedType,
                       kRegNotFound,        kRegNotFound,        kRegNotFound,
                       kRegNotFound,        kRegNotFound,        kRegAccessDenied};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].rc, expected[i]) << cases[i].what;
    EXPECT_EQ(s, CString("\xCD\xF8\xBF\xA8 1")) << "a failed read leaves the output alone";
}

TEST_F(Registry, KeysAreCreatedOnTheWayAndListedInWriteOrder) {
    ASSERT_EQ(RegSetString(Hive::LocalMachine, "Software\\Tellvane\\WAN", "Guid", "{A}"), kRegSuccess);
    ASSERT_EQ(RegSetString(Hive::LocalMachine, kLan, "Name", "lan"), kRegSuccess);
    ASSERT_EQ(RegSetString(Hive::LocalMachine, kLan, "Guid", "{B}"), kRegSuccess);
    ASSERT_EQ(RegSetString(Hive::LocalMachine, kLan, "name", "renamed"), kRegSuccess);
    ASSERT_EQ(RegSetString(Hive::LocalMachine, "Software\\TellvaneX", "v", "not a child"), kRegSuccess);
    // A GBK character whose trail byte is '\\' is one name, not two.
    ASSERT_EQ(RegSetString(Hive::LocalMachine, "Software\\\x95\x5C", "v", "gbk"), kRegSuccess);

    EXPECT_TRUE(RegKeyExists(Hive::LocalMachine, "Software"));
    EXPECT_TRUE(RegKeyExists(Hive::LocalMachine, "software\\tellvane"));
    EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, "Software\\\x95"));
    CStringArray names;
    ASSERT_EQ(RegEnumKeys(Hive::LocalMachine, "Software\\Tellvane", names), kRegSuccess);
    ASSERT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], CString("WAN"));
    EXPECT_EQ(names[1], CString("LAN"));
    ASSERT_EQ(RegEnumValues(Hive::LocalMachine, kLan, names), kRegSuccess);
    ASSERT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], CString("Name")); // the first spelling stays
    EXPECT_EQ(names[1], CString("Guid"));

    ASSERT_EQ(RegDeleteKey(Hive::LocalMachine, "SOFTWARE\\Tellvane"), kRegSuccess);
    EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, kLan));
    EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, "Software\\Tellvane"));
    EXPECT_TRUE(RegKeyExists(Hive::LocalMachine, "Software\\TellvaneX"))
        << "a name that only begins alike stays";
    EXPECT_EQ(RegEnumKeys(Hive::LocalMachine, kLan, names), kRegNotFound);
}

TEST_F(Registry, DamagedHiveIsReportedAndNotOverwritten) {
    testsupport::WriteFileBytes(dir / "HKLM.hive", "corvay-registry 1\n[Software]\nName=1:4");
    CString s;
    EXPECT_EQ(RegGetString(Hive::LocalMachine, "Software", "Name", s), kRegInvalidData);
    EXPECT_EQ(RegSetString(Hive::LocalMachine, "Software", "Other", "x"), kRegInvalidData);
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "HKLM.hive"), "corvay-registry 1\n[Software]\nName=1:4");
}

TEST_F(Registry, UnwritableRootGivesAnErrorNotACrash) {
    testsupport::WriteFileBytes(dir / "file", "");
    SetRegistryRoot(CString((dir / "file").string()));
    EXPECT_NE(RegSetDword(Hive::CurrentUser, "Software", "x", 1), kRegSuccess);
    CString s;
    EXPECT_EQ(RegGetString(Hive::CurrentUser, "Software", "x", s), kRegAccessDenied);
}

// Two processes writing the same hive at once lose none of each other's values.
TEST_F(Registry, ConcurrentWritersInTwoProcessesLoseNothing) {
    constexpr int kEach = 60;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    const char* who = child == 0 ? "child" : "parent";
    bool ok = true;
    for (int i = 0; i < kEach; ++i) {
        CString name;
        name.Format("%s%d", who, i);
        ok = ok && RegSetDword(Hive::CurrentUser, "Software\\Shared", name, static_cast<uint32_t>(i)) ==
                       kRegSuccess;
    }
    if (child == 0)
        _exit(ok ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(ok);

    CStringArray names;
    ASSERT_EQ(RegEnumValues(Hive::CurrentUser, "Software\\Shared", names), kRegSuccess);
    EXPECT_EQ(names.GetSize(), 2 * kEach);
    for (const char* w : {"child", "parent"}) {
        for (int i = 0; i < kEach; ++i) {
            CString name;
            name.Format("%s%d", w, i);
            uint32_t v = 0xFFFF;
            EXPECT_EQ(RegGetDword(Hive::CurrentUser, "Software\\Shared", name, v), kRegSuccess)
                << name.GetString();
            EXPECT_EQ(v, static_cast<uint32_t>(i));
        }
    }
}

} // namespace
