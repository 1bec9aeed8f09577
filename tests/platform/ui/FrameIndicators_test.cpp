// The status bar's indicator panes: which panes follow a lock key, and what each shows.

#include <gtest/gtest.h>

#include "platform/ui/Frame.h"

namespace {

using platform::ui::IndicatorPaneText;
using platform::ui::IsIndicatorPane;
using platform::ui::LockKeys;

TEST(FrameIndicators, APaneShowsItsNameOnlyWhileItsKeyIsOn) {
    struct Case {
        const char* pane;
        LockKeys keys;
        const char* shown;
    } cases[] = {
        {"CAP", {true, false, false}, "CAP"},   {"CAP", {false, true, true}, ""},
        {"NUM", {false, true, false}, "NUM"},   {"NUM", {true, false, true}, ""},
        {"SCRL", {false, false, true}, "SCRL"}, {"SCRL", {true, true, false}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsIndicatorPane(c.pane));
        EXPECT_EQ(std::string(IndicatorPaneText(c.pane, c.keys)), c.shown) << c.pane;
    }
    // The message pane and any other text are no indicators.
    for (const char* other : {"就绪", "Ready", "cap", ""})
        EXPECT_FALSE(IsIndicatorPane(other)) << other;
}

} // namespace
