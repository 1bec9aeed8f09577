#include "platform/ui/Dialog.h"

#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/notebook.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <cstdlib>
#include <dlfcn.h>

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/impl/Images.h"
#include "platform/ui/impl/Wx.h"

namespace {

// wxGTK's modal run makes the window modal for GTK too, which takes the input of every other
// window; the toolkit's own disabling of the windows shown at the start stays. GTK is reached
// by name: its headers are not part of the build, its library is wx's.
void ReleaseToolkitGrab(wxWindow* dialog) {
    using SetModal = void (*)(void*, int);
    static const auto setModal = reinterpret_cast<SetModal>(dlsym(RTLD_DEFAULT, "gtk_window_set_modal"));
    if (setModal && dialog->GetHandle())
        setModal(dialog->GetHandle(), 0);
}

} // namespace

namespace platform::ui {
namespace {

constexpr unsigned kOkId = 1, kCancelId = 2;
// The framework's prompt for an integer out of its range.
constexpr unsigned kIntRangePrompt = 61715;

// Null for a page (a panel resource).
wxDialog* D(void* native) {
    // Not wxDynamicCast: its check casts to the class first, which a panel is not.
    return dynamic_cast<wxDialog*>(static_cast<wxWindow*>(native));
}

// Every control with a number, depth first in creation order.
void CollectControls(wxWindow* parent, std::vector<Control>& out) {
    for (wxWindow* child : parent->GetChildren()) {
        if (impl::ControlId(child) != 0)
            out.emplace_back(child);
        if (!dynamic_cast<wxTopLevelWindow*>(child))
            CollectControls(child, out);
    }
}

// The toolkit fixes a window's frame when it makes it: a sizing frame has to be in the
// template before the dialog is made from it.
void AddSizingFrame(const wxString& name) {
    auto* node = const_cast<wxXmlNode*>(wxXmlResource::Get()->GetResourceNode(name));
    if (!node)
        return;
    wxXmlNode* style = node->GetChildren();
    while (style && style->GetName() != "style")
        style = style->GetNext();
    if (!style) {
        style = new wxXmlNode(node, wxXML_ELEMENT_NODE, "style");
        new wxXmlNode(style, wxXML_TEXT_NODE, "", "wxDEFAULT_DIALOG_STYLE");
    }
    wxXmlNode* text = style->GetChildren();
    if (!text)
        text = new wxXmlNode(style, wxXML_TEXT_NODE, "", "");
    wxString flags = text->GetContent();
    if (flags.Contains("wxRESIZE_BORDER"))
        return;
    text->SetContent(flags.empty() ? wxString("wxRESIZE_BORDER") : flags + "|wxRESIZE_BORDER");
}

} // namespace

struct Dialog::Timers {
    std::map<unsigned, std::unique_ptr<wxTimer>> running;
};

// ---- DataExchange ----

void DataExchange::Fail(int id, const CString& message) {
    if (m_failed)
        return;
    m_failed = true;
    impl::ShowBox(message, Application::LoadString(57344), kMbIconWarning,
                  static_cast<wxWindow*>(m_dialog.Native()));
    m_dialog.Item(id).SetFocus();
}

void DataExchange::Text(int id, CString& value) {
    if (m_failed)
        return;
    if (m_save)
        value = m_dialog.Item(id).GetText();
    else
        m_dialog.Item(id).SetText(value);
}

void DataExchange::Int(int id, int& value, int min, int max) {
    if (m_failed)
        return;
    Control item = m_dialog.Item(id);
    if (!m_save) {
        item.SetText(CString(std::to_string(value).c_str()));
        return;
    }
    CString text = item.GetText();
    text.Trim();
    char* end = nullptr;
    long read = std::strtol(text, &end, 10);
    bool number = !text.IsEmpty() && end && *end == '\0';
    if (!number || (min < max && (read < min || read > max))) {
        CString message;
        CString format = Application::LoadString(kIntRangePrompt);
        if (format.IsEmpty())
            format = "Please enter an integer between %d and %d.";
        message.Format(format, min, max);
        Fail(id, message);
        return;
    }
    value = int(read);
}

void DataExchange::Check(int id, int& value) {
    if (m_failed)
        return;
    if (m_save)
        value = m_dialog.Item(id).GetCheck();
    else
        m_dialog.Item(id).SetCheck(value);
}

void DataExchange::Radio(int id, int& index) {
    if (m_failed)
        return;
    // The group runs from the first button to the next one that starts a group.
    auto* first = static_cast<wxWindow*>(m_dialog.Item(id).Native());
    if (!first)
        return;
    std::vector<wxRadioButton*> group;
    bool inGroup = false;
    for (wxWindow* child : first->GetParent()->GetChildren()) {
        auto* radio = dynamic_cast<wxRadioButton*>(child);
        if (child == first)
            inGroup = true;
        else if (inGroup && (!radio || (radio->GetWindowStyleFlag() & wxRB_GROUP)))
            break;
        if (inGroup && radio)
            group.push_back(radio);
    }
    if (m_save) {
        index = -1;
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i]->GetValue())
                index = int(i);
    } else {
        for (size_t i = 0; i < group.size(); ++i)
            group[i]->SetValue(int(i) == index);
    }
}

void DataExchange::ComboIndex(int id, int& index) {
    if (m_failed)
        return;
    if (m_save)
        index = m_dialog.Item(id).GetCurSel();
    else
        m_dialog.Item(id).SetCurSel(index);
}

void DataExchange::ComboText(int id, CString& value) {
    if (m_failed)
        return;
    Control item = m_dialog.Item(id);
    if (m_save) {
        value = item.GetText();
        return;
    }
    // A drop-down list selects the entry with the text; a combo box takes the text.
    auto* choice = dynamic_cast<wxChoice*>(static_cast<wxWindow*>(item.Native()));
    if (choice)
        choice->SetStringSelection(impl::ToWx(value));
    else
        item.SetText(value);
}

void DataExchange::IpAddress(int id, CString& value) {
    if (m_failed)
        return;
    if (m_save)
        value = m_dialog.Item(id).GetAddress();
    else
        m_dialog.Item(id).SetAddress(value);
}

// ---- Dialog ----

Dialog::Dialog(int resourceId, Window* parent)
    : m_resourceId(resourceId), m_parent(parent), m_timers(std::make_unique<Timers>()) {}

Dialog::~Dialog() {
    m_timers->running.clear();
    DestroyWindow();
}

bool Dialog::Make(Window* parent) {
    if (HasWindow())
        return true;
    impl::EnsureResourcesLoaded();
    Window* owner = parent ? parent : MainWindow();
    auto* parentWindow = owner && owner != this ? static_cast<wxWindow*>(owner->Native()) : nullptr;
    wxString name = wxString::Format("%d", m_resourceId);
    const wxXmlNode* node = wxXmlResource::Get()->GetResourceNode(name);
    if (node && node->GetAttribute("class") == "wxPanel") {
        // A page: a child window of its parent, without caption or frame.
        auto* panel = new wxPanel;
        if (!parentWindow || !wxXmlResource::Get()->LoadPanel(panel, parentWindow, name)) {
            delete panel;
            UiLog(4, CString("Page resource ") + name.utf8_str().data() + " cannot be made.");
            return false;
        }
        // Made hidden, as a modeless dialog is: showing it then tells it.
        panel->Hide();
        Attach(panel);
    } else {
        auto* dialog = new wxDialog;
        if (m_sizingFrame)
            AddSizingFrame(name);
        if (!wxXmlResource::Get()->LoadDialog(dialog, parentWindow, name)) {
            delete dialog;
            UiLog(4, CString("Dialog resource ") + name.utf8_str().data() + " is missing.");
            return false;
        }
        Attach(dialog);
        // Without a sizer the toolkit stretches a lone child over the whole dialog; the
        // template's positions are meant to hold.
        if (!dialog->GetSizer())
            dialog->SetAutoLayout(true);
        // OK is the default button, so that Enter presses it from any field, as the platform's
        // dialogs do.
        if (auto* ok = dynamic_cast<wxButton*>(impl::FindControl(dialog, int(kOkId)))) {
            ok->SetDefault();
            dialog->SetDefaultItem(ok);
        }
    }
    BindEvents();
    bool ok = true;
    impl::Guarded("OnInitDialog", [&] { ok = OnInitDialog(); });
    (void)ok;
    return true;
}

void Dialog::BindEvents() {
    auto* dialog = static_cast<wxWindow*>(Native());
    const bool page = D(Native()) == nullptr;
    WindowHandle self = Handle();
    auto route = [self](auto&& body) {
        return [self, body](auto& event) {
            event.Skip();
            if (auto* window = static_cast<Dialog*>(self.Get()))
                impl::Guarded("a dialog handler", [&] { body(*window, event); });
        };
    };
    // Buttons end or command by their numbers; the toolkit's own handling is not wanted.
    dialog->Bind(wxEVT_BUTTON, [self](wxCommandEvent& event) {
        auto* dialog = static_cast<Dialog*>(self.Get());
        int id = impl::ControlId(dynamic_cast<wxWindow*>(event.GetEventObject()));
        if (!dialog || id == 0) {
            event.Skip();
            return;
        }
        impl::Guarded("a dialog command", [&] {
            if (id == int(kOkId))
                dialog->OnOK();
            else if (id == int(kCancelId))
                dialog->OnCancel();
            else
                dialog->OnCommand(id);
        });
    });
    // A page's keys and closing belong to the dialog that holds it.
    if (!page) {
        dialog->Bind(wxEVT_CHAR_HOOK, [self](wxKeyEvent& event) {
            auto* dialog = static_cast<Dialog*>(self.Get());
            if (dialog && event.GetKeyCode() == WXK_ESCAPE) {
                impl::Guarded("OnCancel", [&] { dialog->OnCancel(); });
                return;
            }
            event.Skip();
        });
        dialog->Bind(wxEVT_CLOSE_WINDOW, [self](wxCloseEvent& event) {
            auto* dialog = static_cast<Dialog*>(self.Get());
            if (!dialog) {
                event.Skip();
                return;
            }
            impl::Guarded("OnCancel", [&] { dialog->OnCancel(); });
        });
    }
    dialog->Bind(wxEVT_SHOW, route([](Dialog& d, wxShowEvent& e) { d.OnShowWindow(e.IsShown()); }));
    dialog->Bind(
        wxEVT_SIZE, route([](Dialog& d, wxSizeEvent&) {
            auto* window = static_cast<wxWindow*>(d.Native());
            auto* top = dynamic_cast<wxTopLevelWindow*>(window);
            wxSize client = window->GetClientSize();
            d.OnSize(top && top->IsMaximized() ? 2 : top && top->IsIconized() ? 1 : 0, client.x, client.y);
        }));
    auto changed = route([](Dialog& d, wxCommandEvent& e) {
        int id = impl::ControlId(dynamic_cast<wxWindow*>(e.GetEventObject()));
        if (id)
            d.OnControlChanged(id);
    });
    for (auto type :
         {wxEVT_TEXT, wxEVT_CHOICE, wxEVT_COMBOBOX, wxEVT_CHECKBOX, wxEVT_RADIOBUTTON, wxEVT_LISTBOX})
        dialog->Bind(type, changed);
    // A report list's row chosen, as a list box's selection is.
    dialog->Bind(wxEVT_LIST_ITEM_SELECTED, changed);
    // A tab control's new page.
    dialog->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, route([](Dialog& d, wxBookCtrlEvent& e) {
                     int id = impl::ControlId(dynamic_cast<wxWindow*>(e.GetEventObject()));
                     if (id)
                         d.OnControlChanged(id);
                 }));
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnOK() {
    if (UpdateData(true))
        EndDialog(kOkId);
}

void Dialog::OnCancel() {
    EndDialog(kCancelId);
}

void Dialog::OnCommand(int) {}
void Dialog::OnTimer(unsigned) {}
void Dialog::OnShowWindow(bool) {}
void Dialog::OnSize(unsigned, int, int) {}
void Dialog::OnControlChanged(int) {}

int Dialog::DoModal() {
    if (!Application::IsUiThread()) {
        // Carried to the UI thread; the caller waits for the end (Cancel when the loop is gone).
        int code = kCancelId;
        CallOnUiThread([&] { code = DoModal(); });
        return code;
    }
    if (!Make(m_parent))
        return -1;
    wxDialog* dialog = D(Native());
    if (!dialog) {
        DestroyWindow();
        return -1;
    }
    m_modal = true;
    m_loopDepth = impl::LoopDepth() + 1;
    dialog->CentreOnParent();
    if (m_othersKeepInput)
        dialog->CallAfter([dialog] { ReleaseToolkitGrab(dialog); });
    int code = dialog->ShowModal();
    m_modal = false;
    m_endPending = false;
    m_timers->running.clear();
    DestroyWindow();
    return code;
}

bool Dialog::Create(Window* parent) {
    if (parent)
        m_parent = parent;
    return Make(m_parent);
}

void Dialog::EndDialog(int code) {
    if (!HasWindow())
        return;
    wxDialog* dialog = D(Native());
    if (!m_modal || !dialog || !dialog->IsModal()) {
        ShowWindow(false);
        return;
    }
    // The toolkit ends a modal run only while the run's own loop is the active one; asked from
    // inside a loop above it (a box that a handler opened) it would drop the end and leave the
    // run hidden for good. The end then waits for the dialog's loop to run again.
    const size_t depth = impl::LoopDepth();
    if (depth == m_loopDepth) {
        dialog->EndModal(code);
        return;
    }
    m_endCode = code;
    if (m_endPending)
        return;
    m_endPending = true;
    WindowHandle self = Handle();
    auto again = [self] {
        if (auto* window = static_cast<Dialog*>(self.Get())) {
            window->m_endPending = false;
            window->EndDialog(window->m_endCode);
        }
    };
    if (depth > m_loopDepth)
        impl::WhenLoopRunsAgain(m_loopDepth, again);
    else
        dialog->CallAfter(again); // the run's loop has not started yet
}

bool Dialog::UpdateData(bool save) {
    if (!HasWindow())
        return false;
    DataExchange dx(*this, save);
    DoDataExchange(dx);
    return !dx.Failed();
}

Control Dialog::Item(int id) const {
    return Control(impl::FindControl(static_cast<wxWindow*>(Native()), id));
}

bool Dialog::HasItem(int id) const {
    return bool(Item(id));
}

std::vector<Control> Dialog::Items() const {
    std::vector<Control> items;
    if (HasWindow())
        CollectControls(static_cast<wxWindow*>(Native()), items);
    return items;
}

void Dialog::SetTimer(unsigned id, unsigned ms) {
    if (!HasWindow())
        return;
    auto timer = std::make_unique<wxTimer>();
    WindowHandle self = Handle();
    timer->Bind(wxEVT_TIMER, [self, id](wxTimerEvent&) {
        if (auto* dialog = static_cast<Dialog*>(self.Get()))
            impl::Guarded("OnTimer", [&] { dialog->OnTimer(id); });
    });
    timer->Start(int(ms));
    m_timers->running[id] = std::move(timer);
}

void Dialog::KillTimer(unsigned id) {
    m_timers->running.erase(id);
}

void Dialog::SetIcon(const std::string& imageName) {
    if (!HasWindow())
        return;
    wxBitmap bitmap = impl::PackBitmap(imageName);
    if (bitmap.IsOk() && D(Native())) {
        wxIcon icon;
        icon.CopyFromBitmap(bitmap);
        D(Native())->SetIcon(icon);
    }
}

void Dialog::SetWaitCursor(bool on) {
    if (!HasWindow() || on == m_waitCursor)
        return;
    m_waitCursor = on;
    static_cast<wxWindow*>(Native())->SetCursor(on ? wxCursor(wxCURSOR_WAIT) : wxNullCursor);
}

bool Dialog::FileOpenDialog(const CString& filter, CString& path, const CString& title) {
    // "Name (*.x)|*.x||" is the framework's form; wx wants no trailing empty pair.
    wxString wildcard = impl::ToWx(filter);
    while (wildcard.EndsWith("|"))
        wildcard.RemoveLast();
    wxFileDialog chooser(static_cast<wxWindow*>(Native()), impl::ToWx(title), "", impl::ToWx(path),
                         wildcard.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : wildcard,
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() != wxID_OK)
        return false;
    path = impl::FromWx(chooser.GetPath());
    return true;
}

} // namespace platform::ui
