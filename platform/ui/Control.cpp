#include "platform/ui/Control.h"

#include <algorithm>

#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/statline.h>
#include <wx/tglbtn.h>

#include "platform/ui/impl/IpAddressField.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

// Style bits of the framework's controls, for rules written against them.
constexpr unsigned kSsLeft = 0x0, kSsCenter = 0x1, kSsRight = 0x2, kSsBitmap = 0xE, kSsEtchedHorz = 0x10,
                   kSsEtchedVert = 0x11;
constexpr unsigned kBsPush = 0x0, kBsAutoCheckBox = 0x3, kBsGroupBox = 0x7, kBsAutoRadio = 0x9;
constexpr unsigned kEsReadOnly = 0x800, kEsMultiline = 0x4;

template <class T> T* As(void* native) {
    return dynamic_cast<T*>(static_cast<wxWindow*>(native));
}

} // namespace

int Control::Id() const {
    return impl::ControlId(static_cast<wxWindow*>(m_native));
}

CString Control::ClassName() const {
    if (!m_native)
        return "";
    if (As<wxStaticText>(m_native) || As<wxStaticBitmap>(m_native) || As<wxStaticLine>(m_native))
        return "Static";
    if (As<wxStaticBox>(m_native) || As<wxButton>(m_native) || As<wxCheckBox>(m_native) ||
        As<wxRadioButton>(m_native) || As<wxToggleButton>(m_native))
        return "Button";
    if (As<wxTextCtrl>(m_native))
        return "Edit";
    if (As<wxListBox>(m_native))
        return "ListBox";
    if (As<wxComboBox>(m_native) || As<wxChoice>(m_native))
        return "ComboBox";
    if (As<wxListCtrl>(m_native))
        return "SysListView32";
    if (As<wxGauge>(m_native))
        return "msctls_progress32";
    if (As<wxToolBar>(m_native))
        return "ToolbarWindow32";
    if (As<impl::IpAddressField>(m_native))
        return "SysIPAddress32";
    if (As<wxBookCtrlBase>(m_native))
        return "SysTabControl32";
    return impl::FromWx(static_cast<wxWindow*>(m_native)->GetClassInfo()->GetClassName());
}

unsigned Control::Style() const {
    auto* window = static_cast<wxWindow*>(m_native);
    if (!window)
        return 0;
    long wx = window->GetWindowStyleFlag();
    if (As<wxStaticText>(m_native))
        return (wx & wxALIGN_CENTRE_HORIZONTAL) ? kSsCenter : (wx & wxALIGN_RIGHT) ? kSsRight : kSsLeft;
    if (As<wxStaticBitmap>(m_native))
        return kSsBitmap;
    if (auto* line = As<wxStaticLine>(m_native))
        return line->IsVertical() ? kSsEtchedVert : kSsEtchedHorz;
    if (As<wxStaticBox>(m_native))
        return kBsGroupBox;
    if (As<wxCheckBox>(m_native))
        return kBsAutoCheckBox;
    if (As<wxRadioButton>(m_native))
        return kBsAutoRadio;
    if (As<wxButton>(m_native))
        return kBsPush;
    if (As<wxTextCtrl>(m_native))
        return ((wx & wxTE_READONLY) ? kEsReadOnly : 0) | ((wx & wxTE_MULTILINE) ? kEsMultiline : 0);
    return 0;
}

void Control::SetText(const CString& text) {
    if (auto* edit = As<wxTextCtrl>(m_native)) {
        // Line breaks are "\r\n" in the program's text and "\n" in the toolkit's.
        wxString value = impl::ToWx(text);
        value.Replace("\r\n", "\n");
        edit->ChangeValue(value);
    } else if (auto* combo = As<wxComboBox>(m_native))
        combo->SetValue(impl::ToWx(text));
    else if (auto* ip = As<impl::IpAddressField>(m_native))
        ip->SetAddress(impl::ToWx(text));
    else if (m_native)
        static_cast<wxWindow*>(m_native)->SetLabel(impl::ToWx(text));
}

CString Control::GetText(bool* exact) const {
    if (auto* edit = As<wxTextCtrl>(m_native)) {
        wxString value = edit->GetValue();
        if (edit->IsMultiLine())
            value.Replace("\n", "\r\n");
        return impl::FromWx(value, exact);
    }
    if (auto* combo = As<wxComboBox>(m_native))
        return impl::FromWx(combo->GetValue(), exact);
    if (auto* choice = As<wxChoice>(m_native))
        return impl::FromWx(choice->GetStringSelection(), exact);
    if (auto* ip = As<impl::IpAddressField>(m_native))
        return impl::FromWx(ip->GetAddress(), exact);
    if (exact)
        *exact = true;
    return m_native ? impl::FromWx(static_cast<wxWindow*>(m_native)->GetLabel(), exact) : CString();
}

void Control::Enable(bool enable) {
    if (m_native)
        static_cast<wxWindow*>(m_native)->Enable(enable);
}

bool Control::IsEnabled() const {
    return m_native && static_cast<wxWindow*>(m_native)->IsEnabled();
}

void Control::Show(bool show) {
    if (m_native)
        static_cast<wxWindow*>(m_native)->Show(show);
}

bool Control::IsVisible() const {
    return m_native && static_cast<wxWindow*>(m_native)->IsShown();
}

void Control::SetFocus() {
    if (m_native)
        static_cast<wxWindow*>(m_native)->SetFocus();
}

void Control::SetReadOnly(bool readOnly) {
    if (auto* edit = As<wxTextCtrl>(m_native))
        edit->SetEditable(!readOnly);
}

Rect Control::GetRect() const {
    if (!m_native)
        return {};
    wxRect r = static_cast<wxWindow*>(m_native)->GetRect();
    return {r.x, r.y, r.x + r.width, r.y + r.height};
}

Rect Control::GetDisplayRect() const {
    Rect whole = GetRect();
    auto* book = As<wxBookCtrlBase>(m_native);
    if (!book || book->GetPageCount() == 0)
        return whole;
    wxRect page = book->GetPage(0)->GetRect();
    if (page.width <= 0 || page.height <= 0)
        return whole;
    return {whole.left + page.x, whole.top + page.y, whole.left + page.x + page.width,
            whole.top + page.y + page.height};
}

void Control::Move(const Rect& r) {
    if (m_native)
        static_cast<wxWindow*>(m_native)->SetSize(r.left, r.top, r.Width(), r.Height());
}

void Control::Refresh() {
    if (m_native)
        static_cast<wxWindow*>(m_native)->Refresh();
}

void Control::LineScroll(int lines) {
    auto* edit = As<wxTextCtrl>(m_native);
    if (!edit || lines == 0)
        return;
    long column = 0, line = 0;
    edit->PositionToXY(edit->GetInsertionPoint(), &column, &line);
    long target = std::max(0L, std::min(line + lines, long(edit->GetNumberOfLines()) - 1));
    edit->ShowPosition(lines > 0 && target >= edit->GetNumberOfLines() - 1 ? edit->GetLastPosition()
                                                                           : edit->XYToPosition(0, target));
}

void Control::SetCheck(int check) {
    if (auto* box = As<wxCheckBox>(m_native))
        box->SetValue(check != 0);
    else if (auto* radio = As<wxRadioButton>(m_native))
        radio->SetValue(check != 0);
}

int Control::GetCheck() const {
    if (auto* box = As<wxCheckBox>(m_native))
        return box->GetValue() ? 1 : 0;
    if (auto* radio = As<wxRadioButton>(m_native))
        return radio->GetValue() ? 1 : 0;
    return 0;
}

int Control::AddString(const CString& text) {
    if (auto* book = As<wxBookCtrlBase>(m_native)) {
        // The tabs only: what a tab shows is the dialog's business.
        book->AddPage(new wxPanel(book), impl::ToWx(text));
        return int(book->GetPageCount()) - 1;
    }
    if (auto* items = As<wxItemContainer>(m_native))
        return items->Append(impl::ToWx(text));
    return -1;
}

void Control::ResetContent() {
    if (auto* book = As<wxBookCtrlBase>(m_native))
        book->DeleteAllPages();
    if (auto* items = As<wxItemContainer>(m_native))
        items->Clear();
}

int Control::GetCount() const {
    if (auto* book = As<wxBookCtrlBase>(m_native))
        return int(book->GetPageCount());
    auto* items = As<wxItemContainer>(m_native);
    return items ? int(items->GetCount()) : 0;
}

void Control::SetCurSel(int index) {
    if (auto* book = As<wxBookCtrlBase>(m_native)) {
        if (index >= 0 && index < int(book->GetPageCount()))
            book->ChangeSelection(size_t(index));
        return;
    }
    if (auto* items = As<wxItemContainer>(m_native))
        items->SetSelection(index >= 0 && index < int(items->GetCount()) ? index : wxNOT_FOUND);
}

int Control::GetCurSel() const {
    if (auto* book = As<wxBookCtrlBase>(m_native))
        return book->GetSelection();
    auto* items = As<wxItemContainer>(m_native);
    return items ? items->GetSelection() : -1;
}

CString Control::GetItemText(int index) const {
    if (auto* book = As<wxBookCtrlBase>(m_native))
        return index >= 0 && index < int(book->GetPageCount())
                   ? impl::FromWx(book->GetPageText(size_t(index)))
                   : CString();
    auto* items = As<wxItemContainer>(m_native);
    if (!items || index < 0 || index >= int(items->GetCount()))
        return "";
    return impl::FromWx(items->GetString(index));
}

void Control::SetRange(int low, int high) {
    // The bar counts from zero; a range that starts elsewhere is shifted.
    if (auto* gauge = As<wxGauge>(m_native))
        gauge->SetRange(high - low > 0 ? high - low : 1);
}

void Control::SetPos(int pos) {
    if (auto* gauge = As<wxGauge>(m_native))
        gauge->SetValue(pos < 0 ? 0 : pos > gauge->GetRange() ? gauge->GetRange() : pos);
}

int Control::GetPos() const {
    auto* gauge = As<wxGauge>(m_native);
    return gauge ? gauge->GetValue() : 0;
}

int Control::GetRangeHigh() const {
    auto* gauge = As<wxGauge>(m_native);
    return gauge ? gauge->GetRange() : 0;
}

void Control::SetAddress(const CString& dotted) {
    if (auto* ip = As<impl::IpAddressField>(m_native))
        ip->SetAddress(impl::ToWx(dotted));
}

CString Control::GetAddress() const {
    auto* ip = As<impl::IpAddressField>(m_native);
    return ip ? impl::FromWx(ip->GetAddress()) : CString();
}

} // namespace platform::ui
