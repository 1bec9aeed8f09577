#include "platform/ui/ReportList.h"

#include <wx/wx.h>

#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/xrc/xmlres.h>

#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/Frame.h"
#include "platform/ui/impl/Images.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

wxListCtrl* L(void* native) {
    return static_cast<wxListCtrl*>(native);
}

} // namespace

ListControl ReportList::Rows() const {
    return ListControl(Control(Native()));
}

bool ReportList::Create(Frame& frame) {
    auto* parent = static_cast<wxFrame*>(frame.Native());
    if (!parent || HasWindow())
        return false;
    m_frame = &frame;
    auto* list = new wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_NONE);
    Bind(list);
    Rows().SetUp(false);
    parent->SendSizeEvent();
    return true;
}

void ReportList::Bind(void* native) {
    auto* list = static_cast<wxListCtrl*>(native);
    Attach(list);
    WindowHandle self = Handle();
    list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [self](wxListEvent& event) {
        auto* me = static_cast<ReportList*>(self.Get());
        if (me && me->OnDoubleClick)
            impl::Guarded("OnDoubleClick", [&] { me->OnDoubleClick(int(event.GetIndex())); });
    });
    // A double click on the empty area below the rows is one on no row: the selection goes,
    // as the platform's list lets it go on a click there (the toolkit sends nothing for it).
    for (wxWindow* part : list->GetChildren())
        part->Bind(wxEVT_LEFT_DCLICK, [self, list, part](wxMouseEvent& event) {
            event.Skip();
            auto* me = static_cast<ReportList*>(self.Get());
            const int rows = list->GetItemCount();
            wxRect last;
            if (!me || !me->OnDoubleClick || rows == 0 || !list->GetItemRect(rows - 1, last))
                return;
            const wxPoint at = list->ScreenToClient(part->ClientToScreen(event.GetPosition()));
            if (at.y < last.GetBottom())
                return;
            for (long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
                 row = list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
                list->SetItemState(row, 0, wxLIST_STATE_SELECTED);
            impl::Guarded("OnDoubleClick", [&] { me->OnDoubleClick(-1); });
        });
    list->Bind(wxEVT_SIZE, [self](wxSizeEvent& event) {
        event.Skip();
        auto* me = static_cast<ReportList*>(self.Get());
        if (me && me->OnSize) {
            const wxSize client = static_cast<wxWindow*>(me->Native())->GetClientSize();
            impl::Guarded("OnSize", [&] { me->OnSize(client.x, client.y); });
        }
    });
    // A right click on a row gives the row; elsewhere in the list, -1.
    auto onRow = std::make_shared<bool>(false);
    list->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, [self, onRow](wxListEvent& event) {
        auto* me = static_cast<ReportList*>(self.Get());
        *onRow = true;
        if (!me || !me->OnRightClick)
            return;
        wxPoint at = wxGetMousePosition();
        impl::Guarded("OnRightClick", [&] { me->OnRightClick(int(event.GetIndex()), at.x, at.y); });
    });
    list->Bind(wxEVT_CONTEXT_MENU, [self, onRow](wxContextMenuEvent& event) {
        auto* me = static_cast<ReportList*>(self.Get());
        bool handled = *onRow;
        *onRow = false;
        if (handled || !me || !me->OnRightClick)
            return;
        wxPoint at = event.GetPosition() == wxDefaultPosition ? wxGetMousePosition() : event.GetPosition();
        impl::Guarded("OnRightClick", [&] { me->OnRightClick(-1, at.x, at.y); });
    });
}

void ReportList::SetImages(const std::vector<std::string>& names) {
    if (!HasWindow())
        return;
    auto* images = new wxImageList(24, 24, true);
    for (const std::string& name : names) {
        wxBitmap bitmap = impl::PackBitmap(name);
        if (!bitmap.IsOk())
            bitmap = wxBitmap(24, 24);
        else if (bitmap.GetWidth() != 24 || bitmap.GetHeight() != 24)
            bitmap = wxBitmap(bitmap.ConvertToImage().Rescale(24, 24));
        images->Add(bitmap);
    }
    L(Native())->AssignImageList(images, wxIMAGE_LIST_SMALL);
}

bool ReportList::SetItemImage(int item, int image) {
    return HasWindow() && item >= 0 && item < GetItemCount() && L(Native())->SetItemImage(item, image);
}

int ReportList::GetItemImage(int item) const {
    if (!HasWindow() || item < 0 || item >= GetItemCount())
        return -1;
    wxListItem info;
    info.SetId(item);
    info.SetMask(wxLIST_MASK_IMAGE);
    return L(Native())->GetItem(info) ? info.GetImage() : -1;
}

int ReportList::GetSelectedItem() const {
    return HasWindow() ? int(L(Native())->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) : -1;
}

void ReportList::SetSelectedItem(int item) {
    if (!HasWindow() || item < 0 || item >= GetItemCount())
        return;
    L(Native())->SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                              wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    L(Native())->EnsureVisible(item);
}

Rect ReportList::GetItemRect(int item) const {
    wxRect r;
    if (!HasWindow() || !L(Native())->GetItemRect(item, r))
        return {};
    wxPoint origin = L(Native())->ClientToScreen(r.GetTopLeft());
    return {origin.x, origin.y, origin.x + r.width, origin.y + r.height};
}

void ReportList::PopupMenu(int menuBarId, int subMenu, int x, int y) {
    if (!HasWindow() || !m_frame || !m_frame->HasWindow())
        return;
    auto* frame = static_cast<wxFrame*>(m_frame->Native());
    // The context menus are sub-menus of a pack menu bar (ids translated as for the frame's).
    wxMenuBar* bar = wxXmlResource::Get()->LoadMenuBar(wxString::Format("%d", menuBarId));
    if (!bar) {
        UiLog(4, CString("Menu ") + std::to_string(menuBarId).c_str() + " is missing.");
        return;
    }
    if (subMenu >= 0 && subMenu < int(bar->GetMenuCount())) {
        wxMenu* menu = bar->Remove(subMenu);
        frame->PopupMenu(menu, frame->ScreenToClient(wxPoint(x, y)));
        delete menu;
    }
    delete bar;
}

} // namespace platform::ui
