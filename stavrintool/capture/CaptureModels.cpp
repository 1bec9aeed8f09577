#include "stavrintool/capture/CaptureModels.h"

#include <iterator>
#include <mutex>

#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/capture/RequestCapture.h"

namespace capture {

namespace {

std::mutex g_urlMutex;
CString g_defaultUrl = kDefaultModemUrl;

bool StartsWithNoCase(const CString& text, const char* prefix) {
    const CString head = text.Left(static_cast<int>(std::char_traits<char>::length(prefix)));
    return head.CompareNoCase(prefix) == 0;
}

} // namespace

CString DefaultModemUrl() {
    std::lock_guard lock(g_urlMutex);
    return g_defaultUrl;
}

void SetDefaultModemUrl(const CString& url) {
    std::lock_guard lock(g_urlMutex);
    g_defaultUrl = url;
}

const char* MethodName(bool isPost) {
    return isPost ? "POST" : "GET";
}

bool IsPanelPage(const CString& url) {
    return url.Find("res://") >= 0 || StartsWithNoCase(url, "about:") || StartsWithNoCase(url, "data:");
}

PanelCapture::Navigating PanelCapture::OnNavigating(const CString& url) const {
    if (!m_armed)
        return Navigating::kIgnore;
    // The proxy sees only a tunnel of an https page: its body cannot be taken.
    if (StartsWithNoCase(url, "https://"))
        return Navigating::kRefused;
    return StartsWithNoCase(url, "http://") ? Navigating::kArm : Navigating::kIgnore;
}

bool PanelCapture::OnLoaded(const CString& url) {
    if (IsPanelPage(url) || url == address)
        return false;
    address = url;
    return true;
}

bool PanelCapture::OnCaptured(const CapturedRequest& request) {
    if (!m_armed)
        return false;
    m_request = request;
    m_bodyNamesControl =
        !m_fileControl.IsEmpty() && capture::BodyNamesControl(request.postData.str(), m_fileControl);
    m_captured = true;
    m_armed = false;
    return true;
}

const char* FunctionKindName(int kind) {
    static constexpr const char* kNames[] = {"login", "RestoreConfig", "reboot"};
    return kind >= 0 && kind < int(std::size(kNames)) ? kNames[kind] : nullptr;
}

void FuncBrowserModel::SetFunctionKind(int kind) {
    m_kind = kind;
    m_caption = stavrin::ToolString(stavrin::kIdsCaptureCaption);
    if (const char* name = FunctionKindName(kind))
        m_caption += name;
}

void LoginFuncModel::SetRequest(const CapturedRequest& request) {
    m_request = request;
    capturedAction = request.action;
    capturedMethod = MethodName(request.isPost);
    capturedHeaders = request.headers;
    capturedPost = request.postData;
}

void LoginFuncModel::Init() {
    user = password = "tolva";
    method = m_request.isPost ? 0 : 1;
    methodEnabled = m_request.isPost;
    Parameterise();
}

bool LoginFuncModel::Parameterise() {
    action = capturedAction;
    postData = capturedPost;
    headers = capturedHeaders;
    CString text = capturedAction;
    if (ReplaceCredentials(text, user, password)) {
        action = text;
        return true;
    }
    text = capturedPost;
    if (ReplaceCredentials(text, user, password)) {
        postData = text;
        return true;
    }
    stavrin::ShowToolMessage(m_prompts, stavrin::ToolString(stavrin::kIdsNoCredentials),
                             platform::kMbOk | platform::kMbIconWarning);
    return false;
}

CapturedRequest LoginFuncModel::Result() const {
    return CapturedRequest{action, headers, postData, method == 0};
}

bool UpgradeBrowserModel::OnFileControl(const CString& name, const CString& page) {
    fileControl = name;
    uploadPage = page;
    if (name.IsEmpty())
        return false;
    captureShown = true;
    captureChecked = 1;
    return true;
}

const char* FileControlScript() {
    // A document with frames is not searched itself; a frame of another origin is skipped.
    return R"JS((function () {
  function search(win) {
    var doc;
    try { doc = win.document; } catch (e) { return null; }
    if (win.frames.length > 0) {
      for (var i = 0; i < win.frames.length; ++i) {
        var found = search(win.frames[i]);
        if (found !== null) return found;
      }
      return null;
    }
    var el = doc.activeElement;
    if (!el || el.tagName !== "INPUT" || el.type !== "file") return null;
    return "1\n" + (el.name ? el.name : el.id) + "\n" + doc.URL;
  }
  var r = search(window);
  return r === null ? "" : r;
})())JS";
}

FileControlFind ParseFileControlFind(const CString& scriptResult) {
    FileControlFind find;
    const std::string& text = scriptResult.str();
    if (text.rfind("1\n", 0) != 0)
        return find;
    const size_t end = text.find('\n', 2);
    if (end == std::string::npos)
        return find;
    find.found = true;
    find.name = CString(text.substr(2, end - 2));
    find.page = ActionFromUrl(text.substr(end + 1));
    return find;
}

} // namespace capture
