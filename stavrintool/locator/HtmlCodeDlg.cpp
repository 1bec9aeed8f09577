#include "stavrintool/locator/HtmlCodeDlg.h"

#include "stavrintool/locator/ParamInfoModel.h"
#include "stavrintool/locator/VersionLocator.h"

HtmlCodeDlg::HtmlCodeDlg(const CString& text, platform::ui::Window* parent, const std::string& charset)
    : Dialog(IDD, parent), m_text(HtmlCodeText(CharsetToGbk(text, charset))) {}

void HtmlCodeDlg::DoDataExchange(platform::ui::DataExchange& dx) {
    // Shown only; what the box holds is never read back.
    if (!dx.Saving())
        dx.Text(IDC_SOURCE, m_text);
}
