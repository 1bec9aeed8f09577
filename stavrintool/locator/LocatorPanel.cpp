// The locate on the tool's browser panel: the selection read by script, the page source taken
// from the proxy's kept answer, the markers derived without the browser.
// (Saving the document through a persistence interface has no counterpart here, so -2 never
// arises.)

#include "stavrintool/locator/LocatorPanel.h"

#include "stavrintool/capture/CaptureProxy.h"
#include "stavrintool/locator/SelectionScript.h"

namespace {

// Reloads the frame (or page) whose document has that URL.
CString ReloadScript(const std::string& url) {
    std::string quoted;
    for (char c : url) {
        if (c == '\\' || c == '\'')
            quoted += '\\';
        quoted += c;
    }
    return CString(
        "(function (u) {"
        "  function visit(w) {"
        "    try { if (w.document && w.document.URL == u) { w.location.reload(); return true; } }"
        "    catch (e) {}"
        "    for (var i = 0; w.frames && i < w.frames.length; ++i) if (visit(w.frames[i])) return true;"
        "    return false;"
        "  }"
        "  return visit(window) ? 'reloaded' : '';"
        "})('" +
        quoted + "')");
}

} // namespace

std::vector<LocatorRecord> LocatorPanel::LocateVersion() {
    CString answer;
    if (!Browser().RunScript(SelectionScript(), &answer))
        throw LocateError(kLocateNoSelection);
    const std::vector<FrameSelection> frames = ParseSelections(answer);
    CString version;
    const FrameSelection& chosen = frames[ChooseSelection(frames, version)];
    m_locate.version = version;
    m_locate.path = PagePathOf(CString(chosen.url));
    m_locate.charset = chosen.charset;
    m_locate.source.Empty();
    std::string url = chosen.url;
    const size_t fragment = url.find('#');
    if (fragment != std::string::npos)
        url.erase(fragment);
    m_locate.source = PageSourceFromAnswer(CaptureProxy::Instance().KeptAnswer(url), m_locate.failures,
                                           [&] { Browser().RunScript(ReloadScript(url)); });
    return VersionLocator::Analyse(m_locate.source, version);
}
