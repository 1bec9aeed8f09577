#include "platform/ui/WindowPrompts.h"

#include <wx/wx.h>

#include <wx/generic/msgdlgg.h>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace impl {

int ShowBox(const CString& text, const CString& caption, unsigned type, wxWindow* owner) {
    long style = 0;
    switch (type & 0xF) {
    case kMbOkCancel:
    case kMbRetryCancel:
        style = wxOK | wxCANCEL;
        break;
    case kMbYesNoCancel:
        style = wxYES_NO | wxCANCEL;
        break;
    case kMbYesNo:
        style = wxYES_NO;
        break;
    default:
        style = wxOK;
    }
    switch (type & 0xF0) {
    case kMbIconError:
        style |= wxICON_ERROR;
        break;
    case kMbIconQuestion:
        style |= wxICON_QUESTION;
        break;
    case kMbIconWarning:
        style |= wxICON_WARNING;
        break;
    case kMbIconInformation:
        style |= wxICON_INFORMATION;
        break;
    }
    Window* main = MainWindow();
    wxWindow* parent = owner ? owner : main ? static_cast<wxWindow*>(main->Native()) : nullptr;
    // The generic box: the same on every desktop, and its buttons are ours to drive in tests.
    wxGenericMessageDialog box(parent, impl::ToWx(text), impl::ToWx(caption), style | wxCENTRE);
    if ((type & 0xF) == kMbRetryCancel)
        box.SetOKCancelLabels(_("&Retry"), _("Cancel"));
    switch (box.ShowModal()) {
    case wxID_OK:
        return (type & 0xF) == kMbRetryCancel ? kIdRetry : kIdOk;
    case wxID_YES:
        return kIdYes;
    case wxID_NO:
        return kIdNo;
    default:
        return (type & 0xF) == kMbOk ? kIdOk : kIdCancel;
    }
}

} // namespace impl

namespace {

int AskOnUiThread(const CString& text, const CString& caption, unsigned type, Window* owner) {
    int answer = SafeAnswer(type);
    if (!CallOnUiThread([&] {
            answer =
                impl::ShowBox(text, caption, type, owner ? static_cast<wxWindow*>(owner->Native()) : nullptr);
        }))
        UiLog(3, "Message box after the window loop ended: " + caption + ": " + text);
    return answer;
}

} // namespace

int WindowPrompts::MessageBox(const CString& text, const CString& caption, unsigned type) {
    return AskOnUiThread(text, caption, type, nullptr);
}

int OwnedMessageBox(Window& owner, const CString& text, const CString& caption, unsigned type) {
    return AskOnUiThread(text, caption, type, &owner);
}

} // namespace platform::ui
