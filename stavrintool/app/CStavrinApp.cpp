#include "stavrintool/app/CStavrinApp.h"

#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"
#include "stavrintool/app/ToolConfig.h"
#include "stavrintool/app/ToolStrings.h"
#include "templates/TemplateStore.h"

unsigned StavrinSeams::LocaleId() {
    return platform::ui::SystemDefaultLocaleId();
}

const ToolConfig& StavrinSeams::Config() {
    return *ToolConfig::GetInstance();
}

CStavrinApp::CStavrinApp(StavrinSeams* seams) : m_seams(seams) {
    if (!m_seams) {
        m_defaultSeams = std::make_unique<StavrinSeams>();
        m_seams = m_defaultSeams.get();
    }
}

CStavrinApp::~CStavrinApp() {
    ExitInstance();
}

bool CStavrinApp::Fail(Stage stage, const CString& text) {
    m_stage = stage;
    platform::ShowMessageBox(text, stavrin::ToolAppTitle(), platform::kMbOk);
    return false;
}

void CStavrinApp::TellUnreadFile(const TemplateStore& store) {
    CString path;
    unsigned why = 0;
    switch (store.GetLoadFailure(&path)) {
    case TemplateStore::kNone:
    case TemplateStore::kMissing: // a new bench starts without one
        return;
    case TemplateStore::kHeader:
        why = stavrin::kIdsUnreadHeader;
        break;
    case TemplateStore::kDamaged:
        why = stavrin::kIdsUnreadDamaged;
        break;
    case TemplateStore::kUnreadable:
        why = stavrin::kIdsUnreadUnreadable;
        break;
    }
    CString text;
    text.Format(stavrin::ToolString(stavrin::kIdsTemplateFileUnread).GetString(), path.GetString(),
                stavrin::ToolString(why).GetString());
    platform::ShowMessageBox(text, stavrin::ToolAppTitle(), platform::kMbOk | platform::kMbIconWarning);
}

bool CStavrinApp::InitInstance() {
    // 1. The store (it reads the template file on first use).
    TemplateStore& store = TemplateStore::Instance();

    // 2. One instance at a time.
    m_lock = std::make_unique<platform::InstanceLock>(m_seams->LockDirectory());
    switch (m_lock->Acquire(kMutexName)) {
    case platform::InstanceLock::kCreated:
        break;
    case platform::InstanceLock::kAlreadyExists:
        return Fail(kAlreadyRunning, stavrin::ToolString(stavrin::kIdsAlreadyRunning));
    case platform::InstanceLock::kFailed:
        return Fail(kLockFailed, stavrin::ToolString(stavrin::kIdsInitFailed));
    }

    // 3, 4. The language and its pack, the source of every dialog and text from here on.
    m_language = platform::ui::ResolveLanguage(m_seams->Config().Language(), m_seams->LocaleId());
    if (!m_pack.Load(kPackPrefix, m_language))
        return Fail(kNoPack, "Load resource file failed.");
    stavrin::SetToolStringSource(m_pack.StringLookup());
    platform::ui::Application::UseLanguagePack(m_pack);

    // 5. Controls need no initialisation here. 6. The template file at the store's own path.
    if (!store.Load(CString()))
        TellUnreadFile(store);

    // 7. The main dialog; the program ends when it closes.
    m_seams->RunMainDialog();
    m_stage = kDialogClosed;
    return false;
}

int CStavrinApp::ExitInstance() {
    if (!m_pack.IsLoaded())
        return 0;
    static const platform::ui::LanguagePack none;
    if (platform::ui::Application::Pack() == &m_pack)
        platform::ui::Application::UseLanguagePack(none);
    stavrin::SetToolStringSource({});
    m_pack.Unload();
    return 0;
}
