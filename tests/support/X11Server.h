#pragma once
// What the X server knows of a top-level window, read apart from the toolkit (Xlib's names
// clash with the test framework's).

#include <string>
#include <vector>

namespace testsupport {

// The size hints of the top-level window of that title leave room to resize it.
bool X11WindowSizable(const std::string& display, const std::string& title);
// Puts the keyboard's lock keys into that state as the keys would (the server's locked
// modifiers for Caps and Num Lock, the indicator itself for Scroll Lock, which this server
// binds to no modifier). Its fake key presses lock nothing.
bool X11SetLockKeys(const std::string& display, bool caps, bool num, bool scroll);

// A window manager runs on the display (it has named its check window on the root).
bool X11WindowManagerRunning(const std::string& display);
// The titles of the managed top-level windows as the window manager stacks them, bottom first.
std::vector<std::string> X11StackingOrder(const std::string& display);
// The title of the window that has the keyboard focus ("" for none or the root).
std::string X11FocusedTitle(const std::string& display);

} // namespace testsupport
