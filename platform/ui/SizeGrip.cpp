#include "platform/ui/SizeGrip.h"

#include <wx/dcbuffer.h>
#include <wx/settings.h>

#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

bool InTriangle(const wxSize& size, const wxPoint& p) {
    return SizeGrip::Contains(size.x, size.y, p.x, p.y);
}

class GripWindow : public wxWindow {
public:
    GripWindow(wxWindow* parent, int width, int height)
        : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(width, height), wxBORDER_NONE) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &GripWindow::OnPaint, this);
        Bind(wxEVT_MOTION, &GripWindow::OnMotion, this);
        Bind(wxEVT_LEFT_DOWN, &GripWindow::OnDown, this);
        Bind(wxEVT_LEFT_UP, &GripWindow::OnUp, this);
        Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_dragging = false; });
    }

private:
    void OnPaint(wxPaintEvent&) {
        wxAutoBufferedPaintDC dc(this);
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
        if (!IsEnabled())
            return;
        wxSize s = GetClientSize();
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
        for (int d = 3; d < s.x; d += 4)
            dc.DrawLine(s.x - 1, s.y - 1 - d, s.x - 1 - d, s.y - 1);
    }
    void OnMotion(wxMouseEvent& event) {
        SetCursor(InTriangle(GetClientSize(), event.GetPosition()) ? wxCursor(wxCURSOR_SIZENWSE)
                                                                   : wxNullCursor);
        if (!m_dragging)
            return;
        wxPoint now = ClientToScreen(event.GetPosition());
        wxWindow* top = wxGetTopLevelParent(this);
        top->SetSize(m_startSize.x + now.x - m_start.x, m_startSize.y + now.y - m_start.y);
    }
    void OnDown(wxMouseEvent& event) {
        if (!InTriangle(GetClientSize(), event.GetPosition())) {
            event.Skip();
            return;
        }
        m_dragging = true;
        m_start = ClientToScreen(event.GetPosition());
        m_startSize = wxGetTopLevelParent(this)->GetSize();
        CaptureMouse();
    }
    void OnUp(wxMouseEvent&) {
        if (m_dragging && HasCapture())
            ReleaseMouse();
        m_dragging = false;
    }

    bool m_dragging = false;
    wxPoint m_start;
    wxSize m_startSize;
};

} // namespace

SizeGrip::~SizeGrip() {
    if (IsCreated())
        static_cast<wxWindow*>(m_native)->Destroy();
}

bool SizeGrip::Create(Window& host, int width, int height) {
    auto* parent = static_cast<wxWindow*>(host.Native());
    if (!parent)
        return false;
    m_native = new GripWindow(parent, width, height);
    m_host = host.Handle();
    return true;
}

void SizeGrip::MoveTo(int x, int y) {
    if (IsCreated()) {
        auto* grip = static_cast<wxWindow*>(m_native);
        grip->Move(x, y);
        grip->Raise();
    }
}

void SizeGrip::Enable(bool enable) {
    if (IsCreated()) {
        static_cast<wxWindow*>(m_native)->Enable(enable);
        static_cast<wxWindow*>(m_native)->Refresh();
    }
}

bool SizeGrip::IsEnabled() const {
    return IsCreated() && static_cast<wxWindow*>(m_native)->IsEnabled();
}

void SizeGrip::Show(bool show) {
    if (IsCreated())
        static_cast<wxWindow*>(m_native)->Show(show);
}

bool SizeGrip::IsVisible() const {
    return IsCreated() && static_cast<wxWindow*>(m_native)->IsShown();
}

Rect SizeGrip::GetRect() const {
    if (!IsCreated())
        return {};
    wxRect r = static_cast<wxWindow*>(m_native)->GetRect();
    return {r.x, r.y, r.x + r.width, r.y + r.height};
}

Size SizeGrip::StandardSize() {
    int w = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X), h = wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y);
    return {w > 0 ? w : 16, h > 0 ? h : 16};
}

} // namespace platform::ui
