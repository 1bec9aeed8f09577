#include "resizable/ResizableGeometry.h"

#include <cstdio>

namespace resizable {
namespace {

// Static styles (low five bits) and the centred-image flag; button group box.
constexpr unsigned kSsTypeMask = 0x1F, kSsLeft = 0x0, kSsCenter = 0x1, kSsRight = 0x2, kSsIcon = 0x3,
                   kSsBlackRect = 0x4, kSsGrayRect = 0x5, kSsWhiteRect = 0x6, kSsSimple = 0xB,
                   kSsBitmap = 0xE, kSsEnhMetaFile = 0xF, kSsEtchedHorz = 0x10, kSsEtchedVert = 0x11,
                   kSsCenterImage = 0x200;
constexpr unsigned kBsTypeMask = 0xF, kBsGroupBox = 0x7;
constexpr unsigned kTbstyleTransparent = 0x8000;

} // namespace

Margins ComputeMargins(const Rect& child, const Size& client, Anchor tl, Anchor br) {
    if (br == NOANCHOR)
        br = tl;
    Margins m;
    m.topLeft = {child.left - tl.x * client.cx / 100, child.top - tl.y * client.cy / 100};
    m.bottomRight = {child.right - br.x * client.cx / 100, child.bottom - br.y * client.cy / 100};
    return m;
}

Rect PlaceChild(const Margins& m, const Size& client, Anchor tl, Anchor br) {
    if (br == NOANCHOR)
        br = tl;
    return {client.cx * tl.x / 100 + m.topLeft.cx, client.cy * tl.y / 100 + m.topLeft.cy,
            client.cx * br.x / 100 + m.bottomRight.cx, client.cy * br.y / 100 + m.bottomRight.cy};
}

bool LikesClipping(const CString& className, unsigned style) {
    if (className.CompareNoCase("ToolbarWindow32") == 0)
        return (style & kTbstyleTransparent) == 0;
    if (className.CompareNoCase("Button") == 0)
        return (style & kBsTypeMask) != kBsGroupBox;
    if (className.CompareNoCase("Static") == 0) {
        switch (style & kSsTypeMask) {
        case kSsIcon:
        case kSsEnhMetaFile:
            return (style & kSsCenterImage) == 0;
        case kSsBlackRect:
        case kSsGrayRect:
        case kSsWhiteRect:
        case kSsBitmap:
        case kSsEtchedHorz:
        case kSsEtchedVert:
            return true;
        default:
            return false;
        }
    }
    return true;
}

bool NeedsRefresh(const CString& className, unsigned style) {
    if (className.CompareNoCase("Static") != 0)
        return false;
    switch (style & kSsTypeMask) {
    case kSsLeft:
    case kSsCenter:
    case kSsRight:
    case kSsBitmap:
    case kSsEnhMetaFile:
        return true;
    case kSsIcon:
    case kSsSimple:
    case kSsEtchedHorz:
    case kSsEtchedVert:
        return false;
    default:
        return (style & kSsCenterImage) != 0;
    }
}

std::vector<int> GripRowStarts(int width, int height) {
    // Row y loses the span from 0 to width - y; what is left starts there.
    std::vector<int> starts;
    for (int y = 0; y < height; ++y)
        starts.push_back(width - y < 0 ? 0 : width - y);
    return starts;
}

CString FormatPlacement(const WindowPlacement& p) {
    CString text;
    text.Format("%d,%d,%d,%d,%d,%d", p.normal.left, p.normal.top, p.normal.right, p.normal.bottom, p.showCmd,
                p.flags);
    return text;
}

bool ParsePlacement(const CString& text, WindowPlacement& p) {
    WindowPlacement read;
    int consumed = 0;
    if (std::sscanf(text, "%d,%d,%d,%d,%d,%d%n", &read.normal.left, &read.normal.top, &read.normal.right,
                    &read.normal.bottom, &read.showCmd, &read.flags, &consumed) != 6 ||
        text[consumed] != '\0')
        return false;
    p = read;
    return true;
}

} // namespace resizable
