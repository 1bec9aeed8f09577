// stavrintool: the template tool. The window system first, then the application's start-up,
// which runs the main dialog until it closes.

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "platform/ui/WindowPrompts.h"
#include "stavrintool/app/CStavrinApp.h"
#include "stavrintool/editor/TemplateEditorWindow.h"
#include "stavrintool/main/CStavrinDlg.h"
#include "templates/TemplateStore.h"

namespace {

class ProgramSeams : public StavrinSeams {
public:
    void RunMainDialog() override {
        CStavrinDlg dlg(TemplateStore::Instance());
        TemplateEditorWindow editor(TemplateStore::Instance(), &dlg);
        dlg.Model().SetEditor(&editor);
        platform::ui::SetMainWindow(&dlg);
        dlg.DoModal();
        platform::ui::SetMainWindow(nullptr);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (!platform::ui::Application::Start(argc, argv)) {
        platform::ui::UiLog(4, "The window system cannot be started.");
        return 1;
    }
    platform::ui::Application::EndOnSignals();
    platform::ui::WindowPrompts prompts;
    platform::SetPromptService(&prompts);
    {
        ProgramSeams seams;
        CStavrinApp app(&seams);
        app.InitInstance();
        app.ExitInstance();
    }
    platform::SetPromptService(nullptr);
    platform::ui::Application::Shutdown();
    return 0;
}
