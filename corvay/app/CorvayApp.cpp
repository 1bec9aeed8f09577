#include "corvay/app/CorvayApp.h"

#include <atomic>
#include <mutex>
#include <sys/utsname.h>

#include "corvay/dialogs/DialogWindow.h"
#include "corvay/settings/NicConfigDlg.h"
#include "engine/config/Configer.h"
#include "engine/config/GlobalPCInfo.h"
#include "engine/config/PcNICInfo.h"
#include "engine/log/Logger.h"
#include "engine/log/StringTable.h"
#include "hostnet/pellar/ItemNames.h"
#include "platform/files/ProgramDirectory.h"
#include "platform/prompt/Prompt.h"
#include "platform/ui/Application.h"

int OsVersionValue(const OsVersionInfo& v) {
    if (v.major == 6 && v.minor == 1)
        return 8;
    if (v.major == 6 && v.minor == 0)
        return 5;
    if (v.major == 5 && v.minor == 2)
        return 6;
    if (v.major == 5 && v.minor == 1) {
        if (v.servicePack == "Service Pack 2")
            return 3;
        if (v.servicePack == "Service Pack 1")
            return 2;
        return 4;
    }
    return 0;
}

namespace {

std::atomic<bool> g_showSplash{true};

} // namespace

bool ParseSplashFlag(int argc, const char* const* argv) {
    bool splash = true;
    for (int i = 1; i < argc && argv; ++i) {
        CString arg(argv[i]);
        if (arg.GetLength() < 2 || (arg[0] != '-' && arg[0] != '/'))
            continue;
        CString flag = arg.Mid(1);
        if (flag.CompareNoCase("Embedding") == 0 || flag.CompareNoCase("Automation") == 0)
            splash = false;
    }
    return splash;
}

bool ShowSplashFlag() {
    return g_showSplash.load();
}

void SetShowSplashFlag(bool show) {
    g_showSplash.store(show);
}

namespace {

// Released at process exit, after everything else of the program has ended.
struct CrashReportBinding {
    std::mutex mutex;
    platform::DynamicLibrary library;
    void (*bootReport)() = nullptr;
    void (*stopReport)() = nullptr;
};

CrashReportBinding& Binding() {
    static CrashReportBinding binding;
    return binding;
}

} // namespace

CrashReport::State CrashReport::Bind(const CString& path) {
    CrashReportBinding& b = Binding();
    std::lock_guard lock(b.mutex);
    b.library.Close();
    b.bootReport = b.stopReport = nullptr;
    if (!b.library.Open(path.GetString()))
        return kNone;
    auto boot = b.library.Function<void (*)()>("BootReport");
    auto stop = b.library.Function<void (*)()>("StopReport");
    if (!boot || !stop) {
        b.library.Close();
        return kIncomplete;
    }
    b.bootReport = boot;
    b.stopReport = stop;
    b.bootReport();
    return kBound;
}

bool CrashReport::IsBound() {
    CrashReportBinding& b = Binding();
    std::lock_guard lock(b.mutex);
    return b.bootReport != nullptr;
}

unsigned StartupSeams::LocaleId() {
    return platform::ui::SystemDefaultLocaleId();
}

bool StartupSeams::GetOsVersion(OsVersionInfo& version) {
    // Every Linux this program runs on is taken as the one supported version.
    utsname name{};
    if (::uname(&name) != 0)
        return false;
    version = OsVersionInfo{6, 1, ""};
    return true;
}

int StartupSeams::InitWMI(int initSecurity) {
    return GlobalPCInfo().InitWMI(initSecurity);
}

int StartupSeams::NetCardInfoGet(CStringArray& texts) {
    CWordArray items;
    CPtrArray* out = nullptr;
    texts.RemoveAll();
    if (!GlobalPCInfo().NetCardInfoGet(items, &out) || !out)
        return 0;
    for (int i = 0; i < out->GetSize(); ++i)
        texts.Add(static_cast<const char*>(out->GetAt(i)));
    return 1;
}

int StartupSeams::EnableNetCard(int card, int enable) {
    return GlobalPCInfo().EnableNetCard(card, enable);
}

void StartupSeams::ClearWMI() {
    GlobalPCInfo().ClearWMI();
}

int StartupSeams::WiredCardCount() {
    std::vector<NIC*> cards;
    PcNICInfo::Instance()->GetNicList(cards);
    return static_cast<int>(cards.size());
}

bool StartupSeams::NicConfigured() {
    return Configer::GetInstance()->CheckNicConfigured();
}

int StartupSeams::RunNicConfigDlg() {
    NicConfigDlg dlg(false);
    return RunDialogWindow(dlg, nullptr);
}

void StartupSeams::FindLanNicIndex() {
    PcNICInfo::Instance()->FindLanNicIndex();
}

CCorvayApp::CCorvayApp(StartupSeams* seams) : m_seams(seams) {
    if (!m_seams) {
        m_defaultSeams = std::make_unique<StartupSeams>();
        m_seams = m_defaultSeams.get();
    }
}

CCorvayApp::~CCorvayApp() {
    ExitInstance();
}

bool CCorvayApp::Fail(const CString& text) {
    // The start-up boxes have no caption of their own.
    platform::ShowMessageBox(text, "", platform::kMbOk);
    return false;
}

bool CCorvayApp::Fail(unsigned stringId) {
    return Fail(LoadStringId(stringId));
}

bool CCorvayApp::InitInstance(int argc, const char* const* argv) {
    LogInfo("CCorvayApp::InitInstance()");
    // 1. One instance at a time.
    m_lock = std::make_unique<platform::InstanceLock>(m_seams->LockDirectory());
    switch (m_lock->Acquire(kMutexName)) {
    case platform::InstanceLock::kCreated:
        break;
    case platform::InstanceLock::kAlreadyExists:
        return Fail(111);
    case platform::InstanceLock::kFailed:
        return Fail(112);
    }

    // 2. The crash report, when its library is there and complete.
    CrashReport::Bind(platform::JoinPath(platform::ProgramDirectory(), "\\Crashnote.so"));

    // 3. The command line.
    SetShowSplashFlag(ParseSplashFlag(argc, argv));

    // 4. Configuration and language.
    Configer* config = Configer::GetInstance();
    m_language = platform::ui::ResolveLanguage(config->GetLanguage(), m_seams->LocaleId());
    if (!m_pack.Load("Localize_", m_language)) {
        LogError("Load resource DLL failed.");
        LogError("%s", m_pack.Error().c_str());
        return Fail("Load resource file failed.");
    }
    SetStringSource(m_pack.StringLookup());
    platform::ui::Application::UseLanguagePack(m_pack);

    // 5. Sockets need no start on this system.

    // 6. The system's version.
    if (!CheckOS())
        return Fail(129);

    // 7. Disabled cards are enabled again.
    EnableDisabledCards();

    // 8. Two wired cards at least.
    if (m_seams->WiredCardCount() < 2)
        return Fail(130);

    // 9. The serial line.
    if (!m_seams->SerialControlPresent())
        return Fail(131);

    // 10. The card roles.
    if (!m_seams->NicConfigured()) {
        if (m_seams->RunNicConfigDlg() != platform::kIdOk) {
            LogInfo("You chose cancel.");
            return false;
        }
        LogInfo("You chose Ok.");
    }

    // 11. The LAN card's number in the inventory.
    m_seams->FindLanNicIndex();

    // 12. The application profile (common controls, OLE and containment need nothing here).
    platform::ui::Application::SetRegistryKey(kProfileKey, LoadStringId(57344));

    // 13, 14. Frame and view, the window maximised. No shell registration of the document
    // type on this system.
    return m_seams->CreateMainWindow();
}

int CCorvayApp::ExitInstance() {
    if (!m_pack.IsLoaded())
        return 0;
    // Nobody may look into the pack once it is gone.
    static const platform::ui::LanguagePack none;
    if (platform::ui::Application::Pack() == &m_pack)
        platform::ui::Application::UseLanguagePack(none);
    SetStringSource({});
    m_pack.Unload();
    return 0;
}

int CCorvayApp::GetOSVersion() {
    LogInfo("GetOSVersion()");
    OsVersionInfo version;
    if (!m_seams->GetOsVersion(version))
        return 0;
    return OsVersionValue(version);
}

bool CCorvayApp::CheckOS() {
    LogInfo("In CheckOS()");
    const bool ok = GetOSVersion() > 1;
    LogInfo("Exit CheckOS()");
    return ok;
}

void CCorvayApp::EnableDisabledCards() {
    m_seams->InitWMI(0);
    CStringArray texts;
    const int n = pellar::kCardOutputCount;
    if (!m_seams->NetCardInfoGet(texts) || texts.GetSize() % n != 0) {
        LogError("获取网卡信息失败。");
    } else {
        bool enabled = false;
        for (int card = 0; card * n < texts.GetSize(); ++card) {
            if (texts[card * n + 2].CompareNoCase("TRUE") == 0) {
                m_seams->EnableNetCard(card, 1);
                enabled = true;
            }
        }
        if (enabled)
            m_seams->Clock().SleepFor(std::chrono::milliseconds(kEnableWaitMs));
    }
    m_seams->ClearWMI();
}
