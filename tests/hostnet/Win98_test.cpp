// PCInfo's Windows 9x members on a Linux host: what is built works on the card records, the rest
// says that this host has no such network stack and fails.

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hostnet/pellar/ItemNames.h"
#include "hostnet/pellar/PCInfo.h"
#include "platform/files/ProgramDirectory.h"
#include "tests/support/TempDir.h"

namespace {

CStringArray Array(std::initializer_list<const char*> texts) {
    CStringArray array;
    for (const char* text : texts)
        array.Add(text);
    return array;
}

class Win98 : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory((dir.str() + "/").c_str());
        testsupport::WriteFileBytes(dir / "log.debug", "");
    }
    void TearDown() override {
        PCInfo::SetRandomSource({});
        platform::SetProgramDirectory("");
    }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "info.log"); }
    bool Logged(const std::string& line) const { return Log().find(line) != std::string::npos; }
    // Draws from a fixed list, then the last one for ever; counts the draws.
    void Draws(std::vector<unsigned> values) {
        PCInfo::SetRandomSource([this, values] {
            unsigned value = values[std::min(draws, values.size() - 1)];
            ++draws;
            return value;
        });
    }
    // A kept card of 'items' texts whose MACAddress is 'mac'.
    void AddCard(int items, const char* mac) {
        int card = info.m_NetCardCount++;
        for (int i = 0; i < items; ++i)
            info.m_NetCardInfo[card].Add("N/A");
        info.m_NetCardInfo[card].SetAt(
            pellar::kNetAdapterItemCount +
                PCInfo::SearchItemIndex(pellar::NetConfigItems, pellar::kNetConfigItemCount, "MACAddress"),
            mac);
    }

    testsupport::TempDir dir;
    PCInfo info;
    size_t draws = 0;
};

TEST_F(Win98, RandomAddressesAvoidTheUsedOnes) {
    // 256 + 42 keeps only the low byte.
    Draws({10, 7, 7, 42, 256 + 42});
    CStringArray sources = Array({"192.168.1.10", "bad", ".5", "10.0.0.1"});
    CStringArray used = Array({"192.168.1.10", "192.168.1.7"});
    CString result;
    info.GetRandIpAddr98(sources, used, result);
    EXPECT_EQ(result.str(), ",192.168.1.42,10.0.0.42");
    EXPECT_EQ(draws, 5u);
    EXPECT_EQ(used.GetSize(), 4);
    EXPECT_EQ(used[3].str(), "10.0.0.42");
    EXPECT_TRUE(Logged("[RLog]===>[GetRandIpAddr98] Invalid ip address:bad"));
    EXPECT_TRUE(Logged("[RLog]===>[GetRandIpAddr98] Invalid ip address:.5"));
    EXPECT_TRUE(Logged("GetRandIpAddr98 Random Ip:\r\n\t,192.168.1.42,10.0.0.42"));

    // The second source of the same network never gets the address the first one took.
    draws = 0;
    Draws({42, 42, 43});
    CStringArray twice = Array({"192.168.1.1", "192.168.1.2"});
    CStringArray none;
    info.GetRandIpAddr98(twice, none, result);
    EXPECT_EQ(result.str(), ",192.168.1.42,192.168.1.43");
}

TEST_F(Win98, RandomAddressFallsBackToHost199) {
    Draws({5});
    CStringArray sources = Array({"192.168.1.1"});
    CStringArray used = Array({"192.168.1.5"});
    CString result;
    info.GetRandIpAddr98(sources, used, result);
    EXPECT_EQ(result.str(), ",192.168.1.199");
    EXPECT_EQ(draws, 2000u);
    EXPECT_TRUE(Logged("[RLog]===>[GetRandIpAddr98] Can't Find Rand ipaddress:192.168.1.1"));
}

TEST_F(Win98, MembersWithoutTheStackFail) {
    char text[] = "192.168.1.1";
    char buffer[256] = {};
    CWordArray items;
    CPtrArray* out = nullptr;
    int enabled = 0;
    struct Case {
        const char* name;
        std::function<int()> call;
        int failure;
    } cases[] = {
        {"NetCardInfoGet98", [&] { return info.NetCardInfoGet98(items, &out); }, 0},
        {"SaveNetCardConfigInfo98", [&] { return info.SaveNetCardConfigInfo98(); }, 0},
        {"IsDnsStatic98", [&] { return info.IsDnsStatic98(); }, 0},
        {"EnableNetCard98", [&] { return info.EnableNetCard98(nullptr, 1); }, 0},
        {"GetAdapterStatus98", [&] { return info.GetAdapterStatus98(1, enabled); }, 0},
        {"SetAdapterConfigFlag98", [&] { return info.SetAdapterConfigFlag98(1, 1); }, 0},
        {"NetCardPropertyChange98", [&] { return info.NetCardPropertyChange98(nullptr, 0); }, 0},
        {"EnumMSTCPIndex98", [&] { return info.EnumMSTCPIndex98("ENUM", "Net\\0001", buffer); }, -1},
        {"GetNetTransIndexFromNetIndex98", [&] { return info.GetNetTransIndexFromNetIndex98(1); }, -1},
        {"SetIPAddr98", [&] { return info.SetIPAddr98(text, text, 0, 0); }, 0},
        {"SetGateway98", [&] { return info.SetGateway98(text, 0, 0, 1); }, 0},
        {"SetDns98", [&] { return info.SetDns98(text, text, text, 0, 0, 1); }, 0},
        {"WriteIpAddress98", [&] { return info.WriteIpAddress98(0, ",10.0.0.1", "255.0.0.0"); }, 0},
        {"GetCurrentIpMask98", [&] { return info.GetCurrentIpMask98("key", buffer, 256, buffer, 256); }, 0},
        {"AddIPAddr98", [&] { return info.AddIPAddr98(text, text); }, 0},
        {"AddIPAddr98", [&] { return info.AddIPAddr98(text, text, 0); }, 0},
        {"DeleteIpAddress98", [&] { return info.DeleteIpAddress98(0); }, 0},
        {"EnumNetCards98", [&] { return info.EnumNetCards98(), 0; }, 0},
        {"ChangeNetCardDHCPInfo98", [&] { return info.ChangeNetCardDHCPInfo98(), 0; }, 0},
        {"ChangeNetCardDnsStatus98", [&] { return info.ChangeNetCardDnsStatus98(), 0; }, 0},
        {"DeleteIpAddress98", [&] { return info.DeleteIpAddress98(), 0; }, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), c.failure) << c.name;
        EXPECT_TRUE(Logged(std::string("[RLog]===>") + c.name + ": no Windows 9x network stack on this host"))
            << c.name;
    }

    // Without the stack only the direct phase runs: nothing answers an empty list.
    CStringArray empty;
    unsigned long index = 7;
    int added = 1;
    EXPECT_EQ(info.FindModemIP98(empty, empty, empty, index, added).str(), "");
    EXPECT_EQ(index, 0xFFFFFFFFUL);
    EXPECT_EQ(added, 0);
}

TEST_F(Win98, CardRecordsAreRemovedAndTheIndexRenewed) {
    CWordArray items;
    CPtrArray* out = nullptr;
    EXPECT_EQ(info.RenewNetCardIpHlpIndex98(items, &out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->GetSize(), 0);

    // Cards of fewer items than a whole record go; the others move down in order.
    AddCard(pellar::kCardItemCount, "02:00:00:00:00:01");
    AddCard(10, "short");
    AddCard(pellar::kCardItemCount, "02:00:00:00:00:03");
    AddCard(pellar::kCardItemCount + 1, "long");
    info.VerifyNetCardInfo98();
    ASSERT_EQ(info.m_NetCardCount, 2);
    EXPECT_TRUE(Logged("VerifyNetCardInfo98:1,10"));
    EXPECT_TRUE(Logged("VerifyNetCardInfo98:2,50"));
    EXPECT_EQ(info.DeleteNetCardInfo98(2), 0);
    EXPECT_EQ(info.DeleteNetCardInfo98(-1), 0);
    EXPECT_TRUE(Logged("DeleteNetCardInfo98：2 2"));

    // The index of a card no link carries stays "N/A"; every card gives its 13 texts.
    ASSERT_EQ(info.RenewNetCardIpHlpIndex98(items, &out), 1);
    ASSERT_EQ(out->GetSize(), 2 * pellar::kCardOutputCount);
    EXPECT_STREQ(static_cast<const char*>(out->GetAt(12)), "02:00:00:00:00:01");
    EXPECT_STREQ(static_cast<const char*>(out->GetAt(10)), "N/A");
    EXPECT_STREQ(static_cast<const char*>(out->GetAt(25)), "02:00:00:00:00:03");
    EXPECT_EQ(info.DeleteNetCardInfo98(0), 1);
    EXPECT_TRUE(Logged("DeleteNetCardInfo98 :1"));
    EXPECT_STREQ(info.m_NetCardInfo[0].GetAt(pellar::kCardItemCount - 19), "02:00:00:00:00:03");
}

} // namespace
