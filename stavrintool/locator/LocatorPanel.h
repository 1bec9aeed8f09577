#pragma once
// The tool's browser panel in the version locator's window, with the locate: the markers of the
// version selected in the page.

#include <string>
#include <vector>

#include "stavrintool/capture/IePanel.h"
#include "stavrintool/locator/VersionLocator.h"

class LocatorPanel : public IePanel {
public:
    // The markers of the selected version; throws LocateError. Afterwards the texts of that
    // locate.
    std::vector<LocatorRecord> LocateVersion();
    const CString& GetPageSource() const { return m_locate.source; }
    const CString& GetPagePath() const { return m_locate.path; }
    const CString& GetVersionText() const { return m_locate.version; }
    const std::string& GetPageCharset() const { return m_locate.charset; }

private:
    struct LocateState {
        CString source, path, version;
        std::string charset;
        SourceFailureCounter failures;
    } m_locate;
};
