#include "resizable/ResizableDialog.h"

#include "platform/ui/Application.h"

namespace resizable {

using platform::ui::Window;

// ---- grip ----

bool CResizableGrip::CreateSizeGrip() {
    Window* window = GetResizableWnd();
    if (!window || !m_grip.Create(*window, m_size.cx, m_size.cy))
        return false;
    UpdateGripPos();
    m_grip.Show(true);
    return true;
}

void CResizableGrip::UpdateGripPos() {
    Window* window = GetResizableWnd();
    if (!window || !m_grip.IsCreated())
        return;
    Size client = window->GetClientSize();
    m_grip.MoveTo(client.cx - m_size.cx, client.cy - m_size.cy);
    m_grip.Enable(!window->IsMaximized());
}

void CResizableGrip::ShowSizeGrip(bool show) {
    m_grip.Show(show);
}

// ---- min/max ----

void CResizableMinMax::SetMinTrackSize(const Size& size) {
    m_useMin = true;
    m_min = size;
}

void CResizableMinMax::SetMaxTrackSize(const Size& size) {
    m_useMax = true;
    m_max = size;
}

void CResizableMinMax::SetMaximizedRect(const Rect& rect) {
    // Kept for callers; the window system places maximised windows itself.
    m_useMaxRect = true;
    m_maxRect = rect;
}

void CResizableMinMax::ApplyMinMax(Window& window) const {
    if (m_useMin)
        window.SetMinTrackSize(m_min);
}

// ---- state ----

bool CResizableState::GetPlacement(WindowPlacement& placement) {
    Window* window = GetResizableWnd();
    if (!window || !window->HasWindow())
        return false;
    placement.normal = window->GetWindowRect();
    placement.showCmd = window->IsMaximized() ? 3 : 1;
    placement.flags = 0;
    return true;
}

bool CResizableState::SaveWindowRect(const CString& section, bool rectOnly) {
    WindowPlacement placement;
    if (!GetPlacement(placement))
        return false;
    if (rectOnly) {
        if (Window* window = GetResizableWnd())
            placement.normal = window->GetWindowRect();
        placement.showCmd = 1;
        placement.flags = 0;
    }
    return platform::ui::WriteProfileString(section, "WindowPlacement", FormatPlacement(placement));
}

// ---- dialog ----

CResizableDialog::CResizableDialog(int resourceId, Window* parent) : Dialog(resourceId, parent) {
    // A sizing frame whatever the template says.
    SetSizingFrame(true);
}

CResizableDialog::~CResizableDialog() = default;

void CResizableDialog::EnableSaveRestore(const CString& section, bool rectOnly) {
    m_bEnableSaveRestore = true;
    m_sSection = section;
    m_bRectOnly = rectOnly;
}

bool CResizableDialog::OnInitDialog() {
    bool result = Dialog::OnInitDialog();
    CreateSizeGrip();
    // The smallest size is the one the dialog was made with.
    Rect window = GetWindowRect();
    SetMinTrackSize({window.Width(), window.Height()});
    ApplyMinMax(*this);
    UpdateGripPos();
    m_bInitDone = true;
    return result;
}

void CResizableDialog::OnSize(unsigned type, int, int) {
    // Minimised (1) and the other-window types (3, 4) move nothing; neither does a size before
    // initialisation.
    if (!m_bInitDone || type == 1 || type > 2)
        return;
    UpdateGripPos();
    ArrangeLayout();
}

void CResizableDialog::OnDestroy() {
    if (m_bEnableSaveRestore)
        SaveWindowRect(m_sSection, m_bRectOnly);
    RemoveAllAnchors();
}

} // namespace resizable
