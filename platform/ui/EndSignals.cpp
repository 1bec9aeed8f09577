// SIGTERM and SIGINT as the close boxes: the handler writes one byte to a pipe, the UI loop
// (any nested modal loop too) watches the pipe and from then on closes the open windows,
// innermost modal first, the main window last, until none is left.

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT};
// How often the windows are looked at while ending, and how long a window that stays open
// after its close was asked for is left before it is asked again.
constexpr int kTickMs = 100;
constexpr std::chrono::milliseconds kAskAgain{500};

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_ending{false};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (g_pipe[1] >= 0 && ::write(g_pipe[1], &byte, 1) < 0) {
        // A full pipe already holds a wake-up.
    }
    errno = saved;
}

class Closer : public wxTimer {
public:
    void Step() {
        wxWindow* target = nullptr;
        for (auto* node = wxTopLevelWindows.GetLast(); node && !target; node = node->GetPrevious())
            if (auto* dialog = dynamic_cast<wxDialog*>(node->GetData()); dialog && dialog->IsModal())
                target = dialog;
        if (!target)
            if (Window* main = MainWindow(); main && main->HasWindow())
                target = static_cast<wxWindow*>(main->Native());
        if (!target) {
            Stop();
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        auto [asked, first] = m_asked.try_emplace(target, now);
        if (!first && now - asked->second < kAskAgain)
            return;
        asked->second = now;
        // A window's close handler may open a box; the next step closes it first.
        impl::Guarded("closing a window at an end signal", [&] { target->Close(false); });
    }
    void Notify() override { Step(); }

private:
    std::map<wxWindow*, std::chrono::steady_clock::time_point> m_asked;
};

class SignalPipe : public wxEventLoopSourceHandler {
public:
    void OnReadWaiting() override {
        char bytes[64];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (g_ending.exchange(true))
            return;
        UiLog(2, "End signal: the windows are closed.");
        m_closer.Start(kTickMs);
        m_closer.Step();
    }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

    Closer m_closer;
};

struct Watch {
    std::unique_ptr<SignalPipe> handler;
    std::unique_ptr<wxEventLoopSource> source;
};
Watch& W() {
    static Watch watch;
    return watch;
}

} // namespace

void Application::EndOnSignals() {
    if (!wxTheApp || W().source)
        return;
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        UiLog(4, "End signals cannot be watched (no pipe).");
        return;
    }
    W().handler = std::make_unique<SignalPipe>();
    W().source.reset(wxEventLoopBase::AddSourceForFD(g_pipe[0], W().handler.get(), wxEVENT_SOURCE_INPUT));
    if (!W().source) {
        W().handler.reset();
        UiLog(4, "End signals cannot be watched.");
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

bool Application::Ending() {
    return g_ending.load();
}

namespace impl {

void StopEndSignals() {
    if (!W().source)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
    W().source.reset();
    W().handler.reset();
}

} // namespace impl
} // namespace platform::ui
