#include "platform/ui/BrowserPanel.h"

#include <dlfcn.h>

#include <wx/wx.h>

#include <wx/webview.h>

#include "platform/ui/impl/Wx.h"

namespace platform::ui {

struct BrowserPanel::Impl {
    wxWebView* view = nullptr;
    WindowHandle host;
};

BrowserPanel::BrowserPanel() : m_impl(new Impl) {}

BrowserPanel::~BrowserPanel() {
    // The view is a child of the host and goes with it; unhook it from this object first.
    if (m_impl->view && m_impl->host.IsAlive())
        m_impl->view->Destroy();
    delete m_impl;
}

bool BrowserPanel::Create(Window& host) {
    if (m_impl->view)
        return true;
    auto* parent = static_cast<wxWindow*>(host.Native());
    if (!parent || !wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
        return false;
    wxWebView* view =
        wxWebView::New(parent, wxID_ANY, wxWebViewDefaultURLStr, wxPoint(0, 0), parent->GetClientSize());
    if (!view)
        return false;
    m_impl->view = view;
    m_impl->host = host.Handle();
    WindowHandle alive = host.Handle();
    // The browser follows its host's size.
    parent->Bind(wxEVT_SIZE, [view, parent, alive](wxSizeEvent& event) {
        event.Skip();
        if (alive.IsAlive())
            view->SetSize(parent->GetClientSize());
    });
    view->Bind(wxEVT_WEBVIEW_NAVIGATING, [this, alive](wxWebViewEvent& event) {
        if (!alive.IsAlive() || !OnNavigating)
            return;
        impl::Guarded("OnNavigating", [&] {
            if (!OnNavigating(impl::FromWx(event.GetURL())))
                event.Veto();
        });
    });
    view->Bind(wxEVT_WEBVIEW_LOADED, [this, alive](wxWebViewEvent& event) {
        if (alive.IsAlive() && OnLoaded)
            impl::Guarded("OnLoaded", [&] { OnLoaded(impl::FromWx(event.GetURL())); });
    });
    view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, [this, alive](wxWebViewEvent& event) {
        if (alive.IsAlive() && OnTitle)
            impl::Guarded("OnTitle", [&] { OnTitle(impl::FromWx(event.GetString())); });
    });
    return true;
}

bool BrowserPanel::IsCreated() const {
    return m_impl->view && m_impl->host.IsAlive();
}

void BrowserPanel::Navigate(const CString& url) {
    if (IsCreated())
        m_impl->view->LoadURL(impl::ToWx(url));
}

void BrowserPanel::Stop() {
    if (IsCreated())
        m_impl->view->Stop();
}

CString BrowserPanel::GetLocationURL() const {
    return IsCreated() ? impl::FromWx(m_impl->view->GetCurrentURL()) : CString();
}

CString BrowserPanel::GetTitle() const {
    return IsCreated() ? impl::FromWx(m_impl->view->GetCurrentTitle()) : CString();
}

bool BrowserPanel::IsBusy() const {
    return IsCreated() && m_impl->view->IsBusy();
}

bool BrowserPanel::RunScript(const CString& script, CString* result) {
    if (!IsCreated())
        return false;
    wxString output;
    bool ok = m_impl->view->RunScript(impl::ToWx(script), &output);
    if (result)
        *result = impl::FromWx(output);
    return ok;
}

void BrowserPanel::SetPage(const std::string& html, const std::string& baseUrl) {
    if (IsCreated())
        m_impl->view->SetPage(wxString::FromUTF8(html), wxString::FromUTF8(baseUrl));
}

bool BrowserPanel::UseProxy(const std::string& url) {
    // The browser library is loaded with the web view; its proxy calls are looked up there, so
    // the build needs no headers of it.
    using GetDefault = void* (*)();
    using GetManager = void* (*)(void*);
    using NewSettings = void* (*)(const char*, const char* const*);
    using FreeSettings = void (*)(void*);
    using SetSettings = void (*)(void*, int, void*);
    auto getDefault = reinterpret_cast<GetDefault>(dlsym(RTLD_DEFAULT, "webkit_web_context_get_default"));
    auto getManager =
        reinterpret_cast<GetManager>(dlsym(RTLD_DEFAULT, "webkit_web_context_get_website_data_manager"));
    auto newSettings =
        reinterpret_cast<NewSettings>(dlsym(RTLD_DEFAULT, "webkit_network_proxy_settings_new"));
    auto freeSettings =
        reinterpret_cast<FreeSettings>(dlsym(RTLD_DEFAULT, "webkit_network_proxy_settings_free"));
    auto setSettings = reinterpret_cast<SetSettings>(
        dlsym(RTLD_DEFAULT, "webkit_website_data_manager_set_network_proxy_settings"));
    if (!getDefault || !getManager || !newSettings || !freeSettings || !setSettings)
        return false;
    void* manager = getManager(getDefault());
    if (!manager)
        return false;
    constexpr int kProxyCustom = 2; // WEBKIT_NETWORK_PROXY_MODE_CUSTOM
    const char* const noIgnoredHosts[] = {nullptr};
    void* settings = newSettings(url.c_str(), noIgnoredHosts);
    setSettings(manager, kProxyCustom, settings);
    freeSettings(settings);
    return true;
}

void* BrowserPanel::NativeView() const {
    return IsCreated() ? m_impl->view->GetNativeBackend() : nullptr;
}

} // namespace platform::ui
