#pragma once
// The rules of the capture dialogs and their browser panels without any window: the windows
// hand their events in, show what these say and post what they answer.

#include "platform/prompt/Prompt.h"
#include "platform/text/CString.h"
#include "stavrintool/capture/CapturedRequest.h"

namespace capture {

// The modem's factory LAN address, in the URL boxes at first.
inline constexpr const char* kDefaultModemUrl = "http://192.168.1.1/";
// The address the URL boxes start with (kDefaultModemUrl unless set; tests point it at a
// modem of their own).
CString DefaultModemUrl();
void SetDefaultModemUrl(const CString& url);

// The panel's messages to its parent dialog.
inline constexpr unsigned WM_PANEL_NAVIGATED = 0x0400 + 101;
inline constexpr unsigned WM_REQUEST_CAPTURED = 0x0400 + 102;

const char* MethodName(bool isPost);

// One browser panel's capture: the address it holds, its arming and the one request taken.
class PanelCapture {
public:
    CString address; // what the panel last reported as navigated to

    void SetArmed(bool armed) { m_armed = armed; }
    bool IsArmed() const { return m_armed; }
    bool IsCaptured() const { return m_captured; }
    const CapturedRequest& Request() const { return m_request; }
    // The upload panel's file control: the captured body is checked for a part of that name.
    void SetFileControl(const CString& name) { m_fileControl = name; }
    bool BodyNamesControl() const { return m_bodyNamesControl; }

    enum class Navigating {
        kIgnore,  // not armed, or not a page of the modem
        kArm,     // the proxy takes this URL
        kRefused, // an https page while armed: string 147, uncaptured
    };
    Navigating OnNavigating(const CString& url) const;
    // A finished navigation: true when the parent is to be told (a new address, not the panel's
    // own page); the address is kept then.
    bool OnLoaded(const CString& url);
    // The proxy's capture (UI thread): false when it came after the panel was disarmed.
    bool OnCaptured(const CapturedRequest& request);

private:
    bool m_armed = false;
    bool m_captured = false;
    bool m_bodyNamesControl = false;
    CString m_fileControl;
    CapturedRequest m_request;
};

// The panel's own page (the grey wait page), never reported as navigated.
bool IsPanelPage(const CString& url);

// The name a template gives a captured function of that kind (0 login, 1 RestoreConfig,
// 2 reboot); null for any other.
const char* FunctionKindName(int kind);

// FuncBrowserDlg's rules.
class FuncBrowserModel {
public:
    // 0 login, 1 RestoreConfig, 2 reboot; the caption follows.
    void SetFunctionKind(int kind);
    int Kind() const { return m_kind; }
    const CString& Caption() const { return m_caption; }

    int capturing = 0; // the "start capture" check box

private:
    int m_kind = -1;
    CString m_caption;
};

// LoginFuncDlg's rules: the captured request with its credentials put in placeholders.
class LoginFuncModel {
public:
    explicit LoginFuncModel(platform::PromptService& prompts) : m_prompts(prompts) {}

    // The captured boxes.
    void SetRequest(const CapturedRequest& request);
    // The presets, the method buttons and the parameterisation.
    void Init();
    // The parameterised boxes from the captured ones, the credentials replaced in the action,
    // else in the post data; string 139 when in neither. The headers are never changed.
    bool Parameterise();
    // The parameterised boxes, POST exactly when "POST" is checked.
    CapturedRequest Result() const;

    CString user, password;
    CString capturedAction, capturedMethod, capturedHeaders, capturedPost;
    CString action, headers, postData;
    int method = 0;             // 0 "POST", 1 "GET"
    bool methodEnabled = false; // a GET capture cannot become a POST

private:
    platform::PromptService& m_prompts;
    CapturedRequest m_request;
};

// UpgradeBrowserDlg's rules.
class UpgradeBrowserModel {
public:
    CString uploadPage, fileControl;
    bool captureShown = false; // the "capture the upgrade" check box
    int captureChecked = 0;

    // The file-control search's find; true when the upload capture is to be armed.
    bool OnFileControl(const CString& name, const CString& page);
};

// The script that finds the focused file control, through the frames in order: "" when none
// has the focus, else "1\n" + its name (else its id) + "\n" + its document's URL.
const char* FileControlScript();
struct FileControlFind {
    bool found = false;
    CString name, page; // page: path and query
};
FileControlFind ParseFileControlFind(const CString& scriptResult);

} // namespace capture
