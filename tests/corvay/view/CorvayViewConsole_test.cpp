// The main view over the switch's serial console (a fake on a pty): the initial update's wait
// for the login, link traps on the rows, and the refresh's time-out by login state.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "corvay/view/CCorvayView.h"
#include "engine/log/StringTable.h"
#include "engine/switch/SwitchManager.h"
#include "platform/prompt/Prompt.h"
#include "tests/corvay/view/CorvayViewRecorder.h"
#include "tests/support/FakeConsoleTest.h"
#include "tests/support/ProcessConfiguration.h"

namespace {

using namespace std::chrono_literals;

std::string Text(unsigned id) {
    return LoadStringId(id).str();
}

class CorvayViewConsole : public testsupport::FakeConsoleTest {
protected:
    CorvayViewConsole() : FakeConsoleTest(6) {}
    void SetUp() override {
        FakeConsoleTest::SetUp();
        if (IsSkipped())
            return;
        SwitchManagerImpl::ViewReadyEvent().Reset();
        options.viewReady = nullptr;
        options.timings.replyWaitMs = 600;
    }
    void TearDown() override {
        view.reset();
        SwitchManager::DeleteInstance();
    }
    CCorvayView& Make(const char* password = "admin") {
        config_ = std::make_unique<testsupport::ProcessConfiguration>(
            std::string("[Switch]\r\nPortCount=6\r\nTrunkPortNo=6\r\nConnectMode=Serial\r\nSerial=1\r\n"
                        "Login.User=admin\r\nLogin.Password=") +
            password + "\r\n");
        CCorvayView::Options o;
        o.console = options;
        view = std::make_unique<CCorvayView>(window, o);
        return *view;
    }
    std::vector<std::string> Boxes() const { return testsupport::BoxTexts(prompts); }

    std::unique_ptr<testsupport::ProcessConfiguration> config_;
    platform::RecordingPromptService prompts;
    platform::ScopedPromptService scoped{prompts};
    testsupport::CorvayViewRecorder window;
    std::unique_ptr<CCorvayView> view;
};

TEST_F(CorvayViewConsole, LoginEndsTheWaitAndTrapsChangeTheRows) {
    fake.SetPortFields(1, {"enabled", "up", 2});
    CCorvayView& v = Make();
    v.OnInitialUpdate();
    // The wait is a timer; the window stays free meanwhile.
    EXPECT_EQ(window.timers.count(CCorvayView::Timer_LoginWait), 1u);
    EXPECT_TRUE(window.rows.empty());
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return !window.rows.empty(); }, 20s));
    EXPECT_EQ(window.timers.count(CCorvayView::Timer_LoginWait), 0u);
    EXPECT_EQ(window.rows.size(), 5u);
    EXPECT_EQ(window.rows[0].image, 1);
    EXPECT_EQ(window.rows[1].image, 0);
    EXPECT_EQ(window.splashCloses, 1);
    // A trap from the console's thread, shown on the UI thread.
    fake.SendTrap(2, true);
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return window.rows[1].image == 1; }, 10s));
    fake.SendTrap(1, false);
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return window.rows[0].image == 0; }, 10s));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(CorvayViewConsole, NoLoginInTimeLeavesTheRowsAndTheSplash) {
    fake.SetSilent(true);
    CCorvayView& v = Make();
    v.OnInitialUpdate();
    window.Pump(v);
    v.OnTimer(CCorvayView::Timer_LoginWait);
    window.Pump(v);
    EXPECT_TRUE(window.rows.empty());
    EXPECT_EQ(window.splashCloses, 0);
    EXPECT_TRUE(Boxes().empty());
    // A late timer or login news after that changes nothing more.
    v.OnTimer(CCorvayView::Timer_LoginWait);
    EXPECT_TRUE(window.rows.empty());
}

TEST_F(CorvayViewConsole, RefreshTimeOutByLoginState) {
    // Logged in, then the switch falls silent: string 1.
    CCorvayView& v = Make();
    v.OnInitialUpdate();
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return !window.rows.empty(); }, 20s));
    fake.SetSilent(true);
    EXPECT_FALSE(v.RefreshPortStatus());
    EXPECT_EQ(Boxes(), std::vector<std::string>{Text(1)});
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.cursor, 0);
}

TEST_F(CorvayViewConsole, WebManagementOnASilentSwitchShowsTheTimeOut) {
    fake.SetPortFields(1, {"enabled", "up", 2});
    CCorvayView& v = Make();
    v.OnInitialUpdate();
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return !window.rows.empty(); }, 20s));
    fake.SetSilent(true);
    // The switch's time-out is shown like the refresh's, and the program goes on.
    EXPECT_TRUE(v.OnCommand(CCorvayView::ID_WEB_MANAGE));
    EXPECT_EQ(Boxes(), std::vector<std::string>{Text(1)});
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.cursor, 0);
}

TEST_F(CorvayViewConsole, RefreshTimeOutAfterAFailedLoginAsksForTheSettings) {
    fake.SetCredentials("admin", "other", "other");
    CCorvayView& v = Make("admin");
    v.OnInitialUpdate();
    // The login is given up: its news shows string 14 and the switch settings.
    ASSERT_TRUE(window.PumpUntil(
        v, [&] { return v.GetSwitchManager()->IsLoggedIn() == 0; }, 30s));
    window.PumpUntil(
        v, [&] { return !window.dialogs.empty(); }, 5s);
    prompts.QueueAnswer(platform::kIdOk);
    const size_t before = prompts.Boxes().size();
    const size_t dialogsBefore = window.dialogs.size();
    EXPECT_FALSE(v.RefreshPortStatus());
    ASSERT_EQ(prompts.Boxes().size(), before + 1);
    EXPECT_EQ(Boxes().back(), Text(14));
    ASSERT_EQ(window.dialogs.size(), dialogsBefore + 1);
    EXPECT_EQ(window.dialogs.back(), "SwitchConfigDlg");
    EXPECT_TRUE(window.rows.empty());
}

} // namespace
