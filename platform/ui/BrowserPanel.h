#pragma once
// One hosted browser (wxWebView over WebKitGTK) filling a window's client area.
//
// How a program binds to it: a dialog that shows web pages owns a BrowserPanel, calls
// Create(*this) in OnInitDialog and Navigate(address); it may set the callbacks first:
// OnNavigating (false vetoes the navigation), OnLoaded, OnTitle. WebKit shows its own log-in
// prompt for pages that ask for HTTP credentials. All calls on the UI thread.

#include <functional>
#include <string>

#include "platform/text/CString.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class BrowserPanel {
public:
    BrowserPanel();
    ~BrowserPanel();
    BrowserPanel(const BrowserPanel&) = delete;
    BrowserPanel& operator=(const BrowserPanel&) = delete;

    // False when the browser cannot be made (no WebKit backend).
    bool Create(Window& host);
    bool IsCreated() const;
    void Navigate(const CString& url);
    void Stop();
    CString GetLocationURL() const;
    CString GetTitle() const;
    bool IsBusy() const;
    // Runs JavaScript in the page; the result as text (false when it failed).
    bool RunScript(const CString& script, CString* result = nullptr);
    // The native view (WebKitWebView*).
    void* NativeView() const;
    // Shows a page of the program's own (UTF-8 HTML) under the base address.
    void SetPage(const std::string& html, const std::string& baseUrl);

    // From now on every browser of the process, made before or after, sends each request
    // (loopback too) through the HTTP proxy at url; false when the browser cannot be told.
    static bool UseProxy(const std::string& url);

    std::function<bool(const CString& url)> OnNavigating;
    std::function<void(const CString& url)> OnLoaded;
    std::function<void(const CString& title)> OnTitle;

private:
    struct Impl;
    Impl* m_impl;
};

} // namespace platform::ui
