#pragma once
// Private to platform/ui: the IP-address field, four number boxes of 0..255 with dots between,
// and its XRC handler (class "IpAddressCtrl").

#include <wx/xrc/xmlres.h>

#include "platform/ui/impl/Wx.h"

namespace platform::ui::impl {

class IpAddressField : public wxPanel {
public:
    IpAddressField(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                   const wxString& name);
    void SetAddress(const wxString& dotted);
    wxString GetAddress() const; // "" when all four are blank
    wxTextCtrl* Field(int i) const { return m_fields[i]; }

private:
    wxTextCtrl* m_fields[4] = {};
};

class IpAddressXmlHandler : public wxXmlResourceHandler {
public:
    IpAddressXmlHandler();
    wxObject* DoCreateResource() override;
    bool CanHandle(wxXmlNode* node) override;
};

} // namespace platform::ui::impl
