#pragma once
// A size grip: a small child in a window's lower right corner that resizes the window when
// dragged. Only the lower-right triangle of its square answers the mouse.
//
// How a program binds to it: the resizable dialogs make one in creation (Create), place it on
// every size (Move) and disable it while maximised.

#include "platform/ui/Window.h"

namespace platform::ui {

class SizeGrip {
public:
    SizeGrip() = default;
    ~SizeGrip();
    SizeGrip(const SizeGrip&) = delete;
    SizeGrip& operator=(const SizeGrip&) = delete;

    bool Create(Window& host, int width, int height);
    bool IsCreated() const { return m_native != nullptr && m_host.IsAlive(); }
    void MoveTo(int x, int y); // client coordinates of the host
    void Enable(bool enable);
    bool IsEnabled() const;
    void Show(bool show);
    bool IsVisible() const;
    Rect GetRect() const;

    // Whether a point of a grip of that size is in its lower-right triangle (row y keeps the
    // pixels from width - y on).
    static bool Contains(int width, int height, int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < height && x >= width - y;
    }
    // The standard grip size (the scroll-bar widths of the system).
    static Size StandardSize();

private:
    void* m_native = nullptr;
    WindowHandle m_host;
};

} // namespace platform::ui
