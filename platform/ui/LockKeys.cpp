// The lock keys' state from the X server's keyboard indicators.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/ui/Frame.h"

namespace platform::ui {
namespace {

bool IndicatorOn(Display* display, const char* name) {
    Bool on = False;
    return XkbGetNamedIndicator(display, XInternAtom(display, name, False), nullptr, &on, nullptr, nullptr) &&
           on;
}

} // namespace

LockKeys ReadLockKeys() {
    // One connection of our own for the program's life (asked from the UI thread only).
    static Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    return {IndicatorOn(display, "Caps Lock"), IndicatorOn(display, "Num Lock"),
            IndicatorOn(display, "Scroll Lock")};
}

} // namespace platform::ui
