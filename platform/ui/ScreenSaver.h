#pragma once
// The X server's screen saver: off while a test runs, put back as found afterwards.
//
// How a program binds to it: ScreenSaver::TurnOff() at a test start, ScreenSaver::Restore()
// at its end (a second TurnOff before a Restore keeps the first saved setting).

namespace platform::ui {

class ScreenSaver {
public:
    // The saver's time-out in seconds (0: off); false without an X display.
    static bool GetTimeout(int& seconds);
    static bool SetTimeout(int seconds);
    static bool TurnOff();
    static bool Restore();
};

} // namespace platform::ui
