#include "tests/support/X11Server.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testsupport {

bool X11WindowSizable(const std::string& displayName, const std::string& title) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display)
        return false;
    bool sizable = false;
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            if (!XFetchName(display, children[i], &name) || !name)
                continue;
            const bool match = title == name;
            XFree(name);
            XSizeHints hints{};
            long supplied = 0;
            if (match && XGetWMNormalHints(display, children[i], &hints, &supplied)) {
                sizable = !(hints.flags & PMaxSize) || !(hints.flags & PMinSize) ||
                          hints.max_width > hints.min_width || hints.max_height > hints.min_height;
                break;
            }
        }
        if (children)
            XFree(children);
    }
    XCloseDisplay(display);
    return sizable;
}

bool X11SetLockKeys(const std::string& displayName, bool caps, bool num, bool scroll) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display)
        return false;
    // Num Lock's modifier as this keymap binds it.
    unsigned numMask = XkbKeysymToModifiers(display, XStringToKeysym("Num_Lock"));
    unsigned mask = LockMask | numMask;
    bool ok = XkbLockModifiers(display, XkbUseCoreKbd, mask, (caps ? LockMask : 0) | (num ? numMask : 0));
    ok = XkbSetNamedIndicator(display, XInternAtom(display, "Scroll Lock", False), True, scroll, False, nullptr) && ok;
    XSync(display, False);
    XCloseDisplay(display);
    return ok;
}

} // namespace testsupport
