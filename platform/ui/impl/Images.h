#pragma once
// Private to platform/ui: images of the language pack in use (XPM text).

#include <string>

#include <wx/bitmap.h>

namespace platform::ui::impl {

// The pack's image by file name; an invalid bitmap when missing.
wxBitmap PackBitmap(const std::string& name);

} // namespace platform::ui::impl
