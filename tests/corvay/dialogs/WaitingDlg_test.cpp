// The timed progress dialog's rules, tick by tick.

#include <gtest/gtest.h>

#include "corvay/dialogs/WaitingDlg.h"
#include "engine/log/StringTable.h"
#include "tests/support/PrivateLog.h"

namespace {

TEST(WaitingDlg, WithCountdownTheCaptionCountsDownAndTheDialogClosesAfterTheTime) {
    SetLogLevel(LOG_LEVEL_DEBUG);
    WaitingProgress progress(10000, "等待Modem建链...", true);
    progress.Restart();
    struct Step {
        int tick;
        const char* caption;
        int position;
    } steps[] = {
        {1, "等待Modem建链...还有9秒", 10},
        {5, "等待Modem建链...还有5秒", 50},
        {9, "等待Modem建链...还有1秒", 90},
        {10, "等待Modem建链...还有0秒", 100},
    };
    int tick = 0;
    for (const Step& s : steps) {
        while (tick < s.tick) {
            EXPECT_FALSE(progress.Tick()) << "tick " << tick + 1;
            ++tick;
        }
        EXPECT_EQ(std::string(progress.Caption()), s.caption) << "tick " << tick;
        EXPECT_EQ(progress.Position(), s.position) << "tick " << tick;
    }
    EXPECT_TRUE(progress.Tick()) << "the eleventh tick closes it";
    EXPECT_NE(testsupport::LogText().find("WaitingDlg::OnTimer(UINT_PTR nIDEvent)"), std::string::npos);
}

TEST(WaitingDlg, WithoutCountdownItNeverClosesAndTheBarStartsAgain) {
    WaitingProgress progress(3000, "Please waiting", false);
    progress.Restart();
    std::vector<int> positions;
    for (int i = 0; i < 9; ++i) {
        EXPECT_FALSE(progress.Tick());
        positions.push_back(progress.Position());
        EXPECT_EQ(std::string(progress.Caption()), "Please waiting");
    }
    EXPECT_EQ(positions, (std::vector<int>{33, 66, 100, 0, 33, 66, 100, 0, 33}));
}

TEST(WaitingDlg, ALongDurationKeepsTheBarRightPastThirtyTwoBits) {
    // elapsed x 100 passes 2^31 once elapsed exceeds 21474836 ms.
    WaitingProgress progress(30000000, "", false);
    progress.Restart();
    for (int i = 0; i < 25000; ++i)
        progress.Tick();
    EXPECT_EQ(progress.Elapsed(), 25000000);
    EXPECT_EQ(progress.Position(), 83);
}

TEST(WaitingDlg, ZeroDurationEndsOrRestartsAtTheFirstTick) {
    WaitingProgress countdown(0, "", true), plain(0, "", false);
    EXPECT_TRUE(countdown.Tick());
    EXPECT_FALSE(plain.Tick());
    EXPECT_EQ(plain.Position(), 0);
}

} // namespace
