#pragma once
// The windowed prompt service: message boxes asked from any thread, shown on the UI thread
// (the asking thread waits for the answer; a box asked on the UI thread runs there at once).
//
// How a program binds to it: after Application::Start,
//     platform::ui::WindowPrompts prompts;  platform::SetPromptService(&prompts);
// and SetPromptService(nullptr) before the loop goes. Once the loop has ended a box gets the
// safe answer (platform::SafeAnswer) without showing.

#include <vector>

#include "platform/prompt/Prompt.h"
#include "platform/ui/Window.h"

namespace platform::ui {

// A message box's buttons, left to right as the platform lays them out (Yes before No, Cancel
// last); the first is the default. The label is the pack's string of that id (the program's
// language), else the English one.
struct BoxButton {
    int answer; // platform::kIdOk ...
    unsigned labelId;
    const char* english;
};
std::vector<BoxButton> MessageBoxButtons(unsigned type);

class WindowPrompts : public platform::PromptService {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
};

// A box owned by that window (UI thread or not, as above), not by the main window.
int OwnedMessageBox(Window& owner, const CString& text, const CString& caption, unsigned type);

} // namespace platform::ui
