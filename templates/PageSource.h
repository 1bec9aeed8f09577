#pragma once
// Where the rule evaluator gets a modem's pages from: the modem's connection in the programs,
// anything that hands out page texts in tests.

#include "platform/text/CString.h"

class PageSource {
public:
    virtual ~PageSource() = default;
    // 1 and the page's text when the page was served (status 200), else 0.
    virtual int FetchPage(const CString& page, CString& text) = 0;
};
