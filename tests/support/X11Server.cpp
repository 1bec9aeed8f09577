#include "tests/support/X11Server.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

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
    ok = XkbSetNamedIndicator(display, XInternAtom(display, "Scroll Lock", False), True, scroll, False,
                              nullptr) &&
         ok;
    XSync(display, False);
    XCloseDisplay(display);
    return ok;
}

namespace {

using DisplayPtr = std::unique_ptr<Display, int (*)(Display*)>;

DisplayPtr Open(const std::string& name) {
    return DisplayPtr(XOpenDisplay(name.c_str()), XCloseDisplay);
}

// The items of a window property of that type (32-bit items come as longs).
std::vector<unsigned long> Property(Display* display, Window window, const char* name, Atom type) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && format == 32)
        items.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
    if (data)
        XFree(data);
    return items;
}

std::string Title(Display* display, Window window) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(display, "UTF8_STRING", False), &actual, &format, &count, &after,
                           &data) == Success &&
        data && format == 8)
        title.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return title;
}

} // namespace

bool X11WindowManagerRunning(const std::string& name) {
    DisplayPtr display = Open(name);
    return display &&
           !Property(display.get(), DefaultRootWindow(display.get()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
                .empty();
}

std::vector<std::string> X11StackingOrder(const std::string& name) {
    std::vector<std::string> titles;
    DisplayPtr display = Open(name);
    if (!display)
        return titles;
    for (unsigned long window :
         Property(display.get(), DefaultRootWindow(display.get()), "_NET_CLIENT_LIST_STACKING", XA_WINDOW))
        titles.push_back(Title(display.get(), Window(window)));
    return titles;
}

std::string X11FocusedTitle(const std::string& name) {
    DisplayPtr display = Open(name);
    if (!display)
        return "";
    // The focus sits on a child of the client (the toolkit's focus proxy) or on the client.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display.get(), &focus, &revert);
    Window root = DefaultRootWindow(display.get());
    while (focus && focus != PointerRoot && focus != root) {
        if (std::string title = Title(display.get(), focus); !title.empty())
            return title;
        Window parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display.get(), focus, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parent;
    }
    return "";
}

} // namespace testsupport
