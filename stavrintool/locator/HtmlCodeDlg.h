#pragma once
// HtmlCodeDlg: the page source in a read-only box, for setting markers by hand when the
// locator could not.

#include <string>

#include "platform/ui/Dialog.h"

class HtmlCodeDlg : public platform::ui::Dialog {
public:
    static constexpr int IDD = 133;
    enum : int { IDC_SOURCE = 1094 };
    // 'text' in the page's charset.
    HtmlCodeDlg(const CString& text, platform::ui::Window* parent = nullptr,
                const std::string& charset = "GBK");

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;

private:
    CString m_text;
};
