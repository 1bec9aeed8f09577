#include "platform/ui/Application.h"

#include <wx/evtloop.h>
#include <wx/fs_mem.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/files/Registry.h"
#include "platform/ui/LanguagePack.h"
#include "platform/ui/impl/IpAddressField.h"
#include "platform/ui/impl/Wx.h"

namespace platform::ui {
namespace {

std::atomic<UiLogSink> g_log{nullptr};

// One call another thread waits for. Abandoned calls are answered when the loop ends.
struct PendingCall {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false, ran = false;
};

struct State {
    std::mutex mutex;
    bool accepting = false; // the loop takes calls
    std::list<std::shared_ptr<PendingCall>> pending;
    std::thread::id uiThread;
    const LanguagePack* pack = nullptr;
    std::set<std::string> loadedDocuments;
    CString registryKey, application = "Corvay";
    std::atomic<int> exitCode{0}; // set by any thread that asks the loop to end
};
State& S() {
    static State* state = new State; // outlives every static that may post at exit
    return *state;
}

// The toolkit's own messages (a page script that failed, an image it cannot read) go to the
// layer's log. Its default target shows them in a box of its own at idle time, run by a loop
// outside the toolkit's loop bookkeeping: every dialog below that box could not end until it
// was answered.
class ToolkitLog : public wxLog {
protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo&) override {
        if (level <= wxLOG_Warning)
            UiLog(level == wxLOG_Warning ? 3 : 4, impl::FromWx(text));
        else if (level <= wxLOG_Info)
            UiLog(2, impl::FromWx(text));
    }
};

// The running event loops, outermost first, and what waits for one of them to run again.
struct Loops {
    std::vector<wxEventLoopBase*> running;
    std::vector<std::pair<size_t, std::function<void()>>> waiting;
};
Loops& L() {
    static Loops loops;
    return loops;
}

// The toolkit's modal runs (the layer's dialogs, its boxes, file choosers), innermost last: a
// box belongs to the innermost one, whatever window asked for it.
class ModalRuns : public wxModalDialogHook {
public:
    std::vector<wxDialog*> open;

protected:
    int Enter(wxDialog* dialog) override {
        open.push_back(dialog);
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override { std::erase(open, dialog); }
};
ModalRuns& Runs() {
    static ModalRuns runs;
    return runs;
}

class LayerApp : public wxApp {
public:
    bool OnInit() override { return true; }
    // Told of each loop made active: a new one entering, or the one below coming back when
    // the loop above it has ended.
    void OnEventLoopEnter(wxEventLoopBase* loop) override {
        wxApp::OnEventLoopEnter(loop);
        auto& running = L().running;
        wxEventLoopBase* below = running.size() >= 2 ? running[running.size() - 2] : nullptr;
        if (running.empty() || loop != below) {
            if (loop)
                running.push_back(loop);
            return;
        }
        running.pop_back();
        // Run what waits for this loop; drop what waited for a loop that is gone.
        std::vector<std::function<void()>> due;
        auto& waiting = L().waiting;
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (it->first == running.size())
                due.push_back(std::move(it->second));
            if (it->first >= running.size())
                it = waiting.erase(it);
            else
                ++it;
        }
        for (auto& task : due)
            impl::Guarded("a task for a loop that runs again", task);
    }
    // An exception that left an event handler: logged, and the loop goes on.
    bool OnExceptionInMainLoop() override {
        try {
            throw;
        } catch (const std::exception& e) {
            UiLog(4, CString("Exception in a window handler: ") + e.what());
        } catch (...) {
            UiLog(4, "Exception in a window handler.");
        }
        return true;
    }
    void OnUnhandledException() override { UiLog(4, "Unhandled exception in the window loop."); }
};

void Abandon() {
    std::list<std::shared_ptr<PendingCall>> pending;
    {
        std::lock_guard lock(S().mutex);
        S().accepting = false;
        pending.swap(S().pending);
    }
    for (auto& call : pending) {
        std::lock_guard lock(call->mutex);
        call->finished = true;
        call->done.notify_all();
    }
}

} // namespace

void SetUiLog(UiLogSink sink) {
    g_log.store(sink);
}

void UiLog(int level, const CString& text) {
    if (UiLogSink sink = g_log.load())
        sink(level, text);
    else
        std::fprintf(stderr, "ui[%d]: %s\n", level, GbkToUtf8(text).c_str());
}

namespace impl {

size_t LoopDepth() {
    return L().running.size();
}

void WhenLoopRunsAgain(size_t depth, std::function<void()> task) {
    L().waiting.emplace_back(depth, std::move(task));
}

wxDialog* InnermostModalRun() {
    const auto& open = Runs().open;
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if ((*it)->IsShown() && !(*it)->IsBeingDeleted())
            return *it;
    return nullptr;
}

void Guarded(const char* where, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        UiLog(4, CString("Exception in ") + where + ": " + e.what());
    } catch (...) {
        UiLog(4, CString("Exception in ") + where + ".");
    }
}

wxWindow* FindControl(wxWindow* parent, int id) {
    return parent ? parent->FindWindow(wxString::Format("%d", id)) : nullptr;
}

int ControlId(wxWindow* control) {
    long id = 0;
    return control && control->GetName().ToLong(&id) ? int(id) : 0;
}

// Menu items and tools carry the program's command numbers; the toolkit gets its own, fixed
// before the document is read so that every later look-up of the name gives the same id.
void TranslateCommandIds(wxXmlNode* node) {
    for (; node; node = node->GetNext()) {
        if (node->GetType() != wxXML_ELEMENT_NODE)
            continue;
        wxString cls = node->GetAttribute("class");
        long id = 0;
        if ((cls == "wxMenuItem" || cls == "tool") && node->GetAttribute("name").ToLong(&id) && id > 0) {
            int wxId = ToWxId(int(id));
            wxString name = wxString::Format("%d", wxId);
            node->DeleteAttribute("name");
            node->AddAttribute("name", name);
            wxXmlResource::GetXRCID(name, wxId);
        }
        TranslateCommandIds(node->GetChildren());
    }
}

bool LoadDocument(const std::string& name, const std::string& bytes) {
    if (S().loadedDocuments.count(name))
        return true;
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    auto doc = std::make_unique<wxXmlDocument>();
    bool read = doc->Load(stream, "UTF-8");
    if (read)
        TranslateCommandIds(doc->GetRoot());
    if (!read || !wxXmlResource::Get()->LoadDocument(doc.release(), name)) {
        UiLog(4, CString("Resource document ") + name.c_str() + " cannot be read.");
        return false;
    }
    S().loadedDocuments.insert(name);
    return true;
}

bool EnsureResourcesLoaded() {
    const LanguagePack* pack = S().pack;
    if (!pack)
        return false;
    // Images are files "memory:<name>" for the XRC documents (tool bars, bitmaps).
    static bool memoryFiles = false;
    if (!memoryFiles) {
        wxFileSystem::AddHandler(new wxMemoryFSHandler);
        memoryFiles = true;
    }
    for (const std::string& name : pack->ResourceNames(".xpm")) {
        if (S().loadedDocuments.insert(name).second) {
            const std::string* bytes = pack->Resource(name);
            wxMemoryFSHandler::AddFile(wxString::FromUTF8(name.c_str()), bytes->data(), bytes->size());
        }
    }
    for (const std::string& name : pack->ResourceNames(".xrc"))
        LoadDocument(name, *pack->Resource(name));
    return true;
}

} // namespace impl

bool Application::Start(int argc, char** argv) {
    if (wxTheApp)
        return true;
    static char name[] = "corvay";
    static char* defaultArgv[] = {name, nullptr};
    if (argc == 0) {
        argc = 1;
        argv = defaultArgv;
    }
    // WebKit's sandbox refuses to start as root (the bench runs as root), and an X server
    // without GL (Xvfb) cannot take its compositing mode.
    if (geteuid() == 0)
        setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 0);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    wxApp::SetInstance(new LayerApp);
    if (!wxEntryStart(argc, argv)) {
        UiLog(4, "The window system cannot be started (no display?).");
        return false;
    }
    delete wxLog::SetActiveTarget(new ToolkitLog);
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return false;
    }
    Runs().Register();
    wxInitAllImageHandlers();
    wxXmlResource::Get()->InitAllHandlers();
    wxXmlResource::Get()->AddHandler(new impl::IpAddressXmlHandler);
    {
        std::lock_guard lock(S().mutex);
        S().accepting = true;
        S().uiThread = std::this_thread::get_id();
    }
    return true;
}

int Application::Run() {
    if (!wxTheApp)
        return -1;
    {
        std::lock_guard lock(S().mutex);
        S().accepting = true;
    }
    wxTheApp->OnRun();
    Abandon();
    return S().exitCode;
}

void Application::Quit(int code) {
    S().exitCode = code;
    RunOnUiThread([] {
        if (wxTheApp)
            wxTheApp->ExitMainLoop();
    });
}

void Application::Shutdown() {
    Abandon();
    impl::StopEndSignals();
    if (!wxTheApp)
        return;
    // Windows still open go first, so their handlers run while the toolkit is up.
    std::vector<wxWindow*> open(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    for (wxWindow* top : open)
        top->Destroy();
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle(); // deletes the destroyed windows
    Runs().Unregister();
    Runs().open.clear();
    wxXmlResource::Get()->ClearHandlers();
    if (S().pack)
        for (const std::string& name : S().pack->ResourceNames(".xpm"))
            if (S().loadedDocuments.count(name))
                wxMemoryFSHandler::RemoveFile(wxString::FromUTF8(name.c_str()));
    S().loadedDocuments.clear();
    wxTheApp->OnExit();
    wxEntryCleanup();
}

bool Application::IsStarted() {
    return wxTheApp != nullptr;
}

bool Application::IsUiThread() {
    return std::this_thread::get_id() == S().uiThread;
}

void Application::UseLanguagePack(const LanguagePack& pack) {
    S().pack = &pack;
    if (wxTheApp)
        impl::EnsureResourcesLoaded();
}

bool Application::AddResourceDocument(const std::string& name, const std::string& xrc) {
    return wxTheApp && impl::LoadDocument(name, xrc);
}

const LanguagePack* Application::Pack() {
    return S().pack;
}

CString Application::LoadString(unsigned id) {
    CString text;
    if (S().pack)
        S().pack->LoadString(id, text);
    return text;
}

void Application::SetRegistryKey(const CString& key, const CString& application) {
    S().registryKey = key;
    S().application = application;
}

CString Application::ProfileKey() {
    return "Software\\" + S().registryKey + "\\" + S().application;
}

bool RunOnUiThread(std::function<void()> task) {
    std::lock_guard lock(S().mutex);
    if (!S().accepting || !wxTheApp)
        return false;
    wxTheApp->CallAfter([task = std::move(task)] { impl::Guarded("a call on the UI thread", task); });
    return true;
}

bool CallOnUiThread(const std::function<void()>& task) {
    if (Application::IsUiThread()) {
        {
            std::lock_guard lock(S().mutex);
            if (!S().accepting)
                return false;
        }
        impl::Guarded("a call on the UI thread", task);
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    {
        std::lock_guard lock(S().mutex);
        if (!S().accepting || !wxTheApp)
            return false;
        S().pending.push_back(call);
        // The task is run only while the caller still waits (not after an abandon).
        wxTheApp->CallAfter([call, &task] {
            {
                std::lock_guard lock(call->mutex);
                if (call->finished)
                    return;
            }
            impl::Guarded("a call on the UI thread", task);
            std::lock_guard lock(call->mutex);
            call->ran = call->finished = true;
            call->done.notify_all();
        });
    }
    std::unique_lock lock(call->mutex);
    call->done.wait(lock, [&] { return call->finished; });
    bool ran = call->ran;
    lock.unlock();
    std::lock_guard stateLock(S().mutex);
    S().pending.remove(call);
    return ran;
}

bool WriteProfileString(const CString& section, const CString& entry, const CString& value) {
    return RegSetString(Hive::CurrentUser, Application::ProfileKey() + "\\" + section, entry, value) ==
           kRegSuccess;
}

CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) {
    CString value;
    if (RegGetString(Hive::CurrentUser, Application::ProfileKey() + "\\" + section, entry, value) !=
        kRegSuccess)
        return defaultValue;
    return value;
}

} // namespace platform::ui
