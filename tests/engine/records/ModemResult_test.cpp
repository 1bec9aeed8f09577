#include <gtest/gtest.h>

#include <string>

#include "engine/records/PortRow.h"
#include "engine/records/TestRecords.h"
#include "tests/support/PrivateLog.h"

namespace {

ModemResult Rates(int down, int up, const char* version = "V1.0") {
    ModemResult r;
    r.FirmwareVersion = version;
    r.DownRate = down;
    r.UpRate = up;
    return r;
}

} // namespace

TEST(ModemResult, RateCheckIsStrictlyAboveNinetyFivePercent) {
    DslamConfig target; // 95 %: 486.4 -> 486 up, 3860.8 -> 3860 down
    target.UploadRate = 512, target.DownloadRate = 4064;
    struct Case {
        int down, up;
        const char* text;
        bool ok;
    } cases[] = {
        {3861, 487, "Modem基本信息检查通过", true},
        {3860, 487, "建链速率不达标", false}, // exactly the truncated bound is not enough
        {3861, 486, "建链速率不达标", false},
        {4064, 512, "Modem基本信息检查通过", true},
        {0, 512, "DSL未能建链", false},
        {4064, 0, "DSL未能建链", false},
        {-5, 512, "DSL未能建链", false},
    };
    for (const auto& c : cases) {
        ModemResult r = Rates(c.down, c.up);
        EXPECT_EQ(r.GetRateCheckText(target), c.text) << c.down << "/" << c.up;
        EXPECT_EQ(r.IsRateOk(target), c.ok) << c.down << "/" << c.up;
    }
    // The bench's usual targets: 95 % of 4000 is 3800, of 512 is 486.
    DslamConfig usual;
    const struct {
        int down, up;
        bool ok;
    } usualCases[] = {{3801, 487, true}, {3800, 487, false}, {3801, 486, false}};
    for (const auto& c : usualCases)
        EXPECT_EQ(Rates(c.down, c.up).IsRateOk(usual), c.ok) << c.down << "/" << c.up;
    // Good rates but no version read: not a modem that passed.
    EXPECT_FALSE(Rates(4064, 512, "").IsRateOk(target));
}

TEST(ModemResult, SummaryListsWhatIsKnownInOrder) {
    ModemResult r;
    EXPECT_EQ(r.GetSummaryText(), "");
    r.FirmwareVersion = "V2.1";
    r.DslStatus = 2;
    EXPECT_EQ(r.GetSummaryText(), "固件版本：V2.1; 线路状态：Link Down; ");
    r.UpRate = 512;
    r.DownRate = 4064;
    r.IpAddress = "192.168.1.1";
    r.MacAddress = "00-1a-2b-3c-4d-5e";
    r.HardwareVersion = "HW3";
    // A rate read means the line is up whatever the state says.
    EXPECT_EQ(r.GetSummaryText(), "固件版本：V2.1; 线路状态：Link Up; 上行速率：512; 下行速率：4064; "
                                  "IP地址：192.168.1.1; MAC:00-1a-2b-3c-4d-5e; 硬件版本：HW3; ");
    r.Reset();
    EXPECT_EQ(r.GetSummaryText(), "");
    EXPECT_EQ(r.DownRate, 0);
}

TEST(ModemResult, PingVerdictAndTexts) {
    PingStatistics s;
    s.BigPingCount = 100, s.BigPingRecvCount = 99;
    s.SmallPingCount = 100, s.SmallPingRecvCount = 100;
    s.BigPingReplyCount = 1000, s.BigPingReplyRecvCount = 981; // 1.9 % reads as 1
    s.SmallPingReplyCount = 0;                                 // nothing sent: skipped
    EXPECT_TRUE(s.IsPassed());
    EXPECT_EQ(s.GetResultText(), "Ping测试通过");
    s.SmallPingRecvCount = 98;
    EXPECT_FALSE(s.IsPassed());
    EXPECT_EQ(s.GetResultText(),
              "Ping测试结果：\r\n上行发送100个大包，包丢失率：1%；\r\n上行发送100个小包，包丢失率：2%;\r\n"
              "下行发送1000个大包，包丢失率：1%；\r\n下行发送0个小包，包丢失率：0%");
    s.Percent = 130;
    s.Remaining = -4;
    EXPECT_EQ(s.GetProgressText(), "Ping测试进度：100%,测试剩余时间：0秒");
    EXPECT_EQ(s.Percent, 100);
    EXPECT_EQ(s.Remaining, 0);
    EXPECT_EQ(PingLossPercent(2000000000, 0), 100); // no overflow on large tallies
}

TEST(ModemResult, WifiVerdictText) {
    struct Case {
        int s, f, code;
        const char* text;
    } cases[] = {
        {0, 0, 0, "未测试"},
        {19, 1, 0, "Ping成功19个，失败1个"},
        {20, 1, 0, "无线功能测试通过"},
        {96, 4, 0, "无线功能测试通过"},
        {95, 5, 0, "Ping成功95个，失败5个"},
        {0, 0, -8, "无线信号强度太低"},
        {0, 0, -5, "未知错误"},
        {0, 0, -20, "获取网卡信息失败"},
    };
    for (const auto& c : cases) {
        WifiTestResult w{c.s, c.f, true, c.code};
        EXPECT_EQ(w.ToText(), c.text) << c.s << "/" << c.f << " code " << c.code;
    }
}

TEST(ModemResult, ResultTextByEndStateAndMode) {
    DslamConfig target;
    target.UploadRate = 512, target.DownloadRate = 4064;
    TestInfo info(3);
    info.Update([](TestInfo::Data& d) {
        d.Modem = Rates(4064, 512);
        d.Modem.Status = 1;
        d.Ping.BigPingCount = d.Ping.BigPingRecvCount = 10;
        d.Ping.State = 2;
    });
    EXPECT_EQ(info.GetResultText(target), "Modem基本信息检查通过\r\nPing测试通过\r\n升级成功");
    EXPECT_TRUE(info.Get().Modem.HasInfo);
    EXPECT_EQ(info.Get().PingFlag, 1);
    info.Update([](TestInfo::Data& d) { d.TestMode = 4; });
    EXPECT_EQ(info.GetResultText(target), "升级成功");
    EXPECT_EQ(info.Get().PingFlag, 0);
    info.Update([](TestInfo::Data& d) { d.TestMode = 5; });
    EXPECT_EQ(info.GetResultText(target), "Modem基本信息检查通过\r\nPing测试通过");
    info.Update([](TestInfo::Data& d) {
        d.TestMode = 3;
        d.PingFlag = 0;
        d.Wifi = {20, 1, true, 0};
    });
    EXPECT_EQ(info.GetResultText(target), "Modem基本信息检查通过\r\n无线功能测试通过");
    info.Update([](TestInfo::Data& d) { d.EndState = 1; });
    EXPECT_EQ(info.GetResultText(target), "无线功能测试通过");
    info.Update([](TestInfo::Data& d) { d.Wifi.HasResult = false; });
    EXPECT_EQ(info.GetResultText(target), "用户终止测试");
    info.Update([](TestInfo::Data& d) { d.TestMode = 0; });
    EXPECT_EQ(info.GetResultText(target), "");
    info.Update([](TestInfo::Data& d) { d.EndState = 2; });
    EXPECT_EQ(info.GetResultText(target), "测试中发生异常，因此终止测试。");
    info.Update([](TestInfo::Data& d) { d.EndState = 7; });
    EXPECT_EQ(info.GetResultText(target), "Unknown");
}

// A port the ping test never reached (records reset, or not tested) has no ping verdict, and one
// that sent nothing never passes: not in the result text, not in the row, not in the verdict.
TEST(ModemResult, NoPingVerdictWithoutFramesSent) {
    DslamConfig target;
    target.UploadRate = 512, target.DownloadRate = 4064;
    const char* const none =
        "Ping测试结果：\r\n上行发送0个大包，包丢失率：0%；\r\n上行发送0个小包，包丢失率：0%;\r\n"
        "下行发送0个大包，包丢失率：0%；\r\n下行发送0个小包，包丢失率：0%";
    EXPECT_FALSE(PingStatistics().IsPassed());
    EXPECT_EQ(PingStatistics().GetResultText(), none);
    struct Case {
        int mode, pingState;
        std::string text;
        int icon;
    } cases[] = {
        {0, 0, "Modem基本信息检查通过\r\n", -1},
        {1, 0, "", -1},
        {2, 0, "", -1},
        {5, 0, "Modem基本信息检查通过", -1},
        {3, 0, "Modem基本信息检查通过\r\n", -1},
        {0, 2, "Modem基本信息检查通过\r\n" + std::string(none) + "\r\n", Icon_PingFailed},
        {2, 2, std::string(none) + "\r\n", Icon_Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 10 + c.pingState);
        TestInfo info(1);
        info.Update([&](TestInfo::Data& d) {
            d.Modem = Rates(4064, 512);
            d.Modem.HasInfo = true;
            d.PingFlag = 1;
            d.TestMode = c.mode;
            d.Ping.State = c.pingState;
        });
        EXPECT_EQ(info.GetResultText(target), c.text);
        const PortRow row = PortRowOf(info, target);
        EXPECT_EQ(row.icon, c.pingState == 2 ? c.icon : Icon_Identified);
        EXPECT_NE(VerdictOfIcon(row.icon), PortVerdict::Pass);
    }
}

// The row a job's update gives, and the verdict its icon says, by mode, ping and rates.
TEST(ModemResult, RowIconAndVerdict) {
    DslamConfig target;
    target.UploadRate = 512, target.DownloadRate = 4064;
    struct Case {
        const char* name;
        int mode;
        const char* version;
        int down;
        bool pingPassed;
        int icon;
        const char* verdict;
    } cases[] = {
        {"standard, all good", 0, "V1.0", 4064, true, Icon_Passed, "pass"},
        {"standard, unknown model", 0, "", 4064, true, Icon_RateFailed, "fail"},
        {"standard, low rate", 0, "V1.0", 3000, true, Icon_RateFailed, "fail"},
        {"standard, ping lost", 0, "V1.0", 4064, false, Icon_PingFailed, "fail"},
        {"standard, both", 0, "V1.0", 3000, false, Icon_Failed, "fail"},
        {"ping, unknown model", 2, "", 0, true, Icon_Passed, "pass"},
        {"ping, lost", 2, "", 0, false, Icon_Failed, "fail"},
        {"upgrade", 4, "V1.0", 4064, true, Icon_Identified, "untested"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestInfo info(1);
        info.Update([&](TestInfo::Data& d) {
            d.Modem = Rates(c.down, 512, c.version);
            d.TestMode = c.mode;
            d.Ping.State = 2;
            d.Ping.BigPingCount = d.Ping.SmallPingCount = d.Ping.BigPingReplyCount =
                d.Ping.SmallPingReplyCount = 10;
            d.Ping.BigPingRecvCount = d.Ping.SmallPingRecvCount = d.Ping.BigPingReplyRecvCount =
                d.Ping.SmallPingReplyRecvCount = c.pingPassed ? 10 : 0;
        });
        const PortRow row = PortRowOf(info, target);
        EXPECT_EQ(row.icon, c.icon);
        EXPECT_STREQ(VerdictName(VerdictOfIcon(row.icon)), c.verdict);
    }
    EXPECT_EQ(VerdictOfIcon(WifiIcon({96, 4, true, 0})), PortVerdict::Pass);
    EXPECT_EQ(VerdictOfIcon(WifiIcon({95, 5, true, 0})), PortVerdict::Fail);
    for (int icon :
         std::initializer_list<int>{-1, Icon_LinkDown, Icon_LinkUp, Icon_Disabled, Icon_Identified})
        EXPECT_EQ(VerdictOfIcon(icon), PortVerdict::Untested) << icon;
}
