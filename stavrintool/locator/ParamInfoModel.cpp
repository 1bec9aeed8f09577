#include "stavrintool/locator/ParamInfoModel.h"

#include "stavrintool/app/ToolStrings.h"
#include "stavrintool/locator/PatternMatch.h"
#include "stavrintool/locator/VersionLocator.h"

using namespace stavrin;

std::vector<std::vector<CString>> ParamInfoModel::Rows() const {
    std::vector<std::vector<CString>> rows;
    for (const LocatorRecord& locator : m_locators)
        rows.push_back({locator.head, locator.tail});
    return rows;
}

void ParamInfoModel::SelectRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_locators.size()))
        return;
    head = m_locators[row].head;
    tail = m_locators[row].tail;
}

CString ParamInfoModel::IncludeToStore() const {
    CString value = includeValue;
    return value.IsEmpty() ? version : value;
}

CString ParamInfoModel::IncludeValueFor(const CString& version) {
    static const PatternMatch kVersionPrefix("V\\d*\\.");
    int end = 0;
    if (kVersionPrefix.Match(version, nullptr, &end) && end < version.GetLength())
        return version.Left(end);
    return version;
}

LocateMessage LocateFailureMessage(int code) {
    switch (code) {
    case kLocateNoSelection:
        return {kIdsLocateNoSelection, false};
    case kLocateNoPersistence:
        return {kIdsLocateNoPersistence, false};
    case kLocateNotInSource:
        return {kIdsLocateNotInSource, false};
    case kLocateSourceRetry:
        return {kIdsLocateSourceRetry, false};
    case kLocateSourceFailed:
        return {kIdsLocateSourceFailed, false};
    case kLocateNotInTable:
        return {kIdsLocateNotInTable, true};
    case kLocateCheckFailed:
        return {kIdsLocateCheckFailed, true};
    default:
        return {};
    }
}

LocateMessage NoLocatorMessage(const CString& source) {
    return {kIdsLocateNoLocator, !source.IsEmpty()};
}

CString HtmlCodeText(const CString& text) {
    const std::string& s = text.str();
    const bool cr = s.find('\r') != std::string::npos;
    const bool lf = s.find('\n') != std::string::npos;
    if (s.find("\r\n") != std::string::npos || cr == lf)
        return text;
    CString shown = text;
    shown.Replace(cr ? "\r" : "\n", "\r\n");
    return shown;
}
