#pragma once
// A dialog the user may resize: its anchored children follow the size, a grip sits in the
// lower right corner, it cannot shrink below its size at initialisation, and it may save its
// placement in the application profile.
//
// How a program dialog binds to it: derive from CResizableDialog instead of Dialog, and in
// OnInitDialog call CResizableDialog::OnInitDialog first, then AddAnchor(Item(id), TOP_LEFT,
// BOTTOM_RIGHT) for each child that must follow.

#include "platform/ui/Dialog.h"
#include "platform/ui/SizeGrip.h"
#include "resizable/ResizableLayout.h"

namespace resizable {

class CResizableGrip {
public:
    virtual ~CResizableGrip() = default;
    bool CreateSizeGrip();
    void UpdateGripPos();
    void ShowSizeGrip(bool show);
    const platform::ui::SizeGrip& Grip() const { return m_grip; }
    virtual platform::ui::Window* GetResizableWnd() = 0;

private:
    platform::ui::SizeGrip m_grip;
    platform::ui::Size m_size = platform::ui::SizeGrip::StandardSize();
};

class CResizableMinMax {
public:
    virtual ~CResizableMinMax() = default;
    void SetMinTrackSize(const Size& size);
    void SetMaxTrackSize(const Size& size);
    void SetMaximizedRect(const Rect& rect);
    bool HasMinTrackSize() const { return m_useMin; }
    Size MinTrackSize() const { return m_min; }

protected:
    // Puts the switched-on limits on the window.
    void ApplyMinMax(platform::ui::Window& window) const;

private:
    bool m_useMin = false, m_useMax = false, m_useMaxRect = false;
    Size m_min, m_max;
    Rect m_maxRect;
};

class CResizableState {
public:
    virtual ~CResizableState() = default;
    // Writes "WindowPlacement" under the section of the application profile; false when the
    // placement cannot be read (nothing written).
    bool SaveWindowRect(const CString& section, bool rectOnly);
    virtual platform::ui::Window* GetResizableWnd() = 0;

protected:
    virtual bool GetPlacement(WindowPlacement& placement);
};

class CResizableDialog : public platform::ui::Dialog,
                         public CResizableLayout,
                         public CResizableGrip,
                         public CResizableMinMax,
                         public CResizableState {
public:
    CResizableDialog(int resourceId, platform::ui::Window* parent = nullptr);
    ~CResizableDialog() override;

    platform::ui::Window* GetResizableWnd() override { return this; }
    using CResizableMinMax::SetMinTrackSize;
    bool IsInitialised() const { return m_bInitDone; }
    // Save the placement under section when the window goes (off by default).
    void EnableSaveRestore(const CString& section, bool rectOnly = false);

protected:
    bool OnInitDialog() override;
    void OnSize(unsigned type, int cx, int cy) override;
    void OnDestroy() override;

private:
    bool m_bInitDone = false;
    bool m_bEnableSaveRestore = false, m_bRectOnly = false;
    CString m_sSection;
};

} // namespace resizable
