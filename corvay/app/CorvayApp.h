#pragma once
// CCorvayApp: the start-up checks of the program, in their order, and its end. Wx-free: what the
// checks ask of the machine sits behind StartupSeams (the program's defaults; doubles in tests),
// and the main window comes from the seam's CreateMainWindow.

#include <memory>

#include "platform/clock/Clock.h"
#include "platform/files/DynamicLibrary.h"
#include "platform/files/InstanceLock.h"
#include "platform/text/Arrays.h"
#include "platform/text/CString.h"
#include "platform/ui/LanguagePack.h"

// The platform's version triple: major.minor and the service pack's text.
struct OsVersionInfo {
    int major = 0;
    int minor = 0;
    CString servicePack;
};
// The version value of the check: 8 (6.1), 5 (6.0), 6 (5.2), 3, 2 or 4 (5.1 by service pack), 0.
int OsVersionValue(const OsVersionInfo& version);

// The command line's one meaning here: "/Embedding" or "/Automation" ("-" or "/", any case)
// turn the splash window off; every other argument means nothing.
bool ParseSplashFlag(int argc, const char* const* argv);
// The process-wide splash flag (set unless the command line turned it off).
bool ShowSplashFlag();
void SetShowSplashFlag(bool show);

// The crash-report library, bound once per process: kept only when it exports both
// "BootReport" and "StopReport"; BootReport is called at binding; freed at process exit.
class CrashReport {
public:
    enum State { kNone, kIncomplete, kBound };
    // Replaces any earlier binding.
    static State Bind(const CString& path);
    static bool IsBound();
};

class StartupSeams {
public:
    virtual ~StartupSeams() = default;

    // Where the single-instance lock lives (empty: the platform's lock directory).
    virtual CString LockDirectory() { return CString(); }
    virtual unsigned LocaleId();
    // The running system's version; false when it cannot be read.
    virtual bool GetOsVersion(OsVersionInfo& version);

    // The host library's card inventory (13 texts a card) and enabling a card by number.
    virtual int InitWMI(int initSecurity);
    virtual int NetCardInfoGet(CStringArray& texts);
    virtual int EnableNetCard(int card, int enable);
    virtual void ClearWMI();
    virtual platform::Clock& Clock() { return platform::RealClock(); }

    virtual int WiredCardCount();
    // The serial line is the program's own linked-in layer: always there.
    virtual bool SerialControlPresent() { return true; }
    virtual bool NicConfigured();
    // The card dialog without a parent; 1 OK, 2 Cancel.
    virtual int RunNicConfigDlg();
    virtual void FindLanNicIndex();
    // The frame and its view, the main window shown maximised; false when they cannot be made.
    virtual bool CreateMainWindow() { return false; }
};

class CCorvayApp {
public:
    // Seams not owned; null: the program's defaults.
    explicit CCorvayApp(StartupSeams* seams = nullptr);
    ~CCorvayApp();

    // The start-up checks; false ends the program (its box already shown).
    bool InitInstance(int argc = 0, const char* const* argv = nullptr);
    // Frees the language pack.
    int ExitInstance();

    const platform::ui::LanguagePack& Pack() const { return m_pack; }
    const CString& Language() const { return m_language; }

    static constexpr const char* kMutexName = "CorvayApp";
    static constexpr const char* kProfileKey = "应用程序向导生成的本地应用程序";
    static constexpr int kEnableWaitMs = 10000;

private:
    bool Fail(unsigned stringId);
    bool Fail(const CString& text);
    bool CheckOS();
    int GetOSVersion();
    void EnableDisabledCards();

    StartupSeams* m_seams;
    std::unique_ptr<StartupSeams> m_defaultSeams;
    std::unique_ptr<platform::InstanceLock> m_lock;
    platform::ui::LanguagePack m_pack;
    CString m_language;
};
