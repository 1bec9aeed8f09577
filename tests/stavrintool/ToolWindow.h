#pragma once
// The tool's start-up run on the UI thread of a UiTestDriver, its main dialog reachable from
// the script: the app as the program starts it, with a lock directory of the test's own.

#include <atomic>
#include <filesystem>

#include "platform/ui/Application.h"
#include "stavrintool/app/CStavrinApp.h"
#include "stavrintool/editor/TemplateEditorWindow.h"
#include "stavrintool/main/CStavrinDlg.h"
#include "templates/TemplateStore.h"

namespace testsupport {

class ToolWindow : public StavrinSeams {
public:
    explicit ToolWindow(const std::filesystem::path& lockDir) : m_lockDir(lockDir) {}
    CString LockDirectory() override { return m_lockDir.string().c_str(); }
    void RunMainDialog() override {
        CStavrinDlg dlg(TemplateStore::Instance());
        TemplateEditorWindow editor(TemplateStore::Instance(), &dlg);
        dlg.Model().SetEditor(&editor);
        m_dialog = &dlg;
        dlg.DoModal();
        m_dialog = nullptr;
    }

    // From the script: queues the start-up on the UI thread.
    void Start() {
        platform::ui::RunOnUiThread([this] {
            app.InitInstance();
            ended = true;
        });
    }
    // Runs the task with the main dialog on the UI thread.
    template <class F> auto OnDialog(F&& task) {
        return platform::ui::CallOnUiThreadFor([&] { return task(*m_dialog.load()); });
    }

    CStavrinApp app{this};
    std::atomic<bool> ended{false};

private:
    std::filesystem::path m_lockDir;
    std::atomic<CStavrinDlg*> m_dialog{nullptr};
};

} // namespace testsupport
