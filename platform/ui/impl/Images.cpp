#include "platform/ui/impl/Images.h"

#include <wx/image.h>
#include <wx/mstream.h>

#include "platform/ui/Application.h"
#include "platform/ui/LanguagePack.h"

namespace platform::ui::impl {

wxBitmap PackBitmap(const std::string& name) {
    const LanguagePack* pack = Application::Pack();
    const std::string* bytes = pack ? pack->Resource(name) : nullptr;
    if (!bytes)
        return wxBitmap();
    wxMemoryInputStream stream(bytes->data(), bytes->size());
    wxImage image(stream, wxBITMAP_TYPE_XPM);
    return image.IsOk() ? wxBitmap(image) : wxBitmap();
}

} // namespace platform::ui::impl
