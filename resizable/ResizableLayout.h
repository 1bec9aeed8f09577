#pragma once
// Children anchored to the client area of a resizable window: each keeps its margins to two
// anchor points given in percent of the client width and height; ArrangeLayout moves them all.

#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Window.h"
#include "resizable/ResizableGeometry.h"

namespace resizable {

class CResizableLayout {
public:
    struct LayoutRecord {
        platform::ui::Control child; // null for a callback record
        int callbackId = 0;
        bool adjustHScroll = false;
        bool needsRefresh = false;
        Anchor topLeft, bottomRight;
        Margins margins;
    };

    virtual ~CResizableLayout() = default;

    void AddAnchor(platform::ui::Control child, Anchor topLeft, Anchor bottomRight = NOANCHOR);
    // A record whose placement ArrangeLayoutCallback decides; it comes after the anchored ones.
    void AddAnchorCallback(int callbackId);
    void ArrangeLayout();
    void RemoveAllAnchors();
    const std::vector<LayoutRecord>& Records() const { return m_records; }

    virtual bool LikesClipping(const platform::ui::Control& child) const;
    virtual bool NeedsRefresh(const platform::ui::Control& child) const;
    virtual void GetTotalClientRect(platform::ui::Rect& rect) const;
    // Fills in the record's anchors and margins; false skips it.
    virtual bool ArrangeLayoutCallback(LayoutRecord& record);
    virtual platform::ui::Window* GetResizableWnd() = 0;
    const platform::ui::Window* GetResizableWnd() const {
        return const_cast<CResizableLayout*>(this)->GetResizableWnd();
    }

private:
    std::vector<LayoutRecord> m_records;
    size_t m_firstCallback = 0;
};

} // namespace resizable
