#include "resizable/ResizableLayout.h"

namespace resizable {

using platform::ui::Control;
using platform::ui::Rect;

void CResizableLayout::AddAnchor(Control child, Anchor topLeft, Anchor bottomRight) {
    if (!child)
        return;
    LayoutRecord record;
    record.child = child;
    // A list box's horizontal scrolling needs its old bits redrawn after a move.
    record.adjustHScroll = child.ClassName() == "ListBox";
    record.needsRefresh = NeedsRefresh(child);
    record.topLeft = topLeft;
    record.bottomRight = bottomRight == NOANCHOR ? topLeft : bottomRight;
    Rect client;
    GetTotalClientRect(client);
    record.margins = ComputeMargins(child.GetRect(), {client.Width(), client.Height()}, topLeft, bottomRight);
    // Anchored children stay ahead of the callback records.
    m_records.insert(m_records.begin() + long(m_firstCallback), record);
    ++m_firstCallback;
}

void CResizableLayout::AddAnchorCallback(int callbackId) {
    LayoutRecord record;
    record.callbackId = callbackId;
    m_records.push_back(record);
}

void CResizableLayout::ArrangeLayout() {
    Rect client;
    GetTotalClientRect(client);
    platform::ui::Size size{client.Width(), client.Height()};
    for (LayoutRecord& record : m_records) {
        if (!record.child) {
            if (!ArrangeLayoutCallback(record) || !record.child)
                continue;
        }
        Rect now = record.child.GetRect();
        Rect placed = PlaceChild(record.margins, size, record.topLeft, record.bottomRight);
        if (placed == now)
            continue;
        record.child.Move(placed);
        // The toolkit paints double-buffered and erases nothing to clip; a child that draws
        // from its own size must be painted again after a move.
        if (record.needsRefresh || record.adjustHScroll)
            record.child.Refresh();
    }
}

void CResizableLayout::RemoveAllAnchors() {
    m_records.clear();
    m_firstCallback = 0;
}

bool CResizableLayout::LikesClipping(const Control& child) const {
    return resizable::LikesClipping(child.ClassName(), child.Style());
}

bool CResizableLayout::NeedsRefresh(const Control& child) const {
    return resizable::NeedsRefresh(child.ClassName(), child.Style());
}

void CResizableLayout::GetTotalClientRect(Rect& rect) const {
    const platform::ui::Window* window = GetResizableWnd();
    platform::ui::Size size = window ? window->GetClientSize() : platform::ui::Size{};
    rect = {0, 0, size.cx, size.cy};
}

bool CResizableLayout::ArrangeLayoutCallback(LayoutRecord&) {
    return false;
}

} // namespace resizable
