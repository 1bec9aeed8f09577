#include "platform/ui/Window.h"

#include "platform/ui/Application.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {
wxWindow* W(void* native) {
    return static_cast<wxWindow*>(native);
}
Window* g_mainWindow = nullptr;
} // namespace

Window* WindowHandle::Get() const {
    auto token = m_token.lock();
    return token ? *token : nullptr;
}

Window::Window() = default;

Window::~Window() {
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
    if (m_native) {
        wxWindow* native = W(m_native);
        Detach();
        native->Destroy();
    }
}

void Window::OnMessage(unsigned, uintptr_t, intptr_t) {}

WindowHandle Window::Handle() const {
    WindowHandle handle;
    handle.m_token = m_token;
    return handle;
}

void Window::Attach(void* native) {
    m_native = native;
    m_token = std::make_shared<Window*>(this);
    // The toolkit may destroy the window after this object is gone (a top-level window goes
    // at idle): the handler reaches the object only through its token, which dies with it.
    std::weak_ptr<Window*> token = m_token;
    W(native)->Bind(wxEVT_DESTROY, [token, native](wxWindowDestroyEvent& event) {
        event.Skip();
        auto alive = token.lock();
        if (!alive || event.GetEventObject() != native)
            return;
        Window* window = *alive;
        impl::Guarded("OnDestroy", [window] { window->OnDestroy(); });
        window->Detach();
    });
}

void Window::Detach() {
    m_native = nullptr;
    m_token.reset();
}

void Window::SetWindowText(const CString& text) {
    if (m_native)
        W(m_native)->SetLabel(impl::ToWx(text));
}

CString Window::GetWindowText() const {
    return m_native ? impl::FromWx(W(m_native)->GetLabel()) : CString();
}

void Window::ShowWindow(bool show) {
    if (m_native)
        W(m_native)->Show(show);
}

bool Window::IsWindowVisible() const {
    return m_native && W(m_native)->IsShown();
}

void Window::CenterWindow() {
    if (m_native)
        W(m_native)->CentreOnParent();
}

void Window::Invalidate() {
    if (m_native)
        W(m_native)->Refresh();
}

void Window::UpdateWindow() {
    if (m_native)
        W(m_native)->Update();
}

void Window::EnableWindow(bool enable) {
    if (m_native)
        W(m_native)->Enable(enable);
}

Rect Window::GetWindowRect() const {
    if (!m_native)
        return {};
    wxRect r = W(m_native)->GetScreenRect();
    return {r.x, r.y, r.x + r.width, r.y + r.height};
}

Size Window::GetClientSize() const {
    if (!m_native)
        return {};
    wxSize s = W(m_native)->GetClientSize();
    return {s.x, s.y};
}

void Window::SetWindowSize(int cx, int cy) {
    if (m_native)
        W(m_native)->SetSize(cx, cy);
}

void Window::MoveWindow(const Rect& r) {
    if (m_native)
        W(m_native)->SetSize(r.left, r.top, r.Width(), r.Height());
}

bool Window::IsMaximized() const {
    auto* top = m_native ? dynamic_cast<wxTopLevelWindow*>(W(m_native)) : nullptr;
    return top && top->IsMaximized();
}

void Window::Maximize(bool maximize) {
    if (auto* top = m_native ? dynamic_cast<wxTopLevelWindow*>(W(m_native)) : nullptr)
        top->Maximize(maximize);
}

void Window::SetMinTrackSize(const Size& size) {
    if (m_native)
        W(m_native)->SetMinSize(wxSize(size.cx, size.cy));
}

void Window::DestroyWindow() {
    if (!m_native)
        return;
    wxWindow* native = W(m_native);
    impl::Guarded("OnDestroy", [this] { OnDestroy(); });
    Detach();
    native->Destroy();
}

Size Window::DialogUnitsToPixels(const Size& units) const {
    if (!m_native)
        return units;
    wxSize s = W(m_native)->ConvertDialogToPixels(wxSize(units.cx, units.cy));
    return {s.x, s.y};
}

bool PostMessage(const WindowHandle& window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (!window.IsAlive())
        return false;
    return RunOnUiThread([window, message, wParam, lParam] {
        if (Window* target = window.Get())
            target->OnMessage(message, wParam, lParam);
    });
}

WaitCursor::WaitCursor() {
    wxBeginBusyCursor();
}

WaitCursor::~WaitCursor() {
    wxEndBusyCursor();
}

Window* MainWindow() {
    return g_mainWindow;
}

void SetMainWindow(Window* window) {
    g_mainWindow = window;
}

} // namespace platform::ui
