#pragma once
// The windowed prompt service: message boxes asked from any thread, shown on the UI thread
// (the asking thread waits for the answer; a box asked on the UI thread runs there at once).
//
// How a program binds to it: after Application::Start,
//     platform::ui::WindowPrompts prompts;  platform::SetPromptService(&prompts);
// and SetPromptService(nullptr) before the loop goes. Once the loop has ended a box gets the
// safe answer (platform::SafeAnswer) without showing.

#include "platform/prompt/Prompt.h"
#include "platform/ui/Window.h"

namespace platform::ui {

class WindowPrompts : public platform::PromptService {
public:
    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
};

// A box owned by that window (UI thread or not, as above), not by the main window.
int OwnedMessageBox(Window& owner, const CString& text, const CString& caption, unsigned type);

} // namespace platform::ui
