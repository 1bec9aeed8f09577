#include "platform/ui/WindowPrompts.h"

#include <wx/wx.h>

#include <wx/artprov.h>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {

std::vector<BoxButton> MessageBoxButtons(unsigned type) {
    const BoxButton ok{kIdOk, 61720, "OK"}, cancel{kIdCancel, 61721, "Cancel"}, yes{kIdYes, 61722, "&Yes"},
        no{kIdNo, 61723, "&No"}, retry{kIdRetry, 61724, "&Retry"};
    switch (type & 0xF) {
    case kMbOkCancel:
        return {ok, cancel};
    case kMbYesNoCancel:
        return {yes, no, cancel};
    case kMbYesNo:
        return {yes, no};
    case kMbRetryCancel:
        return {retry, cancel};
    default:
        return {ok};
    }
}

namespace impl {
namespace {

int WxAnswerId(int answer) {
    switch (answer) {
    case kIdCancel:
        return wxID_CANCEL;
    case kIdYes:
        return wxID_YES;
    case kIdNo:
        return wxID_NO;
    case kIdRetry:
        return wxID_RETRY;
    default:
        return wxID_OK;
    }
}

wxArtID BoxIcon(unsigned type) {
    switch (type & 0xF0) {
    case kMbIconError:
        return wxART_ERROR;
    case kMbIconQuestion:
        return wxART_QUESTION;
    case kMbIconWarning:
        return wxART_WARNING;
    case kMbIconInformation:
        return wxART_INFORMATION;
    default:
        return wxArtID();
    }
}

bool TakesInput(wxWindow* window) {
    return window && !window->IsBeingDeleted() && window->IsShownOnScreen() && window->IsEnabled();
}

// The window the operator works in. A box parented to a window below the innermost modal run
// would go under that run at its first click, while still taking every click and key.
wxWindow* BoxOwner(wxWindow* asked) {
    if (wxWindow* top = asked ? wxGetTopLevelParent(asked) : nullptr; TakesInput(top))
        return top;
    if (wxDialog* run = InnermostModalRun())
        return run;
    if (wxWindow* active = wxGetTopLevelParent(wxGetActiveWindow()); TakesInput(active))
        return active;
    Window* main = MainWindow();
    return main ? static_cast<wxWindow*>(main->Native()) : nullptr;
}

} // namespace

int ShowBox(const CString& text, const CString& caption, unsigned type, wxWindow* owner) {
    wxWindow* parent = BoxOwner(owner);
    // The keys go back where they were when the box is gone.
    wxWindow* focused = wxWindow::FindFocus();
    if (focused && wxGetTopLevelParent(focused) != parent)
        focused = parent;
    wxWindowRef parentRef(parent), focusedRef(focused);
    // A box of our own: the toolkit's stock buttons would follow the desktop's language and
    // order, not the program's.
    // Yes/No has no close box: it has no safe answer of its own to give.
    const long frame = wxCAPTION | wxSYSTEM_MENU | ((type & 0xF) == kMbYesNo ? 0 : wxCLOSE_BOX);
    wxDialog box(parent, wxID_ANY, impl::ToWx(caption), wxDefaultPosition, wxDefaultSize, frame, kBoxName);
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    if (wxArtID icon = BoxIcon(type); !icon.empty())
        row->Add(new wxStaticBitmap(&box, wxID_ANY, wxArtProvider::GetBitmap(icon, wxART_MESSAGE_BOX)), 0,
                 wxRIGHT | wxALIGN_TOP, 12);
    auto* message = new wxStaticText(&box, wxID_ANY, impl::ToWx(text));
    message->Wrap(box.FromDIP(480));
    row->Add(message, 1, wxALIGN_CENTER_VERTICAL);
    column->Add(row, 1, wxALL | wxEXPAND, 14);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    const std::vector<BoxButton> layout = MessageBoxButtons(type);
    for (size_t i = 0; i < layout.size(); ++i) {
        CString label = Application::LoadString(layout[i].labelId);
        auto* button = new wxButton(&box, WxAnswerId(layout[i].answer),
                                    label.IsEmpty() ? wxString(layout[i].english) : impl::ToWx(label));
        buttons->Add(button, 0, i ? wxLEFT : 0, 8);
        if (i == 0) {
            button->SetDefault();
            button->SetFocus();
        }
        button->Bind(wxEVT_BUTTON, [&box](wxCommandEvent& event) { box.EndModal(event.GetId()); });
    }
    column->Add(buttons, 0, wxALIGN_CENTER_HORIZONTAL | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    box.SetSizerAndFit(column);
    // As wide as its caption: the title bar would cut it otherwise. Its font and buttons are the
    // window manager's, so the allowance is generous.
    wxFont titleFont = box.GetFont().Bold();
    titleFont.SetFractionalPointSize(titleFont.GetFractionalPointSize() * 1.2);
    int textWidth = 0, textHeight = 0;
    box.GetTextExtent(impl::ToWx(caption), &textWidth, &textHeight, nullptr, nullptr, &titleFont);
    const int captionWidth = textWidth + box.FromDIP(120);
    if (box.GetSize().x < captionWidth) {
        box.SetMinSize(wxSize(captionWidth, box.GetSize().y));
        box.SetSize(wxSize(captionWidth, box.GetSize().y));
    }
    // Escape and the close box give the box's safe answer.
    const int safe = WxAnswerId(SafeAnswer(type));
    box.SetEscapeId(wxID_NONE);
    box.Bind(wxEVT_CHAR_HOOK, [&box, safe](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE)
            box.EndModal(safe);
        else
            event.Skip();
    });
    box.Bind(wxEVT_CLOSE_WINDOW, [&box, safe](wxCloseEvent&) { box.EndModal(safe); });
    box.CentreOnParent();
    const int answer = box.ShowModal();
    if (focusedRef && TakesInput(parentRef))
        focusedRef->SetFocus();
    switch (answer) {
    case wxID_OK:
        return kIdOk;
    case wxID_YES:
        return kIdYes;
    case wxID_NO:
        return kIdNo;
    case wxID_RETRY:
        return kIdRetry;
    default:
        return kIdCancel;
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
