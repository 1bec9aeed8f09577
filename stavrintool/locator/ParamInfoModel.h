#pragma once
// The rules of the locator's confirmation dialog: what it shows of a locate's result, the
// include value it proposes, and what its OK stores.

#include <vector>

#include "platform/text/CString.h"
#include "templates/TemplateRecords.h"

class ParamInfoModel {
public:
    void SetLocators(const std::vector<LocatorRecord>& locators) { m_locators = locators; }
    void SetPage(const CString& url) { page = url; }
    void SetVersion(const CString& text) { version = text; }
    const std::vector<LocatorRecord>& Locators() const { return m_locators; }

    // Proposes the include value from the version.
    void Init() { includeValue = IncludeValueFor(version); }
    // One row per locator: head, tail.
    std::vector<std::vector<CString>> Rows() const;
    // The markers of the row into the two boxes (nothing outside the list).
    void SelectRow(int row);
    // What OK stores as the include value: an empty one would hold for every modem, so the
    // whole version text stands in for it.
    CString IncludeToStore() const;

    // The version up to the end of the first "V\d*\." when that ends before the text does,
    // else the whole version.
    static CString IncludeValueFor(const CString& version);

    CString page;
    CString version;
    CString parameterName = "Firmware_Version";
    bool keyword = true;
    CString includeValue;
    CString head;
    CString tail;

private:
    std::vector<LocatorRecord> m_locators;
};

// The locator window's answers to a locate.
struct LocateMessage {
    unsigned stringId = 0; // 0: nothing to show
    bool showSource = false;
};
// The message of a failure code (-1 to -7); other codes show nothing.
LocateMessage LocateFailureMessage(int code);
// With no locator: string 120, and the source when there is one.
LocateMessage NoLocatorMessage(const CString& source);
// The source viewer's text: CR LF put in where the text breaks lines with lone CR or lone LF
// only.
CString HtmlCodeText(const CString& text);
