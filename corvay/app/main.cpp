// corvay: the test program. The log comes up first and goes down last; between them the
// application's checks, its main window and the loop.

#include <memory>

#include "corvay/app/CorvayApp.h"
#include "corvay/app/CorvayPrompts.h"
#include "corvay/app/MainFrame.h"
#include "engine/log/Logger.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"

namespace {

void LogUi(int level, const CString& text) {
    WriteLog(level, text, false);
}

// The program's start-up: the defaults, with the frame as the main window.
class ProgramSeams : public StartupSeams {
public:
    bool CreateMainWindow() override {
        m_frame = std::make_unique<CMainFrame>();
        if (!m_frame->Create())
            return false;
        m_frame->ShowMaximized();
        m_frame->UpdateWindow();
        // Queued behind the splash's own showing, so that the view's closing of it comes after.
        platform::ui::RunOnUiThread([frame = m_frame->Handle()] {
            if (auto* window = static_cast<CMainFrame*>(frame.Get()))
                if (CCorvayView* view = window->GetView())
                    view->OnInitialUpdate();
        });
        return true;
    }

private:
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace

int main(int argc, char** argv) {
    StartSuperLogger();
    platform::ui::SetUiLog(LogUi);
    int code = 0;
    if (!platform::ui::Application::Start()) {
        LogError("The window system cannot be started.");
        code = 1;
    } else {
        platform::ui::Application::EndOnSignals();
        CorvayPrompts prompts;
        platform::SetPromptService(&prompts);
        {
            ProgramSeams seams;
            CCorvayApp app(&seams);
            if (app.InitInstance(argc, argv))
                code = platform::ui::Application::Run();
            app.ExitInstance();
        }
        platform::SetPromptService(nullptr);
        platform::ui::Application::Shutdown();
    }
    ShutdownSuperLogger();
    return code;
}
