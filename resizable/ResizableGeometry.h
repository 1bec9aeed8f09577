#pragma once
// The pure arithmetic of the resizable dialogs: anchors in percent of the client area, the
// pixel margins kept from them, the rules of which children clip and repaint, and the grip's
// triangle. No window is touched here.

#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/Window.h"

namespace resizable {

using platform::ui::Rect;
using platform::ui::Size;

// An anchor: x and y in percent of the client width and height.
struct Anchor {
    int x = 0, y = 0;
    bool operator==(const Anchor&) const = default;
};
inline constexpr Anchor NOANCHOR{-1, -1};
inline constexpr Anchor TOP_LEFT{0, 0}, TOP_CENTER{50, 0}, TOP_RIGHT{100, 0}, MIDDLE_LEFT{0, 50},
    MIDDLE_CENTER{50, 50}, MIDDLE_RIGHT{100, 50}, BOTTOM_LEFT{0, 100}, BOTTOM_CENTER{50, 100},
    BOTTOM_RIGHT{100, 100};

struct Margins {
    Size topLeft, bottomRight;
    bool operator==(const Margins&) const = default;
};

// The margins that keep a child at rect in a client area of clientSize (bottom-right NOANCHOR
// means the top-left anchor); division truncates as the integer arithmetic does.
Margins ComputeMargins(const Rect& child, const Size& clientSize, Anchor topLeft, Anchor bottomRight);
// Where the child goes in a client area of clientSize.
Rect PlaceChild(const Margins& margins, const Size& clientSize, Anchor topLeft, Anchor bottomRight);

// Whether a child may be clipped out of the background erase, and whether it must be repainted
// after a move, by its class name and style bits.
bool LikesClipping(const CString& className, unsigned style);
bool NeedsRefresh(const CString& className, unsigned style);

// The grip's shape: per pixel row y, the first x that belongs to it (the lower-right triangle).
std::vector<int> GripRowStarts(int width, int height);

// Window placement as the profile stores it: normal position, show command, flags.
struct WindowPlacement {
    Rect normal;
    int showCmd = 1; // 1 normal, 2 minimised, 3 maximised
    int flags = 0;
    bool operator==(const WindowPlacement&) const = default;
};
CString FormatPlacement(const WindowPlacement& placement);
bool ParsePlacement(const CString& text, WindowPlacement& placement);

} // namespace resizable
