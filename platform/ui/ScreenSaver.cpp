#include "platform/ui/ScreenSaver.h"

#include <X11/Xlib.h>

#include <memory>
#include <mutex>

namespace platform::ui {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct Saved {
    std::mutex mutex;
    bool held = false;
    int timeout = 0, interval = 0, blanking = 0, exposures = 0;
};
Saved& S() {
    static Saved saved;
    return saved;
}

// The setting is the server's, so a connection of our own reaches the same one.
DisplayPtr Open() {
    return DisplayPtr(XOpenDisplay(nullptr));
}

} // namespace

bool ScreenSaver::GetTimeout(int& seconds) {
    DisplayPtr display = Open();
    if (!display)
        return false;
    int interval, blanking, exposures;
    XGetScreenSaver(display.get(), &seconds, &interval, &blanking, &exposures);
    return true;
}

bool ScreenSaver::SetTimeout(int seconds) {
    DisplayPtr display = Open();
    if (!display)
        return false;
    int timeout, interval, blanking, exposures;
    XGetScreenSaver(display.get(), &timeout, &interval, &blanking, &exposures);
    XSetScreenSaver(display.get(), seconds, interval, blanking, exposures);
    XSync(display.get(), False);
    return true;
}

bool ScreenSaver::TurnOff() {
    DisplayPtr display = Open();
    if (!display)
        return false;
    std::lock_guard lock(S().mutex);
    if (!S().held) {
        XGetScreenSaver(display.get(), &S().timeout, &S().interval, &S().blanking, &S().exposures);
        S().held = true;
    }
    XSetScreenSaver(display.get(), 0, S().interval, S().blanking, S().exposures);
    XSync(display.get(), False);
    return true;
}

bool ScreenSaver::Restore() {
    std::lock_guard lock(S().mutex);
    if (!S().held)
        return true;
    DisplayPtr display = Open();
    if (!display)
        return false;
    XSetScreenSaver(display.get(), S().timeout, S().interval, S().blanking, S().exposures);
    XSync(display.get(), False);
    S().held = false;
    return true;
}

} // namespace platform::ui
