#pragma once
// The base of every window of the layer (dialogs, frames, panels), and posting a message to a
// window from any thread.
//
// How a program binds to it: a window class overrides OnMessage to take its posted messages
// (the program's own numbers, 1124 and up); a worker keeps the window's Handle() and calls
// PostMessage(handle, message, wParam, lParam). The message runs on the UI thread, and is
// dropped when the window is gone by then.

#include <cstdint>
#include <memory>

#include "platform/text/CString.h"

namespace platform::ui {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};
struct Size {
    int cx = 0, cy = 0;
    bool operator==(const Size&) const = default;
};

class Window;
// A weak reference to a window: valid while the window's native side lives.
class WindowHandle {
public:
    WindowHandle() = default;
    Window* Get() const; // null once gone (UI thread only)
    bool IsAlive() const { return !m_token.expired(); }

private:
    friend class Window;
    std::weak_ptr<Window*> m_token;
};

class Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // A posted message (UI thread).
    virtual void OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
    // The native window is being destroyed (by the program, its parent or the user).
    virtual void OnDestroy() {}

    WindowHandle Handle() const;
    bool HasWindow() const { return m_native != nullptr; }
    void* Native() const { return m_native; } // the wxWindow (platform/ui only)

    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void CenterWindow();
    void Invalidate();
    void UpdateWindow();
    void EnableWindow(bool enable);
    Rect GetWindowRect() const; // screen coordinates
    Size GetClientSize() const;
    void SetWindowSize(int cx, int cy);
    void MoveWindow(const Rect& screenRect);
    bool IsMaximized() const;
    void Maximize(bool maximize);
    // Smallest size the user can make the window (whole window, pixels).
    void SetMinTrackSize(const Size& size);
    void DestroyWindow();

    // Dialog units of the window's font into pixels.
    Size DialogUnitsToPixels(const Size& units) const;

    // The layer calls these when it makes and loses the native side.
    void Attach(void* native);
    void Detach();

private:
    void* m_native = nullptr;
    std::shared_ptr<Window*> m_token;
};

// Queues a message for the window; false when the window is gone or the loop has ended.
bool PostMessage(const WindowHandle& window, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0);

// The hour-glass for the application, while the object lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The program's main window (the first frame), or null.
Window* MainWindow();
void SetMainWindow(Window* window);

} // namespace platform::ui
