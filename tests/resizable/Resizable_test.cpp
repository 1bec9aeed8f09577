// The resizable layout's arithmetic and rules, without windows.

#include <gtest/gtest.h>

#include "platform/files/Registry.h"
#include "platform/ui/Application.h"
#include "platform/ui/SizeGrip.h"
#include "resizable/ResizableDialog.h"
#include "tests/support/TempDir.h"

namespace {

using namespace resizable;

TEST(Resizable, AnchorsKeepTheirMarginsThroughAResize) {
    const Size before{400, 300};
    const Rect child{20, 30, 120, 60};
    struct Case {
        const char* what;
        Anchor tl, br;
        Size after;
        Rect expected;
    } cases[] = {
        // Top-left with the default bottom-right: same size, same offset.
        {"top-left", TOP_LEFT, NOANCHOR, {600, 500}, {20, 30, 120, 60}},
        // All four distances to the edges kept.
        {"stretch", TOP_LEFT, BOTTOM_RIGHT, {600, 500}, {20, 30, 320, 260}},
        {"stretch smaller", TOP_LEFT, BOTTOM_RIGHT, {300, 200}, {20, 30, 20, -40}},
        // Bottom-right: keeps its distances to the right and bottom edges.
        {"bottom-right", BOTTOM_RIGHT, NOANCHOR, {500, 400}, {120, 130, 220, 160}},
        {"bottom-left", BOTTOM_LEFT, NOANCHOR, {500, 400}, {20, 130, 120, 160}},
        // Half way: the margins taken at 400 x 300 hold around the new centre line.
        {"middle", MIDDLE_CENTER, NOANCHOR, {600, 500}, {120, 130, 220, 160}},
    };
    for (const Case& c : cases) {
        Margins m = ComputeMargins(child, before, c.tl, c.br);
        EXPECT_EQ(PlaceChild(m, before, c.tl, c.br), child) << c.what << ": same size, same place";
        EXPECT_EQ(PlaceChild(m, c.after, c.tl, c.br), c.expected) << c.what;
    }
}

TEST(Resizable, MarginsTruncateAsIntegerDivisionDoes) {
    // 33 % of 101 is 33.33: margin 50 - 33; placed at 33 % of 202 = 66.66 -> 66 + 17.
    Margins m = ComputeMargins({50, 50, 70, 70}, {101, 101}, {33, 33}, {66, 66});
    EXPECT_EQ(m.topLeft, (Size{17, 17}));
    EXPECT_EQ(m.bottomRight, (Size{70 - 66, 70 - 66}));
    EXPECT_EQ(PlaceChild(m, {202, 202}, {33, 33}, {66, 66}), (Rect{66 + 17, 66 + 17, 133 + 4, 133 + 4}));
    // Negative positions (a child partly outside) truncate toward zero too.
    Margins n = ComputeMargins({-5, -5, 10, 10}, {99, 99}, {50, 50}, NOANCHOR);
    EXPECT_EQ(n.topLeft, (Size{-5 - 49, -5 - 49}));
}

TEST(Resizable, ClippingAndRefreshFollowTheClassAndStyle) {
    constexpr unsigned kCenterImage = 0x200;
    struct Case {
        const char* cls;
        unsigned style;
        bool clips, refresh;
    } cases[] = {
        {"Static", 0x0, false, true}, // left text
        {"Static", 0x1, false, true}, // centred text
        {"Static", 0x2, false, true}, // right text
        {"Static", 0x3, true, false}, // icon
        {"Static", 0x3 | kCenterImage, false, false},
        {"Static", 0x4, true, false}, // black rectangle: refreshed only with centred image
        {"Static", 0x4 | kCenterImage, true, true},
        {"Static", 0x7, false, false}, // black frame
        {"Static", 0x7 | kCenterImage, false, true},
        {"Static", 0xB, false, false}, // simple
        {"Static", 0xE, true, true},   // bitmap
        {"Static", 0xF, true, true},   // enhanced metafile
        {"Static", 0xF | kCenterImage, false, true},
        {"Static", 0x10, true, false}, // etched horizontal
        {"Static", 0x11, true, false}, // etched vertical
        {"Button", 0x7, false, false}, // group box
        {"Button", 0x0, true, false},
        {"Button", 0x3, true, false},
        {"ToolbarWindow32", 0x8000, false, false},
        {"ToolbarWindow32", 0x0, true, false},
        {"Edit", 0x800, true, false},
        {"ListBox", 0x0, true, false},
        {"SysListView32", 0x0, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LikesClipping(c.cls, c.style), c.clips) << c.cls << " " << std::hex << c.style;
        EXPECT_EQ(NeedsRefresh(c.cls, c.style), c.refresh) << c.cls << " " << std::hex << c.style;
    }
    EXPECT_FALSE(LikesClipping("static", 0x0)) << "class names compare without case";
}

TEST(Resizable, TheGripIsTheLowerRightTriangle) {
    std::vector<int> rows = GripRowStarts(4, 4);
    EXPECT_EQ(rows, (std::vector<int>{4, 3, 2, 1}));
    // The grip's hit test is that shape.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(platform::ui::SizeGrip::Contains(16, 16, x, y), x >= GripRowStarts(16, 16)[y])
                << x << "," << y;
    EXPECT_FALSE(platform::ui::SizeGrip::Contains(16, 16, 16, 15));
    EXPECT_FALSE(platform::ui::SizeGrip::Contains(16, 16, -1, 15));
}

// A state with a placement of its own, so no window is needed.
class FixedState : public CResizableState {
public:
    bool readable = true;
    WindowPlacement placement{{10, 20, 410, 320}, 3, 0};
    platform::ui::Window* GetResizableWnd() override { return nullptr; }

protected:
    bool GetPlacement(WindowPlacement& p) override {
        p = placement;
        return readable;
    }
};

TEST(Resizable, ThePlacementGoesToTheProfileAndReadsBack) {
    testsupport::TempDir dir;
    platform::SetRegistryRoot(dir.str().c_str());
    platform::ui::Application::SetRegistryKey("Tellvane", "Corvay");
    FixedState state;
    ASSERT_TRUE(state.SaveWindowRect("FirmwareManageDlg", false));
    CString text;
    ASSERT_EQ(platform::RegGetString(platform::Hive::CurrentUser,
                                     "Software\\Tellvane\\Corvay\\FirmwareManageDlg", "WindowPlacement",
                                     text),
              platform::kRegSuccess);
    EXPECT_EQ(std::string(text), "10,20,410,320,3,0");
    WindowPlacement back;
    ASSERT_TRUE(ParsePlacement(text, back));
    EXPECT_EQ(back, state.placement);
    for (const char* bad : {"", "1,2,3,4,5", "1,2,3,4,5,6,7", "a,2,3,4,5,6"})
        EXPECT_FALSE(ParsePlacement(bad, back)) << bad;
    // A placement that cannot be read writes nothing.
    state.readable = false;
    EXPECT_FALSE(state.SaveWindowRect("Other", false));
    EXPECT_FALSE(platform::RegKeyExists(platform::Hive::CurrentUser, "Software\\Tellvane\\Corvay\\Other"));
    platform::SetRegistryRoot("");
}

} // namespace
