#include "platform/ui/impl/IpAddressField.h"

#include <wx/valnum.h>

namespace platform::ui::impl {

IpAddressField::IpAddressField(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                               const wxString& name)
    : wxPanel(parent, id, pos, size, wxBORDER_SUNKEN | wxTAB_TRAVERSAL, name) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    // The four boxes share the width; the toolkit's own minimum for an entry is far wider.
    int dot = GetTextExtent(".").x + 2;
    int fieldWidth = size.x > 0 ? (size.x - 4 - 3 * dot) / 4 : 30;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            row->Add(new wxStaticText(this, wxID_ANY, "."), 0, wxALIGN_CENTER_VERTICAL);
        wxIntegerValidator<unsigned> valid(nullptr);
        valid.SetRange(0, 255);
        m_fields[i] = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                                     wxTE_CENTRE | wxBORDER_NONE, valid, wxString::Format("%s.%d", name, i));
        m_fields[i]->SetMaxLength(3);
        m_fields[i]->SetMinSize(wxSize(fieldWidth, -1));
        m_fields[i]->SetSize(wxSize(fieldWidth, -1));
        row->Add(m_fields[i], 1, wxEXPAND);
    }
    SetSizer(row);
    Layout();
}

void IpAddressField::SetAddress(const wxString& dotted) {
    wxArrayString parts = wxSplit(dotted, '.');
    for (int i = 0; i < 4; ++i)
        m_fields[i]->ChangeValue(i < int(parts.size()) ? parts[i] : wxString());
}

wxString IpAddressField::GetAddress() const {
    wxString parts[4];
    bool blank = true;
    for (int i = 0; i < 4; ++i) {
        parts[i] = m_fields[i]->GetValue().Strip(wxString::both);
        blank = blank && parts[i].empty();
    }
    if (blank)
        return "";
    wxString dotted;
    for (int i = 0; i < 4; ++i) {
        long value = 0;
        parts[i].ToLong(&value);
        dotted += wxString::Format(i ? ".%ld" : "%ld", value < 0 ? 0 : value > 255 ? 255 : value);
    }
    return dotted;
}

IpAddressXmlHandler::IpAddressXmlHandler() {
    AddWindowStyles();
}

wxObject* IpAddressXmlHandler::DoCreateResource() {
    auto* field = new IpAddressField(m_parentAsWindow, GetID(), GetPosition(), GetSize(), GetName());
    SetupWindow(field);
    return field;
}

bool IpAddressXmlHandler::CanHandle(wxXmlNode* node) {
    return IsOfClass(node, "IpAddressCtrl");
}

} // namespace platform::ui::impl
