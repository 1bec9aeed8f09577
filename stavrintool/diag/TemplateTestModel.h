#pragma once
// The rules of the template test dialog without any window: find a modem among the addresses
// of the saved template file, identify it, list what its template reads, then run one of its
// functions or uploads.
//
// The network work runs on one worker thread of the model's own, one job at a time; it alone
// touches the model's store, client and CFunction while the job runs. The window copies its
// edits and selections in, starts a job, and once the sink hears JobDone (on the worker
// thread) calls Deliver on its own thread, which hands the lines and the box to the sink and
// updates the lists. The store is the model's: the main dialog's unsaved edits never meet it.
//
// Temporary addresses of an identification stay (a function run needs them to reach a modem
// at its factory address) until the next discovery starts or the model goes.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "hostnet/dunmore/Function.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "templates/TemplateStore.h"
#include "templates/TerminalClient.h"

class TemplateTestSink {
public:
    virtual ~TemplateTestSink() = default;
    // A line at the end of the output list (GBK).
    virtual void AddLine(const CString& line) = 0;
    virtual void ClearLines() = 0;
    // A box with the tool's text of that id, OK only.
    virtual void ShowMessage(unsigned stringId) = 0;
    // A job has ended: Deliver wants calling on the window's thread. Called on the worker.
    virtual void JobDone() {}
};

class TemplateTestModel {
public:
    static constexpr int kPingTimeoutMs = 2000;

    // The file is read afresh at each discovery: the store's default file when path is empty.
    explicit TemplateTestModel(TemplateTestSink& sink, const CString& templatePath = CString());
    // Waits for a running job, then removes the temporary addresses.
    ~TemplateTestModel();
    TemplateTestModel(const TemplateTestModel&) = delete;
    TemplateTestModel& operator=(const TemplateTestModel&) = delete;

    // The lists: functions (1003), parameters (1004), upload functions (1013).
    const std::vector<CString>& Functions() const { return m_functions; }
    const std::vector<CString>& Parameters() const { return m_parameters; }
    const std::vector<CString>& Uploads() const { return m_uploads; }
    // Selections, -1 for none; the parameter edit (1005) and the file path (1071).
    int functionSel = -1, parameterSel = -1, uploadSel = -1;
    CString parameterText, filePath;

    // The function controls, enabled from the first identification on.
    bool FunctionControlsEnabled() const { return m_functionControls; }
    // A job runs (or its result waits for Deliver): every button is off.
    bool Busy() const { return m_busy; }

    // Each starts a job and returns true, or returns false when nothing was started (a job
    // runs, nothing is selected, or the answer needs no job: no file is a box at once).
    bool Discover();
    bool RunFunction();
    bool Upload();

    void ClearOutput();
    // The trimmed edit text after the selected parameter, or at the end; blank adds nothing.
    void AddParameter();
    void DeleteParameter();

    // The ended job's lines, box and lists, on the caller's thread; nothing when none ended.
    void Deliver();
    // Blocks until the running job has ended (its result still waits for Deliver).
    void WaitForJob();

    // The mask text names a network a temporary address can be made in.
    static bool UsableMask(const CString& mask);

private:
    struct Result {
        std::vector<CString> lines;
        unsigned message = 0;
        bool identified = false;
        std::vector<CString> functions, uploads;
    };
    // Runs on the worker thread.
    Result FindAndIdentify();
    void Start(std::function<Result()> job);
    void WorkerLoop();

    TemplateTestSink& m_sink;
    TemplateStore m_store;
    TerminalClient m_client{&m_store};
    CFunction m_function;
    CString m_path;

    std::vector<CString> m_functions, m_parameters, m_uploads;
    bool m_functionControls = false;
    bool m_busy = false;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<Result()> m_job;  // waiting for the worker
    std::optional<Result> m_result; // waiting for Deliver
    bool m_running = false;         // the worker holds a job
    bool m_stop = false;
    std::thread m_worker;
};
