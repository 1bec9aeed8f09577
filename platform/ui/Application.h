#pragma once
// The window system's loop and the way other threads reach it.
//
// How a program binds to it: main() calls Application::Start (false: no display), builds its
// first window, then Application::Run until the last frame closes or Quit. Any thread may hand
// work to the UI thread: RunOnUiThread posts and returns; CallOnUiThread waits for the result
// (runs inline when already on the UI thread; answers at once, without running, once the loop
// has ended). An exception leaving a handler is logged and the loop goes on.

#include <functional>
#include <optional>
#include <string>
#include <type_traits>

#include "platform/text/CString.h"

namespace platform::ui {

class LanguagePack;

// Where the layer writes its own errors (the program points it at its log); stderr until set.
// level: 1 debug, 2 information, 3 warning, 4 error.
using UiLogSink = void (*)(int level, const CString& text);
void SetUiLog(UiLogSink sink);
void UiLog(int level, const CString& text);

class Application {
public:
    // Starts the toolkit on the calling thread, which becomes the UI thread.
    static bool Start(int argc = 0, char** argv = nullptr);
    // Runs the loop until Quit or until the last top-level window is gone; returns the exit code.
    static int Run();
    // Ends the loop (from any thread).
    static void Quit(int code = 0);
    // Closes the toolkit after Run (or instead of it); pending calls are answered.
    static void Shutdown();

    static bool IsStarted();
    static bool IsUiThread();
    // Dialogs, menus and images come from this pack (kept by the caller while the loop runs).
    static void UseLanguagePack(const LanguagePack& pack);
    static const LanguagePack* Pack();
    // One more XRC document (UTF-8) beside the pack's, under a name of its own (tests, tools).
    static bool AddResourceDocument(const std::string& name, const std::string& xrc);
    // A text of the pack in use (empty without).
    static CString LoadString(unsigned id);
    // The application profile's root key: "Software\<key>\<application>" under HKEY_CURRENT_USER.
    static void SetRegistryKey(const CString& key, const CString& application);
    static CString ProfileKey();

    // From now on SIGTERM and SIGINT end the program as the close boxes do: the open modal
    // windows, innermost first, then the main window, each asked again every so often while it
    // stays open (a main window that waits for a job to stop). The handler only wakes the loop.
    static void EndOnSignals();
    // An end signal came: close handlers take it as the operator's answer and ask nothing.
    static bool Ending();
};

// Queues the task for the UI thread; false (the task dropped) once the loop has ended.
bool RunOnUiThread(std::function<void()> task);
// Runs the task on the UI thread and waits; false when it could not run (loop ended).
bool CallOnUiThread(const std::function<void()>& task);
// The same with a value; the default value when it could not run.
template <class F> auto CallOnUiThreadFor(F&& task) -> std::invoke_result_t<F> {
    using R = std::invoke_result_t<F>;
    std::optional<R> result;
    CallOnUiThread([&] { result.emplace(task()); });
    return result ? std::move(*result) : R{};
}

// The application profile on the registry store (section under ProfileKey()).
bool WriteProfileString(const CString& section, const CString& entry, const CString& value);
CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue = "");

} // namespace platform::ui
