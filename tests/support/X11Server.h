#pragma once
// What the X server knows of a top-level window, read apart from the toolkit (Xlib's names
// clash with the test framework's).

#include <string>

namespace testsupport {

// The size hints of the top-level window of that title leave room to resize it.
bool X11WindowSizable(const std::string& display, const std::string& title);
// Puts the keyboard's lock keys into that state as the keys would (the server's locked
// modifiers for Caps and Num Lock, the indicator itself for Scroll Lock, which this server
// binds to no modifier). Its fake key presses lock nothing.
bool X11SetLockKeys(const std::string& display, bool caps, bool num, bool scroll);

} // namespace testsupport
