#pragma once
// Private to platform/ui's sources: the wx side of the layer. Nothing outside platform/ui
// includes this.

#include <wx/wx.h>

#include <functional>

#include "platform/text/CString.h"
#include "platform/text/Gbk.h"

namespace platform::ui::impl {

inline wxString ToWx(const CString& gbk) {
    return wxString::FromUTF8(GbkToUtf8(gbk));
}
inline CString FromWx(const wxString& text, bool* exact = nullptr) {
    return Utf8ToGbk(std::string(text.utf8_str()), exact);
}

// Program command ids from 0x8000 up are moved into the range wx accepts for menus and back.
constexpr int kCommandBase = 0x8000, kWxCommandBase = 6000;
inline int ToWxId(int id) {
    return id >= kCommandBase ? id - kCommandBase + kWxCommandBase : id;
}
inline int FromWxId(int id) {
    return id >= kWxCommandBase && id < kWxCommandBase + 0x8000 ? id - kWxCommandBase + kCommandBase : id;
}

// Runs a handler, logging what escapes it.
void Guarded(const char* where, const std::function<void()>& body);

// How many event loops run, the main loop counting one; a loop started now runs at
// LoopDepth() + 1. The task runs when the loop at that depth is active again after a loop
// above it has ended (dropped when that loop ends first).
size_t LoopDepth();
void WhenLoopRunsAgain(size_t depth, std::function<void()> task);

// The innermost modal run that shows (a dialog or a box), or null.
wxDialog* InnermostModalRun();

// The window of a control: a child whose name is the control's number.
wxWindow* FindControl(wxWindow* parent, int id);
int ControlId(wxWindow* control); // 0 when unnamed

// Loads the XRC documents of the pack in use (once each).
bool EnsureResourcesLoaded();
bool LoadDocument(const std::string& name, const std::string& bytes);

// The window name of the boxes ShowBox makes, so that a box can be told from a dialog.
inline constexpr const char* kBoxName = "messageBox";

// A message box of the layer (types and answers as platform::PromptService), on the UI thread.
// It belongs to the window the operator works in: the owner's top-level window when that takes
// input, else the innermost modal run, else the active top-level window, else the main window.
int ShowBox(const CString& text, const CString& caption, unsigned type, wxWindow* owner = nullptr);

// Stops watching for end signals (Shutdown); they end the process at once again.
void StopEndSignals();

} // namespace platform::ui::impl
