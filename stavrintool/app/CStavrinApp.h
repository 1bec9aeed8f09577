#pragma once
// CStavrinApp: the tool's start-up in its order (the store, one instance at a time, the
// language and its pack, the template file) and then the main dialog until it closes. Wx-free:
// the machine's answers and the dialog sit behind StavrinSeams.

#include <memory>

#include "platform/files/InstanceLock.h"
#include "platform/text/CString.h"
#include "platform/ui/LanguagePack.h"

class TemplateStore;
class ToolConfig;

class StavrinSeams {
public:
    virtual ~StavrinSeams() = default;
    // Where the single-instance lock lives (empty: the platform's lock directory).
    virtual CString LockDirectory() { return CString(); }
    virtual unsigned LocaleId();
    // The settings whose language is used (the process-wide ones).
    virtual const ToolConfig& Config();
    // Runs the main dialog modally over the store.
    virtual void RunMainDialog() {}
};

class CStavrinApp {
public:
    // Seams not owned; null: the defaults.
    explicit CStavrinApp(StavrinSeams* seams = nullptr);
    ~CStavrinApp();

    // The start-up and the main dialog's run; always false (the program ends after it).
    bool InitInstance();
    // Frees the language pack.
    int ExitInstance();

    // Where the start-up stopped: kDialogClosed after a full run.
    enum Stage { kNotStarted, kLockFailed, kAlreadyRunning, kNoPack, kDialogClosed };
    Stage GetStage() const { return m_stage; }
    const CString& Language() const { return m_language; }
    const platform::ui::LanguagePack& Pack() const { return m_pack; }

    static constexpr const char* kMutexName = "StavrinApp";
    static constexpr const char* kPackPrefix = "StavrinToolLocalize_";

private:
    bool Fail(Stage stage, const CString& text);
    // A template file that exists but could not be read is named in a box, with why.
    static void TellUnreadFile(const TemplateStore& store);

    StavrinSeams* m_seams;
    std::unique_ptr<StavrinSeams> m_defaultSeams;
    std::unique_ptr<platform::InstanceLock> m_lock;
    platform::ui::LanguagePack m_pack;
    CString m_language;
    Stage m_stage = kNotStarted;
};
