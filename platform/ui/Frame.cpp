#include "platform/ui/Frame.h"

#include <wx/wx.h>

#include <wx/xrc/xmlres.h>

#include <atomic>
#include <sstream>

#include "platform/ui/Application.h"
#include "platform/ui/LanguagePack.h"
#include "platform/ui/impl/Images.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

// Set at start-up and cleared at the end, perhaps off the UI thread.
std::atomic<CommandTarget*> g_application{nullptr};

wxFrame* F(void* native) {
    return static_cast<wxFrame*>(native);
}

// Every command id of the menus and the tool bar.
void CollectMenuIds(wxMenu* menu, std::vector<int>& ids) {
    for (wxMenuItem* item : menu->GetMenuItems()) {
        if (item->IsSubMenu())
            CollectMenuIds(item->GetSubMenu(), ids);
        else if (!item->IsSeparator())
            ids.push_back(item->GetId());
    }
}

std::vector<int> CommandIds(wxFrame* frame) {
    std::vector<int> ids;
    if (wxMenuBar* bar = frame->GetMenuBar())
        for (size_t i = 0; i < bar->GetMenuCount(); ++i)
            CollectMenuIds(bar->GetMenu(i), ids);
    if (wxToolBar* tools = frame->GetToolBar())
        for (size_t i = 0; i < tools->GetToolsCount(); ++i)
            if (const wxToolBarToolBase* tool = tools->GetToolByPos(int(i)); tool && !tool->IsSeparator())
                ids.push_back(tool->GetId());
    return ids;
}

// The View menu's tool bar and status bar items, as the framework's frame has them.
wxWindow* ViewBar(wxFrame* frame, int id) {
    if (!frame)
        return nullptr;
    if (id == 59392)
        return frame->GetToolBar();
    if (id == 59393)
        return frame->GetStatusBar();
    return nullptr;
}

bool ToggleBar(wxFrame* frame, int id) {
    wxWindow* bar = ViewBar(frame, id);
    if (!bar)
        return false;
    bar->Show(!bar->IsShown());
    frame->SendSizeEvent();
    return true;
}

bool UpdateBar(wxFrame* frame, CommandUI& ui) {
    wxWindow* bar = ViewBar(frame, ui.Id());
    if (!bar)
        return false;
    ui.SetCheck(bar->IsShown() ? 1 : 0);
    return true;
}

} // namespace

bool IsIndicatorPane(const CString& name) {
    return name == "CAP" || name == "NUM" || name == "SCRL";
}

CString IndicatorPaneText(const CString& name, const LockKeys& keys) {
    const bool on = name == "CAP" ? keys.caps : name == "NUM" ? keys.num : name == "SCRL" && keys.scroll;
    return on ? name : CString();
}

// The indicator panes by number, and the timer that keeps them up to date (the keys may change
// while another program has the keyboard, so no event of ours would tell).
struct Frame::Indicators {
    std::vector<std::pair<int, CString>> panes;
    wxTimer timer;
};

bool ParseAccelerator(const std::string& line, Accelerator& out) {
    std::istringstream in(line);
    std::string keys;
    int command = 0;
    if (!(in >> keys >> command) || command <= 0)
        return false;
    Accelerator a;
    a.command = command;
    size_t start = 0;
    while (true) {
        size_t plus = keys.find('+', start);
        std::string part = keys.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (plus == std::string::npos) {
            if (part.size() == 1 && std::isalnum(static_cast<unsigned char>(part[0])))
                a.key = std::toupper(static_cast<unsigned char>(part[0]));
            else if (part.size() >= 2 && (part[0] == 'F' || part[0] == 'f') &&
                     std::isdigit(static_cast<unsigned char>(part[1]))) {
                int n = std::atoi(part.c_str() + 1);
                if (n < 1 || n > 24)
                    return false;
                a.key = 0x70 + n - 1;
            } else
                return false;
            break;
        }
        if (part == "Ctrl")
            a.modifiers |= Accelerator::Ctrl;
        else if (part == "Shift")
            a.modifiers |= Accelerator::Shift;
        else if (part == "Alt")
            a.modifiers |= Accelerator::Alt;
        else
            return false;
        start = plus + 1;
    }
    out = a;
    return true;
}

Frame::Frame() = default;

Frame::~Frame() {
    m_indicators.reset();
    if (MainWindow() == this)
        SetMainWindow(nullptr);
}

void Frame::SetApplicationTarget(CommandTarget* target) {
    g_application = target;
}

bool Frame::Create(const CString& title, int menuBarId, int width, int height) {
    if (HasWindow())
        return true;
    impl::EnsureResourcesLoaded();
    auto* frame = new wxFrame(nullptr, wxID_ANY, impl::ToWx(title));
    frame->SetClientSize(width, height);
    if (menuBarId) {
        wxMenuBar* bar = wxXmlResource::Get()->LoadMenuBar(frame, wxString::Format("%d", menuBarId));
        if (!bar) {
            UiLog(4, CString("Menu bar ") + std::to_string(menuBarId).c_str() + " is missing.");
            frame->Destroy();
            return false;
        }
        frame->SetMenuBar(bar);
    }
    Attach(frame);
    if (!MainWindow())
        SetMainWindow(this);
    BindEvents();
    ApplyPrompts();
    return true;
}

bool Frame::CreateToolBar(int toolBarId) {
    if (!HasWindow())
        return false;
    impl::EnsureResourcesLoaded();
    wxToolBar* tools = wxXmlResource::Get()->LoadToolBar(F(Native()), wxString::Format("%d", toolBarId));
    if (!tools) {
        UiLog(4, CString("Tool bar ") + std::to_string(toolBarId).c_str() + " is missing.");
        return false;
    }
    F(Native())->SetToolBar(tools);
    ApplyPrompts();
    return true;
}

bool Frame::CreateStatusBar(const std::vector<CString>& paneTexts) {
    if (!HasWindow() || paneTexts.empty())
        return false;
    wxStatusBar* bar = F(Native())->CreateStatusBar(int(paneTexts.size()));
    std::vector<int> widths;
    for (size_t i = 0; i < paneTexts.size(); ++i) {
        // Room for the pane border, and on the last pane for the size grip.
        int extra = i + 1 == paneTexts.size() ? 36 : 16;
        widths.push_back(i == 0 ? -1 : bar->GetTextExtent(impl::ToWx(paneTexts[i])).x + extra);
        bar->SetStatusText(impl::ToWx(paneTexts[i]), int(i));
    }
    bar->SetStatusWidths(int(widths.size()), widths.data());
    F(Native())->SetStatusBarPane(0);
    m_indicators.reset();
    for (size_t i = 0; i < paneTexts.size(); ++i)
        if (IsIndicatorPane(paneTexts[i])) {
            if (!m_indicators)
                m_indicators = std::make_unique<Indicators>();
            m_indicators->panes.emplace_back(int(i), paneTexts[i]);
        }
    if (m_indicators) {
        WindowHandle self = Handle();
        m_indicators->timer.Bind(wxEVT_TIMER, [self](wxTimerEvent&) {
            if (auto* frame = static_cast<Frame*>(self.Get()))
                frame->UpdateIndicators();
        });
        m_indicators->timer.Start(250);
        UpdateIndicators();
    }
    return true;
}

void Frame::UpdateIndicators() {
    wxStatusBar* bar = HasWindow() && m_indicators ? F(Native())->GetStatusBar() : nullptr;
    if (!bar)
        return;
    const LockKeys keys = ReadLockKeys();
    for (const auto& [pane, name] : m_indicators->panes) {
        const wxString text = impl::ToWx(IndicatorPaneText(name, keys));
        if (pane < bar->GetFieldsCount() && bar->GetStatusText(pane) != text)
            bar->SetStatusText(text, pane);
    }
}

void Frame::SetStatusText(int pane, const CString& text) {
    if (HasWindow() && F(Native())->GetStatusBar())
        F(Native())->SetStatusText(impl::ToWx(text), pane);
}

CString Frame::GetStatusText(int pane) const {
    wxStatusBar* bar = HasWindow() ? F(Native())->GetStatusBar() : nullptr;
    return bar && pane < bar->GetFieldsCount() ? impl::FromWx(bar->GetStatusText(pane)) : CString();
}

void Frame::SetAccelerators(const std::vector<Accelerator>& table) {
    if (!HasWindow())
        return;
    std::vector<wxAcceleratorEntry> entries;
    for (const Accelerator& a : table) {
        int flags = ((a.modifiers & Accelerator::Ctrl) ? wxACCEL_CTRL : 0) |
                    ((a.modifiers & Accelerator::Shift) ? wxACCEL_SHIFT : 0) |
                    ((a.modifiers & Accelerator::Alt) ? wxACCEL_ALT : 0);
        int key = a.key >= 0x70 && a.key < 0x70 + 24 ? WXK_F1 + (a.key - 0x70) : a.key;
        entries.emplace_back(flags, key, impl::ToWxId(a.command));
    }
    wxAcceleratorTable accelerators(int(entries.size()), entries.data());
    F(Native())->SetAcceleratorTable(accelerators);
}

bool Frame::LoadAccelerators(const std::string& name) {
    const LanguagePack* pack = Application::Pack();
    const std::string* text = pack ? pack->Resource(name) : nullptr;
    if (!text)
        return false;
    std::vector<Accelerator> table;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        Accelerator a;
        if (!line.empty() && line[0] != '#' && ParseAccelerator(line, a))
            table.push_back(a);
    }
    SetAccelerators(table);
    return true;
}

bool Frame::Route(int id) {
    bool handled = false;
    impl::Guarded("a command", [&] {
        handled = (m_view && m_view->OnCommand(id)) || OnCommand(id) ||
                  (g_application.load() && g_application.load()->OnCommand(id)) || ToggleBar(F(Native()), id);
    });
    return handled;
}

void Frame::RouteUpdate(CommandUI& ui) {
    impl::Guarded("a command update", [&] {
        (m_view && m_view->OnUpdateCommand(ui)) || OnUpdateCommand(ui) ||
            (g_application.load() && g_application.load()->OnUpdateCommand(ui)) || UpdateBar(F(Native()), ui);
    });
}

void Frame::SendCommand(int id) {
    WindowHandle self = Handle();
    auto run = [self, id] {
        if (auto* frame = static_cast<Frame*>(self.Get()))
            frame->Route(id);
    };
    if (Application::IsUiThread())
        run();
    else
        CallOnUiThread(run);
}

void Frame::UpdateCommands() {
    if (HasWindow())
        F(Native())->UpdateWindowUI(wxUPDATE_UI_RECURSE);
}

bool Frame::IsCommandEnabled(int id) const {
    if (!HasWindow())
        return false;
    wxFrame* frame = F(Native());
    int wxId = impl::ToWxId(id);
    if (wxMenuBar* bar = frame->GetMenuBar(); bar && bar->FindItem(wxId))
        return bar->IsEnabled(wxId);
    if (wxToolBar* tools = frame->GetToolBar(); tools && tools->FindById(wxId))
        return tools->GetToolEnabled(wxId);
    return false;
}

bool Frame::IsCommandChecked(int id) const {
    wxMenuBar* bar = HasWindow() ? F(Native())->GetMenuBar() : nullptr;
    wxMenuItem* item = bar ? bar->FindItem(impl::ToWxId(id)) : nullptr;
    return item && item->IsCheckable() && item->IsChecked();
}

void Frame::ShowMaximized() {
    if (!HasWindow())
        return;
    F(Native())->Maximize(true);
    F(Native())->Show(true);
}

bool Frame::SendCloseRequest() {
    return HasWindow() && F(Native())->Close(false);
}

void Frame::ApplyPrompts() {
    // "prompt\ntip": the prompt goes to the status bar, the tip to the tool button.
    wxFrame* frame = F(Native());
    for (int wxId : CommandIds(frame)) {
        CString text = Application::LoadString(unsigned(impl::FromWxId(wxId)));
        if (text.IsEmpty())
            continue;
        wxString both = impl::ToWx(text);
        wxString prompt = both.BeforeFirst('\n'), tip = both.AfterFirst('\n');
        if (wxMenuBar* bar = frame->GetMenuBar(); bar && bar->FindItem(wxId))
            bar->SetHelpString(wxId, prompt);
        if (wxToolBar* tools = frame->GetToolBar(); tools && tools->FindById(wxId)) {
            tools->SetToolLongHelp(wxId, prompt);
            tools->SetToolShortHelp(wxId, tip.empty() ? prompt : tip);
        }
    }
}

void Frame::BindEvents() {
    wxFrame* frame = F(Native());
    WindowHandle self = Handle();
    auto onCommand = [self](wxCommandEvent& event) {
        auto* frame = static_cast<Frame*>(self.Get());
        if (!frame || !frame->Route(impl::FromWxId(event.GetId())))
            event.Skip();
    };
    frame->Bind(wxEVT_MENU, onCommand);
    frame->Bind(wxEVT_TOOL, onCommand);
    frame->Bind(wxEVT_UPDATE_UI, [self](wxUpdateUIEvent& event) {
        auto* frame = static_cast<Frame*>(self.Get());
        if (!frame || event.GetId() < impl::kWxCommandBase) {
            event.Skip();
            return;
        }
        CommandUI ui(impl::FromWxId(event.GetId()));
        frame->RouteUpdate(ui);
        event.Enable(ui.Enabled());
        if (ui.Check() >= 0 && event.IsCheckable())
            event.Check(ui.Check() != 0);
    });
    frame->Bind(wxEVT_CLOSE_WINDOW, [self](wxCloseEvent& event) {
        auto* frame = static_cast<Frame*>(self.Get());
        bool close = true;
        if (frame)
            impl::Guarded("OnClose", [&] { close = frame->OnClose(); });
        if (!close && event.CanVeto()) {
            event.Veto();
            return;
        }
        event.Skip();
    });
}

} // namespace platform::ui
