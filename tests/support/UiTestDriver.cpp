#include "tests/support/UiTestDriver.h"
#include "tests/support/X11Server.h"

#include <wx/evtloop.h>
#include <wx/notebook.h>
#include <wx/wx.h>

#include <wx/artprov.h>
#include <wx/listctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "engine/log/StringTable.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/impl/Wx.h"

namespace testsupport {
namespace {

using platform::ui::CallOnUiThread;
using platform::ui::CallOnUiThreadFor;

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

std::string BinaryDir() {
    // ctest names the build; by hand the test runs from <build>/tests.
    const char* dir = std::getenv("CORVAY_BINARY_DIR");
    if (dir)
        return dir;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string();
}

wxWindow* ActiveWindow() {
    // The last modal dialog shown wins (a box over a dialog); otherwise the last shown window.
    wxWindow* shown = nullptr;
    wxWindow* modal = nullptr;
    for (wxWindow* top : wxTopLevelWindows) {
        if (!top->IsShown() || top->IsBeingDeleted())
            continue;
        shown = top;
        if (auto* dialog = dynamic_cast<wxDialog*>(top); dialog && dialog->IsModal())
            modal = top;
    }
    return modal ? modal : shown;
}

// A window just shown may not be on the screen yet: a pointer sent there would hit what is below.
void WaitMapped(wxWindow* target) {
    using Mapped = int (*)(void*);
    static const auto mapped = reinterpret_cast<Mapped>(dlsym(RTLD_DEFAULT, "gtk_widget_get_mapped"));
    if (!mapped || !target->GetHandle())
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!mapped(target->GetHandle()) && std::chrono::steady_clock::now() < deadline) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void RealClick(wxWindow* target) {
    WaitMapped(target);
    wxUIActionSimulator sim;
    wxRect r = target->GetScreenRect();
    sim.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
    wxYield();
    sim.MouseClick();
}

void PointAt(wxWindow* top) {
    // No window manager gives focus: keys go to the window under the pointer.
    wxRect r = top->GetScreenRect();
    wxUIActionSimulator().MouseMove(r.x + r.width / 2, r.y + 4);
}

} // namespace

UiTestDriver::UiTestDriver() {
    // GTK starts once per process; a second driver in the same process would crash in it.
    static bool started = false;
    if (started) {
        m_reason = "the window system starts once per process: run each window test on its own (ctest does)";
        return;
    }
    if (!OnPath("Xvfb")) {
        m_reason = "Xvfb is not installed";
        return;
    }
    if (!StartServer())
        return;
    setenv("DISPLAY", m_display.c_str(), 1);
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    started = true;
    if (!platform::ui::Application::Start()) {
        m_reason = "the window layer did not start on " + m_display;
        return;
    }
    wxTheApp->SetExitOnFrameDelete(false);
    m_ready = true;
}

UiTestDriver::~UiTestDriver() {
    SetStringSource(nullptr);
    platform::SetPromptService(nullptr);
    if (m_ready)
        platform::ui::Application::Shutdown();
    for (pid_t child : {m_windowManager, m_server})
        if (child > 0) {
            kill(child, SIGTERM);
            int status = 0;
            waitpid(child, &status, 0);
        }
}

pid_t UiTestDriver::Spawn(const std::vector<std::string>& command) {
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    // The child goes with the test, also when the test dies without its destructor.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(0);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

bool UiTestDriver::StartWindowManager() {
    if (!m_ready || !OnPath("openbox"))
        return false;
    if (m_windowManager < 0)
        m_windowManager = Spawn({"openbox", "--sm-disable"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!X11WindowManagerRunning(m_display)) {
        if (std::chrono::steady_clock::now() > deadline || waitpid(m_windowManager, nullptr, WNOHANG) != 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<std::string> UiTestDriver::StackingOrder() {
    Settle(100);
    return X11StackingOrder(m_display);
}

std::string UiTestDriver::FocusedTitle() {
    Settle(100);
    return X11FocusedTitle(m_display);
}

namespace {

// A display number no other server holds, kept by a lock held until this process ends. A server
// started in another network namespace does not see this one's abstract socket and would take
// the same number, its path socket replacing ours, so numbers are handed out by lock files.
int ReserveDisplay() {
    for (int n = 100; n < 400; ++n) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) ||
            std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        const std::string lock = "/tmp/corvay-display-" + std::to_string(n) + ".lock";
        int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return n; // the descriptor stays open: the lock goes with the process
        close(fd);
    }
    return -1;
}

} // namespace

bool UiTestDriver::StartServer() {
    const int display = ReserveDisplay();
    if (display < 0) {
        m_reason = "no free display number";
        return false;
    }
    const std::string name = ":" + std::to_string(display);
    int fds[2];
    if (pipe(fds) != 0) {
        m_reason = "no pipe for Xvfb";
        return false;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        m_reason = "fork failed";
        return false;
    }
    if (pid == 0) {
        // The server goes with the test, also when the test dies without its destructor.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(0);
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", name.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_server = pid;
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 200) <= 0)
            continue;
        char c;
        if (read(fds[0], &c, 1) != 1)
            break;
        if (c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        m_reason = "Xvfb did not start";
        return false;
    }
    m_display = ":" + number;
    return true;
}

bool UiTestDriver::UsePack(const std::string& language, const std::string& prefix) {
    if (!m_pack.LoadFile(BinaryDir() + "/bin/" + prefix + language + ".so"))
        return false;
    SetStringSource(m_pack.StringLookup());
    platform::ui::Application::UseLanguagePack(m_pack);
    return true;
}

namespace {

// Ends the innermost modal dialog (the last made); false when none is open. Ending one whose
// modal loop is not the running one would leave it marked ended while its loop goes on.
bool EndOneModal() {
    return CallOnUiThreadFor([] {
        for (auto* node = wxTopLevelWindows.GetLast(); node; node = node->GetPrevious())
            if (auto* dialog = dynamic_cast<wxDialog*>(node->GetData()); dialog && dialog->IsModal()) {
                dialog->EndModal(wxID_CANCEL);
                return true;
            }
        return false;
    });
}

// A modal run whose end the toolkit dropped (it came while another loop was unwinding) is
// marked ended and hidden, but its loop goes on: only that loop's own exit ends it.
bool EndOrphanedLoop() {
    return CallOnUiThreadFor([] {
        wxEventLoopBase* active = wxEventLoopBase::GetActive();
        if (!active || active->IsMain() || !active->IsRunning())
            return false;
        active->Exit();
        return true;
    });
}

} // namespace

void UiTestDriver::Run(const std::function<void()>& script, std::chrono::seconds limit) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> loopEnded{false};
    std::thread driver([&] {
        // The loop must be running before the script talks to it.
        CallOnUiThread([] {});
        try {
            script();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "script threw: " << e.what();
        }
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        finished.notify_all();
        // Whatever the script left open is closed, so that modal loops end and the loop with them.
        // A job the script did not wait for may still open a box after that: until the loop is
        // gone, every modal one is ended again.
        while (!loopEnded) {
            bool ended = false;
            for (int i = 0; i < 20 && EndOneModal(); ++i)
                ended = true;
            if (!ended)
                EndOrphanedLoop();
            platform::ui::Application::Quit();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    // A script stuck on a modal dialog (a failed check left it open while something waits for
    // its end) is freed: its dialogs are ended until it returns.
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (finished.wait_for(lock, limit, [&] { return done; }))
            return;
        ADD_FAILURE() << "the script did not end within " << limit.count() << " s; its dialogs are closed";
        while (!finished.wait_for(lock, std::chrono::milliseconds(500), [&] { return done; })) {
            lock.unlock();
            EndOneModal();
            lock.lock();
        }
    });
    platform::ui::Application::Run();
    loopEnded = true;
    driver.join();
    watchdog.join();
}

bool UiTestDriver::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (CallOnUiThreadFor(condition))
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void UiTestDriver::Settle(int ms) {
    CallOnUiThread([] {
        for (wxWindow* top : wxTopLevelWindows)
            top->Update();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    CallOnUiThread([] {});
}

std::string UiTestDriver::ActiveCaption() {
    return CallOnUiThreadFor([] {
        wxWindow* top = ActiveWindow();
        return top ? std::string(top->GetLabel().utf8_str()) : std::string();
    });
}

std::string UiTestDriver::BoxText() {
    return CallOnUiThreadFor([] {
        wxWindow* top = ActiveWindow();
        for (wxWindow* child : top ? top->GetChildren() : wxWindowList())
            if (auto* text = dynamic_cast<wxStaticText*>(child);
                text && platform::ui::impl::ControlId(text) == 0) {
                wxString label = text->GetLabel();
                label.Replace("\n", " ");
                return std::string(label.utf8_str());
            }
        return std::string();
    });
}

std::string UiTestDriver::BoxIcon() {
    return CallOnUiThreadFor([] {
        wxWindow* top = ActiveWindow();
        for (wxWindow* child : top ? top->GetChildren() : wxWindowList()) {
            auto* shown = dynamic_cast<wxStaticBitmap*>(child);
            if (!shown)
                continue;
            const wxImage image = shown->GetBitmap().ConvertToImage();
            for (auto [name, art] :
                 {std::pair{"error", wxART_ERROR}, std::pair{"warning", wxART_WARNING},
                  std::pair{"question", wxART_QUESTION}, std::pair{"information", wxART_INFORMATION}}) {
                const wxImage expected = wxArtProvider::GetBitmap(art, wxART_MESSAGE_BOX).ConvertToImage();
                if (expected.GetSize() == image.GetSize() &&
                    std::equal(image.GetData(), image.GetData() + image.GetWidth() * image.GetHeight() * 3,
                               expected.GetData()))
                    return std::string(name);
            }
            return std::string("other");
        }
        return std::string();
    });
}

int UiTestDriver::ActiveWidth() {
    return CallOnUiThreadFor([] {
        wxWindow* top = ActiveWindow();
        return top ? top->GetSize().x : 0;
    });
}

int UiTestDriver::BoldTextWidth(const std::string& utf8) {
    return CallOnUiThreadFor([&utf8] {
        wxWindow* top = ActiveWindow();
        if (!top)
            return 0;
        const wxFont bold = top->GetFont().Bold();
        int width = 0, height = 0;
        top->GetTextExtent(wxString::FromUTF8(utf8.c_str()), &width, &height, nullptr, nullptr, &bold);
        return width;
    });
}

bool UiTestDriver::HasActiveWindow() {
    return CallOnUiThreadFor([] { return ActiveWindow() != nullptr; });
}

bool UiTestDriver::Click(int controlId) {
    bool found = CallOnUiThreadFor([controlId] {
        wxWindow* top = ActiveWindow();
        wxWindow* control = platform::ui::impl::FindControl(top, controlId);
        if (!control)
            return false;
        RealClick(control);
        return true;
    });
    Settle(50);
    return found;
}

namespace {

int AnswerId(int answer) {
    return answer == platform::kIdOk       ? wxID_OK
           : answer == platform::kIdCancel ? wxID_CANCEL
           : answer == platform::kIdYes    ? wxID_YES
           : answer == platform::kIdNo     ? wxID_NO
           : answer == platform::kIdRetry  ? wxID_RETRY
                                           : wxID_OK;
}

} // namespace

UiTestDriver::AnswerButton UiTestDriver::Answer(int answer) {
    return CallOnUiThreadFor([wxId = AnswerId(answer)] {
        wxWindow* top = ActiveWindow();
        auto* button = dynamic_cast<wxButton*>(top ? top->FindWindow(wxId) : nullptr);
        if (!button)
            return AnswerButton{};
        return AnswerButton{std::string(button->GetLabel().utf8_str()), button->GetScreenRect().x};
    });
}

bool UiTestDriver::ClickAnswer(int answer) {
    int wxId = AnswerId(answer);
    wxWeakRef<wxWindow> box;
    // A click the box did not get (it was not on the screen yet under a loaded server) is sent
    // again, but only while that box is still the one in front: never into a box it opened.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const bool clicked = CallOnUiThreadFor([&] {
            wxWindow* top = ActiveWindow();
            if (attempt > 0 && top != box.get())
                return false;
            wxWindow* button = top ? top->FindWindow(wxId) : nullptr;
            if (!button)
                return false;
            box = top;
            RealClick(button);
            return true;
        });
        if (!clicked) {
            Settle(50);
            return attempt > 0;
        }
        Settle(50);
        // Only a message box is sure to go on its answer; a dialog may stay to refuse it.
        if (WaitUntil(
                [&] {
                    return !box || ActiveWindow() != box.get() ||
                           box->GetName() != platform::ui::impl::kBoxName;
                },
                3000))
            return true;
    }
    return false;
}

void UiTestDriver::ClickAt(int x, int y, int button, bool twice) {
    CallOnUiThread([=] {
        wxUIActionSimulator sim;
        sim.MouseMove(x, y);
        wxYield();
        int which = button == 3 ? wxMOUSE_BTN_RIGHT : wxMOUSE_BTN_LEFT;
        if (twice)
            sim.MouseDblClick(which);
        else
            sim.MouseClick(which);
    });
    Settle(100);
}

void UiTestDriver::MoveTo(int x, int y) {
    CallOnUiThread([=] { wxUIActionSimulator().MouseMove(x, y); });
    Settle(50);
}

void UiTestDriver::Key(int keyCode) {
    CallOnUiThread([keyCode] {
        if (wxWindow* top = ActiveWindow())
            PointAt(top);
        wxYield();
        int key = keyCode >= 0x70 && keyCode < 0x70 + 24 ? WXK_F1 + (keyCode - 0x70) : keyCode;
        static const int kArrows[] = {WXK_LEFT, WXK_UP, WXK_RIGHT, WXK_DOWN};
        if (keyCode >= 0x25 && keyCode <= 0x28)
            key = kArrows[keyCode - 0x25];
        wxUIActionSimulator().Char(key);
    });
    Settle(50);
}

void UiTestDriver::Type(const std::string& ascii) {
    CallOnUiThread([ascii] { wxUIActionSimulator().Text(ascii.c_str()); });
    Settle(50);
}

bool UiTestDriver::Paste(int controlId, const std::string& utf8) {
    bool done = CallOnUiThreadFor([controlId, utf8] {
        auto* edit = dynamic_cast<wxTextCtrl*>(platform::ui::impl::FindControl(ActiveWindow(), controlId));
        if (!edit)
            return false;
        edit->SetFocus();
        edit->SelectAll();
        edit->WriteText(wxString::FromUTF8(utf8.c_str()));
        return true;
    });
    Settle(50);
    return done;
}

bool UiTestDriver::ClickRow(int controlId, int row) {
    bool found = CallOnUiThreadFor([controlId, row] {
        auto* list = dynamic_cast<wxListCtrl*>(platform::ui::impl::FindControl(ActiveWindow(), controlId));
        wxRect r;
        if (!list || !list->GetItemRect(row, r))
            return false;
        list->EnsureVisible(row);
        list->GetItemRect(row, r);
        const wxPoint at = list->ClientToScreen(wxPoint(r.x + 24, r.y + r.height / 2));
        wxUIActionSimulator sim;
        sim.MouseMove(at);
        wxYield();
        sim.MouseClick();
        return true;
    });
    Settle(50);
    return found;
}

bool UiTestDriver::Select(int controlId, int index) {
    return CallOnUiThreadFor([controlId, index] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        // A tab control: the tab as a click would choose it, the dialog told by the toolkit.
        if (auto* book = dynamic_cast<wxBookCtrlBase*>(control)) {
            if (index < 0 || index >= int(book->GetPageCount()))
                return false;
            book->SetSelection(size_t(index));
            return true;
        }
        auto* items = dynamic_cast<wxControlWithItems*>(control);
        if (!items || index < 0 || index >= int(items->GetCount()))
            return false;
        items->SetSelection(index);
        wxCommandEvent event(dynamic_cast<wxListBox*>(control) ? wxEVT_LISTBOX : wxEVT_CHOICE,
                             control->GetId());
        event.SetEventObject(control);
        event.SetInt(index);
        control->GetEventHandler()->ProcessEvent(event);
        return true;
    });
}

namespace {

// Whether a book control got any page change asked since it was watched: a click the book got
// (refused or not) is not sent again.
struct TabWatch : wxEvtHandler {
    std::atomic<bool> asked{false};
    void OnChange(wxBookCtrlEvent& event) {
        asked = true;
        event.Skip();
    }
};

} // namespace

bool UiTestDriver::ClickTab(int controlId, int index) {
    TabWatch watch;
    wxWeakRef<wxWindow> watched;
    bool found = false;
    // A click the tab did not get (a loaded server, a page still laying out) is sent again, but
    // only while the book saw none.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const bool clicked = CallOnUiThreadFor([&] {
            auto* book = attempt == 0 ? dynamic_cast<wxBookCtrlBase*>(platform::ui::impl::FindControl(
                                            ActiveWindow(), controlId))
                                      : dynamic_cast<wxBookCtrlBase*>(watched.get());
            if (!book)
                return false;
            // The toolkit tells where a tab is only by hit tests: the middle of the points that hit
            // it, in the strip along the top.
            const wxSize size = book->GetSize();
            int left = size.x, top = size.y, right = -1, bottom = -1;
            for (int y = 0; y < std::min(size.y, 80); y += 2)
                for (int x = 0; x < size.x; x += 2)
                    if (book->HitTest(wxPoint(x, y)) == index) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
            if (right < 0)
                return false;
            found = true;
            if (attempt == 0) {
                watched = book;
                book->Bind(wxEVT_NOTEBOOK_PAGE_CHANGING, &TabWatch::OnChange, &watch);
            }
            const bool current = book->GetSelection() == index;
            wxUIActionSimulator sim;
            sim.MouseMove(book->ClientToScreen(wxPoint((left + right) / 2, (top + bottom) / 2)));
            wxYield();
            sim.MouseClick();
            return !current;
        });
        Settle(50);
        if (!clicked || WaitUntil([&] { return watch.asked.load(); }, 2000))
            break;
    }
    CallOnUiThread([&] {
        if (watched)
            watched->Unbind(wxEVT_NOTEBOOK_PAGE_CHANGING, &TabWatch::OnChange, &watch);
    });
    return found;
}

std::string UiTestDriver::Text(int controlId) {
    return CallOnUiThreadFor([controlId] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        if (!control)
            return std::string();
        if (auto* edit = dynamic_cast<wxTextCtrl*>(control))
            return std::string(edit->GetValue().utf8_str());
        return std::string(control->GetLabel().utf8_str());
    });
}

std::string UiTestDriver::CellText(int controlId, int row, int column) {
    return CallOnUiThreadFor([=] {
        auto* list = dynamic_cast<wxListCtrl*>(platform::ui::impl::FindControl(ActiveWindow(), controlId));
        if (!list || row < 0 || row >= list->GetItemCount() || column < 0 || column >= list->GetColumnCount())
            return std::string();
        return std::string(list->GetItemText(row, column).utf8_str());
    });
}

int UiTestDriver::RowCount(int controlId) {
    return CallOnUiThreadFor([=] {
        auto* list = dynamic_cast<wxListCtrl*>(platform::ui::impl::FindControl(ActiveWindow(), controlId));
        return list ? list->GetItemCount() : -1;
    });
}

std::vector<std::string> UiTestDriver::Items(int controlId) {
    return CallOnUiThreadFor([controlId] {
        std::vector<std::string> items;
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        if (auto* list = dynamic_cast<wxListCtrl*>(control)) {
            for (int row = 0; row < list->GetItemCount(); ++row) {
                wxString line;
                for (int column = 0; column < list->GetColumnCount(); ++column)
                    line += (column ? "|" : "") + list->GetItemText(row, column);
                items.push_back(std::string(line.utf8_str()));
            }
        } else if (auto* entries = dynamic_cast<wxItemContainer*>(control)) {
            for (unsigned i = 0; i < entries->GetCount(); ++i)
                items.push_back(std::string(entries->GetString(i).utf8_str()));
        }
        return items;
    });
}

int UiTestDriver::SelectedItem(int controlId) {
    return CallOnUiThreadFor([controlId] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        if (auto* list = dynamic_cast<wxListCtrl*>(control))
            return int(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        auto* entries = dynamic_cast<wxItemContainer*>(control);
        return entries ? entries->GetSelection() : -1;
    });
}

bool UiTestDriver::IsChecked(int controlId) {
    return CallOnUiThreadFor([controlId] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        if (auto* box = dynamic_cast<wxCheckBox*>(control))
            return box->GetValue();
        auto* radio = dynamic_cast<wxRadioButton*>(control);
        return radio && radio->GetValue();
    });
}

bool UiTestDriver::IsEnabled(int controlId) {
    return CallOnUiThreadFor([controlId] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        return control && control->IsEnabled();
    });
}

bool UiTestDriver::IsShown(int controlId) {
    return CallOnUiThreadFor([controlId] {
        wxWindow* control = platform::ui::impl::FindControl(ActiveWindow(), controlId);
        return control && control->IsShown();
    });
}

void UiTestDriver::ResizeActive(int width, int height) {
    CallOnUiThread([width, height] {
        if (wxWindow* top = ActiveWindow())
            top->SetClientSize(width, height);
    });
    Settle(200);
}

bool UiTestDriver::WindowSizable(const std::string& title) {
    Settle(100);
    return X11WindowSizable(m_display, title);
}

bool UiTestDriver::SetLockKeys(bool caps, bool num, bool scroll) {
    bool ok = X11SetLockKeys(m_display, caps, num, scroll);
    Settle(50);
    return ok;
}

std::string UiTestDriver::Screenshot(const std::string& name) {
    Settle(300);
    std::filesystem::path dir = std::filesystem::path(BinaryDir()) / "screenshots";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string file = (dir / (name + ".png")).string();
    std::string command = "DISPLAY=" + m_display + " import -window root '" + file + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return "";
    return file;
}

} // namespace testsupport
